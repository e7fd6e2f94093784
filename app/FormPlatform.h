#pragma once
#include <filesystem>
#include <functional>

#include "form/Form1.h"

namespace gridvane {

/// Told while a call into the running spreadsheet or CAD waits because that program is busy: with true
/// before every pause between two tries (the first says that the call waits), with false once when the call
/// has ended, taken or given up (CallWaitReport). The pauses let the window paint and leave its keyboard
/// and mouse input in the queue; whatever input the report lets run must find Button3 and Button4 doing
/// nothing until the import or insertion that made the call has ended. What it leaves is dropped when the
/// call has ended.
using CalledProgramWait = std::function<void(OutsideProgram program, bool waiting)>;

/// The platform services of the window program: the settings and drawing files beside executable, the
/// user's decimal separator, the running spreadsheet (Windows: COM; elsewhere a workbook file chosen by
/// the user stands in for it) and the running CAD, whose waiting calls are told to waitReport.
FormPlatform MakeFormPlatform(const std::filesystem::path& executable, CalledProgramWait waitReport = {});

} // namespace gridvane
