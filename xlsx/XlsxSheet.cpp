#include "xlsx/XlsxSheet.h"

#include "base/Error.h"
#include "base/Utf.h"
#include "model/CellAddress.h"

namespace gridvane::xlsx {

const Cell* Sheet::Find(std::int32_t row, std::int32_t col) const
{
    if (!Holds(row, col)) {
        throw Error(ToUtf8(CellName(col, row)) + ": the cell lies outside the area read from the sheet " + ToUtf8(name_));
    }
    if (!dense_.empty()) {
        const Cell& cell = dense_[static_cast<std::size_t>(row - kept_.r1) * static_cast<std::size_t>(kept_.c2 - kept_.c1 + 1) +
                                  static_cast<std::size_t>(col - kept_.c1)];
        return cell.present ? &cell : nullptr;
    }
    const auto it = cells_.find(Key(row, col));
    return it == cells_.end() ? nullptr : &it->second;
}

Cell& Sheet::Slot(std::int32_t row, std::int32_t col)
{
    if (!dense_.empty()) {
        return dense_[static_cast<std::size_t>(row - kept_.r1) * static_cast<std::size_t>(kept_.c2 - kept_.c1 + 1) +
                      static_cast<std::size_t>(col - kept_.c1)];
    }
    return cells_[Key(row, col)];
}

std::uint32_t Sheet::StyleOf(std::int32_t row, std::int32_t col, const Cell* cell) const
{
    if (cell) return cell->style;
    const auto it = rowStyles_.find(row);
    if (it != rowStyles_.end()) return it->second;
    if (const ColInfo* c = Col(col)) return c->style;
    return 0;
}

} // namespace gridvane::xlsx
