#include "textconv/DrawingTextCheck.h"

#include <gtest/gtest.h>

#include <random>

#include "base/Utf.h"
#include "textconv/Cp932.h"
#include "textconv/DrawingCodePage.h"

namespace gridvane {
namespace {

TEST(DrawingTextCheck, CharactersTheCodePageCannotCarry)
{
#ifdef _WIN32
    if (DrawingCodePage() != 932) GTEST_SKIP() << "the cases are those of code page 932";
#endif
    struct Case {
        std::u16string text;
        std::vector<UnrepresentableChar> expected;
    };
    const Case cases[] = {
        {u"", {}},
        {u"abc ?\t\n", {}},
        {u"部品表　（第２版）～＼①ｱ", {}}, // kanji, full-width forms, NEC row 13, half-width katakana
        {u"café", {{u"é", u"e"}}},               // a best-fit neighbour
        {u"ééè", {{u"é", u"e"}, {u"è", u"e"}}}, // each once, in order
        {u"?é?", {{u"é", u"e"}}},               // the text's own question marks are carried
        {u"¥16,268", {}},                        // the yen sign's byte 0x5C, which Japanese fonts draw as ¥
        {u"✓", {{u"✓", u"?"}}},
        {u"箱\U0001F600", {{u"\U0001F600", u"?"}}}, // a surrogate pair is one character
        {u"한국", {{u"한", u"?"}, {u"국", u"?"}}},
        {std::u16string(1, char16_t(0xD800)) + u"x", {{std::u16string(1, char16_t(0xD800)), u"?"}}},
    };
    for (const Case& k : cases) {
        EXPECT_EQ(UnrepresentableDrawingChars(k.text), k.expected) << ToUtf8(k.text);
        EXPECT_EQ(HasUnrepresentableDrawingChars(k.text), !k.expected.empty()) << ToUtf8(k.text);
    }
}

TEST(DrawingTextCheck, WhatIsListedIsWhatTheFileHolds)
{
#ifdef _WIN32
    GTEST_SKIP() << "reads the bytes back with the CP932 decoder";
#else
    // Random texts: replacing each listed character by its substitute gives exactly the text the drawing's
    // bytes decode to.
    const std::u16string pool[] = {u"a", u"?", u"表", u"é", u"①", u"\U0001F600", u"ß", u"～", u"€", u"ｱ", u"Ω", u"ю", u"\t"};
    std::mt19937 rng(932);
    for (int round = 0; round < 2000; ++round) {
        std::u16string text;
        for (int n = static_cast<int>(rng() % 8); n > 0; --n) text += pool[rng() % std::size(pool)];
        std::u16string expected = text;
        for (const UnrepresentableChar& u : UnrepresentableDrawingChars(text)) {
            for (std::size_t at = expected.find(u.character); at != std::u16string::npos; at = expected.find(u.character, at + 1))
                expected.replace(at, u.character.size(), u.substitute);
        }
        ASSERT_EQ(DecodeCp932(EncodeDrawingText(text)), expected) << ToUtf8(text);
    }
#endif
}

} // namespace
} // namespace gridvane
