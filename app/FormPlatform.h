#pragma once
#include <filesystem>

#include "form/Form1.h"

namespace gridvane {

/// The platform services of the window program: the settings and drawing files beside executable, the
/// user's decimal separator, the running spreadsheet (Windows: COM; elsewhere a workbook file chosen by
/// the user stands in for it) and the running CAD.
FormPlatform MakeFormPlatform(const std::filesystem::path& executable);

} // namespace gridvane
