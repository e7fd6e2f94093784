#pragma once
// The main window TForm1 on Windows: the controls of both pages laid out at 96 dots per inch and scaled
// to the window's, a view over the form's state that forwards every user action to the form's handlers.
#include <windows.h>

#include <array>
#include <memory>
#include <optional>
#include <string>

#include "form/Form1.h"
#include "win/DrawingViewWin.h"
#include "win/StringGridWin.h"
#include "win/SummaryGridWin.h"
#include "win/Unit3Win.h"
#include "win/WindowBase.h"

namespace gridvane::win {

/// Control identifiers, for GetDlgItem on the page windows and for WM_COMMAND.
enum ControlId : int {
    kIdPageControl1 = 1000,
    kIdTabSheet1 = 1001, kIdTabSheet2 = 1002, kIdTabSheet3 = 1003,
    kIdButton1 = 1011, kIdButton3 = 1013, kIdButton4 = 1014,
    kIdEdit1 = 1101, kIdEdit2 = 1102, kIdEdit3 = 1103,
    kIdEdit4 = 1104, // .. kIdEdit4 + 6 is Edit10
    kIdEdit11 = 1111, kIdEdit12 = 1112, kIdEdit13 = 1113,
    kIdLabel1 = 1201, kIdLabel2 = 1202, kIdLabel4 = 1204, kIdLabel13 = 1213,
    kIdSpeedButton1 = 1301, kIdSpeedButton2 = 1302, kIdSpeedButton3 = 1303,
    kIdCheckBox1 = 1401,
    kIdStringGrid1 = 1501, kIdStringGrid2 = 1502,
    kIdProgressBar1 = 1601,
    kIdGroupBox1 = 1701, kIdGroupBox2 = 1702,
    kIdSettingsLabel = 1800, // labels of the settings page
    kIdDrawingView1 = 1901, kIdCodePageList = 1902,
};

/// Command identifiers of PopupMenu1's items, N1 .. N19.
enum MenuId : int {
    kIdN1 = 2001, kIdN2, kIdN3, kIdN4, kIdN5, kIdN6, kIdN7, kIdN8, kIdN9, kIdN10, kIdN11, kIdN12,
    kIdN13, kIdN14, kIdN15, kIdN16, kIdN17, kIdN18, kIdN19,
};

class TForm1Win final : public WindowBase<TForm1Win>, public FormFrontEnd {
public:
    /// Registers the window classes; once per process, before the first window.
    static void RegisterClasses(HINSTANCE instance);

    /// Creates the form and its window (hidden; 432 x 288 client pixels at 100 % centred on the screen, or
    /// where it was left at the last close) and the hidden replace dialog.
    explicit TForm1Win(FormPlatform platform);
    ~TForm1Win() override;

    /// Shows the window; maximized when it was left so and showCommand is the ordinary one.
    void Show(int showCommand);
    /// Runs the message loop until the main window is gone; the exit code of WM_QUIT.
    int RunMessageLoop();
    /// Dispatches one message, with the dialog manager's keyboard handling for the window.
    void DispatchOne(MSG& msg);

    TForm1& Form() { return *form_; }
    StringGridWin& StringGrid1() { return *grid1_; }
    DrawingViewWin& DrawingView1() { return *drawing_; }
    HWND StringGrid2() const { return summary_->Handle(); }
    HWND Tooltip() const { return tooltip_; }
    TForm3& Form3() { return *form3_; }
    HMENU PopupMenu1() const { return popup_; }
    /// A control by its identifier, on whichever page it is.
    HWND Control(int id) const;

    // FormFrontEnd
    void Message(std::u16string_view text, std::u16string_view caption, MessageIcon icon, MessageOwner owner) override;
    bool AskYesNo(std::u16string_view text, std::u16string_view caption, MessageOwner owner) override;
    std::optional<std::filesystem::path> ChooseWorkbook(const std::filesystem::path& startFolder) override;
    bool ShowReplaceDialog(std::u16string& search, std::u16string& replacement) override;
    void Refresh(unsigned parts) override;
    void ProcessEvents() override;
    void CloseWindow() override;
    void SetClipboardText(std::u16string_view text) override;
    std::u16string ClipboardText() override;

private:
    friend class WindowBase<TForm1Win>;
    static LRESULT CALLBACK PageProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
    static LRESULT CALLBACK HoverSubclass(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR id, DWORD_PTR data);
    static LRESULT CALLBACK KeySubclass(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR id, DWORD_PTR data);
    LRESULT OnMessage(UINT message, WPARAM wParam, LPARAM lParam);
    // What escaped a handler of this window's: shown by the form's error display.
    void Escaped(const std::exception* e);
    void CreateControls();
    void CreatePopupMenu1();
    void AddTooltip(HWND control, std::u16string_view hint);
    void ShowEdit10Enabled();
    void ApplyDpi(UINT dpi);
    void Layout();
    void Command(int id, int code, HWND control);
    void DrawSpeedButton(const DRAWITEMSTRUCT& item);
    void SelectPage(int index);
    void ShowPreview();
    HWND Owner(MessageOwner owner) const;
    void ShowDeferred();
    void ShowEnabled();
    // Ctrl+Z, Ctrl+Y: true when the key was the window's undo or redo (a text box's own typing excepted).
    bool HistoryKey(const MSG& msg);
    void PlaceAsSaved();
    void RememberPlacement();

    std::optional<TForm1> form_;
    std::unique_ptr<StringGridWin> grid1_;
    std::unique_ptr<TForm3> form3_;
    std::unique_ptr<DrawingViewWin> drawing_;
    std::unique_ptr<SummaryGridWin> summary_;
    HWND tab_ = nullptr, page1_ = nullptr, page2_ = nullptr, page3_ = nullptr, tooltip_ = nullptr;
    HWND codePageList_ = nullptr;
    bool previewQueued_ = false;
    std::uint64_t previewShown_ = ~std::uint64_t{0}; // the preview's generation the list shows
    HWND button1_ = nullptr, button3_ = nullptr, button4_ = nullptr;
    HWND label1_ = nullptr, label2_ = nullptr, label4_ = nullptr, label13_ = nullptr;
    HWND edit1_ = nullptr, edit2_ = nullptr, edit3_ = nullptr, edit11_ = nullptr, edit12_ = nullptr, edit13_ = nullptr;
    std::array<HWND, 7> settingsEdits_{};
    std::array<HWND, 3> speed_{};
    HWND checkBox1_ = nullptr, progress_ = nullptr, group1_ = nullptr, group2_ = nullptr;
    std::array<HWND, kSettingsLabelCount> settingsLabels_{};
    HMENU popup_ = nullptr;
    HFONT font8_ = nullptr, font10_ = nullptr;
    UINT dpi_ = 96;
    bool filling_ = false; // the form fills a control: its change notification is not the user's
    HWND hotSpeed_ = nullptr; // the speed button under the mouse
    unsigned deferred_ = 0; // parts changed during an import and not shown yet
    bool maximizeAtShow_ = false; // the window was left maximized
};

} // namespace gridvane::win
