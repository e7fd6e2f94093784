// The width mappings of the user's locale, through LCMapStringW.
#include "textconv/WidthMap.h"

#include <windows.h>

namespace gridvane {
namespace {

// Two calls: the first gives the length of the result, the second fills a buffer of that length.
std::u16string MapWidth(std::u16string_view text, DWORD flag)
{
    if (text.empty())
        return {};
    const LCID locale = GetUserDefaultLCID();
    const auto* source = reinterpret_cast<const wchar_t*>(text.data());
    const int length = static_cast<int>(text.size());
    const int size = LCMapStringW(locale, flag, source, length, nullptr, 0);
    if (size <= 0)
        return {};
    std::wstring buffer(static_cast<std::size_t>(size), L'\0');
    const int written = LCMapStringW(locale, flag, source, length, buffer.data(), size);
    if (written <= 0)
        return {};
    return std::u16string(buffer.begin(), buffer.begin() + written);
}

} // namespace

std::u16string ToFullWidth(std::u16string_view text)
{
    return MapWidth(text, LCMAP_FULLWIDTH);
}

std::u16string ToHalfWidth(std::u16string_view text)
{
    return MapWidth(text, LCMAP_HALFWIDTH);
}

} // namespace gridvane
