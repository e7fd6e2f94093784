#pragma once
// Windows only. Calls into another process that the server rejects while it is busy (a cell being edited,
// a dialog open) are asked again every 100 ms for a bounded time, with the window's messages let run in
// between: by the message filter where the system asks it, by RetryWhileBusy where a call returns the
// rejection itself.
#include <chrono>
#include <cstdint>

namespace gridvane {

/// The pause between two tries of a call the server rejected as busy.
inline constexpr std::chrono::milliseconds kBusyRetryPause{100};

/// True for the result of a call the server rejected as busy (RPC_E_CALL_REJECTED, RPC_E_SERVERCALL_RETRYLATER).
bool IsRejectedAsBusy(std::int32_t result);

/// Lets the calling thread's window messages run for the given time, so that its windows repaint.
void PauseWithMessages(std::chrono::milliseconds time);

/// Runs call() (which gives an HRESULT) until the server takes it: a call rejected as busy is asked again
/// after kBusyRetryPause until retryFor has passed since the first try. Returns the last result.
template <typename Call>
auto RetryWhileBusy(std::chrono::milliseconds retryFor, Call call) -> decltype(call())
{
    const auto start = std::chrono::steady_clock::now();
    for (;;) {
        const auto result = call();
        if (!IsRejectedAsBusy(result) || std::chrono::steady_clock::now() - start >= retryFor)
            return result;
        PauseWithMessages(kBusyRetryPause);
    }
}

/// A message filter (IMessageFilter) registered on the calling thread for the life of the object: calls
/// that the server rejects (SERVERCALL_RETRYLATER) are retried every 100 ms until retryFor has passed.
/// The previous filter is put back on destruction. Needs a single-threaded apartment (ComApartment);
/// without one it does nothing.
class RetryMessageFilter {
public:
    /// Registers the filter.
    explicit RetryMessageFilter(std::chrono::milliseconds retryFor = std::chrono::seconds(10));
    /// Puts the previous filter back.
    ~RetryMessageFilter();
    RetryMessageFilter(const RetryMessageFilter&) = delete;
    RetryMessageFilter& operator=(const RetryMessageFilter&) = delete;

private:
    void* filter_ = nullptr;   // ours
    void* previous_ = nullptr; // the one registered before
};

} // namespace gridvane
