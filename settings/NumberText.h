#pragma once
#include <optional>
#include <string>
#include <string_view>

namespace gridvane {

/// General number form: up to 15 significant digits, no grouping, no trailing zeros, exponent form
/// (1E15, 5E-5, -2.5E20) for magnitudes >= 1E15 or non-zero below 0.0001; zero is "0".
std::u16string FormatGeneral(double value, char16_t decimalSeparator);
/// "%.3f" with the given decimal separator.
std::u16string FormatFixed3(double value, char16_t decimalSeparator);
/// The whole text as one decimal number (surrounding blanks allowed); nullopt when it does not parse.
std::optional<double> ParseNumber(std::u16string_view text, char16_t decimalSeparator);

} // namespace gridvane
