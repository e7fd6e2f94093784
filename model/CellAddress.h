#pragma once
#include <cstdint>
#include <string>

namespace gridvane {

/// The worksheet's name of column n (1 gives "A", 27 "AA", 16384 "XFD"); empty for 0 and negative n.
std::u16string ColNoToLetters(std::int32_t n);

/// The A1 name of the cell in column col and row row, both from 1 ("B12").
std::u16string CellName(std::int32_t col, std::int64_t row);

} // namespace gridvane
