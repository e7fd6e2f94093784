#include "base/Platform.h"

#include <unistd.h>

#include <locale>
#include <system_error>

#include "base/Error.h"

namespace gridvane {

std::filesystem::path ExecutablePath()
{
    std::error_code error;
    std::filesystem::path path = std::filesystem::read_symlink("/proc/self/exe", error);
    if (error)
        throw Error("実行ファイルのパスを取得できません: " + error.message());
    return path;
}

char16_t UserDecimalSeparator()
{
    try {
        const wchar_t c = std::use_facet<std::numpunct<wchar_t>>(std::locale("")).decimal_point();
        if (c > 0 && c <= 0xFFFF)
            return static_cast<char16_t>(c);
    } catch (const std::runtime_error&) {
        // The environment names a locale this system does not have.
    }
    return u'.';
}

bool StandardErrorIsTerminal()
{
    return isatty(STDERR_FILENO) != 0;
}

} // namespace gridvane
