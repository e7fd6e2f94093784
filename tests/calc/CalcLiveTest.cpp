// The import from a real LibreOffice Calc, started headless by the test: the live table against the
// workbook-file table of the same workbook, field by field, and the failures a user can meet.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <iostream>
#include <filesystem>
#include <map>
#include <set>
#include <string>
#include <thread>

#include "base/Utf.h"
#include "calc/CalcApplication.h"
#include "calc/CalcDocumentDriver.h"
#include "excel/ExcelImport.h"
#include "xlsx/XlsxApplication.h"
#include "model/CellAddress.h"
#include "tests/support/CalcOffice.h"
#include "tests/support/PerCellImport.h"

namespace gridvane {
namespace {

namespace fs = std::filesystem;
using testing::CalcOffice;

// The view of an import that keeps its messages.
class RecordingView : public HeadlessImportView {
public:
    std::vector<std::u16string> messages;
    void ShowMessage(std::u16string_view text) override { messages.emplace_back(text); }
};

struct Imported {
    ImportResult result;
    CellTable table;
    RecordingView view;
};

Imported ImportWith(const XlAttach& attach)
{
    Imported out;
    out.result = ImportSelection(attach, out.view, out.table, ImportScales{}, u'.');
    return out;
}

class CalcLiveTest : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        dir_ = fs::temp_directory_path() / ("gridvane-calc-" + std::to_string(getpid()));
        fs::create_directories(dir_);
        const std::string cmd = std::string(GRIDVANE_PYTHON) + " " + GRIDVANE_SOURCE_DIR "/tests/calc/make-calc-workbooks.py " + dir_.string();
        ASSERT_EQ(std::system(cmd.c_str()), 0);
        office_ = new CalcOffice(dir_, "live");
    }
    static void TearDownTestSuite()
    {
        delete office_;
        office_ = nullptr;
        std::error_code ec;
        fs::remove_all(dir_, ec);
    }
    void TearDown() override
    {
        if (!office_) return;
        if (HasFailure()) std::cerr << "The office's output:\n" << office_->Log() << "\n";
        office_->Driver().CloseAll();
    }

    // The import on a connection of its own, as in the program: the driver's, held in this process
    // meanwhile, would carry the office's objects, and the import's end closes its bridge under them.
    static Imported ImportLive()
    {
        office_->Disconnect();
        return ImportWith([] { return AttachRunningCalc(office_->Options()); });
    }
    static Imported ImportFile(const fs::path& book, const std::u16string& range)
    {
        WorkbookChoice choice;
        choice.range = range;
        return ImportWith([&] { return OpenWorkbookAsApplication(book, choice); });
    }
    // Opens book in the office, selects range there and imports it both ways.
    static std::pair<Imported, Imported> Both(const std::string& book, const std::u16string& range)
    {
        office_->Driver().Open(dir_ / book);
        office_->Driver().Select(range);
        office_->Disconnect();
        return {ImportLive(), ImportFile(dir_ / book, range)};
    }

    static fs::path dir_;
    static CalcOffice* office_;
};
fs::path CalcLiveTest::dir_;
CalcOffice* CalcLiveTest::office_ = nullptr;


// Every field in which the two tables differ, as "C3 str: file "x" / calc "y"".
std::set<std::string> Differences(const Imported& file, const Imported& live)
{
    std::set<std::string> out;
    const CellTable& a = file.table;
    const CellTable& b = live.table;
    if (a.GridColCount != b.GridColCount || a.GridRowCount != b.GridRowCount) {
        out.insert("size");
        return out;
    }
    for (std::int32_t r = 0; r < a.GridRowCount; ++r) {
        for (std::int32_t c = 0; c < a.GridColCount; ++c) {
            const std::size_t i = static_cast<std::size_t>(r) * a.GridColCount + c;
            const TXlsxCellAttr& x = a.CellGrid[i];
            const TXlsxCellAttr& y = b.CellGrid[i];
            const std::string at = ToUtf8(CellName(c + 1, r + 1)) + " ";
            auto field = [&](const char* name, auto p, auto q) {
                if (p != q) out.insert(at + name + ": file " + std::to_string(p) + " / calc " + std::to_string(q));
            };
            field("rowH", x.rowH, y.rowH);
            field("colW", x.colW, y.colW);
            field("txtSize", x.txtSize, y.txtSize);
            field("txtAlign", x.txtAlign, y.txtAlign);
            field("lineBits", x.lineBits, y.lineBits);
            field("cellMerge", x.cellMerge, y.cellMerge);
            field("mergerowYscount", x.mergerowYscount, y.mergerowYscount);
            field("mergecolXscount", x.mergecolXscount, y.mergecolXscount);
            field("mergeLeft", x.mergeLeft, y.mergeLeft);
            field("mergeTop", x.mergeTop, y.mergeTop);
            if (x.str != y.str) out.insert(at + "str: file \"" + ToUtf8(x.str) + "\" / calc \"" + ToUtf8(y.str) + "\"");
            if (file.view.texts[i] != live.view.texts[i]) out.insert(at + "grid text");
        }
    }
    return out;
}

