#pragma once
// Random merged areas of a test table, as the import gives them: rectangles that do not overlap.
#include <algorithm>
#include <random>
#include <vector>

#include "model/CellTable.h"

namespace gridvane {

/// Up to areas - 1 merged areas of at most side x side cells; with randomBits each cell's mergeBits is drawn
/// at random too (as a table file may hold them), otherwise left to CalcDrawSize.
inline void AddRandomMergedAreas(CellTable& t, std::mt19937& rng, unsigned areas, int side, bool randomBits)
{
    const int rows = t.GridRowCount, cols = t.GridColCount;
    std::vector<bool> used(t.CellGrid.size());
    for (int k = static_cast<int>(rng() % areas); k > 0; --k) {
        const int top = static_cast<int>(rng() % rows), left = static_cast<int>(rng() % cols);
        const int h = 1 + static_cast<int>(rng() % std::min(side, rows - top));
        const int w = 1 + static_cast<int>(rng() % std::min(side, cols - left));
        bool free = h * w > 1;
        for (int r = top; r < top + h; ++r)
            for (int c = left; c < left + w; ++c) free = free && !used[static_cast<std::size_t>(r) * cols + c];
        if (!free) continue;
        for (int r = top; r < top + h; ++r) {
            for (int c = left; c < left + w; ++c) {
                used[static_cast<std::size_t>(r) * cols + c] = true;
                TXlsxCellAttr& a = t.At(r, c);
                a.cellMerge = true;
                a.mergerowYscount = static_cast<std::uint16_t>(h);
                a.mergecolXscount = static_cast<std::uint16_t>(w);
                a.mergeLeft = static_cast<std::uint16_t>(left);
                a.mergeTop = static_cast<std::uint16_t>(top);
                if (randomBits) a.mergeBits = static_cast<std::uint8_t>(rng() % 16);
            }
        }
    }
}

} // namespace gridvane
