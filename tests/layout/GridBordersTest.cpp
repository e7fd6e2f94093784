// The border lines of random tables against the joining of every cell edge, both copies of each inner edge
// included, as the border joiner joins any list of segments: for regular grids with borders given on both
// sides of an edge, and for grids that are not (cells of one column of different widths, sizes near or
// under the joining's tolerance, a border given by one of two cells only).
#include <gtest/gtest.h>

#include <random>

#include "layout/BorderJoining.h"
#include "layout/TableLayout.h"
#include "tests/layout/RandomMergedAreas.h"

namespace gridvane {
namespace {

// The border lines a drawing holds, in its order.
class BorderLines final : public DxfEntitySink {
public:
    std::vector<TXlsxKeisen> lines;
    void Line(const TAcadPoint& start, const TAcadPoint& end, std::u16string_view layer, std::u16string_view,
              int) override
    {
        if (layer == u"XLSBordLine") lines.push_back({start, end, false});
    }
    void Polyline(std::span<const TAcadPoint>, bool, std::u16string_view, std::u16string_view, int) override {}
    void Text(std::u16string_view, const TAcadPoint&, const TAcadPoint&, double, double, double, int, int,
              std::u16string_view, std::u16string_view, int) override
    {
    }
};

bool SamePoint(const TAcadPoint& a, const TAcadPoint& b) { return a.x == b.x && a.y == b.y && a.z == b.z; }

// Every cell's border edges as segments, row by row, each cell's left and right (top and bottom) edge, the
// edges of a merged area's cells only on its outline; joined, the lines left: vertical ones, then horizontal.
std::vector<TXlsxKeisen> JoinedCellEdges(const CellTable& t)
{
    std::vector<TXlsxKeisen> out;
    KeisenJoiner joiner;
    for (const bool vertical : {true, false}) {
        std::vector<AxisKeisen> edges;
        double yTop = 0;
        for (int r = 0; r < t.GridRowCount; ++r) {
            const double yBot = yTop - t.At(r, 0).drawH;
            double xL = 0;
            for (int c = 0; c < t.GridColCount; ++c) {
                const TXlsxCellAttr& cell = t.At(r, c);
                const double xR = xL + cell.drawW;
                const std::uint8_t bits = cell.cellMerge ? (cell.lineBits & cell.mergeBits) : cell.lineBits;
                if (vertical) {
                    if (bits & kEdgeLeft) edges.push_back({xL, yTop, yBot});
                    if (bits & kEdgeRight) edges.push_back({xR, yTop, yBot});
                } else {
                    if (bits & kEdgeTop) edges.push_back({yTop, xL, xR});
                    if (bits & kEdgeBottom) edges.push_back({yBot, xL, xR});
                }
                xL = xR;
            }
            yTop = yBot;
        }
        joiner.Merge(edges, vertical);
        for (const AxisKeisen& k : edges) {
            if (k.mark) continue;
            if (vertical) out.push_back({{k.at, k.from, 0}, {k.at, k.to, 0}});
            else out.push_back({{k.from, k.at, 0}, {k.to, k.at, 0}});
        }
    }
    return out;
}

CellTable RandomGrid(std::mt19937& rng)
{
    const int rows = 1 + static_cast<int>(rng() % 30), cols = 1 + static_cast<int>(rng() % 15);
    CellTable t;
    t.GridRowCount = rows, t.GridColCount = cols;
    t.CellGrid.resize(static_cast<std::size_t>(rows) * cols);
    const bool irregular = rng() % 4 == 0;
    std::vector<std::uint16_t> widths, heights;
    for (int c = 0; c < cols; ++c) widths.push_back(static_cast<std::uint16_t>(1 + rng() % 30));
    for (int r = 0; r < rows; ++r) heights.push_back(static_cast<std::uint16_t>(1 + rng() % 40));
    for (int r = 0; r < rows; ++r) {
        for (int c = 0; c < cols; ++c) {
            TXlsxCellAttr& a = t.At(r, c);
            a.colW = widths[static_cast<std::size_t>(c)], a.rowH = heights[static_cast<std::size_t>(r)];
            if (irregular && rng() % 20 == 0) a.colW = static_cast<std::uint16_t>(rng() % 3); // 0 as a hidden column
            if (irregular && rng() % 20 == 0) a.rowH = 0;
        }
    }
    // The borders of the edges between cells given to both cells, now and then to one of them only.
    const unsigned density = 1 + rng() % 4; // of 4
    const auto border = [&] { return rng() % 4 < density; };
    for (int r = 0; r <= rows; ++r) {
        for (int c = 0; c <= cols; ++c) {
            if (c < cols && border()) { // the top edge of (r, c)
                const bool one = irregular && rng() % 10 == 0;
                if (r < rows) t.At(r, c).lineBits |= kEdgeTop;
                if (r > 0 && !(one && r < rows)) t.At(r - 1, c).lineBits |= kEdgeBottom;
            }
            if (r < rows && border()) { // the left edge of (r, c)
                const bool one = irregular && rng() % 10 == 0;
                if (c < cols) t.At(r, c).lineBits |= kEdgeLeft;
                if (c > 0 && !(one && c < cols)) t.At(r, c - 1).lineBits |= kEdgeRight;
            }
        }
    }
    AddRandomMergedAreas(t, rng, 5, 4, false);
    // Scales of sizes well above the tolerance, near it and under it; negative ones draw the other way.
    static const double scales[] = {3, 0.43, 7.0 / 3.0, 123456.789, 1e-6, 4e-7, -0.5};
    const auto scale = [&] { return scales[rng() % (irregular ? std::size(scales) : 4)]; };
    CalcDrawSize(t, scale(), scale(), 0.27);
    if (irregular && rng() % 2 == 0) // one cell a little off its column, within the tolerance
        t.CellGrid[rng() % t.CellGrid.size()].drawW += (rng() % 2 == 0 ? 0.5 : 2) * kKeisenTolerance;
    return t;
}

TEST(GridBorders, TheDrawingsBorderLinesAreTheJoinedCellEdges)
{
    std::mt19937 rng(8086);
    const std::vector<std::u16string> texts;
    for (int round = 0; round < 4000; ++round) {
        const CellTable t = RandomGrid(rng);
        BorderLines drawn;
        ASSERT_TRUE(LayoutEntities(t, texts, LayoutOptions{}, drawn));
        const std::vector<TXlsxKeisen> expected = JoinedCellEdges(t);
        ASSERT_EQ(drawn.lines.size(), expected.size()) << "round " << round;
        for (std::size_t i = 0; i < expected.size(); ++i) {
            ASSERT_TRUE(SamePoint(drawn.lines[i].stpt, expected[i].stpt) && SamePoint(drawn.lines[i].edpt, expected[i].edpt))
                << "round " << round << ", line " << i;
        }
    }
}

} // namespace
} // namespace gridvane
