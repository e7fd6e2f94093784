#include <gtest/gtest.h>

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <limits>
#include <random>
#include <string>

#include "base/RealText.h"

namespace gridvane {
namespace {

// The real text made the plain way: the value rounded to 15 significant digits by the library, then laid out
// as FormatReal15 lays it out. The reference for the integer arithmetic FormatReal15 finds the digits with.
std::string Reference(double value)
{
    if (value == 0) return "0";
    char buf[40];
    const auto res = std::to_chars(buf, buf + sizeof buf, std::fabs(value), std::chars_format::scientific, 14);
    const char* e = std::find(buf, res.ptr, 'e');
    std::string digits(1, buf[0]);
    for (const char* p = buf + 2; p < e; ++p) digits += *p;
    int exponent = 0;
    std::from_chars(e + (e[1] == '+' ? 2 : 1), res.ptr, exponent);
    while (digits.size() > 1 && digits.back() == '0') digits.pop_back();
    std::string out = value < 0 ? "-" : "";
    if (exponent >= 15 || exponent < -4) {
        out += digits[0];
        if (digits.size() > 1) out += "." + digits.substr(1);
        out += "E" + std::to_string(exponent);
    } else if (exponent < 0) {
        out += "0." + std::string(static_cast<std::size_t>(-exponent - 1), '0') + digits;
    } else {
        const std::size_t intDigits = static_cast<std::size_t>(exponent) + 1;
        if (digits.size() <= intDigits) out += digits + std::string(intDigits - digits.size(), '0');
        else out += digits.substr(0, intDigits) + "." + digits.substr(intDigits);
    }
    return out;
}

TEST(RealText, EqualsTheLibrarysRoundingTo15DigitsForEveryKindOfDouble)
{
    std::mt19937_64 rng(2024);
    std::uniform_real_distribution<double> unit(0, 1);
    auto check = [](double v) {
        if (!std::isfinite(v)) return;
        ASSERT_EQ(FormatReal15(v), Reference(v)) << std::hexfloat << v;
    };
    for (int round = 0; round < 100000; ++round) {
        // Any bit pattern: every exponent, subnormal values and 17-digit mantissas.
        const std::uint64_t bits = rng();
        double v;
        std::memcpy(&v, &bits, sizeof v);
        check(v);
        // Every magnitude around the range of drawing values, with all 53 bits of mantissa in use.
        check(std::ldexp(1 + unit(rng), static_cast<int>(rng() % 80) - 40));
        // Short decimals and the sums of a few, as a table's coordinates are.
        const double step = std::pow(10.0, -static_cast<double>(rng() % 7));
        double sum = 0;
        for (int k = 0; k < 4; ++k) {
            sum += static_cast<double>(rng() % 100000) * step;
            check(sum);
            check(-sum);
        }
        // Around powers of ten, where the decimal exponent changes.
        const double power = std::pow(10.0, static_cast<double>(static_cast<int>(rng() % 44) - 22));
        for (double p : {power, std::nextafter(power, 0.0), std::nextafter(power, 1e300)}) check(p);
        // Just below and at a rounding up to the next power of ten: 999999999999999.5 and its kin.
        const double nines = (1e15 - 0.5) * std::pow(10.0, -static_cast<double>(rng() % 20));
        for (double p : {nines, std::nextafter(nines, 0.0), std::nextafter(nines, 1e300)}) check(p);
        // Exact halves past the 15th digit (100000000000000.5 .. 999999999999999.5), ties broken to even,
        // and their neighbours.
        const double tie = static_cast<double>(100000000000000ULL + rng() % 900000000000000ULL) + 0.5;
        for (double p : {tie, std::nextafter(tie, 0.0), std::nextafter(tie, 1e300), tie / 2, tie / 1024}) check(p);
    }
    for (double v : {std::numeric_limits<double>::min(), std::numeric_limits<double>::denorm_min(),
                     std::numeric_limits<double>::max(), 1e-5, std::nextafter(1e-5, 0.0), 1e15,
                     std::nextafter(1e15, 0.0), 0.1 + 0.2, 123456789012345.5, 123456789012344.5, 2.5, 0.000125})
        check(v);
}

} // namespace
} // namespace gridvane
