#pragma once
// One worksheet read from its part: the cells, the row and column records, the merged areas and the
// saved selection, indexed for the automation objects.
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <utility>
#include <vector>

#include "base/Error.h"
#include "xlsx/XlsxCellRef.h"
#include "xlsx/XlsxPackage.h"
#include "xlsx/XlsxSharedStrings.h"

namespace gridvane::xlsx {

/// What a cell's element holds.
enum class CellKind : std::uint8_t { Empty, Number, Shared, Inline, Boolean, Error, Text };

/// A cell's element as kept: 16 bytes, a selection of a million cells is held whole.
struct Cell {
    std::uint32_t style = 0;
    CellKind kind = CellKind::Empty;
    bool present = false; // the sheet has an element for the cell (with at least its style)
    union {
        std::uint32_t index; // Shared, Inline, Text, Error: shared string index, or index into the sheet's own strings
        double number = 0;   // Number; Boolean as 0/1
    };
};
static_assert(sizeof(Cell) == 16);

/// A column element (<col>): the columns min..max, their width, visibility and format.
struct ColInfo {
    std::int32_t min = 0, max = 0;
    double width = 0;
    bool hasWidth = false;
    bool hidden = false;
    std::uint32_t style = 0;
};

class Workbook;

/// Whether the rows of a sheet's cells are read straight from their markup where it is of the usual kind
/// (the default), or all of them through the XML events that read any markup: the two read alike, and this
/// lets them be compared. For the whole process.
void SetSheetRowsWalked(bool walked);

/// The sheet part is read in one pass while it is decompressed (XlsxSheetReader.cpp). Of its cells only
/// those of one area are kept: the area the caller names, or else the sheet's saved selection, which the
/// part holds before its cells. Every cell is still checked as it passes.
class Sheet {
public:
    /// Reads the sheet; wanted: the area whose cells will be asked for; none for the saved selection.
    /// Throws Error naming the file, the part and the problem.
    Sheet(const Workbook& book, const XlsxPackage& package, const std::string& part, std::u16string name,
          std::optional<Area> wanted = std::nullopt);

    /// The sheet's name.
    const std::u16string& Name() const { return name_; }
    /// The selection saved with the sheet (A1 when it has none); of several areas, the first.
    Area SavedSelection() const { return selection_; }
    /// The areas the saved selection has besides the first, as the sheet lists them ("D4:E5 G1"); empty
    /// for a selection of one area.
    const std::string& MoreSelectedAreas() const { return moreSelected_; }
    /// True when the cell is of the area kept.
    bool Holds(std::int32_t row, std::int32_t col) const
    {
        return keptAll_ || (row >= kept_.r1 && row <= kept_.r2 && col >= kept_.c1 && col <= kept_.c2);
    }
    /// The cell's element, or null when the sheet has none. Throws Error for a cell outside the area kept.
    const Cell* Find(std::int32_t row, std::int32_t col) const
    {
        if (!Holds(row, col)) Outside(row, col);
        if (!dense_.empty()) {
            const Cell& cell = dense_[DenseIndex(row, col)];
            return cell.present ? &cell : nullptr;
        }
        return Sparse(row, col);
    }
    /// The cell format that applies to the cell: its own, else its row's, else its column's.
    std::uint32_t StyleOf(std::int32_t row, std::int32_t col) const { return StyleOf(row, col, Find(row, col)); }
    /// The same for a cell already found (cell may be null).
    std::uint32_t StyleOf(std::int32_t row, std::int32_t col, const Cell* cell) const
    {
        return cell ? cell->style : StyleOfEmpty(row, col);
    }
    /// Calls go(style) with the cell format of each cell of the area, row by row, as long as it answers true;
    /// false when it stopped. Throws Error as Find does for a cell outside the area kept.
    template <class Go>
    bool EachStyle(const Area& a, Go&& go) const
    {
        const bool inDense = !dense_.empty() && Holds(a.r1, a.c1) && Holds(a.r2, a.c2);
        for (std::int32_t r = a.r1; r <= a.r2; ++r) {
            const Cell* row = inDense ? &dense_[DenseIndex(r, a.c1)] : nullptr;
            for (std::int32_t c = a.c1; c <= a.c2; ++c) {
                const Cell* cell = row ? (row[c - a.c1].present ? &row[c - a.c1] : nullptr) : Find(r, c);
                if (!go(StyleOf(r, c, cell))) return false;
            }
        }
        return true;
    }
    /// The column's width in column-width units as the spreadsheet reports it (0 when hidden).
    double ColumnWidth(std::int32_t col) const;
    /// The row's height in points (0 when hidden).
    double RowHeight(std::int32_t row) const;
    /// The column's left edge in points from the sheet's left edge.
    double Left(std::int32_t col) const { return colLeftPx_[static_cast<std::size_t>(col - 1)] * 0.75; }
    /// The row's top edge in points from the sheet's top edge.
    double Top(std::int32_t row) const;
    /// The index of the merged area holding the cell, or -1.
    long MergeIndex(std::int32_t row, std::int32_t col) const;
    /// The merged area of an index MergeIndex gave.
    const Area& Merge(long id) const { return merges_[static_cast<std::size_t>(id)]; }
    /// The sheet's own string i (a formula's text result, an error value, an inline string without runs).
    std::u16string_view OwnString(std::uint32_t i) const
    {
        const std::uint32_t start = i == 0 ? 0 : ownEnds_[i - 1];
        return std::u16string_view(ownText_).substr(start, ownEnds_[i] - start);
    }
    /// The sheet's own rich string i (an inline string with runs).
    const RichString& OwnRich(std::uint32_t i) const { return inline_[i]; }

private:
    friend class SheetReader;

