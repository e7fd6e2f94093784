#pragma once
#include <functional>

namespace gridvane {

/// Told while a call into another program (the running spreadsheet, the running CAD) waits because that
/// program is busy and the call is asked again: true before every pause between two tries (the first says
/// that the call waits), false once when the call has ended, taken or given up. During the pauses the
/// calling thread's windows paint and its keyboard and mouse input stays in the queue; a front end may let
/// that input run when it is told true, behind its own guard (the buttons that started the call must do
/// nothing). Input still queued when the call has ended is dropped before false is told: a click made
/// while the call waited never acts after it.
using CallWaitReport = std::function<void(bool waiting)>;

} // namespace gridvane