// Merges of three shapes, the border kinds and diagonals, alignments, font sizes, formatted numbers and
// dates, a Boolean, a number stored as text, Japanese and multi-line texts: every field as the file gives
// it, but for the cases where Calc shows a text otherwise, each named here.
TEST_F(CalcLiveTest, FormImportsAsTheWorkbookFileDoes)
{
    const auto [live, file] = Both("calc-form.xlsx", u"A1:H9");
    ASSERT_TRUE(file.result.ok) << file.result.reason;
    ASSERT_TRUE(live.result.ok) << live.result.reason;
    const std::set<std::string> named = {
        // General format, a number that needs an exponent: the spreadsheet's General fits the column
        // (11 characters), Calc writes every significant digit and a three-digit exponent.
        "B8 str: file \"1.23457E+16\" / calc \"1.23456789012346E+016\"",
        "B8 grid text",
        // General format, a long fraction: the spreadsheet rounds to the column's width, Calc does not.
        "C8 str: file \"3.141592654\" / calc \"3.14159265358979\"",
        "C8 grid text",
        // A formula written without its result (openpyxl writes none): the file holds no value, Calc
        // calculates it.
        "D8 str: file \"\" / calc \"108\"",
        "D8 grid text",
        "D8 txtAlign: file 0 / calc 3",
    };
    EXPECT_EQ(Differences(file, live), named);
    // The texts Calc and the file agree on, checked outright: a date format, a multi-line cell, Japanese.
    const CellTable& t = live.table;
    EXPECT_EQ(t.CellGrid[4 * 8 + 0].str, u"2023/02/11");
    EXPECT_EQ(t.CellGrid[4 * 8 + 1].str, u"2023年2月11日");
    EXPECT_EQ(t.CellGrid[2 * 8 + 5].str, u"二行の\n備考です");
    EXPECT_EQ(t.CellGrid[2 * 8 + 2].str, u"35.50");
}

// Where the value and the number format are known from range reads, the text of a number is written by
// the document's formatter: it must be the text the cell shows (read from the cell in a fresh session).
// The two sessions follow each other, as the program's do: two connections held at once in one process
// share the office's objects, and one's end closes them under the other.
TEST_F(CalcLiveTest, NumbersFormattedAsTheirCellsShowThem)
{
    office_->Driver().Open(dir_ / "calc-form.xlsx");
    office_->Driver().Select(u"A1:H9");
    office_->Disconnect();
    std::map<std::pair<std::int32_t, std::int32_t>, std::u16string> shown;
    int numbers = 0;
    long bulkCalls = 0;
    {
        auto bulk = AttachRunningCalc(office_->Options());
        auto selection = bulk->Selection();
        const XlValueArray values = selection->Value2Array();
        for (std::int32_t r = 1; r <= 9; ++r) {
            for (std::int32_t c = 1; c <= 8; ++c) {
                auto cell = selection->Cells(r, c);
                cell->NumberFormat();
                const XlValue::Kind kind = values.At(r - 1, c - 1).kind;
                numbers += kind == XlValue::Kind::Number || kind == XlValue::Kind::Boolean;
                shown[{r, c}] = cell->Text();
            }
        }
        bulkCalls = CalcCallCount(*bulk);
    }
    auto fresh = AttachRunningCalc(office_->Options());
    auto cells = fresh->Selection();
    for (const auto& [at, text] : shown) {
        EXPECT_EQ(text, cells->Cells(at.first, at.second)->Text()) << ToUtf8(CellName(at.second, at.first));
    }
    EXPECT_GE(numbers, 15); // integers, decimals, percent, dates, a Boolean, exponents
    EXPECT_LT(bulkCalls, CalcCallCount(*fresh) + 200);
}

