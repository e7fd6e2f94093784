#include "base/Platform.h"

#include <windows.h>

#include <string>

#include "base/Error.h"

namespace gridvane {

std::filesystem::path ExecutablePath()
{
    // The path may be longer than MAX_PATH; a full buffer means it was cut.
    std::wstring buffer(MAX_PATH, L'\0');
    for (;;) {
        const DWORD size = static_cast<DWORD>(buffer.size());
        const DWORD length = GetModuleFileNameW(nullptr, buffer.data(), size);
        if (length == 0)
            throw Error("実行ファイルのパスを取得できません (エラー " + std::to_string(GetLastError()) + ")");
        if (length < size) {
            buffer.resize(length);
            return std::filesystem::path(buffer);
        }
        if (buffer.size() >= 32768)
            throw Error("実行ファイルのパスが長すぎます");
        buffer.resize(buffer.size() * 2);
    }
}

char16_t UserDecimalSeparator()
{
    wchar_t separator[4] = {};
    if (GetLocaleInfoW(LOCALE_USER_DEFAULT, LOCALE_SDECIMAL, separator, 4) > 1 && separator[0] != L'\0')
        return static_cast<char16_t>(separator[0]);
    return u'.';
}

bool StandardErrorIsTerminal()
{
    DWORD mode = 0;
    return GetConsoleMode(GetStdHandle(STD_ERROR_HANDLE), &mode) != 0;
}

} // namespace gridvane
