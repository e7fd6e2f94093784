#pragma once
// The running spreadsheet through COM automation (Windows only), as the import sees it.
#include <memory>

#include "excel/SpreadsheetAutomation.h"

namespace gridvane {

/// Attaches to the running spreadsheet; never starts one. While the returned application lives, a message
/// filter retries calls the spreadsheet rejects as busy (about 10 s). Throws Error with the text
/// "クラス名: Excel.Application は無効です." when none is running or its class is not registered,
/// kExcelUnreachable when it runs but cannot be reached, and XlUserMessage(kExcelBusy) when it stays busy.
/// Later calls that stay busy throw XlUserMessage(kExcelBusy) as well.
std::unique_ptr<XlApplication> AttachRunningExcel();

/// The counts of one attached application's calls (for tests and the benchmark): name look-ups and
/// invocations; zeros for an application of another kind.
struct XlCallCounts {
    long nameLookups = 0;
    long invocations = 0;
};
XlCallCounts ExcelCallCounts(const XlApplication& application);

} // namespace gridvane
