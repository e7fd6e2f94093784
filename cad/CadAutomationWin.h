#pragma once
#include "cad/CadAutomation.h"

namespace gridvane {

/// The CAD automation over COM (Windows only): the class registry, the running-object table and
/// late-bound calls on the CAD's application object and its active document. Initialises COM on the
/// calling thread and registers a message filter that retries calls the CAD rejects as busy, for the
/// life of the object (one insertion). ReadHwnd also looks up ActiveDocument and its SendCommand, so
/// that nothing is looked up after the CAD's window has come to the front; SetForegroundWindow restores
/// a minimised window; a failed SendCommand brings the previous foreground window (ours) back.
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
    CadStatus PrepareCommand(CadRef application);

    bool initialized_ = false;
    void* filter_ = nullptr;
    void* previousFilter_ = nullptr;
    void* document_ = nullptr;  // IDispatch of Application.ActiveDocument
    CadRef preparedFor_ = 0;
    long sendCommandId_ = 0;    // DISPID of Document.SendCommand
    std::intptr_t ownWindow_ = 0; // the foreground window before the CAD's came to the front
};

} // namespace gridvane
