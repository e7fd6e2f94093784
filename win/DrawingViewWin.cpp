#include "win/DrawingViewWin.h"

#include <windowsx.h>

#include <algorithm>
#include <climits>
#include <cmath>
#include <vector>

#include "layout/TableLayout.h"
#include "win/WinText.h"

namespace gridvane::win {

void DrawingViewWin::RegisterClass(HINSTANCE instance)
{
    WNDCLASSEXW wc{};
    wc.style = CS_DBLCLKS | CS_HREDRAW | CS_VREDRAW;
    wc.hInstance = instance;
    wc.hCursor = LoadCursorW(nullptr, IDC_SIZEALL);
    wc.lpszClassName = kClassName;
    Register(wc);
}

DrawingViewWin::DrawingViewWin(HWND parent, int id, TForm1& form) : form_(form)
{
    Create(WS_EX_CLIENTEDGE, kClassName, L"DrawingView1", WS_CHILD | WS_VISIBLE, parent, id);
}

void DrawingViewWin::Paint(HDC target, const RECT&)
{
    RECT rc;
    GetClientRect(hwnd_, &rc);
    HDC dc = CreateCompatibleDC(target);
    HBITMAP bitmap = CreateCompatibleBitmap(target, std::max<LONG>(1, rc.right), std::max<LONG>(1, rc.bottom));
    HGDIOBJ oldBitmap = SelectObject(dc, bitmap);
    FillRect(dc, &rc, static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH)));
    SetBkMode(dc, TRANSPARENT);

    const TPreviewState& preview = form_.Preview();
    if (!preview.error.empty()) {
        HFONT font = CreateTahoma(10, WindowDpi(hwnd_));
        HGDIOBJ old = SelectObject(dc, font);
        SetTextColor(dc, RGB(192, 0, 0));
        RECT inner{rc.left + 8, rc.top + 8, rc.right - 8, rc.bottom - 8};
        const std::wstring text = W(preview.error);
        DrawTextW(dc, text.c_str(), static_cast<int>(text.size()), &inner, DT_CENTER | DT_WORDBREAK | DT_NOPREFIX);
        SelectObject(dc, old);
        DeleteObject(font);
    } else {
        const DrawingPreview& d = preview.drawing;
        const PreviewViewport& v = preview.view;
        auto px = [&](const TAcadPoint& p) {
            return POINT{static_cast<LONG>(std::lround(v.PixelX(p.x))), static_cast<LONG>(std::lround(v.PixelY(p.y)))};
        };
        const RECT visible{rc.left - 2, rc.top - 2, rc.right + 2, rc.bottom + 2};
        HPEN pen = nullptr;
        HFONT font = nullptr;
        int fontPixels = -1;
        std::uint8_t penLayer = 0xFF;
        COLORREF penColour = 0;
        HGDIOBJ oldPen = SelectObject(dc, GetStockObject(BLACK_PEN));
        HGDIOBJ oldFont = SelectObject(dc, GetStockObject(DEFAULT_GUI_FONT));
        SelectObject(dc, GetStockObject(NULL_BRUSH));
        std::vector<POINT> polygon;
        for (const PreviewEntity& e : d.entities) {
            const auto points = d.Points(e);
            if (points.empty()) continue;
            if (e.layer != penLayer) {
                penLayer = e.layer;
                penColour = Colour(PreviewLayerColor(e.layer));
                HPEN next = CreatePen(PS_SOLID, 1, penColour); // a hairline at every zoom
                SelectObject(dc, next);
                if (pen != nullptr) DeleteObject(pen);
                pen = next;
                SetTextColor(dc, penColour);
            }
            if (e.kind == PreviewKind::Text) {
                const double pixels = e.height * v.scale;
                if (pixels < 2) continue; // too small to read
                const int size = static_cast<int>(std::lround(std::min(pixels, 4096.0)));
                if (size != fontPixels) {
                    LOGFONTW lf{};
                    lf.lfHeight = -size; // the em, as the text height is that of a capital or a kanji
                    lf.lfCharSet = DEFAULT_CHARSET;
                    lf.lfQuality = ANTIALIASED_QUALITY;
                    lstrcpyW(lf.lfFaceName, L"Tahoma");
                    HFONT next = CreateFontIndirectW(&lf);
                    SelectObject(dc, next);
                    if (font != nullptr) DeleteObject(font);
                    font = next;
                    fontPixels = size;
                }
                const std::wstring text = W(e.text);
                SIZE extent{};
                GetTextExtentPoint32W(dc, text.c_str(), static_cast<int>(text.size()), &extent);
                const POINT p = px(points[0]);
                int x = p.x;
                if (e.horizontal == 1) x -= extent.cx / 2;
                else if (e.horizontal == 2) x -= extent.cx;
                // A text's middle lies 0.38 em above its baseline.
                int baseline = p.y;
                if (e.vertical == 2) baseline += static_cast<int>(std::lround(0.38 * size));
                else if (e.vertical == 3) baseline += static_cast<int>(std::lround(0.76 * size));
                const RECT box{x, baseline - size, x + extent.cx, baseline + size / 3};
                RECT shown;
                if (!IntersectRect(&shown, &box, &visible)) continue;
                SetTextAlign(dc, TA_BASELINE | TA_LEFT | TA_NOUPDATECP);
                TextOutW(dc, x, baseline, text.c_str(), static_cast<int>(text.size()));
                continue;
            }
            polygon.clear();
            RECT box{LONG_MAX, LONG_MAX, LONG_MIN, LONG_MIN};
            for (const TAcadPoint& point : points) {
                const POINT q = px(point);
                polygon.push_back(q);
                box.left = std::min(box.left, q.x);
                box.top = std::min(box.top, q.y);
                box.right = std::max(box.right, q.x + 1);
                box.bottom = std::max(box.bottom, q.y + 1);
            }
            RECT shown;
            if (!IntersectRect(&shown, &box, &visible)) continue;
            if (e.kind == PreviewKind::Polyline && e.closed) polygon.push_back(polygon.front());
            Polyline(dc, polygon.data(), static_cast<int>(polygon.size()));
            SetPixel(dc, polygon.back().x, polygon.back().y, penColour); // Polyline leaves out the last point
        }
        SelectObject(dc, oldPen);
        SelectObject(dc, oldFont);
        if (pen != nullptr) DeleteObject(pen);
        if (font != nullptr) DeleteObject(font);
    }
    BitBlt(target, 0, 0, rc.right, rc.bottom, dc, 0, 0, SRCCOPY);
    SelectObject(dc, oldBitmap);
    DeleteObject(bitmap);
    DeleteDC(dc);
}

