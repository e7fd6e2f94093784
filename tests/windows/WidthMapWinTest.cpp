#include <gtest/gtest.h>

#include "base/Utf.h"
#include "textconv/WidthMap.h"

namespace gridvane {
namespace {

TEST(WidthMapWin, NarrowToWide)
{
    const struct {
        std::u16string text;
        std::u16string wide;
    } cases[] = {
        {u"", u""},
        {u"Ab1 !~", u"Ａｂ１　！～"},
        {u"ｱｲｳ｡｢｣", u"アイウ。「」"},
        {u"ｶﾞｷﾞﾊﾟｳﾞ", u"ガギパヴ"},         // sound marks join where a voiced kana exists
        {u"漢字ひらがなアイウ", u"漢字ひらがなアイウ"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(ToUtf8(ToFullWidth(c.text)), ToUtf8(c.wide)) << ToUtf8(c.text);

    // A sound mark without a voiced kana stays a mark of its own: Windows gives the spacing mark
    // U+309B, Wine the combining mark U+3099.
    const std::u16string alone = ToFullWidth(u"ｱﾞ");
    ASSERT_EQ(alone.size(), 2u) << ToUtf8(alone);
    EXPECT_EQ(alone[0], u'ア');
    EXPECT_TRUE(alone[1] == u'\u309B' || alone[1] == u'\u3099') << std::hex << static_cast<int>(alone[1]);
}

TEST(WidthMapWin, AsciiAndTheHalfWidthFormsRoundTrip)
{
    for (char16_t c = 0x21; c <= 0x7E; ++c) {
        const std::u16string narrow(1, c);
        const std::u16string wide(1, static_cast<char16_t>(c + 0xFEE0));
        if (c == u'\\') {
            // Wine's mapping leaves the backslash and the full-width reverse solidus alone.
            EXPECT_TRUE(ToFullWidth(narrow) == wide || ToFullWidth(narrow) == narrow);
            EXPECT_TRUE(ToHalfWidth(wide) == narrow || ToHalfWidth(wide) == wide);
            continue;
        }
        EXPECT_EQ(ToFullWidth(narrow), wide) << std::hex << static_cast<int>(c);
        EXPECT_EQ(ToHalfWidth(wide), narrow) << std::hex << static_cast<int>(c);
    }
    // Half-width katakana and punctuation (not the sound marks, which map to marks of their own).
    for (char16_t c = 0xFF61; c <= 0xFF9D; ++c) {
        const std::u16string narrow(1, c);
        const std::u16string wide = ToFullWidth(narrow);
        ASSERT_EQ(wide.size(), 1u) << std::hex << static_cast<int>(c);
        EXPECT_TRUE(wide[0] >= 0x3000 && wide[0] < 0x3100) << std::hex << static_cast<int>(c);
        EXPECT_EQ(ToHalfWidth(wide), narrow) << std::hex << static_cast<int>(c);
    }
}

TEST(WidthMapWin, WideToNarrow)
{
    const struct {
        std::u16string text;
        std::u16string narrow;
    } cases[] = {
        {u"", u""},
        {u"Ａｂ１　！", u"Ab1 !"},
        {u"アイウ。「」", u"ｱｲｳ｡｢｣"},
        {u"ガパヴ", u"ｶﾞﾊﾟｳﾞ"},             // a voiced kana becomes two characters
        {u"漢字ひらがな", u"漢字ひらがな"},   // no narrow forms
    };
    for (const auto& c : cases)
        EXPECT_EQ(ToUtf8(ToHalfWidth(c.text)), ToUtf8(c.narrow)) << ToUtf8(c.text);
}

} // namespace
} // namespace gridvane
