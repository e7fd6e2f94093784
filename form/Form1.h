#pragma once
#include <array>
#include <chrono>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "excel/ExcelImport.h"
#include "layout/DrawingPreview.h"
#include "model/CellTable.h"
#include "settings/Settings.h"
#include "textconv/TextCommands.h"

// The main window's logic, free of any toolkit: the state of every control the program defines and every
// handler, taking plain values. A front end (the Qt window, the Win32 window, a test) shows that state,
// forwards the user's actions to the handlers and answers the few requests of FormFrontEnd.

namespace gridvane {

/// Parts of the form's state that a front end shows; FormFrontEnd::Refresh names the ones that changed.
enum FormPart : unsigned {
    kPartCaption = 1u << 0,       // the window caption
    kPartButtons = 1u << 1,       // Button3, Button4 enabled
    kPartEdit1 = 1u << 2,         // Edit1's text and colour
    kPartAddresses = 1u << 3,     // Edit2, Edit3
    kPartSizeBoxes = 1u << 4,     // Edit11, Edit12, Edit13
    kPartLabel4 = 1u << 5,        // the status line
    kPartLabel13 = 1u << 6,       // the character code
    kPartSpeedButtons = 1u << 7,  // which of 左 中 右 is raised
    kPartCheckBox = 1u << 8,      // CheckBox1
    kPartProgress = 1u << 9,      // ProgressBar1's maximum and position
    kPartGrid = 1u << 10,         // StringGrid1 as a whole: counts, sizes, texts, current cell, selection
    kPartGridTexts = 1u << 11,    // some texts of StringGrid1 (or their look: alignment) changed, nothing else
    kPartGridSelection = 1u << 12, // current cell or selection of StringGrid1
    kPartSettingsEdits = 1u << 13, // Edit4 .. Edit10
    kPartSummary = 1u << 14,      // StringGrid2
    kPartGridScrollHome = 1u << 15, // StringGrid1 scrolls back to its top-left corner
    kPartPreview = 1u << 16,      // the drawing page: TForm1::Preview() (drawing, view, list) is to be shown anew
};

/// The pages of PageControl1.
inline constexpr int kPageTable = 0, kPageSettings = 1, kPageDrawing = 2;

/// The icon of a message box.
enum class MessageIcon { None, Information, Warning, Error, Question };
/// Which window owns a box: the main window, or the grid StringGrid1 (the size questions).
enum class MessageOwner { MainWindow, Grid };

/// What the form asks of the front end that shows it.
class FormFrontEnd {
public:
    virtual ~FormFrontEnd() = default;
    /// A modal box with one OK button.
    virtual void Message(std::u16string_view text, std::u16string_view caption, MessageIcon icon, MessageOwner owner) = 0;
    /// A modal Yes/No box; true only for Yes.
    virtual bool AskYesNo(std::u16string_view text, std::u16string_view caption, MessageOwner owner) = 0;
    /// The workbook to import (where a workbook file stands in for the running spreadsheet); nothing when
    /// the user cancels. startFolder is the folder of the last workbook, or empty.
    virtual std::optional<std::filesystem::path> ChooseWorkbook(const std::filesystem::path& startFolder) = 0;
    /// Shows the replace dialog TForm3 modally with its texts as they are in search and replacement, and
    /// leaves there what the user typed. True only when it was closed with "実行".
    virtual bool ShowReplaceDialog(std::u16string& search, std::u16string& replacement) = 0;
    /// Shows the parts of the form's state that changed (FormPart bits).
    virtual void Refresh(unsigned parts) = 0;
    /// Lets pending window messages run once.
    virtual void ProcessEvents() = 0;
    /// Closes the main window (a close that was held back while an import ran).
    virtual void CloseWindow() = 0;
};

/// What the platform gives the form; wired by the program's entry (app/).
struct FormPlatform {
    std::filesystem::path iniPath;   // the settings file
    std::filesystem::path dxfPath;   // the drawing file
    char16_t decimalSeparator = u'.';
    std::u16string applicationTitle; // the executable's name before its first full stop
    /// The running spreadsheet (Windows); empty where a workbook file stands in for it.
    XlAttach attachRunning;
    /// Opens a workbook file as the spreadsheet (Linux); empty where the running spreadsheet is used.
    std::function<XlAttach(const std::filesystem::path&)> openWorkbook;
    /// Hands the saved drawing to the running CAD; does nothing when none runs. Throws Error on failure.
    std::function<void(const std::filesystem::path&)> insertIntoCad;
};

/// StringGrid1's state: texts of every cell (the fixed row 0 and column 0 included), pixel sizes, the
/// current cell and the selected rectangle, in grid coordinates.
struct TStringGridState {
    std::int32_t colCount = 5; // fixed column included
    std::int32_t rowCount = 5; // fixed row included
    std::vector<std::u16string> cells = std::vector<std::u16string>(25); // rowCount x colCount
    std::vector<int> colWidths = std::vector<int>(5, 64);                // pixels
    std::vector<int> rowHeights = std::vector<int>(5, 20);               // pixels
    std::int32_t col = 1, row = 1; // the current cell
    GridSelection selection{1, 1, 1, 1};
    std::int32_t anchorCol = 1, anchorRow = 1; // the corner a range selection grows from