    // Merged cells indexed one by one (about 50 bytes each), and the areas beyond that looked up by a scan.
    static constexpr std::int64_t kMergeIndexBudget = 2'000'000;
    static constexpr std::size_t kMaxUnindexedMerges = 256;
    // Kept areas up to this many cells are held as one array, larger ones by cell.
    static constexpr std::int64_t kMaxDenseCells = 1 << 20;

    Cell& Slot(std::int32_t row, std::int32_t col)
    {
        if (!dense_.empty()) return dense_[DenseIndex(row, col)];
        return cells_[Key(row, col)];
    }
    std::size_t DenseIndex(std::int32_t row, std::int32_t col) const
    {
        return static_cast<std::size_t>(row - kept_.r1) * static_cast<std::size_t>(kept_.c2 - kept_.c1 + 1) +
               static_cast<std::size_t>(col - kept_.c1);
    }
    std::uint32_t StyleOfEmpty(std::int32_t row, std::int32_t col) const;
    [[noreturn]] void Outside(std::int32_t row, std::int32_t col) const;
    const Cell* Sparse(std::int32_t row, std::int32_t col) const;
    // Indexes one merged area (when it meets the area kept); where names the part for messages.
    void AddMerge(const Area& a, const std::string& where);
    int ColumnPixels(std::int32_t col) const;
    const ColInfo* Col(std::int32_t col) const;

    const Workbook& book_;
    std::u16string name_;
    bool keptAll_ = true;
    Area kept_;
    std::vector<Cell> dense_; // the kept area row by row, when it is small enough
    std::unordered_map<std::uint64_t, Cell> cells_;
    std::unordered_map<std::int32_t, std::uint32_t> rowStyles_; // kept rows whose format applies to their cells
    std::vector<std::pair<std::int32_t, double>> rowHeights_;   // sorted rows with a height of their own
    std::vector<double> rowDeltaSums_;                          // prefix sums of their heights - the default
    std::vector<ColInfo> cols_;
    std::vector<std::int32_t> colIndex_; // by column: its element in cols_, or -1
    std::vector<double> colLeftPx_; // left edge of each column in pixels
    std::vector<Area> merges_;
    std::int64_t mergeCellsIndexed_ = 0;
    std::unordered_map<std::uint64_t, long> mergeCells_; // cell -> merge, for areas of moderate size
    std::vector<long> bigMerges_;                        // areas too large to index cell by cell
    // The texts of the cells' own (formula results, error values, inline strings without runs), one after
    // another: a sheet may have a million of them, each a few characters.
    std::u16string ownText_;
    std::vector<std::uint32_t> ownEnds_;
    std::uint32_t AddOwnString(std::u16string_view text)
    {
        if (ownText_.size() + text.size() > UINT32_MAX) throw Error("the sheet's texts are too long to be read");
        ownText_.append(text);
        ownEnds_.push_back(static_cast<std::uint32_t>(ownText_.size()));
        return static_cast<std::uint32_t>(ownEnds_.size() - 1);
    }
    std::vector<RichString> inline_;
    double defaultRowHeight_ = 15;
    std::optional<double> defaultColWidth_;
    int baseColWidth_ = 8;
    Area selection_;
    std::string moreSelected_;

public:
    /// The number of merged areas kept (those meeting the area kept, or more); Merge(id) for id below it.
    std::size_t MergeCount() const { return merges_.size(); }
};

} // namespace gridvane::xlsx
