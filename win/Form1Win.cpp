#include "win/Form1Win.h"

#include <commctrl.h>
#include <windowsx.h>

#include <algorithm>
#include <exception>

#include "win/WinText.h"

namespace gridvane::win {

namespace {

constexpr const wchar_t* kMainClass = L"GridvaneTForm1";
constexpr const wchar_t* kPageClass = L"GridvanePage";
constexpr DWORD kMainStyle = WS_OVERLAPPEDWINDOW | WS_CLIPCHILDREN;
constexpr int kClientWidth = 432, kClientHeight = 288;
constexpr int kBandHeight = 99;     // the command band above StringGrid1
constexpr int kProgressHeight = 9;
constexpr UINT_PTR kKeySubclass = 1;
constexpr UINT kShowPreview = WM_APP + 2; // the drawing page, once the handler that changed it has ended
constexpr int kCodePageRows = 4;          // lines of the list under the drawing in view
constexpr UINT_PTR kButton4AreaTool = 1; // the tooltip tool over Button4's place on the first page

HWND CreateChild(HWND parent, const wchar_t* cls, std::u16string_view text, DWORD style, int id, DWORD exStyle = 0)
{
    return CreateWindowExW(exStyle, cls, W(text).c_str(), WS_CHILD | WS_VISIBLE | style, 0, 0, 10, 10, parent,
                           reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), GetModuleHandleW(nullptr), nullptr);
}

// The command identifier of PopupMenu1's item N<number>.
int MenuCommand(int number) { return kIdN1 + number - 1; }

UINT IconFlag(MessageIcon icon)
{
    switch (icon) {
    case MessageIcon::Information: return MB_ICONINFORMATION;
    case MessageIcon::Warning: return MB_ICONWARNING;
    case MessageIcon::Error: return MB_ICONERROR;
    case MessageIcon::Question: return MB_ICONQUESTION;
    case MessageIcon::None: break;
    }
    return 0;
}

} // namespace

void TForm1Win::RegisterClasses(HINSTANCE instance)
{
    WNDCLASSEXW wc{};
    wc.cbSize = sizeof wc;
    wc.hInstance = instance;
    wc.hIcon = LoadIconW(instance, MAKEINTRESOURCEW(1));
    wc.hIconSm = wc.hIcon;
    wc.hCursor = LoadCursorW(nullptr, IDC_ARROW);
    wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
    wc.lpszClassName = kMainClass;
    Register(wc);

    // The pages have no object of their own: they pass their controls' notifications on.
    WNDCLASSEXW page = wc;
    page.lpfnWndProc = PageProc;
    page.hIcon = page.hIconSm = nullptr;
    page.lpszClassName = kPageClass;
    RegisterClassExW(&page);

    StringGridWin::RegisterClass(instance);
    SummaryGridWin::RegisterClass(instance);
    DrawingViewWin::RegisterClass(instance);
}

TForm1Win::TForm1Win(FormPlatform platform)
{
    // The form first: its FormCreate loads the settings; the window then shows the state it left.
    form_.emplace(std::move(platform), *this);
    Create(WS_EX_CONTROLPARENT, kMainClass, W(form_->State().caption).c_str(), kMainStyle, nullptr, 0, CW_USEDEFAULT,
           CW_USEDEFAULT, 100, 100);
    dpi_ = WindowDpi(hwnd_);
    CreatePopupMenu1();
    CreateControls();
    form3_ = std::make_unique<TForm3>(hwnd_);
    ApplyDpi(dpi_);

    // 432 x 288 client pixels at 100 %, centred on the work area of the screen.
    RECT frame{0, 0, Scale(kClientWidth, dpi_), Scale(kClientHeight, dpi_)};
    AdjustWindowRectForDpi(frame, kMainStyle, WS_EX_CONTROLPARENT, dpi_);
    const int width = frame.right - frame.left, height = frame.bottom - frame.top;
    MONITORINFO monitor{};
    monitor.cbSize = sizeof monitor;
    GetMonitorInfoW(MonitorFromWindow(hwnd_, MONITOR_DEFAULTTOPRIMARY), &monitor);
    const RECT& work = monitor.rcWork;
    SetWindowPos(hwnd_, nullptr, work.left + ((work.right - work.left) - width) / 2,
                 work.top + ((work.bottom - work.top) - height) / 2, width, height, SWP_NOZORDER | SWP_NOACTIVATE);
    PlaceAsSaved();
    // After the move: a window placed on a monitor of another DPI has been rescaled by WM_DPICHANGED.
    Layout();
    Refresh(~0u);
}

TForm1Win::~TForm1Win()
{
    form3_.reset();
    grid1_.reset();
    Destroy();
    if (popup_ != nullptr) DestroyMenu(popup_);
    if (font8_ != nullptr) DeleteObject(font8_);
    if (font10_ != nullptr) DeleteObject(font10_);
}

void TForm1Win::CreatePopupMenu1()
{
    popup_ = CreatePopupMenu();
    UINT position = 0;
    for (const TMenuItem& item : PopupMenu1Items()) {
        const bool separator = item.handler == nullptr;
        // An item's key is shown after a tab, where menus show keys.
        std::wstring caption = W(item.caption);
        if (!item.key.empty()) caption += L'\t' + W(item.key);
        MENUITEMINFOW mi{};
        mi.cbSize = sizeof mi;
        mi.fMask = MIIM_ID | MIIM_FTYPE | (separator ? 0u : MIIM_STRING);
        mi.fType = separator ? MFT_SEPARATOR : MFT_STRING;
        mi.wID = static_cast<UINT>(MenuCommand(item.number));
        mi.dwTypeData = caption.data();
        InsertMenuItemW(popup_, position++, TRUE, &mi);
    }
}

