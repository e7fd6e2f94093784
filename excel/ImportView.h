#pragma once
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "base/HugePages.h"

namespace gridvane {

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
    // The whole selection has been read into the table, before the message that says so: the view shows
    // the new table (its current cell) now, not after the message has been closed.
    virtual void SelectionRead() {}
    // Asked once per row, after the window messages have run: true ends the import at once as cancelled
    // (ImportResult::cancelled), without the failure message.
    virtual bool StopRequested() { return false; }
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
        ResizeFresh(texts, static_cast<std::size_t>(cols) * static_cast<std::size_t>(rows));
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

} // namespace gridvane
