#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <sstream>
#include <string>
#include <vector>

#include "model/CellTable.h"

namespace gridvane {
namespace {

constexpr double kX = 3;
constexpr double kY = 0.43;
constexpr double kT = 0.27;

// Every column a different width, every row a different height, so sums show which cells were added.
CellTable MakeTable(std::int32_t rows, std::int32_t cols)
{
    CellTable t;
    t.GridColCount = cols;
    t.GridRowCount = rows;
    t.CellGrid.resize(static_cast<std::size_t>(rows) * cols);
    for (std::int32_t r = 0; r < rows; ++r)
        for (std::int32_t c = 0; c < cols; ++c) {
            TXlsxCellAttr& cell = t.At(r, c);
            cell.colW = static_cast<std::uint16_t>(10 + 3 * c + r); // rows differ a little too
            cell.rowH = static_cast<std::uint16_t>(15 + 2 * r + c);
            cell.txtSize = static_cast<std::uint16_t>(9 + r);
        }
    return t;
}

// Marks the cells of a worksheet merged area of ry x cx anchored at (r0, c0) as the import stores them;
// the area may begin or end outside the table (the selection cut through it): only cells inside are set,
// each with the counts of the whole area.
void MergeArea(CellTable& t, int r0, int c0, int ry, int cx)
{
    for (int r = r0; r < r0 + std::max(ry, 1); ++r)
        for (int c = c0; c < c0 + std::max(cx, 1); ++c) {
            if (r < 0 || c < 0 || r >= t.GridRowCount || c >= t.GridColCount)
                continue;
            TXlsxCellAttr& cell = t.At(r, c);
            cell.cellMerge = true;
            cell.mergerowYscount = static_cast<std::uint16_t>(ry);
            cell.mergecolXscount = static_cast<std::uint16_t>(cx);
            cell.mergeLeft = static_cast<std::uint16_t>(100 + 40 * c0); // worksheet position of the area
            cell.mergeTop = static_cast<std::uint16_t>(200 + 17 * r0);
        }
}

struct Area {
    int r0, c0, ry, cx;
};

struct MergeCase {
    const char* name;
    std::int32_t rows, cols;
    std::vector<Area> areas;
    // One token per cell, row by row: "-" not merged; "A<cx>x<ry>/<bits>" an anchor covering cx x ry cells;
    // "m/<bits>" a covered cell.
    const char* expected;
};

void CheckCase(const MergeCase& mc, const CellTable& t)
{
    std::istringstream in(mc.expected);
    for (std::int32_t r = 0; r < t.GridRowCount; ++r)
        for (std::int32_t c = 0; c < t.GridColCount; ++c) {
            std::string token;
            ASSERT_TRUE(in >> token) << mc.name;
            const TXlsxCellAttr& cell = t.At(r, c);
            SCOPED_TRACE(std::string(mc.name) + " cell (" + std::to_string(r) + "," + std::to_string(c) + ") " +
                         token);
            EXPECT_DOUBLE_EQ(cell.drawW, cell.colW * kX);
            EXPECT_DOUBLE_EQ(cell.drawH, cell.rowH * kY);
            EXPECT_DOUBLE_EQ(cell.drawTH, cell.txtSize * kT);
            if (token == "-") {
                EXPECT_FALSE(cell.mark);
                EXPECT_EQ(cell.mergeBits, 0);
                EXPECT_EQ(cell.drawMW, 0);
                EXPECT_EQ(cell.drawMH, 0);
            } else if (token[0] == 'm') {
                EXPECT_TRUE(cell.mark);
                EXPECT_EQ(cell.mergeBits, std::stoi(token.substr(2)));
                EXPECT_EQ(cell.drawMW, 0);
                EXPECT_EQ(cell.drawMH, 0);
            } else {
                int cx = 0, ry = 0, bits = 0;
                ASSERT_EQ(std::sscanf(token.c_str(), "A%dx%d/%d", &cx, &ry, &bits), 3);
                EXPECT_FALSE(cell.mark);
                EXPECT_EQ(cell.mergeBits, bits);
                int w = 0, h = 0;
                for (int k = 0; k < cx; ++k)
                    w += t.At(r, c + k).colW;
                for (int k = 0; k < ry; ++k)
                    h += t.At(r + k, c).rowH;
                EXPECT_EQ(cell.mergeW, w);
                EXPECT_EQ(cell.mergeH, h);
                EXPECT_DOUBLE_EQ(cell.drawMW, w * kX);
                EXPECT_DOUBLE_EQ(cell.drawMH, h * kY);
            }
        }
}

// The areas of more than one cell that a case's tokens name, row by row.
std::vector<CellArea> ExpectedAreas(const MergeCase& mc)
{
    std::vector<CellArea> areas;
    std::istringstream in(mc.expected);
    std::string token;
    for (std::int32_t i = 0; in >> token; ++i) {
        int cx = 0, ry = 0, bits = 0;
        if (std::sscanf(token.c_str(), "A%dx%d/%d", &cx, &ry, &bits) == 3 && (cx > 1 || ry > 1))
            areas.push_back({i / mc.cols, i % mc.cols, ry, cx});
    }
    return areas;
}

TEST(CalcDrawSize, MarksMergedAreasAndTotalsTheirSizes)
{
    const MergeCase cases[] = {
        {"no merges", 2, 3, {}, "- - -  - - -"},
        {"1x3 area", 1, 3, {{0, 0, 1, 3}}, "A3x1/7 m/3 m/11"},
        {"3x1 area", 3, 1, {{0, 0, 3, 1}}, "A1x3/13 m/12 m/14"},
        {"2x2 area", 2, 2, {{0, 0, 2, 2}}, "A2x2/5 m/9  m/6 m/10"},
        {"2x3 area inside", 3, 4, {{1, 1, 2, 3}}, "- - - -  - A3x2/5 m/1 m/9  - m/6 m/2 m/10"},
        {"cut on the right", 1, 3, {{0, 1, 1, 4}}, "- A2x1/7 m/11"},
        {"cut at the bottom", 3, 1, {{1, 0, 4, 1}}, "- A1x2/13 m/14"},
        {"cut on the left", 1, 3, {{0, -1, 1, 3}}, "A2x1/7 m/11 -"},
        {"cut at the top", 3, 1, {{-1, 0, 3, 1}}, "A1x2/13 m/14 -"},
        {"cut top-left", 3, 3, {{-1, -1, 3, 3}}, "A2x2/5 m/9 -  m/6 m/10 -  - - -"},
        {"cut on every side", 2, 2, {{-1, -1, 5, 5}}, "A2x2/5 m/9  m/6 m/10"},
        {"count 0 taken as 1", 1, 2, {{0, 0, 0, 0}}, "A1x1/15 -"},
        {"row count 0, three columns", 2, 3, {{0, 0, 0, 3}}, "A3x1/7 m/3 m/11  - - -"},
        {"area past the row end", 2, 2, {{0, 1, 1, 3}}, "- A1x1/15  - -"},
        {"area past the column end does not wrap", 2, 2, {{1, 0, 3, 1}}, "- -  A1x1/15 -"},
        {"side by side, left one cut", 1, 4, {{0, -1, 1, 3}, {0, 2, 1, 2}}, "A2x1/7 m/11 A2x1/7 m/11"},
        {"same counts, other area", 1, 3, {{0, -1, 1, 2}, {0, 1, 1, 2}}, "A1x1/15 A2x1/7 m/11"},
        {"stacked areas", 4, 2, {{0, 0, 2, 2}, {2, 0, 2, 2}}, "A2x2/5 m/9  m/6 m/10  A2x2/5 m/9  m/6 m/10"},
        {"1-cell merged area", 1, 1, {{0, 0, 1, 1}}, "A1x1/15"},
    };
    for (const MergeCase& mc : cases) {
        CellTable t = MakeTable(mc.rows, mc.cols);
        for (const Area& a : mc.areas)
            MergeArea(t, a.r0, a.c0, a.ry, a.cx);
        CalcDrawSize(t, kX, kY, kT);
        CheckCase(mc, t);
        EXPECT_EQ(MergedAreas(t), ExpectedAreas(mc)) << mc.name;
    }
}

TEST(CalcDrawSize, SpillingIntoTheNextRowWouldBeCaught)
{
    // The next row's first cell carries exactly the same merge attributes as the area that ends the row
    // above; a walk by flat index would take it as part of that area.
    CellTable t = MakeTable(2, 2);
    MergeArea(t, 0, 1, 1, 3);
    t.At(1, 0) = [&] {
        TXlsxCellAttr copy = t.At(1, 0);
        copy.cellMerge = true;
        copy.mergecolXscount = t.At(0, 1).mergecolXscount;
        copy.mergerowYscount = t.At(0, 1).mergerowYscount;
        copy.mergeLeft = t.At(0, 1).mergeLeft;
        copy.mergeTop = t.At(0, 1).mergeTop;
        return copy;
    }();
    CalcDrawSize(t, kX, kY, kT);
    EXPECT_FALSE(t.At(1, 0).mark);
    EXPECT_EQ(t.At(0, 1).mergeBits, 15);
    EXPECT_DOUBLE_EQ(t.At(0, 1).drawMW, t.At(0, 1).colW * kX);
}

TEST(CalcDrawSize, InnerCellsOfTheClippedRectangleAreCovered)
{
    // Row and column walks fix the rectangle; an inner cell that arrived unmerged is still covered.
    CellTable t = MakeTable(2, 2);
    MergeArea(t, 0, 0, 2, 2);
    t.At(1, 1).cellMerge = false;
    CalcDrawSize(t, kX, kY, kT);
    EXPECT_TRUE(t.At(1, 1).mark);
    EXPECT_EQ(t.At(1, 1).mergeBits, 10);
}

TEST(CalcDrawSize, RunningTwiceGivesIdenticalRecords)
{
    CellTable t = MakeTable(5, 6);
    MergeArea(t, 0, 0, 2, 3);
    MergeArea(t, 2, 4, 5, 3);
    MergeArea(t, -1, 3, 2, 1);
    MergeArea(t, 3, 0, 1, 1);
    CalcDrawSize(t, kX, kY, kT);
    CellTable again = t;
    CalcDrawSize(again, kX, kY, kT);
    EXPECT_EQ(again.CellGrid, t.CellGrid);

    // A user's single-cell sizes are discarded by the next full pass.
    again.At(4, 5).drawW = 99;
    again.At(0, 0).drawMW = 1;
    CalcDrawSize(again, kX, kY, kT);
    EXPECT_EQ(again.CellGrid, t.CellGrid);
}

TEST(CalcDrawSize, WideAreaKeepsLow16BitsButDrawsTheFullSum)
{
    CellTable t = MakeTable(2, 3);
    for (std::int32_t c = 0; c < 3; ++c)
        t.At(0, c).colW = 30000;
    t.At(0, 0).rowH = 40000;
    t.At(1, 0).rowH = 40000;
    MergeArea(t, 0, 0, 2, 3);
    CalcDrawSize(t, kX, kY, kT);
    EXPECT_EQ(t.At(0, 0).mergeW, 90000 - 65536);
    EXPECT_DOUBLE_EQ(t.At(0, 0).drawMW, 90000 * kX);
    EXPECT_EQ(t.At(0, 0).mergeH, 80000 - 65536);
    EXPECT_DOUBLE_EQ(t.At(0, 0).drawMH, 80000 * kY);
}

TEST(CalcDrawSize, LeavesAnEmptyOrInconsistentTableAlone)
{
    CellTable empty;
    empty.GridColCount = 3;
    empty.GridRowCount = 3;
    CalcDrawSize(empty, kX, kY, kT);
    SumMergeDrawSize(empty);
    EXPECT_TRUE(empty.CellGrid.empty());

    for (const auto& [cols, rows] : {std::pair{0, 2}, {-2, 2}, {2, 0}, {2, -1}}) {
        CellTable t = MakeTable(2, 2);
        MergeArea(t, 0, 0, 2, 2);
        t.GridColCount = cols;
        t.GridRowCount = rows;
        const CellTable before = t;
        CalcDrawSize(t, kX, kY, kT);
        SumMergeDrawSize(t);
        EXPECT_EQ(t.CellGrid, before.CellGrid) << cols << "x" << rows;
    }
}

TEST(CalcDrawSize, StaysInsideAShortCellGrid)
{
    // An import that failed half-way: the counts say 3 x 3, five cells exist. The 3 x 3 area at the top
    // reaches cells that are not there; nothing outside the array may be touched (the sanitizer build
    // catches a stray access).
    CellTable t = MakeTable(3, 3);
    MergeArea(t, 0, 0, 3, 3);
    t.CellGrid.resize(5);
    CalcDrawSize(t, kX, kY, kT);
    EXPECT_EQ(t.At(0, 0).mergeBits, kEdgeTop | kEdgeLeft);
    EXPECT_TRUE(t.At(1, 1).mark);
    EXPECT_DOUBLE_EQ(t.At(1, 1).drawW, t.At(1, 1).colW * kX);
    SumMergeDrawSize(t);
    EXPECT_DOUBLE_EQ(t.At(0, 0).drawMH, t.At(0, 0).drawH + t.At(1, 0).drawH);
}

TEST(SumMergeDrawSize, TotalsTheFirstRowAndFirstColumnOnly)
{
    CellTable t = MakeTable(3, 4);
    MergeArea(t, 0, 0, 3, 3);
    CalcDrawSize(t, kX, kY, kT);
    const auto drawW = [&](int r, int c) { return t.At(r, c).drawW; };
    const auto drawH = [&](int r, int c) { return t.At(r, c).drawH; };

    t.At(0, 1).drawW = 50;  // first row: counts
    t.At(1, 2).drawW = 500; // second row: does not
    t.At(1, 0).drawH = 7;   // first column: counts
    t.At(2, 1).drawH = 700; // other column: does not
    t.At(0, 3).drawMW = 9;  // a cell outside areas is reset
    SumMergeDrawSize(t);
    EXPECT_DOUBLE_EQ(t.At(0, 0).drawMW, drawW(0, 0) + 50 + drawW(0, 2));
    EXPECT_DOUBLE_EQ(t.At(0, 0).drawMH, drawH(0, 0) + 7 + drawH(2, 0));
    EXPECT_EQ(t.At(0, 3).drawMW, 0);
    EXPECT_EQ(t.At(1, 1).drawMW, 0);
}

TEST(SumMergeDrawSize, ClipsLikeTheFullPass)
{
    // Areas cut on the right and on the left, side by side; the sums cover only what CalcDrawSize covered.
    CellTable t = MakeTable(2, 4);
    MergeArea(t, 0, -1, 2, 3); // cells (0..1, 0..1)
    MergeArea(t, 0, 2, 3, 4);  // cells (0..1, 2..3), reaching past the right and bottom
    CalcDrawSize(t, kX, kY, kT);
    const CellTable computed = t;
    SumMergeDrawSize(t);
    for (std::size_t i = 0; i < t.CellGrid.size(); ++i) {
        EXPECT_EQ(t.CellGrid[i].mark, computed.CellGrid[i].mark) << i;
        EXPECT_DOUBLE_EQ(t.CellGrid[i].drawMW, computed.CellGrid[i].drawMW) << i;
        EXPECT_DOUBLE_EQ(t.CellGrid[i].drawMH, computed.CellGrid[i].drawMH) << i;
    }
    EXPECT_DOUBLE_EQ(t.At(0, 2).drawMW, t.At(0, 2).drawW + t.At(0, 3).drawW);
    EXPECT_DOUBLE_EQ(t.At(0, 0).drawMH, t.At(0, 0).drawH + t.At(1, 0).drawH);
}

} // namespace
} // namespace gridvane