void TForm1Win::AddTooltip(HWND control, std::u16string_view hint)
{
    std::wstring text = W(hint);
    TOOLINFOW ti{};
    ti.cbSize = sizeof ti;
    ti.uFlags = TTF_IDISHWND | TTF_SUBCLASS;
    ti.hwnd = GetParent(control);
    ti.uId = reinterpret_cast<UINT_PTR>(control);
    ti.lpszText = text.data(); // copied by the tooltip
    SendMessageW(tooltip_, TTM_ADDTOOLW, 0, reinterpret_cast<LPARAM>(&ti));
}

void TForm1Win::CreateControls()
{
    tab_ = CreateChild(hwnd_, WC_TABCONTROLW, u"", WS_CLIPSIBLINGS | WS_TABSTOP, kIdPageControl1);
    SetWindowTextW(tab_, L"PageControl1");
    for (std::size_t i = 0; i < kPageTitles.size(); ++i) {
        std::wstring title = W(kPageTitles[i]);
        TCITEMW item{};
        item.mask = TCIF_TEXT;
        item.pszText = title.data();
        SendMessageW(tab_, TCM_INSERTITEMW, i, reinterpret_cast<LPARAM>(&item));
    }

    page1_ = CreateChild(hwnd_, kPageClass, u"TabSheet1", WS_CLIPCHILDREN, kIdTabSheet1, WS_EX_CONTROLPARENT);
    // Not clipping its children: the group boxes leave their inside to the page to paint.
    page2_ = CreateChild(hwnd_, kPageClass, u"TabSheet2", 0, kIdTabSheet2, WS_EX_CONTROLPARENT);
    page3_ = CreateChild(hwnd_, kPageClass, u"TabSheet3", WS_CLIPCHILDREN, kIdTabSheet3, WS_EX_CONTROLPARENT);
    ShowWindow(page2_, SW_HIDE);
    ShowWindow(page3_, SW_HIDE);
    for (HWND page : {page1_, page2_, page3_}) SetWindowPos(page, HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE);

    // The first page, in tab order.
    label1_ = CreateChild(page1_, WC_STATICW, kLabel1.caption, SS_LEFTNOWORDWRAP, kIdLabel1);
    edit2_ = CreateChild(page1_, WC_EDITW, u"", ES_READONLY | ES_AUTOHSCROLL, kIdEdit2, WS_EX_CLIENTEDGE);
    label2_ = CreateChild(page1_, WC_STATICW, kLabel2.caption, SS_CENTER, kIdLabel2);
    edit3_ = CreateChild(page1_, WC_EDITW, u"", ES_READONLY | ES_AUTOHSCROLL, kIdEdit3, WS_EX_CLIENTEDGE);
    button3_ = CreateChild(page1_, WC_BUTTONW, kButton3.caption, WS_TABSTOP | BS_PUSHBUTTON, kIdButton3);
    label4_ = CreateChild(page1_, WC_STATICW, u"", SS_LEFTNOWORDWRAP | SS_NOPREFIX | SS_NOTIFY, kIdLabel4);
    checkBox1_ = CreateChild(page1_, WC_BUTTONW, kCheckBox1.caption, WS_TABSTOP | BS_AUTOCHECKBOX, kIdCheckBox1);
    button4_ = CreateChild(page1_, WC_BUTTONW, kButton4.caption, WS_TABSTOP | BS_PUSHBUTTON, kIdButton4);
    edit1_ = CreateChild(page1_, WC_EDITW, u"", WS_TABSTOP | ES_AUTOHSCROLL, kIdEdit1, WS_EX_CLIENTEDGE);
    label13_ = CreateChild(page1_, WC_STATICW, u"", SS_LEFTNOWORDWRAP | SS_NOPREFIX, kIdLabel13);
    edit11_ = CreateChild(page1_, WC_EDITW, u"", WS_TABSTOP | ES_AUTOHSCROLL | ES_RIGHT, kIdEdit11, WS_EX_CLIENTEDGE);
    edit12_ = CreateChild(page1_, WC_EDITW, u"", WS_TABSTOP | ES_AUTOHSCROLL | ES_RIGHT, kIdEdit12, WS_EX_CLIENTEDGE);
    edit13_ = CreateChild(page1_, WC_EDITW, u"", WS_TABSTOP | ES_AUTOHSCROLL | ES_RIGHT, kIdEdit13, WS_EX_CLIENTEDGE);
    for (std::size_t i = 0; i < speed_.size(); ++i)
        speed_[i] = CreateChild(page1_, WC_BUTTONW, kSpeedButtons[i].caption, WS_TABSTOP | BS_OWNERDRAW, kIdSpeedButton1 + static_cast<int>(i));
    grid1_ = std::make_unique<StringGridWin>(page1_, kIdStringGrid1, *form_, popup_, hwnd_);
    progress_ = CreateChild(page1_, PROGRESS_CLASSW, u"ProgressBar1", 0, kIdProgressBar1);
    for (HWND e : {edit1_, edit11_, edit12_, edit13_})
        SetWindowSubclass(e, KeySubclass, kKeySubclass, reinterpret_cast<DWORD_PTR>(this));
    for (HWND b : speed_) SetWindowSubclass(b, HoverSubclass, kKeySubclass, reinterpret_cast<DWORD_PTR>(this));

    // The second page.
    group1_ = CreateChild(page2_, WC_BUTTONW, kGroupBox1.caption, BS_GROUPBOX, kIdGroupBox1);
    group2_ = CreateChild(page2_, WC_BUTTONW, kGroupBox2.caption, BS_GROUPBOX, kIdGroupBox2);
    for (std::size_t i = 0; i < settingsLabels_.size(); ++i)
        settingsLabels_[i] = CreateChild(page2_, WC_STATICW, kSettingsLabels[i], SS_LEFTNOWORDWRAP, kIdSettingsLabel + static_cast<int>(i));
    for (std::size_t i = 0; i < settingsEdits_.size(); ++i)
        settingsEdits_[i] = CreateChild(page2_, WC_EDITW, u"", WS_TABSTOP | ES_AUTOHSCROLL | ES_RIGHT, kIdEdit4 + static_cast<int>(i), WS_EX_CLIENTEDGE);
    for (HWND e : settingsEdits_) SetWindowSubclass(e, KeySubclass, kKeySubclass, reinterpret_cast<DWORD_PTR>(this));
    ShowEdit10Enabled();
    summary_ = std::make_unique<SummaryGridWin>(page2_, kIdStringGrid2, *form_);
    button1_ = CreateChild(page2_, WC_BUTTONW, kButton1.caption, WS_TABSTOP | BS_PUSHBUTTON, kIdButton1);

    // The drawing page: the drawing, and under it the cells with characters the drawing cannot carry.
    drawing_ = std::make_unique<DrawingViewWin>(page3_, kIdDrawingView1, *form_);
    codePageList_ = CreateChild(page3_, WC_LISTBOXW, u"", WS_VSCROLL | WS_TABSTOP | LBS_NOINTEGRALHEIGHT | LBS_NOSEL,
                                kIdCodePageList, WS_EX_CLIENTEDGE);
    ShowWindow(codePageList_, SW_HIDE);

    tooltip_ = CreateWindowExW(WS_EX_TOPMOST, TOOLTIPS_CLASSW, nullptr, WS_POPUP | TTS_ALWAYSTIP | TTS_NOPREFIX,
                               CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, hwnd_, nullptr,
                               GetModuleHandleW(nullptr), nullptr);
    SendMessageW(tooltip_, TTM_SETMAXTIPWIDTH, 0, 600);
    AddTooltip(button3_, kButton3.hint);
    AddTooltip(button4_, kButton4.hint);
    // A disabled button gets no mouse messages (its page does): the same hint over its rectangle on the
    // page, so it shows while the button waits for a table.
    std::wstring button4Hint = W(kButton4.hint);
    TOOLINFOW ti{};
    ti.cbSize = sizeof ti;
    ti.uFlags = TTF_SUBCLASS;
    ti.hwnd = page1_;
    ti.uId = kButton4AreaTool;
    ti.lpszText = button4Hint.data();
    SendMessageW(tooltip_, TTM_ADDTOOLW, 0, reinterpret_cast<LPARAM>(&ti));
    AddTooltip(edit13_, kEdit13.hint);
    for (std::size_t i = 0; i < speed_.size(); ++i) AddTooltip(speed_[i], kSpeedButtons[i].hint);
    AddTooltip(edit11_, kEdit11.hint);
    AddTooltip(edit12_, kEdit12.hint);
    AddTooltip(edit1_, kEdit1.hint);
    AddTooltip(drawing_->Handle(), kDrawingView1.hint);
    AddTooltip(grid1_->Handle(), kStringGrid1.hint);
    AddTooltip(label4_, u""); // the status line whole (Refresh)
}

