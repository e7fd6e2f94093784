#pragma once
#include <array>
#include <chrono>
#include <cstdint>
#include <exception>
#include <filesystem>
#include <functional>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "excel/ExcelImport.h"
#include "form/EditHistory.h"
#include "form/WindowTexts.h"
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
    kPartButtons = 1u << 1,       // Button3, Button4 enabled; whether the table's controls take input
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
    kPartHistory = 1u << 17,      // what can be undone and redone (the menu's items)
};

/// The pages of PageControl1.
inline constexpr int kPageTable = 0, kPageSettings = 1, kPageDrawing = 2;

/// The smallest client area of the main window, pixels at 96 dots per inch: every control stays readable.
inline constexpr int kMinClientWidth = 432, kMinClientHeight = 288;

/// A program the window calls into, for the status line while such a call waits.
enum class OutsideProgram { Spreadsheet, Calc, Cad };

/// The platform's report of a call into an outside program that waits: told again and again with true
/// while it waits (the window paints and takes its keys meanwhile), then once with false when it has
/// ended. Answers true when the user asked to stop (Esc, a close): a call that can be given up then is.
using OutsideWait = std::function<bool(OutsideProgram program, bool waiting)>;

/// The running spreadsheet as "Excel から取得" finds it where a workbook file stands in when none runs.
struct FoundSpreadsheet {
    enum class Kind {
        None,     // none runs: the user is asked for a workbook file
        Ready,    // one runs with a spreadsheet in front: attach reaches it
        Unusable, // one runs but nothing can be imported from it now: reason says why, for the user
    };
    Kind kind = Kind::None;
    XlAttach attach;
    std::u16string reason;
};

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
    /// Puts text on the clipboard.
    virtual void SetClipboardText(std::u16string_view text) = 0;
    /// The clipboard's text; empty when it holds none.
    virtual std::u16string ClipboardText() = 0;
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
    /// Looks for a running spreadsheet before a workbook file is asked for (Linux: a running LibreOffice
    /// Calc); empty: none is looked for. It and the import from what it found report their waits to wait.
    std::function<FoundSpreadsheet(const OutsideWait& wait)> findRunning;
    /// Hands the saved drawing to the running CAD: true when it took it, false when no CAD runs. Throws
    /// Error on failure. While one of its calls waits for a busy CAD it calls TForm1::OutsideCallWaiting.
    std::function<bool(const std::filesystem::path&)> insertIntoCad;
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
    bool scrollToCurrent = true; // a view brings the current cell into view (not after a header click)

    /// The index of grid cell (c, r) in cells (and in every array of the grid's cells); (c, r) must be in the grid.
    std::size_t Index(std::int32_t c, std::int32_t r) const
    {
        return static_cast<std::size_t>(r) * static_cast<std::size_t>(colCount) + static_cast<std::size_t>(c);
    }
    /// The text of grid cell (c, r); empty outside the grid.
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
    double smallestText = 0;                    // the smallest text height in the drawing; 0 without texts
};
inline constexpr std::size_t kCodePageLinesShown = 1000;

/// The colour the drawing page paints an entity of layer index layer in (PreviewEntity::layer): its layer's
/// colour on a white ground; an index outside the layer table is painted as colour 7, black.
PreviewRgb PreviewLayerColor(std::uint8_t layer);

/// Where a cell's text stands between its left and right margins.
enum class CellAlign { Left, Center, Right };

/// How StringGrid1 shows a cell besides its text (StringGrid1DrawCell).
struct TCellLook {
    bool merged = false;               // part of a merged area: background kMergeShade, also when selected
    CellAlign align = CellAlign::Left; // fixed cells centred; data cells by txtAlign, general as left
    bool codePageMark = false;         // a character the drawing cannot carry: a corner in kCodePageMarkColor
};
/// The background of a cell that is part of a merged area.
inline constexpr PreviewRgb kMergeShade{240, 255, 255};
/// The small corner of a cell whose text holds a character the drawing cannot carry.
inline constexpr PreviewRgb kCodePageMarkColor{255, 0, 0};
/// Edit1's text colour while its text holds a line feed (TForm1State::edit1Red), and otherwise.
inline constexpr PreviewRgb kLineFeedTextColor{255, 0, 0};
inline constexpr PreviewRgb kPlainTextColor{0, 0, 0};

