// Drawings are written in the system's ANSI code page.
#include "textconv/DrawingCodePage.h"

#include <windows.h>

#include "base/Decimal.h"
#include "base/Utf.h"

namespace gridvane {

unsigned DrawingCodePage()
{
    return GetACP();
}

std::u16string DrawingCodePageName()
{
    return u"ANSI_" + Decimal(DrawingCodePage());
}

std::string EncodeDrawingText(std::u16string_view text)
{
    if (text.empty())
        return {};
    const UINT codePage = GetACP();
    if (codePage == CP_UTF8)
        return ToUtf8(text);
    // No legacy code page has characters outside the basic plane: a surrogate pair, or a lone
    // surrogate, becomes one U+FFFD, which the code page turns into one default character.
    std::wstring units;
    units.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char16_t c = text[i];
        if (c < 0xD800 || c > 0xDFFF) {
            units += static_cast<wchar_t>(c);
            continue;
        }
        if (c <= 0xDBFF && i + 1 < text.size() && text[i + 1] >= 0xDC00 && text[i + 1] <= 0xDFFF)
            ++i;
        units += L'\uFFFD';
    }
    // The code page's default conversion: its best-fit neighbour where it has one (¥ to 0x5C in code
    // page 932), otherwise its default character.
    const int length = static_cast<int>(units.size());
    const int size = WideCharToMultiByte(codePage, 0, units.data(), length, nullptr, 0, nullptr, nullptr);
    if (size <= 0)
        return std::string(units.size(), '?');
    std::string bytes(static_cast<std::size_t>(size), '\0');
    const int written = WideCharToMultiByte(codePage, 0, units.data(), length, bytes.data(), size, nullptr, nullptr);
    bytes.resize(written > 0 ? static_cast<std::size_t>(written) : 0);
    return bytes;
}

std::u16string DecodeDrawingText(std::string_view bytes)
{
    if (bytes.empty())
        return {};
    const UINT codePage = GetACP();
    if (codePage == CP_UTF8)
        return FromUtf8(bytes);
    const int length = static_cast<int>(bytes.size());
    const int size = MultiByteToWideChar(codePage, 0, bytes.data(), length, nullptr, 0);
    if (size <= 0)
        return std::u16string(bytes.size(), u'?');
    std::wstring units(static_cast<std::size_t>(size), L'\0');
    const int written = MultiByteToWideChar(codePage, 0, bytes.data(), length, units.data(), size);
    units.resize(written > 0 ? static_cast<std::size_t>(written) : 0);
    return std::u16string(units.begin(), units.end());
}

} // namespace gridvane
