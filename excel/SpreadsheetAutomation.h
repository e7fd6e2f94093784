#pragma once
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "base/Error.h"

// The running spreadsheet as the import sees it: the operations it performs on the application, the
// active worksheet and its ranges, and nothing more. On Windows they are automation calls into the
// running spreadsheet; on Linux a workbook file stands in for it (xlsx/).
// Every operation throws Error when the spreadsheet refuses it or the object is not of the needed kind.

namespace gridvane {

/// A value as the spreadsheet returns it: empty, null, a number, a text, a Boolean or an error value.
struct XlValue {
    enum class Kind { Empty, Null, Number, Text, Boolean, Error };
    Kind kind = Kind::Empty;
    double number = 0;   // Number
    std::u16string text; // Text; the error's text ("#DIV/0!") for Error
    bool boolean = false;

    static XlValue Empty() { return {}; }
    static XlValue Null() { return {Kind::Null, 0, {}, false}; }
    static XlValue Of(double v) { return {Kind::Number, v, {}, false}; }
    static XlValue Of(std::u16string v) { return {Kind::Text, 0, std::move(v), false}; }
    static XlValue OfBool(bool v) { return {Kind::Boolean, 0, {}, v}; }
    static XlValue ErrorValue(std::u16string v) { return {Kind::Error, 0, std::move(v), false}; }
};

/// The text form of a value: a text unchanged, empty "", a Boolean "True"/"False", a number in the general
/// form with the decimal separator. Throws Error for null and error values.
std::u16string XlTextForm(const XlValue& value, char16_t decimalSeparator);

/// Whether the text form of a number is a non-empty numeric text (IsNumericText), mostly without writing it.
bool XlNumberTextIsNumeric(double value, char16_t decimalSeparator);

/// Value2 of a range: the values of its cells, row by row. An error value carries its text (XlErrorText).
struct XlValueArray {
    std::int32_t rows = 0, cols = 0;
    std::vector<XlValue> values; // rows x cols, row by row

    /// The value of the cell in row r and column c of the range, both from 0.
    const XlValue& At(std::int32_t r, std::int32_t c) const
    {
        return values[static_cast<std::size_t>(r) * static_cast<std::size_t>(cols) + static_cast<std::size_t>(c)];
    }
};

/// A range of cells: the selection, one cell, a row or column of a range, a block of rows, or a merged
/// area.
///
/// The properties of the formatting answer over every cell of the range as the object model does for a
/// range of several cells: the one value every cell shares, or null when the cells differ (ColumnWidth,
/// RowHeight, HorizontalAlignment, FontSize, NumberFormat, BorderLineStyle, MergeCells). For one cell that
/// is the cell's own answer. BorderLineStyle takes the edges of the range's outline (7-10), the lines
/// inside it (11 vertical, 12 horizontal) and the diagonals (5, 6) of each cell: an edge of the outline
/// is the same edge of every cell along it, an inside line the right and left (bottom and top) edges of
/// the cells that meet there, so a common answer gives the answer of each of those cells.
/// Text, Value2, MergeArea, Left and Top are asked of one cell (Left and Top: of the range's first column
/// and row). A reader asks a whole range first and goes down to its rows and columns, then to single
/// cells, only where an answer is mixed.
class XlRange {
public:
    virtual ~XlRange() = default;
    virtual XlValue Row() = 0;                  // first row, from 1
    virtual XlValue Column() = 0;               // first column, from 1
    virtual XlValue RowsCount() = 0;            // Rows.Count
    virtual XlValue ColumnsCount() = 0;         // Columns.Count
    virtual XlValue ColumnWidth() = 0;          // column-width units
    virtual XlValue RowHeight() = 0;            // points
    virtual XlValue HorizontalAlignment() = 0;  // -4131 left, -4108 centre, -4152 right, others
    virtual XlValue FontSize() = 0;             // Font.Size, points; null also for a cell of mixed sizes
    virtual std::u16string Text() = 0;          // the text as displayed
    virtual XlValue Value2() = 0;               // the value
    virtual XlValue BorderLineStyle(int index) = 0; // Borders(index).LineStyle; -4142 no line
    virtual XlValue MergeCells() = 0;           // Boolean: the cells belong to merged areas
    virtual std::unique_ptr<XlRange> MergeArea() = 0; // the merged area holding the first cell, else that cell
    virtual XlValue Left() = 0;                 // points
    virtual XlValue Top() = 0;                  // points

