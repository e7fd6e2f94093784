#pragma once
// The drawing page's view on Windows: the drawing "Plotra へ挿入" would write, painted from the form's
// preview in the layers' colours on white; the wheel zooms about the pointer, a drag moves the drawing,
// a double click fits it again.
#include <windows.h>

#include "form/Form1.h"
#include "win/WindowBase.h"

namespace gridvane::win {

class DrawingViewWin final : public WindowBase<DrawingViewWin> {
public:
    static constexpr const wchar_t* kClassName = L"GridvaneDrawingView";
    static void RegisterClass(HINSTANCE instance);

    DrawingViewWin(HWND parent, int id, TForm1& form);

private:
    friend class WindowBase<DrawingViewWin>;
    // Paints the preview into dc: the whole client area, whatever area asks for.
    void Paint(HDC dc, const RECT& area);
    LRESULT OnMessage(UINT message, WPARAM wParam, LPARAM lParam);

    TForm1& form_;
    bool dragging_ = false;
    POINT dragFrom_{};
};

} // namespace gridvane::win
