#pragma once
// A1 references: cells ("B12", "$B$12") and areas ("B2:D5", "A:C", "3:5").
#include <cstdint>
#include <string>
#include <string_view>

#include "excel/CellArea.h"

namespace gridvane::xlsx {

/// The sheet's last row and column.
constexpr std::int32_t kMaxRow = kSheetRows;
constexpr std::int32_t kMaxCol = kSheetColumns;

/// "B12" (with optional $ signs) -> row 12, column 2; false when it is not a cell reference in the sheet.
inline bool ParseCellRef(std::string_view ref, std::int32_t& row, std::int32_t& col) { return ParseCellName(ref, row, col); }

/// A rectangle of cells: rows r1..r2, columns c1..c2, from 1.
using Area = XlArea;

/// A column name alone ("C", "$C"), within the sheet; false otherwise.
bool ParseColumnName(std::string_view text, std::int32_t& col);
/// A row number alone ("5", "$5"), within the sheet; false otherwise.
bool ParseRowNumber(std::string_view text, std::int32_t& row);

/// "B2:D5", "B2", "A:C" (whole columns), "3:5" (whole rows); false otherwise, and for mixtures such as
/// "B2:D" or "B2:5", which name no range.
bool ParseArea(std::string_view text, Area& area);

/// The key of a cell in the sheet's maps.
inline std::uint64_t Key(std::int32_t row, std::int32_t col)
{
    return (static_cast<std::uint64_t>(row) << 16) | static_cast<std::uint64_t>(col);
}

} // namespace gridvane::xlsx
