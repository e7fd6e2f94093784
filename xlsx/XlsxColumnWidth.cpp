// Column widths and row heights: the spreadsheet's pixel arithmetic of column widths (maximum digit width,
// padding, rounding to whole pixels) and the positions of columns and rows in points.
#include <algorithm>
#include <cmath>

#include "excel/ColumnWidthUnits.h"
#include "xlsx/XlsxSheet.h"
#include "xlsx/XlsxWorkbookFile.h"

namespace gridvane::xlsx {

const ColInfo* Sheet::Col(std::int32_t col) const
{
    if (col < 1 || col > kMaxCol) return nullptr;
    const std::int32_t i = colIndex_[static_cast<std::size_t>(col)];
    return i < 0 ? nullptr : &cols_[static_cast<std::size_t>(i)];
}

int Sheet::ColumnPixels(std::int32_t col) const
{
    const double mdw = book_.MaxDigitWidth();
    if (const ColInfo* c = Col(col)) {
        if (c->hidden || !c->hasWidth) return 0;
        return ColumnPixelsOfWidth(c->width, mdw);
    }
    if (defaultColWidth_) return ColumnPixelsOfWidth(*defaultColWidth_, mdw);
    return DefaultColumnPixels(baseColWidth_, mdw);
}

double Sheet::ColumnWidth(std::int32_t col) const { return ColumnWidthOfPixels(ColumnPixels(col), book_.MaxDigitWidth()); }

double Sheet::RowHeight(std::int32_t row) const
{
    const auto it = std::lower_bound(rowHeights_.begin(), rowHeights_.end(), std::make_pair(row, -1.0e300));
    return it != rowHeights_.end() && it->first == row ? it->second : defaultRowHeight_;
}

double Sheet::Top(std::int32_t row) const
{
    const auto end = std::lower_bound(rowHeights_.begin(), rowHeights_.end(), std::make_pair(row, -1.0e300));
    return (row - 1) * defaultRowHeight_ + rowDeltaSums_[static_cast<std::size_t>(end - rowHeights_.begin())];
}

} // namespace gridvane::xlsx