void TForm1Win::ShowEdit10Enabled()
{
    const BOOL on = form_->State().edit10Enabled ? TRUE : FALSE;
    for (HWND w : {settingsEdits_[6], settingsLabels_[kLabelEdit10], settingsLabels_[kLabelByLayer]}) EnableWindow(w, on);
}

HWND TForm1Win::Control(int id) const
{
    if (HWND w = GetDlgItem(page1_, id)) return w;
    if (HWND w = GetDlgItem(page2_, id)) return w;
    if (HWND w = GetDlgItem(page3_, id)) return w;
    return GetDlgItem(hwnd_, id);
}

void TForm1Win::ApplyDpi(UINT dpi)
{
    dpi_ = dpi;
    HFONT font8 = CreateTahoma(8, dpi_), font10 = CreateTahoma(10, dpi_);
    auto setFont = [](HWND w, HFONT f) { SendMessageW(w, WM_SETFONT, reinterpret_cast<WPARAM>(f), FALSE); };
    for (HWND w : {tab_, label1_, label2_, button3_, label4_, checkBox1_, button4_, label13_, edit11_, edit12_, edit13_,
                   speed_[0], speed_[1], speed_[2], group1_, group2_, button1_, tooltip_})
        setFont(w, font8);
    summary_->SetFontAndDpi(font8, dpi_);
    for (HWND w : settingsLabels_) setFont(w, font8);
    for (HWND w : settingsEdits_) setFont(w, font8);
    // The grid and the boxes of the cell text and the addresses use the larger font.
    for (HWND w : {edit1_, edit2_, edit3_, codePageList_}) setFont(w, font10);
    grid1_->SetFontAndDpi(font10, dpi_);
    if (font8_ != nullptr) DeleteObject(font8_);
    if (font10_ != nullptr) DeleteObject(font10_);
    font8_ = font8;
    font10_ = font10;
    Layout();
    InvalidateRect(hwnd_, nullptr, TRUE);
}

