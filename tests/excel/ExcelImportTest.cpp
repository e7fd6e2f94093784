#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <map>
#include <optional>
#include <set>

#include "base/Error.h"
#include "base/Utf.h"
#include "excel/ExcelImport.h"
#include "settings/SizeSummary.h"
#include "tests/support/FakeSpreadsheet.h"

namespace gridvane {
namespace {

// Records what the window would show.
struct RecordingView : ImportView {
    std::vector<std::u16string> messages;
    std::vector<std::u16string> label4History;
    std::u16string caption = u"Gridvane 2023.02.11", edit2, edit3, label4;
    bool button3 = true, button4 = true;
    bool redraw = true;
    int redrawOffCount = 0;
    int columns = 5, rows = 5, fixedWidth = 0;
    std::map<std::pair<int, int>, std::u16string> texts;
    std::map<int, int> columnWidths, rowHeights;
    int progressMax = 0, progress = 0, events = 0;
    std::pair<int, int> current{0, 0};

    void SetButton3Enabled(bool on) override { button3 = on; }
    void SetButton4Enabled(bool on) override { button4 = on; }
    void SetCaption(std::u16string_view t) override { caption = t; }
    void SetEdit2(std::u16string_view t) override { edit2 = t; }
    void SetEdit3(std::u16string_view t) override { edit3 = t; }
    void SetGridRedraw(bool on) override
    {
        redraw = on;
        if (!on) ++redrawOffCount;
    }
    void SetFixedColumnWidth(int px) override { fixedWidth = px; }
    void SetGridSize(std::int32_t c, std::int32_t r) override { columns = c, rows = r; }
    void SetCurrentCell(std::int32_t c, std::int32_t r) override { current = {c, r}; }
    void SetColumnWidth(std::int32_t c, int px) override { columnWidths[c] = px; }
    void SetRowHeight(std::int32_t r, int px) override { rowHeights[r] = px; }
    void SetCellText(std::int32_t c, std::int32_t r, std::u16string_view t) override { texts[{c, r}] = t; }
    void SetLabel4(std::u16string_view t) override
    {
        label4 = t;
        label4History.emplace_back(t);
    }
    void SetProgressMax(int m) override { progressMax = m; }
    void SetProgress(int p) override { progress = p; }
    void StepProgress() override { ++progress; }
    void ProcessEvents() override { ++events; }
    void ShowMessage(std::u16string_view t) override { messages.emplace_back(t); }
    int stopAtEvent = 0; // StopRequested answers true from this turn of the messages on; 0: never
    bool StopRequested() override { return stopAtEvent > 0 && events >= stopAtEvent; }
};

XlAttach AttachTo(FakeBook& book)
{
    return [&book] { return std::make_unique<FakeApp>(book); };
}

ImportResult Import(FakeBook& book, RecordingView& view, CellTable& table)
{
    return ImportSelection(AttachTo(book), view, table, ImportScales{}, u'.');
}

CellTable PreviousTable()
{
    CellTable t;
    t.CellGrid.resize(4);
    t.GridColCount = 2;
    t.GridRowCount = 2;
    for (auto& c : t.CellGrid) c.str = u"old", c.colW = 7;
    return t;
}

TEST(ExcelImport, SelectionB1P97FillsAddressesHeadersProgressAndTable)
{
    FakeBook book;
    book.r1 = 1, book.c1 = 2, book.rows = 97, book.cols = 15;
    book.cells[{1, 2}].text = u"見出し";
    book.cells[{1, 2}].value2 = XlValue::Of(std::u16string(u"見出し"));
    for (int r = 1; r <= 97; ++r) book.cells[{r, 2}].columnWidth = 10.71; // rounds to 11
    for (int c = 2; c <= 16; ++c) book.cells[{5, c}].rowHeight = 20.5;     // rounds to 20 (half to even)
    RecordingView view;
    CellTable table;
    const ImportResult result = Import(book, view, table);
    ASSERT_TRUE(result.ok) << ToUtf8(result.detail);

    EXPECT_EQ(view.caption, u"Book1.xlsx [Sheet1]");
    EXPECT_EQ(view.edit2, u"B1");
    EXPECT_EQ(view.edit3, u"P97");
    EXPECT_EQ(view.columns, 16);
    EXPECT_EQ(view.rows, 98);
    EXPECT_EQ(view.fixedWidth, 70);
    EXPECT_EQ(view.texts[std::make_pair(1, 0)], u"B");
    EXPECT_EQ(view.texts[std::make_pair(15, 0)], u"P");
    EXPECT_EQ(view.texts[std::make_pair(0, 1)], u"1");
    EXPECT_EQ(view.texts[std::make_pair(0, 97)], u"97");
    EXPECT_EQ(view.texts[std::make_pair(1, 1)], u"見出し");
    ASSERT_GE(view.label4History.size(), 98u);
    EXPECT_EQ(view.label4History.front(), u"1 / 97");
    EXPECT_EQ(view.label4History[96], u"97 / 97");
    EXPECT_EQ(view.label4.substr(0, 5), u"全体: W");
    EXPECT_EQ(view.events, 97);
    EXPECT_EQ(view.progressMax, 97);
    EXPECT_EQ(view.progress, 0);
    EXPECT_EQ(view.current, std::make_pair(1, 1));
    EXPECT_EQ(view.columnWidths[1], 220); // Trunc(11 * 20)
    EXPECT_EQ(view.columnWidths[2], 160); // 8.43 -> 8
    EXPECT_EQ(view.rowHeights[5], 60);    // 20 * 3
    EXPECT_EQ(view.messages, std::vector<std::u16string>{u" 取得しました."});
    EXPECT_TRUE(view.button3);
    EXPECT_TRUE(view.button4);
    EXPECT_TRUE(view.redraw);
    EXPECT_EQ(book.screenUpdating, (std::vector<bool>{false, true}));

    EXPECT_EQ(table.GridColCount, 15);
    EXPECT_EQ(table.GridRowCount, 97);
    ASSERT_EQ(table.CellGrid.size(), 97u * 15u);
    EXPECT_EQ(table.CellGrid[0].colW, 11);
    EXPECT_EQ(table.CellGrid[0].str, u"見出し");
    EXPECT_EQ(table.At(4, 0).rowH, 20);
    EXPECT_DOUBLE_EQ(table.CellGrid[0].drawW, 11 * 3.0); // CalcDrawSize ran
    // Asked as ranges: the columns (one width differs) and rows (one height differs), no cell alone.
    EXPECT_EQ(book.calls["Cells"], 0);
    EXPECT_EQ(book.rangeCalls, 0);
    EXPECT_LT(book.Calls(), 400);
}

TEST(ExcelImport, CellAttributes)
{
    struct Case {
        const char* name;
        FakeCell cell;
        std::uint8_t align, lineBits;
    };
    auto with = [](auto f) {
        FakeCell c;
        f(c);
        return c;
    };
    const Case cases[] = {
        {"number, general", with([](FakeCell& c) { c.value2 = XlValue::Of(12.5); }), 3, 0},
        {"negative number", with([](FakeCell& c) { c.value2 = XlValue::Of(-12.0); }), 3, 0},
        {"number as text", with([](FakeCell& c) { c.value2 = XlValue::Of(std::u16string(u"0123")); }), 3, 0},
        {"exponent form", with([](FakeCell& c) { c.value2 = XlValue::Of(1e15); }), 0, 0},
        {"tiny number", with([](FakeCell& c) { c.value2 = XlValue::Of(5e-5); }), 0, 0},
        {"Boolean", with([](FakeCell& c) { c.value2 = XlValue::OfBool(true); }), 0, 0},
        {"empty", FakeCell{}, 0, 0},
        {"explicit left", with([](FakeCell& c) { c.align = kXlHAlignLeft, c.value2 = XlValue::Of(1.0); }), 1, 0},
        {"explicit centre", with([](FakeCell& c) { c.align = kXlHAlignCenter; }), 2, 0},
        {"explicit right", with([](FakeCell& c) { c.align = kXlHAlignRight; }), 3, 0},
        {"other alignment", with([](FakeCell& c) { c.align = 7, c.value2 = XlValue::Of(2.0); }), 3, 0},
        {"all borders, any style",
         with([](FakeCell& c) { c.borders = {{8, 1}, {9, -4119}, {7, 4}, {10, -4115}, {5, 1}, {6, 1}}; }), 0, 63},
        {"top and right", with([](FakeCell& c) { c.borders = {{8, 1}, {10, 1}}; }), 0, 9},
        {"diagonal up only", with([](FakeCell& c) { c.borders = {{6, 1}}; }), 0, 32},
    };
    for (const Case& k : cases) {
        FakeBook book;
        book.cells[{1, 1}] = k.cell;
        RecordingView view;
        CellTable table;
        ASSERT_TRUE(Import(book, view, table).ok) << k.name;
        EXPECT_EQ(table.CellGrid[0].txtAlign, k.align) << k.name;
        EXPECT_EQ(table.CellGrid[0].lineBits, k.lineBits) << k.name;
    }
}

TEST(ExcelImport, MergedAreaAndRoundingModulo)
{
    FakeBook book;
    book.rows = 2, book.cols = 2;
    book.Merge(1, 1, 2, 2);
    for (int r = 1; r <= 2; ++r) {
        for (int c = 1; c <= 2; ++c) {
            FakeCell& cell = book.cells[{r, c}];
            cell.left = 65536.0 + 12.5, cell.top = 3.5; // 12 and 4 after rounding, modulo 65536
        }
    }
    book.cells[{1, 1}].text = u"a\nb";
    book.cells[{1, 1}].value2 = XlValue::Of(std::u16string(u"a\nb"));
    book.cells[{1, 1}].fontSize = XlValue::Of(10.5); // 10
    RecordingView view;
    CellTable table;
    ASSERT_TRUE(Import(book, view, table).ok);
    const TXlsxCellAttr& a = table.CellGrid[0];
    EXPECT_TRUE(a.cellMerge);
    EXPECT_EQ(a.mergerowYscount, 2);
    EXPECT_EQ(a.mergecolXscount, 2);
    EXPECT_EQ(a.mergeLeft, 12);
    EXPECT_EQ(a.mergeTop, 4);
    EXPECT_EQ(a.txtSize, 10);
    EXPECT_EQ(a.str, u"a\nb");
    EXPECT_FALSE(a.mark);
    EXPECT_TRUE(table.CellGrid[3].mark);
    EXPECT_EQ(view.texts[std::make_pair(1, 1)], u"a\nb");
}

TEST(ExcelImport, NotAttachableShowsTwoMessagesAndKeepsTable)
{
    RecordingView view;
    CellTable table = PreviousTable();
    const CellTable before = table;
    const XlAttach attach = []() -> std::unique_ptr<XlApplication> { throw Error("クラス名: Excel.Application は無効です."); };
    const ImportResult result = ImportSelection(attach, view, table, ImportScales{}, u'.');
    EXPECT_FALSE(result.ok);
    EXPECT_EQ(view.messages, (std::vector<std::u16string>{u"クラス名: Excel.Application は無効です.", u"取得に失敗しました."}));
    EXPECT_TRUE(view.button3);
    EXPECT_FALSE(view.button4);
    EXPECT_EQ(view.caption, u"Gridvane 2023.02.11");
    EXPECT_EQ(table.CellGrid, before.CellGrid);
}

TEST(ExcelImport, FailuresBeforeCellsKeepTableAndRestoreScreenUpdating)
{
    for (const char* op : {"ActiveSheet", "ActiveWorkbook", "Selection"}) {
        FakeBook book;
        book.failAt = {op};
        RecordingView view;
        CellTable table = PreviousTable();
        const CellTable before = table;
        EXPECT_FALSE(Import(book, view, table).ok) << op;
        EXPECT_EQ(view.messages, std::vector<std::u16string>{u"取得に失敗しました."}) << op;
        EXPECT_FALSE(view.button4) << op;
        EXPECT_TRUE(view.button3) << op;
        EXPECT_EQ(table.CellGrid, before.CellGrid) << op;
        EXPECT_EQ(book.screenUpdating, (std::vector<bool>{false, true})) << op;
        EXPECT_EQ(view.redrawOffCount, 0) << op;
    }
}

TEST(ExcelImport, ScreenUpdatingRefusedIsNotSwitchedBackOn)
{
    FakeBook book;
    book.failAt = {"ScreenUpdating"};
    RecordingView view;
    CellTable table;
    EXPECT_FALSE(Import(book, view, table).ok);
    EXPECT_EQ(book.screenUpdating, std::vector<bool>{false});
}

TEST(ExcelImport, FailureAtACellNamesItAndLeavesTheTableAsItWas)
{
    // The messages name the cell by its address and what could not be read, never the automation
    // interface's property; the reason says the same in English. Nothing of the new table is kept.
    struct Case {
        const char* name;
        std::function<void(FakeBook&)> arrange;
        const char16_t* detail;
        const char* reason;
    };
    const Case cases[] = {
        {"error value", [](FakeBook& b) { b.cells[{1, 3}].value2 = XlValue::ErrorValue(u"#DIV/0!"); },
         u"C1: エラー値 #DIV/0!", "C1: error value #DIV/0!"},
        {"mixed font sizes", [](FakeBook& b) { b.cells[{1, 3}].fontSize = XlValue::Null(); },
         u"C1: 文字ごとにフォントサイズが異なります", "C1: the characters have different font sizes"},
        {"cell refused", [](FakeBook& b) { b.failCell = std::make_pair(1, 3); },
         u"C1: セルを読み取れません: refused by the server", "C1: cannot read the cell: refused by the server"},
        {"width not a number", [](FakeBook& b) { b.cells[{1, 3}].columnWidth = std::nan(""); },
         u"C1: 列幅が範囲外です (NaN)", "C1: the column width is out of range (NaN)"},
        {"value refused", [](FakeBook& b) { b.cells[{1, 3}].value2Throws = "Value2: 値がエラー値です"; },
         u"C1: 値を読み取れません: 値がエラー値です", "C1: cannot read the value: 値がエラー値です"},
        {"font size a text", [](FakeBook& b) { b.cells[{1, 3}].fontSize = XlValue::Of(u"大"); },
         u"C1: フォントサイズが数値ではありません (\"大\")", "C1: the font size is not a number (\"大\")"},
        // Two failing cells: the first in reading order is named, whatever read found the other first.
        {"the first of two", [](FakeBook& b) {
             b.cells[{2, 1}].value2 = XlValue::ErrorValue(u"#N/A");
             b.cells[{1, 3}].fontSize = XlValue::Null();
         },
         u"C1: 文字ごとにフォントサイズが異なります", "C1: the characters have different font sizes"},
    };
    for (const Case& k : cases) {
        FakeBook book;
        book.rows = 3, book.cols = 3;
        for (int r = 1; r <= 3; ++r)
            for (int c = 1; c <= 3; ++c) book.cells[{r, c}].value2 = XlValue::Of(std::u16string(u"new")), book.cells[{r, c}].text = u"new";
        k.arrange(book);
        RecordingView view;
        CellTable table = PreviousTable(); // 2 x 2 cells reading "old"
        const CellTable before = table;
        const ImportResult result = Import(book, view, table);
        EXPECT_FALSE(result.ok) << k.name;
        EXPECT_FALSE(result.cancelled) << k.name;
        EXPECT_EQ(result.detail, k.detail) << k.name << ": " << ToUtf8(result.detail);
        EXPECT_EQ(result.reason, k.reason) << k.name;
        EXPECT_EQ(view.messages, std::vector<std::u16string>{u"取得に失敗しました."}) << k.name;
        EXPECT_FALSE(view.button4) << k.name;
        EXPECT_TRUE(view.redraw) << k.name;
        EXPECT_EQ(book.screenUpdating, (std::vector<bool>{false, true})) << k.name;
        EXPECT_EQ(table.CellGrid, before.CellGrid) << k.name;
        EXPECT_EQ(table.GridColCount, 2) << k.name;
        EXPECT_EQ(table.GridRowCount, 2) << k.name;
        EXPECT_EQ(view.label4, u"1 / 3") << k.name;
        // The view was shown the cells before the failing one.
        EXPECT_EQ(view.texts[std::make_pair(2, 1)], u"new") << k.name;
    }
}

TEST(ExcelImport, AStopAskedForAtARowEndsTheImportThereWithoutTheFailureMessage)
{
    FakeBook book;
    book.rows = 4, book.cols = 2;
    for (int r = 1; r <= 4; ++r) book.cells[{r, 1}].value2 = XlValue::Of(r * 1.0); // read alone: a number's text
    RecordingView view;
    view.stopAtEvent = 2; // at the second row's turn
    CellTable table = PreviousTable();
    const CellTable before = table;
    const ImportResult result = Import(book, view, table);
    EXPECT_FALSE(result.ok);
    EXPECT_TRUE(result.cancelled);
    EXPECT_TRUE(view.messages.empty());
    EXPECT_EQ(book.calls["Cells"], 1); // the first row's number, nothing after the stop
    EXPECT_EQ(view.label4, u"2 / 4");
    EXPECT_TRUE(view.button3);
    EXPECT_FALSE(view.button4);
    EXPECT_TRUE(view.redraw);
    EXPECT_EQ(book.screenUpdating, (std::vector<bool>{false, true}));
    EXPECT_EQ(table.CellGrid, before.CellGrid);
}

TEST(ExcelImport, ASelectionOfSeveralAreasIsRefusedBeforeAnythingIsRead)
{
    FakeBook book;
    book.rows = 2, book.cols = 2;
    book.moreAreas = u",$E$5:$F$6";
    RecordingView view;
    CellTable table = PreviousTable();
    const CellTable before = table;
    const ImportResult result = Import(book, view, table);
    EXPECT_FALSE(result.ok);
    EXPECT_EQ(result.detail, kExcelSeveralAreas);
    EXPECT_EQ(view.messages, (std::vector<std::u16string>{std::u16string(kExcelSeveralAreas), u"取得に失敗しました."}));
    EXPECT_EQ(book.Calls(), 1); // Address
    EXPECT_EQ(view.columns, 5);
    EXPECT_EQ(table.CellGrid, before.CellGrid);
    EXPECT_EQ(book.screenUpdating, (std::vector<bool>{false, true}));
}

TEST(ExcelImport, ASpreadsheetBusyAtACellIsToldInItsOwnWords)
{
    FakeBook book;
    book.rows = 2, book.cols = 2;
    book.cells[{2, 1}].value2Busy = true;
    RecordingView view;
    CellTable table;
    const ImportResult result = Import(book, view, table);
    EXPECT_FALSE(result.ok);
    EXPECT_EQ(view.messages, (std::vector<std::u16string>{std::u16string(kExcelBusy), u"取得に失敗しました."}));
    EXPECT_EQ(book.screenUpdating, (std::vector<bool>{false, true}));
}

TEST(ExcelImport, TooLargeSelectionIsRefusedBeforeAnythingIsResized)
{
    struct Case {
        int rows, cols;
        const char16_t* message;
    };
    const Case cases[] = {
        {1000001, 1, u"選択範囲が大きすぎます (1000001 行 × 1 列)."},
        {1048576, 16384, u"選択範囲が大きすぎます (1048576 行 × 16384 列)."},
        {2001, 500, u"選択範囲が大きすぎます (2001 行 × 500 列)."},
    };
    for (const Case& k : cases) {
        FakeBook book;
        book.rows = k.rows, book.cols = k.cols;
        RecordingView view;
        CellTable table = PreviousTable();
        const CellTable before = table;
        EXPECT_FALSE(Import(book, view, table).ok);
        EXPECT_EQ(view.messages, (std::vector<std::u16string>{k.message, u"取得に失敗しました."}));
        EXPECT_EQ(view.columns, 5);
        EXPECT_EQ(table.CellGrid, before.CellGrid);
        EXPECT_EQ(table.GridColCount, 2);
        EXPECT_EQ(book.rangeCalls, 0);
        EXPECT_EQ(book.screenUpdating, (std::vector<bool>{false, true}));
    }
}

TEST(ExcelImport, NumericPropertiesTakeWhatTheSpreadsheetAnswers)
{
    // Empty counts as 0, a Boolean as 0 or -1 (kept to 16 bits as every size is), a text that is a number
    // as that number; null and error values stop the import at the cell.
    const struct {
        const char* name;
        XlValue fontSize;
        int txtSize;                // -1: the import fails
        const char16_t* detail;
    } cases[] = {
        {"empty", XlValue::Empty(), 0, nullptr},
        {"a half, to the even neighbour", XlValue::Of(2.5), 2, nullptr},
        {"true", XlValue::OfBool(true), 65535, nullptr},
        {"false", XlValue::OfBool(false), 0, nullptr},
        {"a text that is a number", XlValue::Of(std::u16string(u"12")), 12, nullptr},
        {"null", XlValue::Null(), -1, u"A1: 文字ごとにフォントサイズが異なります"},
        {"an error value", XlValue::ErrorValue(u"#N/A"), -1, u"A1: フォントサイズがエラー値 #N/A です"},
    };
    for (const auto& k : cases) {
        FakeBook book;
        book.cells[{1, 1}].fontSize = k.fontSize;
        RecordingView view;
        CellTable table;
        const ImportResult result = Import(book, view, table);
        if (k.txtSize < 0) {
            EXPECT_FALSE(result.ok) << k.name;
            EXPECT_EQ(result.detail, k.detail) << k.name;
        } else {
            ASSERT_TRUE(result.ok) << k.name;
            EXPECT_EQ(table.CellGrid[0].txtSize, k.txtSize) << k.name;
        }
    }
}

TEST(ExcelImport, ValueConversions)
{
    EXPECT_EQ(XlTextForm(XlValue::OfBool(false), u'.'), u"False");
    EXPECT_EQ(XlTextForm(XlValue::Of(1234.5), u','), u"1234,5");
    EXPECT_EQ(XlTextForm(XlValue::Of(1e15), u'.'), u"1E15");
    EXPECT_THROW(XlTextForm(XlValue::ErrorValue(u"#DIV/0!"), u'.'), Error);
    // The object model's cell error numbers, and one it does not document.
    EXPECT_EQ(XlErrorText(2007), u"#DIV/0!");
    EXPECT_EQ(XlErrorText(2042), u"#N/A");
    EXPECT_EQ(XlErrorText(2000), u"#NULL!");
    EXPECT_EQ(XlErrorText(2045), u"#SPILL!");
    EXPECT_EQ(XlErrorText(2050), u"2050");
}

TEST(ExcelImport, ShowWHSizeText)
{
    CellTable t;
    EXPECT_EQ(ShowWHSizeText(t, u'.'), u"");
    t.CellGrid.resize(4);
    t.GridColCount = 2, t.GridRowCount = 2;
    t.CellGrid[0].drawW = 10, t.CellGrid[1].drawW = 20.5, t.CellGrid[2].drawW = 99;
    t.CellGrid[0].drawH = 4, t.CellGrid[2].drawH = 4, t.CellGrid[1].drawH = 99;
    EXPECT_EQ(ShowWHSizeText(t, u'.'), u"全体: W=30.500 x H=8.000");
    EXPECT_EQ(ShowWHSizeText(t, u','), u"全体: W=30,500 x H=8,000");
}

} // namespace
} // namespace gridvane
