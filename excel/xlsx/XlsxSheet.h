#pragma once
// One worksheet read from its part: the cells, the row and column records, the merged areas and the
// saved selection, indexed for the automation objects.
#include <pugixml.hpp>

#include <cstdint>
#include <optional>
#include <string>
#include <unordered_map>
#include <utility>
#include <vector>

#include "excel/xlsx/XlsxCellRef.h"
#include "excel/xlsx/XlsxPackage.h"
#include "excel/xlsx/XlsxSharedStrings.h"

namespace gridvane::xlsx {

enum class CellKind : std::uint8_t { Empty, Number, Shared, Inline, Boolean, Error, Text };

struct Cell {
    std::uint32_t style = 0;
    CellKind kind = CellKind::Empty;
    std::uint32_t index = 0; // shared string index, or index into the sheet's own strings
    double number = 0;       // Number; Boolean as 0/1
};

struct RowInfo {
    std::int32_t row = 0;
    double height = 0; // points, as shown (0 when hidden)
    bool hasHeight = false;
    std::uint32_t style = 0;
    bool customFormat = false;
};

struct ColInfo {
    std::int32_t min = 0, max = 0;
    double width = 0;
    bool hasWidth = false;
    bool hidden = false;
    std::uint32_t style = 0;
};

class Workbook;

class Sheet {
public:
    Sheet(const Workbook& book, const XlsxPackage& package, const std::string& part, std::u16string name);

    const std::u16string& Name() const { return name_; }
    Area SavedSelection() const { return selection_; }
    const Cell* Find(std::int32_t row, std::int32_t col) const
    {
        const auto it = cells_.find(Key(row, col));
        return it == cells_.end() ? nullptr : &it->second;
    }
    std::uint32_t StyleOf(std::int32_t row, std::int32_t col) const { return StyleOf(row, col, Find(row, col)); }
    std::uint32_t StyleOf(std::int32_t row, std::int32_t col, const Cell* cell) const;
    double ColumnWidth(std::int32_t col) const;
    double RowHeight(std::int32_t row) const;
    double Left(std::int32_t col) const { return colLeftPx_[static_cast<std::size_t>(col - 1)] * 0.75; }
    double Top(std::int32_t row) const;
    // The merged area holding the cell, or -1; the area of a merge by its index.
    long MergeIndex(std::int32_t row, std::int32_t col) const;
    const Area& Merge(long id) const { return merges_[static_cast<std::size_t>(id)]; }
    const std::u16string& OwnString(std::uint32_t i) const { return strings_[i]; }
    const RichString& OwnRich(std::uint32_t i) const { return inline_[i]; }

private:

    // Merged cells indexed one by one (about 50 bytes each), and the areas beyond that looked up by a scan.
    static constexpr std::int64_t kMergeIndexBudget = 2'000'000;
    static constexpr std::size_t kMaxUnindexedMerges = 256;
    // Reads the merged areas of the sheet part and indexes them.
    void ReadMerges(pugi::xml_node ws, const std::string& where);
    int ColumnPixels(std::int32_t col) const;
    const ColInfo* Col(std::int32_t col) const;

    const Workbook& book_;
    std::u16string name_;
    std::unordered_map<std::uint64_t, Cell> cells_;
    std::unordered_map<std::int32_t, RowInfo> rows_;
    std::vector<std::pair<std::int32_t, double>> rowDeltas_; // sorted rows with their height - default
    std::vector<double> rowDeltaSums_;                       // prefix sums of the deltas
    std::vector<ColInfo> cols_;
    std::vector<std::int32_t> colIndex_; // by column: its element in cols_, or -1
    std::vector<double> colLeftPx_; // left edge of each column in pixels
    std::vector<Area> merges_;
    std::unordered_map<std::uint64_t, long> mergeCells_; // cell -> merge, for areas of moderate size
    std::vector<long> bigMerges_;                        // areas too large to index cell by cell
    std::vector<std::u16string> strings_;
    std::vector<RichString> inline_;
    double defaultRowHeight_ = 15;
    std::optional<double> defaultColWidth_;
    int baseColWidth_ = 8;
    Area selection_;
};

} // namespace gridvane::xlsx
