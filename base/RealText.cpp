#include "base/RealText.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdlib>
#include <cstring>

namespace gridvane {

std::size_t FormatReal15To(double value, char* out)
{
    if (value == 0 || !std::isfinite(value)) {
        out[0] = '0';
        return 1;
    }
    // The value rounded to 15 significant digits, as d.dddddddddddddde±x.
    char buf[40];
    const auto res = std::to_chars(buf, buf + sizeof buf, std::fabs(value), std::chars_format::scientific, 14);
    const char* e = std::find(buf, res.ptr, 'e');
    char digits[16];
    std::size_t n = 0;
    digits[n++] = buf[0];
    for (const char* p = buf + 2; p < e; ++p) digits[n++] = *p;
    int exponent = 0;
    std::from_chars(e + (e[1] == '+' ? 2 : 1), res.ptr, exponent);
    while (n > 1 && digits[n - 1] == '0') --n;

    char* o = out;
    if (value < 0) *o++ = '-';
    if (exponent >= 15 || exponent < -4) {
        *o++ = digits[0];
        if (n > 1) {
            *o++ = '.';
            o = std::copy(digits + 1, digits + n, o);
        }
        *o++ = 'E';
        o = std::to_chars(o, out + kReal15MaxChars, exponent).ptr;
    } else if (exponent < 0) {
        *o++ = '0';
        *o++ = '.';
        o = std::fill_n(o, -exponent - 1, '0');
        o = std::copy(digits, digits + n, o);
    } else {
        const std::size_t intDigits = static_cast<std::size_t>(exponent) + 1;
        if (n <= intDigits) {
            o = std::copy(digits, digits + n, o);
            o = std::fill_n(o, intDigits - n, '0');
        } else {
            o = std::copy(digits, digits + intDigits, o);
            *o++ = '.';
            o = std::copy(digits + intDigits, digits + n, o);
        }
    }
    return static_cast<std::size_t>(o - out);
}

std::string FormatReal15(double value)
{
    char text[kReal15MaxChars];
    return std::string(text, FormatReal15To(value, text));
}

} // namespace gridvane
