// Any text as a number typed into the window (the first byte picks the decimal separator, the rest is
// UTF-16): a number read is finite, whatever the settings file's parser reads the typed parser reads
// alike, and full-width forms read as their ASCII characters.
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "settings/NumberText.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    if (size == 0)
        return 0;
    const char16_t sep = data[0] & 1 ? u',' : u'.';
    std::u16string text;
    for (std::size_t i = 1; i + 1 < size; i += 2)
        text += static_cast<char16_t>(data[i] | (data[i + 1] << 8));
    const auto typed = gridvane::ParseTypedNumber(text, sep);
    if (typed && !std::isfinite(*typed))
        std::abort();
    if (const auto stored = gridvane::ParseNumber(text, sep); stored && typed != stored)
        std::abort();
    std::u16string wide = text;
    for (char16_t& c : wide)
        if (c >= u'!' && c <= u'~')
            c = static_cast<char16_t>(c + 0xFEE0);
    if (gridvane::ParseTypedNumber(wide, sep) != typed)
        std::abort();
    return 0;
}
