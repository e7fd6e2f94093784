#pragma once
#include <cstddef>
#include <string>

namespace gridvane {

/// A finite real in the general form with a full stop: rounded to 15 significant digits, "0" for zero,
/// fixed notation for decimal exponents -4..14 without trailing zeros, otherwise "5E-5", "2.5E20".
/// The value must be finite.
std::string FormatReal15(double value);

/// The longest text FormatReal15 gives ("-0.000" and 15 digits, or a sign, 15 digits, ".", "E-308").
inline constexpr std::size_t kReal15MaxChars = 24;
/// FormatReal15(value) written to out, which has room for kReal15MaxChars; returns the characters written.
std::size_t FormatReal15To(double value, char* out);

} // namespace gridvane
