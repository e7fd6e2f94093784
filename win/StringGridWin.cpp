#include "win/StringGridWin.h"

#include <commctrl.h>
#include <windowsx.h>

#include <algorithm>
#include <optional>
#include <tuple>

#include "win/WinText.h"

namespace gridvane::win {

namespace {

constexpr int kTextMargin = 2;   // pixels left and right of a cell's text, at 96 dots per inch
constexpr int kBorderGrip = 3;   // pixels either side of a border where a drag resizes
constexpr int kMinCellSize = 1;  // device pixels a dragged cell keeps at least
constexpr UINT_PTR kEditorSubclass = 1;

bool KeyDown(int key) { return (GetKeyState(key) & 0x8000) != 0; }

// The first row (column) from which the one at index is shown whole at the bottom (right) of room pixels,
// or index itself when it alone needs more; line is the grid line's width. Walked back from index, so it
// costs the cells in view, not the whole table (a jump to the last of 60,000 rows).
template <class Size> std::int32_t FirstShowing(std::int32_t index, int room, int line, Size size)
{
    std::int32_t first = index;
    int used = size(index) + line;
    while (first > 1 && used + size(first - 1) + line <= room) {
        --first;
        used += size(first) + line;
    }
    return first;
}

} // namespace

void StringGridWin::RegisterClass(HINSTANCE instance)
{
    WNDCLASSEXW wc{};
    wc.style = CS_DBLCLKS | CS_HREDRAW | CS_VREDRAW;
    wc.hInstance = instance;
    wc.hCursor = LoadCursorW(nullptr, IDC_ARROW);
    wc.hbrBackground = nullptr; // everything is painted, double-buffered
    wc.lpszClassName = kClassName;
    Register(wc);
}

StringGridWin::StringGridWin(HWND parent, int id, TForm1& form, HMENU popupMenu, HWND menuOwner)
    : form_(form), popup_(popupMenu), menuOwner_(menuOwner)
{
    Create(WS_EX_CLIENTEDGE, kClassName, L"", WS_CHILD | WS_VISIBLE | WS_TABSTOP | WS_HSCROLL | WS_VSCROLL, parent, id);
    SetWindowTextW(hwnd_, L"StringGrid1");
    dpi_ = WindowDpi(hwnd_);
}

StringGridWin::~StringGridWin()
{
    // Before the members go: the in-place editor's procedure still reads them while it is destroyed.
    Destroy();
}

void StringGridWin::SetFontAndDpi(HFONT font, UINT dpi)
{
    font_ = font;
    dpi_ = dpi;
    if (editor_ != nullptr) SendMessageW(editor_, WM_SETFONT, reinterpret_cast<WPARAM>(font_), FALSE);
    ClampScroll();
    UpdateScrollBars();
    InvalidateRect(hwnd_, nullptr, FALSE);
}

int StringGridWin::ColWidth(std::int32_t c) const
{
    const TStringGridState& g = Grid();
    if (drag_ == Drag::ColBorder && c == dragC_ && dragPixels_ >= 0) return dragPixels_;
    if (c < 0 || static_cast<std::size_t>(c) >= g.colWidths.size()) return Scale(64, dpi_);
    return Scale(std::max(0, g.colWidths[static_cast<std::size_t>(c)]), dpi_);
}

int StringGridWin::RowHeight(std::int32_t r) const
{
    const TStringGridState& g = Grid();
    if (drag_ == Drag::RowBorder && r == dragR_ && dragPixels_ >= 0) return dragPixels_;
    if (r < 0 || static_cast<std::size_t>(r) >= g.rowHeights.size()) return Scale(20, dpi_);
    return Scale(std::max(0, g.rowHeights[static_cast<std::size_t>(r)]), dpi_);
}

// The largest first row (column) that still fills the view: the one that shows the last whole.
std::int32_t StringGridWin::MaxTopRow() const
{
    RECT rc;
    GetClientRect(hwnd_, &rc);
    return std::max<std::int32_t>(1, FirstShowing(Grid().rowCount - 1, rc.bottom - (RowHeight(0) + LineWidth()), LineWidth(),
                                                  [this](std::int32_t i) { return RowHeight(i); }));
}

std::int32_t StringGridWin::MaxLeftCol() const
{
    RECT rc;
    GetClientRect(hwnd_, &rc);
    return std::max<std::int32_t>(1, FirstShowing(Grid().colCount - 1, rc.right - (ColWidth(0) + LineWidth()), LineWidth(),
                                                  [this](std::int32_t i) { return ColWidth(i); }));
}

void StringGridWin::ClampScroll()
{
    topRow_ = std::clamp<std::int32_t>(topRow_, 1, MaxTopRow());
    leftCol_ = std::clamp<std::int32_t>(leftCol_, 1, MaxLeftCol());
}

void StringGridWin::UpdateScrollBars()
{
    const TStringGridState& g = Grid();
    auto set = [&](int bar, std::int32_t count, std::int32_t maxFirst, std::int32_t pos) {
        SCROLLINFO si{};
        si.cbSize = sizeof si;
        si.fMask = SIF_RANGE | SIF_PAGE | SIF_POS;
        si.nMin = 1;
        si.nMax = std::max<std::int32_t>(1, count - 1);
        // The page is what remains after the last first position, so the thumb reaches exactly maxFirst.
        si.nPage = static_cast<UINT>(std::max<std::int32_t>(1, si.nMax - maxFirst + 1));
        si.nPos = pos;
        SetScrollInfo(hwnd_, bar, &si, TRUE);
    };
    set(SB_VERT, g.rowCount, MaxTopRow(), topRow_);
    set(SB_HORZ, g.colCount, MaxLeftCol(), leftCol_);
}

void StringGridWin::EnsureVisible(std::int32_t c, std::int32_t r)
{
    RECT rc;
    GetClientRect(hwnd_, &rc);
    if (r >= 1 && r < Grid().rowCount) {
        if (r < topRow_) topRow_ = r;
        else
            topRow_ = std::max(topRow_, FirstShowing(r, rc.bottom - RowHeight(0) - LineWidth(), LineWidth(),
                                                     [this](std::int32_t i) { return RowHeight(i); }));
    }
    if (c >= 1 && c < Grid().colCount) {
        if (c < leftCol_) leftCol_ = c;
        else
            leftCol_ = std::max(leftCol_, FirstShowing(c, rc.right - ColWidth(0) - LineWidth(), LineWidth(),
                                                       [this](std::int32_t i) { return ColWidth(i); }));
    }
    ClampScroll();
}

void StringGridWin::Refresh(unsigned parts)
{
    if (parts & kPartGrid) {
        // The grid's counts, sizes or texts may all have changed (an import): an editor on a cell that may
        // be gone is dropped, and writes nothing into the new table's texts.
        if (editor_ != nullptr) CloseEditor(EditorEnd::Drop);
        ClampScroll();
    }
    if (parts & kPartGridScrollHome) topRow_ = 1, leftCol_ = 1;
    if (parts & (kPartGrid | kPartGridSelection)) {
        // Not after a header click: the view stays where the user clicked.
        const TStringGridState& g = Grid();
        if (g.scrollToCurrent) EnsureVisible(g.col, g.row);
    }
    if (parts & (kPartGrid | kPartGridSelection | kPartGridScrollHome)) UpdateScrollBars();
    if (parts & (kPartGrid | kPartGridTexts | kPartGridSelection | kPartGridScrollHome))
        InvalidateRect(hwnd_, nullptr, FALSE);
    if ((parts & kPartGridTexts) && editor_ != nullptr && !fillingEditor_) {
        // A command changed the cell being typed into: the editor shows the cell's new text.
        const std::u16string& text = Grid().Text(editC_, editR_);
        if (WindowText(editor_) != text) {
            fillingEditor_ = true;
            SetWindowTextW(editor_, W(text).c_str());
            fillingEditor_ = false;
        }
    }
}

RECT StringGridWin::CellRect(std::int32_t c, std::int32_t r) const
{
    RECT empty{0, 0, 0, 0};
    const TStringGridState& g = Grid();
    if (c < 0 || r < 0 || c >= g.colCount || r >= g.rowCount) return empty;
    RECT rc;
    GetClientRect(hwnd_, &rc);
    auto span = [&](std::int32_t index, std::int32_t first, int limit, auto size) -> std::pair<int, int> {
        if (index == 0) return {0, size(0)};
        if (index < first) return {0, -1};
        int pos = size(0) + LineWidth();
        for (std::int32_t i = first; i < index; ++i) {
            pos += size(i) + LineWidth();
            if (pos >= limit) return {0, -1};
        }
        return {pos, pos + size(index)};
    };
    const auto [x0, x1] = span(c, leftCol_, rc.right, [this](std::int32_t i) { return ColWidth(i); });
    const auto [y0, y1] = span(r, topRow_, rc.bottom, [this](std::int32_t i) { return RowHeight(i); });
    if (x1 < 0 || y1 < 0 || x0 >= rc.right || y0 >= rc.bottom) return empty;
    return RECT{x0, y0, x1, y1};
}

RECT StringGridWin::AreaRect(const GridSelection& area) const
{
    // Where a column (row) starts, counted from the first one in view, backwards for one before it.
    auto start = [&](std::int32_t index, std::int32_t first, auto size) {
        int pos = size(0) + LineWidth();
        if (index >= first)
            for (std::int32_t i = first; i < index; ++i) pos += size(i) + LineWidth();
        else
            for (std::int32_t i = index; i < first; ++i) pos -= size(i) + LineWidth();
        return pos;
    };
    auto colWidth = [this](std::int32_t i) { return ColWidth(i); };
    auto rowHeight = [this](std::int32_t i) { return RowHeight(i); };
    const int left = start(area.left, leftCol_, colWidth), top = start(area.top, topRow_, rowHeight);
    const int right = start(area.right, leftCol_, colWidth) + ColWidth(area.right);
    const int bottom = start(area.bottom, topRow_, rowHeight) + RowHeight(area.bottom);
    return RECT{left, top, right, bottom};
}

StringGridWin::Hit StringGridWin::HitTest(int x, int y) const
{
    Hit hit;
    const TStringGridState& g = Grid();
    RECT rc;
    GetClientRect(hwnd_, &rc);
    const int grip = Scale(kBorderGrip, dpi_);
    // Columns.
    int left = 0;
    for (std::int32_t c = 0; c < g.colCount && left < rc.right; c = (c == 0 ? leftCol_ : c + 1)) {
        const int right = left + ColWidth(c);
        if (std::abs(x - right) <= grip) hit.colBorder = c;
        if (x >= left && x < right + LineWidth()) hit.c = c;
        left = right + LineWidth();
        if (c == 0 && leftCol_ >= g.colCount) break;
    }
    int top = 0;
    for (std::int32_t r = 0; r < g.rowCount && top < rc.bottom; r = (r == 0 ? topRow_ : r + 1)) {
        const int bottom = top + RowHeight(r);
        if (std::abs(y - bottom) <= grip) hit.rowBorder = r;
        if (y >= top && y < bottom + LineWidth()) hit.r = r;
        top = bottom + LineWidth();
        if (r == 0 && topRow_ >= g.rowCount) break;
    }
    // Borders are dragged in the fixed row (columns) and the fixed column (rows) only.
    if (hit.r != 0) hit.colBorder = -1;
    if (hit.c != 0) hit.rowBorder = -1;
    return hit;
}

void StringGridWin::DrawCell(HDC dc, std::int32_t c, std::int32_t r, RECT rect)
{
    const TStringGridState& g = Grid();
    const bool fixed = c == 0 || r == 0;
    const GridSelection& s = g.selection;
    const bool current = c == g.col && r == g.row;
    const bool selected = !fixed && c >= s.left && c <= s.right && r >= s.top && r <= s.bottom;
    const bool highlighted = selected && !current;

    COLORREF background = GetSysColor(fixed ? COLOR_ACTIVECAPTION : (highlighted ? COLOR_HIGHLIGHT : COLOR_WINDOW));
    COLORREF textColour = GetSysColor(fixed ? COLOR_CAPTIONTEXT : (highlighted ? COLOR_HIGHLIGHTTEXT : COLOR_WINDOWTEXT));
    const TCellLook look = form_.CellLook(c, r);
    if (look.merged) {
        background = Colour(kMergeShade);
        textColour = GetSysColor(COLOR_WINDOWTEXT);
    }
    const UINT align = look.align == CellAlign::Center ? DT_CENTER : look.align == CellAlign::Right ? DT_RIGHT : DT_LEFT;
    SetBkColor(dc, background);
    ExtTextOutW(dc, 0, 0, ETO_OPAQUE, &rect, nullptr, 0, nullptr);

    const std::u16string& text = g.Text(c, r);
    if (!text.empty()) {
        RECT inner = rect;
        inner.left += Scale(kTextMargin, dpi_);
        inner.right -= Scale(kTextMargin, dpi_);
        SetTextColor(dc, textColour);
        SetBkMode(dc, TRANSPARENT);
        const std::wstring w = W(text);
        // Line breaks start new lines; no word wrapping; DrawText clips to the rectangle.
        DrawTextW(dc, w.c_str(), static_cast<int>(w.size()), &inner, align | DT_TOP | DT_NOPREFIX | DT_EXPANDTABS);
        SetBkMode(dc, OPAQUE);
    }
    if (look.codePageMark) {
        // A character the drawing cannot carry: a small red corner, over the cell's own colours.
        const int side = std::max(Scale(4, dpi_), std::min<int>({Scale(7, dpi_), (rect.right - rect.left) / 3, (rect.bottom - rect.top) / 3}));
        const POINT corner[] = {{rect.right - side, rect.top}, {rect.right, rect.top}, {rect.right, rect.top + side}};
        HBRUSH red = CreateSolidBrush(Colour(kCodePageMarkColor));
        HGDIOBJ oldBrush = SelectObject(dc, red);
        HGDIOBJ oldPen = SelectObject(dc, GetStockObject(NULL_PEN));
        Polygon(dc, corner, 3);
        SelectObject(dc, oldPen);
        SelectObject(dc, oldBrush);
        DeleteObject(red);
    }
    if (current && !fixed && GetFocus() == hwnd_ && editor_ == nullptr) DrawFocusRect(dc, &rect);
}

void StringGridWin::Paint(HDC target, const RECT& clip)
{
    RECT rc;
    GetClientRect(hwnd_, &rc);
    HDC dc = CreateCompatibleDC(target);
    HBITMAP bitmap = CreateCompatibleBitmap(target, std::max<LONG>(1, rc.right), std::max<LONG>(1, rc.bottom));
    HGDIOBJ oldBitmap = SelectObject(dc, bitmap);
    HGDIOBJ oldFont = SelectObject(dc, font_ != nullptr ? font_ : GetStockObject(DEFAULT_GUI_FONT));

    // The area outside the cells, then the grid lines' colour under the cells (a line is the gap between).
    SetBkColor(dc, GetSysColor(COLOR_WINDOW));
    ExtTextOutW(dc, 0, 0, ETO_OPAQUE, &rc, nullptr, 0, nullptr);

    const TStringGridState& g = Grid();
    const COLORREF line = GetSysColor(COLOR_BTNFACE) == GetSysColor(COLOR_WINDOW) ? RGB(192, 192, 192)
                                                                                   : GetSysColor(COLOR_3DSHADOW);
    int y = 0;
    int gridRight = 0, gridBottom = 0;
    for (std::int32_t r = 0; r < g.rowCount && y < rc.bottom; r = (r == 0 ? topRow_ : r + 1)) {
        const int h = RowHeight(r);
        int x = 0;
        for (std::int32_t c = 0; c < g.colCount && x < rc.right; c = (c == 0 ? leftCol_ : c + 1)) {
            const int w = ColWidth(c);
            const RECT cell{x, y, x + w, y + h};
            const RECT withLines{x, y, x + w + LineWidth(), y + h + LineWidth()};
            RECT visible;
            // A cell of a merged area is painted with its area, after the grid lines.
            if (IntersectRect(&visible, &withLines, &clip) && !form_.MergedAreaAt(c, r)) DrawCell(dc, c, r, cell);
            x += w + LineWidth();
            if (c == 0 && leftCol_ >= g.colCount) break;
        }
        gridRight = std::max(gridRight, x);
        y += h + LineWidth();
        gridBottom = y;
        if (r == 0 && topRow_ >= g.rowCount) break;
    }
    // Grid lines: the right and bottom edge of every cell in view.
    HPEN pen = CreatePen(PS_SOLID, 1, line);
    HGDIOBJ oldPen = SelectObject(dc, pen);
    int x = 0;
    for (std::int32_t c = 0; c < g.colCount && x < rc.right; c = (c == 0 ? leftCol_ : c + 1)) {
        x += ColWidth(c);
        MoveToEx(dc, x, 0, nullptr);
        LineTo(dc, x, gridBottom);
        x += LineWidth();
        if (c == 0 && leftCol_ >= g.colCount) break;
    }
    y = 0;
    for (std::int32_t r = 0; r < g.rowCount && y < rc.bottom; r = (r == 0 ? topRow_ : r + 1)) {
        y += RowHeight(r);
        MoveToEx(dc, 0, y, nullptr);
        LineTo(dc, gridRight, y);
        y += LineWidth();
        if (r == 0 && topRow_ >= g.rowCount) break;
    }
    SelectObject(dc, oldPen);
    DeleteObject(pen);
    std::int32_t lastCol = leftCol_, lastRow = topRow_;
    for (int at = ColWidth(0) + LineWidth(); lastCol < g.colCount - 1 && at + ColWidth(lastCol) + LineWidth() < rc.right; ++lastCol)
        at += ColWidth(lastCol) + LineWidth();
    for (int at = RowHeight(0) + LineWidth(); lastRow < g.rowCount - 1 && at + RowHeight(lastRow) + LineWidth() < rc.bottom; ++lastRow)
        at += RowHeight(lastRow) + LineWidth();
    PaintMergedAreas(dc, clip, lastCol, lastRow);

    BitBlt(target, clip.left, clip.top, clip.right - clip.left, clip.bottom - clip.top, dc, clip.left, clip.top, SRCCOPY);
    SelectObject(dc, oldFont);
    SelectObject(dc, oldBitmap);
    DeleteObject(bitmap);
    DeleteDC(dc);
}

void StringGridWin::PaintMergedAreas(HDC dc, const RECT& clip, std::int32_t lastCol, std::int32_t lastRow)
{
    // Each area in view as one cell with its anchor's text, over the grid lines inside it, within the data
    // part of the grid (never over the headers).
    RECT data;
    GetClientRect(hwnd_, &data);
    data.left = ColWidth(0) + LineWidth();
    data.top = RowHeight(0) + LineWidth();
    RECT paintable;
    if (!IntersectRect(&paintable, &data, &clip)) return;
    const int saved = SaveDC(dc);
    IntersectClipRect(dc, paintable.left, paintable.top, paintable.right, paintable.bottom);
    for (const GridSelection& a : form_.MergedAreas()) {
        if (a.right < leftCol_ || a.left > lastCol || a.bottom < topRow_ || a.top > lastRow) continue;
        DrawCell(dc, a.left, a.top, AreaRect(a));
    }
    RestoreDC(dc, saved);
}

void StringGridWin::Scroll(int bar, WPARAM request)
{
    SCROLLINFO si{};
    si.cbSize = sizeof si;
    si.fMask = SIF_ALL;
    GetScrollInfo(hwnd_, bar, &si);
    std::int32_t& first = bar == SB_VERT ? topRow_ : leftCol_;
    const std::int32_t page = std::max<std::int32_t>(1, static_cast<std::int32_t>(si.nPage) - 1);
    switch (LOWORD(request)) {
    case SB_LINEUP: --first; break;
    case SB_LINEDOWN: ++first; break;
    case SB_PAGEUP: first -= page; break;
    case SB_PAGEDOWN: first += page; break;
    case SB_TOP: first = 1; break;
    case SB_BOTTOM: first = si.nMax; break;
    // The thumb is followed while it moves; the 32-bit track position, not the message's 16 bits.
    case SB_THUMBTRACK:
    case SB_THUMBPOSITION:
        // nTrackPos holds all 32 bits while the thumb is dragged; a message sent by a program has the
        // position in its 16 bits only.
        first = (si.nTrackPos & 0xFFFF) == HIWORD(request) ? si.nTrackPos : HIWORD(request);
        break;
    default: return;
    }
    ClampScroll();
    UpdateScrollBars();
    if (editor_ != nullptr) CloseEditor(EditorEnd::Keep);
    InvalidateRect(hwnd_, nullptr, FALSE);
}

void StringGridWin::MoveCurrent(std::int32_t dc, std::int32_t dr, bool extend, bool toEdge)
{
    const TStringGridState& g = Grid();
    // With Shift the moving corner is the one away from the anchor; otherwise the current cell.
    std::int32_t c = g.col, r = g.row;
    if (extend) {
        c = g.anchorCol == g.selection.left ? g.selection.right : g.selection.left;
        r = g.anchorRow == g.selection.top ? g.selection.bottom : g.selection.top;
    }
    if (toEdge) {
        if (dc < 0) c = 1;
        if (dc > 0) c = g.colCount - 1;
        if (dr < 0) r = 1;
        if (dr > 0) r = g.rowCount - 1;
    } else {
        std::tie(c, r) = form_.GridStep(c, r, dc, dr); // a merged area is stepped over as one cell
    }
    c = std::clamp<std::int32_t>(c, 1, std::max<std::int32_t>(1, g.colCount - 1));
    r = std::clamp<std::int32_t>(r, 1, std::max<std::int32_t>(1, g.rowCount - 1));
    if (g.colCount < 2 || g.rowCount < 2) return;
    form_.StringGrid1SelectCell(c, r, extend);
}

void StringGridWin::OpenEditor(const std::u16string* typed)
{
    const TStringGridState& g = Grid();
    if (!g.IsDataCell(g.col, g.row)) return;
    EnsureVisible(g.col, g.row);
    UpdateScrollBars();
    RECT cell = CellRect(g.col, g.row);
    if (IsRectEmpty(&cell)) return;
    if (const std::optional<GridSelection> area = form_.MergedAreaAt(g.col, g.row)) {
        // Over the whole area, within the client area.
        RECT client, whole = AreaRect(*area);
        GetClientRect(hwnd_, &client);
        IntersectRect(&cell, &whole, &client);
    }
    editC_ = g.col;
    editR_ = g.row;
    editOriginal_ = g.Text(editC_, editR_);
    editor_ = CreateWindowExW(0, WC_EDITW, L"", WS_CHILD | WS_BORDER | ES_AUTOHSCROLL, cell.left, cell.top,
                              cell.right - cell.left + 1, cell.bottom - cell.top + 1, hwnd_,
                              reinterpret_cast<HMENU>(static_cast<INT_PTR>(1)),
                              reinterpret_cast<HINSTANCE>(GetWindowLongPtrW(hwnd_, GWLP_HINSTANCE)), nullptr);
    SetWindowSubclass(editor_, EditorProc, kEditorSubclass, reinterpret_cast<DWORD_PTR>(this));
    SendMessageW(editor_, WM_SETFONT, reinterpret_cast<WPARAM>(font_), FALSE);
    fillingEditor_ = true;
    SetWindowTextW(editor_, W(editOriginal_).c_str());
    fillingEditor_ = false;
    ShowWindow(editor_, SW_SHOW);
    SetFocus(editor_);
    if (typed != nullptr) {
        // A typed character replaces the cell's text, as in any grid.
        SendMessageW(editor_, EM_SETSEL, 0, -1);
        SendMessageW(editor_, EM_REPLACESEL, TRUE, reinterpret_cast<LPARAM>(W(*typed).c_str()));
    } else {
        SendMessageW(editor_, EM_SETSEL, static_cast<WPARAM>(editOriginal_.size()), static_cast<LPARAM>(editOriginal_.size()));
    }
}

void StringGridWin::CloseEditor(EditorEnd end)
{
    if (editor_ == nullptr) return;
    HWND editor = editor_;
    editor_ = nullptr; // first, so the focus change below does not close it twice
    if (end == EditorEnd::Restore && Grid().IsDataCell(editC_, editR_) && Grid().Text(editC_, editR_) != editOriginal_)
        form_.StringGrid1SetEditText(editC_, editR_, editOriginal_);
    const bool hadFocus = GetFocus() == editor;
    DestroyWindow(editor);
    if (hadFocus) SetFocus(hwnd_);
    InvalidateRect(hwnd_, nullptr, FALSE);
}

LRESULT CALLBACK StringGridWin::EditorProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR, DWORD_PTR data)
{
    auto* self = reinterpret_cast<StringGridWin*>(data);
    switch (message) {
    case WM_GETDLGCODE:
        return DLGC_WANTALLKEYS | DefSubclassProc(hwnd, message, wParam, lParam);
    case WM_KEYDOWN:
        if (wParam == VK_RETURN || wParam == VK_ESCAPE) {
            self->CloseEditor(wParam == VK_RETURN ? EditorEnd::Keep : EditorEnd::Restore);
            return 0;
        }
        if (wParam == VK_UP || wParam == VK_DOWN) {
            self->CloseEditor(EditorEnd::Keep);
            self->MoveCurrent(0, wParam == VK_UP ? -1 : 1, false, false);
            return 0;
        }
        break;
    case WM_CHAR:
        if (wParam == L'\r' || wParam == 27) return 0; // handled on key down; no beep
        break;
    case WM_KILLFOCUS:
        if (self->editor_ == hwnd) {
            const LRESULT result = DefSubclassProc(hwnd, message, wParam, lParam);
            PostMessageW(self->hwnd_, WM_APP, 0, 0); // close after the focus has moved
            return result;
        }
        break;
    case WM_NCDESTROY:
        RemoveWindowSubclass(hwnd, EditorProc, kEditorSubclass);
        break;
    default:
        break;
    }
    return DefSubclassProc(hwnd, message, wParam, lParam);
}