    const std::u16string& Text(std::int32_t c, std::int32_t r) const;
    bool IsDataCell(std::int32_t c, std::int32_t r) const { return c >= 1 && r >= 1 && c < colCount && r < rowCount; }
};

/// The drawing page: the drawing "Plotra へ挿入" would write for the table as it stands, where it lies in the
/// page, and the cells whose texts hold characters the drawing's code page cannot carry.
struct TPreviewState {
    DrawingPreview drawing;
    PreviewViewport view;
    std::vector<std::u16string> codePageLines; // "図面で表せない文字: B3 "é" → "?"", one per cell, row by row,
                                                // at most kCodePageLinesShown, then one line with the rest's count
    std::u16string error;                       // why there is no drawing, or empty
    std::uint64_t generation = 0;               // counts the recomputations, so a front end knows what is new
};
inline constexpr std::size_t kCodePageLinesShown = 1000;

/// The state of TForm1's controls, as the program defines them.
struct TForm1State {
    std::u16string caption = u"Gridvane 2023.02.11";
    bool button3Enabled = true, button4Enabled = false;
    std::u16string edit1;      // text of the current cell
    bool edit1Red = false;     // the text holds a line feed
    std::u16string edit2, edit3; // first and last cell of the imported range
    std::u16string edit11, edit12, edit13; // column width, row height, text height of the current cell
    std::u16string label4, label13;
    std::array<bool, 3> speedRaised{}; // 左 中 右: shown raised (not flat)
    bool checkBox1 = true;             // セルを描画
    int progressMax = 100, progressPosition = 0;
    std::array<std::u16string, 7> settingsEdits; // Edit4 .. Edit10
    std::array<std::array<std::u16string, 2>, 5> summary; // StringGrid2: label column, value column
    int activePage = 0;
};

/// TForm1: the main window's state and handlers. Every handler catches what fails inside it and shows it
/// through the application's error display, so nothing escapes into a toolkit's event dispatch.
class TForm1 : private ImportView, private GridTexts {
public:
    TForm1(FormPlatform platform, FormFrontEnd& frontEnd);
    ~TForm1() override;
    TForm1(const TForm1&) = delete;
    TForm1& operator=(const TForm1&) = delete;

    const TForm1State& State() const { return state_; }
    const TStringGridState& Grid() const { return grid_; }
    const CellTable& Table() const { return table_; }
    const TSettings& Settings() const { return settings_; }
    bool Importing() const { return importing_; }
    char16_t DecimalSeparator() const { return platform_.decimalSeparator; }
    /// The model cell of grid cell (c, r), or null outside the table.
    const TXlsxCellAttr* ModelCell(std::int32_t c, std::int32_t r) const;

    // ---- life cycle
    /// Clears the texts, loads the settings, prepares the summary grid. Run once by the constructor.
    void FormCreate();
    /// A request to close: true when the window may close. Held back (false) while an import runs; then
    /// the window is closed when the import ends.
    bool FormCloseQuery();

    // ---- the first page
    void Button3Click();
    /// The import of a workbook file where one stands in for the running spreadsheet (a drop, a file dialog).
    void ImportWorkbookFile(const std::filesystem::path& path);
    void Button4Click();
    void CheckBox1Click(bool checked);
    /// The user moved the current cell to (c, r) with the mouse or the keyboard; extend: Shift or a drag
    /// grows the selection from its anchor. Runs StringGrid1Click.
    void StringGrid1SelectCell(std::int32_t c, std::int32_t r, bool extend);
    /// The front end's own grid selected a rectangle with (c, r) current; runs StringGrid1Click when the
    /// current cell moved.
    void StringGrid1SelectRange(std::int32_t c, std::int32_t r, GridSelection selection);
    void StringGrid1Click();
    void StringGrid1FixedCellClick(std::int32_t c, std::int32_t r);
    /// The right click that opens PopupMenu1 at grid cell (c, r): changes neither the current cell nor the
    /// selection. True: show the menu.
    bool StringGrid1ContextMenu(std::int32_t c, std::int32_t r);
    /// The user typed text into data cell (c, r) of the grid itself.
    void StringGrid1SetEditText(std::int32_t c, std::int32_t r, std::u16string text);
    /// A column or row border dragged: display only, the table is not touched.
    void StringGrid1ColumnResized(std::int32_t c, int pixels);
    void StringGrid1RowResized(std::int32_t r, int pixels);
    /// The user changed Edit1's text (typing, pasting); never called when the form itself fills it.
    void Edit1Change(std::u16string text);
    /// An arrow key released in Edit1 with the caret (or the selection's start) at position.
    void Edit1KeyUp(std::size_t position);
    /// Enter in the size boxes; text is the box's text at that moment.
    void Edit11KeyPress(std::u16string text);
    void Edit12KeyPress(std::u16string text);
    void Edit13KeyPress(std::u16string text);
    /// 左 (1), 中 (2) or 右 (3).
    void SpeedButton1Click(int align);
    void N1Click() { RunCommand(TextCommand::N1); }
    void N12Click() { RunCommand(TextCommand::N12); }
    void N5Click() { RunCommand(TextCommand::N5); }
    void N2Click() { RunCommand(TextCommand::N2); }
    void N6Click() { RunCommand(TextCommand::N6); }
    void N7Click() { RunCommand(TextCommand::N7); }
    void N9Click() { RunCommand(TextCommand::N9); }
    void N4Click();
    /// The overall size in Label4.
    void ShowWHSize();