void TForm1Win::Layout()
{
    if (tab_ == nullptr || drawing_ == nullptr) return; // still being built
    RECT client;
    GetClientRect(hwnd_, &client);
    MoveWindow(tab_, 0, 0, client.right, client.bottom, TRUE);
    RECT display = client;
    SendMessageW(tab_, TCM_ADJUSTRECT, FALSE, reinterpret_cast<LPARAM>(&display));
    for (HWND page : {page1_, page2_, page3_})
        MoveWindow(page, display.left, display.top, display.right - display.left, display.bottom - display.top, TRUE);
    // Page coordinates at 96 dots per inch; controls on the right keep their distance from the right edge.
    const int pw = Unscale(display.right - display.left, dpi_), ph = Unscale(display.bottom - display.top, dpi_);
    auto place = [&](HWND w, int x, int y, int cx, int cy) {
        MoveWindow(w, Scale(x, dpi_), Scale(y, dpi_), Scale(std::max(0, cx), dpi_), Scale(std::max(0, cy), dpi_), TRUE);
    };
    // Row 0: the range addresses, Button3 at the right.
    place(label1_, 6, 8, 56, 16);
    place(edit2_, 62, 4, 64, 23);
    place(label2_, 126, 8, 16, 16);
    place(edit3_, 142, 4, 64, 23);
    const int buttonX = pw - 6 - 92;
    place(button3_, buttonX, 3, 92, 25);
    // Row 1: the status line, the check box, Button4 at the right.
    const int checkX = buttonX - 8 - 80;
    place(label4_, 6, 38, checkX - 6 - 6, 16);
    place(checkBox1_, checkX, 36, 80, 20);
    place(button4_, buttonX, 33, 92, 25);
    if (tooltip_ != nullptr) {
        TOOLINFOW ti{};
        ti.cbSize = sizeof ti;
        ti.hwnd = page1_;
        ti.uId = kButton4AreaTool;
        GetWindowRect(button4_, &ti.rect);
        MapWindowPoints(nullptr, page1_, reinterpret_cast<POINT*>(&ti.rect), 2);
        SendMessageW(tooltip_, TTM_NEWTOOLRECTW, 0, reinterpret_cast<LPARAM>(&ti));
    }
    // Row 2: the cell text growing with the window, its character code, the sizes and the alignments.
    const int speedX = pw - 6 - 3 * 22;
    for (int i = 0; i < 3; ++i) place(speed_[static_cast<std::size_t>(i)], speedX + i * 22, 67, 22, 22);
    const int sizeX = speedX - 4 - (3 * 46 + 2 * 2);
    place(edit11_, sizeX, 67, 46, 22);
    place(edit12_, sizeX + 48, 67, 46, 22);
    place(edit13_, sizeX + 96, 67, 46, 22);
    const int codeX = sizeX - 4 - 44;
    place(edit1_, 6, 66, codeX - 4 - 6, 24);
    place(label13_, codeX, 71, 44, 16);
    // StringGrid1 fills the page between the band and the progress bar along the bottom edge.
    place(grid1_->Handle(), 0, kBandHeight, pw, ph - kBandHeight - kProgressHeight);
    place(progress_, 0, ph - kProgressHeight, pw, kProgressHeight);

    // The settings page: Edit4 and Edit5 in GroupBox1, Edit6 .. Edit8 in GroupBox2, a label before each box.
    place(group1_, 6, 2, 154, 70);
    place(group2_, 6, 74, 154, 182);
    constexpr int kScaleRowTops[] = {21, 44, 92, 115, 138};
    for (std::size_t i = 0; i < std::size(kScaleRowTops); ++i) {
        place(settingsLabels_[kLabelEdit4 + i], 16, kScaleRowTops[i] + 3, 60, 16);
        place(settingsEdits_[i], 80, kScaleRowTops[i], 70, 21);
    }
    place(settingsLabels_[kLabelInsetHeading], 12, 164, 144, 16);
    place(settingsLabels_[kLabelInsetBefore], 16, 185, 60, 16);
    place(settingsEdits_[5], 80, 182, 52, 21);
    place(settingsLabels_[kLabelInsetAfter], 136, 185, 18, 16);
    place(settingsLabels_[kLabelEdit10], 12, 210, 144, 16);
    place(settingsLabels_[kLabelByLayer], 12, 233, 88, 16);
    place(settingsEdits_[6], 102, 230, 48, 21);
    // All five rows with their grid lines, inside the sunken edge.
    constexpr int kSummaryHeight = SummaryGridWin::kRows * (SummaryGridWin::kRowHeight + 1) + 4;
    place(summary_->Handle(), 166, 8, pw - 166 - 6, kSummaryHeight);
    place(button1_, 166, 8 + kSummaryHeight + 8, 92, 25);

    // The drawing page: the list, when it has lines, takes up to four of them along the bottom.
    const int lines = static_cast<int>(std::min<LRESULT>(SendMessageW(codePageList_, LB_GETCOUNT, 0, 0), kCodePageRows));
    const int listHeight = lines > 0 ? static_cast<int>(SendMessageW(codePageList_, LB_GETITEMHEIGHT, 0, 0)) * lines + Scale(6, dpi_) : 0;
    const int pageWidth = display.right - display.left, pageHeight = display.bottom - display.top;
    MoveWindow(drawing_->Handle(), 0, 0, pageWidth, std::max(1, pageHeight - listHeight - (lines > 0 ? Scale(2, dpi_) : 0)), TRUE);
    MoveWindow(codePageList_, 0, pageHeight - listHeight, pageWidth, listHeight, TRUE);
    ShowWindow(codePageList_, lines > 0 ? SW_SHOWNA : SW_HIDE);
}

void TForm1Win::PlaceAsSaved()
{
    const std::optional<TWindowPlacement>& saved = form_->SavedPlacement();
    if (!saved) return;
    // The size at this window's dots per inch, never below the smallest readable one; the place only where a
    // monitor still shows it.
    RECT frame{0, 0, Scale(std::max(saved->width, kMinClientWidth), dpi_), Scale(std::max(saved->height, kMinClientHeight), dpi_)};
    AdjustWindowRectForDpi(frame, kMainStyle, WS_EX_CONTROLPARENT, dpi_);
    WINDOWPLACEMENT wp{};
    wp.length = sizeof wp;
    GetWindowPlacement(hwnd_, &wp);
    RECT place{saved->left, saved->top, saved->left + (frame.right - frame.left), saved->top + (frame.bottom - frame.top)};
    if (MonitorFromRect(&place, MONITOR_DEFAULTTONULL) == nullptr) {
        const RECT& now = wp.rcNormalPosition; // centred as at a first start
        OffsetRect(&place, (now.left + now.right - place.left - place.right) / 2, (now.top + now.bottom - place.top - place.bottom) / 2);
    }
    wp.rcNormalPosition = place;
    wp.showCmd = SW_HIDE;
    SetWindowPlacement(hwnd_, &wp);
    maximizeAtShow_ = saved->maximized;
    Layout();
}

