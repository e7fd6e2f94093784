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

TEST(NumberText, Parse)
{
    struct Case {
        const char16_t* text;
        char16_t sep;
        std::optional<double> value;
    };
    const Case cases[] = {
        {u"12.5", u'.', 12.5},   {u" 12.5 ", u'.', 12.5}, {u"12,5", u',', 12.5},  {u"-3", u'.', -3.0},
        {u"+4", u'.', 4.0},      {u"1E5", u'.', 1e5},     {u"5e-5", u'.', 5e-5},  {u".5", u'.', 0.5},
        {u"5.", u'.', 5.0},      {u"", u'.', std::nullopt}, {u"  ", u'.', std::nullopt},
        {u"abc", u'.', std::nullopt}, {u"12abc", u'.', std::nullopt}, {u"12,5", u'.', std::nullopt},
        {u"1.2.3", u'.', std::nullopt}, {u"1,2,3", u',', std::nullopt}, {u"inf", u'.', std::nullopt},
        {u"nan", u'.', std::nullopt}, {u"1e999", u'.', std::nullopt}, {u"1E", u'.', std::nullopt},
        {u"-", u'.', std::nullopt}, {u"1 000", u'.', std::nullopt},
    };
    for (const Case& k : cases) {
        EXPECT_EQ(ParseNumber(k.text, k.sep), k.value) << ToUtf8(k.text);
    }
    for (double v : {0.43, 1.0 / 3, -2.5e20, 5e-5, 1234567.125}) {
        EXPECT_EQ(ParseNumber(FormatGeneral(v, u','), u','), std::stod(ToUtf8(FormatGeneral(v, u'.'))));
    }
}

} // namespace
} // namespace gridvane
