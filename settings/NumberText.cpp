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

} // namespace gridvane
