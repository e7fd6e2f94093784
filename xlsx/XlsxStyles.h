#pragma once
// Cell styles of the workbook's styles part: fonts, borders, alignments and number formats of cell formats,
// as the automation constants the spreadsheet answers with.
#include <cstddef>
#include <string>

#include "excel/SpreadsheetAutomation.h"

namespace gridvane::xlsx {

/// The LineStyle constant of a border style name ("dashed"): no line for "none" or no name, continuous for
/// the solid styles and any unknown one.
int BorderStyleConstant(const char* style);
/// The HorizontalAlignment constant of an alignment name ("center"); general for an empty or unknown name.
int AlignmentConstant(const char* horizontal);

/// A font of the styles part.
struct Font {
    double size = 11;
    std::u16string name;
};

/// A border of the styles part, as LineStyle constants.
struct Border {
    int left = kXlLineStyleNone, right = kXlLineStyleNone, top = kXlLineStyleNone, bottom = kXlLineStyleNone;
    int diagonal = kXlLineStyleNone;
    bool diagonalUp = false, diagonalDown = false;
};

/// A cell format of the styles part.
struct Xf {
    int numFmtId = 0;
    std::size_t fontId = 0;
    std::size_t borderId = 0;
    int horizontal = kXlHAlignGeneral;
    std::u16string formatCode; // of numFmtId; empty for General
};

} // namespace gridvane::xlsx
