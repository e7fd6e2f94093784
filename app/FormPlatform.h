#pragma once
#include <filesystem>

#include "form/Form1.h"
#ifndef _WIN32
#include "calc/CalcApplication.h"
#endif

namespace gridvane {

/// The platform services of the window program: the settings and drawing files beside executable, the
/// user's decimal separator, the running spreadsheet (Windows: COM; elsewhere this user's running
/// LibreOffice Calc, and a workbook file chosen by the user when none runs) and the running CAD.
FormPlatform MakeFormPlatform(const std::filesystem::path& executable);

#ifndef _WIN32
/// The same, with the running Calc looked for where calc says (a test's own office).
FormPlatform MakeFormPlatform(const std::filesystem::path& executable, const CalcAttachOptions& calc);
#endif

} // namespace gridvane