/// A mouse button.
enum class MouseButton { Left, Right, Middle };
/// What a mouse button pressed over StringGrid1 does to its current cell and its selection.
enum class GridPress {
    Select,   // moves them, as a click in any grid does
    MenuOnly, // leaves them as they are: the click opens PopupMenu1, whose commands act on the selection as it stands
};

/// The state of TForm1's controls, as the program defines them.
struct TForm1State {
    std::u16string caption{kForm1Caption};
    bool button3Enabled = true, button4Enabled = false;
    bool tableInput = true; // StringGrid1, Edit1, Edit11 .. Edit13 and 左 中 右 take input (not during an import)
    bool canUndo = false, canRedo = false;
    std::u16string edit1;      // text of the current cell
    bool edit1Red = false;     // the text holds a line feed
    std::u16string edit2, edit3; // first and last cell of the imported range
    std::u16string edit11, edit12, edit13; // column width, row height, text height of the current cell
    std::u16string label4, label13;
    std::array<bool, 3> speedRaised{}; // 左 中 右: shown raised (not flat)
    bool checkBox1 = true;             // セルを描画
    int progressMax = 100, progressPosition = 0;
    std::array<std::u16string, 7> settingsEdits; // Edit4 .. Edit10
    bool edit10Enabled = false; // with its two labels: the line colour is carried from the file, not edited
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
    /// An import or an insertion runs: Button3 and Button4 do nothing until it has ended.
    bool Busy() const { return importing_ || inserting_; }
    char16_t DecimalSeparator() const { return platform_.decimalSeparator; }
    /// The model cell of grid cell (c, r), or null outside the table.
    const TXlsxCellAttr* ModelCell(std::int32_t c, std::int32_t r) const;
    /// How StringGrid1 shows grid cell (c, r): merge shading, alignment and the code-page mark.
    TCellLook CellLook(std::int32_t c, std::int32_t r) const;
    /// The merged areas of the table in grid coordinates, each shown as one cell with its anchor's text.
    const std::vector<GridSelection>& MergedAreas() const { return mergedAreas_; }
    /// The merged area grid cell (c, r) belongs to, or nothing.
    std::optional<GridSelection> MergedAreaAt(std::int32_t c, std::int32_t r) const;

    // ---- life cycle
    /// Clears the texts, loads the settings, prepares the summary grid. Run once by the constructor.
    void FormCreate();
    /// A request to close: true when the window may close. A running import is cancelled and an insertion
    /// awaited (false); the window is closed when it has ended.
    bool FormCloseQuery();
    /// Where the window was when it was last closed (from the settings file), or nothing.
    const std::optional<TWindowPlacement>& SavedPlacement() const { return placement_; }
    /// Where the window is now; saved with the settings at the close.
    void WindowPlaced(const TWindowPlacement& placement) { placement_ = placement; }

    /// The application's error display for what escaped a front end's own code (e: null when it was no
    /// std::exception): the error box the handlers show their failures in.
    void ShowEscapedError(const std::exception* e);

