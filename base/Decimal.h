#pragma once
#include <cstdint>
#include <string>

namespace gridvane {

/// The decimal text of an integer: a minus sign when negative, no leading zeros, no digit grouping.
inline std::u16string Decimal(std::int64_t n)
{
    const std::string s = std::to_string(n);
    return std::u16string(s.begin(), s.end());
}

} // namespace gridvane
