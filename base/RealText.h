#pragma once
#include <string>

namespace gridvane {

/// A finite real in the general form with a full stop: rounded to 15 significant digits, "0" for zero,
/// fixed notation for decimal exponents -4..14 without trailing zeros, otherwise "5E-5", "2.5E20".
/// The value must be finite.
std::string FormatReal15(double value);

} // namespace gridvane
