#include "cad/CadStandIn.h"

namespace gridvane {

std::unique_ptr<CadAutomation> MakeCadAutomation(CallWaitReport)
{
    return std::make_unique<CadStandIn>();
}

} // namespace gridvane
