#pragma once
#include <string>
#include <vector>

#include "app/ConvertOptions.h"
#include "model/CellTable.h"
#include "settings/Settings.h"

namespace gridvane {

/// The table the converter draws and the grid text of every cell (texts[r * GridColCount + c]).
struct InputTable {
    CellTable table;
    std::vector<std::u16string> texts;
    std::string description; // what was read, for the summary ("table file", "sheet X, A1:D10")
};

/// Reads the table named by options.input; the kind of input follows from its extension. A workbook is
/// imported as the window imports it, with the display and drawing scales of settings and the decimal
/// separator given. Throws Error naming the input and the problem.
InputTable ReadInput(const ConvertOptions& options, const TSettings& settings, char16_t decimalSeparator);

} // namespace gridvane
