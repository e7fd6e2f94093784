#include "numfmt/NumberFormat.h"

#include "numfmt/NumberFormatCode.h"

#include <array>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <unordered_map>

namespace gridvane {

std::u16string BuiltinNumberFormatCode(int id)
{
    switch (id) {
    case 0: return u"General";
    case 1: return u"0";
    case 2: return u"0.00";
    case 3: return u"#,##0";
    case 4: return u"#,##0.00";
    case 5: return u"\"¥\"#,##0;\"¥\"\\-#,##0";
    case 6: return u"\"¥\"#,##0;[Red]\"¥\"\\-#,##0";
    case 7: return u"\"¥\"#,##0.00;\"¥\"\\-#,##0.00";
    case 8: return u"\"¥\"#,##0.00;[Red]\"¥\"\\-#,##0.00";
    case 9: return u"0%";
    case 10: return u"0.00%";
    case 11: return u"0.00E+00";
    case 12: return u"# ?/?";
    case 13: return u"# ?\?/?\?";
    case 14: return u"yyyy/m/d";
    case 15: return u"d-mmm-yy";
    case 16: return u"d-mmm";
    case 17: return u"mmm-yy";
    case 18: return u"h:mm AM/PM";
    case 19: return u"h:mm:ss AM/PM";
    case 20: return u"h:mm";
    case 21: return u"h:mm:ss";
    case 22: return u"yyyy/m/d h:mm";
    case 27: case 36: case 50: case 57: return u"[$-411]ge.m.d";
    case 28: case 29: case 51: case 54: case 58: return u"[$-411]ggge\"年\"m\"月\"d\"日\"";
    case 30: return u"m/d/yy";
    case 31: return u"yyyy\"年\"m\"月\"d\"日\"";
    case 32: return u"h\"時\"mm\"分\"";
    case 33: return u"h\"時\"mm\"分\"ss\"秒\"";
    case 34: case 52: case 55: return u"yyyy\"年\"m\"月\"";
    case 35: case 53: case 56: return u"m\"月\"d\"日\"";
    // Positive numbers are padded by the width of ")" so that they line up with negatives in parentheses.
    case 37: return u"#,##0_);(#,##0)";
    case 38: return u"#,##0_);[Red](#,##0)";
    case 39: return u"#,##0.00_);(#,##0.00)";
    case 40: return u"#,##0.00_);[Red](#,##0.00)";
    case 45: return u"mm:ss";
    case 46: return u"[h]:mm:ss";
    case 47: return u"mm:ss.0"; // shown with the colon, whatever some writers store as this id's code
    case 48: return u"##0.0E+0";
    case 49: return u"@";
    default: return {};
    }
}

using numfmt::FormatCode;

struct NumberFormatter::Impl {
    bool date1904 = false;
    std::unordered_map<std::u16string, std::shared_ptr<const FormatCode>> cache;
    // The codes used last: a sheet's cells take turns between a few codes, asked for by the cell.
    static constexpr std::size_t kRecent = 4;
    std::array<std::pair<std::u16string, const FormatCode*>, kRecent> recent{};
    std::size_t next = 0;

    const FormatCode* Get(std::u16string_view code)
    {
        for (const auto& [text, parsed] : recent)
            if (parsed && code == text)
                return parsed;
        std::u16string key(code);
        const FormatCode* const parsed = Find(key).get();
        recent[next] = {std::move(key), parsed};
        next = (next + 1) % kRecent;
        return parsed;
    }

    const std::shared_ptr<const FormatCode>& Find(const std::u16string& key)
    {
        auto it = cache.find(key);
        if (it == cache.end()) {
            // A workbook has a few dozen codes; a bound keeps a stream of odd codes from growing without end.
            if (cache.size() >= 4096) {
                cache.clear();
                recent = {};
            }
            it = cache.emplace(key, std::make_shared<const FormatCode>(numfmt::ParseFormatCode(key))).first;
        }
        return it->second;
    }
};

NumberFormatter::NumberFormatter(bool date1904) : impl_(std::make_unique<Impl>())
{
    impl_->date1904 = date1904;
}

NumberFormatter::~NumberFormatter() = default;

std::u16string NumberFormatter::FormatNumber(double value, std::u16string_view formatCode)
{
    try {
        return numfmt::RenderNumber(*impl_->Get(formatCode), value, impl_->date1904);
    } catch (...) {
        // Only an allocation failure gets here; the General form needs no cache.
        try {
            return numfmt::GeneralText(value);
        } catch (...) {
            return {};
        }
    }
}

std::u16string NumberFormatter::FormatText(std::u16string_view text, std::u16string_view formatCode)
{
    try {
        return numfmt::RenderText(*impl_->Get(formatCode), text);
    } catch (...) {
        try {
            return std::u16string(text);
        } catch (...) {
            return {};
        }
    }
}

NumberFormatter::Parsed NumberFormatter::Parse(std::u16string_view formatCode)
{
    return impl_->Find(std::u16string(formatCode));
}

std::u16string NumberFormatter::FormatNumber(double value, const Parsed& code)
{
    try {
        return numfmt::RenderNumber(*code, value, impl_->date1904);
    } catch (...) {
        try {
            return numfmt::GeneralText(value);
        } catch (...) {
            return {};
        }
    }
}

std::u16string NumberFormatter::FormatText(std::u16string_view text, const Parsed& code)
{
    try {
        return numfmt::RenderText(*code, text);
    } catch (...) {
        try {
            return std::u16string(text);
        } catch (...) {
            return {};
        }
    }
}

std::u16string NumberFormatter::FormatBoolean(bool value)
{
    return value ? u"TRUE" : u"FALSE";
}

} // namespace gridvane
