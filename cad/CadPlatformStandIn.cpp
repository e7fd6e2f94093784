#include "cad/CadStandIn.h"

namespace gridvane {

std::unique_ptr<CadAutomation> MakeCadAutomation()
{
    return std::make_unique<CadStandIn>();
}

} // namespace gridvane
