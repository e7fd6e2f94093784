#include "base/RealText.h"

#include <charconv>
#include <cmath>
#include <cstdlib>
#include <cstring>

namespace gridvane {

std::string FormatReal15(double value)
{
    if (value == 0 || !std::isfinite(value)) return "0";
    // The value rounded to 15 significant digits, as d.dddddddddddddde±x.
    char buf[40];
    const auto res = std::to_chars(buf, buf + sizeof buf - 1, std::fabs(value), std::chars_format::scientific, 14);
    *res.ptr = '\0';
    const char* e = std::strchr(buf, 'e');
    std::string digits(1, buf[0]);
    digits.append(buf + 2, static_cast<std::size_t>(e - (buf + 2)));
    const int exponent = std::atoi(e + 1);
    while (digits.size() > 1 && digits.back() == '0') digits.pop_back();

    std::string out;
    if (value < 0) out += '-';
    if (exponent >= 15 || exponent < -4) {
        out += digits[0];
        if (digits.size() > 1) {
            out += '.';
            out.append(digits, 1);
        }
        out += 'E';
        out += std::to_string(exponent);
    } else if (exponent < 0) {
        out += "0.";
        out.append(static_cast<std::size_t>(-exponent - 1), '0');
        out += digits;
    } else {
        const std::size_t intDigits = static_cast<std::size_t>(exponent) + 1;
        if (digits.size() <= intDigits) {
            out += digits;
            out.append(intDigits - digits.size(), '0');
        } else {
            out.append(digits, 0, intDigits);
            out += '.';
            out.append(digits, intDigits);
        }
    }
    return out;
}

} // namespace gridvane
