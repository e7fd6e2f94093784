#pragma once
// Windows only.
#include "cad/CadAutomation.h"
#include "com/ComApartmentWin.h"
#include "com/DispatchWin.h"
#include "com/MessageFilterWin.h"

namespace gridvane {

/// The CAD automation over COM (Windows only): the class registry, the running-object table and
/// late-bound calls on the CAD's application object and its active document. Initialises COM on the
/// calling thread and registers a message filter that retries calls the CAD asks to repeat later, for the
/// life of the object (one insertion); a call the CAD rejects is not repeated, and either gives a busy
/// status. ReadHwnd also looks up ActiveDocument and its SendCommand, so that nothing is looked up after
/// the CAD's window has come to the front; SetForegroundWindow restores a minimised window; a failed
/// SendCommand brings the previous foreground window (ours) back.
class ComCadAutomation final : public CadAutomation {
public:
    /// Enters the apartment and registers the message filter; waitReport is told while a call waits.
    explicit ComCadAutomation(CallWaitReport waitReport = {});
    /// Releases the document found, puts the previous message filter back and leaves the apartment.
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

    // In this order: the filter is registered inside the apartment and revoked before it is left; it asks
    // the session how long to retry and whom to tell.
    ComApartment apartment_;
    DispatchSession session_;     // member identifiers, locale, retry time and wait report of the calls
    RetryMessageFilter filter_{session_};
    void* document_ = nullptr;    // IDispatch of Application.ActiveDocument
    CadRef preparedFor_ = 0;
    std::intptr_t ownWindow_ = 0; // the foreground window before the CAD's came to the front
};

} // namespace gridvane
