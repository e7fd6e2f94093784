// The Win32 window, created for real and driven with window messages: its controls found by their
// captions, the message boxes read from the screen and answered, the grid clicked and typed into, and a
// whole import from a stand-in spreadsheet through COM to the drawing and the stand-in CAD.
#include <gtest/gtest.h>

#include <windows.h>
#include <commctrl.h>
#include <objbase.h>
#include <windowsx.h>

#include <array>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <deque>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <set>
#include <sstream>
#include <thread>

#include "app/FormPlatform.h"
#include "base/Utf.h"
#include "cad/CadInsertion.h"
#include "excel/ExcelAutomationWin.h"
#include "excel/ExcelImport.h"
#include "model/TableFile.h"
#include "win/Form1Win.h"
#include "win/WinText.h"

#include "StandInsWin.h"

namespace gridvane::win {
namespace {

namespace fs = std::filesystem;

// ---- message boxes and the replace dialog, as they appear on the screen

struct Box {
    std::u16string text, caption;
    bool errorIcon = false, anyIcon = false, yesNo = false;
    HWND owner = nullptr;
};

std::vector<Box> boxes;
std::deque<int> answers; // IDYES / IDNO for the Yes/No boxes to come; IDNO when none is left
std::function<void(HWND)> onReplaceDialog; // runs once when TForm3 is shown
int replaceDialogShown = 0;

std::u16string ClassOf(HWND w)
{
    wchar_t name[64] = {};
    GetClassNameW(w, name, 64);
    return U(name);
}

LRESULT CALLBACK CbtHook(int code, WPARAM wParam, LPARAM lParam)
{
    if (code == HCBT_ACTIVATE) {
        HWND w = reinterpret_cast<HWND>(wParam);
        static std::set<HWND> seen;
        const std::u16string cls = ClassOf(w);
        if (cls == u"#32770" && GetDlgItem(w, 0xFFFF) != nullptr && seen.insert(w).second) {
            Box box;
            box.caption = WindowText(w);
            box.text = WindowText(GetDlgItem(w, 0xFFFF));
            box.owner = GetWindow(w, GW_OWNER);
            box.yesNo = GetDlgItem(w, IDYES) != nullptr;
            for (HWND child = GetWindow(w, GW_CHILD); child != nullptr; child = GetWindow(child, GW_HWNDNEXT)) {
                if (ClassOf(child) == u"Static" && (GetWindowLongW(child, GWL_STYLE) & SS_TYPEMASK) == SS_ICON) {
                    const auto icon = reinterpret_cast<HICON>(SendMessageW(child, STM_GETICON, 0, 0));
                    box.anyIcon = box.anyIcon || icon != nullptr;
                    box.errorIcon = box.errorIcon || icon == LoadIconW(nullptr, IDI_ERROR);
                }
            }
            int answer = IDOK;
            if (box.yesNo) {
                answer = answers.empty() ? IDNO : answers.front();
                if (!answers.empty()) answers.pop_front();
            }
            boxes.push_back(box);
            PostMessageW(w, WM_COMMAND, MAKEWPARAM(answer, BN_CLICKED), reinterpret_cast<LPARAM>(GetDlgItem(w, answer)));
        } else if (cls == u"GridvaneTForm3") {
            ++replaceDialogShown;
            if (onReplaceDialog) {
                auto action = std::move(onReplaceDialog);
                onReplaceDialog = nullptr;
                action(w);
            }
        }
    }
    return CallNextHookEx(nullptr, code, wParam, lParam);
}

// ---- the popup menu, read while it is open and then closed

struct MenuItem {
    UINT id;
    bool separator;
    std::u16string caption;
    bool grayed;
};
std::vector<MenuItem> shownMenu;
int menusShown = 0;

void CALLBACK ReadOpenMenu(HWND, UINT, UINT_PTR timer, DWORD)
{
    HWND popup = FindWindowW(L"#32768", nullptr);
    if (popup == nullptr || !IsWindowVisible(popup)) return; // not open yet: the next tick
    KillTimer(nullptr, timer);
    ++menusShown;
    HMENU menu = reinterpret_cast<HMENU>(SendMessageW(popup, MN_GETHMENU, 0, 0));
    shownMenu.clear();
    for (int i = 0; menu != nullptr && i < GetMenuItemCount(menu); ++i) {
        wchar_t text[128] = {};
        MENUITEMINFOW mi{};
        mi.cbSize = sizeof mi;
        mi.fMask = MIIM_FTYPE | MIIM_ID | MIIM_STRING | MIIM_STATE;
        mi.dwTypeData = text;
        mi.cch = 128;
        GetMenuItemInfoW(menu, static_cast<UINT>(i), TRUE, &mi);
        shownMenu.push_back({mi.wID, (mi.fType & MFT_SEPARATOR) != 0, U(text), (mi.fState & MFS_GRAYED) != 0});
    }
    EndMenu();
}

// ---- helpers

// Runs step once, from the message loop that runs then (a modal one's too), a moment after now.
std::function<void()> laterStep;
void CALLBACK RunLaterStep(HWND, UINT, UINT_PTR timer, DWORD)
{
    KillTimer(nullptr, timer);
    auto step = std::move(laterStep);
    laterStep = nullptr;
    if (step) step();
}
void AfterAWhile(std::function<void()> step)
{
    laterStep = std::move(step);
    SetTimer(nullptr, 0, 50, RunLaterStep);
}

HWND FindByCaption(HWND parent, std::u16string_view caption, std::u16string_view cls = {})
{
    struct Search {
        std::u16string_view caption, cls;
        HWND found = nullptr;
    } search{caption, cls};
    EnumChildWindows(
        parent,
        [](HWND w, LPARAM p) -> BOOL {
            auto* s = reinterpret_cast<Search*>(p);
            if (WindowText(w) == s->caption && (s->cls.empty() || ClassOf(w) == s->cls)) {
                s->found = w;
                return FALSE;
            }
            return TRUE;
        },
        reinterpret_cast<LPARAM>(&search));
    return search.found;
}

std::u16string TooltipOf(HWND tooltip, HWND control)
{
    wchar_t text[256] = {};
    TOOLINFOW ti{};
    ti.cbSize = sizeof ti;
    ti.hwnd = GetParent(control);
    ti.uId = reinterpret_cast<UINT_PTR>(control);
    ti.lpszText = text;
    SendMessageW(tooltip, TTM_GETTEXTW, 256, reinterpret_cast<LPARAM>(&ti));
    return U(text);
}

void Pump()
{
    MSG msg;
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
        if (msg.message == WM_QUIT) continue; // a closed window's; the next test makes its own
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
    }
}

void Click(HWND button)
{
    SendMessageW(button, BM_CLICK, 0, 0);
    Pump();
}

// Keys with Shift held as the thread's keyboard state says.
void Key(HWND w, UINT key, bool shift = false, bool control = false)
{
    BYTE state[256] = {};
    GetKeyboardState(state);
    state[VK_SHIFT] = shift ? 0x80 : 0;
    state[VK_CONTROL] = control ? 0x80 : 0;
    SetKeyboardState(state);
    SendMessageW(w, WM_KEYDOWN, key, 0);
    SendMessageW(w, WM_KEYUP, key, 0);
    state[VK_SHIFT] = state[VK_CONTROL] = 0;
    SetKeyboardState(state);
}

POINT CentreOf(const RECT& r) { return POINT{(r.left + r.right) / 2, (r.top + r.bottom) / 2}; }
LPARAM At(POINT p) { return MAKELPARAM(p.x, p.y); }

// A cell out of view is brought into it by scrolling back to the top-left corner first.
RECT VisibleCell(StringGridWin& grid, std::int32_t c, std::int32_t r)
{
    RECT cell = grid.CellRect(c, r);
    if (IsRectEmpty(&cell)) {
        SendMessageW(grid.Handle(), WM_VSCROLL, MAKEWPARAM(SB_TOP, 0), 0);
        SendMessageW(grid.Handle(), WM_HSCROLL, MAKEWPARAM(SB_TOP, 0), 0);
        cell = grid.CellRect(c, r);
    }
    EXPECT_FALSE(IsRectEmpty(&cell)) << "cell " << c << ", " << r << " out of view";
    return cell;
}

void ClickCell(StringGridWin& grid, std::int32_t c, std::int32_t r, UINT keys = 0)
{
    const POINT p = CentreOf(VisibleCell(grid, c, r));
    SendMessageW(grid.Handle(), WM_LBUTTONDOWN, MK_LBUTTON | keys, At(p));
    SendMessageW(grid.Handle(), WM_LBUTTONUP, keys, At(p));
}

void RightClickCell(StringGridWin& grid, std::int32_t c, std::int32_t r)
{
    const POINT p = CentreOf(VisibleCell(grid, c, r));
    SetTimer(nullptr, 0, 50, ReadOpenMenu);
    SendMessageW(grid.Handle(), WM_RBUTTONDOWN, MK_RBUTTON, At(p));
    SendMessageW(grid.Handle(), WM_RBUTTONUP, 0, At(p)); // the system turns it into WM_CONTEXTMENU
    Pump();
}

// A window's client area as it paints itself into a bitmap (WM_PRINTCLIENT).
class ClientImage {
public:
    explicit ClientImage(HWND window) : window_(window)
    {
        GetClientRect(window, &rect_);
        screen_ = GetDC(window);
        dc_ = CreateCompatibleDC(screen_);
        bitmap_ = CreateCompatibleBitmap(screen_, rect_.right, rect_.bottom);
        old_ = SelectObject(dc_, bitmap_);
        SendMessageW(window, WM_PRINTCLIENT, reinterpret_cast<WPARAM>(dc_), PRF_CLIENT);
    }
    ~ClientImage()
    {
        SelectObject(dc_, old_);
        DeleteObject(bitmap_);
        DeleteDC(dc_);
        ReleaseDC(window_, screen_);
    }
    ClientImage(const ClientImage&) = delete;
    ClientImage& operator=(const ClientImage&) = delete;
    COLORREF Pixel(int x, int y) const { return GetPixel(dc_, x, y); }
    const RECT& Rect() const { return rect_; }

private:
    HWND window_;
    RECT rect_{};
    HDC screen_ = nullptr, dc_ = nullptr;
    HBITMAP bitmap_ = nullptr;
    HGDIOBJ old_ = nullptr;
};

COLORREF PixelOfCell(StringGridWin& grid, std::int32_t c, std::int32_t r)
{
    const RECT cell = grid.CellRect(c, r);
    return ClientImage(grid.Handle()).Pixel(cell.right - 2, cell.bottom - 2); // a corner the text leaves free
}

// A selection as left, top, right, bottom.
using Corners = std::array<std::int32_t, 4>;
Corners Sel(std::int32_t l, std::int32_t t, std::int32_t r, std::int32_t b) { return Corners{l, t, r, b}; }
Corners Sel(const GridSelection& s) { return Corners{s.left, s.top, s.right, s.bottom}; }

std::string Narrow(std::u16string_view s) { return ToUtf8(s); }

// The table the stand-in spreadsheet serves at B2:E6: a title merged across the four columns, a
// bordered header row, a two-line cell, a row merged over two columns, a diagonal, Japanese texts.
test::StandInSheet PartsSheet()
{
    test::StandInSheet sheet;
    sheet.workbook = u"部品表.xlsx";
    sheet.sheet = u"一覧";
    sheet.row1 = 2;
    sheet.col1 = 2;
    CellTable& t = sheet.table;
    t.GridColCount = 4;
    t.GridRowCount = 5;
    t.CellGrid.resize(20);
    const std::uint16_t widths[4] = {4, 9, 6, 3}, heights[5] = {16, 12, 20, 12, 12};
    const char16_t* texts[5][4] = {
        {u"部品表（試作）", u"", u"", u""},
        {u"番号", u"品名", u"材質", u"数"},
        {u"1", u"六角ボルト\nM8×20", u"SS400", u"4"},
        {u"2", u"平座金", u"SUS304", u"8"},
        {u"備考", u"ｶﾀｶﾅ と ＡＢＣ", u"", u"-"},
    };
    std::uint16_t top = 0;
    for (int r = 0; r < 5; ++r) {
        std::uint16_t left = 0;
        for (int c = 0; c < 4; ++c) {
            TXlsxCellAttr& a = t.At(r, c);
            a.colW = widths[c];
            a.rowH = heights[r];
            a.txtSize = r == 0 ? 14 : 10;
            a.str = texts[r][c];
            a.txtAlign = r <= 1 ? kAlignCenter : (c == 0 || c == 3 ? kAlignRight : kAlignGeneral);
            a.lineBits = r == 0 ? kEdgeBottom : kEdgeTop | kEdgeBottom | kEdgeLeft | kEdgeRight;
            a.mergerowYscount = a.mergecolXscount = 1;
            a.mergeLeft = left;
            a.mergeTop = top;
            left = static_cast<std::uint16_t>(left + widths[c] * 6);
        }
        top = static_cast<std::uint16_t>(top + heights[r]);
    }
    for (int c = 0; c < 4; ++c) { // the title
        TXlsxCellAttr& a = t.At(0, c);
        a.cellMerge = true;
        a.mergecolXscount = 4;
        a.mergeLeft = 0;
    }
    for (int c = 1; c < 3; ++c) { // the remark
        TXlsxCellAttr& a = t.At(4, c);
        a.cellMerge = true;
        a.mergecolXscount = 2;
        a.mergeLeft = t.At(4, 1).mergeLeft;
    }
    t.At(4, 3).lineBits |= kDiagonalDown;
    for (const TXlsxCellAttr& a : t.CellGrid) sheet.texts.push_back(a.str);
    return sheet;
}

// A sheet of rows x cols plain cells ("行1", "行2", ... row by row), for imports that take a while.
test::StandInSheet LargeSheet(std::int32_t rows, std::int32_t cols = 2)
{
    test::StandInSheet sheet;
    sheet.workbook = u"大きい.xlsx";
    CellTable& t = sheet.table;
    t.GridColCount = cols;
    t.GridRowCount = rows;
    t.CellGrid.resize(static_cast<std::size_t>(rows) * static_cast<std::size_t>(cols));
    for (std::size_t i = 0; i < t.CellGrid.size(); ++i) {
        TXlsxCellAttr& a = t.CellGrid[i];
        a.colW = 5;
        a.rowH = 6;
        a.txtSize = 10;
        a.mergerowYscount = a.mergecolXscount = 1;
        a.str = u"行" + FromUtf8(std::to_string(i + 1));
        sheet.texts.push_back(a.str);
    }
    return sheet;
}

// ---- the fixture: a new window in a folder of its own for each test

class Form1WinTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        boxes.clear();
        answers.clear();
        onReplaceDialog = nullptr;
        replaceDialogShown = 0;
        menusShown = 0;
        shownMenu.clear();
        dir_ = fs::temp_directory_path() / ("gridvane-win-test-" + std::to_string(GetCurrentProcessId()) + "-" +
                                            ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::remove_all(dir_);
        fs::create_directories(dir_);
        // The program's own wiring, as if it ran from that folder.
        window_ = std::make_unique<TForm1Win>(MakeFormPlatform(dir_ / "Gridvane23.exe"));
        window_->Show(SW_SHOW);
        Pump();
        dpi_ = WindowDpi(window_->Handle());
    }
    void TearDown() override
    {
        window_.reset();
        Pump();
        std::error_code ignored;
        fs::remove_all(dir_, ignored);
    }

