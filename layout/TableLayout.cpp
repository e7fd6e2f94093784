#include "layout/TableLayout.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>

#include "base/Decimal.h"
#include "base/Error.h"
#include "base/HugePages.h"
#include "base/Utf.h"
#include "dxf/DxfEntitySink.h"
#include "layout/BorderJoining.h"
#include "model/CellAddress.h"

namespace gridvane {

namespace {

constexpr std::u16string_view kLayerCellLine = u"XLSCellLine";
constexpr std::u16string_view kLayerCellText = u"XLSCellText";
constexpr std::u16string_view kLayerBorderLine = u"XLSBordLine";
constexpr std::u16string_view kByLayer = u"BYLAYER";
constexpr int kColorByLayer = 256;

// A cell's text as it may enter a value line: control characters other than LF and TAB removed, so a
// CR LF line break acts as LF and nothing can split a value line of the file.
bool NeedsCleaning(std::u16string_view text)
{
    return std::any_of(text.begin(), text.end(), [](char16_t ch) { return ch < 0x20 && ch != u'\n' && ch != u'\t'; });
}
std::u16string CleanText(std::u16string_view text)
{
    std::u16string out;
    out.reserve(text.size());
    for (char16_t ch : text)
        if (ch >= 0x20 || ch == u'\n' || ch == u'\t') out += ch;
    return out;
}

// A cell's border edges as drawn: those of a merged area's cell only on the area's outline.
std::uint8_t BorderEdges(const TXlsxCellAttr& cell)
{
    return cell.cellMerge ? (cell.lineBits & cell.mergeBits) : cell.lineBits;
}

struct Layout {
    const CellTable& table;
    const std::vector<std::u16string>& texts;
    const LayoutOptions& options;
    std::int32_t cols, rows;
    std::vector<double> rowTop; // yTop(r), r = 0..rows
    std::vector<double> colLeft; // x of grid column c from first-row widths, c = 0..cols

    const TXlsxCellAttr& At(std::int32_t c, std::int32_t r) const { return table.CellGrid[static_cast<std::size_t>(r) * cols + c]; }
    double W() const { return colLeft[static_cast<std::size_t>(cols)]; }
    double H() const { return -rowTop[static_cast<std::size_t>(rows)]; }

    void GridLines(DxfEntitySink& sink) const
    {
        auto line = [&](double x1, double y1, double x2, double y2) {
            sink.Line({x1, y1, 0}, {x2, y2, 0}, kLayerCellLine, kByLayer, kColorByLayer);
        };
        for (std::int32_t r = 0; r < rows; ++r) {
            const double y = rowTop[static_cast<std::size_t>(r)];
            double x = 0;
            bool inRun = false;
            double runStart = 0;
            for (std::int32_t c = 0; c < cols; ++c) {
                const TXlsxCellAttr& cell = At(c, r);
                if (!cell.cellMerge) {
                    if (!inRun) inRun = true, runStart = x;
                } else if (inRun) {
                    line(runStart, y, x, y);
                    inRun = false;
                }
                x += cell.drawW;
            }
            if (inRun) line(runStart, y, W(), y);
        }
        line(0, -H(), W(), -H());
        for (std::int32_t c = 0; c < cols; ++c) {
            const double x = colLeft[static_cast<std::size_t>(c)];
            double above = 0; // sum of drawH of the cells of column c above the current one
            bool inRun = false;
            double runStart = 0;
            for (std::int32_t r = 0; r < rows; ++r) {
                const TXlsxCellAttr& cell = At(c, r);
                if (!cell.cellMerge) {
                    if (!inRun) inRun = true, runStart = above;
                } else if (inRun) {
                    line(x, -runStart, x, -above);
                    inRun = false;
                }
                above += cell.drawH;
            }
            if (inRun) line(x, -runStart, x, -H());
        }
        line(W(), 0, W(), -H());
    }

