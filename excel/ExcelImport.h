#pragma once
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "excel/SpreadsheetAutomation.h"
#include "model/CellTable.h"

namespace gridvane {

/// The worksheet's name of column n (1 gives "A", 27 "AA", 16384 "XFD"); empty for 0 and negative n.
std::u16string ColNoToLetters(std::int32_t n);
/// True when text is empty or holds only the digits 0-9, ".", "," and "-" (each UTF-16 unit by itself).
bool IsNumericText(std::u16string_view text);

/// What the window shows during and after an import. Grid coordinates: column c and row r, the fixed
/// header column and row being 0.
class ImportView {
public:
    virtual ~ImportView() = default;
    virtual void SetButton3Enabled(bool on) = 0;
    virtual void SetButton4Enabled(bool on) = 0;
    virtual void SetCaption(std::u16string_view text) = 0;
    virtual void SetEdit2(std::u16string_view text) = 0; // first cell's address
    virtual void SetEdit3(std::u16string_view text) = 0; // last cell's address
    virtual void SetGridRedraw(bool on) = 0;             // off: the grid does not repaint; on: repaint now
    virtual void SetFixedColumnWidth(int pixels) = 0;
    virtual void SetGridSize(std::int32_t columns, std::int32_t rows) = 0; // header column and row included
    virtual void SetCurrentCell(std::int32_t c, std::int32_t r) = 0;
    virtual void SetColumnWidth(std::int32_t c, int pixels) = 0;
    virtual void SetRowHeight(std::int32_t r, int pixels) = 0;
    virtual void SetCellText(std::int32_t c, std::int32_t r, std::u16string_view text) = 0; // headers too
    virtual void SetLabel4(std::u16string_view text) = 0;
    virtual void SetProgressMax(int maximum) = 0;
    virtual void SetProgress(int position) = 0;
    virtual void StepProgress() = 0;
    virtual void ProcessEvents() = 0;                     // let pending window messages run once
    virtual void ShowMessage(std::u16string_view text) = 0; // OK box, caption "メッセージ"
};

/// The view of an import without a window: it keeps the data cells' texts, row by row, and ignores the rest.
class HeadlessImportView : public ImportView {
public:
    std::vector<std::u16string> texts;
    std::int32_t cols = 0, rows = 0;

    void SetButton3Enabled(bool) override {}
    void SetButton4Enabled(bool) override {}
    void SetCaption(std::u16string_view) override {}
    void SetEdit2(std::u16string_view) override {}
    void SetEdit3(std::u16string_view) override {}
    void SetGridRedraw(bool) override {}
    void SetFixedColumnWidth(int) override {}
    void SetGridSize(std::int32_t c, std::int32_t r) override
    {
        cols = c - 1, rows = r - 1;
        texts.assign(static_cast<std::size_t>(cols) * static_cast<std::size_t>(rows), {});
    }
    void SetCurrentCell(std::int32_t, std::int32_t) override {}
    void SetColumnWidth(std::int32_t, int) override {}
    void SetRowHeight(std::int32_t, int) override {}
    void SetCellText(std::int32_t c, std::int32_t r, std::u16string_view text) override
    {
        if (c >= 1 && r >= 1 && c <= cols && r <= rows) texts[static_cast<std::size_t>(r - 1) * cols + (c - 1)] = text;
    }
    void SetLabel4(std::u16string_view) override {}
    void SetProgressMax(int) override {}
    void SetProgress(int) override {}
    void StepProgress() override {}
    void ProcessEvents() override {}
    void ShowMessage(std::u16string_view) override {}
};

/// The settings the import reads.
struct ImportScales {
    double colXsc = 20; // grid pixels per column-width unit
    double rowYsc = 3;  // grid pixels per point of row height
    double cadXsc = 3;
    double cadYsc = 0.43;
    double cadTsc = 0.27;
};

/// Largest selection the import takes, in cells.
inline constexpr std::int64_t kMaxImportCells = 1000000;

/// How an import ended. On failure, detail says why for the window ("C38: エラー値 #N/A": the cell's
/// address, never the automation interface's names) and reason says the same in English (UTF-8) for a
/// console ("C38: error value #N/A"); the view has shown its own messages.
struct ImportResult {
    bool ok = false;
    std::u16string detail;
    std::string reason;
};

/// Reads the selection of the active worksheet of the spreadsheet that attach finds into table and view,
/// then computes the drawing sizes. Reports success and failure through the view; never throws.
ImportResult ImportSelection(const XlAttach& attach, ImportView& view, CellTable& table, const ImportScales& scales,
                             char16_t decimalSeparator);

/// The overall size "全体: W=%.3f x H=%.3f" (first row's drawW, first column's drawH); empty for no table.
std::u16string ShowWHSizeText(const CellTable& table, char16_t decimalSeparator);

} // namespace gridvane
