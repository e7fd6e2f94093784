#pragma once
// A rectangle of cells as the object model numbers its parts, for the backends that answer ranges from
// their own rectangles.
#include <cstdint>
#include <string>

namespace gridvane {

/// Rows r1..r2 and columns c1..c2 of a sheet, from 1.
struct XlArea {
    std::int32_t r1 = 1, c1 = 1, r2 = 1, c2 = 1;
};

/// Rows(i) and Columns(i) of an area, from 1; throw Error for one it does not have.
XlArea AreaRow(const XlArea& area, std::int32_t i);
XlArea AreaColumn(const XlArea& area, std::int32_t i);
/// Cells(r, c), from 1, which may lie past the area (as the object model's do) but not before it or past
/// the sheet's 1,048,576 rows and 16,384 columns; throws Error otherwise.
XlArea AreaCell(const XlArea& area, std::int32_t r, std::int32_t c);

/// Address: "$B$2:$P$97", "$B$2" for one cell.
std::u16string AbsoluteAddress(const XlArea& area);

} // namespace gridvane
