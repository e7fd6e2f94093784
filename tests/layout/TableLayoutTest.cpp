#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <filesystem>
#include <fstream>

#include "base/Utf.h"
#include "layout/TableLayout.h"
#include "tests/support/TestFolder.h"

namespace gridvane {
namespace {

namespace fs = std::filesystem;

std::vector<std::u16string> Entities(const DxfLineList& list)
{
    // Everything after "ENTITIES", without the closing four lines.
    std::vector<std::u16string> out;
    std::size_t i = 0;
    while (i < list.Count() && list[i] != u"ENTITIES") ++i;
    for (++i; i + 4 < list.Count() + 0 && i < list.Count() - 4; ++i) out.emplace_back(list[i]);
    return out;
}

// One entity per string: type, layer and the values that identify it.
std::vector<std::string> Summary(const DxfLineList& list)
{
    const auto lines = Entities(list);
    std::vector<std::string> out;
    std::string current;
    for (std::size_t i = 0; i + 1 < lines.size(); i += 2) {
        const std::u16string& code = lines[i];
        const std::string value = ToUtf8(lines[i + 1]);
        if (code == u"  0") {
            if (!current.empty()) out.push_back(current);
            current = value;
        } else if (code == u"  8" || code == u" 10" || code == u" 20" || code == u" 11" || code == u" 21" ||
                   code == u"  1" || code == u" 40" || code == u" 72" || code == u" 73" || code == u" 70") {
            current += " " + value;
        }
    }
    if (!current.empty()) out.push_back(current);
    return out;
}

CellTable Table(int cols, int rows, double w, double h)
{
    CellTable t;
    t.GridColCount = cols, t.GridRowCount = rows;
    t.CellGrid.resize(static_cast<std::size_t>(cols * rows));
    for (auto& c : t.CellGrid) c.drawW = w, c.drawH = h, c.drawTH = 2.5;
    return t;
}

TEST(TableLayout, SingleCellWithAndWithoutGridLines)
{
    const CellTable t = Table(1, 1, 30, 10);
    const std::vector<std::u16string> texts = {u"A"};
    EXPECT_EQ(Summary(LayoutTable(t, texts, {true, 0.4})),
              (std::vector<std::string>{"LINE XLSCellLine 0 0 30 0", "LINE XLSCellLine 0 -10 30 -10",
                                        "LINE XLSCellLine 0 0 0 -10", "LINE XLSCellLine 30 0 30 -10",
                                        "TEXT XLSCellText 1 -5 1 -5 A 2.5 0 2"}));
    EXPECT_EQ(Summary(LayoutTable(t, texts, {false, 0.4})),
              (std::vector<std::string>{"TEXT XLSCellText 1 -5 1 -5 A 2.5 0 2"}));
}

TEST(TableLayout, BordersOfNeighboursAreJoinedAndDeduplicated)
{
    CellTable t = Table(2, 1, 20, 10);
    for (auto& c : t.CellGrid) c.lineBits = 15;
    EXPECT_EQ(Summary(LayoutTable(t, {}, {false, 0.8})),
              (std::vector<std::string>{"LINE XLSBordLine 0 0 0 -10", "LINE XLSBordLine 20 0 20 -10",
                                        "LINE XLSBordLine 40 0 40 -10", "LINE XLSBordLine 0 0 40 0",
                                        "LINE XLSBordLine 0 -10 40 -10"}));
}

TEST(TableLayout, MergedAreaOutlineAndCentredText)
{
    CellTable t = Table(1, 2, 20, 10);
    for (auto& c : t.CellGrid) c.cellMerge = true, c.mergerowYscount = 2, c.mergecolXscount = 1;
    t.CellGrid[0].drawMW = 20, t.CellGrid[0].drawMH = 20, t.CellGrid[0].txtAlign = kAlignCenter;
    t.CellGrid[0].mergeBits = 13, t.CellGrid[1].mergeBits = 14, t.CellGrid[1].mark = true;
    EXPECT_EQ(Summary(LayoutTable(t, {u"見出し", u""}, {true, 0.8})),
              (std::vector<std::string>{"LINE XLSCellLine 0 -20 20 -20", "LINE XLSCellLine 20 0 20 -20",
                                        "POLYLINE XLSCellLine 0.0 0.0 1", "VERTEX XLSCellLine 0 0", "VERTEX XLSCellLine 20 0",
                                        "VERTEX XLSCellLine 20 -20", "VERTEX XLSCellLine 0 -20", "SEQEND",
                                        "TEXT XLSCellText 10 -10 10 -10 見出し 2.5 1 2"}));
}

TEST(TableLayout, RowEndingInMergedCellsAndDiagonals)
{
    CellTable t = Table(3, 1, 10, 10);
    t.CellGrid[1].cellMerge = t.CellGrid[2].cellMerge = true;
    t.CellGrid[0].lineBits = 16 | 32;
    const auto s = Summary(LayoutTable(t, {}, {true, 0.8}));
    ASSERT_FALSE(s.empty());
    EXPECT_EQ(s[0], "LINE XLSCellLine 0 0 10 0");
    EXPECT_EQ(s[1], "LINE XLSCellLine 0 -10 30 -10");
    EXPECT_EQ(s.back(), "LINE XLSBordLine 0 0 10 -10"); // only the top-left to bottom-right diagonal
    CellTable covered = Table(1, 1, 10, 10);
    covered.CellGrid[0].mark = true, covered.CellGrid[0].lineBits = 16;
    EXPECT_EQ(Summary(LayoutTable(covered, {}, {false, 0.8})), std::vector<std::string>{});
}

TEST(TableLayout, MultiLineTextsAndControlCharacters)
{
    const CellTable t = Table(1, 1, 30, 10); // drawTH 2.5, left aligned, inset 2.5 * 0.4 = 1
    struct Case {
        const char16_t* text;
        std::vector<std::string> expected;
    };
    const Case cases[] = {
        {u"a b", {"TEXT XLSCellText 1 -5 1 -5 a b 2.5 0 2"}},
        {u"a b\nc", {"TEXT XLSCellText 1 -3.75 1 -3.75 a b 2.5 0 2", "TEXT XLSCellText 1 -6.25 1 -6.25 c 2.5 0 2"}},
        {u"a\n\nb", {"TEXT XLSCellText 1 -2.5 1 -2.5 a 2.5 0 2", "TEXT XLSCellText 1 -7.5 1 -7.5 b 2.5 0 2"}},
        {u"a\r\nb", {"TEXT XLSCellText 1 -3.75 1 -3.75 a 2.5 0 2", "TEXT XLSCellText 1 -6.25 1 -6.25 b 2.5 0 2"}},
        {u"\r\x01", {}},
        {u"x\ty", {"TEXT XLSCellText 1 -5 1 -5 x\ty 2.5 0 2"}},
    };
    for (const Case& k : cases) EXPECT_EQ(Summary(LayoutTable(t, {k.text}, {false, 0.4})), k.expected) << ToUtf8(k.text);
}

TEST(TableLayout, EmptyOrInconsistentTablesDrawNothing)
{
    CellTable none;
    EXPECT_EQ(LayoutTable(none, {}, {}).Count(), 0u);
    CellTable shortGrid = Table(2, 2, 1, 1);
    shortGrid.CellGrid.resize(3);
    EXPECT_EQ(LayoutTable(shortGrid, {}, {}).Count(), 0u);
    CellTable negative = Table(1, 1, 1, 1);
    negative.GridRowCount = -1;
    EXPECT_EQ(LayoutTable(negative, {}, {}).Count(), 0u);
}

TEST(TableLayout, RealReaderOpensTheDrawing)
{
#ifdef _WIN32
    GTEST_SKIP() << "the DXF reader runs on the build machine";
#else
    CellTable t = Table(3, 2, 20, 8);
    for (auto& c : t.CellGrid) c.lineBits = 15;
    t.CellGrid[0].lineBits |= 16;
    t.CellGrid[1].cellMerge = t.CellGrid[2].cellMerge = true;
    t.CellGrid[1].mergecolXscount = t.CellGrid[2].mergecolXscount = 2;
    t.CellGrid[1].mergerowYscount = t.CellGrid[2].mergerowYscount = 1;
    t.CellGrid[1].drawMW = 40, t.CellGrid[1].drawMH = 8, t.CellGrid[2].mark = true;
    t.CellGrid[1].mergeBits = 7, t.CellGrid[2].mergeBits = 11;
    const std::vector<std::u16string> texts = {u"品名", u"部品表", u"", u"ボルト\nM8", u"12", u"～"};
    const fs::path dir = TestFolder("layout");
    const fs::path dxf = dir / "reader.dxf";
    SaveDxfLineList(LayoutTable(t, texts, {true, 0.8}), dxf);
    const fs::path script = dir / "read.py";
    std::ofstream(script) << "import sys, ezdxf\n"
                             "doc = ezdxf.readfile(sys.argv[1], encoding='cp932')\n"
                             "auditor = doc.audit()\n"
                             "counts = {}\n"
                             "for e in doc.modelspace():\n"
                             "    counts[(e.dxftype(), e.dxf.layer)] = counts.get((e.dxftype(), e.dxf.layer), 0) + 1\n"
                             "texts = sorted(e.dxf.text for e in doc.modelspace().query('TEXT'))\n"
                             "print(len(auditor.errors))\n"
                             "print(sorted(counts.items()))\n"
                             "print('|'.join(texts))\n";
    const std::string cmd = std::string(GRIDVANE_PYTHON) + " " + script.string() + " " + dxf.string();
    FILE* pipe = popen(cmd.c_str(), "r");
    ASSERT_NE(pipe, nullptr);
    std::string out;
    char buf[4096];
    while (std::fgets(buf, sizeof buf, pipe)) out += buf;
    ASSERT_EQ(pclose(pipe), 0) << out;
    EXPECT_EQ(out,
              "0\n"
              "[(('LINE', 'XLSBordLine'), 8), (('LINE', 'XLSCellLine'), 7), (('POLYLINE', 'XLSCellLine'), 1), "
              "(('TEXT', 'XLSCellText'), 6)]\n"
              "12|M8|ボルト|品名|部品表|～\n");
#endif
}

} // namespace
} // namespace gridvane
