#include "settings/NumberText.h"

#include "base/RealText.h"

#include <charconv>
#include <cmath>
#include <cstdio>
#include <string>

namespace gridvane {

namespace {

std::u16string Widen(const std::string& s, char16_t decimalSeparator)
{
    std::u16string out;
    out.reserve(s.size());
    for (char c : s) out += c == '.' ? decimalSeparator : static_cast<char16_t>(static_cast<unsigned char>(c));
    return out;
}

// A full-width form (U+FF01-U+FF5E) as its ASCII character, the minus sign as "-".
char16_t Narrow(char16_t c)
{
    if (c >= u'\uFF01' && c <= u'\uFF5E') return static_cast<char16_t>(c - 0xFEE0);
    return c == u'\u2212' ? u'-' : c;
}

bool IsTypedBlank(char16_t c)
{
    return c == u' ' || c == u'\t' || c == u'\r' || c == u'\n' || c == u'\u3000' || c == u'\u00A0';
}

bool IsDigit(char16_t c) { return c >= u'0' && c <= u'9'; }

// Takes the commas out of a whole part grouped in threes ("12,345,678"); false when a comma is misplaced.
bool Ungroup(std::u16string& whole)
{
    const std::size_t first = whole.find(u',');
    if (first == std::u16string::npos) return true;
    if (first == 0 || first > 3 || whole[0] == u'0') return false;
    std::u16string digits = whole.substr(0, first);
    for (std::size_t at = first; at < whole.size(); at += 4) {
        if (whole[at] != u',' || at + 4 > whole.size()) return false;
        if (!IsDigit(whole[at + 1]) || !IsDigit(whole[at + 2]) || !IsDigit(whole[at + 3])) return false;
        digits.append(whole, at + 1, 3);
    }
    whole = std::move(digits);
    return true;
}

} // namespace

std::u16string FormatGeneral(double value, char16_t decimalSeparator)
{
    if (std::isnan(value)) return u"NaN";
    if (std::isinf(value)) return value < 0 ? u"-INF" : u"INF";
    return Widen(FormatReal15(value), decimalSeparator);
}

std::u16string FormatFixed3(double value, char16_t decimalSeparator)
{
    char buf[400];
    std::snprintf(buf, sizeof buf, "%.3f", value);
    std::string text(buf);
    // printf follows the C locale's separator; put a full stop back before widening.
    for (char& c : text)
        if (c == ',') c = '.';
    return Widen(text, decimalSeparator);
}

std::optional<double> ParseNumber(std::u16string_view text, char16_t decimalSeparator)
{
    auto blank = [](char16_t c) { return c == u' ' || c == u'\t' || c == u'\u3000' || c == u'\r' || c == u'\n'; };
    std::size_t b = 0, e = text.size();
    while (b < e && blank(text[b])) ++b;
    while (e > b && blank(text[e - 1])) --e;
    if (b == e || e - b > 4096) return std::nullopt;
    std::string ascii;
    ascii.reserve(e - b);
    bool separatorSeen = false;
    std::size_t i = b;
    if (text[i] == u'+' || text[i] == u'-') ascii += static_cast<char>(text[i++]);
    std::size_t mantissaDigits = 0;
    for (; i < e; ++i) {
        const char16_t c = text[i];
        if (c >= u'0' && c <= u'9') {
            ascii += static_cast<char>(c);
            ++mantissaDigits;
        } else if (c == decimalSeparator && !separatorSeen) {
            ascii += '.';
            separatorSeen = true;
        } else {
            break;
        }
    }
    if (mantissaDigits == 0) return std::nullopt;
    if (i < e && (text[i] == u'e' || text[i] == u'E')) {
        ascii += 'e';
        ++i;
        if (i < e && (text[i] == u'+' || text[i] == u'-')) ascii += static_cast<char>(text[i++]);
        std::size_t expDigits = 0;
        for (; i < e && text[i] >= u'0' && text[i] <= u'9'; ++i, ++expDigits) ascii += static_cast<char>(text[i]);
        if (expDigits == 0) return std::nullopt;
    }
    if (i != e) return std::nullopt;
    const char* first = ascii.data() + (ascii[0] == '+' ? 1 : 0);
    double value = 0;
    const auto [ptr, ec] = std::from_chars(first, ascii.data() + ascii.size(), value);
    if (ec != std::errc() || ptr != ascii.data() + ascii.size() || !std::isfinite(value)) return std::nullopt;
    return value;
}

std::optional<double> ParseTypedNumber(std::u16string_view text, char16_t decimalSeparator)
{
    std::size_t b = 0, e = text.size();
    while (b < e && IsTypedBlank(text[b])) ++b;
    while (e > b && IsTypedBlank(text[e - 1])) --e;
    if (e - b > 4096) return std::nullopt;
    const char16_t separator = Narrow(decimalSeparator);
    std::u16string number;
    number.reserve(e - b);
    for (std::size_t i = b; i < e; ++i) number += Narrow(text[i]);
    if (separator != u',') {
        // The whole part: after a sign, up to the decimal separator or the exponent.
        const std::size_t start = !number.empty() && (number[0] == u'+' || number[0] == u'-') ? 1 : 0;
        std::size_t end = start;
        while (end < number.size() && (IsDigit(number[end]) || number[end] == u',')) ++end;
        std::u16string whole = number.substr(start, end - start);
        if (!Ungroup(whole)) return std::nullopt;
        number.replace(start, end - start, whole);
    }
    return ParseNumber(number, separator);
}

} // namespace gridvane
