#pragma once
// One import's view of the running Calc: the connection, the document in front, its active sheet, and
// what has been read of the sheet's columns, rows and cells. Internal to calc/.
#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <set>
#include <tuple>
#include <string>
#include <vector>

#include <com/sun/star/beans/XPropertySet.hpp>
#include <com/sun/star/frame/XController.hpp>
#include <com/sun/star/frame/XModel.hpp>
#include <com/sun/star/sheet/XSpreadsheet.hpp>
#include <com/sun/star/sheet/XSpreadsheetDocument.hpp>
#include <com/sun/star/table/CellRangeAddress.hpp>
#include <com/sun/star/table/XCellRange.hpp>
#include <com/sun/star/table/XTableColumns.hpp>
#include <com/sun/star/table/XTableRows.hpp>
#include <com/sun/star/uno/Any.hxx>
#include <com/sun/star/util/XNumberFormatter.hpp>

#include "calc/CalcConnection.h"
#include "calc/CalcUnits.h"

namespace gridvane::calc {

/// A rectangle of cells, rows and columns from 1, inclusive.
struct Rect {
    std::int32_t r1 = 1, c1 = 1, r2 = 1, c2 = 1;
    bool Contains(std::int32_t r, std::int32_t c) const { return r >= r1 && r <= r2 && c >= c1 && c <= c2; }
    bool operator<(const Rect& o) const
    {
        return std::tie(r1, c1, r2, c2) < std::tie(o.r1, o.c1, o.r2, o.c2);
    }
    bool operator==(const Rect& o) const = default;
    bool Single() const { return r1 == r2 && c1 == c2; }
};
inline Rect RectOf(const css::table::CellRangeAddress& a)
{
    return {a.StartRow + 1, a.StartColumn + 1, a.EndRow + 1, a.EndColumn + 1};
}

/// The cell properties read over a range in one go, and which of them differ across its cells.
struct Snapshot {
    std::vector<css::uno::Any> values; // in the order of kSnapshotProperties
    std::vector<bool> mixed;
};
enum SnapshotProperty { kHoriJustify, kCharHeight, kTopBorder, kBottomBorder, kLeftBorder, kRightBorder, kDiagonalTLBR,
                        kDiagonalBLTR, kNumberFormat, kPosition, kSnapshotPropertyCount };

class Session {
public:
    explicit Session(const CalcAttachOptions& options);

    Connection& Uno() { return connection_; }
    const Reference<css::frame::XModel>& Model() const { return model_; }
    const Reference<css::frame::XController>& Controller() const { return controller_; }
    /// The active sheet (read once).
    const Reference<css::sheet::XSpreadsheet>& Sheet();
    std::u16string SheetName();

    /// The UNO object of a rectangle of the active sheet (a cell object for one cell).
    Reference<css::uno::XInterface> RangeObject(const Rect& rect);
    /// The properties of a rectangle, read once.
    const Snapshot& PropertiesOf(const Rect& rect);
    /// The displayed text of a cell.
    std::u16string CellText(std::int32_t row, std::int32_t col);
    /// Value2 of every cell of a rectangle.
    XlValueArray Values(const Rect& rect);
    /// The merged area holding a cell (the cell itself when it is not merged).
    Rect MergedArea(std::int32_t row, std::int32_t col);
    /// Whether some merged area lies in or reaches into rect; and whether rect is exactly one merged area.
    XlValue MergeState(const Rect& rect);
    /// The font size of a rectangle: one value, or null where sizes differ (also within a cell's text).
    XlValue FontSize(const Rect& rect);
    /// The number format code of a key.
    std::u16string FormatCode(std::int32_t key);

    /// A column's width in pixels as the workbook-file reader counts it, and its left edge.
    int ColumnPixels(std::int32_t col);
    int ColumnLeftPixels(std::int32_t col);
    /// A row's height in points.
    double RowHeight(std::int32_t row);

    /// Marks the selection, the area whose error and formatted-text cells are found in one query each.
    void SetSelection(const Rect& rect) { selection_ = rect; }

    /// How the workbook's column widths came into Calc (read once).
    const ColumnScale& Scale();

private:
    struct Column {
        std::int32_t width = 0; // 1/100 mm
        bool visible = true;
    };
    Column ColumnAt(std::int32_t col);
    Rect GrownToMergedAreas(const Rect& rect);
    const Reference<css::table::XTableColumns>& Columns();
    // The cells of rect (or of the selection, when rect lies in it) found by a content query.
    const std::vector<Rect>& QueryCells(const Rect& rect, bool errors);
    bool IsLogical(std::int32_t key);
    // The text a number shows under a format key, as the document's formatter writes it.
    std::u16string FormatNumber(std::int32_t key, double value);

    Connection connection_;
    Reference<css::frame::XModel> model_;
    Reference<css::frame::XController> controller_;
    Reference<css::sheet::XSpreadsheetDocument> document_;
    Reference<css::sheet::XSpreadsheet> sheet_;
    Reference<css::table::XCellRange> sheetCells_;
    std::optional<Rect> selection_;
    Reference<css::table::XTableColumns> columnObjects_;
    Reference<css::table::XTableRows> rows_;

    std::optional<ColumnScale> scale_;
    std::map<std::int32_t, Column> columns_;
    std::vector<int> leftPixels_; // leftPixels_[c - 1]: left edge of column c
    std::map<std::int32_t, double> rowHeights_;
    std::map<Rect, Snapshot> snapshots_;
    std::map<Rect, Reference<css::uno::XInterface>> objects_;
    std::map<std::pair<Rect, bool>, std::vector<Rect>> queried_;
    std::vector<Rect> mergedAreas_;
    std::set<std::int32_t> rowsAsked_; // rows of the selection whose merged areas were asked as a whole
    std::map<std::int32_t, std::u16string> formatCodes_;
    std::map<std::int32_t, bool> logical_;
    std::map<Rect, XlValueArray> valueArrays_;
    Reference<css::util::XNumberFormatter> formatter_;
};

} // namespace gridvane::calc