    HWND Main() const { return window_->Handle(); }
    HWND Ctl(int id) const { return window_->Control(id); }
    TForm1& Form() { return window_->Form(); }
    StringGridWin& Grid() { return window_->StringGrid1(); }
    int S(int v) const { return Scale(v, dpi_); }

    void Import(test::SpreadsheetStandIn&)
    {
        boxes.clear();
        Click(FindByCaption(Main(), u"Excel から取得", u"Button"));
    }

    fs::path dir_;
    std::unique_ptr<TForm1Win> window_;
    UINT dpi_ = 96;
};

TEST_F(Form1WinTest, StartsWithTheControlsAndStatesOfTheProgram)
{
    EXPECT_EQ(WindowText(Main()), u"Gridvane 2023.02.11");
    RECT client;
    GetClientRect(Main(), &client);
    EXPECT_EQ(client.right, S(432));
    EXPECT_EQ(client.bottom, S(288));
    // Centred on the work area.
    RECT frame, work;
    GetWindowRect(Main(), &frame);
    SystemParametersInfoW(SPI_GETWORKAREA, 0, &work, 0);
    EXPECT_NEAR((frame.left + frame.right) / 2, (work.left + work.right) / 2, 1);
    EXPECT_NEAR((frame.top + frame.bottom) / 2, (work.top + work.bottom) / 2, 1);

    // The pages, leading spaces kept; the first in front.
    HWND tab = Ctl(kIdPageControl1);
    ASSERT_EQ(SendMessageW(tab, TCM_GETITEMCOUNT, 0, 0), 3);
    const char16_t* pages[] = {u" 取得、描画", u" 設定、確認", u" 図面"};
    for (int i = 0; i < 3; ++i) {
        wchar_t text[32] = {};
        TCITEMW item{};
        item.mask = TCIF_TEXT;
        item.pszText = text;
        item.cchTextMax = 32;
        SendMessageW(tab, TCM_GETITEMW, static_cast<WPARAM>(i), reinterpret_cast<LPARAM>(&item));
        EXPECT_EQ(U(text), pages[i]);
    }
    EXPECT_EQ(SendMessageW(tab, TCM_GETCURSEL, 0, 0), 0);
    EXPECT_TRUE(IsWindowVisible(Ctl(kIdTabSheet1)));
    EXPECT_FALSE(IsWindowVisible(Ctl(kIdTabSheet2)));

    // Controls by caption, their states and hints.
    struct Expect {
        const char16_t* caption;
        bool enabled;
        const char16_t* hint; // null: none
    };
    const Expect controls[] = {
        {u"Excel から取得", true, u"アクティブな Excel から選択範囲を取得します"},
        {u"Plotra へ挿入", false, u"DXF ファイル作成,、AutoCAD, Bricscad に挿入"},
        {u"左", true, u"文字基点 [左]"},
        {u"中", true, u"文字基点 [中]"},
        {u"右", true, u"文字基点 [右]"},
        {u"セルを描画", true, nullptr},
        {u"対象セル：", true, nullptr},
        {u"～", true, nullptr},
        {u"表示", true, nullptr},
        {u"CAD, DXF", true, nullptr},
        {u"変更を反映", true, nullptr},
        {u"文字基点オフセット X 尺度", true, nullptr},
        {u"文字高さの", true, nullptr},
        {u"倍", true, nullptr},
        {u"セル区切り線の色番号", false, nullptr},
        {u"( BYLAYER = 256 )", false, nullptr},
    };
    for (const Expect& e : controls) {
        SCOPED_TRACE(Narrow(e.caption));
        HWND w = FindByCaption(Main(), e.caption);
        ASSERT_NE(w, nullptr);
        EXPECT_EQ(IsWindowEnabled(w) != FALSE, e.enabled);
        if (e.hint != nullptr) {
            EXPECT_EQ(TooltipOf(window_->Tooltip(), w), e.hint);
        }
    }
    EXPECT_EQ(Button_GetCheck(FindByCaption(Main(), u"セルを描画")), BST_CHECKED);
    for (const char16_t* speed : {u"左", u"中", u"右"}) {
        EXPECT_EQ(GetWindowLongW(FindByCaption(Main(), speed), GWL_STYLE) & BS_TYPEMASK, BS_OWNERDRAW);
        EXPECT_TRUE(GetWindowLongW(FindByCaption(Main(), speed), GWL_STYLE) & WS_TABSTOP); // reached with Tab
    }
    const std::pair<int, const char16_t*> hints[] = {
        {kIdEdit11, u"列幅 [Enter]で更新"},
        {kIdEdit12, u"行高さ [Enter]で更新"},
        {kIdEdit13, u"文字高さ [Enter]で更新"},
        {kIdEdit1, u"赤文字の時：改行コードが含まれている"},
        {kIdStringGrid1, u"範囲選択=固定部クリック or [Shift]+矢印キー. 右クリックで選択範囲の文字変換メニュー"},
    };
    for (const auto& [id, hint] : hints) EXPECT_EQ(TooltipOf(window_->Tooltip(), Ctl(id)), hint) << id;
    // Button4 is disabled at start, so its hint is also given over its place on the page.
    wchar_t text[128] = {};
    TOOLINFOW area{};
    area.cbSize = sizeof area;
    area.hwnd = Ctl(kIdTabSheet1);
    area.uId = 1;
    area.lpszText = text;
    ASSERT_TRUE(SendMessageW(window_->Tooltip(), TTM_GETTOOLINFOW, 0, reinterpret_cast<LPARAM>(&area)));
    EXPECT_EQ(U(text), u"DXF ファイル作成,、AutoCAD, Bricscad に挿入");
    RECT button4;
    GetWindowRect(Ctl(kIdButton4), &button4);
    MapWindowPoints(nullptr, Ctl(kIdTabSheet1), reinterpret_cast<POINT*>(&button4), 2);
    EXPECT_TRUE(EqualRect(&area.rect, &button4));

    // The boxes start empty; the addresses are read-only and out of the tab order.
    for (int id : {kIdEdit1, kIdEdit2, kIdEdit3, kIdEdit11, kIdEdit12, kIdEdit13, kIdLabel4, kIdLabel13})
        EXPECT_EQ(WindowText(Ctl(id)), u"") << id;
    for (int id : {kIdEdit2, kIdEdit3}) {
        const LONG style = GetWindowLongW(Ctl(id), GWL_STYLE);
        EXPECT_TRUE(style & ES_READONLY);
        EXPECT_FALSE(style & WS_TABSTOP);
    }
    // The settings as loaded (no file: the defaults); Edit10 disabled.
    const char16_t* settings[] = {u"20", u"3", u"3", u"0.43", u"0.27", u"0.8", u"252"};
    for (int i = 0; i < 7; ++i) {
        EXPECT_EQ(WindowText(Ctl(kIdEdit4 + i)), settings[i]) << "Edit" << 4 + i;
        EXPECT_TRUE(GetWindowLongW(Ctl(kIdEdit4 + i), GWL_STYLE) & ES_RIGHT);
    }
    EXPECT_FALSE(IsWindowEnabled(Ctl(kIdEdit4 + 6)));

    // Fonts: Tahoma 8 point, 10 point for the grid, the cell text and the addresses.
    auto points = [&](HWND w) {
        LOGFONTW lf{};
        GetObjectW(reinterpret_cast<HFONT>(SendMessageW(w, WM_GETFONT, 0, 0)), sizeof lf, &lf);
        EXPECT_EQ(std::u16string(U(lf.lfFaceName)), u"Tahoma");
        return -lf.lfHeight;
    };
    EXPECT_EQ(points(Ctl(kIdButton3)), MulDiv(8, static_cast<int>(dpi_), 72));
    EXPECT_EQ(points(Ctl(kIdEdit1)), MulDiv(10, static_cast<int>(dpi_), 72));
    EXPECT_EQ(points(Ctl(kIdEdit2)), MulDiv(10, static_cast<int>(dpi_), 72));

    // The popup menu's items and separators, in order.
    const std::pair<int, const char16_t*> items[] = {
        {kIdN1, u"半角->全角"}, {kIdN12, u"半角->全角（数字のみの文字列は除外）"}, {kIdN5, u"半角カナ->全角"},
        {kIdN3, nullptr}, {kIdN2, u"全角->半角"}, {kIdN6, u"全角数字->半角"}, {kIdN7, u"全角アルファベット->半角"},
        {kIdN8, nullptr}, {kIdN9, u"代替文字を含む禁止文字->半角"}, {kIdN10, nullptr}, {kIdN4, u"置換"},
        {kIdN13, nullptr}, {kIdN14, u"元に戻す\tCtrl+Z"}, {kIdN15, u"やり直し\tCtrl+Y"}, {kIdN16, nullptr},
        {kIdN17, u"コピー\tCtrl+C"}, {kIdN18, u"貼り付け\tCtrl+V"}, {kIdN19, u"削除\tDel"},
    };
    RightClickCell(Grid(), 1, 1);
    ASSERT_EQ(menusShown, 1);
    ASSERT_EQ(shownMenu.size(), std::size(items));
    for (std::size_t i = 0; i < shownMenu.size(); ++i) {
        EXPECT_EQ(shownMenu[i].id, static_cast<UINT>(items[i].first)) << i;
        EXPECT_EQ(shownMenu[i].separator, items[i].second == nullptr) << i;
        if (items[i].second != nullptr) {
            EXPECT_EQ(shownMenu[i].caption, items[i].second) << i;
        }
    }
    // Nothing to undo or redo yet: those two items are greyed.
    for (const MenuItem& item : shownMenu)
        EXPECT_EQ(item.grayed, item.id == static_cast<UINT>(kIdN14) || item.id == static_cast<UINT>(kIdN15)) << item.id;

    // Never smaller than the client area at which every control is readable.
    MINMAXINFO limits{};
    SendMessageW(Main(), WM_GETMINMAXINFO, 0, reinterpret_cast<LPARAM>(&limits));
    RECT least{0, 0, S(kMinClientWidth), S(kMinClientHeight)};
    AdjustWindowRectForDpi(least, WS_OVERLAPPEDWINDOW | WS_CLIPCHILDREN, WS_EX_CONTROLPARENT, dpi_);
    EXPECT_EQ(limits.ptMinTrackSize.x, least.right - least.left);
    EXPECT_EQ(limits.ptMinTrackSize.y, least.bottom - least.top);
}

