#include "win/SummaryGridWin.h"

#include <windowsx.h>

#include "win/WinText.h"

namespace gridvane::win {

namespace {

constexpr int kLabelWidth = 80, kValueWidth = 380; // pixels at 96 dots per inch

} // namespace

void SummaryGridWin::RegisterClass(HINSTANCE instance)
{
    WNDCLASSEXW wc{};
    wc.style = CS_HREDRAW | CS_VREDRAW;
    wc.hInstance = instance;
    wc.hCursor = LoadCursorW(nullptr, IDC_ARROW);
    wc.hbrBackground = nullptr; // everything is painted
    wc.lpszClassName = kClassName;
    Register(wc);
}

SummaryGridWin::SummaryGridWin(HWND parent, int id, const TForm1& form) : form_(form)
{
    Create(WS_EX_CLIENTEDGE, kClassName, L"StringGrid2", WS_CHILD | WS_VISIBLE, parent, id);
}

void SummaryGridWin::SetFontAndDpi(HFONT font, UINT dpi)
{
    font_ = font;
    dpi_ = dpi;
    SendMessageW(hwnd_, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
    InvalidateRect(hwnd_, nullptr, FALSE);
}

void SummaryGridWin::Paint(HDC dc, const RECT&)
{
    RECT rc;
    GetClientRect(hwnd_, &rc);
    FillRect(dc, &rc, GetSysColorBrush(COLOR_WINDOW));
    HGDIOBJ oldFont = SelectObject(dc, font_ != nullptr ? font_ : GetStockObject(DEFAULT_GUI_FONT));
    const int rowHeight = Scale(kRowHeight, dpi_);
    const int widths[2] = {Scale(kLabelWidth, dpi_), Scale(kValueWidth, dpi_)};
    HPEN pen = CreatePen(PS_SOLID, 1, GetSysColor(COLOR_3DSHADOW));
    HGDIOBJ oldPen = SelectObject(dc, pen);
    const auto& summary = form_.State().summary;
    for (int r = 0; r < kRows; ++r) {
        int x = 0;
        for (int c = 0; c < 2; ++c) {
            RECT cell{x, r * (rowHeight + 1), x + widths[c], r * (rowHeight + 1) + rowHeight};
            // Whole-row selection highlights the value only; the label cell keeps its colour.
            const bool highlighted = c == 1 && r == selectedRow_ && GetFocus() == hwnd_;
            const int back = c == 0 ? COLOR_GRADIENTACTIVECAPTION : (highlighted ? COLOR_HIGHLIGHT : COLOR_WINDOW);
            FillRect(dc, &cell, GetSysColorBrush(back));
            SetBkMode(dc, TRANSPARENT);
            SetTextColor(dc, GetSysColor(c == 0 ? COLOR_CAPTIONTEXT : (highlighted ? COLOR_HIGHLIGHTTEXT : COLOR_WINDOWTEXT)));
            RECT inner = cell;
            inner.left += Scale(2, dpi_);
            inner.top += Scale(2, dpi_);
            const std::wstring text = W(summary[static_cast<std::size_t>(r)][static_cast<std::size_t>(c)]);
            DrawTextW(dc, text.c_str(), static_cast<int>(text.size()), &inner, DT_LEFT | DT_TOP | DT_SINGLELINE | DT_NOPREFIX);
            MoveToEx(dc, cell.right, cell.top, nullptr);
            LineTo(dc, cell.right, cell.bottom + 1);
            MoveToEx(dc, cell.left, cell.bottom, nullptr);
            LineTo(dc, cell.right + 1, cell.bottom);
            x = cell.right + 1;
        }
    }
    SelectObject(dc, oldPen);
    DeleteObject(pen);
    SelectObject(dc, oldFont);
}

LRESULT SummaryGridWin::OnMessage(UINT message, WPARAM wParam, LPARAM lParam)
{
    if (LRESULT result = 0; PaintMessage(message, wParam, result)) return result;
    switch (message) {
    case WM_SETFOCUS:
    case WM_KILLFOCUS: // the selected row is highlighted only while the grid has the focus
        InvalidateRect(hwnd_, nullptr, FALSE);
        return 0;
    case WM_LBUTTONDOWN: {
        const int row = GET_Y_LPARAM(lParam) / (Scale(kRowHeight, dpi_) + 1);
        if (row >= 0 && row < kRows) selectedRow_ = row;
        InvalidateRect(hwnd_, nullptr, FALSE);
        SetFocus(hwnd_);
        return 0;
    }
    default:
        break;
    }
    return Default(message, wParam, lParam);
}

} // namespace gridvane::win
