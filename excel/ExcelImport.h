#pragma once
#include <cstdint>
#include <string>

#include "excel/ImportView.h"
#include "excel/SpreadsheetAutomation.h"
#include "model/CellTable.h"

namespace gridvane {

/// The settings the import reads.
struct ImportScales {
    double colXsc = 20; // grid pixels per column-width unit
    double rowYsc = 3;  // grid pixels per point of row height
    double cadXsc = 3;
    double cadYsc = 0.43;
    double cadTsc = 0.27;
};

/// Largest selection the import takes, in cells.
inline constexpr std::int64_t kMaxImportCells = 1000000;

/// How an import ended. On failure, detail says why for the window ("C38: エラー値 #N/A": the cell's
/// address, never the automation interface's names) and reason says the same in English (UTF-8) for a
/// console ("C38: error value #N/A"); the view has shown its own messages.
struct ImportResult {
    bool ok = false;
    std::u16string detail;
    bool screenUpdatingLeftOff = false; // switching it on again failed: try RestoreScreenUpdating later
    std::string reason;
    bool cancelled = false; // the view asked to stop (ImportView::StopRequested); not ok
};

/// Reads the selection of the active worksheet of the spreadsheet that attach finds into table and view,
/// then computes the drawing sizes. Reports success and failure through the view; never throws.
ImportResult ImportSelection(const XlAttach& attach, ImportView& view, CellTable& table, const ImportScales& scales,
                             char16_t decimalSeparator);

/// Switches the spreadsheet's screen updating on again after an import that left it off (at the close of
/// the window); true when that worked. Never throws.
bool RestoreScreenUpdating(const XlAttach& attach);

} // namespace gridvane