TEST_F(Form1WinTest, ControlsOnTheRightKeepTheirDistanceAndEdit1Grows)
{
    auto rectOf = [&](int id) {
        RECT r;
        GetWindowRect(Ctl(id), &r);
        MapWindowPoints(nullptr, Main(), reinterpret_cast<POINT*>(&r), 2);
        return r;
    };
    RECT client;
    GetClientRect(Main(), &client);
    const int ids[] = {kIdButton3, kIdButton4, kIdEdit11, kIdSpeedButton3, kIdCheckBox1, kIdLabel13};
    std::vector<int> distances;
    for (int id : ids) distances.push_back(client.right - rectOf(id).right);
    const RECT edit1 = rectOf(kIdEdit1), edit2 = rectOf(kIdEdit2), grid = rectOf(kIdStringGrid1);

    RECT frame;
    GetWindowRect(Main(), &frame);
    SetWindowPos(Main(), nullptr, 0, 0, frame.right - frame.left + S(120), frame.bottom - frame.top + S(60), SWP_NOMOVE | SWP_NOZORDER);
    Pump();
    GetClientRect(Main(), &client);
    for (std::size_t i = 0; i < std::size(ids); ++i)
        EXPECT_NEAR(client.right - rectOf(ids[i]).right, distances[i], 2) << ids[i];
    EXPECT_NEAR(rectOf(kIdEdit1).right - rectOf(kIdEdit1).left, edit1.right - edit1.left + S(120), 2);
    EXPECT_EQ(rectOf(kIdEdit2).left, edit2.left);
    EXPECT_NEAR(rectOf(kIdStringGrid1).bottom - rectOf(kIdStringGrid1).top, grid.bottom - grid.top + S(60), 2);
}

TEST_F(Form1WinTest, ScalesFontsAndLayoutWhenItsMonitorsDpiChanges)
{
    const UINT dpi = dpi_ * 3 / 2;
    RECT frame;
    GetWindowRect(Main(), &frame);
    RECT suggested{frame.left, frame.top, frame.left + (frame.right - frame.left) * 3 / 2, frame.top + (frame.bottom - frame.top) * 3 / 2};
    SendMessageW(Main(), WM_DPICHANGED, MAKEWPARAM(dpi, dpi), reinterpret_cast<LPARAM>(&suggested));
    Pump();
    RECT now;
    GetWindowRect(Main(), &now);
    EXPECT_EQ(now.right - now.left, suggested.right - suggested.left);
    LOGFONTW lf{};
    GetObjectW(reinterpret_cast<HFONT>(SendMessageW(Ctl(kIdButton3), WM_GETFONT, 0, 0)), sizeof lf, &lf);
    EXPECT_EQ(-lf.lfHeight, MulDiv(8, static_cast<int>(dpi), 72));
    GetObjectW(reinterpret_cast<HFONT>(SendMessageW(Ctl(kIdEdit1), WM_GETFONT, 0, 0)), sizeof lf, &lf);
    EXPECT_EQ(-lf.lfHeight, MulDiv(10, static_cast<int>(dpi), 72));
    RECT button;
    GetWindowRect(Ctl(kIdButton3), &button);
    EXPECT_EQ(button.right - button.left, Scale(92, dpi));
    // The grid's rows follow: the default 20 pixels at the new scale.
    const RECT cell = Grid().CellRect(1, 1);
    EXPECT_EQ(cell.bottom - cell.top, Scale(20, dpi));
}

TEST_F(Form1WinTest, ImportWithoutARunningSpreadsheetShowsBothMessagesAndKeepsButton4Disabled)
{
    Click(FindByCaption(Main(), u"Excel から取得", u"Button"));
    ASSERT_EQ(boxes.size(), 2u);
    EXPECT_EQ(boxes[0].text, u"クラス名: Excel.Application は無効です.");
    EXPECT_EQ(boxes[1].text, u"取得に失敗しました.");
    for (const Box& b : boxes) {
        EXPECT_EQ(b.caption, u"メッセージ");
        EXPECT_FALSE(b.yesNo);
        EXPECT_EQ(b.owner, Main());
    }
    EXPECT_FALSE(IsWindowEnabled(Ctl(kIdButton4)));
    EXPECT_TRUE(IsWindowEnabled(Ctl(kIdButton3)));
    EXPECT_EQ(WindowText(Main()), u"Gridvane 2023.02.11");
}

