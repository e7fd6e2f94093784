// Column widths and row heights: the spreadsheet's pixel arithmetic of column widths (maximum digit width,
// padding, rounding to whole pixels) and the positions of columns and rows in points.
#include <algorithm>
#include <cmath>

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
    auto fromWidth = [mdw](double w) {
        if (!(w > 0)) return 0;
        const double px = std::trunc(((256.0 * w + std::trunc(128.0 / mdw)) / 256.0) * mdw);
        return static_cast<int>(std::min(px, 1.0e6));
    };
    if (const ColInfo* c = Col(col)) {
        if (c->hidden || !c->hasWidth) return 0;
        return fromWidth(c->width);
    }
    if (defaultColWidth_) return fromWidth(*defaultColWidth_);
    const double px = baseColWidth_ * mdw + 5;
    return static_cast<int>(std::ceil(px / 8.0) * 8);
}

double Sheet::ColumnWidth(std::int32_t col) const
{
    const double mdw = book_.MaxDigitWidth();
    const int px = ColumnPixels(col);
    if (px <= 0) return 0;
    return std::max(0.0, std::trunc((px - 5) / mdw * 100 + 0.5) / 100);
}

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