    void Cells(DxfEntitySink& sink) const
    {
        for (std::int32_t r = 0; r < rows; ++r) {
            const double yTop = rowTop[static_cast<std::size_t>(r)];
            const double yBot = rowTop[static_cast<std::size_t>(r) + 1];
            double x = 0;
            for (std::int32_t c = 0; c < cols; ++c) {
                const TXlsxCellAttr& cell = At(c, r);
                double w, h;
                if (cell.drawMW > 0 && cell.drawMH > 0) {
                    w = cell.drawMW, h = cell.drawMH;
                    const double coords[8] = {x, yTop, x + w, yTop, x + w, yTop - h, x, yTop - h};
                    std::array<TAcadPoint, 4> corners;
                    VarToAcadPoints2D(coords, corners);
                    if (options.cellLineDraw) sink.Polyline(corners, true, kLayerCellLine, kByLayer, kColorByLayer);
                    if (cell.lineBits & kDiagonalDown) {
                        sink.Line(corners[0], corners[2], kLayerBorderLine, kByLayer, kColorByLayer);
                    } else if (cell.lineBits & kDiagonalUp) {
                        sink.Line(corners[3], corners[1], kLayerBorderLine, kByLayer, kColorByLayer);
                    }
                } else {
                    w = cell.drawW, h = cell.drawH;
                    if (!cell.mark) {
                        if (cell.lineBits & kDiagonalDown) {
                            sink.Line({x, yBot + h, 0}, {x + w, yBot, 0}, kLayerBorderLine, kByLayer, kColorByLayer);
                        } else if (cell.lineBits & kDiagonalUp) {
                            sink.Line({x, yBot, 0}, {x + w, yBot + h, 0}, kLayerBorderLine, kByLayer, kColorByLayer);
                        }
                    }
                }
                const std::size_t index = static_cast<std::size_t>(r) * cols + c;
                if (index < texts.size() && !texts[index].empty()) {
                    const std::u16string& text = texts[index];
                    if (NeedsCleaning(text)) Text(sink, CleanText(text), cell, x, yTop, w, h);
                    else Text(sink, text, cell, x, yTop, w, h);
                }
                x += cell.drawW;
            }
        }
    }

    void Text(DxfEntitySink& sink, std::u16string_view text, const TXlsxCellAttr& cell, double x, double yTop, double w,
              double h) const
    {
        if (text.empty()) return;
        double px;
        std::u16string_view code;
        const double inset = cell.drawTH * options.cadTof;
        if (cell.txtAlign == kAlignCenter) {
            px = x + w / 2, code = u"MC";
        } else if (cell.txtAlign == kAlignRight) {
            px = x + w - inset, code = u"MR";
        } else {
            px = x + inset, code = u"ML";
        }
        double py = yTop - h / 2;
        const std::size_t lines = static_cast<std::size_t>(std::count(text.begin(), text.end(), u'\n')) + 1;
        py += static_cast<double>(lines - 1) * 0.5 * cell.drawTH;
        std::size_t start = 0;
        for (;;) {
            const std::size_t end = text.find(u'\n', start);
            const std::u16string_view piece = text.substr(start, end == std::u16string_view::npos ? std::u16string_view::npos : end - start);
            if (!piece.empty()) {
                const TAcadPoint p{px, py, 0};
                sink.Text(piece, p, p, cell.drawTH, 1.0, 0.0, 0, 0, code, kLayerCellText, kColorByLayer);
            }
            py -= cell.drawTH;
            if (end == std::u16string_view::npos) break;
            start = end + 1;
        }
    }

    // The number of border segments of each direction: vertical first, horizontal second.
    std::array<std::size_t, 2> CountBorders() const
    {
        std::array<std::size_t, 2> count{0, 0};
        for (const TXlsxCellAttr& cell : table.CellGrid) {
            const std::uint8_t bits = BorderEdges(cell);
            count[0] += ((bits & kEdgeLeft) != 0) + ((bits & kEdgeRight) != 0);
            count[1] += ((bits & kEdgeTop) != 0) + ((bits & kEdgeBottom) != 0);
        }
        return count;
    }

    std::uint8_t EdgeBits(std::int32_t c, std::int32_t r) const { return BorderEdges(At(c, r)); }

    // Whether the joined border lines follow from the grid alone: every row's cells lie at the columns' x
    // (colLeft, the same sums), columns and rows are more than the joining's tolerance wide and high (in the
    // drawing's directions, x growing and y falling), and an edge between two cells is a border of both or
    // of neither.
    bool RegularBorders() const
    {
        for (std::int32_t c = 0; c < cols; ++c)
            if (!(colLeft[static_cast<std::size_t>(c) + 1] - colLeft[static_cast<std::size_t>(c)] > kKeisenTolerance)) return false;
        for (std::int32_t r = 0; r < rows; ++r)
            if (!(rowTop[static_cast<std::size_t>(r)] - rowTop[static_cast<std::size_t>(r) + 1] > kKeisenTolerance)) return false;
        for (std::int32_t r = 0; r < rows; ++r) {
            double x = 0;
            for (std::int32_t c = 0; c < cols; ++c) {
                x += At(c, r).drawW;
                if (x != colLeft[static_cast<std::size_t>(c) + 1]) return false;
                const std::uint8_t bits = EdgeBits(c, r);
                if (c + 1 < cols && ((bits & kEdgeRight) != 0) != ((EdgeBits(c + 1, r) & kEdgeLeft) != 0)) return false;
                if (r + 1 < rows && ((bits & kEdgeBottom) != 0) != ((EdgeBits(c, r + 1) & kEdgeTop) != 0)) return false;
            }
        }
        return true;
    }

