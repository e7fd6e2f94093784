#pragma once
// StringGrid2 on Windows: the settings page's summary of widths, heights and text heights, painted from
// the form's state; a click selects a row, whose value is highlighted while the grid has the focus.
#include <windows.h>

#include "form/Form1.h"
#include "win/WindowBase.h"

namespace gridvane::win {

class SummaryGridWin final : public WindowBase<SummaryGridWin> {
public:
    static constexpr const wchar_t* kClassName = L"GridvaneSummaryGrid";
    static constexpr int kRowHeight = 19; // pixels at 96 dots per inch, without the grid line
    static constexpr int kRows = 5;
    static void RegisterClass(HINSTANCE instance);

    SummaryGridWin(HWND parent, int id, const TForm1& form);
    /// The font of the texts (the caller keeps it alive) and the dots per inch the sizes are scaled to.
    void SetFontAndDpi(HFONT font, UINT dpi);

private:
    friend class WindowBase<SummaryGridWin>;
    LRESULT OnMessage(UINT message, WPARAM wParam, LPARAM lParam);
    void Paint(HDC dc, const RECT& area);

    const TForm1& form_;
    HFONT font_ = nullptr;
    UINT dpi_ = 96;
    int selectedRow_ = 0;
};

} // namespace gridvane::win
