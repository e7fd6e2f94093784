#pragma once
#include "cad/CadAutomation.h"

namespace gridvane {

/// The CAD automation over COM (Windows only): the class registry, the running-object table and
/// late-bound calls on the CAD's application object. Initialises COM on the calling thread.
class ComCadAutomation final : public CadAutomation {
public:
    ComCadAutomation();
    ~ComCadAutomation() override;
    ComCadAutomation(const ComCadAutomation&) = delete;
    ComCadAutomation& operator=(const ComCadAutomation&) = delete;

    CadStatus ClassIdFromProgId(std::u16string_view progId, Guid& classId) override;
    CadStatus ActiveObject(const Guid& classId, CadRef& object) override;
    CadStatus QueryInterface(CadRef object, const Guid& iid, CadRef& result) override;
    CadStatus ReadHwnd(CadRef application, std::intptr_t& hwnd) override;
    void SetForegroundWindow(std::intptr_t hwnd) override;
    CadStatus SendCommand(CadRef application, std::u16string_view command) override;
    void Release(CadRef object) override;

private:
    bool initialized_ = false;
};

} // namespace gridvane
