#include "numfmt/NumberFormat.h"
#include "numfmt/NumberFormatCode.h"

#include "base/Utf.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <cstring>
#include <limits>
#include <random>
#include <string>
#include <vector>

namespace gridvane {
namespace {

struct Case {
    std::u16string_view code;
    double value;
    std::u16string_view expected;
};

void CheckAll(const std::vector<Case>& cases, bool date1904 = false)
{
    NumberFormatter f(date1904);
    for (const Case& c : cases) {
        const std::u16string got = f.FormatNumber(c.value, c.code);
        EXPECT_EQ(ToUtf8(got), ToUtf8(c.expected)) << "code " << ToUtf8(c.code) << " value " << c.value;
    }
}

TEST(NumberFormat, General)
{
    CheckAll({
        {u"General", 0, u"0"},
        {u"General", 1234.5, u"1234.5"},
        {u"General", -12, u"-12"},
        {u"", 3.25, u"3.25"},
        {u"General", 12345678901, u"12345678901"},
        {u"General", -12345678901, u"-12345678901"},
        {u"General", 123456789012, u"1.23457E+11"},
        {u"General", 1e15, u"1E+15"},
        {u"General", 1.0 / 3, u"0.333333333"},
        {u"General", 2.0 / 3, u"0.666666667"},
        {u"General", 100.0 / 3, u"33.33333333"},
        {u"General", 1234567.891234, u"1234567.891"},
        {u"General", 0.1 + 0.2, u"0.3"},
        {u"General", 0.0001, u"0.0001"},
        {u"General", 0.00001, u"0.00001"},
        {u"General", 1.23456789e-5, u"1.23457E-05"},
        {u"General", 1e-10, u"1E-10"},
        {u"General", 99999999999.7, u"1E+11"},
        {u"General", 12345678901.5, u"12345678902"},
        {u"G/標準", 42, u"42"},
        {u"\"合計 \"General", 7.5, u"合計 7.5"},
    });
}

TEST(NumberFormat, FixedRoundsHalfAwayFromZero)
{
    CheckAll({
        {u"0", 2.5, u"3"},
        {u"0", -2.5, u"-3"},
        {u"0", 0.4, u"0"},
        {u"0.00", 0.125, u"0.13"},
        {u"0.00", 1.005, u"1.01"},
        {u"0.00", 2.675, u"2.68"},
        {u"#,##0.00", 1234.5, u"1,234.50"},
        {u"#,##0", 1234567.5, u"1,234,568"},
        {u"#,##0", 0, u"0"},
        {u"#,###", 0, u""},
        {u"#,##0", -999.5, u"-1,000"},
        {u"0.0#", 1.5, u"1.5"},
        {u"0.0#", 1.256, u"1.26"},
        {u"#.##", 1, u"1."},
        {u"#.00", 0.5, u".50"},
        {u"???.??", 1.5, u"  1.5 "},
        {u"00000", 123, u"00123"},
        {u"0,000", 12, u"0,012"},
        {u"000-0000", 1234567, u"123-4567"},
        {u"#,##0.00", 123456789012.345, u"123,456,789,012.35"},
        {u"0", 1e20, u"100000000000000000000"},
    });
}

TEST(NumberFormat, PercentAndScaling)
{
    CheckAll({
        {u"0%", 0.125, u"13%"},
        {u"0%", 0.124, u"12%"},
        {u"0.00%", 0.12345, u"12.35%"},
        {u"0.0%", -0.0005, u"-0.1%"},
        {u"0.0%", 1.5, u"150.0%"},
        {u"#,##0,", 1234567, u"1,235"},
        {u"#,##0,,", 1234567890, u"1,235"},
        {u"0.0,,\"百万\"", 1250000, u"1.3百万"},
        {u"0,", 499, u"0"},
        {u"0,", 500, u"1"},
    });
}

TEST(NumberFormat, SectionsAndSigns)
{
    CheckAll({
        {u"0.00;(0.00)", -1.5, u"(1.50)"},
        {u"0.00;(0.00)", 1.5, u"1.50"},
        {u"0.00;(0.00)", 0, u"0.00"},
        {u"#,##0;\"▲\"#,##0", -1234, u"▲1,234"},
        {u"0;0;\"ゼロ\"", 0, u"ゼロ"},
        {u"0;0;\"ゼロ\"", -3, u"3"},
        {u"0;-0;;@", 0, u""},
        {u";;;", 5, u""},
        {u"0;", -5, u""},
        {u"\"¥\"#,##0;\"¥\"\\-#,##0", -12000, u"¥-12,000"},
        {u"[$¥-411]#,##0", 12000, u"¥12,000"},
        {u"[$¥-ja-JP]#,##0", -12000, u"-¥12,000"},
        {u"[$$-409]#,##0.00", 3.5, u"$3.50"},
        {u"#,##0 ;(#,##0)", 1000, u"1,000 "},
        {u"[Red]0.0;[Blue]-0.0", -2, u"-2.0"},
        {u"[Color10]0", 7, u"7"},
        {u"[赤]0", 7, u"7"},
    });
}

TEST(NumberFormat, Conditions)
{
    CheckAll({
        {u"[>=100]\"大\";[<0]\"負\";\"小\"", 150, u"大"},
        {u"[>=100]\"大\";[<0]\"負\";\"小\"", -1, u"負"},
        {u"[>=100]\"大\";[<0]\"負\";\"小\"", 50, u"小"},
        {u"[<=999]000;[<=99999]000-00;000-0000", 12, u"012"},
        {u"[<=999]000;[<=99999]000-00;000-0000", 12345, u"123-45"},
        {u"[<=999]000;[<=99999]000-00;000-0000", 1234567, u"123-4567"},
        {u"[=1]\"一つ\";0", 1, u"一つ"},
        {u"[=1]\"一つ\";0", 2, u"2"},
        {u"[>10]0.0", 5, u"5"},
    });
}

TEST(NumberFormat, LiteralsSpacingAndFill)
{
    CheckAll({
        {u"\\A0", 5, u"A5"},
        {u"0\"個\"", 12, u"12個"},
        {u"0_)", 5, u"5 "},
        {u"_(* #,##0_)", 1234, u" 1,234 "},
        {u"**0", 5, u"5"},
        {u"0 \"kg\"", 3, u"3 kg"},
        {u"(0)", 4, u"(4)"},
        {u"0.0 \"m²\"", 2.25, u"2.3 m²"},
    });
}

TEST(NumberFormat, Scientific)
{
    CheckAll({
        {u"0.00E+00", 12345, u"1.23E+04"},
        {u"0.00E+00", 0.00012345, u"1.23E-04"},
        {u"0.00E+00", 0, u"0.00E+00"},
        {u"0.00E+00", -12345, u"-1.23E+04"},
        {u"0.00E-00", 12345, u"1.23E04"},
        {u"0.00E-00", 0.012, u"1.20E-02"},
        {u"0.0E+0", 1e100, u"1.0E+100"},
        {u"0.00e+000", 12345, u"1.23E+004"},
        {u"0.00E+00", 9.996, u"1.00E+01"},
        {u"##0.0E+0", 12345, u"12.3E+3"},
        {u"##0.0E+0", 1234567, u"1.2E+6"},
        {u"##0.0E+0", 0.0012345, u"1.2E-3"},
        {u"00.0E+0", 12345, u"12.3E+3"},
    });
}

TEST(NumberFormat, Fractions)
{
    CheckAll({
        {u"# ?/?", 1.5, u"1 1/2"},
        {u"# ?/?", 0.5, u" 1/2"},
        {u"# ?/?", 5, u"5    "},
        {u"# ?/?", 0, u"0    "},
        {u"# ?/?", 1.3333, u"1 1/3"},
        {u"# ?/?", 0.99, u"1    "},
        {u"# ?\?/?\?", 3.14159265, u"3 14/99"},
        {u"# ?\?/?\?", 0.75, u"  3/4 "},
        {u"# ?\?\?/?\?\?", 3.14159265, u"3  16/113"},
        {u"?/?", 1.5, u"3/2"},
        {u"# ?/8", 2.3, u"2 2/8"},
        {u"# ?\?/16", 0.5, u"  8/16"},
        {u"# ?/4", 0.99, u"1    "},
        {u"# ?/?", -1.5, u"-1 1/2"},
        {u"0 ?/?", 0.25, u"0 1/4"},
    });
}

TEST(NumberFormat, Dates1900)
{
    CheckAll({
        {u"yyyy/m/d", 45383, u"2024/4/1"},
        {u"yyyy/mm/dd", 45383, u"2024/04/01"},
        {u"yy/m/d", 45383, u"24/4/1"},
        {u"d-mmm-yy", 45383, u"1-Apr-24"},
        {u"mmmm d, yyyy", 45383, u"April 1, 2024"},
        {u"mmmmm", 45383, u"A"},
        {u"ddd dddd", 45383, u"Mon Monday"},
        {u"yyyy\"年\"m\"月\"d\"日\"", 45383, u"2024年4月1日"},
        {u"yyyy年m月d日", 45383, u"2024年4月1日"},
        {u"m\"月\"", 45383, u"4月"},
        {u"yyyy/m/d", 45383.75, u"2024/4/1"},
        {u"YYYY/MM/DD", 45383, u"2024/04/01"},
        // The 1900 system counts a 29 February 1900 that never was, and a day 0.
        {u"yyyy/m/d", 59, u"1900/2/28"},
        {u"yyyy/m/d", 60, u"1900/2/29"},
        {u"yyyy/m/d", 61, u"1900/3/1"},
        {u"yyyy/m/d", 1, u"1900/1/1"},
        {u"yyyy/m/d", 0, u"1900/1/0"},
        {u"dddd", 1, u"Sunday"},
        {u"dddd", 61, u"Thursday"},
        {u"yyyy/m/d", 2958465, u"9999/12/31"},
        {u"yyyy/m/d", 2958466, u"########"},
        {u"yyyy/m/d", -1, u"########"},
        {u"yyyy/m/d;@", -1, u"########"},
    });
}

TEST(NumberFormat, Dates1904)
{
    CheckAll({
                 {u"yyyy/m/d", 0, u"1904/1/1"},
                 {u"yyyy/m/d", 43921, u"2024/4/1"},
                 {u"dddd", 0, u"Friday"},
                 {u"yyyy/m/d", 2957003, u"9999/12/31"},
                 {u"yyyy/m/d", 2957004, u"########"},
             },
             true);
}

TEST(NumberFormat, Times)
{
    CheckAll({
        {u"h:mm", 0.5, u"12:00"},
        {u"h:mm", 0.75 + 5.0 / 1440, u"18:05"},
        {u"hh:mm:ss", 0.25 + 1.0 / 86400, u"06:00:01"},
        {u"h:mm AM/PM", 0.75 + 5.0 / 1440, u"6:05 PM"},
        {u"h:mm AM/PM", 0, u"12:00 AM"},
        {u"h:mm AM/PM", 0.5, u"12:00 PM"},
        {u"h:mm A/P", 0.25, u"6:00 A"},
        {u"h:mm a/p", 0.8, u"7:12 p"},
        {u"[$-411]AM/PM h:mm", 0.625 + 5.0 / 1440, u"午後 3:05"},
        {u"[$-ja-JP]AM/PM h:mm", 0.25, u"午前 6:00"},
        {u"h\"時\"mm\"分\"", 0.5 + 7.0 / 1440, u"12時07分"},
        {u"mm:ss", 1.0 / 1440 + 5.0 / 86400, u"01:05"},
        {u"m/d h:mm", 45383.5, u"4/1 12:00"},
        // Minutes are not rounded when seconds are not shown.
        {u"h:mm", 10.0 / 24 + 59.6 / 1440, u"10:59"},
        {u"h:mm", 23.0 / 24 + 59.0 / 1440 + 59.6 / 86400, u"23:59"},
        {u"yyyy/m/d", 45383 + 23.0 / 24 + 59.0 / 1440 + 59.6 / 86400, u"2024/4/1"},
        {u"yyyy/m/d", 45383 - 1e-10, u"2024/4/1"},
        {u"h:mm", 0.5 - 1e-10, u"12:00"},
        // Seconds are rounded to the shown precision and carry upwards.
        {u"h:mm:ss", 10.0 / 24 + 59.0 / 1440 + 59.5 / 86400, u"11:00:00"},
        {u"h:mm:ss", 23.0 / 24 + 59.0 / 1440 + 59.6 / 86400, u"0:00:00"},
        {u"yyyy/m/d hh:mm:ss", 45383 + 23.0 / 24 + 59.0 / 1440 + 59.6 / 86400, u"2024/4/2 00:00:00"},
        {u"mm:ss.0", 1.0 / 1440 + 5.25 / 86400, u"01:05.3"},
        {u"mm:ss.00", 59.999 / 86400, u"01:00.00"},
        {u"hh:mm:ss.000", 0.5 + 1.2345 / 86400, u"12:00:01.235"},
        {u"s.0", 0.04 / 86400, u"0.0"},
        {u"h:mm;@", -0.5, u"########"},
    });
}

TEST(NumberFormat, ElapsedTime)
{
    CheckAll({
        {u"[h]:mm:ss", 1.5, u"36:00:00"},
        {u"[h]:mm", 2 + 3.0 / 24 + 4.0 / 1440, u"51:04"},
        {u"[hh]:mm", 0.25, u"06:00"},
        {u"[m]:ss", 1.0 / 24 + 1.0 / 86400, u"60:01"},
        {u"[s]", 1.0 / 1440, u"60"},
        {u"[h]:mm:ss", 1 - 0.4 / 86400, u"24:00:00"},
        {u"[h]\"時間\"mm\"分\"", 1.25, u"30時間00分"},
    });
}

TEST(NumberFormat, JapaneseEras)
{
    CheckAll({
        {u"[$-411]ggge\"年\"m\"月\"d\"日\"", 45383, u"令和6年4月1日"},
        {u"[$-411]ge.m.d", 45383, u"R6.4.1"},
        {u"[$-411]gge", 45383, u"令6"},
        {u"[$-411]ggg ee", 45383, u"令和 06"},
        {u"[$-411]ggge\"年\"", 1, u"明治33年"},
        {u"[$-411]ggge\"年\"m\"月\"d\"日\"", 4594, u"明治45年7月29日"},
        {u"[$-411]ggge\"年\"m\"月\"d\"日\"", 4595, u"大正1年7月30日"},
        {u"[$-411]ggge\"年\"m\"月\"d\"日\"", 9855, u"大正15年12月24日"},
        {u"[$-411]ggge\"年\"m\"月\"d\"日\"", 9856, u"昭和1年12月25日"},
        {u"[$-411]ggge\"年\"m\"月\"d\"日\"", 32515, u"昭和64年1月7日"},
        {u"[$-411]ggge\"年\"m\"月\"d\"日\"", 32516, u"平成1年1月8日"},
        {u"[$-411]ggge\"年\"m\"月\"d\"日\"", 43585, u"平成31年4月30日"},
        {u"[$-411]ggge\"年\"m\"月\"d\"日\"", 43586, u"令和1年5月1日"},
        {u"[$-411]ge.m.d", 32515, u"S64.1.7"},
        {u"[$-411]ge.m.d", 32516, u"H1.1.8"},
        {u"[$-411]ge.m.d", 9856, u"S1.12.25"},
        {u"[$-411]ge.m.d", 4595, u"T1.7.30"},
        // 元年 only where the code asks for it.
        {u"[$-ja-JP-x-gannen]ggge\"年\"m\"月\"d\"日\"", 43586, u"令和元年5月1日"},
        {u"[$-ja-JP-x-gannen]ggge\"年\"", 32516, u"平成元年"},
        {u"[$-ja-JP-x-gannen]ggge\"年\"", 32515, u"昭和64年"},
        {u"[$-ja-JP-x-gannen]ggge\"年\"", 45383, u"令和6年"},
    });
}

TEST(NumberFormat, JapaneseWeekdaysAndTags)
{
    CheckAll({
        {u"aaa", 45383, u"月"},
        {u"aaaa", 45383, u"月曜日"},
        {u"m/d(aaa)", 45384, u"4/2(火)"},
        {u"aaa", 45382, u"日"},
        {u"aaaa", 45388, u"土曜日"},
        {u"[$-411]yyyy/m/d", 45383, u"2024/4/1"},
        {u"[$-F800]dddd, mmmm dd, yyyy", 45383, u"2024年4月1日"},
        {u"[$-x-sysdate]dddd, mmmm dd, yyyy", 45383, u"2024年4月1日"},
        {u"[$-x-systime]h:mm:ss AM/PM", 0.5 + 1.0 / 1440, u"12:01:00"},
        {u"[$-411]mmm d", 45383, u"Apr 1"},
    });
}

TEST(NumberFormat, DbNum)
{
    CheckAll({
        {u"[DBNum1]General", 1234, u"千二百三十四"},
        {u"[DBNum1]G/標準", 10, u"十"},
        {u"[DBNum1]General", 0, u"〇"},
        {u"[DBNum1]General", 20015, u"二万十五"},
        {u"[DBNum1]General", 100000000, u"一億"},
        {u"[DBNum1]General", 12.5, u"十二.五"},
        {u"[DBNum2]General", 1234, u"壱阡弐百参拾四"},
        {u"[DBNum1]0", 1230, u"一二三〇"},
        {u"[DBNum2]0", 123, u"壱弐参"},
        {u"[DBNum3]0", 1234, u"１２３４"},
        {u"[DBNum1]#,##0\"円\"", 1234, u"一,二三四円"},
        {u"[DBNum1][$-411]ggge\"年\"m\"月\"d\"日\"", 45383, u"令和六年四月一日"},
        {u"[DBNum1]m\"月\"", 45637, u"十二月"},
    });
}

// Padding, minutes and fraction placeholders. Where each expected text comes from:
//  [pad]  "_x" leaves a space as wide as x in the text: the text keeps one space for it, at its place.
//  [min]  m and mm are minutes right after an hour or right before a second (literals between them
//         allowed), months everywhere else.
//  [frac] "?" in a fraction shows a digit, or a space for a digit the number does not need, on either side
//         of the slash, so that the slashes of a column line up; a whole number shows spaces where the
//         fraction would be.
TEST(NumberFormat, PaddingMinutesAndFractionPlaceholders)
{
    const double minutes = 0.0123456; // 17 min 46.66 s
    CheckAll({
        {u"#,##0.00_)", 1234.5, u"1,234.50 "},        // [pad] the width of ")"
        {u"#,##0.00_);(#,##0.00)", -1234.5, u"(1,234.50)"}, // [pad] the negative section has no padding
        {u"_-#,##0_-", 5, u" 5 "},                     // [pad] on both sides
        {u"0_W\"W\"", 5, u"5 W"},                     // [pad] any character; the next one is shown
        {u"mmss.0", minutes, u"1746.7"},               // [min] mm before ss: minutes
        {u"mm:ss.0", minutes, u"17:46.7"},             // [min]
        {u"mmss", minutes, u"1747"},                   // [min] seconds rounded without a sub-second part
        {u"hmm", 0.5 + 5.0 / 1440, u"1205"},           // [min] m right after h
        {u"h \"h\" mm", 0.5 + 5.0 / 1440, u"12 h 05"}, // [min] literals between hour and minute
        {u"mm", 45383, u"04"},                         // [min] alone: the month
        {u"yyyy mm dd", 45383, u"2024 04 01"},         // [min] between year and day: the month
        {u"# ?/?", 3.142857, u"3 1/7"},                // [frac]
        {u"# ?\?/?\?", 3.142857, u"3  1/7 "},          // [frac] one space each for the unused digits
        {u"# ?\?/?\?", 3.14159265, u"3 14/99"},        // [frac] the best denominator below 100
        {u"# ?\?/?\?", 0.5, u"  1/2 "},                 // [frac] no whole part: a space for "#"'s place
        {u"# ?\?/?\?", 3, u"3      "},                  // [frac] a whole number: spaces for " ??/??"
        {u"# ?/?", 3, u"3    "},                       // [frac]
        {u"?\?/?\?", 1.25, u" 5/4 "},                   // [frac] without a whole part, an improper fraction
    });
}

TEST(NumberFormat, BuiltinIds)
{
    const std::vector<std::pair<int, std::u16string_view>> codes = {
        {0, u"General"}, {1, u"0"}, {2, u"0.00"}, {3, u"#,##0"}, {4, u"#,##0.00"}, {9, u"0%"}, {10, u"0.00%"},
        {11, u"0.00E+00"}, {12, u"# ?/?"}, {13, u"# ?\?/?\?"}, {14, u"yyyy/m/d"}, {22, u"yyyy/m/d h:mm"},
        {27, u"[$-411]ge.m.d"}, {28, u"[$-411]ggge\"年\"m\"月\"d\"日\""}, {30, u"m/d/yy"},
        {31, u"yyyy\"年\"m\"月\"d\"日\""}, {32, u"h\"時\"mm\"分\""}, {33, u"h\"時\"mm\"分\"ss\"秒\""},
        {34, u"yyyy\"年\"m\"月\""}, {35, u"m\"月\"d\"日\""}, {36, u"[$-411]ge.m.d"}, {45, u"mm:ss"},
        {37, u"#,##0_);(#,##0)"}, {38, u"#,##0_);[Red](#,##0)"}, {39, u"#,##0.00_);(#,##0.00)"},
        {40, u"#,##0.00_);[Red](#,##0.00)"}, {46, u"[h]:mm:ss"}, {47, u"mm:ss.0"}, {48, u"##0.0E+0"}, {49, u"@"}, {50, u"[$-411]ge.m.d"},
        {57, u"[$-411]ge.m.d"}, {58, u"[$-411]ggge\"年\"m\"月\"d\"日\""}, {23, u""}, {-1, u""}, {200, u""},
    };
    for (const auto& [id, code] : codes)
        EXPECT_EQ(ToUtf8(BuiltinNumberFormatCode(id)), ToUtf8(code)) << id;

    const double when = 45383 + 15.0 / 24 + 5.0 / 1440 + 9.0 / 86400;
    NumberFormatter f;
    const std::vector<std::pair<int, std::u16string_view>> shown = {
        {14, u"2024/4/1"},       {22, u"2024/4/1 15:05"}, {27, u"R6.4.1"},       {28, u"令和6年4月1日"},
        {31, u"2024年4月1日"},   {32, u"15時05分"},       {33, u"15時05分09秒"}, {34, u"2024年4月"},
        {35, u"4月1日"},         {36, u"R6.4.1"},         {57, u"R6.4.1"},       {58, u"令和6年4月1日"},
        {30, u"4/1/24"},         {18, u"3:05 PM"},        {20, u"15:05"},        {21, u"15:05:09"},
        {15, u"1-Apr-24"},       {16, u"1-Apr"},          {17, u"Apr-24"},       {45, u"05:09"},
    };
    for (const auto& [id, text] : shown)
        EXPECT_EQ(ToUtf8(f.FormatNumber(when, BuiltinNumberFormatCode(id))), ToUtf8(text)) << id;
    EXPECT_EQ(ToUtf8(f.FormatNumber(-1234.5, BuiltinNumberFormatCode(39))), "(1,234.50)");
    EXPECT_EQ(ToUtf8(f.FormatNumber(-1234, BuiltinNumberFormatCode(37))), "(1,234)");
    EXPECT_EQ(ToUtf8(f.FormatNumber(12345, BuiltinNumberFormatCode(48))), "12.3E+3");
    EXPECT_EQ(ToUtf8(f.FormatNumber(1.5, BuiltinNumberFormatCode(46))), "36:00:00");
}

TEST(NumberFormat, TextValues)
{
    NumberFormatter f;
    EXPECT_EQ(f.FormatText(u"abc", u"@"), u"abc");
    EXPECT_EQ(f.FormatText(u"abc", u"0.00"), u"abc");
    EXPECT_EQ(f.FormatText(u"abc", u"General"), u"abc");
    EXPECT_EQ(f.FormatText(u"東京", u"0;-0;0;\"【\"@\"】\""), u"【東京】");
    EXPECT_EQ(f.FormatText(u"x", u"\"名前: \"@"), u"名前: x");
    EXPECT_EQ(f.FormatText(u"x", u";;;"), u"");
    EXPECT_EQ(f.FormatText(u"x", u"[Red]@_)"), u"x ");
    EXPECT_EQ(f.FormatText(u"x", u"\"open"), u"x");
    // A number through a code whose only section is for texts shows as General.
    EXPECT_EQ(f.FormatNumber(12.5, u"@"), u"12.5");
    EXPECT_EQ(f.FormatNumber(-3, u"\"名前: \"@"), u"-3");
    EXPECT_EQ(NumberFormatter::FormatBoolean(true), u"TRUE");
    EXPECT_EQ(NumberFormatter::FormatBoolean(false), u"FALSE");
}

TEST(NumberFormat, UnusableCodesAndValuesNeverFail)
{
    CheckAll({
        {u"\"unclosed", 1.5, u"1.5"},
        {u"[Red", 1.5, u"1.5"},
        {u"0;0;0;@;0", 1.5, u"1.5"},
        {u"0.00", std::numeric_limits<double>::quiet_NaN(), u"#NUM!"},
        {u"0.00", std::numeric_limits<double>::infinity(), u"#NUM!"},
        {u"General", -std::numeric_limits<double>::infinity(), u"#NUM!"},
        {u"yyyy/m/d", 1e300, u"########"},
        {u"[h]:mm", 1e300, u"########"},
        {u"0.00E+00", 1e308, u"1.00E+308"},
        {u"0.00E+00", 5e-324, u"4.94E-324"},
        {u"# ?/?", 1e15, u"1000000000000000    "},
        {u"?/?", 1e20, u"100000000000000000000/1"},
        {u"?/?%", 1e305, u"1" + std::u16string(307, u'0') + u"/1%"},
        {u"# ?/?%", 1e305, u"1" + std::u16string(307, u'0') + u"    %"},
        {u"# ?/8", 1e300 * 1e10, u"#NUM!"},
        // The whole part times a large fixed denominator passes 2^63: the numerator is shown as the double
        // it is, 15 significant digits and then zeros, like the ones at 1e20 above (a fixed denominator keeps
        // at most nine digits).
        {u"?/6666662", 4556100010967.25, u"30373978811315000000/6666662"},
        {u"?/2147483647", 999999999999999.0, u"214748364000000000000000/214748364"},
        {u"[<0]\"▲\"#,##0;#,##0", -1234, u"▲1,234"},
        {u"[<0]\"▲\"#,##0;#,##0", 1234, u"1,234"},
        {u"\\", 5, u"5"},
        {u"0\\", 5, u"5"},
        {u"0*", 5, u"5"},
        {u"_", 5, u"5"},
        {u"[>abc]0", 5, u"5"},
        {u"[$-]0", 5, u"5"},
        {u"[]0", 5, u"5"},
    });
    // A fuzzer's input (value and code as raw bytes) that once overflowed the fraction arithmetic.
    {
        const unsigned char input[] = {0x00, 0x00, 0xe6, 0x00, 0x20, 0x3f, 0xe6, 0x40, 0x36, 0x2e, 0x36, 0x00,
                                       0x00, 0xf0, 0x23, 0x2f, 0x36, 0x36, 0x36, 0x36, 0x36, 0x36, 0x32, 0x27,
                                       0x25, 0x25, 0x25, 0x25, 0x20, 0xe6, 0x40, 0x3f};
        double value;
        std::memcpy(&value, input, sizeof value);
        const std::u16string code = FromUtf8(std::string(reinterpret_cast<const char*>(input) + 8, sizeof input - 8));
        const std::u16string got = NumberFormatter().FormatNumber(value, code);
        EXPECT_NE(got.find(u"30373978811315000000/6666662"), std::u16string::npos) << ToUtf8(got);
    }
    // Every prefix of a few codes: nothing throws, crashes or hangs.
    NumberFormatter f;
    const std::u16string codes[] = {u"[$-ja-JP-x-gannen]ggge\"年\"m\"月\"d\"日\";[Red]@", u"#,##0.00_);[Red](#,##0.00);\"-\"",
                                    u"# ?\?/?\?;[<0]0.0E+00", u"[h]:mm:ss.000 AM/PM", u"[DBNum2]###0,,%"};
    for (const auto& code : codes)
        for (size_t n = 0; n <= code.size(); ++n)
            for (double v : {0.0, -1.0, 0.5, 45383.75, 1e16, -1e-7})
                (void)f.FormatNumber(v, std::u16string_view(code).substr(0, n));
}

// Random codes from the characters that mean something in a code: whatever comes out, nothing throws,
// crashes (the sanitizer build runs this too) or takes long.
TEST(NumberFormat, RandomCodesRenderSomething)
{
    const std::u16string_view pieces[] = {u"0", u"#", u"?", u".", u",", u"%", u"E+", u"e-", u"/", u"@", u";",
                                          u"\"x\"", u"\\", u"_", u"*", u"[h]", u"[<0]", u"[$-411]", u"[DBNum1]",
                                          u"[$¥-411]", u"y", u"m", u"d", u"h", u"s", u"g", u"e", u"aaa", u"AM/PM",
                                          u"A/P", u" ", u"General", u"[Red]", u"[>=1e300]", u"8", u"\"", u"["};
    const double values[] = {0.0, 1.0, -1.0, 0.5, -1234.5678, 45383.625, 1e15, -1e-15, 1e300, 2958465.99999,
                             std::numeric_limits<double>::quiet_NaN(), 5e-324, -0.0};
    NumberFormatter f;
    unsigned x = 2024;
    size_t total = 0;
    for (int k = 0; k < 20000; ++k) {
        std::u16string code;
        x = x * 1103515245u + 12345u;
        const unsigned len = (x >> 16) % 12;
        for (unsigned j = 0; j < len; ++j) {
            x = x * 1103515245u + 12345u;
            code += pieces[(x >> 16) % std::size(pieces)];
        }
        for (double v : values)
            total += f.FormatNumber(v, code).size();
        total += f.FormatText(u"文字", code).size();
    }
    EXPECT_GT(total, 0u);
}

TEST(NumberFormat, CacheKeepsCodesApart)
{
    NumberFormatter f;
    EXPECT_EQ(f.FormatNumber(1.5, u"0.00"), u"1.50");
    EXPECT_EQ(f.FormatNumber(1.5, u"0.0"), u"1.5");
    EXPECT_EQ(f.FormatNumber(1.5, u"0.00"), u"1.50");
    // More codes than the cache keeps at once: each still renders through its own code, and a code parsed
    // before them, held by its caller, still renders as its text does.
    const NumberFormatter::Parsed held = f.Parse(u"#,##0.00;[Red]-0.0;\"zero\";\"<\"@\">\"");
    for (int k = 0; k < 5000; ++k) {
        const std::u16string mark(1, static_cast<char16_t>(0x4E00 + k));
        EXPECT_EQ(f.FormatNumber(k, u"0\"" + mark + u"\""), FromUtf8(std::to_string(k)) + mark);
    }
    for (const double v : {1234.5, -0.25, 0.0})
        EXPECT_EQ(f.FormatNumber(v, held), f.FormatNumber(v, u"#,##0.00;[Red]-0.0;\"zero\";\"<\"@\">\""));
    EXPECT_EQ(f.FormatText(u"x", held), u"<x>");
    EXPECT_EQ(f.FormatNumber(1234.5, held), u"1,234.50");
}

} // namespace
} // namespace gridvane

