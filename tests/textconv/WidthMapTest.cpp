#include <gtest/gtest.h>

#include "base/Utf.h"
#include "textconv/Cp932.h"
#include "textconv/WidthMap.h"

namespace gridvane {
namespace {

TEST(WidthMap, AsciiSpaceAndKana)
{
    for (char16_t c = 0x21; c <= 0x7E; ++c) {
        const std::u16string narrow(1, c);
        const std::u16string wide(1, static_cast<char16_t>(c + 0xFEE0));
        EXPECT_EQ(ToFullWidth(narrow), wide) << std::hex << static_cast<int>(c);
        EXPECT_EQ(ToHalfWidth(wide), narrow) << std::hex << static_cast<int>(c);
    }
    EXPECT_EQ(ToFullWidth(u" "), u"　");
    EXPECT_EQ(ToHalfWidth(u"　"), u" ");
    const std::u16string_view halfKana = u"｡｢｣､･ｦｧｨｩｪｫｬｭｮｯｰｱｲｳｴｵｶｷｸｹｺｻｼｽｾｿﾀﾁﾂﾃﾄﾅﾆﾇﾈﾉﾊﾋﾌﾍﾎﾏﾐﾑﾒﾓﾔﾕﾖﾗﾘﾙﾚﾛﾜﾝﾞﾟ";
    const std::u16string_view fullKana = u"。「」、・ヲァィゥェォャュョッーアイウエオカキクケコサシスセソタチツテトナニヌネノハヒフヘホマミムメモヤユヨラリルレロワン゛゜";
    ASSERT_EQ(halfKana.size(), fullKana.size());
    for (std::size_t i = 0; i < halfKana.size(); ++i) {
        const std::u16string narrow(1, halfKana[i]);
        const std::u16string wide(1, fullKana[i]);
        EXPECT_EQ(ToUtf8(ToFullWidth(narrow)), ToUtf8(wide));
        EXPECT_EQ(ToUtf8(ToHalfWidth(wide)), ToUtf8(narrow));
    }
}

TEST(WidthMap, Examples)
{
    const struct {
        bool toFull;
        std::u16string text;
        std::u16string expected;
    } cases[] = {
        {true, u"", u""},
        {true, u"abc 123", u"ａｂｃ　１２３"},
        {true, u"ｶﾞｷﾞﾊﾟｳﾞ", u"ガギパヴ"},
        {true, u"ｶﾞ", u"ガ"},
        {true, u"ｱﾞﾟｶﾟﾞ", u"ア゛゜カ゜゛"},     // marks that do not join: spacing marks, as in CP932
        {true, u"ﾜﾞｦﾞ", u"ワ゛ヲ゛"},          // not ヷ ヺ, which CP932 lacks
        {true, u"ｶﾞﾞx", u"ガ゛ｘ"},
        {true, u"カﾞ", u"カ゛"},              // a full-width kana does not join
        {true, u"ひらがな漢字カナ", u"ひらがな漢字カナ"},
        {true, u"¥", u"￥"},
        {false, u"", u""},
        {false, u"ＡＢＣ１２３", u"ABC123"},
        {false, u"ガパヴ", u"ｶﾞﾊﾟｳﾞ"},
        {false, u"ひらがな漢字", u"ひらがな漢字"},
        {false, u"ア゛゜", u"ｱﾞﾟ"},
        {false, u"ヷ", u"ﾜﾞ"},
        {false, u"￥100 ←→■○│ ￢￣￠￡￤", u"￥100 ←→■○│ ￢￣￠￡￤"}, // narrow forms CP932 lacks
        {false, u"a\U0001F600", u"a\U0001F600"},
    };
    for (const auto& c : cases) {
        const std::u16string result = c.toFull ? ToFullWidth(c.text) : ToHalfWidth(c.text);
        EXPECT_EQ(ToUtf8(result), ToUtf8(c.expected)) << (c.toFull ? "full: " : "half: ") << ToUtf8(c.text);
    }
}

TEST(WidthMap, KeepsCp932TextInCp932)
{
    // Whatever CP932 carries into the drawing before a width command, it still carries after it.
    for (char32_t c = 0; c < 0x10000; ++c) {
        if (!IsCp932Representable(c))
            continue;
        for (const bool toFull : {true, false}) {
            const std::u16string one(1, static_cast<char16_t>(c));
            const std::u16string result = toFull ? ToFullWidth(one) : ToHalfWidth(one);
            ASSERT_FALSE(result.empty());
            for (const char16_t u : result)
                ASSERT_TRUE(IsCp932Representable(u))
                    << (toFull ? "full" : "half") << " U+" << std::hex << static_cast<int>(c) << " gives U+" << static_cast<int>(u);
        }
    }
}

} // namespace
} // namespace gridvane
