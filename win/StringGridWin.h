#pragma once
// StringGrid1 on Windows: an owner-drawn grid control over the form's grid state. It paints only the
// cells in view, scrolls by whole cells with the thumb followed as it moves, and forwards every user
// action (selection, fixed-cell clicks, typing, border drags, the right click) to the form's handlers.
#include <windows.h>

#include <cstdint>
#include <string>

#include "form/Form1.h"
#include "win/WindowBase.h"

namespace gridvane::win {

class StringGridWin final : public WindowBase<StringGridWin> {
public:
    /// The window class name of the control.
    static constexpr const wchar_t* kClassName = L"GridvaneStringGrid";
    static void RegisterClass(HINSTANCE instance);

    /// Creates the control as a child of parent. Right clicks open popupMenu with its commands sent to
    /// menuOwner as WM_COMMAND.
    StringGridWin(HWND parent, int id, TForm1& form, HMENU popupMenu, HWND menuOwner);
    ~StringGridWin();

    /// The font of the cells (the caller keeps it alive) and the dots per inch the sizes are scaled to.
    void SetFontAndDpi(HFONT font, UINT dpi);
    /// Shows the parts of the form's grid state that changed (kPartGrid, kPartGridTexts, ...).
    void Refresh(unsigned parts);

    /// The first data row and column in view.
    std::int32_t TopRow() const { return topRow_; }
    std::int32_t LeftCol() const { return leftCol_; }
    /// The client rectangle of grid cell (c, r); empty when it is out of view.
    RECT CellRect(std::int32_t c, std::int32_t r) const;
    /// The client rectangle of a merged area, shown as one cell; it may reach out of view.
    RECT AreaRect(const GridSelection& area) const;
    /// The in-place editor while a cell is being typed into, or null.
    HWND Editor() const { return editor_; }

private:
    friend class WindowBase<StringGridWin>;
    static LRESULT CALLBACK EditorProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR id, DWORD_PTR data);
    LRESULT OnMessage(UINT message, WPARAM wParam, LPARAM lParam);

    const TStringGridState& Grid() const { return form_.Grid(); }
    int ColWidth(std::int32_t c) const;  // device pixels, without the grid line
    int RowHeight(std::int32_t r) const; // device pixels, without the grid line
    int LineWidth() const { return 1; }
    std::int32_t MaxTopRow() const;
    std::int32_t MaxLeftCol() const;
    void UpdateScrollBars();
    void ClampScroll();
    void EnsureVisible(std::int32_t c, std::int32_t r);
    void Scroll(int bar, WPARAM request);
    struct Hit {
        std::int32_t c = -1, r = -1;
        std::int32_t colBorder = -1, rowBorder = -1; // a border under the mouse in the fixed row or column
    };
    Hit HitTest(int x, int y) const;
    void Paint(HDC dc, const RECT& clip);
    void PaintMergedAreas(HDC dc, const RECT& clip, std::int32_t lastCol, std::int32_t lastRow);
    void DrawCell(HDC dc, std::int32_t c, std::int32_t r, RECT rect);
    void MoveCurrent(std::int32_t dc, std::int32_t dr, bool extend, bool toEdge);
    void OpenEditor(const std::u16string* typed);
    /// Keep: the typed text stays; Restore: the cell's text from before; Drop: nothing is written.
    enum class EditorEnd { Keep, Restore, Drop };
    void CloseEditor(EditorEnd end);
    void ContextMenu(int screenX, int screenY, bool fromKeyboard);

    TForm1& form_;
    HMENU popup_;
    HWND menuOwner_;
    HFONT font_ = nullptr;
    UINT dpi_ = 96;
    std::int32_t topRow_ = 1, leftCol_ = 1;
    // Mouse: a range drag, a pressed fixed cell, or a border being dragged.
    enum class Drag { None, Select, Fixed, ColBorder, RowBorder } drag_ = Drag::None;
    std::int32_t dragC_ = -1, dragR_ = -1;
    int dragOrigin_ = 0;   // client coordinate of the dragged cell's left or top edge
    int dragPixels_ = -1;  // the size being dragged, device pixels; -1 when none
    // The in-place editor.
    HWND editor_ = nullptr;
    std::int32_t editC_ = 0, editR_ = 0;
    std::u16string editOriginal_;
    bool fillingEditor_ = false;
};

} // namespace gridvane::win
