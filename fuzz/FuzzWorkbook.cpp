// Bytes of a workbook file -> import through the stand-in -> drawing.
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>

#include "base/Error.h"
#include "excel/ExcelImport.h"
#include "xlsx/XlsxApplication.h"
#include "layout/TableLayout.h"

namespace {


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
    gridvane::HeadlessImportView view;
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
