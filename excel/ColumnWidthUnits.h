#pragma once
// Column widths as the spreadsheet counts them: in digits of the workbook's Normal font, through whole
// pixels (ECMA-376 Part 1, 18.3.1.13, col: width). Shared by the readers that must answer ColumnWidth
// as the spreadsheet does for the same workbook.
#include <string_view>

namespace gridvane {

/// The widest digit of a workbook's Normal font (fontName at size points) in pixels at 96 per inch;
/// fonts not known by name count as Calibri.
double NormalFontDigitWidth(std::u16string_view fontName, double size);
/// The pixels of a column the file gives width characters wide (0 for none):
/// trunc(((256 × width + trunc(128 / mdw)) / 256) × mdw).
int ColumnPixelsOfWidth(double width, double mdw);
/// The pixels of a column the file leaves at the sheet's default of baseColWidth digits: the digits and
/// 5 pixels, rounded up to a multiple of 8.
int DefaultColumnPixels(double baseColWidth, double mdw);
/// ColumnWidth of a column of that many pixels: 5 pixels of margin and grid line, the rest in digits,
/// to 1/100.
double ColumnWidthOfPixels(int pixels, double mdw);

} // namespace gridvane
