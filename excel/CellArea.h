#pragma once
// A rectangle of cells as the object model numbers its parts, for the backends that answer ranges from
// their own rectangles.
#include <cstdint>
#include <limits>
#include <string>
#include <string_view>

namespace gridvane {

/// A sheet's last row and column.
inline constexpr std::int32_t kSheetRows = 1048576;
inline constexpr std::int32_t kSheetColumns = 16384;

/// Rows r1..r2 and columns c1..c2 of a sheet, from 1.
struct XlArea {
    std::int32_t r1 = 1, c1 = 1, r2 = 1, c2 = 1;
};

/// "B12" or "$B$12" (letters in either case) -> row 12, column 2; false when it names no cell of a sheet
/// of kSheetColumns columns and maxRow rows.
template <class Char>
bool ParseCellName(std::basic_string_view<Char> text, std::int32_t& row, std::int32_t& col, std::int64_t maxRow = kSheetRows)
{
    std::size_t i = 0;
    if (i < text.size() && text[i] == Char('$')) ++i;
    std::int64_t c = 0, r = 0;
    const std::size_t letters = i;
    for (; i < text.size() && ((text[i] >= Char('A') && text[i] <= Char('Z')) || (text[i] >= Char('a') && text[i] <= Char('z'))); ++i) {
        c = c * 26 + ((text[i] & ~0x20) - 'A' + 1);
        if (c > kSheetColumns) return false;
    }
    if (i == letters) return false;
    if (i < text.size() && text[i] == Char('$')) ++i;
    const std::size_t digits = i;
    for (; i < text.size() && text[i] >= Char('0') && text[i] <= Char('9'); ++i) {
        r = r * 10 + (text[i] - '0');
        if (r > maxRow) return false;
    }
    if (i == digits || i != text.size() || r < 1) return false;
    row = static_cast<std::int32_t>(r), col = static_cast<std::int32_t>(c);
    return true;
}

/// The rectangle an Address answer names ("$B$2:$P$97", "$B$2", also without the dollars), the inverse of
/// AbsoluteAddress; any row a backend numbers (some have more than kSheetRows). False for anything else.
bool ParseAddress(std::u16string_view text, XlArea& area);

/// Rows(i) and Columns(i) of an area, from 1; throw Error for one it does not have.
XlArea AreaRow(const XlArea& area, std::int32_t i);
XlArea AreaColumn(const XlArea& area, std::int32_t i);
/// Cells(r, c), from 1, which may lie past the area (as the object model's do) but not before it or past
/// the sheet's 1,048,576 rows and 16,384 columns; throws Error otherwise.
XlArea AreaCell(const XlArea& area, std::int32_t r, std::int32_t c);

/// Address: "$B$2:$P$97", "$B$2" for one cell.
std::u16string AbsoluteAddress(const XlArea& area);

} // namespace gridvane
