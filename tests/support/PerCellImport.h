#pragma once
// The import as its design first asked the spreadsheet, kept as the reference for the import's range
// reads: every cell through Worksheet.Range(address), then ColumnWidth, RowHeight, HorizontalAlignment,
// Font.Size, Text, Value2, Borders(8, 9, 7, 10, 5, 6).LineStyle, MergeCells, and MergeArea's Rows.Count,
// Columns.Count, Left and Top, in that order, under the import's own rules.
#include <memory>
#include <ostream>
#include <string>

#include "base/Utf.h"

#include "excel/ExcelImport.h"
#include "model/CellAddress.h"
#include "model/TableFile.h"

namespace gridvane {
namespace {

class PerCellAnswers : public XlCellAnswers {
public:
    void Reset(std::unique_ptr<XlRange> cell)
    {
        cell_ = std::move(cell);
        area_.reset();
    }
    XlValue ColumnWidth() override { return cell_->ColumnWidth(); }
    XlValue RowHeight() override { return cell_->RowHeight(); }
    XlValue HorizontalAlignment() override { return cell_->HorizontalAlignment(); }
    XlValue FontSize() override { return cell_->FontSize(); }
    std::u16string Text() override { return cell_->Text(); }
    XlValue Value2() override { return cell_->Value2(); }
    XlValue BorderLineStyle(int index) override { return cell_->BorderLineStyle(index); }
    XlValue MergeCells() override { return cell_->MergeCells(); }
    XlValue MergeRowsCount() override { return Area().RowsCount(); }
    XlValue MergeColumnsCount() override { return Area().ColumnsCount(); }
    XlValue MergeLeft() override { return Area().Left(); }
    XlValue MergeTop() override { return Area().Top(); }

private:
    XlRange& Area()
    {
        if (!area_) area_ = cell_->MergeArea();
        return *area_;
    }
    std::unique_ptr<XlRange> cell_, area_;
};

class PerCellReader : public XlSelectionReader {
public:
    explicit PerCellReader(const XlSelection& s) : s_(s) {}
    void BeginRow(std::int32_t r) override { row_ = s_.r1 + r - 1; }
    XlCellAnswers& Cell(std::int32_t c) override
    {
        std::unique_ptr<XlRange> cell;
        try {
            cell = s_.sheet.Range(CellName(s_.c1 + c - 1, row_));
        } catch (const XlUserMessage&) {
            throw;
        } catch (const std::exception& e) {
            throw XlCellUnreachable(e.what());
        }
        answers_.Reset(std::move(cell));
        return answers_;
    }

private:
    const XlSelection s_;
    std::int32_t row_ = 0;
    PerCellAnswers answers_;
};

/// The import through the per-cell reference reader.
inline ImportResult ImportSelectionPerCell(const XlAttach& attach, ImportView& view, CellTable& table,
                                           const ImportScales& scales, char16_t decimalSeparator)
{
    return ImportSelectionWith(attach, view, table, scales, decimalSeparator,
                               [](const XlSelection& s) { return std::make_unique<PerCellReader>(s); });
}

/// What an import gives, as a whole: the table file of its table and grid texts (the converter's
/// --dump-model), or the failure as the window would tell it.
struct ImportOutcome {
    bool ok = false;
    std::string tableFile;
    std::u16string detail;
    bool operator==(const ImportOutcome&) const = default;
};

/// For a failed comparison: both outcomes, the table files from where they part.
inline void PrintTo(const ImportOutcome& o, std::ostream* out)
{
    *out << (o.ok ? "ok " : "failed ") << ToUtf8(o.detail) << " " << o.tableFile.substr(0, 600);
}

/// Where two outcomes part: their details, or the first cell record of the table files that differs.
inline std::string Difference(const ImportOutcome& a, const ImportOutcome& b)
{
    if (a.ok != b.ok || a.detail != b.detail) return ToUtf8(a.detail) + " / " + ToUtf8(b.detail);
    std::size_t i = 0;
    while (i < a.tableFile.size() && i < b.tableFile.size() && a.tableFile[i] == b.tableFile[i]) ++i;
    const std::size_t from = a.tableFile.rfind('{', i);
    const std::size_t start = from == std::string::npos ? 0 : from;
    return "at " + std::to_string(i) + ": " + a.tableFile.substr(start, 240) + " / " + b.tableFile.substr(start, 240);
}

template <class Import>
ImportOutcome OutcomeOf(Import&& import)
{
    HeadlessImportView view;
    CellTable table;
    const ImportResult result = import(view, table);
    ImportOutcome out;
    out.ok = result.ok;
    out.detail = result.detail;
    if (result.ok) out.tableFile = TableFileJson(table, view.texts);
    return out;
}

} // namespace
} // namespace gridvane