TEST_F(Form1WinTest, GridSelectsWithMouseAndShiftArrowsHeadersAndKeepsItOnARightClick)
{
    StringGridWin& g = Grid();
    SetFocus(g.Handle());
    ClickCell(g, 2, 2);
    EXPECT_EQ(Form().Grid().col, 2);
    EXPECT_EQ(Form().Grid().row, 2);
    EXPECT_EQ(Sel(Form().Grid().selection), Sel(2, 2, 2, 2));

    Key(g.Handle(), VK_RIGHT, true);
    Key(g.Handle(), VK_DOWN, true);
    EXPECT_EQ(Sel(Form().Grid().selection), Sel(2, 2, 3, 3));
    Key(g.Handle(), VK_LEFT, true);
    Key(g.Handle(), VK_LEFT, true);
    EXPECT_EQ(Sel(Form().Grid().selection), Sel(1, 2, 2, 3));
    Key(g.Handle(), VK_DOWN); // without Shift: one cell again
    EXPECT_EQ(Form().Grid().selection.left, Form().Grid().selection.right);

    // Shift and a click grow the selection from its anchor; a drag does too.
    ClickCell(g, 1, 1);
    ClickCell(g, 3, 2, MK_SHIFT);
    EXPECT_EQ(Sel(Form().Grid().selection), Sel(1, 1, 3, 2));
    const POINT from = CentreOf(g.CellRect(2, 3)), to = CentreOf(g.CellRect(4, 4));
    SendMessageW(g.Handle(), WM_LBUTTONDOWN, MK_LBUTTON, At(from));
    SendMessageW(g.Handle(), WM_MOUSEMOVE, MK_LBUTTON, At(to));
    SendMessageW(g.Handle(), WM_LBUTTONUP, 0, At(to));
    EXPECT_EQ(Sel(Form().Grid().selection), Sel(2, 3, 4, 4));

    // Fixed cells: a column, a row, everything; the bottom-right cell becomes current.
    ClickCell(g, 3, 0);
    EXPECT_EQ(Sel(Form().Grid().selection), Sel(3, 1, 3, 4));
    EXPECT_EQ(Form().Grid().row, 4);
    ClickCell(g, 0, 2);
    EXPECT_EQ(Sel(Form().Grid().selection), Sel(1, 2, 4, 2));
    ClickCell(g, 0, 0);
    EXPECT_EQ(Sel(Form().Grid().selection), Sel(1, 1, 4, 4));
    EXPECT_EQ(Form().Grid().col, 4);
    EXPECT_EQ(Form().Grid().row, 4);

    // The right click opens the menu and moves neither the current cell nor the selection.
    ClickCell(g, 2, 2);
    ClickCell(g, 3, 3, MK_SHIFT);
    RightClickCell(g, 4, 1); // outside the selection
    EXPECT_EQ(menusShown, 1);
    EXPECT_EQ(Sel(Form().Grid().selection), Sel(2, 2, 3, 3));
    EXPECT_EQ(Form().Grid().col, 3);
    EXPECT_EQ(Form().Grid().row, 3);
}

TEST_F(Form1WinTest, TypingIntoACellChangesTheGridAndEscapeTakesItBack)
{
    StringGridWin& g = Grid();
    SetFocus(g.Handle());
    ClickCell(g, 2, 3);
    SendMessageW(g.Handle(), WM_CHAR, L'東', 0);
    ASSERT_NE(g.Editor(), nullptr);
    SendMessageW(g.Editor(), WM_CHAR, L'京', 0);
    SendMessageW(g.Editor(), WM_CHAR, L'1', 0);
    EXPECT_EQ(Form().Grid().Text(2, 3), u"東京1"); // at each keystroke
    SendMessageW(g.Editor(), WM_KEYDOWN, VK_RETURN, 0);
    Pump();
    EXPECT_EQ(g.Editor(), nullptr);
    EXPECT_EQ(Form().Grid().Text(2, 3), u"東京1");
    EXPECT_EQ(WindowText(Ctl(kIdEdit1)), u"東京1"); // Edit1 follows the current cell's text

    // F2 edits the text as it is; Escape puts the old text back.
    Key(g.Handle(), VK_F2);
    ASSERT_NE(g.Editor(), nullptr);
    EXPECT_EQ(WindowText(g.Editor()), u"東京1");
    SendMessageW(g.Editor(), WM_CHAR, L'x', 0);
    EXPECT_EQ(Form().Grid().Text(2, 3), u"東京1x");
    SendMessageW(g.Editor(), WM_KEYDOWN, VK_ESCAPE, 0);
    Pump();
    EXPECT_EQ(Form().Grid().Text(2, 3), u"東京1");
    EXPECT_EQ(Form().Grid().Text(1, 1), u""); // nothing else written
}

TEST_F(Form1WinTest, DraggingBordersResizesTheDisplayOnly)
{
    StringGridWin& g = Grid();
    const int before = Form().Grid().colWidths[2];
    const RECT header = g.CellRect(2, 0);
    const int y = (header.top + header.bottom) / 2;
    SendMessageW(g.Handle(), WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(header.right, y));
    SendMessageW(g.Handle(), WM_MOUSEMOVE, MK_LBUTTON, MAKELPARAM(header.right + S(30), y));
    SendMessageW(g.Handle(), WM_LBUTTONUP, 0, MAKELPARAM(header.right + S(30), y));
    EXPECT_NEAR(Form().Grid().colWidths[2], before + 30, 1);
    EXPECT_EQ(g.CellRect(2, 0).right - g.CellRect(2, 0).left, S(Form().Grid().colWidths[2]));
    EXPECT_EQ(Sel(Form().Grid().selection), Sel(1, 1, 1, 1)); // a drag on a border selects nothing

    const RECT rowHeader = g.CellRect(0, 1);
    const int x = (rowHeader.left + rowHeader.right) / 2;
    SendMessageW(g.Handle(), WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(x, rowHeader.bottom));
    SendMessageW(g.Handle(), WM_MOUSEMOVE, MK_LBUTTON, MAKELPARAM(x, rowHeader.bottom + S(15)));
    SendMessageW(g.Handle(), WM_LBUTTONUP, 0, MAKELPARAM(x, rowHeader.bottom + S(15)));
    EXPECT_NEAR(Form().Grid().rowHeights[1], 35, 1);
    EXPECT_TRUE(Form().Table().Empty());
}

TEST_F(Form1WinTest, ReplaceDialogIsFixedCentredKeepsItsTextsAndCountsTheCells)
{
    // Cancel by the close box: nothing changes, no message.
    HWND dialog = nullptr;
    onReplaceDialog = [&](HWND w) {
        dialog = w;
        SetWindowTextW(GetDlgItem(w, TForm3::kEdit1), L"a");
        SetWindowTextW(GetDlgItem(w, TForm3::kEdit2), L"b");
        PostMessageW(w, WM_CLOSE, 0, 0);
    };
    SendMessageW(Main(), WM_COMMAND, MAKEWPARAM(kIdN4, 0), 0);
    Pump();
    ASSERT_NE(dialog, nullptr);
    EXPECT_TRUE(boxes.empty());
    EXPECT_FALSE(IsWindowVisible(dialog)); // hidden, not destroyed
    EXPECT_TRUE(IsWindow(dialog));
    EXPECT_EQ(WindowText(dialog), u"置換");

    RECT client, frame, main;
    GetClientRect(dialog, &client);
    EXPECT_EQ(client.right, S(218));
    EXPECT_GE(client.bottom, S(117));
    // Its labels are whole: as high as their font's line.
    for (HWND label = GetWindow(dialog, GW_CHILD); label != nullptr; label = GetWindow(label, GW_HWNDNEXT)) {
        if (ClassOf(label) != u"Static") continue;
        HDC dc = GetDC(label);
        HGDIOBJ old = SelectObject(dc, reinterpret_cast<HFONT>(SendMessageW(label, WM_GETFONT, 0, 0)));
        const std::wstring text = W(WindowText(label));
        SIZE extent{};
        GetTextExtentPoint32W(dc, text.c_str(), static_cast<int>(text.size()), &extent);
        TEXTMETRICW tm{};
        GetTextMetricsW(dc, &tm);
        SelectObject(dc, old);
        ReleaseDC(label, dc);
        RECT r;
        GetClientRect(label, &r);
        EXPECT_GE(r.bottom, tm.tmHeight) << Narrow(WindowText(label));
        EXPECT_GE(r.right, extent.cx) << Narrow(WindowText(label));
    }
    const LONG style = GetWindowLongW(dialog, GWL_STYLE);
    EXPECT_FALSE(style & WS_THICKFRAME);
    EXPECT_FALSE(style & WS_MAXIMIZEBOX);
    // Tab order: the two boxes, then the two buttons; 実行 is the default.
    HWND order[4] = {};
    order[0] = GetDlgItem(dialog, TForm3::kEdit1);
    for (int i = 1; i < 4; ++i) order[i] = GetNextDlgTabItem(dialog, order[i - 1], FALSE);
    EXPECT_EQ(order[1], GetDlgItem(dialog, TForm3::kEdit2));
    EXPECT_EQ(WindowText(order[2]), u"実行");
    EXPECT_EQ(WindowText(order[3]), u"中止");
    EXPECT_EQ(GetWindowLongW(order[2], GWL_STYLE) & BS_TYPEMASK, BS_DEFPUSHBUTTON);
    EXPECT_EQ(GetWindowLongW(order[3], GWL_STYLE) & BS_TYPEMASK, BS_PUSHBUTTON);

    // Opened again: the texts of the last time are there, the focus is in the search box, and what is typed
    // goes there; Enter runs the replace, which counts the cells it changed.
    StringGridWin& g = Grid();
    for (auto [c, text] : {std::pair{1, L"aaa"}, std::pair{2, L"xyz"}}) {
        ClickCell(g, c, 1);
        SendMessageW(g.Handle(), WM_CHAR, text[0], 0);
        SendMessageW(g.Editor(), WM_CHAR, text[1], 0);
        SendMessageW(g.Editor(), WM_CHAR, text[2], 0);
        SendMessageW(g.Editor(), WM_KEYDOWN, VK_RETURN, 0);
    }
    ClickCell(g, 1, 1);
    ClickCell(g, 3, 2, MK_SHIFT);
    std::u16string seenSearch, seenReplacement;
    HWND focused = nullptr;
    onReplaceDialog = [&](HWND w) {
        GetWindowRect(w, &frame);
        seenSearch = WindowText(GetDlgItem(w, TForm3::kEdit1));
        seenReplacement = WindowText(GetDlgItem(w, TForm3::kEdit2));
        // Once the dialog is up and runs its own messages: a typed character where the focus is, then Enter.
        AfterAWhile([&, w] {
            focused = GetFocus();
            SendMessageW(focused, WM_CHAR, L'a', 0); // in place of the selected search text
            MSG m{focused, WM_KEYDOWN, VK_RETURN, 0, 0, {}};
            IsDialogMessageW(w, &m);
        });
    };
    SendMessageW(Main(), WM_COMMAND, MAKEWPARAM(kIdN4, 0), 0);
    Pump();
    EXPECT_EQ(seenSearch, u"a");
    EXPECT_EQ(seenReplacement, u"b");
    EXPECT_EQ(focused, GetDlgItem(dialog, TForm3::kEdit1));
    GetWindowRect(Main(), &main);
    EXPECT_NEAR((frame.left + frame.right) / 2, (main.left + main.right) / 2, 1);
    EXPECT_NEAR((frame.top + frame.bottom) / 2, (main.top + main.bottom) / 2, 1);
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].text, u"1 個の文字列を置換しました.");
    EXPECT_EQ(boxes[0].caption, u"Gridvane23");
    EXPECT_FALSE(boxes[0].anyIcon);
    EXPECT_EQ(Form().Grid().Text(1, 1), u"baa");
    EXPECT_EQ(Form().Grid().Text(2, 1), u"xyz");
    EXPECT_EQ(replaceDialogShown, 2);
}

