#pragma once
// Parsed number format codes, shared by the parser and the renderer of NumberFormatter.
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace gridvane::numfmt {

enum class Tok : std::uint8_t {
    Literal,   // text shown as it is
    Digit,     // 0 # ? placeholder (ch), zone tells where it belongs
    Point,     // the decimal point of a number section
    Exponent,  // E+ E- e+ e- (ch is '+' or '-')
    Slash,     // the slash of a fraction
    Denominator, // a fixed denominator (value)
    General,   // the General form of the value
    At,        // the text of a text value
    Year, Month, Day, Hour, Minute, Second, SubSecond,
    AmPm,      // ch: 'A' AM/PM, 'a' am/pm, 'P' A/P, 'p' a/p
    ElapsedH, ElapsedM, ElapsedS,
    Era,       // g gg ggg (count)
    EraYear,   // e ee (count)
    WeekdayJa, // aaa aaaa (count)
};

enum class Zone : std::uint8_t { Integer, Fraction, ExponentDigits, FracInteger, Numerator, DenominatorDigits };

struct Token {
    Tok kind = Tok::Literal;
    Zone zone = Zone::Integer;
    char16_t ch = 0;
    int count = 0;           // letters of a date token, digits of a sub-second part, denominator value
    std::u16string text;     // Literal
};

enum class Kind : std::uint8_t { Empty, Number, Scientific, Fraction, Date, Text };

enum class CondOp : std::uint8_t { None, Lt, Le, Gt, Ge, Eq, Ne };

struct Section {
    Kind kind = Kind::Empty;
    std::vector<Token> tokens;
    CondOp op = CondOp::None;
    double condValue = 0;
    bool grouping = false;
    int percent = 0;         // each % multiplies by 100
    int scale = 0;           // each trailing comma divides by 1000
    int intDigits = 0;       // placeholders of the integer zone (number, scientific) or fraction integer part
    int fracDigits = 0;      // placeholders after the decimal point
    int expDigits = 0;       // 0 placeholders of the exponent
    bool engineering = false; // scientific with # in the mantissa: exponent a multiple of intDigits
    int numDigits = 0;       // fraction numerator placeholders
    int denDigits = 0;       // fraction denominator placeholders
    int fixedDen = 0;        // fraction with a fixed denominator
    int subSecond = 0;       // digits of fractional seconds in a date section
    bool hasAmPm = false;
    bool japanese = false;   // a Japanese locale tag: AM/PM as 午前/午後
    bool gannen = false;     // era year 1 as 元
    int dbnum = 0;           // [DBNum1..3]
};

struct FormatCode {
    bool valid = false;      // false: render as General
    std::vector<Section> sections;
    int textSection = -1;    // index of the section for text values, -1: none
};

/// A non-negative number as decimal digits: 0.d[0]d[1]... x 10^e, at most 15 significant digits (as the
/// spreadsheet keeps them), no trailing zeros; n == 0 is zero.
struct Decimal {
    char d[24] = {};
    int n = 0;
    int e = 0;
};
/// The digits of a (zero for a NaN, an infinity or a value not above zero); whole numbers and numbers of a
/// few decimals without formatting them as text.
Decimal ToDecimal(double a);
/// The same through the library's formatting to 15 significant digits: the reference, and what ToDecimal
/// falls back on.
Decimal ToDecimalByText(double a);

/// The General form of a non-negative number of those digits; direct: without rounding where the digits
/// fit as they are (false: always through the rounding, the reference).
std::u16string GeneralOfDigits(const Decimal& x, bool direct);

/// Parses a format code; never throws except on allocation failure. An unusable code gives valid = false.
FormatCode ParseFormatCode(std::u16string_view code);
/// A number through a parsed code.
std::u16string RenderNumber(const FormatCode& code, double value, bool date1904);
/// A text through a parsed code.
std::u16string RenderText(const FormatCode& code, std::u16string_view text);
/// The General form of a number in a standard-width cell.
std::u16string GeneralText(double value);

} // namespace gridvane::numfmt
