#include "form/Form1.h"

#include <gtest/gtest.h>

#include <cmath>
#include <deque>
#include <filesystem>
#include <fstream>
#include <functional>

#include "base/Utf.h"
#include "settings/NumberText.h"
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
    std::optional<fs::path> workbook; // the file the user picks in the workbook dialog; empty: cancel
    int dialogs = 0;                  // the workbook dialogs shown
    std::optional<fs::path> ChooseWorkbook(const fs::path&) override
    {
        ++dialogs;
        return workbook;
    }
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
    std::u16string clipboard;
    void SetClipboardText(std::u16string_view text) override { clipboard = text; }
    std::u16string ClipboardText() override { return clipboard; }

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
    bool spreadsheetRunning = true, cadRunning = true;
    std::vector<fs::path> inserted;
    std::function<void()> insertFails;
    RecordingFrontEnd front;
    std::unique_ptr<TForm1> form;
    // Where workbook files stand in for the spreadsheet: what the look for a running one finds (none by
    // default), and the files opened.
    std::function<FoundSpreadsheet(const OutsideWait&)> running;
    std::vector<fs::path> opened;
    FakeBook fileBook = SampleBook();

    enum Route { Running, WorkbookFiles };
    explicit Harness(const std::string& name, const std::string& ini = {}, Route route = Running)
    {
        dir = TestDir(name);
        if (!ini.empty()) std::ofstream(dir / "Gridvane23.ini", std::ios::binary) << ini;
        FormPlatform p;
        p.iniPath = dir / "Gridvane23.ini";
        p.dxfPath = dir / "Gridvane23.dxf";
        p.applicationTitle = u"Gridvane23";
        if (route == Running) {
            p.attachRunning = [this]() -> std::unique_ptr<XlApplication> {
                if (!spreadsheetRunning) throw Error("no spreadsheet", std::u16string(kExcelClassInvalid));
                return std::make_unique<FakeApp>(book);
            };
        } else {
            p.openWorkbook = [this](const fs::path& path) -> XlAttach {
                opened.push_back(path);
                return [this] { return std::make_unique<FakeApp>(fileBook); };
            };
            p.findRunning = [this](const OutsideWait& wait) { return running ? running(wait) : FoundSpreadsheet{}; };
        }
        p.insertIntoCad = [this](const fs::path& drawing) {
            if (insertFails) insertFails();
            if (!cadRunning) return false;
            inserted.push_back(drawing);
            return true;
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

// Everything the window shows of a table, to compare before and after an import that does not succeed.
struct Shown {
    std::vector<TXlsxCellAttr> table;
    std::vector<std::u16string> grid;
    std::vector<int> colWidths, rowHeights;
    std::int32_t col, row;
    std::u16string caption, edit1, edit2, edit3, edit11, label4;
    int progressMax, progressPosition;
    bool operator==(const Shown&) const = default;
};
Shown WhatIsShown(const TForm1& f)
{
    const TForm1State& s = f.State();
    return {f.Table().CellGrid, f.Grid().cells, f.Grid().colWidths, f.Grid().rowHeights, f.Grid().col, f.Grid().row,
            s.caption, s.edit1, s.edit2, s.edit3, s.edit11, s.label4, s.progressMax, s.progressPosition};
}

TEST(Form1, AFailedImportKeepsTheEditedTableAndSaysWhyWithTheCell)
{
    Harness h("import-fail");
    h.Import();
    ASSERT_TRUE(h.s().button4Enabled);
    // The user's edits: a typed text and a hand-set width.
    h.f().StringGrid1SelectCell(3, 2, false);
    h.f().Edit1Change(u"edited");
    h.front.answers = {true};
    h.f().Edit11KeyPress(u"7");
    const Shown before = WhatIsShown(h.f());

    struct Case {
        const char* name;
        std::function<void(FakeBook&)> spoil;
        std::vector<std::u16string> boxes;
    };
    const Case cases[] = {
        {"no spreadsheet", [&](FakeBook&) { h.spreadsheetRunning = false; },
         {std::u16string(kExcelClassInvalid), u"取得に失敗しました."}},
        {"the active sheet refused", [](FakeBook& b) { b.failAt = {"ActiveSheet"}; }, {u"取得に失敗しました."}},
        {"an error value", [](FakeBook& b) { b.cells[{3, 4}].value2 = XlValue::ErrorValue(u"#DIV/0!"); },
         {u"D3: エラー値 #DIV/0!\n取得に失敗しました."}},
        {"mixed font sizes", [](FakeBook& b) { b.cells[{4, 2}].fontSize = XlValue::Null(); },
         {u"B4: 文字ごとにフォントサイズが異なります\n取得に失敗しました."}},
        {"a cell that cannot be read", [](FakeBook& b) { b.failCell = std::make_pair(3, 4); },
         {u"D3: セルを読み取れません: refused by the server\n取得に失敗しました."}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        h.book = SampleBook();
        h.book.bookName = u"other.xlsx";
        h.book.rows = 5; // a new size, so a half-read table would show
        h.spreadsheetRunning = true;
        c.spoil(h.book);
        h.Import();
        EXPECT_EQ(h.front.Texts(), c.boxes);
        EXPECT_TRUE(WhatIsShown(h.f()) == before);
        // The kept table is complete: it can still be drawn.
        EXPECT_TRUE(h.s().button4Enabled);
        EXPECT_TRUE(h.s().button3Enabled);
        EXPECT_TRUE(h.s().tableInput);
    }
    // Before any table, a failed import leaves Button4 disabled.
    Harness empty("import-fail-first");
    empty.spreadsheetRunning = false;
    empty.Import();
    EXPECT_FALSE(empty.s().button4Enabled);
    EXPECT_EQ(empty.f().Grid().colCount, 5);
}

TEST(Form1, WhileAnImportRunsTheTableTakesNoInputAndEscOrACloseCancelsIt)
{
    Harness h("import-cancel");
    h.Import();
    h.f().StringGrid1SelectCell(2, 2, false);
    h.f().Edit1Change(u"mine");
    const Shown before = WhatIsShown(h.f());
    h.book.rows = 3;
    h.book.cells[{2, 2}].text = u"new";

    // Keystrokes, commands and edits that arrive while the rows are read change nothing (on Windows the
    // import lets window messages run), and the controls say they take no input.
    bool inputWhileImporting = true;
    h.front.onProcessEvents = [&] {
        inputWhileImporting = h.s().tableInput;
        h.f().Edit1Change(u"X");
        h.f().StringGrid1SetEditText(1, 1, u"Y");
        h.f().N1Click();
        h.f().EditDelete();
        h.f().SpeedButton1Click(kAlignRight);
        h.f().Button4Click();
        h.f().CancelImport(); // Esc
    };
    h.Import();
    EXPECT_FALSE(inputWhileImporting);
    EXPECT_TRUE(h.front.boxes.empty()); // cancelled by the user: nothing to tell
    EXPECT_TRUE(WhatIsShown(h.f()) == before);
    EXPECT_TRUE(h.s().tableInput);
    EXPECT_TRUE(h.s().button4Enabled);
    EXPECT_FALSE(fs::exists(h.dir / "Gridvane23.dxf"));
    EXPECT_TRUE(h.s().canUndo); // the typing before the import is still there to undo

    // A close request cancels the import and closes the window once it has stopped, keeping the table.
    h.front.onProcessEvents = [&] { EXPECT_FALSE(h.f().FormCloseQuery()); };
    h.Import();
    EXPECT_EQ(h.front.closes, 1);
    EXPECT_TRUE(WhatIsShown(h.f()) == before);
    h.front.onProcessEvents = nullptr;
    EXPECT_TRUE(h.f().FormCloseQuery());

    // Without a cancel the new table replaces the old one and the history starts again.
    Harness fresh("import-replace");
    fresh.Import();
    fresh.f().Edit1Change(u"typed");
    ASSERT_TRUE(fresh.s().canUndo);
    fresh.Import();
    EXPECT_FALSE(fresh.s().canUndo);
    EXPECT_EQ(fresh.Cell(1, 1), u"見出し\n2行");
}

// The fake spreadsheet as a running Calc can answer it: a step refused with a message for the user, or
// a step that waits (the platform tells the form, which may ask to give it up).
class RunningCalcApp : public FakeApp {
public:
    using FakeApp::FakeApp;
    std::u16string selectionRefused;
    std::function<void()> onWorkbookName;
    std::unique_ptr<XlRange> Selection() override
    {
        if (!selectionRefused.empty()) throw XlUserMessage(ToUtf8(selectionRefused), selectionRefused);
        return FakeApp::Selection();
    }
    std::u16string ActiveWorkbookName() override
    {
        if (onWorkbookName) onWorkbookName();
        return FakeApp::ActiveWorkbookName();
    }
};

FoundSpreadsheet Ready(std::function<std::unique_ptr<XlApplication>()> attach)
{
    return {FoundSpreadsheet::Kind::Ready, std::move(attach), {}};
}

TEST(Form1, TheRunningCalcIsImportedFromElseAWorkbookFileIsAskedFor)
{
    Harness h("calc-choice", {}, Harness::WorkbookFiles);
    h.fileBook.bookName = u"ファイル.xlsx";
    h.book.bookName = u"実行中.ods";
    int looks = 0;
    FoundSpreadsheet found; // none running
    h.running = [&](const OutsideWait&) {
        ++looks;
        return found;
    };
    // None runs: the file dialog; cancelled, nothing happens.
    h.Import();
    EXPECT_EQ(h.front.dialogs, 1);
    EXPECT_TRUE(h.front.boxes.empty());
    EXPECT_TRUE(h.opened.empty());
    EXPECT_EQ(h.s().caption, u"Gridvane 2023.02.11");
    h.front.workbook = h.dir / "chosen.xlsx";
    h.Import();
    EXPECT_EQ(h.front.dialogs, 2);
    EXPECT_EQ(h.opened, std::vector<fs::path>{h.dir / "chosen.xlsx"});
    EXPECT_EQ(h.front.Texts(), std::vector<std::u16string>{u" 取得しました."});
    EXPECT_EQ(h.s().caption, u"ファイル.xlsx [表]");

    // One runs with a spreadsheet in front: its selection, without a dialog.
    found = Ready([&] { return std::make_unique<FakeApp>(h.book); });
    h.Import();
    EXPECT_EQ(h.front.dialogs, 2);
    EXPECT_EQ(h.opened.size(), 1u);
    EXPECT_EQ(h.front.Texts(), std::vector<std::u16string>{u" 取得しました."});
    EXPECT_EQ(h.s().caption, u"実行中.ods [表]");
    EXPECT_TRUE(h.s().button4Enabled);
    // A dropped file is imported whatever runs, without looking.
    const int looked = looks;
    h.f().ImportWorkbookFile(h.dir / "dropped.xlsx");
    EXPECT_EQ(looks, looked);
    EXPECT_EQ(h.opened.back(), h.dir / "dropped.xlsx");
    EXPECT_EQ(h.s().caption, u"ファイル.xlsx [表]");

    // One runs but nothing can be imported from it: the reason and the question; No leaves everything,
    // Yes opens the dialog.
    found = {FoundSpreadsheet::Kind::Unusable, {}, u"前面の文書が表ではありません。"};
    const Shown before = WhatIsShown(h.f());
    h.front.answers = {false};
    h.Import();
    ASSERT_EQ(h.front.boxes.size(), 1u);
    EXPECT_TRUE(h.front.boxes[0].question);
    EXPECT_EQ(h.front.boxes[0].text, u"前面の文書が表ではありません。\n\n代わりにブックのファイルを選んで取得しますか？");
    EXPECT_EQ(h.front.boxes[0].caption, u"確認");
    EXPECT_EQ(h.front.dialogs, 2);
    EXPECT_TRUE(WhatIsShown(h.f()) == before);
    EXPECT_TRUE(h.s().button3Enabled);
    h.front.answers = {true};
    h.front.workbook = h.dir / "instead.xlsx";
    h.Import();
    EXPECT_EQ(h.front.dialogs, 3);
    EXPECT_EQ(h.opened.back(), h.dir / "instead.xlsx");
    EXPECT_EQ(h.front.Texts(), (std::vector<std::u16string>{h.front.boxes[0].text, u" 取得しました."}));
}

TEST(Form1, EachFailureOfTheRunningCalcIsToldAndKeepsTheTable)
{
    Harness h("calc-fail", {}, Harness::WorkbookFiles);
    std::function<std::unique_ptr<XlApplication>()> attach;
    h.running = [&](const OutsideWait&) { return Ready(attach); };
    attach = [&] { return std::make_unique<FakeApp>(h.book); };
    h.Import();
    h.f().StringGrid1SelectCell(2, 2, false);
    h.f().Edit1Change(u"edited");
    const Shown before = WhatIsShown(h.f());
    struct Case {
        const char* name;
        std::function<std::unique_ptr<XlApplication>()> attach;
        std::u16string message;
    };
    const std::u16string gone = u"LibreOffice Calc が起動していません。";
    const std::u16string areas = u"複数の範囲が選択されています。一つの範囲を選択してください。";
    const std::u16string closed = u"取得中に LibreOffice Calc との接続が切れました。";
    const std::u16string silent = u"LibreOffice Calc が応答しません。";
    const Case cases[] = {
        {"closed between the look and the import",
         [&]() -> std::unique_ptr<XlApplication> { throw Error("LibreOffice Calc is not running", gone); }, gone},
        {"several areas",
         [&] {
             auto app = std::make_unique<RunningCalcApp>(h.book);
             app->selectionRefused = areas;
             return app;
         },
         areas},
        {"closed during the import",
         [&] {
             h.book.cells[{3, 4}].value2Message = closed;
             return std::make_unique<FakeApp>(h.book);
         },
         closed},
        {"no answer",
         [&] {
             h.book.cells[{4, 2}].value2Message = silent;
             return std::make_unique<FakeApp>(h.book);
         },
         silent},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        h.book = SampleBook();
        h.book.bookName = u"other.ods";
        h.book.rows = 5;
        attach = c.attach;
        h.Import();
        EXPECT_EQ(h.front.Texts(), (std::vector<std::u16string>{c.message, u"取得に失敗しました."}));
        EXPECT_TRUE(WhatIsShown(h.f()) == before);
        EXPECT_TRUE(h.s().button4Enabled);
        EXPECT_TRUE(h.s().tableInput);
        EXPECT_EQ(h.front.dialogs, 0);
    }
}

TEST(Form1, WhileTheRunningCalcIsAwaitedTheStatusLineSaysSoAndEscGivesUp)
{
    Harness h("calc-wait", {}, Harness::WorkbookFiles);
    TForm1& f = h.f();
    const std::u16string waitText = u"LibreOffice Calc の応答を待っています… (Esc で中止)";
    // A look that waits: the status line says so while the window paints; clicks do nothing meanwhile.
    int looks = 0;
    std::vector<std::u16string> label4While;
    h.running = [&](const OutsideWait& wait) {
        ++looks;
        for (int tick = 0; tick < 3; ++tick) {
            const int painted = h.front.processEvents;
            EXPECT_FALSE(wait(OutsideProgram::Calc, true));
            EXPECT_EQ(h.front.processEvents, painted + 1);
            label4While.push_back(h.s().label4);
            EXPECT_FALSE(h.s().button3Enabled || h.s().button4Enabled || h.s().tableInput);
            f.Button3Click();
        }
        wait(OutsideProgram::Calc, false);
        return Ready([&] { return std::make_unique<FakeApp>(h.book); });
    };
    h.Import();
    EXPECT_EQ(looks, 1);
    EXPECT_EQ(label4While, std::vector<std::u16string>(3, waitText));
    EXPECT_EQ(h.front.Texts(), std::vector<std::u16string>{u" 取得しました."});
    EXPECT_EQ(h.s().label4, u"全体: W=120.000 x H=25.800");
    const Shown before = WhatIsShown(f);

    // Esc while the look waits: it is given up, and nothing follows: no message, no dialog.
    h.running = [&](const OutsideWait& wait) {
        wait(OutsideProgram::Calc, true);
        f.CancelImport();
        EXPECT_TRUE(wait(OutsideProgram::Calc, true));
        wait(OutsideProgram::Calc, false);
        return FoundSpreadsheet{FoundSpreadsheet::Kind::Unusable, {}, u"LibreOffice Calc が応答しません。"};
    };
    h.Import();
    EXPECT_TRUE(h.front.boxes.empty());
    EXPECT_EQ(h.front.dialogs, 0);
    EXPECT_TRUE(WhatIsShown(f) == before);
    EXPECT_TRUE(h.s().button3Enabled && h.s().button4Enabled && h.s().tableInput);

    // Esc while a call of the import waits: the call is given up and the import ends without a word.
    h.running = [&](const OutsideWait& wait) {
        return Ready([&, wait] {
            auto app = std::make_unique<RunningCalcApp>(h.book);
            app->onWorkbookName = [wait, &f] {
                wait(OutsideProgram::Calc, true);
                f.CancelImport();
                const bool stop = wait(OutsideProgram::Calc, true);
                wait(OutsideProgram::Calc, false);
                if (stop) throw XlUserMessage("no answer", u"LibreOffice Calc が応答しません。");
            };
            return app;
        });
    };
    h.book.bookName = u"other.ods";
    h.Import();
    EXPECT_TRUE(h.front.boxes.empty());
    EXPECT_TRUE(WhatIsShown(f) == before);
    EXPECT_TRUE(h.s().tableInput);

    // A close while the look waits: given up, and the window closes; the table is kept until then.
    h.running = [&](const OutsideWait& wait) {
        wait(OutsideProgram::Calc, true);
        EXPECT_FALSE(f.FormCloseQuery());
        EXPECT_TRUE(wait(OutsideProgram::Calc, true));
        wait(OutsideProgram::Calc, false);
        return FoundSpreadsheet{};
    };
    h.Import();
    EXPECT_EQ(h.front.closes, 1);
    EXPECT_EQ(h.front.dialogs, 0);
    EXPECT_FALSE(f.Table().Empty());
    EXPECT_TRUE(f.FormCloseQuery());
}

TEST(Form1, SizeEditsAskAndSetWholeColumnsRowsOrCells)
{
    Harness h("sizes");
    h.Import();
    TForm1& f = h.f();
    f.StringGrid1SelectCell(2, 2, false);
    f.StringGrid1SelectCell(3, 3, true); // columns 2..3, rows 2..3
    EXPECT_EQ(f.Grid().selection.left, 2);
    EXPECT_EQ(f.Grid().selection.bottom, 3);

    struct Case {
        int box;
        std::u16string text;
        bool yes;
        bool asks;
        std::u16string question; // or the message that the text is not a positive number
    };
    const Case cases[] = {
        {0, u"0", true, false, u"列幅には 0 より大きい数を入力してください。"},
        {0, u"-2", true, false, u"列幅には 0 より大きい数を入力してください。"},
        {1, u"abc", true, false, u"行高さには 0 より大きい数を入力してください。"},
        {2, u"", true, false, u"文字高さには 0 より大きい数を入力してください。"},
        {0, u"12.5", false, true, u"選択範囲の列幅を変更しますか？"},
        {0, u"１２．５", true, true, u"選択範囲の列幅を変更しますか？"}, // typed through an input method
        {1, u"4", true, true, u"選択範囲の行高さを変更しますか？"},
        {2, u" 1.25 ", true, true, u"選択範囲の文字高さを変更しますか？"},
    };
    for (const Case& c : cases) {
        h.front.boxes.clear();
        h.front.answers = {c.yes};
        const CellTable before = f.Table();
        if (c.box == 0) f.Edit11KeyPress(c.text);
        if (c.box == 1) f.Edit12KeyPress(c.text);
        if (c.box == 2) f.Edit13KeyPress(c.text);
        ASSERT_EQ(h.front.boxes.size(), 1u) << ToUtf8(c.text);
        EXPECT_EQ(h.front.boxes[0].question, c.asks);
        if (!c.asks) {
            // Said, and nothing changed; the box keeps the text to be corrected.
            EXPECT_EQ(h.front.boxes[0].text, c.question);
            EXPECT_EQ(h.front.boxes[0].owner, MessageOwner::Grid);
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
        EXPECT_DOUBLE_EQ(t.At(0, c).drawH, 8.6);
        EXPECT_EQ(t.At(1, c).drawH, 4); // every column of rows 2 and 3
        EXPECT_EQ(t.At(2, c).drawH, 4);
    }
    EXPECT_EQ(t.At(1, 2).drawTH, 1.25); // only the selected cells
    EXPECT_DOUBLE_EQ(t.At(0, 2).drawTH, 2.7);
    EXPECT_DOUBLE_EQ(t.At(1, 3).drawTH, 2.7);
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
    // The raised button follows the current cell at once.
    EXPECT_EQ(h.s().speedRaised, (std::array<bool, 3>{false, true, false}));
    f.StringGrid1SelectCell(1, 3, false);
    EXPECT_EQ(h.s().speedRaised, (std::array<bool, 3>{false, false, false}));
    f.SpeedButton1Click(kAlignRight);
    EXPECT_EQ(h.s().speedRaised, (std::array<bool, 3>{false, false, true}));
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
    // Replace: cancelled changes nothing; executed counts the cells it changed.
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
    EXPECT_EQ(h.front.boxes[0].text, u"1 個の文字列を置換しました."); // the cells it changed
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

TEST(Form1, ApplySettingsTakesNumbersAsTypedAndRefusesFactorsThatAreNotPositive)
{
    Harness h("apply");
    TForm1& f = h.f();
    f.SettingsEditChange(2, u"abc");
    f.Button1Click(); // no table: nothing asked, nothing changed
    EXPECT_TRUE(h.front.boxes.empty());
    EXPECT_EQ(f.Settings().cadXsc, 3);
    h.Import();
    const TSettings loaded = f.Settings();
    const CellTable imported = f.Table();

    struct Refusal {
        int edit;
        std::u16string text, message;
    };
    const Refusal refusals[] = {
        {2, u"abc", u"CAD, DXF の X 尺度 には 0 より大きい数を入力してください: \"abc\"\n設定は変更していません。"},
        {3, u"-1", u"CAD, DXF の Y 尺度 には 0 より大きい数を入力してください: \"-1\"\n設定は変更していません。"},
        {0, u"0", u"表示の X 尺度 には 0 より大きい数を入力してください: \"0\"\n設定は変更していません。"},
        {4, u"", u"文字尺度 には 0 より大きい数を入力してください: \"\"\n設定は変更していません。"},
        {5, u"-0.1", u"文字基点オフセット X 尺度 には 0 以上の数を入力してください: \"-0.1\"\n設定は変更していません。"},
    };
    for (const Refusal& r : refusals) {
        SCOPED_TRACE(ToUtf8(r.text));
        const std::u16string loadedTexts[] = {u"20", u"3", u"3", u"0.43", u"0.27", u"0.8"};
        for (int i = 0; i < 6; ++i) f.SettingsEditChange(i, loadedTexts[i]);
        f.SettingsEditChange(r.edit, r.text);
        h.front.boxes.clear();
        h.front.answers = {true};
        f.Button1Click();
        ASSERT_EQ(h.front.boxes.size(), 1u); // said, and not asked
        EXPECT_EQ(h.front.boxes[0].text, r.message);
        EXPECT_FALSE(h.front.boxes[0].question);
        EXPECT_TRUE(f.Settings() == loaded);
        EXPECT_EQ(f.Table().CellGrid, imported.CellGrid);
        EXPECT_EQ(h.s().settingsEdits[static_cast<std::size_t>(r.edit)], r.text); // kept to be corrected
    }

    // Full-width digits from an input method, blanks around; a text inset of 0; answered No, then Yes.
    f.SettingsEditChange(2, u"１０");
    f.SettingsEditChange(3, u" ０．５ ");
    f.SettingsEditChange(4, u"0.27");
    f.SettingsEditChange(5, u"0");
    f.SettingsEditChange(6, u" 7 ");
    f.StringGrid1SelectCell(2, 2, false);
    h.front.answers = {true};
    f.Edit11KeyPress(u"99"); // a hand-set width, reset by the apply
    h.front.boxes.clear();
    h.front.answers = {false, true};
    f.Button1Click();
    EXPECT_TRUE(f.Settings() == loaded);
    f.Button1Click();
    ASSERT_EQ(h.front.boxes.size(), 2u);
    EXPECT_EQ(h.front.boxes[0].text,
              u"尺度を更新すると個別に設定した列幅、列高さ、文字高さがリセット（再計算）されます．\r設定を更新しますか？");
    EXPECT_EQ(h.front.boxes[0].owner, MessageOwner::MainWindow);
    EXPECT_EQ(f.Settings().cadXsc, 10);
    EXPECT_EQ(f.Settings().cadYsc, 0.5);
    EXPECT_EQ(f.Settings().cadTof, 0);
    EXPECT_EQ(f.Settings().cellLineColor, 7);
    EXPECT_EQ(h.s().settingsEdits[2], u"１０");
    EXPECT_EQ(f.Table().At(0, 0).drawW, 100);
    EXPECT_EQ(f.Table().At(1, 1).drawW, 100);
    EXPECT_EQ(h.s().summary[2][1], u"100.000 (100.000～100.000)");
    // The total in the status line and the current cell's boxes are those of the new sizes.
    EXPECT_EQ(h.s().label4, u"全体: W=400.000 x H=30.000");
    EXPECT_EQ(h.s().edit11, u"100.000");
    EXPECT_EQ(h.s().edit12, u"10.000");
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

// ---- undo, the clipboard -----------------------------------------------------------------------------

// What a step may change: the grid's texts, the table, the settings.
struct TableState {
    std::vector<std::u16string> texts;
    std::vector<TXlsxCellAttr> cells;
    TSettings settings;
    bool operator==(const TableState&) const = default;
};
TableState StateOf(const TForm1& f) { return {f.Grid().cells, f.Table().CellGrid, f.Settings()}; }

TEST(Form1, EveryKindOfChangeIsUndoneAndRedoneAsOneStep)
{
    struct Case {
        const char* name;
        std::function<void(Harness&)> change;
        std::function<void(Harness&)> before = nullptr; // a step of its own first
    };
    const Case cases[] = {
        {"typing into Edit1, key by key", [](Harness& h) {
             h.f().StringGrid1SelectCell(2, 2, false);
             for (const char16_t* typed : {u"r3c3x", u"r3c3xy", u"r3c3xyz"}) h.f().Edit1Change(typed);
         }},
        {"typing into the grid's editor", [](Harness& h) {
             h.f().StringGrid1SetEditText(3, 3, u"n");
             h.f().StringGrid1SetEditText(3, 3, u"ne");
             h.f().StringGrid1SetEditText(3, 3, u"new");
         }},
        {"a width conversion", [](Harness& h) {
             h.f().StringGrid1FixedCellClick(0, 0);
             h.f().N1Click();
         }},
        {"the replace", [](Harness& h) {
             h.f().StringGrid1FixedCellClick(0, 0);
             h.front.typeIntoReplaceDialog = true;
             h.front.typeSearch = u"r";
             h.front.typeReplacement = u"R";
             h.front.replaceResults = {true};
             h.f().N4Click();
         }},
        {"a column width", [](Harness& h) {
             h.f().StringGrid1SelectCell(2, 2, false);
             h.front.answers = {true};
             h.f().Edit11KeyPress(u"12.5");
         }},
        {"a text height", [](Harness& h) {
             h.f().StringGrid1FixedCellClick(0, 3);
             h.front.answers = {true};
             h.f().Edit13KeyPress(u"9");
         }},
        {"an alignment", [](Harness& h) {
             h.f().StringGrid1FixedCellClick(3, 0);
             h.f().SpeedButton1Click(kAlignCenter);
         }},
        {"the settings applied over a hand-set height",
         [](Harness& h) {
             h.f().SettingsEditChange(2, u"5");
             h.front.answers = {true};
             h.f().Button1Click();
         },
         [](Harness& h) {
             h.front.answers = {true};
             h.f().Edit12KeyPress(u"33");
         }},
        {"Delete", [](Harness& h) {
             h.f().StringGrid1SelectCell(2, 2, false);
             h.f().StringGrid1SelectCell(4, 3, true);
             h.f().EditDelete();
         }},
        {"a paste", [](Harness& h) {
             h.f().StringGrid1SelectCell(3, 2, false);
             h.f().PasteText(u"p\tq\r\ns\tt\r\nclipped\r\n");
         }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Harness h("undo");
        h.Import();
        EXPECT_FALSE(h.s().canUndo); // an import starts the history afresh
        if (c.before) c.before(h);
        const TableState before = StateOf(h.f());
        c.change(h);
        const TableState after = StateOf(h.f());
        EXPECT_NE(before, after);
        h.f().EditUndo();
        EXPECT_TRUE(StateOf(h.f()) == before);
        EXPECT_TRUE(h.s().canRedo);
        h.f().EditRedo();
        EXPECT_TRUE(StateOf(h.f()) == after);
        EXPECT_FALSE(h.s().canRedo);
        h.f().EditUndo();
        EXPECT_TRUE(StateOf(h.f()) == before);
        // Edit1 and the size boxes show the current cell as it is now.
        EXPECT_EQ(h.s().edit1, h.Cell(h.f().Grid().col, h.f().Grid().row));
        if (const TXlsxCellAttr* cell = h.f().ModelCell(h.f().Grid().col, h.f().Grid().row)) {
            EXPECT_EQ(h.s().edit11, FormatFixed3(cell->drawW, u'.'));
        }
    }
    // Each step once: the imported table again.
    Harness h("undo-all");
    h.Import();
    const TableState imported = StateOf(h.f());
    for (const Case& c : cases) {
        if (c.before) c.before(h);
        c.change(h);
    }
    int steps = 0;
    while (h.s().canUndo) {
        h.f().EditUndo();
        ++steps;
    }
    // The settings case holds two steps; the replace, after the conversion to full width, finds no "r".
    EXPECT_EQ(steps, 10);
    EXPECT_TRUE(StateOf(h.f()) == imported);
    EXPECT_EQ(h.s().label4, u"全体: W=120.000 x H=25.800"); // the status line follows the sizes back
    // A new change after an undo: nothing left to redo.
    h.f().EditRedo();
    h.f().StringGrid1SetEditText(1, 2, u"other");
    EXPECT_FALSE(h.s().canRedo);
}

TEST(Form1, TypingIsOneStepPerCellAndTypingBackIsNone)
{
    Harness h("typing");
    h.Import();
    TForm1& f = h.f();
    f.StringGrid1SelectCell(2, 2, false);
    f.Edit1Change(u"a");
    f.Edit1Change(u"ab");
    f.StringGrid1SelectCell(3, 2, false); // another cell: another step
    f.Edit1Change(u"c");
    f.StringGrid1SelectCell(3, 2, false); // clicked again: the next keystrokes are a step of their own
    f.Edit1Change(u"cd");
    f.EditUndo();
    EXPECT_EQ(h.Cell(3, 2), u"c");
    f.EditUndo();
    EXPECT_EQ(h.Cell(3, 2), u"r3c4");
    EXPECT_EQ(h.Cell(2, 2), u"ab");
    EXPECT_EQ(h.s().edit1, u"r3c4");
    f.EditUndo();
    EXPECT_EQ(h.Cell(2, 2), u"r3c3");
    EXPECT_FALSE(h.s().canUndo);
    // The grid's editor taken back with Esc writes the old text again: no step is left.
    f.EditRedo();
    f.StringGrid1SetEditText(4, 3, u"x");
    f.StringGrid1SetEditText(4, 3, u"r4c5");
    f.EditUndo();
    EXPECT_EQ(h.Cell(2, 2), u"r3c3"); // the undo took back the redone typing, not an empty step
    // Edit1's colour follows the text as it is typed.
    f.Edit1Change(u"a\nb");
    EXPECT_TRUE(h.s().edit1Red);
    f.Edit1Change(u"ab");
    EXPECT_FALSE(h.s().edit1Red);
}

TEST(Form1, CopyPasteAndDeleteWorkOnTheSelection)
{
    Harness h("clipboard");
    h.Import();
    TForm1& f = h.f();
    f.StringGrid1SetEditText(1, 2, u"tab\there");
    f.StringGrid1SetEditText(2, 2, u"say \"hi\"");
    f.StringGrid1SelectCell(1, 2, false);
    f.StringGrid1SelectCell(3, 3, true);
    f.EditCopy();
    EXPECT_EQ(h.front.clipboard, u"\"tab\there\"\t\"say \"\"hi\"\"\"\tr3c4\r\nr4c2\tr4c3\tr4c4\r\n");
    // A merged area's text, with its line break.
    f.StringGrid1FixedCellClick(0, 1);
    f.EditCopy();
    EXPECT_EQ(h.front.clipboard, u"\"見出し\n2行\"\t\tr2c4\tr2c5\r\n");

    // Pasted from the current cell on, clipped to the grid, selected; one step to undo.
    h.front.clipboard = u"\"tab\there\"\t\"say \"\"hi\"\"\"\tr3c4\r\nr4c2\tr4c3\tr4c4\r\n";
    f.StringGrid1SelectCell(3, 2, false);
    f.EditPaste();
    EXPECT_EQ(h.Cell(3, 2), u"tab\there");
    EXPECT_EQ(h.Cell(4, 2), u"say \"hi\"");
    EXPECT_EQ(h.Cell(3, 3), u"r4c2");
    EXPECT_EQ(h.Cell(4, 3), u"r4c3");
    EXPECT_EQ(f.Grid().colCount, 5); // nothing beyond the table
    EXPECT_EQ(f.Grid().selection.left, 3);
    EXPECT_EQ(f.Grid().selection.bottom, 3);
    EXPECT_EQ(h.s().edit1, u"tab\there");
    f.EditUndo();
    EXPECT_EQ(h.Cell(3, 2), u"r3c4");
    EXPECT_EQ(h.Cell(4, 3), u"r4c5");
    // An empty clipboard pastes nothing and makes no step.
    h.front.clipboard.clear();
    f.EditRedo();
    f.EditPaste();
    f.EditUndo();
    EXPECT_EQ(h.Cell(3, 2), u"r3c4");

    // Delete empties the selected texts, the model keeps the imported ones.
    f.StringGrid1FixedCellClick(2, 0);
    f.EditDelete();
    for (int r = 1; r <= 3; ++r) EXPECT_EQ(h.Cell(2, r), u"") << r;
    EXPECT_EQ(f.Table().At(2, 1).str, u"r4c3");
    EXPECT_EQ(h.s().edit1, u"");
}

TEST(Form1, TheReplaceCountsTheCellsItChanged)
{
    Harness h("truth");
    h.Import();
    TForm1& f = h.f();
    // The replace counts the cells it changed: one of twelve.
    f.StringGrid1FixedCellClick(0, 0);
    h.front.typeIntoReplaceDialog = true;
    h.front.typeSearch = u"r3c4";
    h.front.typeReplacement = u"X";
    h.front.replaceResults = {true, true};
    h.front.boxes.clear();
    f.N4Click();
    ASSERT_EQ(h.front.boxes.size(), 1u);
    EXPECT_EQ(h.front.boxes[0].text, u"1 個の文字列を置換しました.");
    f.N4Click(); // again: nothing left to replace
    EXPECT_EQ(h.front.boxes[1].text, u"0 個の文字列を置換しました.");
}

TEST(Form1, InsertingSaysWhereTheDrawingIsAndIgnoresClicksUntilItHasEnded)
{
    Harness h("insert");
    h.Import();
    TForm1& f = h.f();
    const std::u16string path = (h.dir / "Gridvane23.dxf").u16string();
    // No CAD: the status line says where the drawing is; no box.
    h.cadRunning = false;
    h.front.boxes.clear();
    f.Button4Click();
    EXPECT_TRUE(h.front.boxes.empty());
    EXPECT_EQ(h.s().label4, u"Plotra が起動していないため、図面をファイルに保存しました: " + path);
    EXPECT_TRUE(fs::exists(h.dir / "Gridvane23.dxf"));
    EXPECT_TRUE(h.inserted.empty());

    // A CAD that is busy: its calls wait; meanwhile the window paints and says so, and clicks on either
    // button, or a close, do nothing until the insertion has ended.
    h.cadRunning = true;
    std::vector<std::u16string> label4While;
    std::vector<std::pair<bool, bool>> buttonsWhile;
    int insertions = 0;
    const int rangeCalls = h.book.rangeCalls;
    h.insertFails = [&] {
        ++insertions;
        for (int attempt = 0; attempt < 3; ++attempt) {
            const int painted = h.front.processEvents;
            f.OutsideCallWaiting(OutsideProgram::Cad, true);
            EXPECT_EQ(h.front.processEvents, painted + 1);
            label4While.push_back(h.s().label4);
            buttonsWhile.push_back({h.s().button3Enabled, h.s().button4Enabled});
            f.Button4Click();
            f.Button3Click();
        }
        EXPECT_FALSE(f.FormCloseQuery());
        f.OutsideCallWaiting(OutsideProgram::Cad, false);
    };
    f.Button4Click();
    EXPECT_EQ(insertions, 1);
    EXPECT_EQ(h.inserted.size(), 1u);
    EXPECT_EQ(h.book.rangeCalls, rangeCalls); // no import started
    ASSERT_EQ(label4While.size(), 3u);
    for (const std::u16string& l : label4While) EXPECT_EQ(l, u"Plotra が処理中です。応答を待っています…");
    for (const auto& [b3, b4] : buttonsWhile) EXPECT_FALSE(b3 || b4);
    EXPECT_EQ(h.s().label4, u"図面を Plotra に渡しました。Plotra で挿入点を指示してください: " + path);
    EXPECT_TRUE(h.s().button3Enabled);
    EXPECT_TRUE(h.s().button4Enabled);
    EXPECT_EQ(h.front.closes, 1); // the close asked for while it waited
    EXPECT_TRUE(h.front.boxes.empty());

    // A call that fails after waiting: the error box, the status line as it was before the wait.
    h.front.closes = 0;
    f.ShowWHSize();
    h.insertFails = [&] {
        f.OutsideCallWaiting(OutsideProgram::Cad, true);
        throw Error("the CAD refused the command");
    };
    f.Button4Click();
    ASSERT_EQ(h.front.boxes.size(), 1u);
    EXPECT_EQ(h.s().label4, u"全体: W=120.000 x H=25.800");
    EXPECT_TRUE(h.s().button4Enabled);
    EXPECT_EQ(h.front.closes, 0);
    // The spreadsheet's wait during an import is told the same way.
    h.insertFails = nullptr;
    std::u16string waiting;
    bool waited = false;
    h.front.onProcessEvents = [&] {
        if (!waited) {
            waited = true;
            f.OutsideCallWaiting(OutsideProgram::Spreadsheet, true);
            waiting = h.s().label4;
            f.OutsideCallWaiting(OutsideProgram::Spreadsheet, false);
        }
    };
    h.Import();
    EXPECT_EQ(waiting, u"Excel が処理中です。応答を待っています…");
    EXPECT_EQ(h.s().label4, u"全体: W=120.000 x H=25.800");
}

TEST(Form1, TheWindowsPlaceIsSavedInItsOwnSection)
{
    Harness h("placement", "[PlotraTlsx]\r\ncadYsc=0.5\r\n[Other]\r\nkey=kept\r\n");
    EXPECT_FALSE(h.f().SavedPlacement().has_value());
    h.f().WindowPlaced({-20, 40, 700, 500, true});
    ASSERT_TRUE(h.f().FormCloseQuery());
    std::ifstream in(h.dir / "Gridvane23.ini", std::ios::binary);
    const std::string ini((std::istreambuf_iterator<char>(in)), {});
    EXPECT_EQ(ini, "[PlotraTlsx]\r\ncadYsc=0.5\r\ncolXsc=20\r\nrowYsc=3\r\ncadXsc=3\r\ncadTsc=0.27\r\ncadTof=0.8\r\n"
                   "cellLineColor=252\r\ncellLineDraw=1\r\nxlsVerNum=16\r\n[Other]\r\nkey=kept\r\n"
                   "[Window]\r\nLeft=-20\r\nTop=40\r\nWidth=700\r\nHeight=500\r\nMaximized=1\r\n");
    RecordingFrontEnd front;
    FormPlatform p;
    p.iniPath = h.dir / "Gridvane23.ini";
    TForm1 again(p, front);
    ASSERT_TRUE(again.SavedPlacement().has_value());
    EXPECT_EQ(*again.SavedPlacement(), (TWindowPlacement{-20, 40, 700, 500, true}));
    EXPECT_EQ(again.Settings().cadYsc, 0.5);
}

TEST(Form1, AMergedAreaIsOneCellForClicksAndKeys)
{
    Harness h("merged");
    h.book.Merge(3, 4, 4, 5);
    for (int r = 3; r <= 4; ++r)
        for (int c = 4; c <= 5; ++c) h.book.cells[{r, c}].left = 99;
    h.Import();
    TForm1& f = h.f();
    const std::vector<GridSelection> areas = f.MergedAreas();
    ASSERT_EQ(areas.size(), 2u);
    auto corners = [](const GridSelection& s) { return std::array{s.left, s.top, s.right, s.bottom}; };
    EXPECT_EQ(corners(areas[0]), (std::array{1, 1, 2, 1}));
    EXPECT_EQ(corners(areas[1]), (std::array{3, 2, 4, 3}));
    EXPECT_FALSE(f.MergedAreaAt(1, 2).has_value());
    EXPECT_EQ(corners(*f.MergedAreaAt(4, 3)), corners(areas[1]));

    // A click on a covered cell: the anchor is current and the whole area selected.
    f.StringGrid1SelectCell(4, 3, false);
    EXPECT_EQ(f.Grid().col, 3);
    EXPECT_EQ(f.Grid().row, 2);
    EXPECT_EQ(corners(f.Grid().selection), corners(areas[1]));
    EXPECT_EQ(h.s().edit1, h.Cell(3, 2));
    // A range never cuts an area: it grows to take it whole.
    f.StringGrid1SelectCell(2, 2, false);
    f.StringGrid1SelectCell(3, 2, true);
    EXPECT_EQ(corners(f.Grid().selection), (std::array{2, 2, 4, 3}));
    f.StringGrid1SelectRange(2, 1, GridSelection{2, 1, 2, 2});
    EXPECT_EQ(corners(f.Grid().selection), (std::array{1, 1, 2, 2}));
    // The keys step over an area.
    EXPECT_EQ(f.GridStep(3, 2, 1, 0), std::make_pair(4, 2)); // the last column; clamped inside the grid
    EXPECT_EQ(f.GridStep(3, 2, 0, 1), std::make_pair(3, 3)); // the last row
    EXPECT_EQ(f.GridStep(1, 1, 1, 0), std::make_pair(3, 1));
    EXPECT_EQ(f.GridStep(2, 3, 1, 0), std::make_pair(3, 3));
    EXPECT_EQ(f.GridStep(3, 3, -1, 0), std::make_pair(2, 3));
    // A header click keeps the view where it is; a click on a cell brings the current cell into view.
    f.StringGrid1FixedCellClick(2, 0);
    EXPECT_FALSE(f.Grid().scrollToCurrent);
    // A column whose last cell an area covers: the area's anchor is current, the cell Edit1 shows.
    f.StringGrid1FixedCellClick(4, 0);
    EXPECT_EQ(corners(f.Grid().selection), (std::array{4, 1, 4, 3}));
    EXPECT_EQ(f.Grid().col, 3);
    EXPECT_EQ(f.Grid().row, 2);
    EXPECT_EQ(h.s().edit1, h.Cell(3, 2));
    f.StringGrid1SelectCell(1, 2, false);
    EXPECT_TRUE(f.Grid().scrollToCurrent);
}

TEST(Form1, TheDrawingPagesZoomStaysWithinLimits)
{
    Harness h("zoom");
    h.Import();
    h.f().PageControl1Change(kPageDrawing);
    h.f().PreviewResize(600, 400);
    const TPreviewState& p = h.f().Preview();
    const double fitted = p.view.scale;
    ASSERT_GT(p.smallestText, 0);
    for (int i = 0; i < 100; ++i) h.f().PreviewWheel(300, 200, -120);
    EXPECT_NEAR(h.f().Preview().view.scale, fitted / 10, 1e-9);
    for (int i = 0; i < 200; ++i) h.f().PreviewWheel(300, 200, 120);
    EXPECT_NEAR(h.f().Preview().view.scale, 400 / p.smallestText, 1e-9); // the smallest text as high as the area
    EXPECT_GT(h.f().Preview().view.scale, fitted * 10);
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
        std::u16string_view key;
        bool (TForm1::*enabled)() const;
    };
    const Expect expected[] = {
        {1, u"半角->全角", &TForm1::N1Click, u"", nullptr},
        {12, u"半角->全角（数字のみの文字列は除外）", &TForm1::N12Click, u"", nullptr},
        {5, u"半角カナ->全角", &TForm1::N5Click, u"", nullptr},
        {3, u"", nullptr, u"", nullptr},
        {2, u"全角->半角", &TForm1::N2Click, u"", nullptr},
        {6, u"全角数字->半角", &TForm1::N6Click, u"", nullptr},
        {7, u"全角アルファベット->半角", &TForm1::N7Click, u"", nullptr},
        {8, u"", nullptr, u"", nullptr},
        {9, u"代替文字を含む禁止文字->半角", &TForm1::N9Click, u"", nullptr},
        {10, u"", nullptr, u"", nullptr},
        {4, u"置換", &TForm1::N4Click, u"", nullptr},
        {13, u"", nullptr, u"", nullptr},
        {14, u"元に戻す", &TForm1::EditUndo, u"Ctrl+Z", &TForm1::CanUndo},
        {15, u"やり直し", &TForm1::EditRedo, u"Ctrl+Y", &TForm1::CanRedo},
        {16, u"", nullptr, u"", nullptr},
        {17, u"コピー", &TForm1::EditCopy, u"Ctrl+C", nullptr},
        {18, u"貼り付け", &TForm1::EditPaste, u"Ctrl+V", nullptr},
        {19, u"削除", &TForm1::EditDelete, u"Del", nullptr},
    };
    const auto items = PopupMenu1Items();
    ASSERT_EQ(items.size(), std::size(expected));
    for (std::size_t i = 0; i < items.size(); ++i) {
        EXPECT_EQ(items[i].number, expected[i].number) << i;
        EXPECT_EQ(items[i].caption, expected[i].caption) << i;
        EXPECT_TRUE(items[i].handler == expected[i].handler) << "N" << items[i].number;
        EXPECT_EQ(items[i].key, expected[i].key) << i;
        EXPECT_TRUE(items[i].enabled == expected[i].enabled) << "N" << items[i].number;
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