void TForm1Win::RememberPlacement()
{
    if (!IsWindowVisible(hwnd_)) return;
    WINDOWPLACEMENT wp{};
    wp.length = sizeof wp;
    if (!GetWindowPlacement(hwnd_, &wp)) return;
    // The client size of the window as it is when not maximized, at 96 dots per inch.
    RECT none{0, 0, 0, 0};
    AdjustWindowRectForDpi(none, kMainStyle, WS_EX_CONTROLPARENT, dpi_);
    const RECT& r = wp.rcNormalPosition;
    const int width = (r.right - r.left) - (none.right - none.left), height = (r.bottom - r.top) - (none.bottom - none.top);
    form_->WindowPlaced({r.left, r.top, Unscale(width, dpi_), Unscale(height, dpi_), wp.showCmd == SW_SHOWMAXIMIZED || IsZoomed(hwnd_)});
}

void TForm1Win::Show(int showCommand)
{
    if (maximizeAtShow_ && (showCommand == SW_SHOWNORMAL || showCommand == SW_SHOWDEFAULT || showCommand == SW_SHOW))
        showCommand = SW_SHOWMAXIMIZED;
    ShowWindow(hwnd_, showCommand);
    UpdateWindow(hwnd_);
}

bool TForm1Win::HistoryKey(const MSG& msg)
{
    if (msg.message != WM_KEYDOWN || (msg.wParam != 'Z' && msg.wParam != 'Y') || (GetKeyState(VK_CONTROL) & 0x8000) == 0)
        return false;
    if (hwnd_ == nullptr || (msg.hwnd != hwnd_ && !IsChild(hwnd_, msg.hwnd))) return false;
    // The text boxes and the grid take the keys themselves (KeySubclass, StringGridWin); elsewhere in the
    // window (a button just clicked, the page tabs) they are the window's.
    wchar_t cls[16] = {};
    GetClassNameW(msg.hwnd, cls, 16);
    if (lstrcmpiW(cls, WC_EDITW) == 0 || msg.hwnd == grid1_->Handle()) return false;
    if (msg.wParam == 'Z') form_->EditUndo();
    else form_->EditRedo();
    return true;
}

void TForm1Win::DispatchOne(MSG& msg)
{
    if (HistoryKey(msg)) return;
    if (hwnd_ != nullptr && IsDialogMessageW(hwnd_, &msg)) return;
    TranslateMessage(&msg);
    DispatchMessageW(&msg);
}

int TForm1Win::RunMessageLoop()
{
    MSG msg;
    while (GetMessageW(&msg, nullptr, 0, 0) > 0) DispatchOne(msg);
    return static_cast<int>(msg.wParam);
}

// ---- FormFrontEnd

HWND TForm1Win::Owner(MessageOwner owner) const
{
    if (owner == MessageOwner::Grid && grid1_ != nullptr) return grid1_->Handle();
    return hwnd_;
}

void TForm1Win::ShowDeferred()
{
    if (deferred_ == 0) return;
    const unsigned parts = deferred_;
    deferred_ = 0;
    if (parts & kPartLabel4) SetWindowTextIfChanged(label4_, form_->State().label4);
    if (parts & kPartProgress) {
        SendMessageW(progress_, PBM_SETRANGE32, 0, std::max(1, form_->State().progressMax));
        SendMessageW(progress_, PBM_SETPOS, static_cast<WPARAM>(form_->State().progressPosition), 0);
    }
}

void TForm1Win::Message(std::u16string_view text, std::u16string_view caption, MessageIcon icon, MessageOwner owner)
{
    ShowDeferred();
    MessageBoxW(Owner(owner), W(text).c_str(), W(caption).c_str(), MB_OK | IconFlag(icon));
}

bool TForm1Win::AskYesNo(std::u16string_view text, std::u16string_view caption, MessageOwner owner)
{
    ShowDeferred();
    return MessageBoxW(Owner(owner), W(text).c_str(), W(caption).c_str(), MB_YESNO) == IDYES;
}

std::optional<std::filesystem::path> TForm1Win::ChooseWorkbook(const std::filesystem::path&)
{
    return std::nullopt; // the running spreadsheet is used; there is no workbook file to choose
}

bool TForm1Win::ShowReplaceDialog(std::u16string& search, std::u16string& replacement)
{
    return form3_->ShowModal(search, replacement);
}

void TForm1Win::ProcessEvents()
{
    ShowDeferred();
    MSG msg;
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
        if (msg.message == WM_QUIT) {
            PostQuitMessage(static_cast<int>(msg.wParam)); // for the message loop to see
            break;
        }
        if (msg.message == WM_KEYDOWN && msg.wParam == VK_ESCAPE && form_->Importing()) {
            form_->CancelImport(); // Esc stops a running import
            continue;
        }
        DispatchOne(msg);
    }
}

void TForm1Win::SetClipboardText(std::u16string_view text)
{
    if (!OpenClipboard(hwnd_)) return;
    EmptyClipboard();
    if (HGLOBAL memory = GlobalAlloc(GMEM_MOVEABLE, (text.size() + 1) * sizeof(wchar_t))) {
        auto* to = static_cast<wchar_t*>(GlobalLock(memory));
        std::copy(text.begin(), text.end(), to);
        to[text.size()] = L'\0';
        GlobalUnlock(memory);
        if (SetClipboardData(CF_UNICODETEXT, memory) == nullptr) GlobalFree(memory);
    }
    CloseClipboard();
}

