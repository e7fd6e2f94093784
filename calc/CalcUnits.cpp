#include "calc/CalcUnits.h"

#include <algorithm>
#include <cmath>

#include "excel/SpreadsheetAutomation.h"

namespace gridvane::calc {

namespace {

// Constants of the object model beyond those the import names.
constexpr int kXlHAlignGeneral = 1;
constexpr int kXlHAlignFill = 5;
constexpr int kXlHAlignJustify = -4130;
constexpr int kXlContinuous = 1;
constexpr int kXlDash = -4115;
constexpr int kXlDot = -4118;
constexpr int kXlDouble = -4119;
constexpr int kXlDashDot = 4;
constexpr int kXlDashDotDot = 5;

// com.sun.star.table.BorderLineStyle
enum BorderLineStyle { kDotted = 1, kDashed = 2, kDouble = 3, kDashDot = 16, kDashDotDot = 17 };

} // namespace

double FileMaxDigitWidth(std::u16string_view fontName, double size)
{
    // The digit widths of the fonts the workbook-file reader knows, at 11 points and 96 pixels per inch.
    struct Known {
        std::u16string_view name;
        double mdw;
    };
    static constexpr Known kKnown[] = {{u"Calibri", 7}, {u"ＭＳ Ｐゴシック", 8}, {u"ＭＳ ゴシック", 8},
                                       {u"游ゴシック", 8}, {u"メイリオ", 8}, {u"Arial", 7}};
    double base = 7;
    for (const Known& k : kKnown)
        if (fontName == k.name) base = k.mdw;
    return std::max(1.0, std::round(base * size / 11.0));
}

int ColumnPixels(std::int32_t widthMm100, bool visible, const ColumnScale& scale)
{
    if (!visible || widthMm100 <= 0 || !(scale.digitMm100 > 0)) return 0;
    const double mdw = scale.mdw;
    // A column the file leaves at the sheet's default: Calc made it baseColWidth digits and 5 pixels
    // wide; the reader gives it baseColWidth × mdw + 5 pixels rounded up to a multiple of 8.
    if (scale.defaultMm100 > 0 && std::abs(widthMm100 - scale.defaultMm100) <= 1) {
        const double base = std::round((scale.defaultMm100 - 5 * kMm100PerPixel) / scale.digitMm100);
        if (std::abs(base * scale.digitMm100 + 5 * kMm100PerPixel - scale.defaultMm100) <= 2) {
            return static_cast<int>(std::ceil((base * mdw + 5) / 8.0) * 8);
        }
    }
    // Calc's import of a workbook sets a column's width to the file's width (in characters) times the
    // widest digit of the Normal style's font, measured on the document's reference device (the office's
    // OOXML filter: oox/source/xls/worksheethelper.cxx, convertColumns, with the digit width of
    // oox/source/xls/unitconverter.cxx). Dividing by that digit width gives back the file's width, and
    // the file's width becomes pixels by the rule of ECMA-376 Part 1, 18.3.1.13 (col, width):
    // trunc(((256 × width + trunc(128 / mdw)) / 256) × mdw), as the workbook-file reader computes it.
    const double width = widthMm100 / scale.digitMm100;
    const double px = std::trunc(((256.0 * width + std::trunc(128.0 / mdw)) / 256.0) * mdw);
    return static_cast<int>(std::clamp(px, 0.0, 1.0e6));
}

double ColumnWidthOfPixels(int pixels, double mdw)
{
    // The same standard: 5 pixels of margin and grid line, the rest in digits to 1/100.
    if (pixels <= 0) return 0;
    return std::max(0.0, std::trunc((pixels - 5) / mdw * 100 + 0.5) / 100);
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
