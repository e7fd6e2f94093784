#pragma once
#include <filesystem>
#include <memory>
#include <optional>
#include <string>

#include "excel/SpreadsheetAutomation.h"

namespace gridvane {

/// Which sheet and range to take instead of the ones the workbook saved as active and selected.
struct WorkbookChoice {
    std::optional<std::u16string> sheet; // sheet name
    std::optional<std::u16string> range; // A1 reference such as "B2:D10"
};

/// A workbook file (.xlsx, .xlsm) standing in for the running spreadsheet: its active sheet and selection
/// are the ones saved in the file (or those chosen), and every cell answers as the spreadsheet would.
/// Reads the file once; throws Error naming the file and the problem when it is missing or broken.
std::unique_ptr<XlApplication> OpenWorkbookAsApplication(const std::filesystem::path& path,
                                                         const WorkbookChoice& choice = {});

} // namespace gridvane