    // ---- the first page
    /// "Excel から取得": imports the selection of the running spreadsheet. Where a workbook file stands in
    /// when none runs, that of a running one found with a spreadsheet in front; with none running, of a
    /// workbook file the user chooses; with one running that cannot be imported from, the user hears why
    /// and is asked whether to choose a workbook file instead.
    void Button3Click();
    /// The import of a workbook file where one stands in for the running spreadsheet (a drop, a file dialog).
    void ImportWorkbookFile(const std::filesystem::path& path);
    /// Esc or a close during an import: the import ends at its next row and the previous table stays.
    void CancelImport();
    /// "Plotra へ挿入": writes the drawing of the table beside the program and hands it to the running CAD;
    /// the status line says where the drawing is.
    void Button4Click();
    /// The platform's call into program waits while program is busy and the call is retried (waiting), or
    /// has ended (!waiting): the status line says so, and the window keeps painting while it waits.
    void OutsideCallWaiting(OutsideProgram program, bool waiting);
    /// "セルを描画" ticked or cleared: whether the drawing has the cell grid lines.
    void CheckBox1Click(bool checked);
    /// The user moved the current cell to (c, r) with the mouse or the keyboard; extend: Shift or a drag
    /// grows the selection from its anchor. Runs StringGrid1Click.
    void StringGrid1SelectCell(std::int32_t c, std::int32_t r, bool extend);
    /// The front end's own grid selected a rectangle with (c, r) current; runs StringGrid1Click when the
    /// current cell moved.
    void StringGrid1SelectRange(std::int32_t c, std::int32_t r, GridSelection selection);
    /// A cell of the grid clicked or reached with the keyboard: the current cell's text, sizes and alignment
    /// are shown in the edit boxes and the speed buttons.
    void StringGrid1Click();
    /// A fixed cell clicked: its column, its row, or (the corner) everything is selected.
    void StringGrid1FixedCellClick(std::int32_t c, std::int32_t r);
    /// The cell the current cell moves to from (c, r) by (dc, dr) cells: past the merged area it is in, and
    /// within the data cells.
    std::pair<std::int32_t, std::int32_t> GridStep(std::int32_t c, std::int32_t r, std::int32_t dc, std::int32_t dr) const;
    /// A mouse button pressed over the grid: whether the press selects. The right button's never does: its
    /// click opens PopupMenu1 on the selection as it stands.
    GridPress StringGrid1MouseDown(MouseButton button) const;
    /// The user typed text into data cell (c, r) of the grid itself.
    void StringGrid1SetEditText(std::int32_t c, std::int32_t r, std::u16string text);
    /// A column's border dragged to pixels: the grid shows it so; the table is not touched.
    void StringGrid1ColumnResized(std::int32_t c, int pixels);
    /// A row's border dragged to pixels: the grid shows it so; the table is not touched.
    void StringGrid1RowResized(std::int32_t r, int pixels);
    /// The user changed Edit1's text (typing, pasting); never called when the form itself fills it.
    void Edit1Change(std::u16string text);
    /// An arrow key released in Edit1 with the caret (or the selection's start) at position.
    void Edit1KeyUp(std::size_t position);
    /// Enter in Edit11: the number typed becomes the width of every selected column, if the user says Yes;
    /// text is the box's text at that moment.
    void Edit11KeyPress(std::u16string text);
    /// Enter in Edit12: the number typed becomes the height of every selected row, if the user says Yes.
    void Edit12KeyPress(std::u16string text);
    /// Enter in Edit13: the number typed becomes the text height of the selected cells, if the user says Yes.
    void Edit13KeyPress(std::u16string text);
    /// 左 (1), 中 (2) or 右 (3) clicked: the selected cells' texts are aligned so.
    void SpeedButton1Click(int align);
    /// "半角->全角": the selected texts to full width.
    void N1Click() { RunCommand(TextCommand::N1); }
    /// "半角->全角（数字のみの文字列は除外）": the same, leaving numbers and Latin words alone.
    void N12Click() { RunCommand(TextCommand::N12); }
    /// "半角カナ->全角": half-width katakana in the selected texts to full width.
    void N5Click() { RunCommand(TextCommand::N5); }
    /// "全角->半角": the selected texts to half width.
    void N2Click() { RunCommand(TextCommand::N2); }
    /// "全角数字->半角": full-width digits in the selected texts to ASCII.
    void N6Click() { RunCommand(TextCommand::N6); }
    /// "全角アルファベット->半角": full-width Latin letters in the selected texts to ASCII.
    void N7Click() { RunCommand(TextCommand::N7); }
    /// "代替文字を含む禁止文字->半角": full-width symbols in the selected texts to ASCII.
    void N9Click() { RunCommand(TextCommand::N9); }
    /// "置換": asks for a search and a replacement text and replaces in every selected text; tells how many
    /// cells it changed.
    void N4Click();
    /// "元に戻す" (Ctrl+Z): takes back the last change to the table.
    void EditUndo();
    /// "やり直し" (Ctrl+Y): does again what was taken back.
    void EditRedo();
    /// "コピー" (Ctrl+C): the selected texts to the clipboard as tab-separated lines.
    void EditCopy();
    /// "貼り付け" (Ctrl+V): tab-separated text from the clipboard into the cells from the current cell on.
    void EditPaste();
    /// "削除" (Del): empties the selected cells' texts.
    void EditDelete();
    bool CanUndo() const { return state_.canUndo; }
    bool CanRedo() const { return state_.canRedo; }
    /// The selected texts as the clipboard gets them.
    std::u16string SelectionText() const;
    /// Writes tab-separated text into the cells from the current cell on, within the grid; selects them.
    void PasteText(std::u16string_view text);
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
    /// The mouse wheel turned by angleDelta (120 a notch, positive away from the user) over pixel (x, y). The
    /// zoom stays between a tenth of the fitted one and the smallest text as high as the area.
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
    /// "変更を反映": the typed scale factors are applied and every size is computed again, if the user says Yes.
    /// A factor that is not a positive number (the text inset: not negative) refuses the whole apply.
    void Button1Click();
    /// The summary of widths, heights and text heights in StringGrid2.
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
    bool StopRequested() override { return stopRequested_; }
    // GridTexts, for the text commands
    std::u16string Text(std::int32_t col, std::int32_t row) const override;
    void SetText(std::int32_t col, std::int32_t row, std::u16string text) override;

