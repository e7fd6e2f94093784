#include "base/RealText.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <cstring>

namespace gridvane {

namespace {

#if defined(__SIZEOF_INT128__)
__extension__ typedef unsigned __int128 Wide;

constexpr std::uint64_t kPow10[] = {1ULL, 10ULL, 100ULL, 1000ULL, 10000ULL, 100000ULL, 1000000ULL, 10000000ULL,
                                    100000000ULL, 1000000000ULL, 10000000000ULL, 100000000000ULL,
                                    1000000000000ULL, 10000000000000ULL, 100000000000000ULL,
                                    1000000000000000ULL, 10000000000000000ULL, 100000000000000000ULL,
                                    1000000000000000000ULL, 10000000000000000000ULL};

// The 15 significant digits of a magnitude from 1e-5 up to 1e15, the range of nearly every drawing value, as
// one integer of 10^14..10^15-1, and its decimal exponent: the exact binary value times a power of ten,
// rounded to nearest with ties to even as the library rounds it, all in 128-bit integers. False outside
// that range.
bool Digits15(double magnitude, std::uint64_t& digits, int& exponent)
{
    if (!(magnitude >= 1e-5 && magnitude < 1e15)) return false;
    std::uint64_t bits;
    std::memcpy(&bits, &magnitude, sizeof bits);
    const int biased = static_cast<int>(bits >> 52); // a normal number: no sign, exponent 1..2046
    const std::uint64_t mantissa = (bits & ((std::uint64_t{1} << 52) - 1)) | (std::uint64_t{1} << 52);
    const int shift = 1075 - biased; // magnitude = mantissa / 2^shift, shift 3..70 in this range
    // floor(log10(2) * (binary exponent)), the decimal exponent or one less; the loop corrects it.
    int e = ((biased - 1023) * 78913) >> 18;
    for (int attempt = 0; attempt < 3; ++attempt) {
        const int p = 14 - e;
        if (p < 0 || p > 19) return false;
        const Wide scaled = static_cast<Wide>(mantissa) * kPow10[p];
        const Wide q = scaled >> shift;
        if (q >= kPow10[15]) {
            ++e;
            continue;
        }
        if (q < kPow10[14]) {
            --e;
            continue;
        }
        const Wide rest = scaled - (q << shift), half = static_cast<Wide>(1) << (shift - 1);
        std::uint64_t d = static_cast<std::uint64_t>(q);
        if (rest > half || (rest == half && (d & 1) != 0)) ++d;
        if (d == kPow10[15]) d = kPow10[14], ++e; // 999999999999999.5 became 10^15
        digits = d;
        exponent = e;
        return true;
    }
    return false;
}
#endif

} // namespace

std::size_t FormatReal15To(double value, char* out)
{
    if (value == 0 || !std::isfinite(value)) {
        out[0] = '0';
        return 1;
    }
    // The value rounded to 15 significant digits: the digits and the decimal exponent of the first.
    char digits[16];
    std::size_t n = 0;
    int exponent = 0;
#if defined(__SIZEOF_INT128__)
    std::uint64_t d = 0;
    if (Digits15(std::fabs(value), d, exponent)) {
        for (n = 15; n > 0; d /= 10) digits[--n] = static_cast<char>('0' + d % 10);
        n = 15;
    }
#endif
    if (n == 0) { // as d.dddddddddddddde±x from the library
        char buf[40];
        const auto res = std::to_chars(buf, buf + sizeof buf, std::fabs(value), std::chars_format::scientific, 14);
        const char* e = std::find(buf, res.ptr, 'e');
        digits[n++] = buf[0];
        for (const char* p = buf + 2; p < e; ++p) digits[n++] = *p;
        std::from_chars(e + (e[1] == '+' ? 2 : 1), res.ptr, exponent);
    }
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
