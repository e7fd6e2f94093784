#include "form/Form1.h"

#include <gtest/gtest.h>

#include <cmath>
#include <deque>
#include <filesystem>
#include <fstream>
#include <functional>

#include "base/Utf.h"
#include "xlsx/XlsxApplication.h"
#include "textconv/DrawingCodePage.h"
#include "tests/support/DxfEntities.h"
#include "tests/support/FakeSpreadsheet.h"

namespace gridvane {
namespace {

namespace fs = std::filesystem;

// The front end as a test sees it: every box is recorded and answered from a script.
struct RecordingFrontEnd : FormFrontEnd {
    struct Box {
        std::u16string text, caption;
        MessageIcon icon;
        MessageOwner owner;
        bool question;
    };
    std::vector<Box> boxes;
    std::deque<bool> answers; // Yes/No; empty: No
    std::deque<bool> replaceResults;
    std::u16string typeSearch, typeReplacement; // what the user types into the replace dialog
    bool typeIntoReplaceDialog = false;
    unsigned refreshed = 0;
    int processEvents = 0, closes = 0;
    std::function<void()> onProcessEvents;
    std::function<void()> onMessage; // while the box is shown

    void Message(std::u16string_view text, std::u16string_view caption, MessageIcon icon, MessageOwner owner) override
    {
        boxes.push_back({std::u16string(text), std::u16string(caption), icon, owner, false});
        if (onMessage) onMessage();
    }
    bool AskYesNo(std::u16string_view text, std::u16string_view caption, MessageOwner owner) override
    {
        boxes.push_back({std::u16string(text), std::u16string(caption), MessageIcon::Question, owner, true});
        if (answers.empty()) return false;
        const bool a = answers.front();
        answers.pop_front();
        return a;
    }
    std::optional<fs::path> ChooseWorkbook(const fs::path&) override { return std::nullopt; }
    bool ShowReplaceDialog(std::u16string& search, std::u16string& replacement) override
    {
        if (typeIntoReplaceDialog) {
            search = typeSearch;
            replacement = typeReplacement;
            typeIntoReplaceDialog = false;
        }
        lastSearch = search;
        if (replaceResults.empty()) return false;
        const bool r = replaceResults.front();
        replaceResults.pop_front();
        return r;
    }
    std::function<void(unsigned)> onRefresh;
    void Refresh(unsigned parts) override
    {
        refreshed |= parts;
        if (onRefresh) onRefresh(parts);
    }
    void ProcessEvents() override
    {
        ++processEvents;
        if (onProcessEvents) onProcessEvents();
    }
    void CloseWindow() override { ++closes; }

    std::u16string lastSearch;
    std::vector<std::u16string> Texts() const
    {
        std::vector<std::u16string> t;
        for (const Box& b : boxes) t.push_back(b.text);
        return t;
    }
};

fs::path TestDir(const std::string& name)
{
    const fs::path d = fs::path(GRIDVANE_BINARY_DIR) / "test-tmp" / "form" / name;
    fs::remove_all(d);
    fs::create_directories(d);
    return d;
}

// A 3 x 4 selection at B2:E4 (row 1 texts "h1".."h4", a merged title over the first two cells).
FakeBook SampleBook()
{
    FakeBook book;
    book.bookName = u"部品.xlsx";
    book.sheetName = u"表";
    book.r1 = 2, book.c1 = 2, book.rows = 3, book.cols = 4;
    for (int r = 2; r <= 4; ++r) {
        for (int c = 2; c <= 5; ++c) {
            FakeCell cell;
            cell.columnWidth = 10;
            cell.rowHeight = 20;
            cell.fontSize = XlValue::Of(10.0);
            cell.text = u"r" + FromUtf8(std::to_string(r)) + u"c" + FromUtf8(std::to_string(c));
            cell.value2 = XlValue::Of(cell.text);
            book.cells[{r, c}] = cell;
        }
    }
    book.cells[{2, 2}].text = u"見出し\n2行";
    for (int c = 2; c <= 3; ++c) {
        FakeCell& cell = book.cells[{2, c}];
        cell.merged = true;
        cell.areaCols = 2;
    }
    book.cells[{3, 3}].value2 = XlValue::Of(12.5); // a number with general alignment: right
    return book;
}

struct Harness {
    fs::path dir;
    FakeBook book = SampleBook();
    bool spreadsheetRunning = true;
    std::vector<fs::path> inserted;
    std::function<void()> insertFails;
    RecordingFrontEnd front;
    std::unique_ptr<TForm1> form;

