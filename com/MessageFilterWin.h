#pragma once
// Windows only. Calls into another process while it is busy. A server says so in one of three ways: it
// rejects the call with SERVERCALL_RETRYLATER (a cell being edited, a dialog open), its object model raises
// kObjectModelBusy from the call, or it rejects the call with SERVERCALL_REJECTED. The first two are asked
// again every 100 ms for the session's retry time: by the message filter where the system asks it, by the
// session's retry where a call returns the state itself. SERVERCALL_REJECTED is final.
#include <chrono>
#include <cstdint>

namespace gridvane {

class DispatchSession;

/// The pause between two tries of a call the server asked to repeat later.
inline constexpr std::chrono::milliseconds kBusyRetryPause{100};

/// 0x800AC472: what a server's object model raises from a call while it takes none (the spreadsheet busy).
inline constexpr std::int32_t kObjectModelBusy = static_cast<std::int32_t>(0x800AC472);

/// True for the result of a call the server asks to have repeated later: RPC_E_SERVERCALL_RETRYLATER, or
/// kObjectModelBusy.
bool IsBusyForNow(std::int32_t result);

/// True for the result of a call that a busy server did not take: IsBusyForNow, or RPC_E_CALL_REJECTED (the
/// server's SERVERCALL_REJECTED, or a call the message filter gave up).
bool IsRejectedAsBusy(std::int32_t result);

/// Lets the calling thread's window messages run for the given time: sent and posted messages, timers and
/// painting. Keyboard and mouse input, from the user or posted, stays in the queue: a click on a button
/// must not start its action again in the middle of a call. A WM_QUIT taken meanwhile is posted again.
void PauseWithMessages(std::chrono::milliseconds time);

/// Drops the keyboard and mouse input waiting in the calling thread's queue, from the user or posted.
void DropInput();

/// A message filter (IMessageFilter) registered on the calling thread for the life of the object, for the
/// calls of session: a call the server rejects with SERVERCALL_RETRYLATER is asked again after a pause
/// (DispatchSession::PauseWhileBusy) until the session's retry time has passed since the call was made; one
/// rejected with SERVERCALL_REJECTED is given up at once. Either way the call then fails with
/// RPC_E_CALL_REJECTED. The previous filter is put back on destruction. Needs a single-threaded apartment
/// (ComApartment); without one it does nothing. session must outlive the filter.
class RetryMessageFilter {
public:
    /// Registers the filter.
    explicit RetryMessageFilter(DispatchSession& session);
    /// Puts the previous filter back.
    ~RetryMessageFilter();
    RetryMessageFilter(const RetryMessageFilter&) = delete;
    RetryMessageFilter& operator=(const RetryMessageFilter&) = delete;

private:
    void* filter_ = nullptr;   // ours
    void* previous_ = nullptr; // the one registered before
};

} // namespace gridvane
