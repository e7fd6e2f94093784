// The import and the insertion across processes, against the stand-in spreadsheet and CAD (separate
// programs registered in the Wine prefix by scripts/test-windows.sh): proxies, type-checked calls, a
// server that is busy for a while or for good or rejects calls, one that runs but cannot be reached, one
// that refuses the user's locale, several spreadsheets running at once, and a minimised CAD window.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <windows.h>
#include <oleauto.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "base/Error.h"
#include "base/Utf.h"
#include "cad/CadInsertion.h"
#include "com/ComApartmentWin.h"
#include "com/DispatchWin.h"
#include "excel/ExcelAutomationWin.h"
#include "excel/ExcelImport.h"
#include "layout/TableLayout.h"
#include "tests/support/PerCellImport.h"
#include "tests/windows/standin/StandInClient.h"
#include "tests/windows/standin/StandInSheets.h"

namespace gridvane {
namespace {

using standin::AttachRunning;
using standin::BesideThisProgram;

// Application.GvControl(command) of the running stand-in.
std::wstring Control(const wchar_t* progId, const std::wstring& command)
{
    IDispatch* app = AttachRunning(progId);
    if (app == nullptr)
        return L"(not running)";
    std::wstring answer;
    standin::Control(app, command, answer);
    app->Release();
    return answer;
}

// One stand-in process for the life of the object; it is asked to quit at the end. With a window title, the
// spreadsheet's instance whose visible main window has that title (one of several running): waited for
// and closed by its window.
class StandIn {
public:
    StandIn(const wchar_t* exe, const wchar_t* progId, const std::wstring& args, bool waitForRot = true,
            std::wstring windowTitle = {})
        : progId_(progId), inRot_(waitForRot && windowTitle.empty()), title_(std::move(windowTitle))
    {
        std::wstring command = L"\"" + BesideThisProgram(exe) + L"\" " + args;
        STARTUPINFOW si{};
        si.cb = sizeof si;
        ok_ = CreateProcessW(nullptr, command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &process_);
        const ULONGLONG end = GetTickCount64() + 20000;
        while (ok_ && GetTickCount64() < end) {
            if (!title_.empty()) {
                if (const HWND w = FindWindowW(L"XLMAIN", title_.c_str()); w != nullptr && IsWindowVisible(w))
                    return;
            } else if (waitForRot) {
                if (IDispatch* d = AttachRunning(progId)) {
                    d->Release();
                    return;
                }
            } else if (FindWindowW(L"XLMAIN", nullptr) != nullptr) {
                return;
            }
            if (WaitForSingleObject(process_.hProcess, 100) == WAIT_OBJECT_0)
                break;
        }
        ok_ = false;
    }
    ~StandIn()
    {
        if (process_.hProcess == nullptr)
            return;
        if (inRot_)
            Control(progId_, L"quit");
        if (WaitForSingleObject(process_.hProcess, inRot_ ? 10000 : 0) != WAIT_OBJECT_0) {
            if (HWND w = FindWindowW(L"XLMAIN", title_.empty() ? nullptr : title_.c_str()))
                PostMessageW(w, WM_CLOSE, 0, 0);
            if (WaitForSingleObject(process_.hProcess, 5000) != WAIT_OBJECT_0)
                TerminateProcess(process_.hProcess, 1);
        }
        CloseHandle(process_.hProcess);
        CloseHandle(process_.hThread);
    }
    bool Ok() const { return ok_; }
    /// Application.GvControl(command) of this instance: the one in the running-object table, or the one
    /// behind the window with the title, reached through its workbook window's native object model.
    std::wstring Ask(const std::wstring& command) const
    {
        if (title_.empty())
            return Control(progId_, command);
        const HWND desk = FindWindowExW(FindWindowW(L"XLMAIN", title_.c_str()), nullptr, L"XLDESK", nullptr);
        const DispatchObject app = DispatchObject::FromNativeWindow(FindWindowExW(desk, nullptr, L"EXCEL7", nullptr),
                                                                    u"Window")
                                       .Object(u"Application");
        std::wstring answer;
        standin::Control(static_cast<IDispatch*>(app.Get()), command, answer);
        return answer;
    }
    /// Brings the instance's main window to the front, as a click into it does.
    void Activate() const
    {
        const HWND w = FindWindowW(L"XLMAIN", title_.c_str());
        SetWindowPos(w, HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE);
        SetForegroundWindow(w);
    }

private:
    const wchar_t* progId_;
    bool inRot_;
    std::wstring title_;
    PROCESS_INFORMATION process_{};
    bool ok_ = false;
};

constexpr const wchar_t* kExcel = L"Excel.Application";
constexpr const wchar_t* kExcelStandIn = L"gridvane-excel-standin.exe";

struct Recorder : HeadlessImportView {
    std::vector<std::u16string> messages;
    std::u16string caption;
    void ShowMessage(std::u16string_view t) override { messages.emplace_back(t); }
    void SetCaption(std::u16string_view t) override { caption = t; }
};

struct Import {
    ImportResult result;
    Recorder view;
    CellTable table;
    ULONGLONG ms = 0;
    std::vector<bool> waits; // what the wait report was told, in order
};

// The running spreadsheet, found without a wait report.
const XlAttach kAttachExcel = [] { return AttachRunningExcel(); };

Import RunImport()
{
    Import i;
    const ULONGLONG start = GetTickCount64();
    i.result = ImportSelection([&] { return AttachRunningExcel([&](bool waiting) { i.waits.push_back(waiting); }); },
                               i.view, i.table, ImportScales{}, u'.');
    i.ms = GetTickCount64() - start;
    return i;
}

// The wait report's words for calls that waited: each told first that it waits, once or more, and then
// once that it has ended.
bool WaitedAndEnded(const std::vector<bool>& waits)
{
    if (waits.empty() || waits.back())
        return false;
    bool waiting = false;
    for (const bool w : waits) {
        if (!w && !waiting)
            return false; // an end without a wait
        waiting = w;
    }
    return true;
}

class CrossProcess : public ::testing::Test {
protected:
    ComApartment apartment;
    void SetUp() override
    {
        CLSID clsid{};
        if (FAILED(CLSIDFromProgID(kExcel, &clsid)))
            GTEST_SKIP() << "the stand-ins are not registered (scripts/test-windows.sh registers them)";
    }
};

// Invocations and name look-ups the stand-in has counted since its counts were last reset.
long CallsCounted(const StandIn& excel)
{
    std::wistringstream counts(excel.Ask(L"counts"));
    std::wstring what, member;
    long n = 0, total = 0;
    while (counts >> what >> member >> n) total += n;
    return total;
}

TEST_F(CrossProcess, ImportsTheSelectionOfTheStandInWithOneLookUpPerMemberAndKind)
{
    StandIn excel(kExcelStandIn, kExcel, L"");
    ASSERT_TRUE(excel.Ok());
    const Import i = RunImport();
    ASSERT_TRUE(i.result.ok) << ToUtf8(i.result.detail);
    EXPECT_EQ(i.view.messages, std::vector<std::u16string>{u" 取得しました."});
    EXPECT_EQ(i.table.GridColCount, 5);
    EXPECT_EQ(i.table.GridRowCount, 6);
    EXPECT_EQ(i.view.texts.at(5), u"番号");
    EXPECT_EQ(i.view.texts.at(11), u"六角ボルト\nM8×20");
    EXPECT_EQ(excel.Ask(L"screen-updating-writes"), L"off on ");

    // Every member of every kind of object was looked up exactly once, however many cells were read.
    std::wistringstream counts(excel.Ask(L"counts"));
    std::wstring what, member;
    long n = 0;
    int lookups = 0;
    long cellReads = 0;
    while (counts >> what >> member >> n) {
        if (what == L"lookups") {
            ++lookups;
            EXPECT_EQ(n, 1) << ToUtf8(std::u16string(member.begin(), member.end()));
        } else if (member == L"Worksheet.Range") {
            cellReads = n;
        }
    }
    EXPECT_GE(lookups, 20);
    EXPECT_EQ(cellReads, 0); // no cell is asked for by its address: ranges and their items are
    EXPECT_EQ(excel.Ask(L"live"), L"1") << "objects left behind (the application stays)";

    // Far fewer calls than the cell-by-cell reading makes of the same selection.
    const long ranges = CallsCounted(excel);
    excel.Ask(L"reset");
    Import cells;
    cells.result = ImportSelectionPerCell(kAttachExcel, cells.view, cells.table, ImportScales{}, u'.');
    ASSERT_TRUE(cells.result.ok) << ToUtf8(cells.result.detail);
    EXPECT_LT(ranges * 2, CallsCounted(excel)) << ranges;
}

// Every sheet gives the table file of the cell-by-cell reading, or its failure at the same cell, through
// the range reads across processes: the sample sheet, the form, the benchmark's grid, random forms.
TEST_F(CrossProcess, EverySheetGivesTheTableOfTheCellByCellReading)
{
    std::vector<std::wstring> sheets{BesideThisProgram(L"gridvane-excel-standin.sheet"), BesideThisProgram(L"form.sheet")};
    const std::filesystem::path grid = std::filesystem::path(BesideThisProgram(L"grid.sheet"));
    standin::WriteGridSheet(grid);
    sheets.push_back(grid.native());
    for (unsigned seed = 1; seed <= 12; ++seed) {
        const std::filesystem::path random = std::filesystem::path(BesideThisProgram(L"random.sheet")).replace_filename(
            L"random-" + std::to_wstring(seed) + L".sheet");
        standin::WriteRandomSheet(random, seed);
        sheets.push_back(random.native());
    }
    int failed = 0;
    for (const std::wstring& sheet : sheets) {
        SCOPED_TRACE(ToUtf8(std::u16string(sheet.begin(), sheet.end())));
        StandIn excel(kExcelStandIn, kExcel, L"--sheet \"" + sheet + L"\"");
        ASSERT_TRUE(excel.Ok());
        const ImportOutcome ranges = OutcomeOf([](ImportView& view, CellTable& table) {
            return ImportSelection(kAttachExcel, view, table, ImportScales{}, u'.');
        });
        const ImportOutcome cells = OutcomeOf([](ImportView& view, CellTable& table) {
            return ImportSelectionPerCell(kAttachExcel, view, table, ImportScales{}, u'.');
        });
        failed += !cells.ok;
        EXPECT_EQ(ranges, cells) << Difference(ranges, cells);
    }
    EXPECT_GE(failed, 1); // mixed font sizes or error values were met
}

// A selection of several areas is refused, and an error value is named by its own text, through both.
TEST_F(CrossProcess, SeveralAreasAreRefusedAndAnErrorValueIsNamed)
{
    const std::filesystem::path path = std::filesystem::path(BesideThisProgram(L"areas.sheet"));
    {
        std::ofstream out(path, std::ios::binary);
        out << "selection\tB2:C3,E5:F6\ncell\tC3\te:#N/A\n";
    }
    {
        StandIn excel(kExcelStandIn, kExcel, L"--sheet \"" + path.native() + L"\"");
        ASSERT_TRUE(excel.Ok());
        const Import i = RunImport();
        EXPECT_FALSE(i.result.ok);
        EXPECT_EQ(i.view.messages, (std::vector<std::u16string>{std::u16string(kExcelSeveralAreas), u"取得に失敗しました."}));
    }
    {
        std::ofstream out(path, std::ios::binary);
        out << "selection\tB2:C3\ncell\tC3\te:#N/A\n";
    }
    StandIn excel(kExcelStandIn, kExcel, L"--sheet \"" + path.native() + L"\"");
    ASSERT_TRUE(excel.Ok());
    const Import ranges = RunImport();
    EXPECT_EQ(ranges.result.detail, u"C3: エラー値 #N/A");
    Import cells;
    cells.result = ImportSelectionPerCell(kAttachExcel, cells.view, cells.table, ImportScales{}, u'.');
    EXPECT_EQ(cells.result.detail, u"C3: エラー値 #N/A");
}

std::string Contents(const std::filesystem::path& path)
{
    std::ifstream in(path, std::ios::binary);
    std::ostringstream out;
    out << in.rdbuf();
    return out.str();
}

// The window's road (Button3Click's import, then Button4Click's layout of the grid texts and the save) and
// gridvane-convert --excel give the same drawing file.
TEST_F(CrossProcess, TheConverterWritesTheDrawingTheWindowWrites)
{
    StandIn excel(kExcelStandIn, kExcel, L"");
    ASSERT_TRUE(excel.Ok());
    const Import i = RunImport();
    ASSERT_TRUE(i.result.ok) << ToUtf8(i.result.detail);
    const std::filesystem::path here = std::filesystem::path(BesideThisProgram(L""));
    const std::filesystem::path window = here / "window.dxf";
    const std::filesystem::path converter = here / "converter.dxf";
    SaveDxfLineList(LayoutTable(i.table, i.view.texts, LayoutOptions{}), window);

    std::wstring command = L"\"" + BesideThisProgram(L"..\\..\\..\\app\\gridvane-convert.exe") + L"\" --excel -o \"" +
                           converter.native() + L"\"";
    STARTUPINFOW si{};
    si.cb = sizeof si;
    PROCESS_INFORMATION pi{};
    ASSERT_TRUE(CreateProcessW(nullptr, command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi));
    // The converter calls into this process's neighbour while we wait; nothing here needs to answer it.
    ASSERT_EQ(WaitForSingleObject(pi.hProcess, 60000), WAIT_OBJECT_0);
    DWORD code = 99;
    GetExitCodeProcess(pi.hProcess, &code);
    CloseHandle(pi.hProcess);
    CloseHandle(pi.hThread);
    EXPECT_EQ(code, 0u);
    const std::string a = Contents(window), b = Contents(converter);
    EXPECT_FALSE(a.empty());
    EXPECT_TRUE(a == b) << "the drawings differ";
    std::filesystem::remove(window);
    std::filesystem::remove(converter);
}

TEST_F(CrossProcess, BusyForTwoSecondsTheImportWaitsSaysSoAndSucceeds)
{
    for (const wchar_t* code : {L"retrylater", L"object-model"}) {
        SCOPED_TRACE(ToUtf8(std::u16string(code, code + wcslen(code))));
        StandIn excel(kExcelStandIn, kExcel, std::wstring(L"--busy-ms 2500 --busy-code ") + code);
        ASSERT_TRUE(excel.Ok());
        const Import i = RunImport();
        EXPECT_TRUE(i.result.ok) << ToUtf8(i.result.detail);
        EXPECT_EQ(i.view.messages, std::vector<std::u16string>{u" 取得しました."});
        EXPECT_EQ(excel.Ask(L"screen-updating"), L"on");
        EXPECT_TRUE(WaitedAndEnded(i.waits)) << "the window is told that the call waits, and when it has ended";
        EXPECT_GE(std::count(i.waits.begin(), i.waits.end(), true), 5) << "told before every pause";
    }
}

TEST_F(CrossProcess, ASpreadsheetThatRejectsTheCallFailsAtOnceWithTheBusyMessage)
{
    StandIn excel(kExcelStandIn, kExcel, L"--busy-forever --busy-code rejected");
    ASSERT_TRUE(excel.Ok());
    const Import i = RunImport();
    EXPECT_FALSE(i.result.ok);
    EXPECT_EQ(i.view.messages, (std::vector<std::u16string>{std::u16string(kExcelBusy), u"取得に失敗しました."}));
    EXPECT_LT(i.ms, 2000u) << "SERVERCALL_REJECTED is not retried";
    EXPECT_TRUE(i.waits.empty()) << "nothing waited";
}

TEST_F(CrossProcess, BusyForGoodTheImportFailsWithTheBusyMessageAndScreenUpdatingStaysOn)
{
    StandIn excel(kExcelStandIn, kExcel, L"--busy-forever --busy-code retrylater");
    ASSERT_TRUE(excel.Ok());
    const Import i = RunImport();
    EXPECT_FALSE(i.result.ok);
    EXPECT_EQ(i.view.messages, (std::vector<std::u16string>{std::u16string(kExcelBusy), u"取得に失敗しました."}));
    EXPECT_GE(i.ms, 9000u) << "retried for about 10 s";
    EXPECT_LE(i.ms, 15000u);
    EXPECT_TRUE(WaitedAndEnded(i.waits));
    excel.Ask(L"busy 0");
    EXPECT_EQ(excel.Ask(L"screen-updating"), L"on");
}

TEST_F(CrossProcess, BusyWhileCellsAreReadScreenUpdatingIsRestoredThroughTheRetry)
{
    StandIn excel(kExcelStandIn, kExcel, L"--busy-code retrylater");
    ASSERT_TRUE(excel.Ok());
    // Busy in the middle of the cells for longer than a call is retried, but not for as long again.
    excel.Ask(L"busy-after 200 12500");
    const Import i = RunImport();
    EXPECT_FALSE(i.result.ok);
    EXPECT_EQ(i.view.messages, (std::vector<std::u16string>{std::u16string(kExcelBusy), u"取得に失敗しました."}));
    EXPECT_FALSE(i.result.screenUpdatingLeftOff);
    EXPECT_EQ(excel.Ask(L"screen-updating"), L"on");
    EXPECT_EQ(excel.Ask(L"screen-updating-writes"), L"off on ");
}

TEST_F(CrossProcess, ALocaleTheSpreadsheetRefusesIsRepeatedWith1033)
{
    StandIn excel(kExcelStandIn, kExcel, L"--english-only");
    ASSERT_TRUE(excel.Ok());
    const Import i = RunImport();
    EXPECT_TRUE(i.result.ok) << ToUtf8(i.result.detail);
}

TEST_F(CrossProcess, ASpreadsheetThatRunsButCannotBeReachedIsToldApart)
{
    StandIn excel(kExcelStandIn, kExcel, L"--no-rot", false);
    ASSERT_TRUE(excel.Ok());
    const Import i = RunImport();
    EXPECT_FALSE(i.result.ok);
    EXPECT_EQ(i.view.messages, (std::vector<std::u16string>{std::u16string(kExcelUnreachable), u"取得に失敗しました."}));
}

// The workbook of the spreadsheet in the running-object table, which knows one instance only.
std::u16string WorkbookOfTheRunningObjectTable()
{
    return DispatchObject::AttachRunning(u"Excel.Application", u"Application")
        .Object(u"ActiveWorkbook", {}, u"Workbook")
        .Text(u"Name");
}

// The workbook of the spreadsheet the program attaches to.
std::u16string WorkbookAttached()
{
    return AttachRunningExcel()->ActiveWorkbookName();
}

// Two spreadsheets, the first started in the running-object table before the second starts.
struct TwoSpreadsheets {
    StandIn first, second;
    explicit TwoSpreadsheets(const std::wstring& args)
        : first(kExcelStandIn, kExcel, args + L" --show --workbook 一番目.xlsx", true, L"Microsoft Excel - 一番目.xlsx"),
          second((WaitForTheTable(), kExcelStandIn), kExcel, args + L" --show --workbook 二番目.xlsx", true,
                 L"Microsoft Excel - 二番目.xlsx")
    {
    }
    static void WaitForTheTable()
    {
        for (int i = 0; i < 200; ++i) {
            if (IDispatch* d = AttachRunning(kExcel)) {
                d->Release();
                return;
            }
            Sleep(50);
        }
    }
};

TEST_F(CrossProcess, WithTwoSpreadsheetsRunningTheOneActiveLastIsRead)
{
    TwoSpreadsheets excel(L"");
    ASSERT_TRUE(excel.first.Ok());
    ASSERT_TRUE(excel.second.Ok());
    ASSERT_EQ(WorkbookOfTheRunningObjectTable(), u"一番目.xlsx") << "the table knows the first started only";

    excel.second.Activate();
    EXPECT_EQ(WorkbookAttached(), u"二番目.xlsx");
    excel.first.Activate();
    EXPECT_EQ(WorkbookAttached(), u"一番目.xlsx");
    excel.second.Activate();
    const Import i = RunImport();
    ASSERT_TRUE(i.result.ok) << ToUtf8(i.result.detail);
    EXPECT_EQ(i.view.caption, u"二番目.xlsx [見積]");
    EXPECT_EQ(excel.second.Ask(L"live"), L"1") << "objects left behind in the one read";
}

TEST_F(CrossProcess, SpreadsheetWindowsWithoutTheirNativeObjectModelLeaveTheChoiceToTheRunningObjectTable)
{
    TwoSpreadsheets excel(L"--no-native-om");
    ASSERT_TRUE(excel.first.Ok());
    ASSERT_TRUE(excel.second.Ok());
    excel.second.Activate();
    EXPECT_EQ(WorkbookAttached(), u"一番目.xlsx");
}

TEST_F(CrossProcess, TheSpreadsheetActiveLastBeingBusyIsNotSwappedForAnother)
{
    StandIn first(kExcelStandIn, kExcel, L"--show --workbook 一番目.xlsx", true, L"Microsoft Excel - 一番目.xlsx");
    ASSERT_TRUE(first.Ok());
    TwoSpreadsheets::WaitForTheTable();
    StandIn busy(kExcelStandIn, kExcel, L"--show --busy-forever --workbook 二番目.xlsx", true,
                 L"Microsoft Excel - 二番目.xlsx");
    ASSERT_TRUE(busy.Ok());
    busy.Activate();
    const Import i = RunImport();
    EXPECT_FALSE(i.result.ok);
    EXPECT_EQ(i.view.messages, (std::vector<std::u16string>{std::u16string(kExcelBusy), u"取得に失敗しました."}));
}

TEST_F(CrossProcess, TheInsertionReachesTheDocumentWithTheExactCommandAndRestoresTheWindow)
{
    StandIn cad(L"gridvane-cad-standin.exe", L"BricscadApp.AcadApplication", L"--minimized");
    ASSERT_TRUE(cad.Ok());
    EXPECT_EQ(cad.Ask(L"iconic"), L"1");
    const std::filesystem::path drawing = std::filesystem::path(BesideThisProgram(L"")) / "挿入 テスト.dxf";
    std::ofstream(drawing) << "0\r\nEOF\r\n";
    EXPECT_NO_THROW(InsertIntoRunningCad(drawing));
    const std::wstring native = drawing.native();
    const std::u16string path(native.begin(), native.end());
    const std::wstring sent = cad.Ask(L"last-command");
    EXPECT_EQ(std::u16string(sent.begin(), sent.end()), MakeInsertCommand(path));
    EXPECT_EQ(cad.Ask(L"commands"), L"1");
    EXPECT_EQ(cad.Ask(L"iconic"), L"0") << "the minimised window was restored";
    EXPECT_EQ(cad.Ask(L"live"), L"1") << "objects left behind (the application stays)";
    std::filesystem::remove(drawing);
}

} // namespace
} // namespace gridvane