    explicit Harness(const std::string& name, const std::string& ini = {})
    {
        dir = TestDir(name);
        if (!ini.empty()) std::ofstream(dir / "Gridvane23.ini", std::ios::binary) << ini;
        FormPlatform p;
        p.iniPath = dir / "Gridvane23.ini";
        p.dxfPath = dir / "Gridvane23.dxf";
        p.applicationTitle = u"Gridvane23";
        p.attachRunning = [this]() -> std::unique_ptr<XlApplication> {
            if (!spreadsheetRunning) throw Error("no spreadsheet", std::u16string(kExcelClassInvalid));
            return std::make_unique<FakeApp>(book);
        };
        p.insertIntoCad = [this](const fs::path& drawing) {
            if (insertFails) insertFails();
            inserted.push_back(drawing);
        };
        form = std::make_unique<TForm1>(p, front);
    }
    TForm1& f() { return *form; }
    const TForm1State& s() { return form->State(); }
    void Import()
    {
        front.boxes.clear();
        form->Button3Click();
    }
    const std::u16string& Cell(int c, int r) { return form->Grid().Text(c, r); }
};

TEST(Form1, StartUpState)
{
    Harness h("startup", "[PlotraTlsx]\r\ncadYsc=abc\r\ncellLineDraw=0\r\n");
    const TForm1State& s = h.s();
    EXPECT_EQ(s.caption, u"Gridvane 2023.02.11");
    EXPECT_TRUE(s.button3Enabled);
    EXPECT_FALSE(s.button4Enabled);
    EXPECT_FALSE(s.checkBox1);
    EXPECT_FALSE(s.edit10Enabled); // the line colour is carried, not edited
    const std::u16string edits[] = {u"20", u"3", u"3", u"0.43", u"0.27", u"0.8", u"252"};
    for (std::size_t i = 0; i < 7; ++i) EXPECT_EQ(s.settingsEdits[i], edits[i]) << i;
    for (const auto* text : {&s.edit1, &s.edit2, &s.edit3, &s.edit11, &s.edit12, &s.edit13, &s.label4, &s.label13})
        EXPECT_TRUE(text->empty());
    EXPECT_EQ(s.summary[0][0], u"全幅");
    EXPECT_EQ(s.summary[4][0], u"文字");
    EXPECT_TRUE(s.summary[0][1].empty());
    EXPECT_EQ(h.f().Grid().colCount, 5);
    EXPECT_EQ(h.f().Grid().rowCount, 5);
    EXPECT_TRUE(h.front.boxes.empty());
    // Before any import the size and alignment controls do nothing and ask nothing.
    h.f().Edit11KeyPress(u"5");
    h.f().SpeedButton1Click(kAlignRight);
    h.f().Button1Click();
    h.f().Button4Click();
    EXPECT_TRUE(h.front.boxes.empty());
    EXPECT_FALSE(fs::exists(h.dir / "Gridvane23.dxf"));
}

TEST(Form1, ImportStatesAndWhatTheWindowShows)
{
    Harness h("import");
    // While the import runs both buttons are disabled, and an apply and the settings page wait for its end.
    std::vector<std::pair<bool, bool>> buttonsDuringImport;
    h.front.onProcessEvents = [&] {
        buttonsDuringImport.push_back({h.s().button3Enabled, h.s().button4Enabled});
        if (buttonsDuringImport.size() == 1) {
            h.f().Button1Click();
            h.f().PageControl1Change(1);
            EXPECT_TRUE(h.s().summary[0][1].empty());
        }
    };
    h.front.answers = {false}; // the apply question that follows the import
    // While "取得しました." is shown the window already shows the new table's current cell.
    std::vector<std::u16string> edit1AtBoxes;
    h.front.onMessage = [&] { edit1AtBoxes.push_back(h.s().edit1); };
    h.Import();
    h.front.onMessage = nullptr;
    ASSERT_FALSE(edit1AtBoxes.empty());
    EXPECT_EQ(edit1AtBoxes[0], u"見出し\n2行");
    ASSERT_GE(buttonsDuringImport.size(), 1u); // at the first row, then at most 40 times a second
    for (const auto& [b3, b4] : buttonsDuringImport) {
        EXPECT_FALSE(b3);
        EXPECT_FALSE(b4);
    }
    ASSERT_EQ(h.front.boxes.size(), 2u);
    EXPECT_EQ(h.front.boxes[0].text, u" 取得しました.");
    EXPECT_EQ(h.front.boxes[0].caption, u"メッセージ");
    EXPECT_TRUE(h.front.boxes[1].question); // the apply, after the import
    EXPECT_TRUE(h.s().button3Enabled);
    EXPECT_TRUE(h.s().button4Enabled);
    EXPECT_EQ(h.s().caption, u"部品.xlsx [表]");
    EXPECT_EQ(h.s().edit2, u"B2");
    EXPECT_EQ(h.s().edit3, u"E4");
    EXPECT_EQ(h.Cell(1, 0), u"B");
    EXPECT_EQ(h.Cell(0, 3), u"4");
    EXPECT_EQ(h.Cell(4, 3), u"r4c5");
    EXPECT_EQ(h.f().Grid().colWidths[1], 200);
    EXPECT_EQ(h.f().Grid().rowHeights[1], 60);
    EXPECT_EQ(h.f().Grid().colWidths[0], 70);
    EXPECT_EQ(h.s().summary[0][1], u"120.000"); // of the whole table
    EXPECT_EQ(h.front.closes, 0);

    // Cell (1, 1) of the new table is current and shown, and the grid went back to its corner.
    EXPECT_EQ(h.f().Grid().col, 1);
    EXPECT_EQ(h.f().Grid().row, 1);
    EXPECT_EQ(h.s().edit1, u"見出し\n2行");
    EXPECT_TRUE(h.s().edit1Red);
    EXPECT_EQ(h.s().edit11, u"30.000");
    EXPECT_EQ(h.s().edit12, u"8.600");
    EXPECT_EQ(h.s().edit13, u"2.700");
    EXPECT_TRUE(h.front.refreshed & kPartGridScrollHome);
    EXPECT_EQ(h.s().label4, u"全体: W=120.000 x H=25.800");

    // A close requested during an import does not empty the table under it; the window closes after.
    h.front.onProcessEvents = [&] { EXPECT_FALSE(h.f().FormCloseQuery()); };
    h.Import();
    EXPECT_EQ(h.front.closes, 1);
    EXPECT_FALSE(h.f().Table().Empty());
    h.front.onProcessEvents = nullptr;
    EXPECT_TRUE(h.f().FormCloseQuery());
}

TEST(Form1, FailedImportsKeepThePreviousTableAndDisableDrawing)
{
    Harness h("import-fail");
    h.Import();
    ASSERT_TRUE(h.s().button4Enabled);
    const CellTable before = h.f().Table();

    // No spreadsheet: two boxes, the table stays.
    h.spreadsheetRunning = false;
    h.Import();
    EXPECT_EQ(h.front.Texts(), (std::vector<std::u16string>{std::u16string(kExcelClassInvalid), u"取得に失敗しました."}));
    EXPECT_FALSE(h.s().button4Enabled);
    EXPECT_TRUE(h.s().button3Enabled);
    EXPECT_EQ(h.f().Table().CellGrid, before.CellGrid);

    // The active sheet refused: one box, the table stays, drawing does nothing.
    h.spreadsheetRunning = true;
    h.book.failAt = {"ActiveSheet"};
    h.Import();
    EXPECT_EQ(h.front.Texts(), (std::vector<std::u16string>{u"取得に失敗しました."}));
    EXPECT_FALSE(h.s().button4Enabled);
    EXPECT_EQ(h.f().Table().CellGrid, before.CellGrid);

    // A cell that fails half-way: Button4 stays off and Edit1 shows the cell that is now current, so the
    // next keystroke cannot write an old text into it.
    h.book.failAt.clear();
    h.f().StringGrid1SelectCell(3, 2, false);
    h.book.failCell = std::make_pair(3, 4);
    h.Import();
    EXPECT_EQ(h.front.Texts().back(), u"取得に失敗しました.");
    EXPECT_FALSE(h.s().button4Enabled);
    EXPECT_EQ(h.f().Grid().col, 1);
    EXPECT_EQ(h.s().edit1, h.Cell(1, 1));
}

TEST(Form1, SizeEditsAskAndSetWholeColumnsRowsOrCells)
{
    Harness h("sizes");
    h.Import();
    TForm1& f = h.f();
    f.StringGrid1SelectCell(2, 1, false);
    f.StringGrid1SelectCell(3, 2, true); // columns 2..3, rows 1..2
    EXPECT_EQ(f.Grid().selection.left, 2);
    EXPECT_EQ(f.Grid().selection.bottom, 2);

    struct Case {
        int box;
        std::u16string text;
        bool yes;
        bool asks;
        std::u16string question;
    };
    const Case cases[] = {
        {0, u"0", true, false, {}},
        {0, u"-2", true, false, {}},
        {0, u"abc", true, false, {}},
        {0, u"12.5", false, true, u"選択範囲の列幅を変更しますか？"},
        {0, u"12.5", true, true, u"選択範囲の列幅を変更しますか？"},
        {1, u"4", true, true, u"選択範囲の行高さを変更しますか？"},
        {2, u"1.25", true, true, u"選択範囲の文字高さを変更しますか？"},
    };
    for (const Case& c : cases) {
        h.front.boxes.clear();
        h.front.answers = {c.yes};
        const CellTable before = f.Table();
        if (c.box == 0) f.Edit11KeyPress(c.text);
        if (c.box == 1) f.Edit12KeyPress(c.text);
        if (c.box == 2) f.Edit13KeyPress(c.text);
        ASSERT_EQ(h.front.boxes.size(), c.asks ? 1u : 0u) << ToUtf8(c.text);
        if (!c.asks) {
            EXPECT_EQ(f.Table().CellGrid, before.CellGrid);
            continue;
        }
        EXPECT_EQ(h.front.boxes[0].text, c.question);
        EXPECT_EQ(h.front.boxes[0].caption, u"確認");
        EXPECT_EQ(h.front.boxes[0].owner, MessageOwner::Grid);
        if (!c.yes) {
            EXPECT_EQ(f.Table().CellGrid, before.CellGrid);
            EXPECT_EQ(h.s().edit11, u"30.000"); // the current cell's width again
        }
    }
    const CellTable& t = f.Table();
    for (int r = 0; r < 3; ++r) {
        EXPECT_EQ(t.At(r, 0).drawW, 30);
        EXPECT_EQ(t.At(r, 1).drawW, 12.5); // every row of columns 2 and 3
        EXPECT_EQ(t.At(r, 2).drawW, 12.5);
        EXPECT_EQ(t.At(r, 3).drawW, 30);
    }
    for (int c = 0; c < 4; ++c) {
        EXPECT_EQ(t.At(0, c).drawH, 4); // every column of rows 1 and 2
        EXPECT_EQ(t.At(1, c).drawH, 4);
        EXPECT_DOUBLE_EQ(t.At(2, c).drawH, 8.6);
    }
    EXPECT_EQ(t.At(1, 2).drawTH, 1.25); // only the selected cells
    EXPECT_DOUBLE_EQ(t.At(2, 2).drawTH, 2.7);
    EXPECT_DOUBLE_EQ(t.At(0, 0).drawMW, 30 + 12.5); // the merged title spans columns 1 and 2
    EXPECT_EQ(h.s().edit11, u"12.500");
    EXPECT_EQ(h.s().edit13, u"1.250");
    EXPECT_EQ(h.s().label4, u"全体: W=85.000 x H=16.600");
}

TEST(Form1, AlignmentOfTheSelection)
{
    Harness h("align");
    h.Import();
    TForm1& f = h.f();
    EXPECT_EQ(f.Table().At(1, 1).txtAlign, kAlignRight); // 12.5 with general alignment
    f.StringGrid1FixedCellClick(0, 2); // row 2
    f.SpeedButton1Click(kAlignCenter);
    for (int c = 0; c < 4; ++c) EXPECT_EQ(f.Table().At(1, c).txtAlign, kAlignCenter);
    EXPECT_EQ(f.Table().At(0, 0).txtAlign, kAlignGeneral);
    // The raised button follows the current cell at the next click, not the button click itself.
    f.StringGrid1SelectCell(2, 2, false);
    EXPECT_EQ(h.s().speedRaised, (std::array<bool, 3>{false, true, false}));
}

TEST(Form1, FixedCellClicksShowTheNewCurrentCell)
{
    Harness h("fixed");
    h.Import();
    TForm1& f = h.f();
    f.StringGrid1SelectCell(1, 1, false);
    struct Case {
        int c, r;
        GridSelection selection;
        int col, row;
    };
    const Case cases[] = {
        {0, 0, {1, 1, 4, 3}, 4, 3},
        {2, 0, {2, 1, 2, 3}, 2, 3},
        {0, 2, {1, 2, 4, 2}, 4, 2},
    };
    for (const Case& c : cases) {
        f.StringGrid1FixedCellClick(c.c, c.r);
        const TStringGridState& g = f.Grid();
        EXPECT_EQ(g.selection.left, c.selection.left);
        EXPECT_EQ(g.selection.top, c.selection.top);
        EXPECT_EQ(g.selection.right, c.selection.right);
        EXPECT_EQ(g.selection.bottom, c.selection.bottom);
        EXPECT_EQ(g.col, c.col);
        EXPECT_EQ(g.row, c.row);
        // Edit1 shows the new current cell, so typing changes exactly the cell it shows.
        EXPECT_EQ(h.s().edit1, h.Cell(c.col, c.row));
        const std::u16string other = h.Cell(1, 1);
        f.Edit1Change(h.s().edit1 + u"x");
        EXPECT_EQ(h.Cell(c.col, c.row).back(), u'x');
        EXPECT_EQ(h.Cell(1, 1), other);
    }
    // The right button's press changes neither the current cell nor the selection: its click only opens
    // the menu. The other buttons select as in any grid.
    const TStringGridState before = f.Grid();
    const std::pair<MouseButton, GridPress> presses[] = {
        {MouseButton::Left, GridPress::Select}, {MouseButton::Middle, GridPress::Select}, {MouseButton::Right, GridPress::MenuOnly}};
    for (const auto& [button, press] : presses) EXPECT_EQ(f.StringGrid1MouseDown(button), press) << static_cast<int>(button);
    EXPECT_EQ(f.Grid().col, before.col);
    EXPECT_EQ(f.Grid().row, before.row);
    EXPECT_EQ(f.Grid().selection.left, before.selection.left);
    EXPECT_EQ(f.Grid().selection.right, before.selection.right);
}

TEST(Form1, Edit1FollowsTheCurrentCellWhateverChangesIt)
{
    Harness h("follow");
    h.Import();
    TForm1& f = h.f();
    f.StringGrid1SelectCell(1, 2, false);
    f.StringGrid1SelectCell(2, 3, true);
    f.Edit1Change(u"abc");
    EXPECT_EQ(h.Cell(2, 3), u"abc");
    f.N1Click(); // 半角->全角 on the selection
    EXPECT_EQ(h.Cell(2, 3), u"ａｂｃ");
    EXPECT_EQ(h.s().edit1, u"ａｂｃ");
    f.N2Click();
    EXPECT_EQ(h.s().edit1, u"abc");
    // Typing into the grid's own cell editor.
    f.StringGrid1SetEditText(2, 3, u"typed");
    EXPECT_EQ(h.s().edit1, u"typed");
    f.StringGrid1SetEditText(1, 2, u"elsewhere"); // not the current cell: Edit1 keeps its text
    EXPECT_EQ(h.s().edit1, u"typed");
    // The model keeps the imported text.
    EXPECT_EQ(f.Table().At(2, 1).str, u"r4c3");
    // The drawing takes the grid's texts.
    EXPECT_EQ(f.DrawingTexts()[2 * 4 + 1], u"typed");
    // Replace: cancelled changes nothing; executed counts every non-empty selected cell.
    h.front.boxes.clear();
    h.front.typeIntoReplaceDialog = true;
    h.front.typeSearch = u"y";
    h.front.typeReplacement = u"Y";
    h.front.replaceResults = {false, true};
    f.N4Click();
    EXPECT_TRUE(h.front.boxes.empty());
    EXPECT_EQ(h.Cell(2, 3), u"typed");
    f.N4Click();
    EXPECT_EQ(h.front.lastSearch, u"y"); // the dialog keeps what was typed last time
    ASSERT_EQ(h.front.boxes.size(), 1u);
    EXPECT_EQ(h.front.boxes[0].text, u"4 個の文字列を置換しました.");
    EXPECT_EQ(h.front.boxes[0].caption, u"Gridvane23");
    EXPECT_EQ(h.front.boxes[0].icon, MessageIcon::None);
    EXPECT_EQ(h.Cell(2, 3), u"tYped");
    EXPECT_EQ(h.s().edit1, u"tYped");
}

TEST(Form1, Edit1KeyUpShowsTheCodeAfterTheCaret)
{
    Harness h("keyup");
    h.f().Edit1Change(u"xあ");
    h.f().Edit1KeyUp(1);
    EXPECT_EQ(h.s().label13, u"[3042]");
    h.f().Edit1KeyUp(2);
    EXPECT_TRUE(h.s().label13.empty());
    // Without a table, Edit1 still writes the grid cell.
    EXPECT_EQ(h.Cell(1, 1), u"xあ");
}

TEST(Form1, ApplySettings)
{
    Harness h("apply");
    TForm1& f = h.f();
    f.SettingsEditChange(2, u"abc");
    f.Button1Click(); // no table: nothing asked, nothing changed
    EXPECT_TRUE(h.front.boxes.empty());
    EXPECT_EQ(f.Settings().cadXsc, 3);
    h.Import();
    f.Edit11KeyPress(u"99");
    h.front.boxes.clear();
    h.front.answers = {false, true};
    f.Button1Click();
    EXPECT_EQ(f.Settings().cadXsc, 3);
    f.SettingsEditChange(6, u" 7 ");
    f.Button1Click();
    ASSERT_EQ(h.front.boxes.size(), 2u);
    EXPECT_EQ(h.front.boxes[0].text,
              u"尺度を更新すると個別に設定した列幅、列高さ、文字高さがリセット（再計算）されます．\r設定を更新しますか？");
    EXPECT_EQ(h.front.boxes[0].owner, MessageOwner::MainWindow);
    EXPECT_EQ(f.Settings().cadXsc, 10);
    EXPECT_EQ(f.Settings().cellLineColor, 7);
    EXPECT_EQ(h.s().settingsEdits[2], u"abc");
    EXPECT_EQ(f.Table().At(0, 0).drawW, 100);
    EXPECT_EQ(h.s().summary[2][1], u"100.000 (100.000～100.000)");
}

TEST(Form1, CloseWritesTheSettingsOrKeepsEverything)
{
    Harness h("close");
    h.Import();
    h.f().CheckBox1Click(false);
    fs::create_directories(h.dir / "Gridvane23.ini"); // a folder where the file should go
    h.front.boxes.clear();
    EXPECT_FALSE(h.f().FormCloseQuery());
    ASSERT_EQ(h.front.boxes.size(), 1u);
    EXPECT_EQ(h.front.boxes[0].icon, MessageIcon::Error);
    EXPECT_NE(h.front.boxes[0].text.find(u" に書き込めません"), std::u16string::npos);
    EXPECT_FALSE(h.f().Table().Empty());
    fs::remove(h.dir / "Gridvane23.ini");
    EXPECT_TRUE(h.f().FormCloseQuery());
    EXPECT_TRUE(h.f().Table().Empty());
    std::ifstream in(h.dir / "Gridvane23.ini", std::ios::binary);
    const std::string ini((std::istreambuf_iterator<char>(in)), {});
    EXPECT_NE(ini.find("cellLineDraw=0\r\n"), std::string::npos);
}

TEST(Form1, ASpreadsheetLeftFrozenIsToldAndTriedAgainAtTheClose)
{
    Harness h("frozen");
    h.book.failScreenOn = 2; // at the end of the import and at its retry
    h.Import();
    EXPECT_EQ(h.front.Texts(), (std::vector<std::u16string>{std::u16string(kExcelScreenUpdatingLeftOff), u"取得に失敗しました."}));
    ASSERT_FALSE(h.book.screenUpdating.empty());
    EXPECT_TRUE(h.book.screenUpdating.back()); // asked for, but refused
    const std::size_t writes = h.book.screenUpdating.size();
    EXPECT_TRUE(h.f().FormCloseQuery());
    ASSERT_EQ(h.book.screenUpdating.size(), writes + 1);
    EXPECT_TRUE(h.book.screenUpdating.back());
}

TEST(Form1, DrawingAndItsFailuresReachTheErrorBox)
{
    Harness h("draw");
    h.Import();
    h.f().Button4Click();
    ASSERT_TRUE(fs::exists(h.dir / "Gridvane23.dxf"));
    ASSERT_EQ(h.inserted.size(), 1u);
    EXPECT_EQ(h.inserted[0], h.dir / "Gridvane23.dxf");

    // A size that overflows: the box names the cell as the grid names it, and the old file stays.
    auto read = [&] {
        std::ifstream in(h.dir / "Gridvane23.dxf", std::ios::binary); // closed again: Windows cannot replace an open file
        return std::string((std::istreambuf_iterator<char>(in)), {});
    };
    const std::string before = read();
    h.f().StringGrid1SelectCell(2, 3, false);
    h.front.answers = {true};
    h.f().Edit12KeyPress(u"1e308");
    h.front.answers = {true};
    h.f().StringGrid1SelectCell(2, 2, false);
    h.f().Edit12KeyPress(u"1e308");
    h.front.boxes.clear();
    h.f().Button4Click();
    ASSERT_EQ(h.front.boxes.size(), 1u);
    EXPECT_EQ(h.front.boxes[0].text, u"B4: 図面の座標が有限の数ではありません");
    EXPECT_EQ(h.front.boxes[0].icon, MessageIcon::Error);
    EXPECT_EQ(read(), before);

    // A failing CAD hand-over is shown, not thrown into the toolkit.
    h.front.answers = {true};
    h.f().Edit12KeyPress(u"1");
    h.f().StringGrid1SelectCell(2, 3, false);
    h.front.answers = {true};
    h.f().Edit12KeyPress(u"1");
    h.insertFails = [] { throw Error("the CAD refused the command"); };
    h.front.boxes.clear();
    EXPECT_NO_THROW(h.f().Button4Click());
    ASSERT_EQ(h.front.boxes.size(), 1u);
    EXPECT_EQ(h.front.boxes[0].text, u"the CAD refused the command");
    EXPECT_EQ(h.front.boxes[0].caption, u"Gridvane23");
}

// ---- the drawing page -------------------------------------------------------------------------------

TEST(Form1, PreviewOfTheSampleEqualsTheDrawingFileAfterEveryKindOfChange)
{
#ifdef _WIN32
    GTEST_SKIP() << "the DXF reader runs on the build machine";
#else
    const fs::path dir = TestDir("preview-sample");
    RecordingFrontEnd front;
    FormPlatform p;
    p.iniPath = dir / "Gridvane23.ini";
    p.dxfPath = dir / "Gridvane23.dxf";
    p.applicationTitle = u"Gridvane23";
    p.openWorkbook = [](const fs::path& path) -> XlAttach { return [path] { return OpenWorkbookAsApplication(path); }; };
    TForm1 form(p, front);
    form.ImportWorkbookFile(fs::path(GRIDVANE_SOURCE_DIR) / "samples" / "parts-list.xlsx");
    ASSERT_FALSE(form.Table().Empty());
    ASSERT_TRUE(front.boxes.size() == 1 && front.boxes[0].text == u" 取得しました.");

    // Each step changes what the drawing holds; after each, the page's list and the saved file agree.
    std::vector<std::vector<std::string>> previews;
    std::vector<fs::path> files;
    auto compare = [&] {
        form.PageControl1Change(kPageDrawing);
        previews.push_back(testing::PreviewEntityLines(form.Preview().drawing));
        EXPECT_TRUE(form.Preview().error.empty());
        form.PageControl1Change(kPageTable);
        form.Button4Click();
        files.push_back(dir / ("step" + std::to_string(files.size()) + ".dxf"));
        fs::rename(p.dxfPath, files.back());
    };
    compare();
    // The sample's yen signs (U+00A5) go to the byte 0x5C, which Japanese fonts draw as the yen sign:
    // nothing to list.
    form.PageControl1Change(kPageDrawing);
    EXPECT_TRUE(form.Preview().codePageLines.empty());
    form.PageControl1Change(kPageTable);
    form.CheckBox1Click(false); // セルを描画 off
    compare();
    form.CheckBox1Click(true);
    form.StringGrid1SelectCell(2, 3, false);
    form.Edit1Change(u"六角ボルト\nM8×20"); // a text with a line break
    form.StringGrid1FixedCellClick(4, 0);  // a whole column right-aligned
    form.SpeedButton1Click(kAlignRight);
    compare();
    front.answers = {true, true};
    form.Edit11KeyPress(u"31.5"); // the column's width
    form.StringGrid1SelectCell(1, 1, false);
    form.Edit12KeyPress(u"4"); // the title row's height, inside a merged area
    compare();
    form.SettingsEditChange(5, u"0.3"); // the text inset, applied
    form.SettingsEditChange(2, u"2.5");
    front.answers = {true};
    form.Button1Click();
    compare();
    ASSERT_TRUE(front.answers.empty());

    auto read = testing::ReadDxfEntityLines(files, dir);
    ASSERT_EQ(read.size(), files.size());
    // The byte 0x5C of code page 932, which the reader gives as a backslash, is the yen sign that Japanese
    // fonts draw and the preview shows.
    for (auto& lines : read)
        for (std::string& line : lines)
            for (std::size_t at = line.find('\\'); at != std::string::npos; at = line.find('\\', at + 2)) line.replace(at, 1, "\xC2\xA5");
    for (std::size_t i = 0; i < files.size(); ++i) {
        ASSERT_FALSE(read[i].empty());
        EXPECT_EQ(read[i][0], "errors 0");
        EXPECT_EQ(testing::FirstDifference(previews[i], std::vector<std::string>(read[i].begin() + 1, read[i].end())), "")
            << "step " << i;
        EXPECT_GT(previews[i].size(), 50u);
    }
    EXPECT_NE(previews[0], previews[1]);
    EXPECT_NE(previews[2], previews[3]);
    EXPECT_NE(previews[3], previews[4]);
#endif
}

TEST(Form1, ShowingTheDrawingPageChangesNothingAndIsShownAgainAfterChanges)
{
    Harness h("preview-page");
    h.Import();
    h.front.boxes.clear();
    const CellTable table = h.f().Table();
    const auto cells = h.f().Grid().cells;
    h.front.refreshed = 0;
    h.f().PageControl1Change(kPageDrawing);
    EXPECT_TRUE(h.front.refreshed & kPartPreview);
    const TPreviewState& preview = h.f().Preview();
    EXPECT_FALSE(preview.drawing.entities.empty());
    EXPECT_EQ(h.f().Table().CellGrid, table.CellGrid);
    EXPECT_EQ(h.f().Grid().cells, cells);
    EXPECT_FALSE(fs::exists(h.dir / "Gridvane23.dxf"));
    EXPECT_TRUE(h.front.boxes.empty());

    // While the page is in front, a change asks for it to be shown anew; the next look has the change.
    h.front.refreshed = 0;
    h.f().CheckBox1Click(false);
    EXPECT_TRUE(h.front.refreshed & kPartPreview);
    for (const PreviewEntity& e : h.f().Preview().drawing.entities) EXPECT_NE(DrawingLayers()[e.layer].name, u"XLSCellLine");
    // Behind another page nothing is laid out or shown until the page comes back.
    h.f().PageControl1Change(kPageTable);
    h.front.refreshed = 0;
    h.f().CheckBox1Click(true);
    EXPECT_FALSE(h.front.refreshed & kPartPreview);
    h.f().PageControl1Change(kPageDrawing);
    EXPECT_TRUE(h.front.refreshed & kPartPreview);
    bool cellLines = false;
    for (const PreviewEntity& e : h.f().Preview().drawing.entities) cellLines |= DrawingLayers()[e.layer].name == u"XLSCellLine";
    EXPECT_TRUE(cellLines);

    // The view: fitted to the area, zoomed about the pointer, moved by a drag, fitted again by a double click.
    h.f().PreviewResize(600, 400);
    const PreviewViewport fitted = h.f().Preview().view;
    EXPECT_TRUE(fitted.fitted);
    h.f().PreviewWheel(300, 200, 120);
    EXPECT_NEAR(h.f().Preview().view.scale, fitted.scale * 1.2, 1e-9);
    h.f().PreviewDrag(10, -5);
    EXPECT_FALSE(h.f().Preview().view.fitted);
    h.f().PreviewFit();
    EXPECT_DOUBLE_EQ(h.f().Preview().view.scale, fitted.scale);

    // A size that cannot be drawn: the page says why, no box interrupts, the table stays as it is.
    h.f().PageControl1Change(kPageTable);
    h.front.answers = {true, true};
    h.f().StringGrid1SelectCell(2, 3, false);
    h.f().Edit12KeyPress(u"1e308");
    h.f().StringGrid1SelectCell(2, 2, false);
    h.f().Edit12KeyPress(u"1e308");
    h.front.boxes.clear();
    h.f().PageControl1Change(kPageDrawing);
    EXPECT_EQ(h.f().Preview().error, u"B4: 図面の座標が有限の数ではありません");
    EXPECT_TRUE(h.f().Preview().drawing.entities.empty());
    EXPECT_TRUE(h.front.boxes.empty());
}

TEST(Form1, TheGridIsShownAgainOnceTheImportHasFoundTheMergedAreas)
{
    // The grid's last repaint of an import must know the merged title (its colour, its drawing).
    Harness h("merge-colours");
    bool lastGridRefreshKnewTheMerge = false;
    h.front.onRefresh = [&](unsigned parts) {
        if (parts & (kPartGrid | kPartGridTexts)) {
            lastGridRefreshKnewTheMerge = !h.f().Table().Empty() && h.f().Table().CellGrid[0].drawMW > 0;
        }
    };
    h.Import();
    EXPECT_TRUE(lastGridRefreshKnewTheMerge);
    h.Import(); // again, over a shown table
    EXPECT_TRUE(lastGridRefreshKnewTheMerge);
}

TEST(Form1, CodePageMarksFollowImportsEditsAndCommands)
{
    Harness h("codepage");
    h.book.cells[{3, 2}].text = u"Ø25 😀"; // B3, imported
    h.Import();
    auto lines = [&] {
        h.f().PageControl1Change(kPageDrawing);
        auto l = h.f().Preview().codePageLines;
        h.f().PageControl1Change(kPageTable);
        return l;
    };
    EXPECT_TRUE(h.f().CodePageMark(1, 2));
    EXPECT_FALSE(h.f().CodePageMark(1, 1));
    EXPECT_EQ(lines(), (std::vector<std::u16string>{u"図面で表せない文字: B3 \"Ø😀\" → \"O?\""}));

    // Typing into Edit1 and into the grid itself.
    h.f().StringGrid1SelectCell(3, 1, false);
    h.f().Edit1Change(u"café ①"); // ① is in the code page, é is not
    EXPECT_TRUE(h.f().CodePageMark(3, 1));
    h.f().StringGrid1SetEditText(1, 2, u"Φ25"); // Greek capital phi is in the code page
    EXPECT_FALSE(h.f().CodePageMark(1, 2));
    EXPECT_EQ(lines(), (std::vector<std::u16string>{u"図面で表せない文字: D2 \"é\" → \"e\""})); // its best-fit neighbour

    // The popup's replace over a selection marks and unmarks.
    auto replace = [&](std::u16string search, std::u16string replacement) {
        h.front.typeIntoReplaceDialog = true;
        h.front.typeSearch = std::move(search);
        h.front.typeReplacement = std::move(replacement);
        h.front.replaceResults = {true};
        h.f().N4Click();
    };
    h.f().StringGrid1FixedCellClick(0, 0);
    replace(u"r", u"ř");
    EXPECT_TRUE(h.f().CodePageMark(4, 3));
    EXPECT_EQ(lines().size(), 10u); // the nine cells that held "r", and D2
    replace(u"ř", u"r");
    EXPECT_FALSE(h.f().CodePageMark(4, 3));
    // A width command: full-width to half-width keeps é (no change), half-width to full-width too.
    h.f().N1Click();
    EXPECT_TRUE(h.f().CodePageMark(3, 1));
    EXPECT_FALSE(h.f().CodePageMark(4, 3));
    EXPECT_EQ(lines().size(), 1u);

    // Nothing blocks the drawing: it is written, with the substitute in place of the character.
    h.front.boxes.clear();
    h.f().Button4Click();
    EXPECT_TRUE(h.front.boxes.empty());
    std::ifstream in(h.dir / "Gridvane23.dxf", std::ios::binary);
    const std::string bytes((std::istreambuf_iterator<char>(in)), {});
    const std::string cafe = EncodeDrawingText(h.Cell(3, 1));
    std::u16string shown = h.Cell(3, 1);
    shown.replace(shown.find(u'é'), 1, u"e"); // é as its best-fit neighbour
    EXPECT_EQ(DecodeDrawingText(cafe), shown);
    EXPECT_NE(bytes.find(cafe), std::string::npos);
}

// ---- the window's rules, which both windows only show

TEST(Form1, PopupMenu1IsOneTableOfItemsSeparatorsAndHandlers)
{
    struct Expect {
        int number;
        std::u16string_view caption; // empty: a separator
        void (TForm1::*handler)();
    };
    const Expect expected[] = {
        {1, u"半角->全角", &TForm1::N1Click},
        {12, u"半角->全角（数字のみの文字列は除外）", &TForm1::N12Click},
        {5, u"半角カナ->全角", &TForm1::N5Click},
        {3, u"", nullptr},
        {2, u"全角->半角", &TForm1::N2Click},
        {6, u"全角数字->半角", &TForm1::N6Click},
        {7, u"全角アルファベット->半角", &TForm1::N7Click},
        {8, u"", nullptr},
        {9, u"代替文字を含む禁止文字->半角", &TForm1::N9Click},
        {10, u"", nullptr},
        {4, u"置換", &TForm1::N4Click},
    };
    const auto items = PopupMenu1Items();
    ASSERT_EQ(items.size(), std::size(expected));
    for (std::size_t i = 0; i < items.size(); ++i) {
        EXPECT_EQ(items[i].number, expected[i].number) << i;
        EXPECT_EQ(items[i].caption, expected[i].caption) << i;
        EXPECT_TRUE(items[i].handler == expected[i].handler) << "N" << items[i].number;
    }
    // An item runs its command on the selection, as the window's menu does.
    Harness h("menu");
    h.f().StringGrid1SetEditText(1, 1, u"abc");
    (h.f().*items[0].handler)();
    EXPECT_EQ(h.Cell(1, 1), u"ａｂｃ");
}

TEST(Form1, CellLookShadesMergedAreasAlignsAndMarks)
{
    Harness h("look");
    auto look = [&](int c, int r) { return h.f().CellLook(c, r); };
    // Before any import: the standard look everywhere, fixed cells centred.
    EXPECT_EQ(look(1, 1).align, CellAlign::Left);
    EXPECT_FALSE(look(1, 1).merged);
    EXPECT_EQ(look(0, 1).align, CellAlign::Center);

    h.Import();
    h.f().StringGrid1SelectCell(3, 3, false);
    h.f().SpeedButton1Click(kAlignCenter);
    h.f().StringGrid1SetEditText(4, 3, u"café");
    struct Case {
        int c, r;
        bool merged;
        CellAlign align;
        bool mark;
    };
    const Case cases[] = {
        {0, 0, false, CellAlign::Center, false}, // the corner
        {1, 0, false, CellAlign::Center, false}, // a column header over a merged cell
        {0, 1, false, CellAlign::Center, false}, // a row header
        {1, 1, true, CellAlign::Left, false},    // the merged title's anchor, general alignment
        {2, 1, true, CellAlign::Left, false},    // the cell it covers
        {3, 1, false, CellAlign::Left, false},
        {2, 2, false, CellAlign::Right, false},  // the number 12.5, general alignment: right
        {3, 3, false, CellAlign::Center, false}, // centred by 中
        {4, 3, false, CellAlign::Left, true},    // é: the drawing carries e
        {5, 1, false, CellAlign::Left, false},   // outside the grid
    };
    for (const Case& c : cases) {
        const TCellLook l = look(c.c, c.r);
        EXPECT_EQ(l.merged, c.merged) << c.c << ", " << c.r;
        EXPECT_EQ(l.align, c.align) << c.c << ", " << c.r;
        EXPECT_EQ(l.codePageMark, c.mark) << c.c << ", " << c.r;
    }
}

TEST(Form1, PreviewLayerColorsFallBackToBlack)
{
    const auto layers = DrawingLayers();
    ASSERT_EQ(layers.size(), 4u);
    for (std::size_t i = 0; i < layers.size(); ++i)
        EXPECT_EQ(PreviewLayerColor(static_cast<std::uint8_t>(i)), ColorOnWhite(layers[i].color)) << i;
    EXPECT_NE(PreviewLayerColor(1), (PreviewRgb{0, 0, 0})); // the cell lines' grey
    for (std::uint8_t outside : {std::uint8_t{4}, std::uint8_t{255}}) EXPECT_EQ(PreviewLayerColor(outside), (PreviewRgb{0, 0, 0}));
}

TEST(Form1, WhatEscapesAFrontEndIsShownInTheErrorBox)
{
    Harness h("escaped");
    const Error e("disk full", u"ディスクがいっぱいです");
    h.f().ShowEscapedError(&e);
    h.f().ShowEscapedError(nullptr);
    ASSERT_EQ(h.front.boxes.size(), 2u);
    EXPECT_EQ(h.front.boxes[0].text, u"ディスクがいっぱいです");
    EXPECT_EQ(h.front.boxes[1].text, u"不明なエラーが発生しました。");
    for (const auto& box : h.front.boxes) {
        EXPECT_EQ(box.caption, u"Gridvane23");
        EXPECT_EQ(box.icon, MessageIcon::Error);
        EXPECT_EQ(box.owner, MessageOwner::MainWindow);
    }
}

} // namespace
} // namespace gridvane
