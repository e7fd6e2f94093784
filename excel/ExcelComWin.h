#pragma once
// The running spreadsheet's object model over COM (Windows only): the operations the import performs,
// each one late-bound call in the user's default locale. Every object holds one reference and releases
// it when destroyed; every failed call throws Error naming the member.
#include <cstdint>
#include <string>
#include <string_view>
#include <memory>

#include "com/DispatchWin.h"

namespace gridvane {

/// The ProgID the spreadsheet registers its running application under.
inline constexpr std::u16string_view kExcelProgId = u"Excel.Application";

/// The window class of the spreadsheet's main window.
inline constexpr std::u16string_view kExcelWindowClass = u"XLMAIN";
/// The window classes inside it: the desk, and a workbook's window on it, whose native object model (a
/// Window object) leads to the application.
inline constexpr std::u16string_view kExcelDeskWindowClass = u"XLDESK";
inline constexpr std::u16string_view kExcelWorkbookWindowClass = u"EXCEL7";

/// A range of cells: the selection, one cell, or a merged area. Members of each kind of object
/// (Application, Workbook, Worksheet, Range, Font, Borders, Border) are looked up once per session.
class ExcelComRange {
public:
    explicit ExcelComRange(DispatchObject range) : range_(std::move(range)) {}

    /// Number of the first row, from 1.
    std::int32_t Row() const;
    /// Number of the first column, from 1.
    std::int32_t Column() const;
    /// Rows.Count.
    std::int32_t RowsCount() const;
    /// Columns.Count.
    std::int32_t ColumnsCount() const;
    /// ColumnWidth, in column-width units.
    double ColumnWidth() const;
    /// RowHeight, in points.
    double RowHeight() const;
    /// HorizontalAlignment: -4131 left, -4108 centre, -4152 right, or another constant.
    std::int32_t HorizontalAlignment() const;
    /// Font.Size, in points; throws when the characters have different sizes (null).
    double FontSize() const;
    /// Text, the cell's text as displayed.
    std::u16string Text() const;
    /// Value2: empty, number, text or Boolean; throws for an error value.
    DispatchValue Value2() const;
    /// Borders.Item(index).LineStyle; -4142 is no line. The Borders collection is fetched once per range.
    std::int32_t BorderLineStyle(std::int32_t index) const;
    /// MergeCells: true when the spreadsheet reports true.
    bool MergeCells() const;
    /// MergeArea: the merged area holding the first cell (the cell itself when not merged).
    ExcelComRange MergeArea() const;
    /// Left, in points.
    double Left() const;
    /// Top, in points.
    double Top() const;

    // ---- reads over a range of any size: the answer as the spreadsheet gives it, null ("the cells
    // differ") and error values included
    /// A property of the range itself: ColumnWidth, RowHeight, HorizontalAlignment, MergeCells, Left, Top,
    /// Value2 (of one cell).
    DispatchValue Property(std::u16string_view name) const;
    /// Font.Size.
    DispatchValue FontSizeOfAll() const;
    /// DisplayFormat.NumberFormat: the format the cells are displayed with, conditional formats included.
    DispatchValue DisplayedNumberFormat() const;
    /// Borders.Item(index).LineStyle, for the edges 7-10, the inside lines 11, 12 and the diagonals 5, 6.
    DispatchValue BorderLineStyleOfAll(std::int32_t index) const;
    /// Value2 of every cell, row by row.
    DispatchValues Value2Array() const;
    /// Address: "$B$2:$P$97", the areas of a selection of several joined by commas.
    std::u16string Address() const;
    /// Rows.Item(i), Columns.Item(i): row or column i, from 1. The collection is fetched once per range.
    ExcelComRange RowAt(std::int32_t i) const;
    ExcelComRange ColumnAt(std::int32_t i) const;
    /// Cells.Item(r, c): the cell in row r and column c of the range, both from 1.
    ExcelComRange Cell(std::int32_t r, std::int32_t c) const;

private:
    DispatchObject range_;
    mutable DispatchObject borders_;
    mutable DispatchObject rows_, columns_, cells_;
};

/// A worksheet.
class ExcelComWorksheet {
public:
    explicit ExcelComWorksheet(DispatchObject sheet) : sheet_(std::move(sheet)) {}

    /// Name.
    std::u16string Name() const;
    /// Range(address) of one cell given by its A1 address.
    ExcelComRange Range(std::u16string_view address) const;

private:
    DispatchObject sheet_;
};

/// The running spreadsheet application.
class ExcelComApplication {
public:
    /// Attaches to the running application the user worked in last; never starts one. With several running,
    /// the running-object table knows only the first started: the application is taken from the workbook
    /// window of the most recently active visible main window (its native object model's Window.Application),
    /// and from the running-object table when no such window gives one. The calls belong to session (a new
    /// one when none is given). Throws AttachError when none is running, its class is not registered, or it
    /// runs but cannot be reached; ServerBusyError when the application found is busy.
    static ExcelComApplication AttachRunning(std::shared_ptr<DispatchSession> session = nullptr);
    explicit ExcelComApplication(DispatchObject application) : application_(std::move(application)) {}

    /// Writes ScreenUpdating.
    void SetScreenUpdating(bool on) const;
    /// Looks up the member the import calls first (ScreenUpdating): fails, after the retry time, when the
    /// spreadsheet rejects calls as busy.
    void Prepare() const;
    /// The session of this application's objects (identifiers kept, calls counted).
    const std::shared_ptr<DispatchSession>& Session() const { return application_.Session(); }
    /// ActiveSheet, which must be a worksheet.
    ExcelComWorksheet ActiveSheet() const;
    /// ActiveWorkbook.Name.
    std::u16string ActiveWorkbookName() const;
    /// Selection, which must be a range.
    ExcelComRange Selection() const;
    /// ActiveWindow.DisplayFormulas: true while the window shows formulas instead of their values.
    DispatchValue DisplayFormulas() const;

private:
    DispatchObject application_;
};

} // namespace gridvane