std::u16string TForm1Win::ClipboardText()
{
    std::u16string text;
    if (!IsClipboardFormatAvailable(CF_UNICODETEXT) || !OpenClipboard(hwnd_)) return text;
    if (HANDLE memory = GetClipboardData(CF_UNICODETEXT)) {
        if (const auto* from = static_cast<const wchar_t*>(GlobalLock(memory))) {
            text = U(from);
            GlobalUnlock(memory);
        }
    }
    CloseClipboard();
    return text;
}

void TForm1Win::CloseWindow()
{
    // Posted: the form may still be inside the handler that asked for it. The close request runs as the
    // close box's does, so the settings are saved.
    if (hwnd_ != nullptr) PostMessageW(hwnd_, WM_CLOSE, 0, 0);
}

void TForm1Win::Refresh(unsigned parts)
{
    if (hwnd_ == nullptr || grid1_ == nullptr) return; // the window shows the whole state once it exists
    // During an import the status line and the progress bar change with every row, and each change would
    // repaint at once: they are shown when window messages run (the form lets them run every few
    // milliseconds), before a message box, and when the import has ended.
    constexpr unsigned kRowParts = kPartLabel4 | kPartProgress;
    if (form_->Importing() && (parts & kRowParts)) {
        deferred_ |= parts & kRowParts;
        parts &= ~kRowParts;
    } else {
        parts |= deferred_;
        deferred_ = 0;
    }
    const TForm1State& s = form_->State();
    filling_ = true;
    if (parts & kPartCaption) SetWindowTextIfChanged(hwnd_, s.caption);
    if (parts & kPartButtons) ShowEnabled();
    if (parts & kPartEdit1) {
        SetWindowTextIfChanged(edit1_, s.edit1);
        InvalidateRect(edit1_, nullptr, TRUE); // the colour
    }
    if (parts & kPartAddresses) {
        SetWindowTextIfChanged(edit2_, s.edit2);
        SetWindowTextIfChanged(edit3_, s.edit3);
    }
    if (parts & kPartSizeBoxes) {
        SetWindowTextIfChanged(edit11_, s.edit11);
        SetWindowTextIfChanged(edit12_, s.edit12);
        SetWindowTextIfChanged(edit13_, s.edit13);
    }
    if (parts & kPartLabel4) {
        SetWindowTextIfChanged(label4_, s.label4);
        // Whole in its hint, where the line is cut.
        std::wstring hint = W(s.label4);
        TOOLINFOW ti{};
        ti.cbSize = sizeof ti;
        ti.hwnd = page1_;
        ti.uId = reinterpret_cast<UINT_PTR>(label4_);
        ti.lpszText = hint.data();
        SendMessageW(tooltip_, TTM_UPDATETIPTEXTW, 0, reinterpret_cast<LPARAM>(&ti));
    }
    if (parts & kPartLabel13) SetWindowTextIfChanged(label13_, s.label13);
    if (parts & kPartSpeedButtons)
        for (HWND b : speed_) InvalidateRect(b, nullptr, TRUE);
    if (parts & kPartCheckBox) Button_SetCheck(checkBox1_, s.checkBox1 ? BST_CHECKED : BST_UNCHECKED);
    if (parts & kPartProgress) {
        SendMessageW(progress_, PBM_SETRANGE32, 0, std::max(1, s.progressMax));
        SendMessageW(progress_, PBM_SETPOS, static_cast<WPARAM>(s.progressPosition), 0);
    }
    if (parts & kPartSettingsEdits) {
        for (std::size_t i = 0; i < settingsEdits_.size(); ++i) SetWindowTextIfChanged(settingsEdits_[i], s.settingsEdits[i]);
        ShowEdit10Enabled();
    }
    if (parts & kPartSummary) InvalidateRect(summary_->Handle(), nullptr, FALSE);
    filling_ = false;
    grid1_->Refresh(parts);
    if ((parts & kPartPreview) && !previewQueued_ &&
        static_cast<int>(SendMessageW(tab_, TCM_GETCURSEL, 0, 0)) == kPageDrawing) {
        // Laid out once the handler that changed the table has ended, not within it.
        previewQueued_ = true;
        PostMessageW(hwnd_, kShowPreview, 0, 0);
    }
    if (parts == ~0u && static_cast<int>(SendMessageW(tab_, TCM_GETCURSEL, 0, 0)) != s.activePage) {
        SendMessageW(tab_, TCM_SETCURSEL, static_cast<WPARAM>(s.activePage), 0);
        SelectPage(s.activePage);
    }
}

void TForm1Win::ShowEnabled()
{
    const TForm1State& s = form_->State();
    EnableWindow(button3_, s.button3Enabled);
    EnableWindow(button4_, s.button4Enabled);
    // During an import the table takes no input.
    for (HWND w : {grid1_->Handle(), edit1_, edit11_, edit12_, edit13_, speed_[0], speed_[1], speed_[2]})
        EnableWindow(w, s.tableInput);
}

// ---- window procedures

void TForm1Win::SelectPage(int index)
{
    const HWND pages[] = {page1_, page2_, page3_};
    for (int i = 0; i < 3; ++i) ShowWindow(pages[i], i == index ? SW_SHOW : SW_HIDE);
}