    // The joined border lines of a regular table (RegularBorders), vertical ones first, straight from the
    // grid: what joining the cell edges of Borders gives. There every line of the grid holds its edges at
    // one exact coordinate, an inner line each edge twice (as the right or bottom edge of one cell and the
    // left or top edge of the next) and no other line within the tolerance. The joining makes each run of
    // consecutive edges along a line one segment, kept where the first edge of the run stood in the list and
    // reaching to the end of the run's last edge; the second copies form the same runs, which the joining
    // drops as repeats. Runs are therefore found in the list's order (row by row; in a row the vertical
    // edges from left to right, the horizontal ones cell by cell, the first row's top edge before its
    // bottom edge) and each is extended while it continues.
    void JoinRegularBorders(std::vector<TXlsxKeisen>& borders) const
    {
        constexpr std::size_t kNoRun = SIZE_MAX;
        // A run on a line: continued when the edge is there, ended when not.
        const auto step = [&](std::size_t& run, bool edge, const TAcadPoint& start, const TAcadPoint& end) {
            if (!edge) {
                run = kNoRun;
            } else if (run == kNoRun) {
                run = borders.size();
                borders.push_back({start, end, false});
            } else {
                borders[run].edpt = end;
            }
        };
        std::vector<std::size_t> down(static_cast<std::size_t>(cols) + 1, kNoRun); // the open run of each x
        for (std::int32_t r = 0; r < rows; ++r) {
            const double yTop = rowTop[static_cast<std::size_t>(r)], yBot = rowTop[static_cast<std::size_t>(r) + 1];
            for (std::int32_t k = 0; k <= cols; ++k) {
                const bool edge = k < cols ? (EdgeBits(k, r) & kEdgeLeft) != 0 : (EdgeBits(cols - 1, r) & kEdgeRight) != 0;
                const double x = colLeft[static_cast<std::size_t>(k)];
                step(down[static_cast<std::size_t>(k)], edge, {x, yTop, 0}, {x, yBot, 0});
            }
        }
        for (std::int32_t r = 0; r < rows; ++r) {
            const double yTop = rowTop[static_cast<std::size_t>(r)], yBot = rowTop[static_cast<std::size_t>(r) + 1];
            std::size_t top = kNoRun, bottom = kNoRun; // a row's bottom edges are the next row's top edges
            for (std::int32_t c = 0; c < cols; ++c) {
                const double xL = colLeft[static_cast<std::size_t>(c)], xR = colLeft[static_cast<std::size_t>(c) + 1];
                const std::uint8_t bits = EdgeBits(c, r);
                if (r == 0) step(top, (bits & kEdgeTop) != 0, {xL, yTop, 0}, {xR, yTop, 0});
                step(bottom, (bits & kEdgeBottom) != 0, {xL, yBot, 0}, {xR, yBot, 0});
            }
        }
    }

