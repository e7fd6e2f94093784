#pragma once
// The running spreadsheet through COM automation (Windows only), as the import sees it.
#include <memory>

#include "base/CallWait.h"
#include "excel/SpreadsheetAutomation.h"

namespace gridvane {

/// Attaches to the running spreadsheet the user worked in last (ExcelComApplication::AttachRunning); never
/// starts one. While the returned application lives, a message filter retries calls the spreadsheet asks to
/// repeat later (about 10 s), and waitReport is told while a call waits. Throws Error with the text
/// "クラス名: Excel.Application は無効です." when none is running or its class is not registered,
/// kExcelUnreachable when it runs but cannot be reached, and XlUserMessage(kExcelBusy) when it is busy: it
/// rejected a call, or asked to repeat it for the whole retry time. Later calls throw the same when busy.
std::unique_ptr<XlApplication> AttachRunningExcel(CallWaitReport waitReport = {});

/// The counts of one attached application's calls (for tests and the benchmark): name look-ups and
/// invocations; zeros for an application of another kind.
struct XlCallCounts {
    long nameLookups = 0;
    long invocations = 0;
};
XlCallCounts ExcelCallCounts(const XlApplication& application);

} // namespace gridvane