LRESULT DrawingViewWin::OnMessage(UINT message, WPARAM wParam, LPARAM lParam)
{
    if (LRESULT result = 0; PaintMessage(message, wParam, result)) return result;
    switch (message) {
    case WM_SIZE:
        form_.PreviewResize(LOWORD(lParam), HIWORD(lParam));
        return 0;
    case WM_MOUSEWHEEL: {
        POINT p{GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)}; // screen coordinates
        ScreenToClient(hwnd_, &p);
        form_.PreviewWheel(p.x, p.y, GET_WHEEL_DELTA_WPARAM(wParam));
        return 0;
    }
    case WM_LBUTTONDOWN:
        SetFocus(hwnd_);
        dragging_ = true;
        dragFrom_ = POINT{GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)};
        SetCapture(hwnd_);
        return 0;
    case WM_MOUSEMOVE:
        if (dragging_) {
            const POINT p{GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)};
            const int dx = p.x - dragFrom_.x, dy = p.y - dragFrom_.y;
            dragFrom_ = p;
            if (dx != 0 || dy != 0) form_.PreviewDrag(dx, dy);
        }
        return 0;
    case WM_LBUTTONUP:
        dragging_ = false;
        if (GetCapture() == hwnd_) ReleaseCapture();
        return 0;
    case WM_CAPTURECHANGED:
        dragging_ = false;
        return 0;
    case WM_LBUTTONDBLCLK:
        form_.PreviewFit();
        return 0;
    default:
        break;
    }
    return Default(message, wParam, lParam);
}

} // namespace gridvane::win
