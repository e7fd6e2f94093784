#include "excel/CellArea.h"

#include "base/Decimal.h"
#include "base/Error.h"
#include "model/CellAddress.h"

namespace gridvane {

namespace {

std::u16string Absolute(std::int32_t row, std::int32_t col)
{
    return u"$" + ColNoToLetters(col) + u"$" + Decimal(row);
}

} // namespace

XlArea AreaRow(const XlArea& a, std::int32_t i)
{
    if (i < 1 || i > a.r2 - a.r1 + 1) throw Error("Rows(" + std::to_string(i) + "): no such row");
    return {a.r1 + i - 1, a.c1, a.r1 + i - 1, a.c2};
}

XlArea AreaColumn(const XlArea& a, std::int32_t i)
{
    if (i < 1 || i > a.c2 - a.c1 + 1) throw Error("Columns(" + std::to_string(i) + "): no such column");
    return {a.r1, a.c1 + i - 1, a.r2, a.c1 + i - 1};
}

XlArea AreaCell(const XlArea& a, std::int32_t r, std::int32_t c)
{
    const std::int64_t row = static_cast<std::int64_t>(a.r1) + r - 1, col = static_cast<std::int64_t>(a.c1) + c - 1;
    if (r < 1 || c < 1 || row > kSheetRows || col > kSheetColumns) {
        throw Error("Cells(" + std::to_string(r) + ", " + std::to_string(c) + "): no such cell");
    }
    return {static_cast<std::int32_t>(row), static_cast<std::int32_t>(col), static_cast<std::int32_t>(row),
            static_cast<std::int32_t>(col)};
}

bool ParseAddress(std::u16string_view text, XlArea& area)
{
    constexpr std::int64_t anyRow = std::numeric_limits<std::int32_t>::max();
    const std::size_t colon = text.find(u':');
    if (!ParseCellName(text.substr(0, colon), area.r1, area.c1, anyRow)) return false;
    if (colon == std::u16string_view::npos) {
        area.r2 = area.r1, area.c2 = area.c1;
        return true;
    }
    return ParseCellName(text.substr(colon + 1), area.r2, area.c2, anyRow) && area.r2 >= area.r1 && area.c2 >= area.c1;
}

std::u16string AbsoluteAddress(const XlArea& a)
{
    std::u16string text = Absolute(a.r1, a.c1);
    if (a.r1 != a.r2 || a.c1 != a.c2) text += u":" + Absolute(a.r2, a.c2);
    return text;
}

} // namespace gridvane
