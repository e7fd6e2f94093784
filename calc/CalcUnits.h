#pragma once
// Calc's units turned into the ones the import expects of the spreadsheet: column-width units and
// points, the alignment and line-style constants of the object model.
#include <cstdint>
#include <string_view>

namespace gridvane::calc {

/// Twips (1/1440 inch) and 1/100 mm, the units Calc's API measures in.
inline constexpr double kMm100PerTwip = 2540.0 / 1440.0;
/// 1/100 mm per pixel at 96 pixels per inch.
inline constexpr double kMm100PerPixel = 2540.0 / 96.0;

/// How a workbook's column widths came into Calc: the width of one digit of the workbook's Normal font
/// on the document's reference device, and the file's maximum digit width in pixels.
struct ColumnScale {
    double digitMm100 = 0; // Calc's width of one character of the file's column width, 1/100 mm
    double mdw = 7;        // the workbook-file reader's maximum digit width, pixels
    double defaultMm100 = 0; // the width Calc gives columns the file leaves at the sheet's default; 0: unknown
};

/// The pixels the workbook-file reader gives a column that Calc shows widthMm100 wide (0 when hidden).
int ColumnPixels(std::int32_t widthMm100, bool visible, const ColumnScale& scale);
/// A row height or a row's position in points from Calc's 1/100 mm (Calc keeps rows in whole twips).
double RowHeightPoints(std::int32_t heightMm100);

/// HorizontalAlignment's constant for Calc's CellHoriJustify (0 standard, 1 left, 2 centre, 3 right,
/// 4 block, 5 repeat).
int AlignmentConstant(int horiJustify);
/// Borders(i).LineStyle's constant for a Calc border line: kXlLineStyleNone when its widths are all 0.
int LineStyleConstant(int borderLineStyle, int lineWidth, int outerWidth, int innerWidth);

} // namespace gridvane::calc