namespace gridvane {
namespace {

TEST_F(CrossProcess, ABusyCadStillTakesTheCommandOnceItIsFreeAndTheWaitIsTold)
{
    StandIn cad(L"gridvane-cad-standin.exe", L"BricscadApp.AcadApplication", L"--busy-ms 2500 --busy-code retrylater");
    ASSERT_TRUE(cad.Ok());
    const std::filesystem::path drawing = std::filesystem::path(BesideThisProgram(L"")) / "busy.dxf";
    std::ofstream(drawing) << "0\r\nEOF\r\n";
    std::vector<bool> waits;
    EXPECT_NO_THROW(InsertIntoRunningCad(drawing, [&](bool waiting) { waits.push_back(waiting); }));
    EXPECT_EQ(cad.Ask(L"commands"), L"1");
    EXPECT_TRUE(WaitedAndEnded(waits));
    std::filesystem::remove(drawing);
}

TEST_F(CrossProcess, ACadThatRejectsTheCommandAsBusySaysSoAtOnceInJapanese)
{
    StandIn cad(L"gridvane-cad-standin.exe", L"BricscadApp.AcadApplication", L"--minimized");
    ASSERT_TRUE(cad.Ok());
    const std::filesystem::path drawing = std::filesystem::path(BesideThisProgram(L"")) / "busy.dxf";
    std::ofstream(drawing) << "0\r\nEOF\r\n";
    const std::wstring native = drawing.native();
    // Busy from the command on (the sixth call: HWND, ActiveDocument and SendCommand, each looked up and
    // called): the window has come to the front, the command is rejected.
    cad.Ask(L"busy-after 6 60000");
    std::vector<bool> waits;
    const ULONGLONG start = GetTickCount64();
    try {
        InsertIntoRunningCad(drawing, [&](bool waiting) { waits.push_back(waiting); });
        ADD_FAILURE() << "no error";
    } catch (const Error& e) {
        EXPECT_EQ(e.Japanese(), std::u16string(kCadBusy) + std::u16string(native.begin(), native.end()));
    }
    EXPECT_LT(GetTickCount64() - start, 2000u) << "SERVERCALL_REJECTED is not retried";
    EXPECT_TRUE(waits.empty());
    cad.Ask(L"busy 0");
    EXPECT_EQ(cad.Ask(L"iconic"), L"0") << "the command was the call rejected";
    EXPECT_EQ(cad.Ask(L"commands"), L"0");
    EXPECT_EQ(cad.Ask(L"live"), L"1") << "objects left behind (the application stays)";
    std::filesystem::remove(drawing);
}

TEST_F(CrossProcess, TheCadReceivesTheCommandByteForByteCancelsIncluded)
{
    const std::filesystem::path here = std::filesystem::path(BesideThisProgram(L""));
    const std::filesystem::path log = here / "commands.log";
    std::filesystem::remove(log);
    StandIn cad(L"gridvane-cad-standin.exe", L"BricscadApp.AcadApplication", L"--log \"" + log.native() + L"\"");
    ASSERT_TRUE(cad.Ok());
    const std::filesystem::path drawing = here / "図面 挿入 (1).dxf";
    std::ofstream(drawing) << "0\r\nEOF\r\n";
    InsertIntoRunningCad(drawing);
    const std::wstring native = drawing.native();
    const std::string expected = "^C^C-INSERT\r\"*" + ToUtf8(std::u16string(native.begin(), native.end())) + "\"\rS 1 R 0 ";
    EXPECT_EQ(Contents(log), expected + "\n") << "the log holds each command and a line end";
    std::filesystem::remove(drawing);
    std::filesystem::remove(log);
}

} // namespace
} // namespace gridvane
