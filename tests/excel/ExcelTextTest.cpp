#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstring>
#include <limits>
#include <random>

#include "base/Utf.h"
#include "excel/SpreadsheetAutomation.h"
#include "model/CellAddress.h"
#include "textconv/TextCommands.h"

namespace gridvane {
namespace {

TEST(ExcelText, ColumnLetters)
{
    const struct {
        std::int32_t n;
        std::u16string letters;
    } cases[] = {
        {std::numeric_limits<std::int32_t>::min(), u""},
        {-1, u""},
        {0, u""},
        {1, u"A"},
        {26, u"Z"},
        {27, u"AA"},
        {52, u"AZ"},
        {53, u"BA"},
        {702, u"ZZ"},
        {703, u"AAA"},
        {16384, u"XFD"},
        {18278, u"ZZZ"},
        {18279, u"AAAA"},
        {std::numeric_limits<std::int32_t>::max(), u"FXSHRXW"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(ToUtf8(ColNoToLetters(c.n)), ToUtf8(c.letters)) << c.n;
}

TEST(ExcelText, NumericTexts)
{
    const struct {
        std::u16string text;
        bool numeric;
    } cases[] = {
        {u"", true},
        {u"0123456789", true},
        {u"1,234.5", true},
        {u"-12", true},
        {u"2023-01-01", true},
        {u".,-", true},
        {u"1e5", false},
        {u"12%", false},
        {u"12 3", false},
        {u"-abc", false},
        {u"+5", false},
        {u"１２", false},      // full-width digits
        {u"12\n", false},
        {u"12\u2212", false},  // minus sign, not hyphen-minus
        {std::u16string(u"1\0" "2", 3), false},
    };
    for (const auto& c : cases)
        EXPECT_EQ(IsNumericText(c.text), c.numeric) << ToUtf8(c.text);
}

// Whether a number's text form is numeric is answered mostly without writing the text: the answer must be
// that of the text, for every kind of value and every separator.
TEST(ExcelText, NumberTextsAreNumericAsTheirTextFormSays)
{
    std::vector<double> values = {0.0, -0.0, 1, -1, 0.5, 1e-3, 9.9999999999999e-4, 1e-4, 1e-5, 1e14, 99999999999999.9,
                                  99999999999999.99, 1e15, -1e14, 123456789012.0001, 5e-324, 1.7976931348623157e308,
                                  std::numeric_limits<double>::infinity(), -std::numeric_limits<double>::infinity(),
                                  std::numeric_limits<double>::quiet_NaN()};
    std::mt19937_64 random(23);
    for (int i = 0; i < 20000; ++i) {
        // Bit patterns of every magnitude, and numbers as sheets hold them: whole, halves, a few decimals.
        const std::uint64_t bits = random();
        double v;
        std::memcpy(&v, &bits, sizeof v);
        values.push_back(v);
        const double whole = static_cast<double>(static_cast<std::int64_t>(random() % 2000000000) - 1000000000);
        values.push_back(whole);
        values.push_back(whole / 2);
        values.push_back(whole / 1000);
        values.push_back(std::ldexp(whole, static_cast<int>(random() % 120) - 60));
    }
    for (const char16_t sep : {u'.', u',', u'-', u'\u066B', u'5'}) {
        int numeric = 0;
        for (const double v : values) {
            const std::u16string text = XlTextForm(XlValue::Of(v), sep);
            const bool expected = !text.empty() && IsNumericText(text);
            numeric += expected;
            ASSERT_EQ(XlNumberTextIsNumeric(v, sep), expected) << v << " " << ToUtf8(text);
        }
        EXPECT_GT(numeric, 1000);
    }
}

} // namespace
} // namespace gridvane
