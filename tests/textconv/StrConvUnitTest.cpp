#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <fstream>
#include <sstream>

#include "base/Utf.h"
#include "textconv/Cp932.h"
#include "textconv/StrConvUnit.h"

namespace gridvane {
namespace {

using Conversion = std::u16string (*)(std::u16string_view);

// The full-width forms of the bytes 0xA0-0xDF, and the 29 symbols with their results.
constexpr std::u16string_view kHalfKanaFull =
    u"　。「」、・ヲァィゥェォャュョッーアイウエオカキクケコサシスセソタチツテトナニヌネノハヒフヘホマミムメモヤユヨラリルレロワン゛゜";
constexpr std::u16string_view kSymbols = u"，．：；？！｀＾＿／｜（）［］｛｝＋－＝＜＞￥＄％＃＆＊＠";
constexpr std::u16string_view kSymbolResults = u",.:;?!`^_/l()[]{}+-=<>\\$%#&*@";
constexpr std::u16string_view kVoiced = u"ｶガｷギｸグｹゲｺゴｻザｼジｽズｾゼｿゾﾀダﾁヂﾂヅﾃデﾄドﾊバﾋビﾌブﾍベﾎボｳヴ";
constexpr std::u16string_view kSemiVoiced = u"ﾊパﾋピﾌプﾍペﾎポ";

TEST(StrConvUnit, TablesHoldTheirCharacters)
{
    std::string kana;
    for (const auto entry : HalfKanaTable) {
        EXPECT_EQ(entry.size(), 2u);
        kana += entry;
    }
    EXPECT_EQ(ToUtf8(DecodeCp932(kana)), ToUtf8(kHalfKanaFull));
    EXPECT_EQ(VoicedKanaPairs.size(), 63u);
    EXPECT_EQ(ToUtf8(DecodeCp932(VoicedKanaPairs)), ToUtf8(kVoiced));
    EXPECT_EQ(SemiVoicedKanaPairs.size(), 15u);
    EXPECT_EQ(ToUtf8(DecodeCp932(SemiVoicedKanaPairs)), ToUtf8(kSemiVoiced));
    std::string codes, bytes;
    for (const FullSymbol& s : FullSymbolTable) {
        codes += static_cast<char>(s.code >> 8);
        codes += static_cast<char>(s.code & 0xFF);
        bytes += s.byte;
    }
    EXPECT_EQ(ToUtf8(DecodeCp932(codes)), ToUtf8(kSymbols));
    EXPECT_EQ(ToUtf8(DecodeCp932(bytes)), ToUtf8(kSymbolResults));
}

TEST(StrConvUnit, Examples)
{
    const struct {
        const char* name;
        Conversion f;
        std::u16string text;
        std::u16string expected;
    } cases[] = {
        {"digits", FullDigitsToHalf, u"", u""},
        {"digits", FullDigitsToHalf, u"１２３ＡＢ", u"123ＡＢ"},
        {"digits", FullDigitsToHalf, u"０９／９０", u"09／90"},
        {"alpha", FullAlphaToHalf, u"", u""},
        {"alpha", FullAlphaToHalf, u"１２３ＡＢ", u"１２３AB"},
        {"alpha", FullAlphaToHalf, u"ＡＺａｚ＠［｀｛", u"AZaz＠［｀｛"},
        {"symbols", FullSymbolsToHalf, u"", u""},
        {"symbols", FullSymbolsToHalf, u"（１）＋［Ａ］", u"(１)+[Ａ]"},
        {"symbols", FullSymbolsToHalf, u"ａ｜ｂ", u"ａlｂ"},
        {"symbols", FullSymbolsToHalf, u"￥100", u"\\100"},
        {"symbols", FullSymbolsToHalf, u"＼～　、。“”’￣", u"＼～　、。“”’￣"},
        {"kana", HalfKanaToFull, u"", u""},
        {"kana", HalfKanaToFull, u"ｶﾞｷﾞ", u"ガギ"},
        {"kana", HalfKanaToFull, u"ﾊﾟﾋﾟｳﾞ", u"パピヴ"},
        {"kana", HalfKanaToFull, u"ｱﾞﾜﾞｶﾟｦﾞ", u"ア゛ワ゛カ゜ヲ゛"},
        {"kana", HalfKanaToFull, u"ﾞ", u"゛"},
        {"kana", HalfKanaToFull, u"ﾟﾞｶ", u"゜゛カ"},
        {"kana", HalfKanaToFull, u"ｶﾞﾞ", u"ガ゛"},
        {"kana", HalfKanaToFull, u"ｺﾞﾐｶﾞ", u"ゴミガ"},        // joined at the very end
        {"kana", HalfKanaToFull, u"ｱｶ", u"アカ"},            // last character through the table
        {"kana", HalfKanaToFull, u"｢ｱ｣｡､･ｰ", u"「ア」。、・ー"},
        {"kana", HalfKanaToFull, u"\uF8F0", u"　"},
        {"kana", HalfKanaToFull, u"\uF8F1\uF8F3\u0080", u"\uF8F1\uF8F3\u0080"},
        {"kana", HalfKanaToFull, u"abc ＡＢＣ ガ", u"abc ＡＢＣ ガ"},
        // Kanji whose trail byte lies in 0xA0-0xDF: 熙 EA A4, 槇 EA A0, 宛 88 B6, 萎 88 DE, 衣 88 DF.
        {"kana", HalfKanaToFull, u"熙槇宛ﾞ萎衣ﾟ", u"熙槇宛゛萎衣゜"},
        {"digits", FullDigitsToHalf, u"熙槇１", u"熙槇1"},
        {"alpha", FullAlphaToHalf, u"熙槇Ａ", u"熙槇A"},
        {"symbols", FullSymbolsToHalf, u"熙槇＋", u"熙槇+"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(ToUtf8(c.f(c.text)), ToUtf8(c.expected)) << c.name << ": " << ToUtf8(c.text);
}

// What CP932 lacks is no character of any rule: it comes back as it is, never as its substitute (the yen
// sign would be the byte 0x5C, é the letter e, the rest "?"), and it separates the characters around it.
TEST(StrConvUnit, CharactersOutsideCp932ComeBackUnchanged)
{
    const std::u16string text = u"a\U0001F600¥é‖✓\xD800〜\uFFFD\xDC00";
    for (const Conversion f : {FullDigitsToHalf, FullAlphaToHalf, FullSymbolsToHalf, HalfKanaToFull})
        EXPECT_EQ(f(text), text);
    const struct {
        const char* name;
        Conversion f;
        std::u16string text;
        std::u16string expected;
    } cases[] = {
        {"kana", HalfKanaToFull, u"ｱ１Ａ✓a1¥", u"ア１Ａ✓a1¥"},
        {"kana", HalfKanaToFull, u"ｶ\U0001F600ﾞ", u"カ\U0001F600゛"}, // not joined across the emoji
        {"kana", HalfKanaToFull, u"ｶﾞ\u3099ﾊ\u309Aﾟ", u"ガ\u3099ハ\u309A゜"}, // combining marks stay
        {"kana", HalfKanaToFull, u"\xD83Dｶﾞ\xDE00", u"\xD83Dガ\xDE00"},
        {"digits", FullDigitsToHalf, u"¥１,２é３", u"¥1,2é3"},
        {"alpha", FullAlphaToHalf, u"Ｃａｆé‖Ｚ", u"Café‖Z"},
        {"symbols", FullSymbolsToHalf, u"¢£¬（￥¥）−", u"¢£¬(\\¥)−"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(c.f(c.text), c.expected) << c.name << ": " << ToUtf8(c.text);
}

// The reference: the same rules written again in Python on its own cp932 codec
// (strconv_reference.py, run by the build), over every character CP932 represents (alone, between two
// ｱ, before ﾞ and ﾟ, all in one text) and 20,000 random texts holding characters it lacks.
std::u16string Units(std::string_view hex)
{
    std::u16string text;
    if (hex == "-")
        return text;
    for (std::size_t i = 0; i + 4 <= hex.size(); i += 4)
        text += static_cast<char16_t>(std::stoul(std::string(hex.substr(i, 4)), nullptr, 16));
    return text;
}

std::string Show(std::u16string_view text)
{
    std::string out;
    char unit[8];
    for (const char16_t c : text) {
        std::snprintf(unit, sizeof unit, " %04X", static_cast<unsigned>(c));
        out += unit;
    }
    return out.empty() ? " (empty)" : out;
}

TEST(StrConvUnit, AgreesWithTheReferenceOnEveryCp932CharacterAndOnRandomTexts)
{
    std::ifstream reference(GRIDVANE_STRCONV_REFERENCE);
    ASSERT_TRUE(reference) << GRIDVANE_STRCONV_REFERENCE;
    const struct {
        const char* name;
        Conversion f;
    } functions[] = {
        {"FullDigitsToHalf", FullDigitsToHalf},
        {"FullAlphaToHalf", FullAlphaToHalf},
        {"FullSymbolsToHalf", FullSymbolsToHalf},
        {"HalfKanaToFull", HalfKanaToFull},
    };
    std::size_t cases = 0;
    std::size_t outside = 0;
    int failures = 0;
    std::string line;
    while (std::getline(reference, line)) {
        std::istringstream fields(line);
        std::string input;
        fields >> input;
        const std::u16string text = Units(input);
        ++cases;
        if (!std::all_of(text.begin(), text.end(), [](char16_t c) { return IsCp932Representable(c); }))
            ++outside;
        for (const auto& fn : functions) {
            std::string hex;
            fields >> hex;
            const std::u16string expected = Units(hex);
            const std::u16string result = fn.f(text);
            if (result != expected && ++failures <= 20)
                ADD_FAILURE() << fn.name << "(" << ToUtf8(text) << "):" << Show(text) << "\n gives    " << Show(result)
                              << "\n expected " << Show(expected);
        }
    }
    EXPECT_EQ(failures, 0);
    // Four cases for each of over 9,000 characters, the text of all of them, the random texts.
    EXPECT_GT(cases, 4u * 9000u + 1u + 20000u);
    EXPECT_GE(outside, 20000u);
}

} // namespace
} // namespace gridvane
