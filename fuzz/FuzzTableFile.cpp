// Bytes of a table file -> parse -> sizes -> drawing.
#include <cstdint>
#include <string_view>

#include "base/Error.h"
#include "layout/TableLayout.h"
#include "model/TableFile.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    try {
        auto contents = gridvane::ParseTableFile(std::string_view(reinterpret_cast<const char*>(data), size), "fuzz");
        gridvane::CalcDrawSize(contents.table, 3, 0.43, 0.27);
        gridvane::SumMergeDrawSize(contents.table);
        if (contents.table.CellGrid.size() <= 20000) (void)gridvane::LayoutTable(contents.table, contents.texts, {});
    } catch (const gridvane::Error&) {
    }
    return 0;
}
