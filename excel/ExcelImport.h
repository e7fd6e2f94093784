#pragma once
#include <cstdint>
#include <functional>
#include <memory>
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

/// Reads the selection of the active worksheet of the spreadsheet that attach finds, computes the drawing
/// sizes and, only when all of it has been read, puts the new table into table: a failed or cancelled
/// import leaves table as it was (the view has been shown the cells read so far: a window that must not
/// show half a table gives the import a staged grid and shows it on success only). The spreadsheet is
/// asked for whole ranges, and for single cells only where a range's answer is mixed. Reports success and
/// failure through the view; never throws.
ImportResult ImportSelection(const XlAttach& attach, ImportView& view, CellTable& table, const ImportScales& scales,
                             char16_t decimalSeparator);

// ---- the way the cells are asked, for the import and the tests' reference reader that asks cell by cell

/// A cell's answers that are numbers (a Boolean for MergeCells), as a reader may know them all at once:
/// ColumnWidth, RowHeight, HorizontalAlignment, Font.Size, Borders(8, 9, 7, 10, 5, 6).LineStyle, MergeCells and
/// its merged area's Rows.Count, Columns.Count, Left and Top. The constants and counts are whole numbers.
struct XlCellNumbers {
    double columnWidth = 0, rowHeight = 0;
    std::int32_t horizontalAlignment = 0;
    double fontSize = 0;
    std::int32_t borders[6] = {};
    bool mergeCells = false;
    std::int32_t mergeRows = 0, mergeColumns = 0;
    double mergeLeft = 0, mergeTop = 0;
};

/// One cell's answers as the import's rules take them, in this order; each may throw Error (the cell fails
/// with the reason) or XlUserMessage (told as it stands). A reader asks the spreadsheet when an answer is
/// wanted and it does not know it yet.
class XlCellAnswers {
public:
    virtual ~XlCellAnswers() = default;
    /// All the numeric answers at once, where each would be a number (a Boolean for MergeCells) and none
    /// would fail; false to have them asked one by one. Text and Value2 are asked alone either way.
    virtual bool Numbers(XlCellNumbers&) { return false; }
    virtual XlValue ColumnWidth() = 0;
    virtual XlValue RowHeight() = 0;
    virtual XlValue HorizontalAlignment() = 0;
    virtual XlValue FontSize() = 0;
    virtual std::u16string Text() = 0;
    virtual XlValue Value2() = 0;
    virtual XlValue BorderLineStyle(int index) = 0; // 8, 9, 7, 10, 5, 6 in that order
    virtual XlValue MergeCells() = 0;
    virtual XlValue MergeRowsCount() = 0;    // MergeArea.Rows.Count
    virtual XlValue MergeColumnsCount() = 0; // MergeArea.Columns.Count
    virtual XlValue MergeLeft() = 0;         // MergeArea.Left
    virtual XlValue MergeTop() = 0;          // MergeArea.Top
};

/// Thrown by a cell's answers when the cell's own range cannot be had: the failure names the cell itself.
class XlCellUnreachable : public Error {
public:
    using Error::Error;
};

/// The selection as a reader meets it: rows from r1 and columns from c1 of the sheet, both from 1.
struct XlSelection {
    XlApplication& app;
    XlWorksheet& sheet;
    XlRange& range;
    std::int32_t r1, c1, rows, cols;
};

/// How the cells of a selection are asked: row after row from the first, the cells of a row once each from
/// the left.
class XlSelectionReader {
public:
    virtual ~XlSelectionReader() = default;
    /// Before the cells of row r (from 1) of the selection.
    virtual void BeginRow(std::int32_t r) = 0;
    /// The answers of the cell in column c (from 1) of the row begun; valid until the next call.
    virtual XlCellAnswers& Cell(std::int32_t c) = 0;
};
using XlReaderFactory = std::function<std::unique_ptr<XlSelectionReader>(const XlSelection&)>;

/// The import's reader: whole ranges first (SelectionRanges.cpp).
std::unique_ptr<XlSelectionReader> MakeRangeReader(const XlSelection& selection);

/// A spreadsheet that can answer the cells of a selection straight from what it holds, each as the cell's
/// own range would (a workbook file): the import reads its cells through that reader instead of asking ranges.
class XlCellSource {
public:
    virtual ~XlCellSource() = default;
    /// The reader of the selection's cells; null where it cannot answer for them (the ranges are asked then).
    virtual std::unique_ptr<XlSelectionReader> CellReader(const XlSelection& selection) = 0;
};

/// The import's reader of a selection: the spreadsheet's own cell reader where it has one, else MakeRangeReader.
std::unique_ptr<XlSelectionReader> MakeSelectionReader(const XlSelection& selection);

/// ImportSelection with the cells asked through another reader (the tests' per-cell reference).
ImportResult ImportSelectionWith(const XlAttach& attach, ImportView& view, CellTable& table, const ImportScales& scales,
                                 char16_t decimalSeparator, const XlReaderFactory& reader);

/// Switches the spreadsheet's screen updating on again after an import that left it off (at the close of
/// the window); true when that worked. Never throws.
bool RestoreScreenUpdating(const XlAttach& attach);

} // namespace gridvane
