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
/// The settings file's form: ASCII only, no digit grouping.
std::optional<double> ParseNumber(std::u16string_view text, char16_t decimalSeparator);

/// A number as a user types it into the window (the scale factors, the size boxes), or nullopt when the
/// whole text is not one number. Accepted, besides what ParseNumber accepts:
/// - the full-width forms an input method gives (０-９, ＋, －, ．, ，, Ｅ, ｅ) read as their ASCII
///   characters, and the minus sign U+2212 read as "-";
/// - surrounding spaces, tabs, line ends, ideographic spaces (U+3000) and no-break spaces (U+00A0);
/// - when the decimal separator is not the comma, commas grouping the whole part in threes
///   ("１，２３４" and "12,345.5"; not "1,23", "1,2345", "0,123" or ",123", which may be decimals typed
///   with a comma and are refused rather than misread).
/// The decimal separator is the locale's (its full-width form too); with the comma as separator,
/// "0,43" is 0.43 and "0.43" is refused. An exponent ("5E-5", as the settings page shows small numbers)
/// is accepted. Refused: an empty or blank text, spaces inside the number, a second sign, "%", infinity,
/// NaN and magnitudes beyond the double range. No range check: zero and negative numbers are returned
/// for the caller to refuse.
std::optional<double> ParseTypedNumber(std::u16string_view text, char16_t decimalSeparator);

} // namespace gridvane
