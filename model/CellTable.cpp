#include "model/CellTable.h"

#include <algorithm>

namespace gridvane {

namespace {

// The table as far as it really exists: a CellGrid shorter than the counts say (an import that failed
// half-way) or non-positive counts must never lead to a read or write outside the array.
class TableBounds {
public:
    explicit TableBounds(const CellTable& table)
        : cols_(table.GridColCount), rows_(table.GridRowCount), size_(table.CellGrid.size())
    {
    }

    bool Walkable() const { return size_ > 0 && cols_ > 0 && rows_ > 0; }
    std::int32_t Rows() const { return rows_; }
    std::int32_t Cols() const { return cols_; }

    bool Exists(std::int64_t r, std::int64_t c) const
    {
        return r >= 0 && c >= 0 && r < rows_ && c < cols_ && static_cast<std::uint64_t>(Index(r, c)) < size_;
    }
    std::int64_t Index(std::int64_t r, std::int64_t c) const { return r * cols_ + c; }

private:
    std::int32_t cols_;
    std::int32_t rows_;
    std::size_t size_;
};

// The cells of one merged area all carry the same merge attributes.
bool SameArea(const TXlsxCellAttr& anchor, const TXlsxCellAttr& cell)
{
    return cell.cellMerge && cell.mergeLeft == anchor.mergeLeft && cell.mergeTop == anchor.mergeTop &&
           cell.mergecolXscount == anchor.mergecolXscount && cell.mergerowYscount == anchor.mergerowYscount;
}

// Extent of the area anchored at (i, j), clipped to the table and to the cells that belong to the area:
// the walk right along row i and down column j stops at the first cell of another area.
struct AreaExtent {
    std::int32_t cx = 1;
    std::int32_t ry = 1;
};

AreaExtent ClippedExtent(const CellTable& table, const TableBounds& bounds, std::int32_t i, std::int32_t j)
{
    const TXlsxCellAttr& anchor = table.CellGrid[static_cast<std::size_t>(bounds.Index(i, j))];
    const std::int32_t wantCx = std::max<std::int32_t>(1, anchor.mergecolXscount);
    const std::int32_t wantRy = std::max<std::int32_t>(1, anchor.mergerowYscount);
    AreaExtent e;
    while (e.cx < wantCx && bounds.Exists(i, std::int64_t{j} + e.cx) &&
           SameArea(anchor, table.CellGrid[static_cast<std::size_t>(bounds.Index(i, std::int64_t{j} + e.cx))]))
        ++e.cx;
    while (e.ry < wantRy && bounds.Exists(std::int64_t{i} + e.ry, j) &&
           SameArea(anchor, table.CellGrid[static_cast<std::size_t>(bounds.Index(std::int64_t{i} + e.ry, j))]))
        ++e.ry;
    return e;
}

// Calls visit(cell, bounds, i, j, p) for the cells p of the table row by row, stopping at the first one the
// grid lacks; cell(r, c) is the cell at row r and column c, for cells the caller knows to exist.
template <class Visit>
void WalkCells(CellTable& table, Visit visit)
{
    const TableBounds bounds(table);
    if (!bounds.Walkable())
        return;
    const auto cell = [&](std::int64_t r, std::int64_t c) -> TXlsxCellAttr& {
        return table.CellGrid[static_cast<std::size_t>(bounds.Index(r, c))];
    };
    for (std::int32_t i = 0; i < bounds.Rows(); ++i) {
        for (std::int32_t j = 0; j < bounds.Cols(); ++j) {
            if (!bounds.Exists(i, j))
                return;
            visit(cell, bounds, i, j, cell(i, j));
        }
    }
}

} // namespace

void CalcDrawSize(CellTable& table, double cadXsc, double cadYsc, double cadTsc)
{
    WalkCells(table, [&](const auto& cell, const TableBounds& bounds, std::int32_t i, std::int32_t j,
                         TXlsxCellAttr& p) {
        if (p.mark || !p.cellMerge) {
            p.drawMH = 0;
            p.drawMW = 0;
        } else {
            const AreaExtent e = ClippedExtent(table, bounds, i, j);
            const std::int32_t cx = e.cx;
            const std::int32_t ry = e.ry;
            p.mergeBits = kEdgeTop | kEdgeLeft;
            if (cx == 1)
                p.mergeBits |= kEdgeRight;
            if (ry == 1)
                p.mergeBits |= kEdgeBottom;

            // 64-bit sums: a wide area of wide columns exceeds 32 bits.
            std::int64_t w = p.colW;
            for (std::int32_t k = 1; k < cx; ++k) {
                TXlsxCellAttr& q = cell(i, std::int64_t{j} + k);
                w += q.colW;
                q.mark = true;
                q.mergeBits = kEdgeTop;
                if (ry == 1)
                    q.mergeBits |= kEdgeBottom;
                if (k == cx - 1)
                    q.mergeBits |= kEdgeRight;
            }
            p.mergeW = static_cast<std::uint16_t>(w & 0xFFFF);
            p.drawMW = static_cast<double>(w) * cadXsc;

            std::int64_t h = p.rowH;
            for (std::int32_t k = 1; k < ry; ++k) {
                TXlsxCellAttr& q = cell(std::int64_t{i} + k, j);
                h += q.rowH;
                q.mark = true;
                q.mergeBits = kEdgeLeft;
                if (k == ry - 1)
                    q.mergeBits |= kEdgeBottom;
                if (cx == 1)
                    q.mergeBits |= kEdgeRight;
                for (std::int32_t l = 1; l < cx; ++l) {
                    // Inner cells of the clipped rectangle; with a short CellGrid some may not exist.
                    if (!bounds.Exists(std::int64_t{i} + k, std::int64_t{j} + l))
                        break;
                    TXlsxCellAttr& r = cell(std::int64_t{i} + k, std::int64_t{j} + l);
                    r.mark = true;
                    r.mergeBits = 0;
                    if (l == cx - 1)
                        r.mergeBits |= kEdgeRight;
                    if (k == ry - 1)
                        r.mergeBits |= kEdgeBottom;
                }
            }
            p.mergeH = static_cast<std::uint16_t>(h & 0xFFFF);
            p.drawMH = static_cast<double>(h) * cadYsc;
        }
        p.drawW = p.colW * cadXsc;
        p.drawH = p.rowH * cadYsc;
        p.drawTH = p.txtSize * cadTsc;
    });
}

void SumMergeDrawSize(CellTable& table)
{
    WalkCells(table, [&](const auto& cell, const TableBounds& bounds, std::int32_t i, std::int32_t j,
                         TXlsxCellAttr& p) {
        if (p.mark || !p.cellMerge) {
            p.drawMH = 0;
            p.drawMW = 0;
            return;
        }
        const AreaExtent e = ClippedExtent(table, bounds, i, j);
        double w = p.drawW;
        for (std::int32_t k = 1; k < e.cx; ++k) {
            TXlsxCellAttr& q = cell(i, std::int64_t{j} + k);
            w += q.drawW;
            q.mark = true;
        }
        p.drawMW = w;
        double h = p.drawH;
        for (std::int32_t k = 1; k < e.ry; ++k)
            h += cell(std::int64_t{i} + k, j).drawH;
        p.drawMH = h;
    });
}

std::vector<CellArea> MergedAreas(const CellTable& table)
{
    std::vector<CellArea> areas;
    const TableBounds bounds(table);
    if (!bounds.Walkable())
        return areas;
    for (std::int32_t i = 0; i < bounds.Rows(); ++i) {
        for (std::int32_t j = 0; j < bounds.Cols(); ++j) {
            if (!bounds.Exists(i, j))
                return areas;
            const TXlsxCellAttr& p = table.CellGrid[static_cast<std::size_t>(bounds.Index(i, j))];
            if (p.mark || !p.cellMerge)
                continue;
            const AreaExtent e = ClippedExtent(table, bounds, i, j);
            if (e.cx > 1 || e.ry > 1)
                areas.push_back({i, j, e.ry, e.cx});
        }
    }
    return areas;
}

} // namespace gridvane
