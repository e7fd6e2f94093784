#pragma once
// Bytes written as the tests' expectations spell them.
#include <string>
#include <string_view>

namespace gridvane {

// "83 41 B1": each byte as two upper-case hexadecimal digits, separated by spaces.
inline std::string Hex(std::string_view bytes)
{
    static constexpr char kHex[] = "0123456789ABCDEF";
    std::string out;
    for (const char b : bytes) {
        const auto u = static_cast<unsigned char>(b);
        if (!out.empty())
            out += ' ';
        out += kHex[u >> 4];
        out += kHex[u & 0xF];
    }
    return out;
}

} // namespace gridvane
