// Any UTF-16 text through the width conversions. The three conversions of single characters change exactly
// their own characters, each unit by itself, whatever surrounds it; the kana conversion gives back every
// unit that code page 932 lacks, in order.
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "textconv/Cp932.h"
#include "textconv/StrConvUnit.h"
#include "textconv/TextCommands.h"

namespace {

constexpr std::u16string_view kSymbols = u"，．：；？！｀＾＿／｜（）［］｛｝＋－＝＜＞￥＄％＃＆＊＠";
constexpr std::u16string_view kSymbolResults = u",.:;?!`^_/l()[]{}+-=<>\\$%#&*@";

char16_t Digit(char16_t c)
{
    return c >= u'０' && c <= u'９' ? static_cast<char16_t>(c - 0xFEE0) : c;
}

char16_t Letter(char16_t c)
{
    const bool letter = (c >= u'Ａ' && c <= u'Ｚ') || (c >= u'ａ' && c <= u'ｚ');
    return letter ? static_cast<char16_t>(c - 0xFEE0) : c;
}

char16_t Symbol(char16_t c)
{
    if (c < u'\uFF01') // below every symbol of the list
        return c;
    const std::size_t at = kSymbols.find(c);
    return at == std::u16string_view::npos ? c : kSymbolResults[at];
}

void ExpectUnitByUnit(std::u16string_view text, const std::u16string& result, char16_t (*map)(char16_t))
{
    std::u16string expected(text);
    for (char16_t& c : expected)
        c = map(c);
    if (result != expected)
        std::abort();
}

std::u16string Outside(std::u16string_view text)
{
    std::u16string units;
    for (const char16_t c : text)
        if (!gridvane::IsCp932Representable(c))
            units += c;
    return units;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    std::u16string text;
    for (std::size_t i = 0; i + 1 < size; i += 2)
        text += static_cast<char16_t>(data[i] | (data[i + 1] << 8));
    ExpectUnitByUnit(text, gridvane::FullDigitsToHalf(text), Digit);
    ExpectUnitByUnit(text, gridvane::FullAlphaToHalf(text), Letter);
    ExpectUnitByUnit(text, gridvane::FullSymbolsToHalf(text), Symbol);
    if (Outside(gridvane::HalfKanaToFull(text)) != Outside(text))
        std::abort();
    (void)gridvane::ToFullWidth(text);
    (void)gridvane::ToHalfWidth(text);
    return 0;
}