void TForm1Win::ShowPreview()
{
    previewQueued_ = false;
    if (static_cast<int>(SendMessageW(tab_, TCM_GETCURSEL, 0, 0)) != kPageDrawing) return;
    // Laying out a big table takes a moment: the busy cursor says so.
    HCURSOR previous = form_->PreviewStale() ? SetCursor(LoadCursorW(nullptr, IDC_WAIT)) : nullptr;
    const TPreviewState& p = form_->Preview();
    if (previous != nullptr) SetCursor(previous);
    if (p.generation != previewShown_) {
        previewShown_ = p.generation;
        SendMessageW(codePageList_, WM_SETREDRAW, FALSE, 0);
        SendMessageW(codePageList_, LB_RESETCONTENT, 0, 0);
        for (const std::u16string& line : p.codePageLines)
            SendMessageW(codePageList_, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(W(line).c_str()));
        SendMessageW(codePageList_, WM_SETREDRAW, TRUE, 0);
        Layout();
    }
    InvalidateRect(drawing_->Handle(), nullptr, FALSE);
}

void TForm1Win::Command(int id, int code, HWND control)
{
    TForm1& f = *form_;
    switch (id) {
    case kIdButton3: if (code == BN_CLICKED) f.Button3Click(); return;
    case kIdButton4: if (code == BN_CLICKED) f.Button4Click(); return;
    case kIdButton1: if (code == BN_CLICKED) f.Button1Click(); return;
    case kIdCheckBox1: if (code == BN_CLICKED) f.CheckBox1Click(Button_GetCheck(control) == BST_CHECKED); return;
    case kIdSpeedButton1: case kIdSpeedButton2: case kIdSpeedButton3:
        if (code == BN_CLICKED) f.SpeedButton1Click(id - kIdSpeedButton1 + 1);
        return;
    case kIdEdit1:
        if (code == EN_CHANGE && !filling_) f.Edit1Change(WindowText(control));
        return;
    default: break;
    }
    for (const TMenuItem& item : PopupMenu1Items()) {
        if (id != MenuCommand(item.number)) continue;
        if (item.handler != nullptr) (f.*item.handler)();
        return;
    }
    if (id >= kIdEdit4 && id < kIdEdit4 + 7 && code == EN_CHANGE && !filling_)
        f.SettingsEditChange(id - kIdEdit4, WindowText(control));
}

void TForm1Win::DrawSpeedButton(const DRAWITEMSTRUCT& item)
{
    const int index = static_cast<int>(item.CtlID) - kIdSpeedButton1;
    const bool focused = (item.itemState & ODS_FOCUS) != 0;
    const bool raised = index >= 0 && index < 3 && form_->State().speedRaised[static_cast<std::size_t>(index)];
    RECT rc = item.rcItem;
    const bool pressed = (item.itemState & ODS_SELECTED) != 0;
    if (raised) {
        // Not flat: an ordinary button's face.
        DrawFrameControl(item.hDC, &rc, DFC_BUTTON, DFCS_BUTTONPUSH | (pressed ? DFCS_PUSHED : 0u));
    } else {
        // Flat: no frame until the mouse is over it.
        FillRect(item.hDC, &rc, GetSysColorBrush(COLOR_BTNFACE));
        if (pressed) DrawEdge(item.hDC, &rc, BDR_SUNKENOUTER, BF_RECT);
        else if (item.hwndItem == hotSpeed_) DrawEdge(item.hDC, &rc, BDR_RAISEDINNER, BF_RECT);
    }
    wchar_t text[8] = {};
    GetWindowTextW(item.hwndItem, text, 8);
    SetBkMode(item.hDC, TRANSPARENT);
    SetTextColor(item.hDC, GetSysColor((item.itemState & ODS_DISABLED) ? COLOR_GRAYTEXT : COLOR_BTNTEXT));
    if (pressed) OffsetRect(&rc, 1, 1);
    DrawTextW(item.hDC, text, -1, &rc, DT_CENTER | DT_VCENTER | DT_SINGLELINE | DT_NOPREFIX);
    if (focused) {
        RECT inner = item.rcItem;
        InflateRect(&inner, -Scale(3, dpi_), -Scale(3, dpi_));
        DrawFocusRect(item.hDC, &inner);
    }
}

LRESULT CALLBACK TForm1Win::PageProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    // The controls' notifications go to the main window, which owns the handlers.
    case WM_COMMAND:
    case WM_NOTIFY:
    case WM_DRAWITEM:
    case WM_CTLCOLOREDIT:
    case WM_CTLCOLORSTATIC:
    case WM_CTLCOLORBTN:
        return SendMessageW(GetAncestor(hwnd, GA_ROOT), message, wParam, lParam);
    default:
        break;
    }
    return DefWindowProcW(hwnd, message, wParam, lParam);
}

LRESULT CALLBACK TForm1Win::KeySubclass(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR, DWORD_PTR data)
{
    auto* self = reinterpret_cast<TForm1Win*>(data);
    const int id = GetDlgCtrlID(hwnd);
    try {
        // Ctrl+Z and Ctrl+Y, as the characters the keys give: in Edit1 the table's undo and redo (its typing
        // is a step); in a size or settings box its own typing is taken back first, and the table's step
        // when it has none.
        if (message == WM_CHAR && (wParam == 0x1A || wParam == 0x19)) {
            const bool own = id != kIdEdit1 && wParam == 0x1A && SendMessageW(hwnd, EM_CANUNDO, 0, 0) != 0;
            if (!own) {
                if (wParam == 0x1A) self->form_->EditUndo();
                else self->form_->EditRedo();
                return 0;
            }
        }
        if (id == kIdEdit1) {
            if (message == WM_KEYUP && (wParam == VK_LEFT || wParam == VK_UP || wParam == VK_RIGHT || wParam == VK_DOWN)) {
                const LRESULT result = DefSubclassProc(hwnd, message, wParam, lParam);
                DWORD start = 0;
                SendMessageW(hwnd, EM_GETSEL, reinterpret_cast<WPARAM>(&start), 0);
                self->form_->Edit1KeyUp(start);
                return result;
            }
        } else if (id == kIdEdit11 || id == kIdEdit12 || id == kIdEdit13) {
            // The size boxes take Enter themselves (the dialog manager would swallow it).
            if (message == WM_GETDLGCODE && wParam == VK_RETURN) return DLGC_WANTALLKEYS;
            if (message == WM_CHAR && wParam == L'\r') {
                const std::u16string text = WindowText(hwnd);
                if (id == kIdEdit11) self->form_->Edit11KeyPress(text);
                else if (id == kIdEdit12) self->form_->Edit12KeyPress(text);
                else self->form_->Edit13KeyPress(text);
                return 0; // consumed
            }
        }
    } catch (const std::exception& e) {
        self->form_->ShowEscapedError(&e);
        return 0;
    }
    if (message == WM_NCDESTROY) RemoveWindowSubclass(hwnd, KeySubclass, kKeySubclass);
    return DefSubclassProc(hwnd, message, wParam, lParam);
}

