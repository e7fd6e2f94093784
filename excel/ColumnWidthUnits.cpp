#include "excel/ColumnWidthUnits.h"

#include <algorithm>
#include <cmath>

namespace gridvane {

double NormalFontDigitWidth(std::u16string_view fontName, double size)
{
    struct Known {
        std::u16string_view name;
        double mdw; // at 11 points
    };
    static constexpr Known kKnown[] = {{u"Calibri", 7}, {u"ＭＳ Ｐゴシック", 8}, {u"ＭＳ ゴシック", 8},
                                       {u"游ゴシック", 8}, {u"メイリオ", 8}, {u"Arial", 7}};
    double base = 7;
    for (const Known& k : kKnown)
        if (fontName == k.name) base = k.mdw;
    return std::max(1.0, std::round(base * size / 11.0));
}

int ColumnPixelsOfWidth(double width, double mdw)
{
    if (!(width > 0)) return 0;
    const double px = std::trunc(((256.0 * width + std::trunc(128.0 / mdw)) / 256.0) * mdw);
    return static_cast<int>(std::min(px, 1.0e6));
}

int DefaultColumnPixels(double baseColWidth, double mdw)
{
    return static_cast<int>(std::ceil((baseColWidth * mdw + 5) / 8.0) * 8);
}

double ColumnWidthOfPixels(int pixels, double mdw)
{
    if (pixels <= 0) return 0;
    return std::max(0.0, std::trunc((pixels - 5) / mdw * 100 + 0.5) / 100);
}

} // namespace gridvane