// The range reads of the running Calc give the table of the cell-by-cell reading of the same selection
// (each in a document opened afresh: a second session in the same document measures columns otherwise,
// which is the Calc backend's to mend).
TEST_F(CalcLiveTest, RangeReadsGiveTheTableOfTheCellByCellReading)
{
    const XlAttach attach = [] { return AttachRunningCalc(office_->Options()); };
    const auto fresh = [] {
        office_->Driver().CloseAll();
        office_->Driver().Open(dir_ / "calc-form.xlsx");
        office_->Driver().Select(u"A1:H9");
        office_->Disconnect();
    };
    fresh();
    const ImportOutcome ranges = OutcomeOf([&](ImportView& view, CellTable& table) {
        return ImportSelection(attach, view, table, ImportScales{}, u'.');
    });
    fresh();
    const ImportOutcome cells = OutcomeOf([&](ImportView& view, CellTable& table) {
        return ImportSelectionPerCell(attach, view, table, ImportScales{}, u'.');
    });
    EXPECT_TRUE(ranges.ok) << ToUtf8(ranges.detail);
    EXPECT_EQ(ranges, cells) << Difference(ranges, cells);
}

// The benchmark's sheet: texts and numbers, every cell bordered, a merged area in every tenth row.
TEST_F(CalcLiveTest, BorderedGridImportsAsTheWorkbookFileDoes)
{
    const auto [live, file] = Both("calc-grid-100x20.xlsx", u"A1:T100");
    ASSERT_TRUE(file.result.ok) << file.result.reason;
    ASSERT_TRUE(live.result.ok) << live.result.reason;
    EXPECT_EQ(Differences(file, live), std::set<std::string>{});
    EXPECT_TRUE(live.table.CellGrid[9 * 20 + 2].cellMerge);
    EXPECT_EQ(live.table.CellGrid[9 * 20 + 1].mergecolXscount, 3);
}

// An error value stops both imports at its cell, with the same words.
TEST_F(CalcLiveTest, ErrorValueFailsAtItsCell)
{
    const auto [live, file] = Both("calc-error.xlsx", u"A1:B2");
    EXPECT_FALSE(file.result.ok);
    EXPECT_FALSE(live.result.ok);
    EXPECT_EQ(live.result.detail, u"B2: エラー値 #DIV/0!");
    EXPECT_EQ(live.result.detail, file.result.detail);
}

// Several areas are refused with their own message; the previous table stays.
TEST_F(CalcLiveTest, SeveralAreasAreRefused)
{
    office_->Driver().Open(dir_ / "calc-form.xlsx");
    office_->Driver().Select(u"A1:B2,D4:E5");
    office_->Disconnect();
    Imported live;
    live.table.GridColCount = live.table.GridRowCount = 1;
    live.table.CellGrid.resize(1);
    live.table.CellGrid[0].str = u"前の表";
    live.result = ImportSelection([] { return AttachRunningCalc(office_->Options()); }, live.view, live.table,
                                  ImportScales{}, u'.');
    EXPECT_FALSE(live.result.ok);
    EXPECT_EQ(live.view.messages, (std::vector<std::u16string>{std::u16string(kExcelSeveralAreas), u"取得に失敗しました."}));
    ASSERT_EQ(live.table.CellGrid.size(), 1u);
    EXPECT_EQ(live.table.CellGrid[0].str, u"前の表");
}

// A document in front that is not a spreadsheet, or none at all: the message says so.
TEST_F(CalcLiveTest, NoSpreadsheetInFront)
{
    const std::vector<std::u16string> expected{std::u16string(kCalcNotSpreadsheet), u"取得に失敗しました."};
    EXPECT_EQ(ImportLive().view.messages, expected); // no document open
    office_->Driver().OpenChartDocument();
    office_->Disconnect();
    EXPECT_EQ(ImportLive().view.messages, expected);
}

// No office of that profile runs: the attach says so at once and starts nothing.
TEST_F(CalcLiveTest, NothingRunningStartsNothing)
{
    CalcAttachOptions options;
    const fs::path profile = dir_ / "profile-nobody";
    options.userInstallation = "file://" + profile.string();
    options.pipeName = "gridvane_test_nobody_" + std::to_string(getpid());
    const auto start = std::chrono::steady_clock::now();
    const Imported live = ImportWith([&] { return AttachRunningCalc(options); });
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(2));
    EXPECT_FALSE(live.result.ok);
    EXPECT_EQ(live.view.messages, (std::vector<std::u16string>{std::u16string(kCalcNotRunning), u"取得に失敗しました."}));
    std::this_thread::sleep_for(std::chrono::milliseconds(500));
    EXPECT_TRUE(testing::OfficeProcessesWith(profile.string()).empty());
    EXPECT_FALSE(fs::exists(profile));
    // This user's own profile is found as the office finds it, whether or not an office of it runs.
    EXPECT_NO_THROW(CalcRunning());
}

} // namespace
} // namespace gridvane