TEST_F(Form1WinTest, ClosingWritesTheSettingsBesideTheProgram)
{
    Click(FindByCaption(Main(), u"セルを描画"));
    EXPECT_FALSE(Form().State().checkBox1);
    SendMessageW(Main(), WM_CLOSE, 0, 0);
    EXPECT_FALSE(IsWindow(Main()));
    std::ifstream in(dir_ / "Gridvane23.ini");
    std::stringstream text;
    text << in.rdbuf();
    EXPECT_NE(text.str().find("[PlotraTlsx]"), std::string::npos);
    EXPECT_NE(text.str().find("cellLineDraw=0"), std::string::npos);
}

// ---- a whole import through COM

class Form1WinImportTest : public Form1WinTest {};

TEST_F(Form1WinImportTest, ImportsTheSelectionDrawsItAndHandsItToTheCad)
{
    const test::StandInSheet served = PartsSheet();
    test::SpreadsheetStandIn spreadsheet(served);
    test::CadStandIn cad(Main());
    {
        // The stand-in answers every call of the import (or says which one it does not).
        HeadlessImportView view;
        CellTable table;
        const ImportResult result = ImportSelection([] { return AttachRunningExcel(); }, view, table, ImportScales{}, u'.');
        ASSERT_TRUE(result.ok) << Narrow(result.detail);
    }
    const int screenWrites = spreadsheet.ScreenUpdatingWrites();
    Import(spreadsheet);

    ASSERT_EQ(boxes.size(), 1u) << (boxes.empty() ? "" : Narrow(boxes[0].text));
    EXPECT_EQ(boxes[0].text, u" 取得しました.");
    EXPECT_EQ(boxes[0].caption, u"メッセージ");
    EXPECT_TRUE(IsWindowEnabled(Ctl(kIdButton4)));
    EXPECT_TRUE(IsWindowEnabled(Ctl(kIdButton3)));
    EXPECT_EQ(WindowText(Main()), u"部品表.xlsx [一覧]");
    EXPECT_EQ(WindowText(Ctl(kIdEdit2)), u"B2");
    EXPECT_EQ(WindowText(Ctl(kIdEdit3)), u"E6");
    EXPECT_EQ(WindowText(Ctl(kIdLabel4)).rfind(u"全体: W=", 0), 0u);
    EXPECT_TRUE(spreadsheet.ScreenUpdating());
    EXPECT_EQ(spreadsheet.ScreenUpdatingWrites(), screenWrites + 2); // off and on again
    EXPECT_EQ(spreadsheet.LiveObjects(), 1) << "objects of the spreadsheet left behind";

    // The grid: headers, texts, sizes from the scale factors; cell (1, 1) current and shown.
    const TStringGridState& grid = Form().Grid();
    ASSERT_EQ(grid.colCount, 5);
    ASSERT_EQ(grid.rowCount, 6);
    EXPECT_EQ(grid.Text(1, 0), u"B");
    EXPECT_EQ(grid.Text(4, 0), u"E");
    EXPECT_EQ(grid.Text(0, 1), u"2");
    EXPECT_EQ(grid.Text(2, 3), u"六角ボルト\nM8×20");
    EXPECT_EQ(grid.colWidths[2], 9 * 20);
    EXPECT_EQ(grid.rowHeights[3], 20 * 3);
    EXPECT_EQ(grid.col, 1);
    EXPECT_EQ(grid.row, 1);
    EXPECT_EQ(WindowText(Ctl(kIdEdit1)), u"部品表（試作）");

    // Drawing: a merged cell in the merge colour, a plain one in the window's, headers in the caption's.
    StringGridWin& g = Grid();
    EXPECT_EQ(PixelOfCell(g, 2, 1), RGB(240, 255, 255));
    EXPECT_EQ(PixelOfCell(g, 1, 2), GetSysColor(COLOR_WINDOW));
    EXPECT_EQ(PixelOfCell(g, 1, 0), GetSysColor(COLOR_ACTIVECAPTION));
    EXPECT_EQ(PixelOfCell(g, 0, 2), GetSysColor(COLOR_ACTIVECAPTION));

    // Edit1: a text with a line feed in red; typing there writes the current cell; the code after the caret.
    ClickCell(g, 2, 3);
    EXPECT_EQ(WindowText(Ctl(kIdEdit1)), u"六角ボルト\nM8×20");
    auto edit1Colour = [&] {
        HDC dc = CreateCompatibleDC(nullptr);
        SendMessageW(Ctl(kIdTabSheet1), WM_CTLCOLOREDIT, reinterpret_cast<WPARAM>(dc), reinterpret_cast<LPARAM>(Ctl(kIdEdit1)));
        const COLORREF colour = GetTextColor(dc);
        DeleteDC(dc);
        return colour;
    };
    EXPECT_EQ(edit1Colour(), RGB(255, 0, 0));
    ClickCell(g, 2, 4);
    EXPECT_EQ(edit1Colour(), RGB(0, 0, 0));
    SetWindowTextW(Ctl(kIdEdit1), L"あい"); // as typing does: EN_CHANGE
    EXPECT_EQ(Form().Grid().Text(2, 4), u"あい");
    SendMessageW(Ctl(kIdEdit1), EM_SETSEL, 1, 1);
    SendMessageW(Ctl(kIdEdit1), WM_KEYUP, VK_LEFT, 0);
    EXPECT_EQ(WindowText(Ctl(kIdLabel13)), u"[3044]");
    SetWindowTextW(Ctl(kIdEdit1), L"平座金"); // back as imported, for the drawing below

    // The drawing of the table as imported, and the command line the CAD receives.
    Click(FindByCaption(Main(), u"Plotra へ挿入", u"Button"));
    const fs::path dxf = dir_ / "Gridvane23.dxf";
    ASSERT_TRUE(fs::exists(dxf));
    ASSERT_EQ(cad.Commands().size(), 1u);
    EXPECT_EQ(cad.Commands()[0], MakeInsertCommand(dxf.u16string()));

    // For the build script: the served table and the drawing, to compare with the converter on Linux.
    if (const char* out = std::getenv("GRIDVANE_WIN_OUT")) {
        std::ofstream(fs::path(out) / "window-import.table.json", std::ios::binary) << TableFileJson(served.table, served.texts);
        fs::copy_file(dxf, fs::path(out) / "window-import.dxf", fs::copy_options::overwrite_existing);
    }

    // A size box asks; No keeps everything.
    ClickCell(g, 2, 2);
    SetWindowTextW(Ctl(kIdEdit11), L"12.5");
    answers = {IDNO};
    boxes.clear();
    SendMessageW(Ctl(kIdEdit11), WM_CHAR, L'\r', 0);
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].text, u"選択範囲の列幅を変更しますか？");
    EXPECT_EQ(boxes[0].caption, u"確認");
    EXPECT_TRUE(boxes[0].yesNo);
    EXPECT_EQ(boxes[0].owner, Main()); // the system makes the grid's window the owner
    EXPECT_EQ(WindowText(Ctl(kIdEdit11)), u"27.000"); // 9 x 3, the current cell's again
    // The alignment buttons act on the selection.
    ClickCell(g, 1, 3);
    ClickCell(g, 2, 4, MK_SHIFT);
    Click(FindByCaption(Main(), u"中"));
    EXPECT_EQ(Form().ModelCell(2, 4)->txtAlign, kAlignCenter);
    Click(FindByCaption(Main(), u"右"));
    EXPECT_EQ(Form().ModelCell(1, 3)->txtAlign, kAlignRight);

    // The settings page shows the summary of the new table.
    HWND tab = Ctl(kIdPageControl1);
    SendMessageW(tab, TCM_SETCURSEL, 1, 0);
    NMHDR change{tab, static_cast<UINT_PTR>(kIdPageControl1), static_cast<UINT>(TCN_SELCHANGE)};
    SendMessageW(Main(), WM_NOTIFY, kIdPageControl1, reinterpret_cast<LPARAM>(&change));
    EXPECT_TRUE(IsWindowVisible(Ctl(kIdTabSheet2)));
    EXPECT_FALSE(IsWindowVisible(Ctl(kIdTabSheet1)));
    EXPECT_EQ(Form().State().summary[0][0], u"全幅");
    EXPECT_FALSE(Form().State().summary[0][1].empty());

    // The drawing page: the drawing painted in the layers' colours on white; a character the drawing
    // cannot carry is listed under it and marked in the grid.
    auto showPage = [&](int index) {
        SendMessageW(tab, TCM_SETCURSEL, static_cast<WPARAM>(index), 0);
        NMHDR note{tab, static_cast<UINT_PTR>(kIdPageControl1), static_cast<UINT>(TCN_SELCHANGE)};
        SendMessageW(Main(), WM_NOTIFY, kIdPageControl1, reinterpret_cast<LPARAM>(&note));
        Pump();
    };
    showPage(kPageDrawing);
    EXPECT_TRUE(IsWindowVisible(Ctl(kIdTabSheet3)));
    EXPECT_FALSE(IsWindowVisible(Ctl(kIdCodePageList)));
    auto inkOfDrawing = [&] {
        const ClientImage image(window_->DrawingView1().Handle());
        int ink = 0;
        for (int y = 0; y < image.Rect().bottom; y += 2)
            for (int x = 0; x < image.Rect().right; x += 2) ink += image.Pixel(x, y) != RGB(255, 255, 255);
        return ink;
    };
    const int fitted = inkOfDrawing();
    EXPECT_GT(fitted, 50);
    // The wheel zooms in about the pointer: more of the area is covered by the drawing's lines and texts.
    RECT viewRect;
    GetWindowRect(window_->DrawingView1().Handle(), &viewRect);
    const POINT middle = CentreOf(viewRect);
    for (int i = 0; i < 3; ++i)
        SendMessageW(window_->DrawingView1().Handle(), WM_MOUSEWHEEL, MAKEWPARAM(0, WHEEL_DELTA), MAKELPARAM(middle.x, middle.y));
    Pump();
    EXPECT_GT(Form().Preview().view.scale, 1.5 * Form().Preview().view.FitScale(Form().Preview().drawing));
    SendMessageW(window_->DrawingView1().Handle(), WM_LBUTTONDBLCLK, MK_LBUTTON, MAKELPARAM(5, 5));
    Pump();
    EXPECT_TRUE(Form().Preview().view.fitted);
    showPage(kPageTable);
    SetFocus(g.Handle());
    Key(g.Handle(), VK_END, false, true); // the last cell, E6, scrolled into view
    ASSERT_EQ(Form().Grid().col, 4);
    ASSERT_EQ(Form().Grid().row, 5);
    SendMessageW(g.Handle(), WM_CHAR, L'é', 0);
    SendMessageW(g.Editor(), WM_KEYDOWN, VK_RETURN, 0);
    Pump();
    const RECT marked = g.CellRect(4, 5);
    EXPECT_EQ(ClientImage(g.Handle()).Pixel(marked.right - 2, marked.top + 1), RGB(255, 0, 0));
    showPage(kPageDrawing);
    EXPECT_TRUE(IsWindowVisible(Ctl(kIdCodePageList)));
    ASSERT_EQ(SendMessageW(Ctl(kIdCodePageList), LB_GETCOUNT, 0, 0), 1);
    wchar_t line[256] = {};
    SendMessageW(Ctl(kIdCodePageList), LB_GETTEXT, 0, reinterpret_cast<LPARAM>(line));
    EXPECT_EQ(U(line).rfind(u"図面で表せない文字: E6", 0), 0u) << Narrow(U(line));

    // A drawing that cannot be written: the error box, with its icon and the application's title.
    fs::remove(dxf);
    fs::create_directory(dxf);
    boxes.clear();
    SendMessageW(Ctl(kIdButton4), BM_CLICK, 0, 0);
    Pump();
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_TRUE(boxes[0].errorIcon);
    EXPECT_EQ(boxes[0].caption, u"Gridvane23");
    EXPECT_NE(boxes[0].text.find(u"Gridvane23.dxf"), std::u16string::npos) << Narrow(boxes[0].text);
    EXPECT_EQ(cad.Commands().size(), 1u);
}