namespace gridvane {
namespace {

#ifndef _WIN32 // Python is at hand only in the Linux build
// Dates against Python's calendar, an independent reckoning: every 997th day from 1 March 1900 to
// 31 December 9999, in both date systems.
TEST(NumberFormat, DatesAgreeWithAnIndependentCalendar)
{
    const std::string script =
        "import datetime as d\n"
        "for base in (d.date(1899, 12, 30), d.date(1904, 1, 1)):\n"
        "    first = 61 if base.year == 1899 else 0\n"
        "    last = (d.date(9999, 12, 31) - base).days\n"
        "    for s in list(range(first, last + 1, 997)) + [last]:\n"
        "        t = base + d.timedelta(days=s)\n"
        "        print(s, t.year, t.month, t.day, t.isoweekday() % 7)\n"
        "    print('-')\n";
    const std::string command = std::string(GRIDVANE_PYTHON) + " -c \"" + script + "\"";
    FILE* pipe = popen(command.c_str(), "r");
    ASSERT_NE(pipe, nullptr);
    const char16_t* const days[] = {u"日", u"月", u"火", u"水", u"木", u"金", u"土"};
    NumberFormatter f1900(false), f1904(true);
    NumberFormatter* f = &f1900;
    int checked = 0;
    char line[128];
    while (fgets(line, sizeof line, pipe)) {
        if (line[0] == '-') {
            f = &f1904;
            continue;
        }
        long serial = 0;
        int y = 0, m = 0, day = 0, wd = 0;
        ASSERT_EQ(sscanf(line, "%ld %d %d %d %d", &serial, &y, &m, &day, &wd), 5);
        const std::u16string expected = FromUtf8(std::to_string(y) + "/" + std::to_string(m) + "/" +
                                                 std::to_string(day) + " ") + days[wd];
        ASSERT_EQ(ToUtf8(f->FormatNumber(static_cast<double>(serial), u"yyyy/m/d aaa")), ToUtf8(expected))
            << "serial " << serial << (f == &f1904 ? " (1904)" : "");
        ++checked;
    }
    pclose(pipe);
    EXPECT_GT(checked, 5000);
}
#endif

// The digits of a number are taken without formatting it where it is a short decimal: they must be those
// the library's formatting to 15 digits gives, for every kind of double; and the General form made of
// them without rounding, where they fit, must be the one made through the rounding.
TEST(NumberFormat, ShortDecimalsAreWrittenAsTheirFormattedDigitsAre)
{
    std::vector<double> values = {0.0, -0.0, 1, 0.5, 0.1, 0.3, 1e-7, 123456.789, 999999999999999, 1e15, 1e15 - 1, 1e16,
                                  99999999999999.9, 0.000001, 5e-324, 1.7976931348623157e308,
                                  std::numeric_limits<double>::infinity(), std::numeric_limits<double>::quiet_NaN()};
    std::mt19937_64 random(23);
    for (int i = 0; i < 50000; ++i) {
        const std::uint64_t bits = random();
        double v;
        std::memcpy(&v, &bits, sizeof v);
        values.push_back(std::fabs(v));
        // Whole numbers and decimals of up to seven places, from one digit to seventeen.
        const std::uint64_t digits = random() % 100000000000000000ull >> (random() % 57);
        const double whole = static_cast<double>(digits);
        for (const double ten : {1.0, 2.0, 10.0, 1e3, 1e6, 1e7}) values.push_back(whole / ten);
        values.push_back(std::nextafter(whole / 100, 0.0));
        values.push_back(std::nextafter(whole / 100, 1e300));
    }
    int nonzero = 0;
    for (const double v : values) {
        const numfmt::Decimal fast = numfmt::ToDecimal(v), text = numfmt::ToDecimalByText(v);
        ASSERT_EQ(std::string(fast.d, static_cast<std::size_t>(fast.n)), std::string(text.d, static_cast<std::size_t>(text.n))) << v;
        ASSERT_EQ(fast.n == 0 ? 0 : fast.e, text.n == 0 ? 0 : text.e) << v;
        nonzero += text.n > 0;
        // The General form written straight from the digits, where they fit, is the rounded one.
        ASSERT_EQ(numfmt::GeneralOfDigits(fast, true), numfmt::GeneralOfDigits(text, false)) << v;
    }
    EXPECT_GT(nonzero, 300000);
}

} // namespace
} // namespace gridvane
