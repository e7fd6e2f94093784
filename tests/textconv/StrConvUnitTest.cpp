#include <gtest/gtest.h>

#include <random>

#include "base/Utf.h"
#include "textconv/Cp932.h"
#include "textconv/Cp932BestFit.h"
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
        {"kana", HalfKanaToFull, u"ｶ\u3099", u"カ?"},                // combining mark: not in CP932
        // Kanji whose trail byte lies in 0xA0-0xDF: 熙 EA A4, 槇 EA A0, 宛 88 B6, 萎 88 DE, 衣 88 DF.
        {"kana", HalfKanaToFull, u"熙槇宛ﾞ萎衣ﾟ", u"熙槇宛゛萎衣゜"},
        {"digits", FullDigitsToHalf, u"熙槇１", u"熙槇1"},
        {"alpha", FullAlphaToHalf, u"熙槇Ａ", u"熙槇A"},
        {"symbols", FullSymbolsToHalf, u"熙槇＋", u"熙槇+"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(ToUtf8(c.f(c.text)), ToUtf8(c.expected)) << c.name << ": " << ToUtf8(c.text);
}

// What CP932 lacks comes back as the system converter's substitute (the yen sign as the byte 0x5C, é as
// e), or as "?" where it has none (the emoji, a lone surrogate, the wave dash U+301C).
TEST(StrConvUnit, CharactersOutsideCp932BecomeTheirSubstitutes)
{
    const std::u16string text = u"a\U0001F600¥é\xD800〜";
    for (const Conversion f : {FullDigitsToHalf, FullAlphaToHalf, FullSymbolsToHalf, HalfKanaToFull})
        EXPECT_EQ(ToUtf8(f(text)), "a?\\e??");
    EXPECT_EQ(ToUtf8(FullSymbolsToHalf(u"¢£¬（")), "￠￡￢(");
    EXPECT_EQ(ToUtf8(HalfKanaToFull(u"ｶ\U0001F600ﾞ")), "カ?゛");
}

// What each function must make of one character, from the tables above and the code point ranges.
std::u16string ExpectedDigits(char16_t c)
{
    return std::u16string(1, c >= u'０' && c <= u'９' ? static_cast<char16_t>(c - 0xFEE0) : c);
}

std::u16string ExpectedAlpha(char16_t c)
{
    const bool letter = (c >= u'Ａ' && c <= u'Ｚ') || (c >= u'ａ' && c <= u'ｚ');
    return std::u16string(1, letter ? static_cast<char16_t>(c - 0xFEE0) : c);
}

std::u16string ExpectedSymbols(char16_t c)
{
    const std::size_t at = kSymbols.find(c);
    return std::u16string(1, at == std::u16string_view::npos ? c : kSymbolResults[at]);
}

std::u16string ExpectedKana(char16_t c)
{
    if (c == u'\uF8F0')
        return u"　";
    if (c >= u'\uFF61' && c <= u'\uFF9F')
        return std::u16string(1, kHalfKanaFull[c - 0xFF60]);
    return std::u16string(1, c);
}

TEST(StrConvUnit, EveryCp932CharacterComesBackOrIsConverted)
{
    const struct {
        const char* name;
        Conversion f;
        std::u16string (*expected)(char16_t);
    } functions[] = {
        {"digits", FullDigitsToHalf, ExpectedDigits},
        {"alpha", FullAlphaToHalf, ExpectedAlpha},
        {"symbols", FullSymbolsToHalf, ExpectedSymbols},
        {"kana", HalfKanaToFull, ExpectedKana},
    };
    std::u16string all;
    for (char32_t c = 0; c < 0x10000; ++c)
        if (IsCp932Representable(c))
            all += static_cast<char16_t>(c);
    ASSERT_GT(all.size(), 7900u);

    for (const auto& fn : functions) {
        std::u16string expectedAll;
        for (const char16_t c : all) {
            const std::u16string one(1, c);
            const std::u16string expected = fn.expected(c);
            ASSERT_EQ(ToUtf8(fn.f(one)), ToUtf8(expected)) << fn.name << " U+" << std::hex << static_cast<int>(c);
            // Between neighbours that every walk must step over whole: a two-byte character's trail
            // byte is never read as a kana, a sound mark, or a lead byte.
            ASSERT_EQ(ToUtf8(fn.f(u"ｱ" + one + u"ｱ")), ToUtf8(fn.f(u"ｱ") + expected + fn.f(u"ｱ")))
                << fn.name << " U+" << std::hex << static_cast<int>(c);
            expectedAll += expected;
        }
        EXPECT_EQ(fn.f(all), expectedAll) << fn.name;
    }
}