    /// Value2 of every cell of the range in one answer (a single cell's too).
    virtual XlValueArray Value2Array() = 0;
    /// The number format code the cells are displayed with ("General", "@", "0.00"), or null when the
    /// cells differ. Where the spreadsheet applies formats of its own on top (conditional formats), the
    /// displayed one (DisplayFormat.NumberFormat).
    virtual XlValue NumberFormat() = 0;
    /// Address: "$B$2:$P$97", "$B$2" for one cell; the areas of a selection of several are joined by commas.
    virtual std::u16string Address() = 0;
    /// Rows(i): row i of the range, from 1.
    virtual std::unique_ptr<XlRange> Rows(std::int32_t i) = 0;
    /// Columns(i): column i of the range, from 1.
    virtual std::unique_ptr<XlRange> Columns(std::int32_t i) = 0;
    /// Cells.Item(r, c): the cell in row r and column c of the range, both from 1.
    virtual std::unique_ptr<XlRange> Cells(std::int32_t r, std::int32_t c) = 0;
};

/// A worksheet.
class XlWorksheet {
public:
    virtual ~XlWorksheet() = default;
    virtual std::u16string Name() = 0;
    /// Range(address) of the cells at an A1 address: one cell ("B12") or a rectangle ("B2:P97").
    virtual std::unique_ptr<XlRange> Range(std::u16string_view address) = 0;
};

/// The running spreadsheet application.
class XlApplication {
public:
    virtual ~XlApplication() = default;
    virtual void SetScreenUpdating(bool on) = 0;
    /// The active sheet; throws Error when it is not a worksheet.
    virtual std::unique_ptr<XlWorksheet> ActiveSheet() = 0;
    /// ActiveWorkbook.Name; throws Error when there is no active workbook.
    virtual std::u16string ActiveWorkbookName() = 0;
    /// The selection; throws Error when it is not a range.
    virtual std::unique_ptr<XlRange> Selection() = 0;
    /// ActiveWindow.DisplayFormulas: true while the sheet shows formulas instead of their values (Text then
    /// answers the formula). A backend whose Text always answers the value says false.
    virtual XlValue DisplayFormulas() = 0;
};

/// A failure whose message is for the user as it stands: the import shows it before its own failure
/// message (the spreadsheet busy with a cell being edited or a dialog).
class XlUserMessage : public Error {
public:
    using Error::Error;
};

/// Finds the running spreadsheet; throws Error with the text to show when it cannot attach.
using XlAttach = std::function<std::unique_ptr<XlApplication>()>;

/// The message shown when no running spreadsheet can be attached.
inline constexpr std::u16string_view kExcelClassInvalid = u"クラス名: Excel.Application は無効です.";

/// The message shown when the spreadsheet rejected calls as busy for the whole retry time.
inline constexpr std::u16string_view kExcelBusy = u"Excel でセルを編集中か、ダイアログが開いています。";
/// The message shown when the spreadsheet runs but cannot be reached.
inline constexpr std::u16string_view kExcelUnreachable =
    u"Excel は起動していますが、接続できません。Excel が管理者として実行されている場合は、Gridvane も同じ権限で起動してください。";
/// The message shown when screen updating could not be switched on again.
inline constexpr std::u16string_view kExcelScreenUpdatingLeftOff =
    u"Excel の画面更新を元に戻せませんでした。次の取得と終了のときにもう一度試みます。";

/// Line-style constant of a missing border.
inline constexpr int kXlLineStyleNone = -4142;
/// Alignment constants of HorizontalAlignment.
inline constexpr int kXlHAlignLeft = -4131;
inline constexpr int kXlHAlignCenter = -4108;
inline constexpr int kXlHAlignRight = -4152;
inline constexpr int kXlHAlignGeneral = 1;
inline constexpr int kXlHAlignFill = 5;
inline constexpr int kXlHAlignJustify = -4130;
inline constexpr int kXlHAlignCenterAcross = 7;
inline constexpr int kXlHAlignDistributed = -4117;
/// Line-style constants of Borders(index).LineStyle besides kXlLineStyleNone.
inline constexpr int kXlContinuous = 1;
inline constexpr int kXlDash = -4115;
inline constexpr int kXlDot = -4118;
inline constexpr int kXlDouble = -4119;
inline constexpr int kXlDashDot = 4;
inline constexpr int kXlDashDotDot = 5;
inline constexpr int kXlSlantDashDot = 13;
/// Border indexes of Borders(index).
inline constexpr int kXlEdgeTop = 8;
inline constexpr int kXlEdgeBottom = 9;
inline constexpr int kXlEdgeLeft = 7;
inline constexpr int kXlEdgeRight = 10;
inline constexpr int kXlDiagonalDown = 5;
inline constexpr int kXlDiagonalUp = 6;
inline constexpr int kXlInsideVertical = 11;
inline constexpr int kXlInsideHorizontal = 12;

/// The text of a cell error value of the object model (XlCVError: 2007 "#DIV/0!", 2042 "#N/A", ...); the
/// number itself for one it does not document.
std::u16string XlErrorText(std::int32_t code);

/// The message shown when the selection holds several areas.
inline constexpr std::u16string_view kExcelSeveralAreas = u"複数の範囲が選択されています。一つの範囲を選択してください。";

} // namespace gridvane
