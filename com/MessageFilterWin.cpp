#include "com/MessageFilterWin.h"

#include <windows.h>
#include <objbase.h>

#include "com/DispatchWin.h"

namespace gridvane {
namespace {

// Asks again a call rejected with SERVERCALL_RETRYLATER, after a pause of the session's, until the
// session's retry time has passed; handles everything else as the default filter would.
class Filter final : public IMessageFilter {
public:
    explicit Filter(DispatchSession& session) : session_(session) {}

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override
    {
        if (IsEqualIID(iid, IID_IUnknown) || IsEqualIID(iid, IID_IMessageFilter)) {
            *out = static_cast<IMessageFilter*>(this);
            AddRef();
            return S_OK;
        }
        *out = nullptr;
        return E_NOINTERFACE;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return static_cast<ULONG>(InterlockedIncrement(&refs_)); }
    ULONG STDMETHODCALLTYPE Release() override
    {
        const LONG left = InterlockedDecrement(&refs_);
        if (left == 0)
            delete this;
        return static_cast<ULONG>(left);
    }
    DWORD STDMETHODCALLTYPE HandleInComingCall(DWORD, HTASK, DWORD, LPINTERFACEINFO) override
    {
        return SERVERCALL_ISHANDLED;
    }
    DWORD STDMETHODCALLTYPE RetryRejectedCall(HTASK, DWORD elapsedMs, DWORD rejectType) override
    {
        // SERVERCALL_REJECTED is final. RETRYLATER means the server is in a modal state (a cell being
        // edited, a dialog): asked again once the pause is over, which lets our window paint.
        if (rejectType != SERVERCALL_RETRYLATER || elapsedMs >= session_.retryFor.count())
            return static_cast<DWORD>(-1);
        try {
            session_.PauseWhileBusy();
        } catch (...) {
            return static_cast<DWORD>(-1); // nothing may escape into the system's call
        }
        return 0; // at once: the pause is over
    }
    // Keyboard and mouse input waits in the queue while a call runs; the window paints.
    DWORD STDMETHODCALLTYPE MessagePending(HTASK, DWORD, DWORD) override { return PENDINGMSG_WAITDEFPROCESS; }

private:
    ~Filter() = default;
    LONG refs_ = 1;
    DispatchSession& session_;
};

// The posted messages a pause lets run: all but the keyboard's and the mouse's (client and non-client area).
constexpr struct {
    UINT first, last;
} kPostedRanges[] = {
    {0, WM_NCMOUSEMOVE - 1},
    {WM_NCXBUTTONDBLCLK + 1, WM_KEYFIRST - 1},
    {WM_KEYLAST + 1, WM_MOUSEFIRST - 1},
    {WM_MOUSELAST + 1, 0xFFFFFFFF},
};

constexpr UINT kNoInput = PM_QS_SENDMESSAGE | PM_QS_POSTMESSAGE | PM_QS_PAINT;

// The posted messages that are input.
constexpr struct {
    UINT first, last;
} kPostedInput[] = {
    {WM_NCMOUSEMOVE, WM_NCXBUTTONDBLCLK},
    {WM_KEYFIRST, WM_KEYLAST},
    {WM_MOUSEFIRST, WM_MOUSELAST},
};

} // namespace

bool IsBusyForNow(std::int32_t result)
{
    return result == RPC_E_SERVERCALL_RETRYLATER || result == kObjectModelBusy;
}

bool IsRejectedAsBusy(std::int32_t result)
{
    return IsBusyForNow(result) || result == RPC_E_CALL_REJECTED;
}

void PauseWithMessages(std::chrono::milliseconds time)
{
    const ULONGLONG end = GetTickCount64() + static_cast<ULONGLONG>(time.count());
    bool quit = false;
    WPARAM quitCode = 0;
    for (;;) {
        MSG msg;
        bool any = true;
        while (any && GetTickCount64() < end) {
            any = false;
            for (const auto& range : kPostedRanges) {
                // After a WM_QUIT only what was sent and painting: the quit message must stay the last one.
                const UINT kinds = quit ? PM_QS_SENDMESSAGE | PM_QS_PAINT : kNoInput;
                if (!PeekMessageW(&msg, nullptr, range.first, range.last, PM_REMOVE | kinds))
                    continue;
                any = true;
                if (msg.message == WM_QUIT) {
                    quit = true;
                    quitCode = msg.wParam;
                    continue;
                }
                TranslateMessage(&msg);
                DispatchMessageW(&msg);
            }
        }
        const ULONGLONG now = GetTickCount64();
        if (now >= end)
            break;
        // Woken by what the pause lets run; input arriving meanwhile does not end the wait.
        const DWORD wake = quit ? QS_SENDMESSAGE | QS_PAINT : QS_SENDMESSAGE | QS_POSTMESSAGE | QS_TIMER | QS_PAINT;
        MsgWaitForMultipleObjectsEx(0, nullptr, static_cast<DWORD>(end - now), wake, 0);
    }
    if (quit)
        PostQuitMessage(static_cast<int>(quitCode));
}

void DropInput()
{
    MSG msg;
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE | PM_QS_INPUT)) {
    }
    for (const auto& range : kPostedInput)
        while (PeekMessageW(&msg, nullptr, range.first, range.last, PM_REMOVE | PM_QS_POSTMESSAGE)) {
        }
}

RetryMessageFilter::RetryMessageFilter(DispatchSession& session)
{
    auto* filter = new Filter(session);
    IMessageFilter* previous = nullptr;
    if (SUCCEEDED(CoRegisterMessageFilter(filter, &previous))) {
        filter_ = filter;
        previous_ = previous;
    } else {
        filter->Release(); // no single-threaded apartment here: COM never asks a filter
    }
}

RetryMessageFilter::~RetryMessageFilter()
{
    if (filter_ == nullptr)
        return;
    IMessageFilter* ours = nullptr;
    CoRegisterMessageFilter(static_cast<IMessageFilter*>(previous_), &ours);
    if (ours != nullptr)
        ours->Release();
    if (previous_ != nullptr)
        static_cast<IMessageFilter*>(previous_)->Release();
    static_cast<IMessageFilter*>(filter_)->Release();
}

} // namespace gridvane
