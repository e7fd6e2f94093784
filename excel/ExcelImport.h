#pragma once
#include <cstdint>
#include <string>
#include <string_view>

namespace gridvane {

/// The worksheet's name of column n (1 gives "A", 27 "AA", 16384 "XFD"); empty for 0 and negative n.
std::u16string ColNoToLetters(std::int32_t n);
/// True when text is empty or holds only the digits 0-9, ".", "," and "-" (each UTF-16 unit by itself).
bool IsNumericText(std::u16string_view text);

} // namespace gridvane
