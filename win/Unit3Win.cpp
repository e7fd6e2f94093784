#include "win/Unit3Win.h"

#include <commctrl.h>

#include <algorithm>

#include "form/WindowTexts.h"
#include "win/WinText.h"

namespace gridvane::win {

namespace {

constexpr const wchar_t* kClassName = L"GridvaneTForm3";
constexpr DWORD kStyle = WS_POPUP | WS_CAPTION | WS_SYSMENU | WS_CLIPCHILDREN; // fixed size: no sizing border
constexpr DWORD kExStyle = WS_EX_DLGMODALFRAME | WS_EX_CONTROLPARENT;
constexpr int kClientWidth = 218, kClientHeight = 117;

} // namespace

TForm3::TForm3(HWND owner) : owner_(owner)
{
    HINSTANCE instance = GetModuleHandleW(nullptr);
    static bool registered = false;
    if (!registered) {
        WNDCLASSEXW wc{};
        wc.hInstance = instance;
        wc.hCursor = LoadCursorW(nullptr, IDC_ARROW);
        wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
        wc.lpszClassName = kClassName;
        Register(wc);
        registered = true;
    }
    Create(kExStyle, kClassName, W(kForm3Caption).c_str(), kStyle, owner, 0, 0, 0, 100, 100);
    auto make = [&](const wchar_t* cls, std::u16string_view text, DWORD style, int id, DWORD ex = 0) {
        return CreateWindowExW(ex, cls, W(text).c_str(), WS_CHILD | WS_VISIBLE | style, 0, 0, 10, 10, hwnd_,
                               reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), instance, nullptr);
    };
    // Created in tab order.
    label1_ = make(WC_STATICW, kForm3Label1.caption, 0, 0);
    edit1_ = make(WC_EDITW, {}, WS_TABSTOP | ES_AUTOHSCROLL, kEdit1, WS_EX_CLIENTEDGE);
    label2_ = make(WC_STATICW, kForm3Label2.caption, 0, 0);
    edit2_ = make(WC_EDITW, {}, WS_TABSTOP | ES_AUTOHSCROLL, kEdit2, WS_EX_CLIENTEDGE);
    button1_ = make(WC_BUTTONW, kForm3Button1.caption, WS_TABSTOP | BS_DEFPUSHBUTTON, kButton1);
    button2_ = make(WC_BUTTONW, kForm3Button2.caption, WS_TABSTOP | BS_PUSHBUTTON, kButton2);
    ApplyDpi(WindowDpi(hwnd_));
}

TForm3::~TForm3()
{
    Destroy();
    if (font_ != nullptr) DeleteObject(font_);
}

void TForm3::ApplyDpi(UINT dpi)
{
    dpi_ = dpi;
    HFONT font = CreateTahoma(8, dpi_);
    for (HWND child : {label1_, edit1_, label2_, edit2_, button1_, button2_})
        SendMessageW(child, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
    if (font_ != nullptr) DeleteObject(font_);
    font_ = font;
    Layout();
}

void TForm3::Layout()
{
    // A label as high as the font's line (Japanese glyphs reach lower than Latin ones), the box under it.
    HDC dc = GetDC(hwnd_);
    HGDIOBJ old = SelectObject(dc, font_);
    TEXTMETRICW tm{};
    GetTextMetricsW(dc, &tm);
    SelectObject(dc, old);
    ReleaseDC(hwnd_, dc);
    const int line = std::max(14, Unscale(tm.tmHeight + tm.tmExternalLeading, dpi_) + 1);
    auto place = [&](HWND w, int x, int y, int cx, int cy) {
        MoveWindow(w, Scale(x, dpi_), Scale(y, dpi_), Scale(cx, dpi_), Scale(cy, dpi_), TRUE);
    };
    int y = 6;
    place(label1_, 8, y, 202, line);
    place(edit1_, 8, y += line, 202, 21);
    place(label2_, 8, y += 21 + 5, 202, line);
    place(edit2_, 8, y += line, 202, 21);
    place(button1_, 56, y += 21 + 7, 75, 24);
    place(button2_, 135, y, 75, 24);
    clientHeight_ = std::max(kClientHeight, y + 24 + 5);
}

void TForm3::End(bool ok)
{
    ok_ = ok;
    running_ = false;
}

bool TForm3::ShowModal(std::u16string& search, std::u16string& replacement)
{
    SetWindowTextW(edit1_, W(search).c_str());
    SetWindowTextW(edit2_, W(replacement).c_str());

    // Sized for the dots per inch of the main window's monitor and centred on the main window.
    ApplyDpi(WindowDpi(owner_));
    RECT frame{0, 0, Scale(kClientWidth, dpi_), Scale(clientHeight_, dpi_)};
    AdjustWindowRectForDpi(frame, kStyle, kExStyle, dpi_);
    const int width = frame.right - frame.left, height = frame.bottom - frame.top;
    RECT main{};
    GetWindowRect(owner_, &main);
    const int x = main.left + ((main.right - main.left) - width) / 2;
    const int y = main.top + ((main.bottom - main.top) - height) / 2;
    SetWindowPos(hwnd_, HWND_TOP, x, y, width, height, SWP_NOACTIVATE);

    EnableWindow(owner_, FALSE);
    ShowWindow(hwnd_, SW_SHOW);
    SetFocus(edit1_);
    SendMessageW(edit1_, EM_SETSEL, 0, -1);
    running_ = true;
    ok_ = false;
    MSG msg;
    while (running_ && GetMessageW(&msg, nullptr, 0, 0) > 0) {
        if (!IsDialogMessageW(hwnd_, &msg)) {
            TranslateMessage(&msg);
            DispatchMessageW(&msg);
        }
    }
    if (running_) PostQuitMessage(static_cast<int>(msg.wParam)); // WM_QUIT arrived: pass it on
    running_ = false;
    EnableWindow(owner_, TRUE);
    ShowWindow(hwnd_, SW_HIDE);
    SetActiveWindow(owner_);
    search = WindowText(edit1_);
    replacement = WindowText(edit2_);
    return ok_;
}

LRESULT TForm3::OnMessage(UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_COMMAND:
        // Enter (the default button, 実行) runs the replace; Escape (IDCANCEL from the dialog manager) is 中止.
        if ((LOWORD(wParam) == kButton1 || LOWORD(wParam) == IDOK) && HIWORD(wParam) == BN_CLICKED) End(true);
        else if ((LOWORD(wParam) == kButton2 || LOWORD(wParam) == IDCANCEL) && HIWORD(wParam) == BN_CLICKED) End(false);
        return 0;
    case WM_ACTIVATE:
        // The focus goes back into the dialog, to the search box when it is shown anew (what is typed at
        // once is the search).
        if (LOWORD(wParam) != WA_INACTIVE) {
            HWND focus = GetFocus();
            if (focus == nullptr || (focus != hwnd_ && !IsChild(hwnd_, focus)) || focus == hwnd_) SetFocus(edit1_);
            return 0;
        }
        break;
    case WM_CLOSE:
        End(false);
        return 0;
    case WM_DPICHANGED:
        ApplyDpi(HIWORD(wParam));
        MoveToSuggestedRect(lParam);
        return 0;
    default:
        break;
    }
    return Default(message, wParam, lParam);
}

} // namespace gridvane::win
