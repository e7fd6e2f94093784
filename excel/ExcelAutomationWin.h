#pragma once
// The running spreadsheet through COM automation (Windows only), as the import sees it.
#include <memory>

#include "excel/SpreadsheetAutomation.h"

namespace gridvane {

/// Attaches to the running spreadsheet; never starts one. Throws Error with the text
/// "クラス名: Excel.Application は無効です." when none is running or its class is not registered.
std::unique_ptr<XlApplication> AttachRunningExcel();

} // namespace gridvane