void StringGridWin::ContextMenu(int screenX, int screenY, bool fromKeyboard)
{
    POINT pt{screenX, screenY};
    if (fromKeyboard) {
        // Under the current cell, which the keyboard works on.
        const RECT cell = CellRect(Grid().col, Grid().row);
        pt = POINT{cell.left, cell.bottom};
        ClientToScreen(hwnd_, &pt);
    }
    if (editor_ != nullptr) CloseEditor(EditorEnd::Keep);
    if (popup_ == nullptr) return;
    TrackPopupMenu(popup_, TPM_LEFTALIGN | TPM_TOPALIGN | TPM_RIGHTBUTTON, pt.x, pt.y, 0, menuOwner_, nullptr);
}

LRESULT StringGridWin::OnMessage(UINT message, WPARAM wParam, LPARAM lParam)
{
    if (LRESULT result = 0; PaintMessage(message, wParam, result)) return result;
    switch (message) {
    case WM_SIZE:
        ClampScroll();
        UpdateScrollBars();
        InvalidateRect(hwnd_, nullptr, FALSE);
        return 0;
    case WM_SETFOCUS:
    case WM_KILLFOCUS:
        InvalidateRect(hwnd_, nullptr, FALSE);
        return 0;
    case WM_GETDLGCODE:
        return DLGC_WANTARROWS | DLGC_WANTCHARS;
    case WM_VSCROLL:
        Scroll(SB_VERT, wParam);
        return 0;
    case WM_HSCROLL:
        Scroll(SB_HORZ, wParam);
        return 0;
    case WM_MOUSEWHEEL: {
        const int lines = -GET_WHEEL_DELTA_WPARAM(wParam) / WHEEL_DELTA * 3;
        topRow_ += lines;
        ClampScroll();
        UpdateScrollBars();
        InvalidateRect(hwnd_, nullptr, FALSE);
        return 0;
    }
    case WM_SETCURSOR:
        if (LOWORD(lParam) == HTCLIENT) {
            POINT pt;
            GetCursorPos(&pt);
            ScreenToClient(hwnd_, &pt);
            const Hit hit = HitTest(pt.x, pt.y);
            if (drag_ == Drag::ColBorder || (drag_ == Drag::None && hit.colBorder >= 0)) {
                SetCursor(LoadCursorW(nullptr, IDC_SIZEWE));
                return TRUE;
            }
            if (drag_ == Drag::RowBorder || (drag_ == Drag::None && hit.rowBorder >= 0)) {
                SetCursor(LoadCursorW(nullptr, IDC_SIZENS));
                return TRUE;
            }
        }
        break;
    case WM_LBUTTONDOWN:
    case WM_LBUTTONDBLCLK:
    case WM_RBUTTONDOWN:
    case WM_RBUTTONDBLCLK: {
        SetFocus(hwnd_);
        // A press that does not select (the right button's) only focuses the grid; its click opens the menu.
        const bool right = message == WM_RBUTTONDOWN || message == WM_RBUTTONDBLCLK;
        if (form_.StringGrid1MouseDown(right ? MouseButton::Right : MouseButton::Left) != GridPress::Select) return 0;
        const int x = GET_X_LPARAM(lParam), y = GET_Y_LPARAM(lParam);
        const Hit hit = HitTest(x, y);
        if (hit.colBorder >= 0) {
            drag_ = Drag::ColBorder;
            dragC_ = hit.colBorder;
            const RECT cell = CellRect(dragC_, 0);
            dragOrigin_ = cell.left;
            dragPixels_ = ColWidth(dragC_);
        } else if (hit.rowBorder >= 0) {
            drag_ = Drag::RowBorder;
            dragR_ = hit.rowBorder;
            const RECT cell = CellRect(0, dragR_);
            dragOrigin_ = cell.top;
            dragPixels_ = RowHeight(dragR_);
        } else if (hit.c < 0 || hit.r < 0) {
            return 0;
        } else if (hit.c == 0 || hit.r == 0) {
            drag_ = Drag::Fixed;
            dragC_ = hit.c;
            dragR_ = hit.r;
        } else {
            const std::optional<GridSelection> area = form_.MergedAreaAt(hit.c, hit.r);
            const std::int32_t hitC = area ? area->left : hit.c, hitR = area ? area->top : hit.r;
            if (message == WM_LBUTTONDBLCLK && hitC == Grid().col && hitR == Grid().row) {
                OpenEditor(nullptr);
                return 0;
            }
            drag_ = Drag::Select;
            dragC_ = hit.c;
            dragR_ = hit.r;
            form_.StringGrid1SelectCell(hit.c, hit.r, (wParam & MK_SHIFT) != 0);
        }
        SetCapture(hwnd_);
        return 0;
    }
    case WM_MOUSEMOVE: {
        const int x = GET_X_LPARAM(lParam), y = GET_Y_LPARAM(lParam);
        if (drag_ == Drag::ColBorder || drag_ == Drag::RowBorder) {
            const int pos = drag_ == Drag::ColBorder ? x : y;
            dragPixels_ = std::max(kMinCellSize, pos - dragOrigin_);
            UpdateScrollBars();
            InvalidateRect(hwnd_, nullptr, FALSE);
        } else if (drag_ == Drag::Select) {
            RECT rc;
            GetClientRect(hwnd_, &rc);
            // Dragged past an edge: the grid scrolls on by a cell, so a range can grow beyond the view.
            const std::int32_t top = topRow_, left = leftCol_;
            if (y >= rc.bottom) ++topRow_;
            else if (y < RowHeight(0) && topRow_ > 1) --topRow_;
            if (x >= rc.right) ++leftCol_;
            else if (x < ColWidth(0) && leftCol_ > 1) --leftCol_;
            ClampScroll();
            if (top != topRow_ || left != leftCol_) {
                UpdateScrollBars();
                InvalidateRect(hwnd_, nullptr, FALSE);
            }
            const Hit hit = HitTest(std::clamp<int>(x, 0, rc.right - 1), std::clamp<int>(y, 0, rc.bottom - 1));
            const std::int32_t c = std::max<std::int32_t>(1, hit.c), r = std::max<std::int32_t>(1, hit.r);
            if ((c != dragC_ || r != dragR_) && hit.c >= 0 && hit.r >= 0) {
                dragC_ = c;
                dragR_ = r;
                form_.StringGrid1SelectCell(c, r, true);
            }
        }
        return 0;
    }
    case WM_LBUTTONUP: {
        const Drag drag = drag_;
        drag_ = Drag::None;
        if (GetCapture() == hwnd_) ReleaseCapture();
        if (drag == Drag::ColBorder || drag == Drag::RowBorder) {
            const int pixels = std::max(0, Unscale(dragPixels_, dpi_));
            dragPixels_ = -1;
            if (drag == Drag::ColBorder) form_.StringGrid1ColumnResized(dragC_, pixels);
            else form_.StringGrid1RowResized(dragR_, pixels);
            ClampScroll();
            UpdateScrollBars();
            InvalidateRect(hwnd_, nullptr, FALSE);
        } else if (drag == Drag::Fixed) {
            const Hit hit = HitTest(GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam));
            if (hit.c == dragC_ && hit.r == dragR_) form_.StringGrid1FixedCellClick(dragC_, dragR_);
        }
        return 0;
    }
    case WM_CAPTURECHANGED:
        if (drag_ == Drag::ColBorder || drag_ == Drag::RowBorder) {
            dragPixels_ = -1;
            InvalidateRect(hwnd_, nullptr, FALSE);
        }
        drag_ = Drag::None;
        return 0;
    case WM_CONTEXTMENU: {
        const bool keyboard = GET_X_LPARAM(lParam) == -1 && GET_Y_LPARAM(lParam) == -1;
        ContextMenu(GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam), keyboard);
        return 0;
    }
    case WM_KEYDOWN: {
        const bool shift = KeyDown(VK_SHIFT), control = KeyDown(VK_CONTROL);
        RECT rc;
        GetClientRect(hwnd_, &rc);
        const std::int32_t page = std::max<std::int32_t>(1, rc.bottom / std::max(1, RowHeight(1) + 1) - 1);
        switch (wParam) {
        case VK_LEFT: MoveCurrent(-1, 0, shift, control); return 0;
        case VK_RIGHT: MoveCurrent(1, 0, shift, control); return 0;
        case VK_UP: MoveCurrent(0, -1, shift, control); return 0;
        case VK_DOWN: MoveCurrent(0, 1, shift, control); return 0;
        case VK_PRIOR: MoveCurrent(0, -page, shift, false); return 0;
        case VK_NEXT: MoveCurrent(0, page, shift, false); return 0;
        case VK_HOME: MoveCurrent(-1, control ? -1 : 0, shift, true); return 0;
        case VK_END: MoveCurrent(1, control ? 1 : 0, shift, true); return 0;
        case VK_F2: OpenEditor(nullptr); return 0;
        case VK_DELETE: form_.EditDelete(); return 0;
        default: break;
        }
        if (control) {
            switch (wParam) {
            case 'Z': form_.EditUndo(); return 0;
            case 'Y': form_.EditRedo(); return 0;
            case 'C': form_.EditCopy(); return 0;
            case 'V': form_.EditPaste(); return 0;
            default: break;
            }
        }
        break;
    }
    case WM_CHAR:
        if (wParam >= 0x20 && wParam != 0x7F && !KeyDown(VK_CONTROL)) {
            const std::u16string typed(1, static_cast<char16_t>(wParam));
            OpenEditor(&typed);
            return 0;
        }
        break;
    case WM_COMMAND:
        if (editor_ != nullptr && reinterpret_cast<HWND>(lParam) == editor_ && HIWORD(wParam) == EN_CHANGE && !fillingEditor_) {
            fillingEditor_ = true;
            form_.StringGrid1SetEditText(editC_, editR_, WindowText(editor_));
            fillingEditor_ = false;
        }
        return 0;
    case WM_APP:
        if (editor_ != nullptr && GetFocus() != editor_) CloseEditor(EditorEnd::Keep);
        return 0;
    default:
        break;
    }
    return Default(message, wParam, lParam);
}

} // namespace gridvane::win
