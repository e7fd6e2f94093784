// Every legacy code page the drawing file is written in has the question mark (0x3F) as its default
// character, and no multi-byte sequence of them holds the byte 0x3F: a text whose encoding has more
// question marks than the text itself lost characters, and a character that encodes to "?" alone is one
// the code page lacks.
#include "textconv/DrawingTextCheck.h"

#include <algorithm>

#include "textconv/DrawingCodePage.h"

namespace gridvane {

namespace {

constexpr char16_t kQuestion = u'?';

bool AllAscii(std::u16string_view text)
{
    return std::all_of(text.begin(), text.end(), [](char16_t c) { return c < 0x80; });
}

bool LostCharacters(std::u16string_view text)
{
    if (AllAscii(text)) return false;
    const std::string bytes = EncodeDrawingText(text);
    return std::count(bytes.begin(), bytes.end(), '?') != std::count(text.begin(), text.end(), kQuestion);
}

} // namespace

bool HasUnrepresentableDrawingChars(std::u16string_view text)
{
    return LostCharacters(text);
}

std::vector<UnrepresentableChar> UnrepresentableDrawingChars(std::u16string_view text)
{
    std::vector<UnrepresentableChar> found;
    if (!LostCharacters(text)) return found;
    for (std::size_t i = 0; i < text.size();) {
        std::size_t n = 1;
        if (text[i] >= 0xD800 && text[i] <= 0xDBFF && i + 1 < text.size() && text[i + 1] >= 0xDC00 && text[i + 1] <= 0xDFFF)
            n = 2;
        const std::u16string_view ch = text.substr(i, n);
        i += n;
        if (n == 1 && ch[0] < 0x80) continue;
        const std::string bytes = EncodeDrawingText(ch);
        if (bytes != "?") continue;
        if (std::any_of(found.begin(), found.end(), [&](const UnrepresentableChar& u) { return u.character == ch; }))
            continue;
        found.push_back({std::u16string(ch), std::u16string(bytes.begin(), bytes.end())});
    }
    return found;
}

} // namespace gridvane
