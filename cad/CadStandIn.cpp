#include "cad/CadStandIn.h"

#include "base/Utf.h"

namespace gridvane {
namespace {

CadStatus NoSuchObject()
{
    return CadStatus::Failure("オブジェクトがありません");
}

} // namespace

CadStatus CadStandIn::ClassIdFromProgId(std::u16string_view progId, Guid& classId)
{
    if (progId != kCadProgId)
        return CadStatus::Failure("クラス \"" + ToUtf8(progId) + "\" は登録されていません");
    classId = kCadClassId;
    return CadStatus::Success();
}

CadStatus CadStandIn::ActiveObject(const Guid&, CadRef& object)
{
    object = 0;
    return CadStatus::Failure("実行中のオブジェクトがありません");
}

CadStatus CadStandIn::QueryInterface(CadRef, const Guid&, CadRef& result)
{
    result = 0;
    return NoSuchObject();
}

CadStatus CadStandIn::ReadHwnd(CadRef, std::intptr_t& hwnd)
{
    hwnd = 0;
    return NoSuchObject();
}

void CadStandIn::SetForegroundWindow(std::intptr_t) {}

CadStatus CadStandIn::SendCommand(CadRef, std::u16string_view)
{
    return NoSuchObject();
}

void CadStandIn::Release(CadRef) {}

} // namespace gridvane
