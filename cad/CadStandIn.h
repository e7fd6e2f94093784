#pragma once
#include "cad/CadAutomation.h"

namespace gridvane {

/// The CAD automation where no CAD can run: the CAD's ProgID is registered, the running-object
/// table is empty, so there is never an object to work on.
class CadStandIn final : public CadAutomation {
public:
    /// The class identifier the stand-in's registry gives the CAD's ProgID.
    static constexpr Guid kCadClassId{0x6A1F3C52, 0x0B7D, 0x4E19, {0x9C, 0x2E, 0x51, 0x7A, 0x3D, 0x80, 0x46, 0xB1}};

    CadStatus ClassIdFromProgId(std::u16string_view progId, Guid& classId) override;
    CadStatus ActiveObject(const Guid& classId, CadRef& object) override;
    CadStatus QueryInterface(CadRef object, const Guid& iid, CadRef& result) override;
    CadStatus ReadHwnd(CadRef application, std::intptr_t& hwnd) override;
    void SetForegroundWindow(std::intptr_t hwnd) override;
    CadStatus SendCommand(CadRef application, std::u16string_view command) override;
    void Release(CadRef object) override;
};

} // namespace gridvane
