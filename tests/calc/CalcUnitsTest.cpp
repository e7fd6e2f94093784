// Calc's 1/100 mm and API codes turned into the spreadsheet's units and constants, with the numbers a
// real Calc gave for a workbook written by openpyxl (Calibri 11: a digit 140 twips wide).
#include <gtest/gtest.h>

#include "calc/CalcUnits.h"
#include "excel/ColumnWidthUnits.h"
#include "excel/SpreadsheetAutomation.h"

namespace gridvane::calc {
namespace {

TEST(CalcUnitsTest, ColumnsComeBackAsTheFileCountsThem)
{
    // Calc 7.4 made these widths of the file's 3, 5.5, 8.43, 10, 12, 15.7, 20, 33.3 characters.
    const ColumnScale scale{140 * kMm100PerTwip, 7, 2108};
    struct Row {
        int mm100;
        double fileWidth;
    } rows[] = {{741, 3}, {1358, 5.5}, {2081, 8.43}, {2469, 10}, {2963, 12}, {3877, 15.7}, {4939, 20}, {8223, 33.3}};
    for (const Row& r : rows) {
        EXPECT_EQ(ColumnPixels(r.mm100, true, scale), ColumnPixelsOfWidth(r.fileWidth, 7)) << r.fileWidth;
    }
    // The sheet's default width (8 digits and 5 pixels in Calc): the file's 64 pixels, 8.43 units.
    EXPECT_EQ(ColumnPixels(2108, true, scale), 64);
    EXPECT_DOUBLE_EQ(ColumnWidthOfPixels(ColumnPixels(2108, true, scale), 7), 8.43);
    // Hidden columns and no width: nothing.
    EXPECT_EQ(ColumnPixels(2469, false, scale), 0);
    EXPECT_EQ(ColumnPixels(0, true, scale), 0);
    EXPECT_EQ(ColumnPixels(2469, true, ColumnScale{0, 7, 0}), 0);
}

TEST(CalcUnitsTest, RowsComeBackInWholeTwips)
{
    EXPECT_DOUBLE_EQ(RowHeightPoints(529), 15);     // 300 twips
    EXPECT_DOUBLE_EQ(RowHeightPoints(450), 12.75);  // 255 twips
    EXPECT_DOUBLE_EQ(RowHeightPoints(5874), 166.5); // a row's top: 3330 twips, not 166.52 points
    EXPECT_DOUBLE_EQ(RowHeightPoints(0), 0);
}

TEST(CalcUnitsTest, ConstantsOfTheObjectModel)
{
    EXPECT_EQ(AlignmentConstant(0), kXlHAlignGeneral);
    EXPECT_EQ(AlignmentConstant(1), kXlHAlignLeft);
    EXPECT_EQ(AlignmentConstant(2), kXlHAlignCenter);
    EXPECT_EQ(AlignmentConstant(3), kXlHAlignRight);
    EXPECT_EQ(AlignmentConstant(4), kXlHAlignJustify);
    EXPECT_EQ(AlignmentConstant(5), kXlHAlignFill);
    // A line counts by its width, whatever its style says.
    EXPECT_EQ(LineStyleConstant(0, 0, 0, 0), kXlLineStyleNone);
    EXPECT_EQ(LineStyleConstant(0x7FFF, 0, 0, 0), kXlLineStyleNone);
    EXPECT_EQ(LineStyleConstant(0, 26, 26, 0), kXlContinuous);
    EXPECT_EQ(LineStyleConstant(3, 0, 9, 9), kXlDouble);
    EXPECT_EQ(LineStyleConstant(1, 26, 26, 0), kXlDot);
    EXPECT_EQ(LineStyleConstant(2, 26, 26, 0), kXlDash);
    EXPECT_EQ(LineStyleConstant(16, 26, 26, 0), kXlDashDot);
    EXPECT_EQ(LineStyleConstant(17, 26, 26, 0), kXlDashDotDot);
}

} // namespace
} // namespace gridvane::calc
