#include <gtest/gtest.h>

#include <cstdint>
#include <limits>

#include "base/Utf.h"
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

} // namespace
} // namespace gridvane
