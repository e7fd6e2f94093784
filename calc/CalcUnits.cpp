#include "calc/CalcUnits.h"

#include <algorithm>
#include <cmath>

#include "excel/ColumnWidthUnits.h"
#include "excel/SpreadsheetAutomation.h"

namespace gridvane::calc {

namespace {

// com.sun.star.table.BorderLineStyle
enum BorderLineStyle { kDotted = 1, kDashed = 2, kDouble = 3, kDashDot = 16, kDashDotDot = 17 };

} // namespace

int ColumnPixels(std::int32_t widthMm100, bool visible, const ColumnScale& scale)
{
    if (!visible || widthMm100 <= 0 || !(scale.digitMm100 > 0)) return 0;
    const double mdw = scale.mdw;
    // A column the file leaves at the sheet's default: Calc made it baseColWidth digits and 5 pixels
    // wide; the reader gives it baseColWidth × mdw + 5 pixels rounded up to a multiple of 8.
    if (scale.defaultMm100 > 0 && std::abs(widthMm100 - scale.defaultMm100) <= 1) {
        const double base = std::round((scale.defaultMm100 - 5 * kMm100PerPixel) / scale.digitMm100);
        if (std::abs(base * scale.digitMm100 + 5 * kMm100PerPixel - scale.defaultMm100) <= 2) {
            return DefaultColumnPixels(base, mdw);
        }
    }
    // Calc's import of a workbook sets a column's width to the file's width (in characters) times the
    // widest digit of the Normal style's font, measured on the document's reference device (the office's
    // OOXML filter: oox/source/xls/worksheethelper.cxx, convertColumns, with the digit width of
    // oox/source/xls/unitconverter.cxx). Dividing by that digit width gives back the file's width, and
    // the file's width becomes pixels by the rule of ECMA-376 Part 1, 18.3.1.13 (col, width):
    // trunc(((256 × width + trunc(128 / mdw)) / 256) × mdw), as the workbook-file reader computes it.
    return ColumnPixelsOfWidth(widthMm100 / scale.digitMm100, mdw);
}

double RowHeightPoints(std::int32_t heightMm100)
{
    // Calc holds row heights in twips and answers them in 1/100 mm, rounded: back to twips, then points.
    return std::round(heightMm100 / kMm100PerTwip) / 20.0;
}

int AlignmentConstant(int horiJustify)
{
    switch (horiJustify) {
    case 1: return kXlHAlignLeft;
    case 2: return kXlHAlignCenter;
    case 3: return kXlHAlignRight;
    case 4: return kXlHAlignJustify;
    case 5: return kXlHAlignFill;
    default: return kXlHAlignGeneral;
    }
}

int LineStyleConstant(int borderLineStyle, int lineWidth, int outerWidth, int innerWidth)
{
    // A line counts when it has a width; its style only names the kind.
    if (lineWidth == 0 && outerWidth == 0 && innerWidth == 0) return kXlLineStyleNone;
    switch (borderLineStyle) {
    case kDotted: return kXlDot;
    case kDashed: return kXlDash;
    case kDouble: return kXlDouble;
    case kDashDot: return kXlDashDot;
    case kDashDotDot: return kXlDashDotDot;
    default: return kXlContinuous;
    }
}

} // namespace gridvane::calc
