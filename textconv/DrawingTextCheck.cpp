// A character the drawing's code page lacks comes back from the file as something else: a best-fit
// neighbour (é as e, ¥ as the backslash byte) or the default character "?". The conversion works character
// by character (no code page joins or splits characters of the basic plane), so a text loses exactly the
// characters that do not come back from their own bytes.
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
            const std::u16string_view one(&unit, 1);
            carried_[c] = unit < 0x80 || DecodeDrawingText(EncodeDrawingText(one)) == one;
        }
        // In code page 932 the yen sign goes to the byte 0x5C, which Japanese fonts, the CAD's among them,
        // draw as the yen sign: the drawing shows it as the spreadsheet does.
        if (DrawingCodePage() == 932) {
            const char16_t yen = u'\u00A5';
            carried_[yen] = EncodeDrawingText(std::u16string_view(&yen, 1)) == "\\";
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
    lost = true; // no legacy code page has characters outside the basic plane
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
        found.push_back({std::u16string(ch), DecodeDrawingText(EncodeDrawingText(ch))});
    }
    return found;
}

} // namespace gridvane
