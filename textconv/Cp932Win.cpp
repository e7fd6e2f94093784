// Code page 932 through the system's converters, with their default substitutes (best fit) for
// characters without a CP932 code of their own; other platforms use the same list (Cp932BestFit.cpp).
#include "textconv/Cp932.h"

#include <windows.h>

namespace gridvane {
namespace {

constexpr UINT kCp932 = 932;

bool IsLeadByte(unsigned char b)
{
    return (b >= 0x81 && b <= 0x9F) || (b >= 0xE0 && b <= 0xFC);
}

bool IsTrailByte(unsigned char b)
{
    return (b >= 0x40 && b <= 0x7E) || (b >= 0x80 && b <= 0xFC);
}

bool IsSurrogate(char16_t c)
{
    return c >= 0xD800 && c <= 0xDFFF;
}

// The one UTF-16 unit that bytes decode to, or nothing when they have no mapping.
bool DecodeOne(const char* bytes, int count, wchar_t& out)
{
    // Single bytes that Windows' table maps to U+0080 and the private-use characters U+F8F0 to
    // U+F8F3; some converters (Wine's) leave them unmapped.
    if (count == 1) {
        const auto b = static_cast<unsigned char>(bytes[0]);
        if (b == 0x80 || b == 0xA0 || b >= 0xFD) {
            out = b == 0x80 ? L'\u0080' : b == 0xA0 ? L'\uF8F0' : static_cast<wchar_t>(0xF8F1 + (b - 0xFD));
            return true;
        }
    }
    wchar_t buffer[2];
    const int n = MultiByteToWideChar(kCp932, MB_ERR_INVALID_CHARS, bytes, count, buffer, 2);
    if (n != 1)
        return false;
    out = buffer[0];
    return true;
}

} // namespace

std::string EncodeCp932(std::u16string_view text)
{
    if (text.empty())
        return {};
    // CP932 has no character outside the basic plane: a surrogate pair or a lone surrogate is one "?".
    std::wstring units;
    units.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char16_t c = text[i];
        if (!IsSurrogate(c)) {
            units += static_cast<wchar_t>(c);
            continue;
        }
        if (c <= 0xDBFF && i + 1 < text.size() && text[i + 1] >= 0xDC00 && text[i + 1] <= 0xDFFF)
            ++i;
        units += L'?';
    }
    const int length = static_cast<int>(units.size());
    const int size = WideCharToMultiByte(kCp932, 0, units.data(), length, nullptr, 0, "?", nullptr);
    if (size <= 0)
        return std::string(units.size(), '?');
    std::string bytes(static_cast<std::size_t>(size), '\0');
    const int written = WideCharToMultiByte(kCp932, 0, units.data(), length, bytes.data(), size, "?", nullptr);
    bytes.resize(written > 0 ? static_cast<std::size_t>(written) : 0);
    return bytes;
}

std::u16string DecodeCp932(std::string_view bytes)
{
    std::u16string text;
    if (bytes.empty())
        return text;
    const int length = static_cast<int>(bytes.size());
    const int size = MultiByteToWideChar(kCp932, MB_ERR_INVALID_CHARS, bytes.data(), length, nullptr, 0);
    if (size > 0) {
        std::wstring units(static_cast<std::size_t>(size), L'\0');
        MultiByteToWideChar(kCp932, MB_ERR_INVALID_CHARS, bytes.data(), length, units.data(), size);
        return std::u16string(units.begin(), units.end());
    }
    // Some sequence has no mapping: walk the characters and put U+FFFD for each such one.
    text.reserve(bytes.size());
    std::size_t i = 0;
    while (i < bytes.size()) {
        const auto b = static_cast<unsigned char>(bytes[i]);
        wchar_t c = 0;
        if (IsLeadByte(b) && i + 1 < bytes.size() && IsTrailByte(static_cast<unsigned char>(bytes[i + 1]))) {
            text += DecodeOne(bytes.data() + i, 2, c) ? static_cast<char16_t>(c) : u'\uFFFD';
            i += 2;
        } else {
            text += !IsLeadByte(b) && DecodeOne(bytes.data() + i, 1, c) ? static_cast<char16_t>(c) : u'\uFFFD';
            ++i;
        }
    }
    return text;
}

bool IsCp932Representable(char32_t c)
{
    if (c > 0xFFFF || IsSurrogate(static_cast<char16_t>(c)))
        return false;
    const wchar_t unit = static_cast<wchar_t>(c);
    char bytes[4];
    BOOL usedDefault = FALSE;
    const int n = WideCharToMultiByte(kCp932, WC_NO_BEST_FIT_CHARS, &unit, 1, bytes, sizeof bytes, nullptr, &usedDefault);
    return n > 0 && !usedDefault;
}

} // namespace gridvane
