// The workbook file answers ranges as the running spreadsheet does, from the parsed sheet: checked by its
// answers over ranges, and by importing workbooks written by an independent writer through the range
// reads and through the cell-by-cell reference, which must give the same table file or the same failure.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>

#include "base/Utf.h"
#include "excel/ExcelImport.h"
#include "tests/support/PerCellImport.h"
#include "tests/support/TestFolder.h"
#include "xlsx/XlsxApplication.h"
#include "xlsx/XlsxSheet.h"

namespace gridvane {
namespace {

namespace fs = std::filesystem;

void Shell(const std::string& command)
{
    if (std::system(command.c_str()) != 0) throw std::runtime_error("failed: " + command);
}

// One workbook written by openpyxl from body, Python that fills `ws`.
fs::path Written(const std::string& name, const std::string& body)
{
    const fs::path out = TestFolder("xlsx-ranges") / (name + ".xlsx");
    const fs::path script = TestFolder("xlsx-ranges") / (name + ".py");
    std::ofstream(script) << "import openpyxl\n"
                             "from openpyxl.styles import Alignment, Border, Side, Font\n"
                             "wb = openpyxl.Workbook()\nws = wb.active\n"
                          << body << "\nwb.save(r'''" << out.string() << "''')\n";
    Shell(std::string(GRIDVANE_PYTHON) + " " + script.string());
    return out;
}

// How the cells are read: the import's own way (the sheet answering its cells), the workbook's range
// answers, or the per-cell reference, which also reads the sheet's rows through the XML events alone.
enum class Route { Import, Ranges, PerCell };

ImportOutcome Through(const fs::path& book, Route route, const WorkbookChoice& choice = {})
{
    struct RowsThroughEvents {
        explicit RowsThroughEvents(bool on) : on_(on) { xlsx::SetSheetRowsWalked(!on); }
        ~RowsThroughEvents() { xlsx::SetSheetRowsWalked(true); }
        bool on_;
    } rows(route == Route::PerCell);
    const XlAttach attach = [&] { return OpenWorkbookAsApplication(book, choice); };
    return OutcomeOf([&](ImportView& view, CellTable& table) {
        switch (route) {
        case Route::Import: return ImportSelection(attach, view, table, ImportScales{}, u'.');
        case Route::Ranges: return ImportSelectionWith(attach, view, table, ImportScales{}, u'.', &MakeRangeReader);
        case Route::PerCell: break;
        }
        return ImportSelectionPerCell(attach, view, table, ImportScales{}, u'.');
    });
}

void ExpectSameThroughBoth(const fs::path& book, const WorkbookChoice& choice = {})
{
    const ImportOutcome cells = Through(book, Route::PerCell, choice);
    const ImportOutcome import = Through(book, Route::Import, choice), ranges = Through(book, Route::Ranges, choice);
    EXPECT_EQ(import, cells) << book.filename() << ": " << Difference(import, cells);
    EXPECT_EQ(ranges, cells) << book.filename() << ": " << Difference(ranges, cells);
}

TEST(XlsxRangeReads, RangesAnswerTheValueTheirCellsShareOrNull)
{
    const fs::path book = Written("answers", R"PY(
thin = Side(style='thin'); double = Side(style='double')
for r in range(1, 4):
    for c in range(1, 4):
        cell = ws.cell(row=r, column=c, value=r * 10 + c)
        cell.border = Border(top=thin, bottom=thin, left=thin, right=thin)
ws['B2'].border = Border(top=thin, bottom=thin, left=double, right=thin)
ws['C3'].alignment = Alignment(horizontal='center')
ws['A1'].font = Font(size=16)
ws['C1'].number_format = '@'
ws.column_dimensions['C'].width = 20
ws.merge_cells('A3:B3')
)PY");
    auto app = OpenWorkbookAsApplication(book);
    auto sheet = app->ActiveSheet();
    auto all = sheet->Range(u"A1:C3");
    EXPECT_EQ(all->Address(), u"$A$1:$C$3");
    EXPECT_EQ(all->ColumnWidth().kind, XlValue::Kind::Null);
    EXPECT_EQ(sheet->Range(u"A1:B3")->ColumnWidth().kind, XlValue::Kind::Number);
    EXPECT_EQ(all->HorizontalAlignment().kind, XlValue::Kind::Null);
    EXPECT_EQ(all->Rows(1)->HorizontalAlignment().number, kXlHAlignGeneral);
    EXPECT_EQ(all->FontSize().kind, XlValue::Kind::Null);
    EXPECT_EQ(all->Rows(2)->FontSize().number, 11);
    EXPECT_EQ(all->NumberFormat().kind, XlValue::Kind::Null);
    EXPECT_EQ(all->Columns(1)->NumberFormat().text, u"General");
    EXPECT_EQ(all->Cells(1, 3)->NumberFormat().text, u"@");
    EXPECT_EQ(all->MergeCells().kind, XlValue::Kind::Null);
    EXPECT_EQ(all->Rows(3)->Columns(1)->Address(), u"$A$3");
    EXPECT_TRUE(sheet->Range(u"A3:B3")->MergeCells().boolean);
    EXPECT_FALSE(all->Rows(1)->MergeCells().boolean);
    // Borders: the outline's edges, the lines inside (B2's double left edge mixes the vertical ones,
    // not the horizontal ones), the diagonals of every cell.
    EXPECT_EQ(all->BorderLineStyle(kXlEdgeTop).number, kXlContinuous);
    EXPECT_EQ(all->BorderLineStyle(kXlInsideHorizontal).number, kXlContinuous);
    EXPECT_EQ(all->BorderLineStyle(kXlInsideVertical).kind, XlValue::Kind::Null);
    EXPECT_EQ(all->Rows(1)->BorderLineStyle(kXlInsideVertical).number, kXlContinuous);
    EXPECT_EQ(all->BorderLineStyle(kXlDiagonalDown).number, kXlLineStyleNone);
    const XlValueArray values = all->Value2Array();
    ASSERT_EQ(values.rows, 3);
    ASSERT_EQ(values.cols, 3);
    EXPECT_EQ(values.At(1, 2).number, 23);
    EXPECT_EQ(all->Left().number, 0);
    EXPECT_EQ(all->Columns(3)->Left().number, all->Cells(1, 3)->Left().number);
    EXPECT_FALSE(app->DisplayFormulas().boolean);
}

// Selections that cut merged areas (from above, from the left, past the last row), rows with and without
// merged cells, font sizes and formats of their own, an error value: the sheet's own cell answers give what
// each cell's range gives.
TEST(XlsxRangeReads, SelectionsCuttingMergedAreasGiveTheTableOfTheCellByCellReading)
{
    const fs::path book = Written("cut-merges", R"PY(
thin = Side(style='thin'); dashed = Side(style='dashed')
for r in range(1, 13):
    ws.row_dimensions[r].height = 12 + r
    for c in range(1, 8):
        cell = ws.cell(row=r, column=c, value=(r * 7 + c) / 4 if c % 2 else 't%d' % r)
        cell.border = Border(top=thin if r % 3 else dashed, left=thin if c % 2 else None, diagonal=thin, diagonalUp=(r == c))
        if c == 3: cell.number_format = '0.0;[Red]-0.0;"zero";"<"@">"'
ws.column_dimensions['B'].width = 3.5
ws.column_dimensions['E'].width = 17.25
for area in ('A1:B3', 'C2:E2', 'D4:F9', 'B10:B12', 'F11:G12'):
    ws.merge_cells(area)
ws['G5'] = '#N/A'
ws['G6'].font = Font(size=13)
ws['G7'].alignment = Alignment(horizontal='right')
)PY");
    for (const char16_t* range : {u"A1:G12", u"B2:G11", u"E5:G12", u"D6:E9", u"A3:C3", u"G6:G6", u"F6:G9"})
        ExpectSameThroughBoth(book, WorkbookChoice{std::nullopt, std::u16string(range)});
    const ImportOutcome failed = Through(book, Route::Import, WorkbookChoice{std::nullopt, u"G4:G6"});
    EXPECT_FALSE(failed.ok);
    EXPECT_EQ(failed.detail, u"G5: エラー値 #N/A");
}

// A selection of several areas is refused as the running spreadsheet's is.
TEST(XlsxRangeReads, ASavedSelectionOfSeveralAreasIsRefused)
{
    const fs::path book = Written("areas", "ws['A1'] = 1\nws.sheet_view.selection[0].sqref = 'A1:B2 D4:E5 G7'\n");
    EXPECT_EQ(OpenWorkbookAsApplication(book)->Selection()->Address(), u"$A$1:$B$2,D4:E5,G7");
    HeadlessImportView view;
    CellTable table;
    const ImportResult result = ImportSelection([&] { return OpenWorkbookAsApplication(book); }, view, table,
                                                ImportScales{}, u'.');
    EXPECT_FALSE(result.ok);
    EXPECT_EQ(result.detail, kExcelSeveralAreas);
}

// Random tables (tests/xlsx/make-random-workbooks.py), the workbooks of the other tests and the sample:
// the same table file or failure through the import, the range answers and the per-cell reference.
TEST(XlsxRangeReads, EveryWorkbookGivesTheTableOfTheCellByCellReading)
{
    const fs::path dir = TestFolder("xlsx-ranges") / "random";
    fs::create_directories(dir);
    Shell(std::string(GRIDVANE_PYTHON) + " " GRIDVANE_SOURCE_DIR "/tests/xlsx/make-random-workbooks.py 1 120 " + dir.string());
    Shell(std::string(GRIDVANE_PYTHON) + " " GRIDVANE_SOURCE_DIR "/tests/calc/make-calc-workbooks.py " + dir.string());
    for (const char* sheet : {"selection", "form"}) {
        Shell(std::string(GRIDVANE_PYTHON) + " " GRIDVANE_SOURCE_DIR "/tests/windows/standin/write-workbook.py " GRIDVANE_SOURCE_DIR
            "/tests/windows/standin/" + sheet + ".sheet " + (dir / (std::string("standin-") + sheet + ".xlsx")).string());
    }
    fs::copy_file(GRIDVANE_SOURCE_DIR "/samples/parts-list.xlsx", dir / "parts-list.xlsx", fs::copy_options::overwrite_existing);
    int books = 0, failed = 0;
    for (const auto& entry : fs::directory_iterator(dir)) {
        if (entry.path().extension() != ".xlsx") continue;
        ++books;
        failed += !Through(entry.path(), Route::PerCell).ok;
        ExpectSameThroughBoth(entry.path());
    }
    EXPECT_GE(books, 120 + 5);
    EXPECT_GT(failed, 5); // error values and fonts that cannot be read were met
}

} // namespace
} // namespace gridvane
