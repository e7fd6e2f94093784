#include "xlsx/XlsxSheet.h"

#include "base/Error.h"
#include "base/Utf.h"
#include "model/CellAddress.h"

namespace gridvane::xlsx {

void Sheet::Outside(std::int32_t row, std::int32_t col) const
{
    throw Error(ToUtf8(CellName(col, row)) + ": the cell lies outside the area read from the sheet " + ToUtf8(name_));
}

const Cell* Sheet::Sparse(std::int32_t row, std::int32_t col) const
{
    const auto it = cells_.find(Key(row, col));
    return it == cells_.end() ? nullptr : &it->second;
}

std::uint32_t Sheet::StyleOfEmpty(std::int32_t row, std::int32_t col) const
{
    const auto it = rowStyles_.find(row);
    if (it != rowStyles_.end()) return it->second;
    if (const ColInfo* c = Col(col)) return c->style;
    return 0;
}

} // namespace gridvane::xlsx
