#include "settings/NumberText.h"

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

} // namespace

std::u16string FormatGeneral(double value, char16_t decimalSeparator)
{
    if (value == 0 || !std::isfinite(value)) {
        if (std::isnan(value)) return u"NaN";
        if (std::isinf(value)) return value < 0 ? u"-INF" : u"INF";
        return u"0";
    }
    // The value rounded to 15 significant digits: d.dddddddddddddde±x.
    char buf[40];
    std::snprintf(buf, sizeof buf, "%.14e", std::fabs(value));
    const std::string text(buf);
    const auto e = text.find('e');
    std::string digits(1, text[0]);
    digits.append(text, 2, e - 2);
    const int exponent = std::stoi(text.substr(e + 1));
    while (digits.size() > 1 && digits.back() == '0') digits.pop_back();

    std::string out;
    if (value < 0) out += '-';
    if (exponent >= 15 || exponent < -4) {
        out += digits[0];
        if (digits.size() > 1) {
            out += '.';
            out.append(digits, 1);
        }
        out += 'E';
        out += std::to_string(exponent);
    } else if (exponent < 0) {
        out += "0.";
        out.append(static_cast<std::size_t>(-exponent - 1), '0');
        out += digits;
    } else {
        const std::size_t intDigits = static_cast<std::size_t>(exponent) + 1;
        if (digits.size() <= intDigits) {
            out += digits;
            out.append(intDigits - digits.size(), '0');
        } else {
            out.append(digits, 0, intDigits);
            out += '.';
            out.append(digits, intDigits);
        }
    }
    return Widen(out, decimalSeparator);
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

} // namespace gridvane
