// Bytes of a sheet part -> a workbook around it -> import of a selection, and of a cell outside it.
// The sheet part is cut into pieces by a scanner of ours before each piece is parsed, so it gets inputs of
// its own here: the workbook target's mutations seldom get through the zip container to the XML.
#include <unistd.h>

#include <zip.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>

#include "base/Error.h"
#include "excel/ExcelImport.h"
#include "xlsx/XlsxApplication.h"
#include "xlsx/XlsxSheet.h"

namespace {

constexpr const char* kRels =
    "<Relationships xmlns=\"http://schemas.openxmlformats.org/package/2006/relationships\"><Relationship Id=\"r1\" "
    "Type=\"http://schemas.openxmlformats.org/officeDocument/2006/relationships/officeDocument\" Target=\"xl/workbook.xml\"/>"
    "</Relationships>";
constexpr const char* kWorkbook =
    "<workbook xmlns:r=\"http://schemas.openxmlformats.org/officeDocument/2006/relationships\"><sheets><sheet name=\"S\" "
    "sheetId=\"1\" r:id=\"s1\"/></sheets></workbook>";
constexpr const char* kWorkbookRels =
    "<Relationships xmlns=\"http://schemas.openxmlformats.org/package/2006/relationships\"><Relationship Id=\"s1\" "
    "Type=\"http://schemas.openxmlformats.org/officeDocument/2006/relationships/worksheet\" Target=\"worksheets/sheet1.xml\"/>"
    "</Relationships>";

bool Add(zip_t* z, const char* name, const void* data, std::size_t size)
{
    zip_source_t* source = zip_source_buffer(z, data, size, 0);
    if (!source) return false;
    const zip_int64_t index = zip_file_add(z, name, source, ZIP_FL_OVERWRITE);
    if (index < 0) {
        zip_source_free(source);
        return false;
    }
    zip_set_file_compression(z, static_cast<zip_uint64_t>(index), ZIP_CM_STORE, 0);
    return true;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    static const std::filesystem::path path =
        std::filesystem::temp_directory_path() / ("gridvane-fuzz-sheet-" + std::to_string(getpid()) + ".xlsx");
    int error = 0;
    zip_t* z = zip_open(path.c_str(), ZIP_CREATE | ZIP_TRUNCATE, &error);
    if (!z) return 0;
    const std::string_view rels = kRels, book = kWorkbook, bookRels = kWorkbookRels;
    const bool added = Add(z, "_rels/.rels", rels.data(), rels.size()) && Add(z, "xl/workbook.xml", book.data(), book.size()) &&
                       Add(z, "xl/_rels/workbook.xml.rels", bookRels.data(), bookRels.size()) &&
                       Add(z, "xl/worksheets/sheet1.xml", data, size);
    if (!added || zip_close(z) != 0) {
        zip_discard(z);
        return 0;
    }
    // The rows read straight from their markup and through the XML events alone: the same table, or the
    // same failure.
    const auto import = [](bool walked, gridvane::CellTable& table, gridvane::HeadlessImportView& view) {
        gridvane::xlsx::SetSheetRowsWalked(walked);
        const auto result = gridvane::ImportSelection(
            [] { return gridvane::OpenWorkbookAsApplication(path, gridvane::WorkbookChoice{std::nullopt, u"A1:C4"}); }, view,
            table, gridvane::ImportScales{}, u'.');
        gridvane::xlsx::SetSheetRowsWalked(true);
        return result;
    };
    gridvane::CellTable walkedTable, toldTable;
    gridvane::HeadlessImportView walkedView, toldView;
    const auto walked = import(true, walkedTable, walkedView);
    const auto told = import(false, toldTable, toldView);
    if (walked.ok != told.ok || walked.reason != told.reason || walkedTable.CellGrid != toldTable.CellGrid ||
        walkedView.texts != toldView.texts) {
        std::fprintf(stderr, "walked: %s\ntold: %s\n", walked.reason.c_str(), told.reason.c_str());
        std::abort();
    }
    try {
        auto app = gridvane::OpenWorkbookAsApplication(path, gridvane::WorkbookChoice{std::nullopt, u"A1:B2"});
        (void)app->ActiveSheet()->Range(u"E9")->Text();
    } catch (const gridvane::Error&) {
    }
    return 0;
}
