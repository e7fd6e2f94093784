#pragma once
#include <filesystem>
#include <string>
#include <vector>

#include "base/Error.h"
#include "dxf/MakeR12Dxf_V.h"
#include "model/CellTable.h"

namespace gridvane {

/// One border segment; mark is set once it was absorbed into another or found to duplicate one.
struct TXlsxKeisen {
    TAcadPoint stpt;
    TAcadPoint edpt;
    bool mark = false;
};

/// Tolerance of every segment comparison.
inline constexpr double kKeisenTolerance = 0.000001;

/// |a - b| <= tolerance.
bool NearlyEqual(double a, double b, double tolerance);
/// Appends the LAYER table (0, XLSCellLine, XLSCellText, XLSBordLine).
void DxfLayerTable(DxfLineList& list);
/// Joins and de-duplicates vertical (keisenV) and horizontal (keisenH) segments in place by setting mark.
void MergeKeisen(std::vector<TXlsxKeisen>& keisenV, std::vector<TXlsxKeisen>& keisenH);

/// What the drawing run needs besides the table.
struct LayoutOptions {
    bool cellLineDraw = true; // CheckBox1 "セルを描画"
    double cadTof = 0.8;      // text inset, multiple of the text height
};

/// A cell whose drawing position or size is not a finite number; row and column count from 0.
class LayoutCellError : public Error {
public:
    LayoutCellError(std::int32_t row, std::int32_t col);
    std::int32_t row, col;
};

/// The whole drawing of a table: texts[r * GridColCount + c] is the grid text of cell (r, c).
/// Returns an empty list (Count() == 0) for an empty table. Throws LayoutCellError naming the first cell
/// (row by row) whose position, size or text height is not a finite number, before anything is laid out.
DxfLineList LayoutTable(const CellTable& table, const std::vector<std::u16string>& texts, const LayoutOptions& options);

} // namespace gridvane