// The flat speed buttons show a frame while the mouse is over them.
LRESULT CALLBACK TForm1Win::HoverSubclass(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR, DWORD_PTR data)
{
    auto* self = reinterpret_cast<TForm1Win*>(data);
    if (message == WM_MOUSEMOVE && self->hotSpeed_ != hwnd) {
        HWND previous = self->hotSpeed_;
        self->hotSpeed_ = hwnd;
        if (previous != nullptr) InvalidateRect(previous, nullptr, FALSE);
        InvalidateRect(hwnd, nullptr, FALSE);
        TRACKMOUSEEVENT track{sizeof track, TME_LEAVE, hwnd, 0};
        TrackMouseEvent(&track);
    } else if (message == WM_MOUSELEAVE && self->hotSpeed_ == hwnd) {
        self->hotSpeed_ = nullptr;
        InvalidateRect(hwnd, nullptr, FALSE);
    } else if (message == WM_NCDESTROY) {
        if (self->hotSpeed_ == hwnd) self->hotSpeed_ = nullptr;
        RemoveWindowSubclass(hwnd, HoverSubclass, kKeySubclass);
    }
    return DefSubclassProc(hwnd, message, wParam, lParam);
}

void TForm1Win::Escaped(const std::exception* e) { form_->ShowEscapedError(e); }

LRESULT TForm1Win::OnMessage(UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_SIZE:
        Layout();
        return 0;
    case WM_GETMINMAXINFO: {
        // Never smaller than the client area at which every control is readable.
        auto* info = reinterpret_cast<MINMAXINFO*>(lParam);
        RECT frame{0, 0, Scale(kMinClientWidth, dpi_), Scale(kMinClientHeight, dpi_)};
        AdjustWindowRectForDpi(frame, kMainStyle, WS_EX_CONTROLPARENT, dpi_);
        info->ptMinTrackSize = POINT{frame.right - frame.left, frame.bottom - frame.top};
        return 0;
    }
    case WM_INITMENUPOPUP:
        if (reinterpret_cast<HMENU>(wParam) == popup_) {
            for (const TMenuItem& item : PopupMenu1Items()) {
                if (item.enabled == nullptr) continue;
                const bool on = ((*form_).*item.enabled)();
                EnableMenuItem(popup_, static_cast<UINT>(MenuCommand(item.number)), MF_BYCOMMAND | (on ? MF_ENABLED : MF_GRAYED));
            }
        }
        return 0;
    case WM_DPICHANGED:
        ApplyDpi(HIWORD(wParam));
        MoveToSuggestedRect(lParam);
        return 0;
    case WM_COMMAND:
        if (lParam == 0 && HIWORD(wParam) == 0) { // a menu item
            Command(LOWORD(wParam), 0, nullptr);
            return 0;
        }
        if (lParam != 0) Command(LOWORD(wParam), HIWORD(wParam), reinterpret_cast<HWND>(lParam));
        if (!form_->Importing()) ShowDeferred(); // an import has ended
        return 0;
    case WM_NOTIFY: {
        const auto* header = reinterpret_cast<const NMHDR*>(lParam);
        if (header->hwndFrom == tab_ && header->code == TCN_SELCHANGE) {
            const int index = static_cast<int>(SendMessageW(tab_, TCM_GETCURSEL, 0, 0));
            SelectPage(index);
            form_->PageControl1Change(index);
        }
        return 0;
    }
    case WM_DRAWITEM: {
        const auto* item = reinterpret_cast<const DRAWITEMSTRUCT*>(lParam);
        if (item->CtlType == ODT_BUTTON) DrawSpeedButton(*item);
        return TRUE;
    }
    case WM_CTLCOLOREDIT:
        if (reinterpret_cast<HWND>(lParam) == edit1_) {
            HDC dc = reinterpret_cast<HDC>(wParam);
            SetTextColor(dc, Colour(form_->State().edit1Red ? kLineFeedTextColor : kPlainTextColor));
            SetBkColor(dc, GetSysColor(COLOR_WINDOW));
            return reinterpret_cast<LRESULT>(GetSysColorBrush(COLOR_WINDOW));
        }
        break;
    case WM_SYSCOLORCHANGE:
    case WM_THEMECHANGED:
        RedrawWindow(hwnd_, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN);
        return 0;
    case kShowPreview:
        ShowPreview();
        return 0;
    case WM_CLOSE:
        // A running import is cancelled and an insertion awaited; the form closes the window when it has ended.
        RememberPlacement();
        if (form_->FormCloseQuery()) DestroyWindow(hwnd_);
        return 0;
    case WM_QUERYENDSESSION:
        RememberPlacement();
        return form_->FormCloseQuery() ? TRUE : FALSE;
    case WM_DESTROY:
        PostQuitMessage(0);
        return 0;
    default:
        break;
    }
    return Default(message, wParam, lParam);
}

} // namespace gridvane::win