// A close request while an import runs cancels it, without waiting for the rest of the rows; then the
// window closes and saves.
TEST_F(Form1WinImportTest, ACloseDuringAnImportCancelsItAndCloses)
{
    test::SpreadsheetStandIn spreadsheet(LargeSheet(5000));
    PostMessageW(Main(), WM_CLOSE, 0, 0); // runs with the import's first window messages
    HWND main = Main();
    Import(spreadsheet);
    EXPECT_TRUE(boxes.empty());
    EXPECT_TRUE(Form().Table().Empty()); // never the half-read table
    Pump();
    EXPECT_FALSE(IsWindow(main));
    EXPECT_TRUE(fs::exists(dir_ / "Gridvane23.ini"));
}

// A failed import after edits keeps the edited table, its grid, caption, addresses and status line; the
// reason with its cell comes before the failure message. Esc during a large import cancels it the same
// way, and while it runs the table's controls take no input.
TEST_F(Form1WinImportTest, AFailedOrCancelledImportKeepsTheEditedTable)
{
    auto spreadsheet = std::make_unique<test::SpreadsheetStandIn>(PartsSheet());
    Import(*spreadsheet);
    ASSERT_EQ(boxes.size(), 1u);
    StringGridWin& g = Grid();
    ClickCell(g, 2, 3);
    SetWindowTextW(Ctl(kIdEdit1), L"六角ボルト M10"); // the user's edit
    const TStringGridState grid = Form().Grid();
    const std::vector<TXlsxCellAttr> table = Form().Table().CellGrid;
    const std::u16string caption = WindowText(Main()), status = WindowText(Ctl(kIdLabel4)), first = WindowText(Ctl(kIdEdit2));
    auto unchanged = [&] {
        EXPECT_EQ(Form().Grid().cells, grid.cells);
        EXPECT_EQ(Form().Table().CellGrid, table);
        EXPECT_EQ(WindowText(Main()), caption);
        EXPECT_EQ(WindowText(Ctl(kIdLabel4)), status);
        EXPECT_EQ(WindowText(Ctl(kIdEdit2)), first);
        EXPECT_EQ(WindowText(Ctl(kIdEdit1)), u"六角ボルト M10");
        EXPECT_TRUE(IsWindowEnabled(Ctl(kIdButton4))); // the kept table can be drawn
        EXPECT_TRUE(IsWindowEnabled(Grid().Handle()));
        EXPECT_TRUE(IsWindowEnabled(Ctl(kIdEdit1)));
    };

    test::StandInSheet failing = PartsSheet();
    failing.workbook = u"別表.xlsx";
    failing.divisionByZero = {{4, 3}}; // C4
    spreadsheet.reset();
    spreadsheet = std::make_unique<test::SpreadsheetStandIn>(failing);
    Import(*spreadsheet);
    ASSERT_EQ(boxes.size(), 1u);
    // The reason names the cell (its wording for an error value is the spreadsheet layer's).
    EXPECT_EQ(boxes[0].text.rfind(u"C4: ", 0), 0u) << Narrow(boxes[0].text);
    const std::u16string failed = u"\n取得に失敗しました.";
    EXPECT_EQ(boxes[0].text.substr(boxes[0].text.size() - failed.size()), failed);
    unchanged();

    spreadsheet.reset();
    spreadsheet = std::make_unique<test::SpreadsheetStandIn>(LargeSheet(5000));
    bool inputOffWhileReading = false;
    AfterAWhile([&] {
        inputOffWhileReading = !IsWindowEnabled(Grid().Handle()) && !IsWindowEnabled(Ctl(kIdEdit1)) &&
                               !IsWindowEnabled(Ctl(kIdEdit11)) && !IsWindowEnabled(FindByCaption(Main(), u"左")) &&
                               !IsWindowEnabled(Ctl(kIdButton3)) && !IsWindowEnabled(Ctl(kIdButton4));
        PostMessageW(Main(), WM_KEYDOWN, VK_ESCAPE, 0); // Esc
    });
    const auto start = std::chrono::steady_clock::now();
    Import(*spreadsheet);
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(20));
    EXPECT_TRUE(inputOffWhileReading);
    EXPECT_TRUE(boxes.empty());
    unchanged();
    EXPECT_TRUE(spreadsheet->ScreenUpdating());
}

// ---- what the user does with the keys and where the window goes

