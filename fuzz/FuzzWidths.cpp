// Any UTF-16 text through the width conversions; what CP932 represents and no rule converts comes back.
#include <cstdint>
#include <cstdlib>
#include <string>

#include "textconv/Cp932.h"
#include "textconv/StrConvUnit.h"
#include "textconv/TextCommands.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    std::u16string text;
    for (std::size_t i = 0; i + 1 < size; i += 2) text += static_cast<char16_t>(data[i] | (data[i + 1] << 8));
    (void)gridvane::FullDigitsToHalf(text);
    (void)gridvane::FullAlphaToHalf(text);
    (void)gridvane::FullSymbolsToHalf(text);
    (void)gridvane::HalfKanaToFull(text);
    (void)gridvane::ToFullWidth(text);
    (void)gridvane::ToHalfWidth(text);
    // Round trip: a text of characters CP932 represents, none of which a rule of FullDigitsToHalf converts,
    // comes back unchanged.
    std::u16string plain;
    for (char16_t c : text)
        if (c < 0xD800 || c > 0xDFFF)
            if (gridvane::IsCp932Representable(c) && !(c >= u'０' && c <= u'９')) plain += c;
    if (gridvane::FullDigitsToHalf(plain) != plain) std::abort();
    return 0;
}