// The same rules stated on UTF-16 characters instead of bytes, for random texts.
std::u16string Reference(std::u16string (*expected)(char16_t), bool joinsMarks, std::u16string_view text)
{
    std::u16string out;
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char16_t c = text[i];
        if (c >= 0xD800 && c <= 0xDBFF && i + 1 < text.size() && text[i + 1] >= 0xDC00 && text[i + 1] <= 0xDFFF) {
            out += u'?';
            ++i;
            continue;
        }
        if (!IsCp932Representable(c)) {
            // The substitute of the system converter's list, else "?"; the rules then apply to it.
            char16_t substitute = u'?';
            for (std::size_t k = 0; k < kCp932BestFitCount; ++k) {
                if (kCp932BestFit[k].unit == c) {
                    const std::uint16_t code = kCp932BestFit[k].code;
                    const std::string bytes = code < 0x100 ? std::string(1, static_cast<char>(code))
                                                           : std::string{static_cast<char>(code >> 8), static_cast<char>(code & 0xFF)};
                    substitute = DecodeCp932(bytes).at(0);
                }
            }
            out += substitute == u'?' ? std::u16string(u"?") : expected(substitute);
            continue;
        }
        if (joinsMarks && i + 1 < text.size() && (text[i + 1] == u'ﾞ' || text[i + 1] == u'ﾟ')) {
            const std::u16string_view pairs = text[i + 1] == u'ﾞ' ? kVoiced : kSemiVoiced;
            std::size_t at = 0;
            while (at < pairs.size() && pairs[at] != c)
                at += 2;
            if (at < pairs.size()) {
                out += pairs[at + 1];
                ++i;
                continue;
            }
        }
        out += expected(c);
    }
    return out;
}

TEST(StrConvUnit, RandomTextsFollowTheCharacterRules)
{
    const std::u16string pool = u"aZ09 ~\\０９ＡｚＺａ（）＋［］｜￥＼～，＠ｶｷﾊﾋﾎｳﾜｦｱﾞﾞﾟﾟ｡｢ｰ\uF8F0\u0080"
                                u"熙槇宛萎衣漢ガパひ　、。¥é¢²µ〜\U0001F600\xD800\xDC00";
    const struct {
        Conversion f;
        std::u16string (*expected)(char16_t);
        bool joinsMarks;
    } functions[] = {
        {FullDigitsToHalf, ExpectedDigits, false},
        {FullAlphaToHalf, ExpectedAlpha, false},
        {FullSymbolsToHalf, ExpectedSymbols, false},
        {HalfKanaToFull, ExpectedKana, true},
    };
    std::mt19937 random(20230211);
    std::uniform_int_distribution<std::size_t> pick(0, pool.size() - 1);
    std::uniform_int_distribution<std::size_t> length(0, 12);
    for (int n = 0; n < 20000; ++n) {
        std::u16string text;
        for (std::size_t i = length(random); i > 0; --i)
            text += pool[pick(random)];
        for (const auto& fn : functions)
            ASSERT_EQ(ToUtf8(fn.f(text)), ToUtf8(Reference(fn.expected, fn.joinsMarks, text))) << ToUtf8(text);
    }
}

TEST(StrConvUnit, SoundMarksJoinOnlyTheirKana)
{
    // Every CP932 character followed by ﾞ and by ﾟ: only the kana of the pair lists join.
    for (char32_t c = 0; c < 0x10000; ++c) {
        if (!IsCp932Representable(c))
            continue;
        const auto k = static_cast<char16_t>(c);
        for (const char16_t mark : {u'ﾞ', u'ﾟ'}) {
            const std::u16string_view pairs = mark == u'ﾞ' ? kVoiced : kSemiVoiced;
            std::u16string expected = ExpectedKana(k) + ExpectedKana(mark);
            for (std::size_t i = 0; i < pairs.size(); i += 2)
                if (pairs[i] == k)
                    expected = std::u16string(1, pairs[i + 1]);
            const std::u16string text = {k, mark};
            ASSERT_EQ(ToUtf8(HalfKanaToFull(text)), ToUtf8(expected)) << "U+" << std::hex << static_cast<int>(c);
        }
    }
}

} // namespace
} // namespace gridvane
