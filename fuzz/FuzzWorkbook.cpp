// Bytes of a workbook file -> import through the stand-in -> drawing.
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>

#include "base/Error.h"
#include "excel/ExcelImport.h"
#include "excel/xlsx/XlsxWorkbook.h"
#include "layout/TableLayout.h"

namespace {

struct NullView : gridvane::ImportView {
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
        texts.assign(static_cast<std::size_t>(cols) * rows, {});
    }
    void SetCurrentCell(std::int32_t, std::int32_t) override {}
    void SetColumnWidth(std::int32_t, int) override {}
    void SetRowHeight(std::int32_t, int) override {}
    void SetCellText(std::int32_t c, std::int32_t r, std::u16string_view t) override
    {
        if (c >= 1 && r >= 1 && c <= cols && r <= rows) texts[static_cast<std::size_t>(r - 1) * cols + c - 1] = t;
    }
    void SetLabel4(std::u16string_view) override {}
    void SetProgressMax(int) override {}
    void SetProgress(int) override {}
    void StepProgress() override {}
    void ProcessEvents() override {}
    void ShowMessage(std::u16string_view) override {}
};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    static const std::filesystem::path path =
        std::filesystem::temp_directory_path() / ("gridvane-fuzz-" + std::to_string(getpid()) + ".xlsx");
    {
        std::ofstream out(path, std::ios::binary | std::ios::trunc);
        out.write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
    }
    gridvane::CellTable table;
    NullView view;
    const auto result = gridvane::ImportSelection([] { return gridvane::OpenWorkbookAsApplication(path); }, view, table,
                                                  gridvane::ImportScales{}, u'.');
    if (result.ok) {
        try {
            (void)gridvane::LayoutTable(table, view.texts, gridvane::LayoutOptions{});
        } catch (const gridvane::Error&) {
        }
    }
    return 0;
}
