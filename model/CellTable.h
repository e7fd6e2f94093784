#pragma once
#include <cstdint>
#include <string>
#include <vector>

namespace gridvane {

/// Bits of lineBits (worksheet borders) and mergeBits (edges on a merged area's outline).
enum : std::uint8_t {
    kEdgeTop = 1,
    kEdgeBottom = 2,
    kEdgeLeft = 4,
    kEdgeRight = 8,
    kDiagonalDown = 16, // top-left to bottom-right
    kDiagonalUp = 32,   // bottom-left to top-right
};

/// Text alignment codes of txtAlign.
enum : std::uint8_t { kAlignGeneral = 0, kAlignLeft = 1, kAlignCenter = 2, kAlignRight = 3 };

/// One cell of the imported table. A new record is all zero.
struct TXlsxCellAttr {
    std::uint16_t rowH = 0;            // points, rounded
    std::uint16_t colW = 0;            // column-width units, rounded
    std::uint16_t txtSize = 0;         // points, rounded
    std::uint8_t txtAlign = 0;         // kAlign*
    std::u16string str;                // text as displayed at import
    std::uint8_t lineBits = 0;         // kEdge*, kDiagonal*
    bool cellMerge = false;            // belongs to a merged area
    std::uint16_t mergerowYscount = 0; // rows of the merged area
    std::uint16_t mergecolXscount = 0; // columns of the merged area
    std::uint16_t mergeLeft = 0;       // points, modulo 65536
    std::uint16_t mergeTop = 0;        // points, modulo 65536
    std::uint16_t mergeW = 0;          // anchor: sum of colW over the first row, modulo 65536
    std::uint16_t mergeH = 0;          // anchor: sum of rowH over the first column, modulo 65536
    std::uint8_t mergeBits = 0;        // kEdge* on the area's outline
    bool mark = false;                 // covered by a merged area, not its anchor
    double drawH = 0;                  // drawing units
    double drawW = 0;                  // drawing units
    double drawMH = 0;                 // anchor: drawing height of the area
    double drawMW = 0;                 // anchor: drawing width of the area
    double drawTH = 0;                 // drawing text height
    std::uint8_t txtAlignStd = 0;      // carried, unused
    double drawThStd = 0;              // carried, unused
    bool txtDefMark = false;           // carried, unused

    bool operator==(const TXlsxCellAttr&) const = default;
};

/// The table: CellGrid row by row, cell (row r, column c) at r * GridColCount + c.
/// An empty CellGrid means no table is loaded.
struct CellTable {
    std::vector<TXlsxCellAttr> CellGrid;
    std::int32_t GridColCount = 0;
    std::int32_t GridRowCount = 0;

    bool Empty() const { return CellGrid.empty(); }
    /// Cell at row r, column c, both from 0; no bounds check.
    TXlsxCellAttr& At(std::int32_t r, std::int32_t c) { return CellGrid[static_cast<std::size_t>(r) * GridColCount + c]; }
    const TXlsxCellAttr& At(std::int32_t r, std::int32_t c) const { return CellGrid[static_cast<std::size_t>(r) * GridColCount + c]; }
};

/// Marks merged areas and recomputes every drawing size from colW, rowH, txtSize and the scale factors.
void CalcDrawSize(CellTable& table, double cadXsc, double cadYsc, double cadTsc);
/// Re-totals drawMW and drawMH of every merged area from the cells' drawW and drawH.
void SumMergeDrawSize(CellTable& table);

/// A merged area as the drawing shows it: the anchor's row and column (from 0) and the area's extent, clipped
/// as CalcDrawSize clips it.
struct CellArea {
    std::int32_t row = 0, col = 0;
    std::int32_t rows = 1, cols = 1;
    bool operator==(const CellArea&) const = default;
};
/// The merged areas of more than one cell, row by row from the top, as the last CalcDrawSize marked them.
std::vector<CellArea> MergedAreas(const CellTable& table);

} // namespace gridvane
