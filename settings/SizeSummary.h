#pragma once
#include <array>
#include <string>

#include "model/CellTable.h"

namespace gridvane {

/// The five values of the settings page's summary: total width, total height, and "mode (min～max)" of the
/// first row's drawW, the first column's drawH and every cell's drawTH, all "%.3f". Empty texts for no table.
std::array<std::u16string, 5> SizeSummary(const CellTable& table, char16_t decimalSeparator);

/// The overall size "全体: W=%.3f x H=%.3f" (first row's drawW, first column's drawH); empty for no table.
std::u16string ShowWHSizeText(const CellTable& table, char16_t decimalSeparator);

} // namespace gridvane
