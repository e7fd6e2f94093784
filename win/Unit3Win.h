#pragma once
// TForm3, the replace dialog: created once, hidden between uses, shown modally over the main window.
#include <windows.h>

#include <string>

#include "win/WindowBase.h"

namespace gridvane::win {

class TForm3 final : public WindowBase<TForm3> {
public:
    /// Creates the dialog hidden, owned by owner.
    explicit TForm3(HWND owner);
    ~TForm3();

    /// Shows the dialog modally with the texts as they are and the focus in the search box, leaves there what
    /// the user typed. True only when it was closed with "実行" or Enter; "中止", Escape and the close box
    /// cancel.
    bool ShowModal(std::u16string& search, std::u16string& replacement);
    /// Scales the dialog to the dots per inch of its monitor.
    void ApplyDpi(UINT dpi);

    static constexpr int kEdit1 = 101, kEdit2 = 102, kButton1 = 103, kButton2 = 104;

private:
    friend class WindowBase<TForm3>;
    LRESULT OnMessage(UINT message, WPARAM wParam, LPARAM lParam);
    void Layout();
    void End(bool ok);

    HWND owner_;
    HWND label1_ = nullptr, edit1_ = nullptr, label2_ = nullptr, edit2_ = nullptr, button1_ = nullptr, button2_ = nullptr;
    HFONT font_ = nullptr;
    UINT dpi_ = 96;
    int clientHeight_ = 117; // at 96 dots per inch: the design's, or more where the font's lines need it
    bool running_ = false, ok_ = false;
};

} // namespace gridvane::win