    // The border segments of every cell edge of one direction, vertical or horizontal, row by row, into
    // keisen (emptied first).
    void Borders(bool vertical, std::vector<AxisKeisen>& keisen) const
    {
        keisen.clear();
        for (std::int32_t r = 0; r < rows; ++r) {
            const double yTop = rowTop[static_cast<std::size_t>(r)];
            const double yBot = rowTop[static_cast<std::size_t>(r) + 1];
            double xL = 0;
            for (std::int32_t c = 0; c < cols; ++c) {
                const TXlsxCellAttr& cell = At(c, r);
                const double xR = xL + cell.drawW;
                const std::uint8_t bits = BorderEdges(cell);
                if (vertical) {
                    if (bits & kEdgeLeft) keisen.push_back({xL, yTop, yBot, false});
                    if (bits & kEdgeRight) keisen.push_back({xR, yTop, yBot, false});
                } else {
                    if (bits & kEdgeTop) keisen.push_back({yTop, xL, xR, false});
                    if (bits & kEdgeBottom) keisen.push_back({yBot, xL, xR, false});
                }
                xL = xR;
            }
        }
    }
};

} // namespace

std::span<const DrawingLayer> DrawingLayers()
{
    static constexpr DrawingLayer kLayers[] = {
        {u"0", 7}, {kLayerCellLine, 252}, {kLayerCellText, 7}, {kLayerBorderLine, 7}};
    return kLayers;
}

void DxfLayerTable(DxfLineList& list)
{
    auto pair = [&](std::u16string_view code, std::u16string_view value) {
        list.Add(code);
        list.Add(value);
    };
    pair(u"  0", u"TABLE");
    pair(u"  2", u"LAYER");
    pair(u" 70", u"     4");
    for (const DrawingLayer& l : DrawingLayers()) {
        const std::u16string number = Decimal(l.color);
        const std::u16string color = std::u16string(6 - std::min<std::size_t>(number.size(), 6), u' ') + number;
        pair(u"  0", u"LAYER");
        pair(u"  2", l.name);
        pair(u" 70", u"     0");
        pair(u" 62", color);
        pair(u"  6", u"CONTINUOUS");
    }
    pair(u"  0", u"ENDTAB");
}

LayoutCellError::LayoutCellError(std::int32_t r, std::int32_t c)
    : Error(ToUtf8(CellName(c + 1, r + 1)) + ": a drawing coordinate or size is not a finite number"),
      row(r), col(c)
{
}

bool LayoutEntities(const CellTable& table, const std::vector<std::u16string>& texts, const LayoutOptions& options,
                    DxfEntitySink& sink, const std::function<void()>& beforeEntities)
{
    const std::int32_t cols = table.GridColCount, rows = table.GridRowCount;
    if (table.Empty() || cols <= 0 || rows <= 0 ||
        table.CellGrid.size() < static_cast<std::size_t>(cols) * static_cast<std::size_t>(rows)) {
        return false;
    }
    Layout layout{table, texts, options, cols, rows, {}, {}};
    layout.rowTop.resize(static_cast<std::size_t>(rows) + 1, 0);
    for (std::int32_t r = 0; r < rows; ++r)
        layout.rowTop[static_cast<std::size_t>(r) + 1] = layout.rowTop[static_cast<std::size_t>(r)] - layout.At(0, r).drawH;
    layout.colLeft.resize(static_cast<std::size_t>(cols) + 1, 0);
    for (std::int32_t c = 0; c < cols; ++c)
        layout.colLeft[static_cast<std::size_t>(c) + 1] = layout.colLeft[static_cast<std::size_t>(c)] + layout.At(c, 0).drawW;

    // Sizes set by hand or scale factors can overflow to infinity; name the first cell that does.
    for (std::int32_t r = 0; r < rows; ++r) {
        for (std::int32_t c = 0; c < cols; ++c) {
            const TXlsxCellAttr& cell = layout.At(c, r);
            const double values[] = {layout.colLeft[static_cast<std::size_t>(c) + 1], layout.rowTop[static_cast<std::size_t>(r) + 1],
                                     cell.drawTH, cell.drawTH * options.cadTof, cell.drawMW, cell.drawMH};
            for (double v : values)
                if (!std::isfinite(v)) throw LayoutCellError(r, c);
        }
    }

    // The border lines are joined before anything is drawn and only the joined lines are kept: the segments
    // of every cell edge then never share memory with the whole drawing.
    std::vector<TXlsxKeisen> borders;
    if (layout.RegularBorders()) {
        layout.JoinRegularBorders(borders);
    } else {
        // The vertical segments first, then the horizontal ones in the same list and working memory.
        std::vector<AxisKeisen> keisen;
        KeisenJoiner joiner;
        // Counted first: the list is allocated once, at the larger direction's size.
        const std::array<std::size_t, 2> counts = layout.CountBorders();
        ReserveFresh(keisen, std::max(counts[0], counts[1]));
        for (const bool vertical : {true, false}) {
            layout.Borders(vertical, keisen);
            joiner.Merge(keisen, vertical);
            for (const AxisKeisen& k : keisen) {
                if (k.mark) continue;
                if (vertical) borders.push_back({{k.at, k.from, 0}, {k.at, k.to, 0}, false});
                else borders.push_back({{k.from, k.at, 0}, {k.to, k.at, 0}, false});
            }
        }
    }

    if (beforeEntities) beforeEntities();
    if (options.cellLineDraw) layout.GridLines(sink);
    layout.Cells(sink);
    for (const TXlsxKeisen& k : borders) sink.Line(k.stpt, k.edpt, kLayerBorderLine, kByLayer, kColorByLayer);
    return true;
}

bool LayoutTableTo(const CellTable& table, const std::vector<std::u16string>& texts, const LayoutOptions& options,
                   DxfLineListSink& sink, const std::function<void()>& beforeStart)
{
    DxfLineList& list = sink.List();
    const bool drawn = LayoutEntities(table, texts, options, sink, [&] {
        if (beforeStart) beforeStart();
        // Room for a text record and a share of the lines per cell, so the buffers rarely move.
        const std::size_t cells = table.CellGrid.size();
        list.Reserve(cells * 260 + 16384);
        DxfStart(list);
        DxfLtypeTable(list);
        DxfLayerTable(list);
        DxfStartEntities(list);
    });
    if (drawn) DxfEnd(list);
    return drawn;
}

DxfLineList LayoutTable(const CellTable& table, const std::vector<std::u16string>& texts, const LayoutOptions& options)
{
    DxfLineList list;
    DxfLineListSink sink(list);
    LayoutTableTo(table, texts, options, sink);
    return list;
}

} // namespace gridvane
