// A format code and a value through the number formatter.
#include <cstdint>
#include <cstring>
#include <string>

#include "base/Utf.h"
#include "numfmt/NumberFormat.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    if (size < sizeof(double)) return 0;
    double value;
    std::memcpy(&value, data, sizeof value);
    const std::u16string code = gridvane::FromUtf8(std::string(reinterpret_cast<const char*>(data) + 8, size - 8));
    static gridvane::NumberFormatter formatter(false);
    static gridvane::NumberFormatter formatter1904(true);
    (void)formatter.FormatNumber(value, code);
    (void)formatter1904.FormatNumber(value, code);
    (void)formatter.FormatText(code, code);
    return 0;
}
