#pragma once
#include <filesystem>
#include <functional>
#include <span>
#include <string>
#include <vector>

#include "base/Error.h"
#include "dxf/DxfEntitySink.h"
#include "dxf/MakeR12Dxf_V.h"
#include "model/CellTable.h"

namespace gridvane {

/// A layer of the drawing and its colour number in the layer table.
struct DrawingLayer {
    std::u16string_view name;
    int color; // the CAD's colour index: 7 black on a white ground (white on black), 252 a grey
};
/// The drawing's layers in the order of the layer table: "0", "XLSCellLine", "XLSCellText", "XLSBordLine".
std::span<const DrawingLayer> DrawingLayers();

/// Appends the LAYER table (0, XLSCellLine, XLSCellText, XLSBordLine).
void DxfLayerTable(DxfLineList& list);

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

/// The entities of the drawing of a table, in the drawing file's order, into sink; texts as for LayoutTable.
/// beforeEntities, when set, runs once the table has been checked and before the first entity. Returns false
/// (and calls nothing) for an empty table. Throws LayoutCellError as LayoutTable does, before any call.
bool LayoutEntities(const CellTable& table, const std::vector<std::u16string>& texts, const LayoutOptions& options,
                    DxfEntitySink& sink, const std::function<void()>& beforeEntities = {});

/// The whole drawing of a table: texts[r * GridColCount + c] is the grid text of cell (r, c).
/// Returns an empty list (Count() == 0) for an empty table. Throws LayoutCellError naming the first cell
/// (row by row) whose position, size or text height is not a finite number, before anything is laid out.
DxfLineList LayoutTable(const CellTable& table, const std::vector<std::u16string>& texts, const LayoutOptions& options);

/// The drawing LayoutTable makes, appended through sink to its list (which may stream it, see
/// DxfLineList::StreamTo); beforeStart, when set, runs once the table has been checked and before the
/// first line. Returns false and appends nothing for an empty table. Throws as LayoutTable does.
bool LayoutTableTo(const CellTable& table, const std::vector<std::u16string>& texts, const LayoutOptions& options,
                   DxfLineListSink& sink, const std::function<void()>& beforeStart = {});

} // namespace gridvane