// Ctrl+Z and Ctrl+Y in the grid, in Edit1 and on a button; copy, paste and delete through the clipboard.
TEST_F(Form1WinImportTest, UndoRedoCopyPasteAndDeleteWithTheKeys)
{
    test::SpreadsheetStandIn spreadsheet(PartsSheet());
    Import(spreadsheet);
    StringGridWin& g = Grid();
    SetFocus(g.Handle());
    ClickCell(g, 2, 3);
    const std::u16string c4 = Form().Grid().Text(2, 3);
    SendMessageW(g.Handle(), WM_CHAR, L'新', 0);
    SendMessageW(g.Editor(), WM_CHAR, L'品', 0);
    SendMessageW(g.Editor(), WM_KEYDOWN, VK_RETURN, 0);
    Pump();
    EXPECT_EQ(Form().Grid().Text(2, 3), u"新品");
    Key(g.Handle(), 'Z', false, true);
    EXPECT_EQ(Form().Grid().Text(2, 3), c4); // two keystrokes, one step
    EXPECT_EQ(WindowText(Ctl(kIdEdit1)), c4);
    Key(g.Handle(), 'Y', false, true);
    EXPECT_EQ(Form().Grid().Text(2, 3), u"新品");

    // Edit1: its keystrokes are one step; Ctrl+Z there (the character it gives) takes them back.
    for (const wchar_t* text : {L"新品A", L"新品AB"}) SetWindowTextW(Ctl(kIdEdit1), text);
    SendMessageW(Ctl(kIdEdit1), WM_CHAR, 0x1A, 0);
    EXPECT_EQ(Form().Grid().Text(2, 3), u"新品");
    EXPECT_EQ(WindowText(Ctl(kIdEdit1)), u"新品");
    // A size box takes back its own typing first.
    const std::u16string width = WindowText(Ctl(kIdEdit11));
    SendMessageW(Ctl(kIdEdit11), EM_SETSEL, 0, -1);
    SendMessageW(Ctl(kIdEdit11), EM_REPLACESEL, TRUE, reinterpret_cast<LPARAM>(L"9"));
    SendMessageW(Ctl(kIdEdit11), WM_CHAR, 0x1A, 0);
    EXPECT_EQ(WindowText(Ctl(kIdEdit11)), width);
    EXPECT_EQ(Form().Grid().Text(2, 3), u"新品");
    // On a button just clicked: the window's undo.
    Click(FindByCaption(Main(), u"右"));
    EXPECT_EQ(Form().ModelCell(2, 3)->txtAlign, kAlignRight);
    BYTE state[256] = {};
    GetKeyboardState(state);
    state[VK_CONTROL] = 0x80;
    SetKeyboardState(state);
    MSG key{FindByCaption(Main(), u"右"), WM_KEYDOWN, 'Z', 0, 0, {}};
    window_->DispatchOne(key);
    state[VK_CONTROL] = 0;
    SetKeyboardState(state);
    EXPECT_EQ(Form().ModelCell(2, 3)->txtAlign, kAlignGeneral);

    // Copy B3:C4, paste at D5, delete, undo.
    SetFocus(g.Handle());
    ClickCell(g, 1, 2);
    ClickCell(g, 2, 3, MK_SHIFT);
    Key(g.Handle(), 'C', false, true);
    OpenClipboard(Main());
    const auto* clip = static_cast<const wchar_t*>(GlobalLock(GetClipboardData(CF_UNICODETEXT)));
    const std::u16string copied = clip != nullptr ? U(clip) : u"";
    GlobalUnlock(GetClipboardData(CF_UNICODETEXT));
    CloseClipboard();
    EXPECT_EQ(copied, Form().SelectionText());
    EXPECT_EQ(copied, u"番号\t品名\r\n1\t新品\r\n");
    ClickCell(g, 3, 4);
    const std::u16string d5 = Form().Grid().Text(3, 4);
    Key(g.Handle(), 'V', false, true);
    EXPECT_EQ(Form().Grid().Text(3, 4), Form().Grid().Text(1, 2));
    EXPECT_EQ(Form().Grid().Text(4, 5), Form().Grid().Text(2, 3));
    Key(g.Handle(), VK_DELETE);
    EXPECT_EQ(Form().Grid().Text(3, 4), u"");
    Key(g.Handle(), 'Z', false, true);
    Key(g.Handle(), 'Z', false, true);
    EXPECT_EQ(Form().Grid().Text(3, 4), d5);
    // The menu's undo and redo are offered while there is something to take back and to do again.
    RightClickCell(g, 1, 1);
    for (const MenuItem& item : shownMenu)
        if (item.id == static_cast<UINT>(kIdN14) || item.id == static_cast<UINT>(kIdN15)) {
            EXPECT_FALSE(item.grayed) << item.id;
        }
}

// A merged area is one cell: painted as one with its anchor's text, clicked and stepped over as one.
TEST_F(Form1WinImportTest, AMergedAreaIsShownAndUsedAsOneCell)
{
    test::SpreadsheetStandIn spreadsheet(PartsSheet());
    Import(spreadsheet);
    StringGridWin& g = Grid();
    // The title spans the four columns of row 1: no grid line between its cells, its shade across.
    const RECT b2 = g.CellRect(1, 1), c2 = g.CellRect(2, 1);
    const ClientImage image(g.Handle());
    for (int x : {static_cast<int>(b2.right), static_cast<int>(c2.right)})
        EXPECT_EQ(image.Pixel(x, b2.bottom - 3), RGB(240, 255, 255)) << x; // where the line between them was
    // The row under it keeps its lines.
    const RECT b3 = g.CellRect(1, 2);
    EXPECT_NE(image.Pixel(b3.right, b3.bottom - 3), image.Pixel(b3.right - 3, b3.bottom - 3));
    // A click on a covered cell makes the anchor current and selects the whole area.
    ClickCell(g, 3, 1);
    EXPECT_EQ(Form().Grid().col, 1);
    EXPECT_EQ(Form().Grid().row, 1);
    EXPECT_EQ(Sel(Form().Grid().selection), Sel(1, 1, 4, 1));
    EXPECT_EQ(WindowText(Ctl(kIdEdit1)), u"部品表（試作）");
    // The remark spans columns 2 and 3 of row 5: stepped over with the arrow keys.
    SetFocus(g.Handle());
    ClickCell(g, 1, 2);
    for (int i = 0; i < 3; ++i) Key(g.Handle(), VK_DOWN); // scrolled into view
    ASSERT_EQ(Form().Grid().row, 5);
    Key(g.Handle(), VK_RIGHT);
    EXPECT_EQ(Form().Grid().col, 2);
    Key(g.Handle(), VK_RIGHT);
    EXPECT_EQ(Form().Grid().col, 4);
    Key(g.Handle(), VK_LEFT);
    EXPECT_EQ(Form().Grid().col, 2);
}

// The window comes back at its place and size at the next start; the status line says where a drawing went
// when no CAD runs; the band and the settings summary show their texts whole.
TEST_F(Form1WinImportTest, PlaceStatusLineAndSummary)
{
    test::SpreadsheetStandIn spreadsheet(PartsSheet());
    Import(spreadsheet);
    // The CAD installed (its name registered) but not running.
    const test::ProgIdRedirect installed(kCadProgId, GUID{0x1C5A7E30, 0x2B1D, 0x4C77, {0x8A, 0x11, 0x3E, 0x6F, 0x90, 0x12, 0x34, 0x56}});
    boxes.clear();
    Click(FindByCaption(Main(), u"Plotra へ挿入", u"Button"));
    EXPECT_TRUE(boxes.empty()) << (boxes.empty() ? "" : Narrow(boxes[0].text));
    const std::u16string status = WindowText(Ctl(kIdLabel4));
    EXPECT_EQ(status, u"Plotra が起動していないため、図面をファイルに保存しました: " + (dir_ / "Gridvane23.dxf").u16string());
    EXPECT_EQ(TooltipOf(window_->Tooltip(), Ctl(kIdLabel4)), status);
    EXPECT_TRUE(fs::exists(dir_ / "Gridvane23.dxf"));

    // The total: whole in its place, under no other control.
    Form().ShowWHSize();
    HWND label4 = Ctl(kIdLabel4);
    RECT labelRect;
    GetWindowRect(label4, &labelRect);
    for (int id : {kIdEdit11, kIdEdit12, kIdEdit13, kIdSpeedButton1, kIdCheckBox1, kIdButton4}) {
        RECT r, overlap;
        GetWindowRect(Ctl(id), &r);
        EXPECT_FALSE(IntersectRect(&overlap, &labelRect, &r)) << id;
    }
    HDC dc = GetDC(label4);
    HGDIOBJ old = SelectObject(dc, reinterpret_cast<HFONT>(SendMessageW(label4, WM_GETFONT, 0, 0)));
    const std::wstring total = W(WindowText(label4));
    SIZE extent{};
    GetTextExtentPoint32W(dc, total.c_str(), static_cast<int>(total.size()), &extent);
    SelectObject(dc, old);
    ReleaseDC(label4, dc);
    EXPECT_EQ(total.rfind(L"全体: W=", 0), 0u);
    EXPECT_LE(extent.cx, labelRect.right - labelRect.left);
    // The summary shows its five rows whole.
    RECT summary;
    GetClientRect(window_->StringGrid2(), &summary);
    EXPECT_GE(summary.bottom, SummaryGridWin::kRows * (S(SummaryGridWin::kRowHeight) + 1));
    // Tab: the addresses are passed over, 左 中 右 are reached.
    std::set<HWND> reached;
    HWND at = Ctl(kIdEdit1);
    for (int i = 0; i < 20; ++i) reached.insert(at = GetNextDlgTabItem(Ctl(kIdTabSheet1), at, FALSE));
    for (int id : {kIdSpeedButton1, kIdSpeedButton2, kIdSpeedButton3, kIdEdit11}) EXPECT_TRUE(reached.count(Ctl(id))) << id;
    for (int id : {kIdEdit2, kIdEdit3}) EXPECT_FALSE(reached.count(Ctl(id))) << id;

    // Moved and resized, closed, started again: where it was left.
    RECT frame{0, 0, S(600), S(400)};
    AdjustWindowRectForDpi(frame, WS_OVERLAPPEDWINDOW | WS_CLIPCHILDREN, WS_EX_CONTROLPARENT, dpi_);
    SetWindowPos(Main(), nullptr, S(20), S(30), frame.right - frame.left, frame.bottom - frame.top, SWP_NOZORDER);
    Pump();
    RECT placed;
    GetWindowRect(Main(), &placed);
    SendMessageW(Main(), WM_CLOSE, 0, 0);
    Pump();
    window_ = std::make_unique<TForm1Win>(MakeFormPlatform(dir_ / "Gridvane23.exe"));
    window_->Show(SW_SHOW);
    Pump();
    RECT client, again;
    GetClientRect(Main(), &client);
    GetWindowRect(Main(), &again);
    EXPECT_EQ(client.right, S(600));
    EXPECT_EQ(client.bottom, S(400));
    EXPECT_EQ(again.left, placed.left);
    EXPECT_EQ(again.top, placed.top);
}

