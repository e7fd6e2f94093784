#include "com/MessageFilterWin.h"

#include <windows.h>
#include <objbase.h>

namespace gridvane {
namespace {

constexpr DWORD kPauseMs = static_cast<DWORD>(kBusyRetryPause.count());

// Retries calls rejected with SERVERCALL_RETRYLATER until the retry time has passed; handles everything
// else as the default filter would.
class Filter final : public IMessageFilter {
public:
    explicit Filter(DWORD retryForMs) : retryForMs_(retryForMs) {}

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
        // SERVERCALL_REJECTED is final; RETRYLATER means the server is in a modal state (a cell being
        // edited, a dialog): ask again after a pause, for a bounded time.
        if (rejectType == SERVERCALL_RETRYLATER && elapsedMs < retryForMs_)
            return kPauseMs;
        return static_cast<DWORD>(-1);
    }
    DWORD STDMETHODCALLTYPE MessagePending(HTASK, DWORD, DWORD) override { return PENDINGMSG_WAITDEFPROCESS; }

private:
    ~Filter() = default;
    LONG refs_ = 1;
    DWORD retryForMs_;
};

} // namespace

bool IsRejectedAsBusy(std::int32_t result)
{
    return result == RPC_E_CALL_REJECTED || result == RPC_E_SERVERCALL_RETRYLATER;
}

void PauseWithMessages(std::chrono::milliseconds time)
{
    const ULONGLONG end = GetTickCount64() + static_cast<ULONGLONG>(time.count());
    for (;;) {
        MSG msg;
        while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
            TranslateMessage(&msg);
            DispatchMessageW(&msg);
        }
        const ULONGLONG now = GetTickCount64();
        if (now >= end)
            return;
        MsgWaitForMultipleObjectsEx(0, nullptr, static_cast<DWORD>(end - now), QS_ALLINPUT, MWMO_INPUTAVAILABLE);
    }
}

RetryMessageFilter::RetryMessageFilter(std::chrono::milliseconds retryFor)
{
    auto* filter = new Filter(static_cast<DWORD>(retryFor.count()));
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