    template <class F> void Guarded(F&& handler);
    // Sets a field of the controls' state and shows the part of the window it belongs to.
    template <class T, class V> void SetState(T& field, V&& value, unsigned part)
    {
        field = std::forward<V>(value);
        Refresh(part);
    }
    void ShowError(std::u16string_view text);
    void Refresh(unsigned parts);
    void RunImport(const XlAttach& attach);
    void EndImport(const ImportResult& result);
    // The running spreadsheet as the platform finds it; nothing when the user stopped the search.
    std::optional<FoundSpreadsheet> FindRunningSpreadsheet();
    // What waited for an import's end (a close, the settings' apply, the summary): true when the window
    // was closed.
    bool RunPending();
    // The platform's waits, told in the status line; true once the user asked to stop.
    bool CallWaits(OutsideProgram program, bool waiting);
    void ShowBusy();
    void RunCommand(TextCommand command);
    void SizeEdit(std::u16string text, int which);
    void FollowCurrentText();
    // The current cell's sizes and alignment in the size boxes and the speed buttons.
    void ShowCurrentCellLook();
    void FindMergedAreas();
    // The selection grown until it cuts no merged area.
    GridSelection CoverAreas(GridSelection s) const;
    // The grid being written: the staged one during an import, else the shown one.
    TStringGridState& ImportGrid() { return stagedGrid_ ? *stagedGrid_ : grid_; }
    // Runs change as one step of the history: every grid text it writes and, with draws, every cell's
    // drawing fields and the settings it changes.
    template <class F> void Recorded(bool draws, F&& change);
    void ApplyStep(const EditStep& step, bool undo);
    void ShowHistory();
    std::optional<std::size_t> ModelIndex(std::int32_t c, std::int32_t r) const;
    TXlsxCellAttr* WritableModelCell(std::int32_t c, std::int32_t r);
    // Writes a grid cell's text, with its code-page mark, the drawing page and the grid's repaint.
    void WriteCell(std::int32_t c, std::int32_t r, std::u16string text);
    // Grid cell (c, r) as the grid's headers name it (the worksheet's column letters and row number).
    std::u16string GridCellName(std::int32_t c, std::int32_t r) const;
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
    std::optional<TWindowPlacement> placement_;
    std::u16string replaceSearch_, replaceWith_; // TForm3's texts, kept between uses
    std::filesystem::path lastWorkbookFolder_;
    bool importing_ = false, inserting_ = false;
    bool stopRequested_ = false;
    // An import reads into these; they replace the table and the grid when it has succeeded.
    std::optional<TStringGridState> stagedGrid_;
    CellTable stagedTable_;
    std::vector<std::u16string> importMessages_; // the import's boxes, shown when it has ended
    std::vector<GridSelection> mergedAreas_;
    std::vector<std::int32_t> areaOfCell_; // by grid cell: index into mergedAreas_, -1 none; empty without areas
    EditHistory history_;
    EditStep* recording_ = nullptr; // the step a change is being recorded into
    std::optional<std::u16string> label4BeforeWait_; // the status line a waiting call replaced
    bool screenUpdatingLeftOff_ = false; // the last import could not switch the spreadsheet's screen on
    bool eventsRan_ = false;    // window messages ran during this import
    std::chrono::steady_clock::time_point lastEvents_;
    bool closePending_ = false, applyPending_ = false, summaryPending_ = false;
    std::vector<std::uint8_t> codePageMarks_ = std::vector<std::uint8_t>(25); // by grid cell, as grid_.cells
    TPreviewState preview_;
    bool previewStale_ = true;
};

/// An item of PopupMenu1, the grid's popup menu.
struct TMenuItem {
    int number;                    // the design's name: N<number>
    std::u16string_view caption;   // empty for a separator
    void (TForm1::*handler)();     // what the item runs; null for a separator
    std::u16string_view key;       // the key that runs it too, as the menu shows it; empty: none
    bool (TForm1::*enabled)() const; // whether it can run now; null: always
};
/// PopupMenu1's items, top to bottom, as every window builds the menu.
std::span<const TMenuItem> PopupMenu1Items();

} // namespace gridvane
