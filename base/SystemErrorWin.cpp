#include "base/SystemErrorWin.h"

#include <windows.h>

#include <cstdio>

#include "base/Utf.h"

namespace gridvane {

std::string SystemErrorText(std::int32_t code)
{
    wchar_t* buffer = nullptr;
    const DWORD length = FormatMessageW(
        FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr,
        static_cast<DWORD>(code), 0, reinterpret_cast<wchar_t*>(&buffer), 0, nullptr);
    std::string text;
    if (length > 0 && buffer != nullptr) {
        std::size_t n = length;
        while (n > 0 && (buffer[n - 1] == L'\r' || buffer[n - 1] == L'\n' || buffer[n - 1] == L' '))
            --n;
        text = ToUtf8(std::u16string(buffer, buffer + n));
    }
    if (buffer != nullptr)
        LocalFree(buffer);
    if (text.empty()) {
        char hex[32];
        std::snprintf(hex, sizeof hex, "エラー 0x%08lX", static_cast<unsigned long>(static_cast<std::uint32_t>(code)));
        text = hex;
    }
    return text;
}

} // namespace gridvane
