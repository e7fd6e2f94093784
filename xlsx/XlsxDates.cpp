#include "xlsx/XlsxDates.h"

#include <charconv>
#include <cmath>

#include "xlsx/XlsxXml.h"

namespace gridvane::xlsx {

std::int64_t DaysFromCivil(std::int64_t y, unsigned m, unsigned d)
{
    y -= m <= 2;
    const std::int64_t era = (y >= 0 ? y : y - 399) / 400;
    const auto yoe = static_cast<unsigned>(y - era * 400);
    const unsigned doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
    const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + static_cast<std::int64_t>(doe) - 719468;
}

std::optional<double> IsoDateSerial(std::string_view text, bool date1904)
{
    text = TrimXmlSpace(text);
    std::size_t i = 0;
    auto digits = [&](std::size_t n, int& out) {
        if (i + n > text.size()) return false;
        out = 0;
        for (std::size_t k = 0; k < n; ++k) {
            const char c = text[i + k];
            if (c < '0' || c > '9') return false;
            out = out * 10 + (c - '0');
        }
        i += n;
        return true;
    };
    auto expect = [&](char c) {
        if (i >= text.size() || text[i] != c) return false;
        ++i;
        return true;
    };
    double serial = 0;
    const bool hasDate = text.size() >= 10 && text[4] == '-';
    if (hasDate) {
        int y = 0, m = 0, d = 0;
        if (!digits(4, y) || !expect('-') || !digits(2, m) || !expect('-') || !digits(2, d)) return std::nullopt;
        static constexpr int kMonthDays[] = {31, 29, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
        if (m < 1 || m > 12 || d < 1 || d > kMonthDays[m - 1]) return std::nullopt;
        const bool leap = (y % 4 == 0 && y % 100 != 0) || y % 400 == 0;
        if (m == 2 && d == 29 && !leap) return std::nullopt;
        const std::int64_t days = DaysFromCivil(y, static_cast<unsigned>(m), static_cast<unsigned>(d));
        if (date1904) {
            serial = static_cast<double>(days - DaysFromCivil(1904, 1, 1));
        } else if (days >= DaysFromCivil(1900, 3, 1)) {
            serial = static_cast<double>(days - DaysFromCivil(1899, 12, 30)); // counts the 29th of February 1900
        } else {
            // Before March 1900; a time alone is written on the day before the first, 1899-12-30 or -31.
            serial = std::max<double>(0, static_cast<double>(days - DaysFromCivil(1899, 12, 31)));
            if (days < DaysFromCivil(1899, 12, 30)) return std::nullopt;
        }
        if (serial < 0) return std::nullopt;
        if (i < text.size() && !expect('T')) return std::nullopt;
    }
    if (i < text.size() && text[i] != 'Z' && text[i] != '+' && text[i] != '-') {
        int h = 0, mi = 0, sec = 0;
        if (!digits(2, h) || !expect(':') || !digits(2, mi)) return std::nullopt;
        double fraction = 0;
        if (expect(':')) {
            if (!digits(2, sec)) return std::nullopt;
            if (expect('.')) {
                double scale = 0.1;
                std::size_t start = i;
                while (i < text.size() && text[i] >= '0' && text[i] <= '9') fraction += (text[i++] - '0') * scale, scale /= 10;
                if (i == start) return std::nullopt;
            }
        }
        if (h > 24 || mi > 59 || sec > 59 || (h == 24 && (mi != 0 || sec != 0 || fraction != 0))) return std::nullopt;
        serial += (h * 3600.0 + mi * 60.0 + sec + fraction) / 86400.0;
    } else if (!hasDate) {
        return std::nullopt;
    }
    if (i < text.size()) {
        // A zone: Z, or +hh:mm / -hh:mm.
        int zh = 0, zm = 0;
        if (expect('Z')) {
        } else if ((expect('+') || expect('-')) && digits(2, zh) && expect(':') && digits(2, zm)) {
        } else {
            return std::nullopt;
        }
        if (i != text.size()) return std::nullopt;
    }
    return serial;
}

} // namespace gridvane::xlsx