    /// True when the grid text of data cell (c, r) of the table holds a character the drawing's code page
    /// cannot carry (StringGrid1 marks such cells).
    bool CodePageMark(std::int32_t c, std::int32_t r) const;

    // ---- the drawing page
    /// The drawing page's state, brought up to date first when the table, its texts or the settings changed
    /// since (a layout run: call it when the page is shown or painted, not per keystroke).
    const TPreviewState& Preview();
    /// True when the next Preview() lays the table out again (a front end may show a busy cursor).
    bool PreviewStale() const { return previewStale_; }
    /// The page's drawing area has this size in pixels.
    void PreviewResize(double width, double height);
    /// The mouse wheel turned by angleDelta (120 a notch, positive away from the user) over pixel (x, y).
    void PreviewWheel(double x, double y, int angleDelta);
    /// The user dragged the drawing by (dx, dy) pixels.
    void PreviewDrag(double dx, double dy);
    /// The whole drawing fitted to the area again (a double click).
    void PreviewFit();

    // ---- the second page
    /// The active page became index (kPageTable, kPageSettings, kPageDrawing).
    void PageControl1Change(int index);
    /// The user typed into Edit4 .. Edit10 (index 0 .. 6).
    void SettingsEditChange(int index, std::u16string text);
    void Button1Click();
    void showWhSizeGrid2();

    /// Texts of the data cells for the drawing, texts[r * GridColCount + c].
    std::vector<std::u16string> DrawingTexts() const;

private:
    // ImportView
    void SetButton3Enabled(bool on) override;
    void SetButton4Enabled(bool on) override;
    void SetCaption(std::u16string_view text) override;
    void SetEdit2(std::u16string_view text) override;
    void SetEdit3(std::u16string_view text) override;
    void SetGridRedraw(bool on) override;
    void SetFixedColumnWidth(int pixels) override;
    void SetGridSize(std::int32_t columns, std::int32_t rows) override;
    void SetCurrentCell(std::int32_t c, std::int32_t r) override;
    void SetColumnWidth(std::int32_t c, int pixels) override;
    void SetRowHeight(std::int32_t r, int pixels) override;
    void SetCellText(std::int32_t c, std::int32_t r, std::u16string_view text) override;
    void SetLabel4(std::u16string_view text) override;
    void SetProgressMax(int maximum) override;
    void SetProgress(int position) override;
    void StepProgress() override;
    void ProcessEvents() override;
    void ShowMessage(std::u16string_view text) override;
    void SelectionRead() override;
    // After an import: the grid's texts and colours, the drawing page, and the current cell in the edit boxes.
    void ShowImportedTable(bool ok);
    // GridTexts, for the text commands
    std::u16string Text(std::int32_t col, std::int32_t row) const override;
    void SetText(std::int32_t col, std::int32_t row, std::u16string text) override;

    template <class F> void Guarded(F&& handler);
    void ShowError(std::u16string_view text);
    void Refresh(unsigned parts);
    void RunImport(const XlAttach& attach);
    void RunCommand(TextCommand command);
    void SizeEdit(std::u16string text, int which);
    void SetCurrentAndShow(std::int32_t c, std::int32_t r, const GridSelection& selection);
    void FollowCurrentText();
    void ResizeGrid(std::int32_t cols, std::int32_t rows);
    std::u16string LayoutErrorText(const LayoutCellError& e) const;
    void CheckCodePage(std::int32_t c, std::int32_t r);
    void CheckCodePageAll();
    void InvalidatePreview();
    void UpdatePreview();

    FormPlatform platform_;
    FormFrontEnd& front_;
    TForm1State state_;
    TStringGridState grid_;
    CellTable table_;
    TSettings settings_;
    std::u16string replaceSearch_, replaceWith_; // TForm3's texts, kept between uses
    std::filesystem::path lastWorkbookFolder_;
    bool importing_ = false;
    bool gridRedrawOff_ = false;
    unsigned heldParts_ = 0; // grid parts changed while the grid's redrawing was off
    bool currentMoved_ = false; // the import made a cell current
    bool tableShown_ = false;   // the imported table has been shown (before the closing message)
    bool screenUpdatingLeftOff_ = false; // the last import could not switch the spreadsheet's screen on
    bool eventsRan_ = false;    // window messages ran during this import
    std::chrono::steady_clock::time_point lastEvents_;
    bool closePending_ = false, applyPending_ = false, summaryPending_ = false;
    std::vector<std::uint8_t> codePageMarks_ = std::vector<std::uint8_t>(25); // by grid cell, as grid_.cells
    TPreviewState preview_;
    bool previewStale_ = true;
};

} // namespace gridvane
