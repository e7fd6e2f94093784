// Every legacy code page the drawing file is written in has the question mark as its default character:
// a character that encodes to "?" alone is one the code page lacks. The conversion works character by
// character (no code page joins or splits characters of the basic plane), so a text loses exactly those.
#include "textconv/DrawingTextCheck.h"

#include <algorithm>
#include <bitset>

#include "textconv/DrawingCodePage.h"

namespace gridvane {

namespace {

bool IsSurrogate(char16_t c) { return c >= 0xD800 && c <= 0xDFFF; }

// Which units of the basic plane the code page carries, found once by encoding each of them: a text is then
// checked without converting it.
class CarriedUnits {
public:
    CarriedUnits()
    {
        for (char32_t c = 0; c < 0x10000; ++c) {
            const char16_t unit = static_cast<char16_t>(c);
            if (IsSurrogate(unit)) continue;
            carried_[c] = unit < 0x80 || unit == u'?' || EncodeDrawingText(std::u16string_view(&unit, 1)) != "?";
        }
    }
    bool operator[](char16_t c) const { return carried_[c]; }

private:
    std::bitset<0x10000> carried_;
};

const CarriedUnits& Carried()
{
    static const CarriedUnits table;
    return table;
}

// The character at text[i] (a surrogate pair counts as one) and whether the code page lacks it.
std::size_t NextCharacter(std::u16string_view text, std::size_t i, bool& lost)
{
    const char16_t c = text[i];
    if (!IsSurrogate(c)) {
        lost = !Carried()[c];
        return 1;
    }
    const std::size_t n = c <= 0xDBFF && i + 1 < text.size() && text[i + 1] >= 0xDC00 && text[i + 1] <= 0xDFFF ? 2 : 1;
    lost = EncodeDrawingText(text.substr(i, n)) == "?";
    return n;
}

} // namespace

bool HasUnrepresentableDrawingChars(std::u16string_view text)
{
    for (std::size_t i = 0; i < text.size();) {
        if (text[i] < 0x80) {
            ++i;
            continue;
        }
        bool lost = false;
        i += NextCharacter(text, i, lost);
        if (lost) return true;
    }
    return false;
}

std::vector<UnrepresentableChar> UnrepresentableDrawingChars(std::u16string_view text)
{
    std::vector<UnrepresentableChar> found;
    if (!HasUnrepresentableDrawingChars(text)) return found;
    for (std::size_t i = 0; i < text.size();) {
        bool lost = false;
        const std::size_t n = text[i] < 0x80 ? 1 : NextCharacter(text, i, lost);
        const std::u16string_view ch = text.substr(i, n);
        i += n;
        if (!lost) continue;
        if (std::any_of(found.begin(), found.end(), [&](const UnrepresentableChar& u) { return u.character == ch; }))
            continue;
        const std::string bytes = EncodeDrawingText(ch);
        found.push_back({std::u16string(ch), std::u16string(bytes.begin(), bytes.end())});
    }
    return found;
}

} // namespace gridvane
