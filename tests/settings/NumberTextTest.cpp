#include <gtest/gtest.h>

#include <cmath>

#include "base/Utf.h"
#include "settings/NumberText.h"

namespace gridvane {
namespace {

TEST(NumberText, GeneralForm)
{
    struct Case {
        double value;
        const char16_t* dot;
        const char16_t* comma;
    };
    const Case cases[] = {
        {0, u"0", u"0"},
        {-0.0, u"0", u"0"},
        {20, u"20", u"20"},
        {0.43, u"0.43", u"0,43"},
        {-12.5, u"-12.5", u"-12,5"},
        {3 * 0.43, u"1.29", u"1,29"},
        {1.0 / 3, u"0.333333333333333", u"0,333333333333333"},
        {0.0001, u"0.0001", u"0,0001"},
        {0.00005, u"5E-5", u"5E-5"},
        {1e15, u"1E15", u"1E15"},
        {999999999999999, u"999999999999999", u"999999999999999"},
        {999999999999999.9, u"1E15", u"1E15"},
        {-2.5e20, u"-2.5E20", u"-2,5E20"},
        {123456789012345678.0, u"1.23456789012346E17", u"1,23456789012346E17"},
        {1234567.125, u"1234567.125", u"1234567,125"},
        {0.000123, u"0.000123", u"0,000123"},
    };
    for (const Case& k : cases) {
        EXPECT_EQ(FormatGeneral(k.value, u'.'), k.dot) << k.value;
        EXPECT_EQ(FormatGeneral(k.value, u','), k.comma) << k.value;
    }
}

TEST(NumberText, Fixed3)
{
    EXPECT_EQ(FormatFixed3(30.5, u'.'), u"30.500");
    EXPECT_EQ(FormatFixed3(8, u','), u"8,000");
    EXPECT_EQ(FormatFixed3(-0.0004, u'.'), u"-0.000");
    EXPECT_EQ(FormatFixed3(1.0005, u'.'), u"1.000"); // binary value just below 1.0005
    EXPECT_EQ(FormatFixed3(123456.7896, u'.'), u"123456.790");
}

// A text, the decimal separator, and the number read (nullopt: refused).
struct ParseCase {
    const char16_t* text;
    char16_t sep;
    std::optional<double> value;
};

TEST(NumberText, Parse)
{
    const ParseCase cases[] = {
        {u"12.5", u'.', 12.5},   {u" 12.5 ", u'.', 12.5}, {u"12,5", u',', 12.5},  {u"-3", u'.', -3.0},
        {u"+4", u'.', 4.0},      {u"1E5", u'.', 1e5},     {u"5e-5", u'.', 5e-5},  {u".5", u'.', 0.5},
        {u"5.", u'.', 5.0},      {u"", u'.', std::nullopt}, {u"  ", u'.', std::nullopt},
        {u"abc", u'.', std::nullopt}, {u"12abc", u'.', std::nullopt}, {u"12,5", u'.', std::nullopt},
        {u"1.2.3", u'.', std::nullopt}, {u"1,2,3", u',', std::nullopt}, {u"inf", u'.', std::nullopt},
        {u"nan", u'.', std::nullopt}, {u"1e999", u'.', std::nullopt}, {u"1E", u'.', std::nullopt},
        {u"-", u'.', std::nullopt}, {u"1 000", u'.', std::nullopt},
    };
    for (const ParseCase& k : cases) {
        EXPECT_EQ(ParseNumber(k.text, k.sep), k.value) << ToUtf8(k.text);
    }
    for (double v : {0.43, 1.0 / 3, -2.5e20, 5e-5, 1234567.125}) {
        EXPECT_EQ(ParseNumber(FormatGeneral(v, u','), u','), std::stod(ToUtf8(FormatGeneral(v, u'.'))));
    }
}

// Numbers as typed into the window: through an input method in full width, with the locale's separator,
// grouped in threes, between blanks.
TEST(NumberText, ParseTyped)
{
    const ParseCase cases[] = {
        // Full width, signs, blanks.
        {u"０．４３", u'.', 0.43},          {u"　０．４３　", u'.', 0.43},     {u"\u00A00.43\t\r\n", u'.', 0.43},
        {u"－１", u'.', -1.0},              {u"\u22121.5", u'.', -1.5},        {u"＋２", u'.', 2.0},
        {u"１２３４５６７８９０", u'.', 1234567890.0}, {u"０", u'.', 0.0},  {u"．５", u'.', 0.5},
        {u"５Ｅ－５", u'.', 5e-5},          {u"１ｅ３", u'.', 1e3},             {u"0.43", u'.', 0.43},
        {u"1０.４3", u'.', 10.43},          // half and full width mixed, as an input method switched midway
        // Grouping in threes, only in the whole part and only where the comma is not the separator.
        {u"１，２３４", u'.', 1234.0},      {u"1,234.5", u'.', 1234.5},        {u"-12,345,678", u'.', -12345678.0},
        {u"999,999", u'.', 999999.0},       {u"1,234e3", u'.', 1234e3},
        {u"1,23", u'.', std::nullopt},      {u"1,2345", u'.', std::nullopt},  {u"1234,567", u'.', std::nullopt},
        {u"0,123", u'.', std::nullopt},     {u",123", u'.', std::nullopt},    {u"1,,234", u'.', std::nullopt},
        {u"1,234,", u'.', std::nullopt},    {u"1.234,5", u'.', std::nullopt}, {u"1,2,3", u'.', std::nullopt},
        // The comma as decimal separator.
        {u"0,43", u',', 0.43},              {u"０，４３", u',', 0.43},          {u"1,234", u',', 1.234},
        {u"-1,5E3", u',', -1500.0},         {u"0.43", u',', std::nullopt},    {u"1.234,5", u',', std::nullopt},
        // Not numbers.
        {u"", u'.', std::nullopt},          {u"　 ", u'.', std::nullopt},      {u"ａｂｃ", u'.', std::nullopt},
        {u"０。４３", u'.', std::nullopt},  {u"ー１", u'.', std::nullopt},     {u"１　０００", u'.', std::nullopt},
        {u"1 000", u'.', std::nullopt},     {u"＋－１", u'.', std::nullopt},   {u"--1", u'.', std::nullopt},
        {u"1-", u'.', std::nullopt},        {u"43%", u'.', std::nullopt},     {u"４３％", u'.', std::nullopt},
        {u"ｉｎｆ", u'.', std::nullopt},    {u"NaN", u'.', std::nullopt},      {u"1e999", u'.', std::nullopt},
        {u"１Ｅ", u'.', std::nullopt},      {u"0x10", u'.', std::nullopt},    {u"1.2.3", u'.', std::nullopt},
        {u"- 1", u'.', std::nullopt},       {u"1\u00A0000", u'.', std::nullopt},
    };
    for (const ParseCase& k : cases) {
        EXPECT_EQ(ParseTypedNumber(k.text, k.sep), k.value) << ToUtf8(k.text) << " with " << static_cast<char>(k.sep);
    }
}

// What the window shows in its boxes (the general form, exponent included) reads back as the same number,
// also after an input method has turned every character into its full-width form; and what the settings
// file's parser reads, the typed parser reads alike.
TEST(NumberText, ParseTypedReadsTheShownNumbers)
{
    for (const char16_t sep : {u'.', u','}) {
        for (const double v : {0.0, 20.0, 0.43, -12.5, 0.333333333333333, 5e-5, -2.5e20, 1e15, 1234567.125, 0.000123}) {
            const std::u16string shown = FormatGeneral(v, sep);
            std::u16string wide;
            for (const char16_t c : shown) wide += static_cast<char16_t>(c + 0xFEE0);
            EXPECT_EQ(ParseTypedNumber(shown, sep), v) << ToUtf8(shown);
            EXPECT_EQ(ParseTypedNumber(wide, sep), v) << ToUtf8(wide);
            EXPECT_EQ(ParseTypedNumber(shown, sep), ParseNumber(shown, sep)) << ToUtf8(shown);
        }
    }
    EXPECT_EQ(ParseTypedNumber(std::u16string(5000, u'1'), u'.'), std::nullopt);
    EXPECT_EQ(ParseTypedNumber(std::u16string(5000, u'\u3000') + u"1", u'.'), 1.0);
}

} // namespace
} // namespace gridvane