// The running spreadsheet in a process of its own (the out-of-process stand-in, started by the build
// script, which names in GRIDVANE_WIN_STANDIN_DXF the Linux converter's drawing of the same sheet read
// from a workbook): the window's import through COM and its drawing equal that one, byte for byte.
TEST_F(Form1WinImportTest, ImportsFromASpreadsheetInAnotherProcess)
{
    const char* expected = std::getenv("GRIDVANE_WIN_STANDIN_DXF");
    if (expected == nullptr) GTEST_SKIP() << "no spreadsheet stand-in running";
    Click(FindByCaption(Main(), u"Excel から取得", u"Button"));
    ASSERT_EQ(boxes.size(), 1u) << Narrow(boxes[0].text);
    EXPECT_EQ(boxes[0].text, u" 取得しました.");
    EXPECT_EQ(WindowText(Main()), u"見積書.xlsx [見積]");
    EXPECT_EQ(WindowText(Ctl(kIdEdit2)), u"B2");
    EXPECT_EQ(WindowText(Ctl(kIdEdit3)), u"F7");
    EXPECT_EQ(Form().Grid().colCount, 6);
    EXPECT_EQ(Form().Grid().rowCount, 7);
    Click(FindByCaption(Main(), u"Plotra へ挿入", u"Button"));
    auto bytes = [](const fs::path& path) {
        std::ifstream in(path, std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(in), {});
    };
    const std::string drawn = bytes(dir_ / "Gridvane23.dxf"), linux = bytes(expected);
    ASSERT_FALSE(linux.empty());
    EXPECT_TRUE(drawn == linux) << drawn.size() << " bytes against " << linux.size();
}

// A grid of 60,000 rows costs the rows in view: a jump to the end, a header click and a paint.
TEST_F(Form1WinImportTest, SixtyThousandRowsJumpScrollAndPaintInView)
{
    test::SpreadsheetStandIn spreadsheet(LargeSheet(60000, 1));
    using Clock = std::chrono::steady_clock;
    auto millis = [](Clock::time_point since) {
        return std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - since).count();
    };
    // The same import without a window, through the same COM calls.
    auto start = Clock::now();
    {
        HeadlessImportView view;
        CellTable table;
        const ImportResult result = ImportSelection([] { return AttachRunningExcel(); }, view, table, ImportScales{}, u'.');
        ASSERT_TRUE(result.ok) << Narrow(result.detail);
    }
    const auto headless = millis(start);
    start = Clock::now();
    Import(spreadsheet);
    const auto windowed = millis(start);
    std::printf("60,000 rows: %lld ms headless, %lld ms into the window\n", static_cast<long long>(headless),
                static_cast<long long>(windowed));
    ASSERT_EQ(boxes.size(), 1u);
    ASSERT_EQ(Form().Grid().rowCount, 60001);
    // The window's status line and progress bar cost a little, the grid nothing per cell.
    EXPECT_LT(windowed, headless * 3 / 2 + 500);
    EXPECT_EQ(WindowText(Ctl(kIdLabel4)).rfind(u"全体: W=", 0), 0u);
    StringGridWin& g = Grid();
    SetFocus(g.Handle());

    // Ctrl+End: the last cell, in view.
    start = Clock::now();
    Key(g.Handle(), VK_END, false, true);
    Pump();
    EXPECT_LT(millis(start), 1000);
    EXPECT_EQ(Form().Grid().row, 60000);
    EXPECT_GT(g.TopRow(), 59990);
    const RECT last = g.CellRect(1, 60000);
    EXPECT_FALSE(IsRectEmpty(&last));
    // A header click selects the whole column and makes its last cell current, without scrolling the view
    // away from where the user clicked.
    SendMessageW(g.Handle(), WM_VSCROLL, MAKEWPARAM(SB_TOP, 0), 0);
    start = Clock::now();
    ClickCell(g, 1, 0);
    EXPECT_LT(millis(start), 1000);
    EXPECT_EQ(Sel(Form().Grid().selection), Sel(1, 1, 1, 60000));
    EXPECT_EQ(Form().Grid().row, 60000);
    EXPECT_EQ(g.TopRow(), 1);

    // The thumb is followed as it moves.
    SendMessageW(g.Handle(), WM_VSCROLL, MAKEWPARAM(SB_THUMBTRACK, 30000), 0);
    EXPECT_EQ(g.TopRow(), 30000);
    start = Clock::now();
    for (int i = 0; i < 20; ++i) PixelOfCell(g, 1, 30000);
    EXPECT_LT(millis(start), 2000) << "20 paints";
    SendMessageW(g.Handle(), WM_VSCROLL, MAKEWPARAM(SB_TOP, 0), 0);
    EXPECT_EQ(g.TopRow(), 1);

    // A range dragged past the bottom edge scrolls on with each move.
    RECT client;
    GetClientRect(g.Handle(), &client);
    std::int32_t inView = 1; // rows of the first view
    for (RECT r = g.CellRect(1, 2); !IsRectEmpty(&r); r = g.CellRect(1, inView + 1)) ++inView;
    const POINT first = CentreOf(g.CellRect(1, 1));
    SendMessageW(g.Handle(), WM_LBUTTONDOWN, MK_LBUTTON, At(first));
    for (int i = 0; i < 5; ++i) SendMessageW(g.Handle(), WM_MOUSEMOVE, MK_LBUTTON, MAKELPARAM(first.x, client.bottom + 4));
    SendMessageW(g.Handle(), WM_LBUTTONUP, 0, MAKELPARAM(first.x, client.bottom + 4));
    EXPECT_GT(g.TopRow(), 5);
    EXPECT_EQ(Form().Grid().selection.top, 1);
    EXPECT_GT(Form().Grid().selection.bottom, inView + 4);
}

// The window after an import held on the screen for the build script's screenshots, only when
// GRIDVANE_WIN_SHOT names a folder: for each view the client area's place on the screen is written to
// "<name>.ready" ("WxH+X+Y"), and "<name>.done" is awaited. The views: the window at its start size, the
// settings page, the drawing page, the size of the Linux window's screenshot with a range selected, and
// the replace dialog.
TEST_F(Form1WinImportTest, HoldsTheWindowForScreenshots)
{
    const char* folder = std::getenv("GRIDVANE_WIN_SHOT");
    if (folder == nullptr) GTEST_SKIP() << "no screenshot asked for";
    test::SpreadsheetStandIn spreadsheet(PartsSheet());
    Import(spreadsheet);
    ASSERT_EQ(boxes.size(), 1u);
    auto hold = [&](const std::string& name, HWND window) {
        // The synthetic mouse messages leave the grid's hint pending; it is not part of the picture.
        SendMessageW(window_->Tooltip(), TTM_POP, 0, 0);
        SendMessageW(window_->Tooltip(), TTM_ACTIVATE, FALSE, 0);
        RedrawWindow(window, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN | RDW_UPDATENOW);
        Pump();
        RECT client;
        GetClientRect(window, &client);
        MapWindowPoints(window, nullptr, reinterpret_cast<POINT*>(&client), 2);
        std::ofstream(fs::path(folder) / (name + ".ready")) << client.right - client.left << "x" << client.bottom - client.top
                                                             << "+" << client.left << "+" << client.top << "\n";
        const fs::path done = fs::path(folder) / (name + ".done");
        const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(60);
        while (!fs::exists(done) && std::chrono::steady_clock::now() < until) {
            Pump();
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
        }
        EXPECT_TRUE(fs::exists(done)) << name;
    };
    SetWindowPos(Main(), nullptr, S(8), S(8), 0, 0, SWP_NOZORDER | SWP_NOSIZE);
    hold("start", Main());
    HWND tab = Ctl(kIdPageControl1);
    SendMessageW(tab, TCM_SETCURSEL, 1, 0);
    NMHDR change{tab, static_cast<UINT_PTR>(kIdPageControl1), static_cast<UINT>(TCN_SELCHANGE)};
    SendMessageW(Main(), WM_NOTIFY, kIdPageControl1, reinterpret_cast<LPARAM>(&change));
    hold("settings", Main());
    SendMessageW(tab, TCM_SETCURSEL, kPageDrawing, 0);
    SendMessageW(Main(), WM_NOTIFY, kIdPageControl1, reinterpret_cast<LPARAM>(&change));
    hold("drawing", Main());
    SendMessageW(tab, TCM_SETCURSEL, 0, 0);
    SendMessageW(Main(), WM_NOTIFY, kIdPageControl1, reinterpret_cast<LPARAM>(&change));
    RECT frame{0, 0, S(640), S(420)};
    AdjustWindowRectForDpi(frame, WS_OVERLAPPEDWINDOW, WS_EX_CONTROLPARENT, dpi_);
    SetWindowPos(Main(), nullptr, 0, 0, frame.right - frame.left, frame.bottom - frame.top, SWP_NOZORDER | SWP_NOMOVE);
    ClickCell(Grid(), 2, 3);
    ClickCell(Grid(), 3, 4, MK_SHIFT);
    hold("import", Main());
    // The replace dialog, its labels and boxes.
    onReplaceDialog = [&](HWND w) {
        AfterAWhile([&, w] {
            hold("replace", w);
            PostMessageW(GetDlgItem(w, TForm3::kButton2), BM_CLICK, 0, 0);
        });
    };
    SendMessageW(Main(), WM_COMMAND, MAKEWPARAM(kIdN4, 0), 0);
    Pump();
}

} // namespace
} // namespace gridvane::win

int main(int argc, char** argv)
{
    ::testing::InitGoogleTest(&argc, argv);
    CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    INITCOMMONCONTROLSEX controls{sizeof controls, ICC_STANDARD_CLASSES | ICC_TAB_CLASSES | ICC_PROGRESS_CLASS | ICC_BAR_CLASSES};
    InitCommonControlsEx(&controls);
    gridvane::win::TForm1Win::RegisterClasses(GetModuleHandleW(nullptr));
    HHOOK hook = SetWindowsHookExW(WH_CBT, gridvane::win::CbtHook, nullptr, GetCurrentThreadId());
    const int result = RUN_ALL_TESTS();
    UnhookWindowsHookEx(hook);
    CoUninitialize();
    return result;
}
