#pragma once
#include <functional>

namespace gridvane {

/// Told while a call into another program (the running spreadsheet, the running CAD) waits because that
/// program is busy and the call is asked again: true before every pause between two tries (the first says
/// that the call waits), false once when the call has ended, taken or given up. During the pauses the
/// calling thread's windows paint and its keyboard and mouse input stays in the queue: what a front end
/// does with that input it decides here, behind its own guard.
using CallWaitReport = std::function<void(bool waiting)>;

} // namespace gridvane
