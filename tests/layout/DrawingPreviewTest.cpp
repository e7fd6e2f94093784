#include "layout/DrawingPreview.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <random>

#include "base/Utf.h"
#include "tests/support/DxfEntities.h"

namespace gridvane {
namespace {

namespace fs = std::filesystem;

// A table of random sizes, merged areas, borders, diagonals, alignments and texts (multi-line ones, CR LF,
// control characters, Japanese), all of whose characters code page 932 carries.
struct RandomTable {
    CellTable table;
    std::vector<std::u16string> texts;
};

[[maybe_unused]] RandomTable MakeRandomTable(std::mt19937& rng)
{
    auto pick = [&](int n) { return static_cast<int>(rng() % static_cast<unsigned>(n)); };
    RandomTable t;
    const int cols = 1 + pick(6), rows = 1 + pick(6);
    t.table.GridColCount = cols, t.table.GridRowCount = rows;
    t.table.CellGrid.resize(static_cast<std::size_t>(cols * rows));
    std::vector<std::uint16_t> colW(static_cast<std::size_t>(cols)), rowH(static_cast<std::size_t>(rows));
    for (auto& w : colW) w = static_cast<std::uint16_t>(4 + pick(20));
    for (auto& h : rowH) h = static_cast<std::uint16_t>(10 + pick(30));
    for (int r = 0; r < rows; ++r) {
        for (int c = 0; c < cols; ++c) {
            TXlsxCellAttr& cell = t.table.At(r, c);
            cell.colW = colW[static_cast<std::size_t>(c)], cell.rowH = rowH[static_cast<std::size_t>(r)];
            cell.txtSize = static_cast<std::uint16_t>(8 + pick(10));
            cell.txtAlign = static_cast<std::uint8_t>(pick(4));
            cell.lineBits = static_cast<std::uint8_t>(pick(64));
        }
    }
    // Merged areas that do not overlap.
    std::vector<char> taken(t.table.CellGrid.size(), 0);
    for (int k = pick(4); k > 0; --k) {
        const int c0 = pick(cols), r0 = pick(rows), w = 1 + pick(cols - c0), h = 1 + pick(rows - r0);
        if (w * h < 2) continue;
        bool free = true;
        for (int r = r0; r < r0 + h; ++r)
            for (int c = c0; c < c0 + w; ++c) free = free && !taken[static_cast<std::size_t>(r * cols + c)];
        if (!free) continue;
        for (int r = r0; r < r0 + h; ++r) {
            for (int c = c0; c < c0 + w; ++c) {
                taken[static_cast<std::size_t>(r * cols + c)] = 1;
                TXlsxCellAttr& cell = t.table.At(r, c);
                cell.cellMerge = true;
                cell.mergecolXscount = static_cast<std::uint16_t>(w), cell.mergerowYscount = static_cast<std::uint16_t>(h);
                cell.mergeLeft = static_cast<std::uint16_t>(c0 * 7 + 1), cell.mergeTop = static_cast<std::uint16_t>(r0 * 7 + 1);
            }
        }
    }
    CalcDrawSize(t.table, 3, 0.43, 0.27);
    // Widths set by hand in one cell only: the layout takes each cell's own width within a row.
    if (pick(3) == 0) {
        t.table.At(pick(rows), pick(cols)).drawW = 0.1 * (1 + pick(90));
        SumMergeDrawSize(t.table);
    }
    const std::u16string pool[] = {u"",      u"",        u"品名",       u"ボルト\nM8", u"12.5", u"a b\nc",
                                   u"x\r\ny", u"a\n\nb", u"\x01\x02",   u"部品表　（第２版）", u"～＼", u"t\tab|bar",
                                   u"①", u"?", u"\n"};
    for (std::size_t i = 0; i < t.table.CellGrid.size(); ++i) t.texts.push_back(pool[pick(static_cast<int>(std::size(pool)))]);
    if (pick(4) == 0) t.texts.resize(t.texts.size() / 2); // fewer texts than cells: the rest are empty
    return t;
}

TEST(DrawingPreview, EqualsTheFileAsARealReaderReadsItOnRandomTables)
{
#ifdef _WIN32
    GTEST_SKIP() << "the DXF reader runs on the build machine";
#else
    const fs::path dir = fs::path(GRIDVANE_BINARY_DIR) / "test-tmp" / "layout-preview";
    fs::remove_all(dir);
    fs::create_directories(dir);
    std::mt19937 rng(20231);
    std::vector<DrawingPreview> previews;
    std::vector<fs::path> files;
    for (int i = 0; i < 60; ++i) {
        const RandomTable t = MakeRandomTable(rng);
        const LayoutOptions options{rng() % 3 != 0, 0.4 + 0.1 * static_cast<double>(rng() % 8)};
        std::string name = std::to_string(i);
        name += ".dxf";
        files.push_back(dir / name);
        SaveDxfLineList(LayoutTable(t.table, t.texts, options), files.back());
        previews.push_back(PreviewTable(t.table, t.texts, options));
    }
    const auto read = testing::ReadDxfEntityLines(files, dir);
    ASSERT_EQ(read.size(), files.size());
    std::size_t entities = 0;
    for (std::size_t i = 0; i < files.size(); ++i) {
        ASSERT_FALSE(read[i].empty());
        EXPECT_EQ(read[i][0], "errors 0") << files[i];
        const std::vector<std::string> fromFile(read[i].begin() + 1, read[i].end());
        EXPECT_EQ(testing::FirstDifference(testing::PreviewEntityLines(previews[i]), fromFile), "") << files[i];
        entities += fromFile.size();
    }
    EXPECT_GT(entities, 1000u); // the tables are not trivially small
#endif
}

TEST(DrawingPreview, ExtentsAndEmptyTables)
{
    CellTable t;
    t.GridColCount = 2, t.GridRowCount = 1;
    t.CellGrid.resize(2);
    for (auto& c : t.CellGrid) c.drawW = 20, c.drawH = 10, c.drawTH = 2.5;
    const DrawingPreview p = PreviewTable(t, {u"", u"右"}, {true, 0.8});
    EXPECT_EQ(p.minX, 0);
    EXPECT_EQ(p.maxX, 40);
    EXPECT_EQ(p.minY, -10);
    EXPECT_EQ(p.maxY, 0);
    EXPECT_EQ(p.entities.size(), 6u); // 2 horizontal, 3 vertical grid lines, 1 text
    EXPECT_TRUE(PreviewTable(CellTable{}, {}, {}).entities.empty());
    t.CellGrid[1].drawTH = INFINITY;
    EXPECT_THROW(PreviewTable(t, {}, {}), LayoutCellError);
}

TEST(PreviewViewport, FitsZoomsAboutThePointerAndPans)
{
    DrawingPreview p;
    p.minX = 0, p.maxX = 100, p.minY = -50, p.maxY = 0;
    PreviewViewport v;
    v.width = 400, v.height = 300;
    v.Fit(p);
    EXPECT_DOUBLE_EQ(v.scale, 3.76); // (400 - 2 * 12) / 100 is tighter than (300 - 24) / 50
    EXPECT_DOUBLE_EQ(v.PixelX(50), 200); // the middle of the drawing in the middle of the area
    EXPECT_DOUBLE_EQ(v.PixelY(-25), 150);
    EXPECT_TRUE(v.fitted);
    // The drawing point under the pointer stays there.
    const double x = (120 - v.originX) / v.scale, y = (v.originY - 80) / v.scale;
    v.ZoomAt(p, 120, 80, 2);
    EXPECT_DOUBLE_EQ(v.scale, 7.52);
    EXPECT_NEAR(v.PixelX(x), 120, 1e-9);
    EXPECT_NEAR(v.PixelY(y), 80, 1e-9);
    EXPECT_FALSE(v.fitted);
    v.ZoomAt(p, 0, 0, 1e30); // bounded
    EXPECT_DOUBLE_EQ(v.scale, 3.76e6);
    v.ZoomAt(p, 0, 0, 0); // ignored
    EXPECT_DOUBLE_EQ(v.scale, 3.76e6);
    const double ox = v.originX;
    v.Pan(-15, 4);
    EXPECT_DOUBLE_EQ(v.originX, ox - 15);
    // A drawing of one point, and an area smaller than the margins, still give a usable scale.
    DrawingPreview dot;
    v.width = 10, v.height = 5;
    v.Fit(dot);
    EXPECT_EQ(v.scale, 1);
    v.Fit(p);
    EXPECT_GT(v.scale, 0);
    EXPECT_TRUE(std::isfinite(v.scale));
}

} // namespace
} // namespace gridvane
