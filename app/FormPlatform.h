#pragma once
#include <filesystem>
#include <functional>

#include "form/Form1.h"
#ifndef _WIN32
#include "calc/CalcApplication.h"
#endif

namespace gridvane {

/// Told while a call into the running spreadsheet or CAD waits because that program is busy: with true
/// before every pause between two tries (the first says that the call waits), with false once when the call
/// has ended, taken or given up (CallWaitReport). The pauses let the window paint and leave its keyboard
/// and mouse input in the queue; whatever input the report lets run must find Button3 and Button4 doing
/// nothing until the import or insertion that made the call has ended. What it leaves is dropped when the
/// call has ended.
using CalledProgramWait = std::function<void(OutsideProgram program, bool waiting)>;

/// The platform services of the window program: the settings and drawing files beside executable, the
/// user's decimal separator, the running spreadsheet (Windows: COM; elsewhere this user's running
/// LibreOffice Calc, and a workbook file chosen by the user when none runs) and the running CAD, whose
/// waiting COM calls are told to waitReport (the running Calc's waits are told to the form by the import).
FormPlatform MakeFormPlatform(const std::filesystem::path& executable, CalledProgramWait waitReport = {});

#ifndef _WIN32
/// The same, with the running Calc looked for where calc says (a test's own office).
FormPlatform MakeFormPlatform(const std::filesystem::path& executable, const CalcAttachOptions& calc);
#endif

} // namespace gridvane
