#include "form/Form1.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdint>
#include <cstdio>

#include "base/Decimal.h"
#include "base/Error.h"
#include "base/Utf.h"
#include "dxf/MakeR12Dxf_V.h"
#include "form/TabText.h"
#include "layout/TableLayout.h"
#include "model/CellAddress.h"
#include "settings/NumberText.h"
#include "settings/SizeSummary.h"
#include "textconv/DrawingTextCheck.h"

namespace gridvane {

namespace {

std::u16string CodeText(char16_t unit)
{
    char buf[16];
    std::snprintf(buf, sizeof buf, "[%04X]", static_cast<unsigned>(unit));
    return FromUtf8(buf);
}

GridSelection Span(std::int32_t c1, std::int32_t r1, std::int32_t c2, std::int32_t r2)
{
    return {std::min(c1, c2), std::min(r1, r2), std::max(c1, c2), std::max(r1, r2)};
}

bool Intersect(const GridSelection& a, const GridSelection& b)
{
    return a.left <= b.right && b.left <= a.right && a.top <= b.bottom && b.top <= a.bottom;
}

bool Contains(const GridSelection& outer, const GridSelection& inner)
{
    return outer.left <= inner.left && inner.right <= outer.right && outer.top <= inner.top && inner.bottom <= outer.bottom;
}

// Resizes a grid; texts inside both the old and the new size keep their place, and the current cell and the
// selection stay inside the data cells.
void ResizeGridState(TStringGridState& grid, std::int32_t cols, std::int32_t rows)
{
    constexpr int kDefaultColumnWidth = 64;
    constexpr int kDefaultRowHeight = 20;
    cols = std::max(cols, 1);
    rows = std::max(rows, 1);
    if (cols != grid.colCount || rows != grid.rowCount) {
        std::vector<std::u16string> next(static_cast<std::size_t>(cols) * static_cast<std::size_t>(rows));
        const std::int32_t keepRows = std::min(rows, grid.rowCount), keepCols = std::min(cols, grid.colCount);
        for (std::int32_t r = 0; r < keepRows; ++r) {
            const auto from = grid.cells.begin() + static_cast<std::ptrdiff_t>(grid.Index(0, r));
            std::move(from, from + keepCols, next.begin() + static_cast<std::ptrdiff_t>(r) * cols);
        }
        grid.cells = std::move(next);
        grid.colCount = cols;
        grid.rowCount = rows;
        grid.colWidths.resize(static_cast<std::size_t>(cols), kDefaultColumnWidth);
        grid.rowHeights.resize(static_cast<std::size_t>(rows), kDefaultRowHeight);
    }
    const std::int32_t lastCol = std::max(cols - 1, 1), lastRow = std::max(rows - 1, 1);
    auto clampC = [&](std::int32_t v) { return std::clamp(v, 1, lastCol); };
    auto clampR = [&](std::int32_t v) { return std::clamp(v, 1, lastRow); };
    grid.col = clampC(grid.col);
    grid.row = clampR(grid.row);
    grid.anchorCol = clampC(grid.anchorCol);
    grid.anchorRow = clampR(grid.anchorRow);
    grid.selection = {clampC(grid.selection.left), clampR(grid.selection.top), clampC(grid.selection.right),
                      clampR(grid.selection.bottom)};
}

} // namespace

const std::u16string& TStringGridState::Text(std::int32_t c, std::int32_t r) const
{
    static const std::u16string kNone;
    if (c < 0 || r < 0 || c >= colCount || r >= rowCount) return kNone;
    return cells[Index(c, r)];
}

PreviewRgb PreviewLayerColor(std::uint8_t layer)
{
    const auto layers = DrawingLayers();
    return ColorOnWhite(layer < layers.size() ? layers[layer].color : 7);
}

std::span<const TMenuItem> PopupMenu1Items()
{
    static constexpr TMenuItem kItems[] = {
        {1, kN1, &TForm1::N1Click, {}, nullptr},
        {12, kN12, &TForm1::N12Click, {}, nullptr},
        {5, kN5, &TForm1::N5Click, {}, nullptr},
        {3, {}, nullptr, {}, nullptr},
        {2, kN2, &TForm1::N2Click, {}, nullptr},
        {6, kN6, &TForm1::N6Click, {}, nullptr},
        {7, kN7, &TForm1::N7Click, {}, nullptr},
        {8, {}, nullptr, {}, nullptr},
        {9, kN9, &TForm1::N9Click, {}, nullptr},
        {10, {}, nullptr, {}, nullptr},
        {4, kN4, &TForm1::N4Click, {}, nullptr},
        {13, {}, nullptr, {}, nullptr},
        {14, kN14, &TForm1::EditUndo, kUndoKey, &TForm1::CanUndo},
        {15, kN15, &TForm1::EditRedo, kRedoKey, &TForm1::CanRedo},
        {16, {}, nullptr, {}, nullptr},
        {17, kN17, &TForm1::EditCopy, kCopyKey, nullptr},
        {18, kN18, &TForm1::EditPaste, kPasteKey, nullptr},
        {19, kN19, &TForm1::EditDelete, kDeleteKey, nullptr},
    };
    return kItems;
}

TForm1::TForm1(FormPlatform platform, FormFrontEnd& frontEnd) : platform_(std::move(platform)), front_(frontEnd)
{
    FormCreate();
}

TForm1::~TForm1() = default;

template <class F> void TForm1::Guarded(F&& handler)
{
    try {
        handler();
    } catch (const LayoutCellError& e) {
        ShowError(LayoutErrorText(e));
    } catch (const std::exception& e) {
        ShowError(WindowText(e));
    } catch (...) {
        ShowError(kUnknownError);
    }
}

template <class F> void TForm1::Recorded(bool draws, F&& change)
{
    EditStep step;
    std::vector<CellDraw> before;
    if (draws) {
        before = DrawsOf(table_);
        step.settingsBefore = settings_;
    }
    recording_ = &step;
    try {
        change();
    } catch (...) {
        recording_ = nullptr;
        throw;
    }
    recording_ = nullptr;
    if (draws) {
        AddDrawChanges(before, table_, step);
        if (settings_ == *step.settingsBefore) step.settingsBefore.reset();
        else step.settingsAfter = settings_;
    }
    history_.Push(std::move(step));
    ShowHistory();
}

void TForm1::ShowEscapedError(const std::exception* e)
{
    ShowError(e != nullptr ? WindowText(*e) : std::u16string(kUnknownError));
}

std::u16string TForm1::GridCellName(std::int32_t c, std::int32_t r) const
{
    std::u16string name = grid_.Text(c, 0) + grid_.Text(0, r);
    return name.empty() ? CellName(c, r) : name;
}

std::u16string TForm1::LayoutErrorText(const LayoutCellError& e) const
{
    return GridCellName(e.col + 1, e.row + 1) + std::u16string(kNotFiniteCoordinate);
}

void TForm1::ShowError(std::u16string_view text)
{
    front_.Message(text, platform_.applicationTitle, MessageIcon::Error, MessageOwner::MainWindow);
}

void TForm1::Refresh(unsigned parts)
{
    if (parts) front_.Refresh(parts);
}

std::optional<std::size_t> TForm1::ModelIndex(std::int32_t c, std::int32_t r) const
{
    if (table_.Empty() || c < 1 || r < 1 || c > table_.GridColCount || r > table_.GridRowCount) return std::nullopt;
    const std::size_t i = static_cast<std::size_t>(r - 1) * static_cast<std::size_t>(table_.GridColCount) + static_cast<std::size_t>(c - 1);
    if (i >= table_.CellGrid.size()) return std::nullopt;
    return i;
}

const TXlsxCellAttr* TForm1::ModelCell(std::int32_t c, std::int32_t r) const
{
    const std::optional<std::size_t> i = ModelIndex(c, r);
    return i ? &table_.CellGrid[*i] : nullptr;
}

TXlsxCellAttr* TForm1::WritableModelCell(std::int32_t c, std::int32_t r)
{
    const std::optional<std::size_t> i = ModelIndex(c, r);
    return i ? &table_.CellGrid[*i] : nullptr;
}

TCellLook TForm1::CellLook(std::int32_t c, std::int32_t r) const
{
    TCellLook look;
    if (c == 0 || r == 0) {
        look.align = CellAlign::Center; // the headers; the model is not asked
        return look;
    }
    if (const TXlsxCellAttr* cell = ModelCell(c, r)) {
        // A covered cell, or the anchor of a merged area.
        look.merged = cell->mark || cell->drawMW > 0 || cell->drawMH > 0;
        if (cell->txtAlign == kAlignCenter) look.align = CellAlign::Center;
        else if (cell->txtAlign == kAlignRight) look.align = CellAlign::Right;
    }
    look.codePageMark = CodePageMark(c, r);
    return look;
}

std::optional<GridSelection> TForm1::MergedAreaAt(std::int32_t c, std::int32_t r) const
{
    if (areaOfCell_.empty() || !grid_.IsDataCell(c, r)) return std::nullopt;
    const std::int32_t area = areaOfCell_[grid_.Index(c, r)];
    if (area < 0) return std::nullopt;
    return mergedAreas_[static_cast<std::size_t>(area)];
}

void TForm1::FindMergedAreas()
{
    mergedAreas_.clear();
    areaOfCell_.clear();
    for (const CellArea& a : gridvane::MergedAreas(table_)) {
        // In grid coordinates, within the grid.
        GridSelection s{a.col + 1, a.row + 1, a.col + a.cols, a.row + a.rows};
        s.right = std::min(s.right, grid_.colCount - 1);
        s.bottom = std::min(s.bottom, grid_.rowCount - 1);
        if (s.right > s.left || s.bottom > s.top) mergedAreas_.push_back(s);
    }
    if (mergedAreas_.empty()) return;
    areaOfCell_.assign(grid_.cells.size(), -1);
    for (std::size_t i = 0; i < mergedAreas_.size(); ++i) {
        const GridSelection& s = mergedAreas_[i];
        for (std::int32_t r = s.top; r <= s.bottom; ++r)
            for (std::int32_t c = s.left; c <= s.right; ++c) areaOfCell_[grid_.Index(c, r)] = static_cast<std::int32_t>(i);
    }
}

GridSelection TForm1::CoverAreas(GridSelection s) const
{
    // A few passes: an area taken in may reach another. Bounded, so that a table of many areas stays quick.
    for (int pass = 0; pass < 8 && !mergedAreas_.empty(); ++pass) {
        bool grown = false;
        for (const GridSelection& a : mergedAreas_) {
            if (!Intersect(a, s) || Contains(s, a)) continue;
            s = {std::min(s.left, a.left), std::min(s.top, a.top), std::max(s.right, a.right), std::max(s.bottom, a.bottom)};
            grown = true;
        }
        if (!grown) break;
    }
    return s;
}

std::pair<std::int32_t, std::int32_t> TForm1::GridStep(std::int32_t c, std::int32_t r, std::int32_t dc, std::int32_t dr) const
{
    if (const std::optional<GridSelection> area = MergedAreaAt(c, r)) {
        // A step out of a merged area leaves it on the side it goes to.
        if (dc > 0) c = area->right;
        if (dc < 0) c = area->left;
        if (dr > 0) r = area->bottom;
        if (dr < 0) r = area->top;
    }
    const std::int64_t nc = std::clamp<std::int64_t>(std::int64_t{c} + dc, 1, std::max(grid_.colCount - 1, 1));
    const std::int64_t nr = std::clamp<std::int64_t>(std::int64_t{r} + dr, 1, std::max(grid_.rowCount - 1, 1));
    return {static_cast<std::int32_t>(nc), static_cast<std::int32_t>(nr)};
}

// ---- life cycle -----------------------------------------------------------------------------------

void TForm1::FormCreate()
{
    Guarded([&] {
        const char16_t sep = platform_.decimalSeparator;
        state_.edit1.clear();
        state_.edit1Red = false;
        state_.edit2.clear();
        state_.edit3.clear();
        state_.edit11.clear();
        state_.edit12.clear();
        state_.edit13.clear();
        state_.label4.clear();
        state_.label13.clear();
        settings_ = LoadSettings(platform_.iniPath, sep);
        placement_ = LoadWindowPlacement(platform_.iniPath);
        state_.checkBox1 = settings_.cellLineDraw;
        const double values[] = {settings_.colXsc, settings_.rowYsc, settings_.cadXsc,
                                 settings_.cadYsc, settings_.cadTsc, settings_.cadTof};
        for (std::size_t i = 0; i < 6; ++i) state_.settingsEdits[i] = FormatGeneral(values[i], sep);
        state_.settingsEdits[6] = Decimal(settings_.cellLineColor);
        for (std::size_t r = 0; r < kSummaryLabels.size(); ++r) state_.summary[r] = {std::u16string(kSummaryLabels[r]), std::u16string()};
        Refresh(~0u);
    });
}

bool TForm1::FormCloseQuery()
{
    if (Busy()) {
        // The table must not be emptied under a running import or insertion: an import stops at its next
        // row, an insertion ends, and then the window closes.
        if (importing_) stopRequested_ = true;
        closePending_ = true;
        return false;
    }
    // A spreadsheet whose screen updating the last import could not switch on again gets another try.
    if (screenUpdatingLeftOff_ && platform_.attachRunning) screenUpdatingLeftOff_ = !RestoreScreenUpdating(platform_.attachRunning);
    // The settings first: when they cannot be written the window stays open and the table is kept.
    settings_.cellLineDraw = state_.checkBox1;
    try {
        SaveSettings(platform_.iniPath, settings_, platform_.decimalSeparator, placement_);
    } catch (const std::exception& e) {
        ShowError(WindowText(e));
        return false;
    }
    table_ = CellTable{};
    history_.Clear();
    FindMergedAreas();
    InvalidatePreview();
    return true;
}

// ---- import ---------------------------------------------------------------------------------------

void TForm1::Button3Click()
{
    Guarded([&] {
        if (Busy()) return;
        if (platform_.attachRunning || !platform_.openWorkbook) {
            RunImport(platform_.attachRunning);
            return;
        }
        // A workbook file stands in for the running spreadsheet when none runs. One that runs but has no
        // spreadsheet in front (or does not answer) is not passed over in silence: the user hears why, and
        // chooses between putting a spreadsheet in front and a workbook file.
        if (platform_.findRunning) {
            const std::optional<FoundSpreadsheet> found = FindRunningSpreadsheet();
            if (!found) return;
            if (found->kind == FoundSpreadsheet::Kind::Ready) {
                RunImport(found->attach);
                return;
            }
            if (found->kind == FoundSpreadsheet::Kind::Unusable &&
                !front_.AskYesNo(found->reason + u"\n\n" + std::u16string(kChooseWorkbookInstead), kConfirmCaption,
                                 MessageOwner::MainWindow)) {
                return;
            }
        }
        const std::optional<std::filesystem::path> path = front_.ChooseWorkbook(lastWorkbookFolder_);
        if (path) ImportWorkbookFile(*path);
    });
}

std::optional<FoundSpreadsheet> TForm1::FindRunningSpreadsheet()
{
    // Looking is the import's first step: the buttons and the table rest as during an import, and Esc or
    // a close stops it.
    importing_ = true;
    stopRequested_ = false;
    ShowBusy();
    FoundSpreadsheet found;
    std::exception_ptr escaped;
    try {
        found = platform_.findRunning([this](OutsideProgram program, bool waiting) { return CallWaits(program, waiting); });
    } catch (...) {
        escaped = std::current_exception();
    }
    importing_ = false;
    const bool stopped = stopRequested_;
    stopRequested_ = false;
    ShowBusy();
    // An import that follows runs what waited at its end; otherwise it runs now.
    const bool importFollows = !escaped && !stopped && found.kind == FoundSpreadsheet::Kind::Ready;
    if (!importFollows && RunPending()) return std::nullopt;
    if (escaped) std::rethrow_exception(escaped);
    if (stopped) return std::nullopt;
    return found;
}

bool TForm1::CallWaits(OutsideProgram program, bool waiting)
{
    OutsideCallWaiting(program, waiting);
    return stopRequested_;
}

void TForm1::ImportWorkbookFile(const std::filesystem::path& path)
{
    Guarded([&] {
        if (Busy() || !platform_.openWorkbook) return;
        lastWorkbookFolder_ = path.parent_path();
        RunImport(platform_.openWorkbook(path));
    });
}

void TForm1::CancelImport()
{
    if (importing_) stopRequested_ = true;
}

void TForm1::ShowBusy()
{
    const bool busy = Busy();
    state_.button3Enabled = !busy;
    state_.button4Enabled = !busy && !table_.Empty();
    state_.tableInput = !importing_;
    Refresh(kPartButtons);
    ShowHistory();
}

void TForm1::RunImport(const XlAttach& attach)
{
    // The table, the grid and what the window shows of them are replaced only when the whole selection has
    // been read; a failed or cancelled import leaves them as they were.
    struct Shown {
        std::u16string caption, edit2, edit3, label4;
        int progressMax, progressPosition;
    };
    const Shown before{state_.caption, state_.edit2, state_.edit3, state_.label4, state_.progressMax, state_.progressPosition};
    importing_ = true;
    stopRequested_ = false;
    eventsRan_ = false;
    importMessages_.clear();
    history_.EndTyping();
    stagedTable_ = CellTable{};
    stagedGrid_.emplace();
    stagedGrid_->rowHeights[0] = grid_.rowHeights[0]; // the header row keeps its height
    ShowBusy();
    const ImportScales scales{settings_.colXsc, settings_.rowYsc, settings_.cadXsc, settings_.cadYsc, settings_.cadTsc};
    ImportResult result;
    std::exception_ptr escaped; // shown by Guarded once the window is as it was
    try {
        result = ImportSelection(attach, *this, stagedTable_, scales, platform_.decimalSeparator);
    } catch (...) {
        escaped = std::current_exception();
    }
    importing_ = false;
    screenUpdatingLeftOff_ = result.screenUpdatingLeftOff;
    if (result.ok) {
        table_ = std::move(stagedTable_);
        grid_ = std::move(*stagedGrid_);
        grid_.scrollToCurrent = true;
        history_.Clear();
        CheckCodePageAll();
        FindMergedAreas();
        // A new table is shown whole on the drawing page.
        preview_.view.fitted = true;
        InvalidatePreview();
        // The grid starts again at its first data cell; the edit boxes show that cell before the message
        // that the import succeeded.
        Refresh(kPartGrid | kPartGridScrollHome | kPartGridSelection);
        StringGrid1Click();
    } else {
        state_.caption = before.caption;
        state_.edit2 = before.edit2;
        state_.edit3 = before.edit3;
        state_.label4 = before.label4;
        state_.progressMax = before.progressMax;
        state_.progressPosition = before.progressPosition;
        Refresh(kPartCaption | kPartAddresses | kPartLabel4 | kPartProgress);
    }
    stagedGrid_.reset();
    stagedTable_ = CellTable{};
    EndImport(result);
    if (escaped) std::rethrow_exception(escaped);
}

void TForm1::EndImport(const ImportResult& result)
{
    std::vector<std::u16string> messages = std::move(importMessages_);
    importMessages_.clear();
    if (result.cancelled || (!result.ok && stopRequested_)) {
        // The user stopped it (a call that waited was given up for it, too): nothing to tell, but that the
        // spreadsheet's screen stays frozen.
        std::erase_if(messages, [](const std::u16string& m) { return m != kExcelScreenUpdatingLeftOff; });
    } else if (!result.ok && !messages.empty()) {
        // The failure's reason with the cell it happened at, in the window's language, before the failure
        // message: given when the import has one of its own (its English reason differs) not shown yet.
        const bool told = std::find(messages.begin(), messages.end(), result.detail) != messages.end();
        if (!result.detail.empty() && ToUtf8(result.detail) != result.reason && !told)
            messages.back() = result.detail + u"\n" + messages.back();
    }
    // The table takes input again while the messages are shown; the buttons follow once they are closed.
    state_.tableInput = true;
    Refresh(kPartButtons);
    for (const std::u16string& m : messages) front_.Message(m, kMessageCaption, MessageIcon::None, MessageOwner::MainWindow);
    ShowBusy();
    RunPending();
}

bool TForm1::RunPending()
{
    if (closePending_) {
        closePending_ = false;
        applyPending_ = summaryPending_ = false;
        front_.CloseWindow();
        return true;
    }
    if (applyPending_) {
        applyPending_ = false;
        Button1Click();
    }
    if (summaryPending_) {
        summaryPending_ = false;
        showWhSizeGrid2();
    }
    return false;
}

// The import's calls. The buttons are the form's while it runs (ShowBusy); the grid it writes is staged.
void TForm1::SetButton3Enabled(bool) {}
void TForm1::SetButton4Enabled(bool) {}
void TForm1::SetCaption(std::u16string_view text) { SetState(state_.caption, text, kPartCaption); }
void TForm1::SetEdit2(std::u16string_view text) { SetState(state_.edit2, text, kPartAddresses); }
void TForm1::SetEdit3(std::u16string_view text) { SetState(state_.edit3, text, kPartAddresses); }
void TForm1::SetGridRedraw(bool) {} // the staged grid is not shown before the import has ended
void TForm1::SetFixedColumnWidth(int pixels) { ImportGrid().colWidths[0] = pixels; }
void TForm1::SetGridSize(std::int32_t columns, std::int32_t rows) { ResizeGridState(ImportGrid(), columns, rows); }

void TForm1::SetCurrentCell(std::int32_t c, std::int32_t r)
{
    TStringGridState& g = ImportGrid();
    if (!g.IsDataCell(c, r)) return;
    g.col = g.anchorCol = c;
    g.row = g.anchorRow = r;
    g.selection = {c, r, c, r};
}

void TForm1::SetColumnWidth(std::int32_t c, int pixels)
{
    TStringGridState& g = ImportGrid();
    if (c >= 0 && c < g.colCount) g.colWidths[static_cast<std::size_t>(c)] = pixels;
}

void TForm1::SetRowHeight(std::int32_t r, int pixels)
{
    TStringGridState& g = ImportGrid();
    if (r >= 0 && r < g.rowCount) g.rowHeights[static_cast<std::size_t>(r)] = pixels;
}

void TForm1::SetCellText(std::int32_t c, std::int32_t r, std::u16string_view text)
{
    TStringGridState& g = ImportGrid();
    if (c < 0 || r < 0 || c >= g.colCount || r >= g.rowCount) return;
    if (stagedGrid_) g.cells[g.Index(c, r)] = text;
    else WriteCell(c, r, std::u16string(text));
}

void TForm1::WriteCell(std::int32_t c, std::int32_t r, std::u16string text)
{
    std::u16string& cell = grid_.cells[grid_.Index(c, r)];
    if (cell == text) return;
    if (recording_ != nullptr) recording_->texts.push_back({c, r, cell, text});
    cell = std::move(text);
    CheckCodePage(c, r);
    InvalidatePreview();
    Refresh(kPartGridTexts);
}

void TForm1::SetLabel4(std::u16string_view text) { SetState(state_.label4, text, kPartLabel4); }
void TForm1::SetProgressMax(int maximum) { SetState(state_.progressMax, maximum, kPartProgress); }
void TForm1::SetProgress(int position) { SetState(state_.progressPosition, position, kPartProgress); }

void TForm1::StepProgress()
{
    ++state_.progressPosition;
    Refresh(kPartProgress);
}

void TForm1::ProcessEvents()
{
    // Once per row the window may repaint its status line and take the user's input; a repaint of the
    // window costs far more than a row, so it happens at most every 25 ms (40 times a second): the
    // window stays as responsive and a long import is not slowed by its own progress display.
    const auto now = std::chrono::steady_clock::now();
    if (eventsRan_ && now - lastEvents_ < std::chrono::milliseconds(25)) return;
    eventsRan_ = true;
    lastEvents_ = now;
    front_.ProcessEvents();
}

void TForm1::ShowMessage(std::u16string_view text)
{
    // Shown when the import has ended, with the reason of a failure (EndImport).
    importMessages_.emplace_back(text);
}

// ---- drawing --------------------------------------------------------------------------------------

std::vector<std::u16string> TForm1::DrawingTexts() const
{
    std::vector<std::u16string> texts;
    if (table_.GridColCount <= 0 || table_.GridRowCount <= 0) return texts;
    texts.reserve(static_cast<std::size_t>(table_.GridColCount) * static_cast<std::size_t>(table_.GridRowCount));
    for (std::int32_t r = 1; r <= table_.GridRowCount; ++r)
        for (std::int32_t c = 1; c <= table_.GridColCount; ++c) texts.push_back(grid_.Text(c, r));
    return texts;
}

void TForm1::Button4Click()
{
    if (Busy() || table_.Empty() || table_.GridColCount <= 0 || table_.GridRowCount <= 0) return;
    // Until the insertion has ended both buttons do nothing (a call into a busy CAD may wait and let the
    // window's messages run meanwhile).
    inserting_ = true;
    ShowBusy();
    Guarded([&] {
        const DxfLineList list = LayoutTable(table_, DrawingTexts(), LayoutOptions{state_.checkBox1, settings_.cadTof});
        if (list.Count() == 0) return;
        SaveDxfLineList(list, platform_.dxfPath);
        std::error_code ec;
        if (!std::filesystem::exists(platform_.dxfPath, ec)) return;
        const bool handedOver = platform_.insertIntoCad && platform_.insertIntoCad(platform_.dxfPath);
        // Where the drawing is, so that it can be inserted by hand; no box interrupts.
        label4BeforeWait_.reset();
        SetLabel4(std::u16string(handedOver ? kDrawingHandedToCad : kDrawingSavedNoCad) + platform_.dxfPath.u16string());
    });
    if (label4BeforeWait_) OutsideCallWaiting(OutsideProgram::Cad, false);
    inserting_ = false;
    ShowBusy();
    if (closePending_) {
        closePending_ = false;
        front_.CloseWindow();
    }
}

void TForm1::OutsideCallWaiting(OutsideProgram program, bool waiting)
{
    if (!waiting) {
        if (label4BeforeWait_) SetLabel4(*label4BeforeWait_);
        label4BeforeWait_.reset();
        return;
    }
    if (!label4BeforeWait_) label4BeforeWait_ = state_.label4;
    SetLabel4(program == OutsideProgram::Cad ? kWaitingForCad : program == OutsideProgram::Calc ? kWaitingForCalc : kWaitingForSpreadsheet);
    // The window paints and takes input meanwhile; Button3 and Button4 do nothing until the call has ended.
    front_.ProcessEvents();
}

void TForm1::CheckBox1Click(bool checked)
{
    state_.checkBox1 = checked;
    InvalidatePreview();
    Refresh(kPartCheckBox);
}

// ---- the grid -------------------------------------------------------------------------------------

void TForm1::StringGrid1Click()
{
    Guarded([&] {
        history_.EndTyping();
        const std::u16string& text = grid_.Text(grid_.col, grid_.row);
        state_.edit1 = text;
        state_.edit1Red = text.find(u'\n') != std::u16string::npos;
        state_.label13.clear();
        Refresh(kPartEdit1 | kPartLabel13);
        ShowCurrentCellLook();
    });
}

void TForm1::ShowCurrentCellLook()
{
    const TXlsxCellAttr* cell = ModelCell(grid_.col, grid_.row);
    if (cell == nullptr) return;
    for (int i = 0; i < 3; ++i) state_.speedRaised[static_cast<std::size_t>(i)] = cell->txtAlign == i + 1;
    const char16_t sep = platform_.decimalSeparator;
    state_.edit11 = FormatFixed3(cell->drawW, sep);
    state_.edit12 = FormatFixed3(cell->drawH, sep);
    state_.edit13 = FormatFixed3(cell->drawTH, sep);
    Refresh(kPartSpeedButtons | kPartSizeBoxes);
}

void TForm1::FollowCurrentText()
{
    const std::u16string& text = grid_.Text(grid_.col, grid_.row);
    if (state_.edit1 == text) return;
    state_.edit1 = text;
    state_.edit1Red = text.find(u'\n') != std::u16string::npos;
    Refresh(kPartEdit1);
}

void TForm1::StringGrid1SelectCell(std::int32_t c, std::int32_t r, bool extend)
{
    Guarded([&] {
        if (!grid_.IsDataCell(c, r) || importing_) return;
        if (!extend) {
            // A cell of a merged area is the area: its anchor becomes current.
            if (const std::optional<GridSelection> area = MergedAreaAt(c, r)) c = area->left, r = area->top;
            grid_.anchorCol = c;
            grid_.anchorRow = r;
        }
        grid_.col = c;
        grid_.row = r;
        grid_.selection = CoverAreas(Span(grid_.anchorCol, grid_.anchorRow, c, r));
        grid_.scrollToCurrent = true;
        Refresh(kPartGridSelection);
    });
    StringGrid1Click();
}

void TForm1::StringGrid1SelectRange(std::int32_t c, std::int32_t r, GridSelection selection)
{
    if (!grid_.IsDataCell(c, r) || importing_) return;
    const bool moved = c != grid_.col || r != grid_.row;
    const std::int32_t lastCol = grid_.colCount - 1, lastRow = grid_.rowCount - 1;
    const GridSelection given{std::clamp(selection.left, 1, lastCol), std::clamp(selection.top, 1, lastRow),
                              std::clamp(selection.right, 1, lastCol), std::clamp(selection.bottom, 1, lastRow)};
    grid_.selection = CoverAreas(given);
    grid_.col = c;
    grid_.row = r;
    grid_.scrollToCurrent = true;
    // A selection that cut a merged area is shown grown to the whole area.
    if (!Contains(given, grid_.selection)) Refresh(kPartGridSelection);
    if (moved) StringGrid1Click();
}

void TForm1::StringGrid1FixedCellClick(std::int32_t c, std::int32_t r)
{
    Guarded([&] {
        const std::int32_t lastCol = grid_.colCount - 1, lastRow = grid_.rowCount - 1;
        if (importing_ || lastCol < 1 || lastRow < 1 || c < 0 || r < 0 || c > lastCol || r > lastRow) return;
        GridSelection s{1, 1, lastCol, lastRow};
        if (r == 0 && c >= 1) s.left = s.right = c;
        else if (c == 0 && r >= 1) s.top = s.bottom = r;
        else if (c != 0 || r != 0) return; // not a fixed cell
        grid_.selection = s;
        grid_.anchorCol = s.left;
        grid_.anchorRow = s.top;
        grid_.col = s.right;
        grid_.row = s.bottom;
        // A cell a merged area covers is the area's: its anchor is current, the one Edit1 shows.
        if (const std::optional<GridSelection> area = MergedAreaAt(grid_.col, grid_.row)) grid_.col = area->left, grid_.row = area->top;
        // The view stays where the user clicked; the current cell may lie out of it.
        grid_.scrollToCurrent = false;
        Refresh(kPartGridSelection);
    });
    // The new current cell is shown, so that Edit1 never holds another cell's text.
    StringGrid1Click();
}

GridPress TForm1::StringGrid1MouseDown(MouseButton button) const
{
    return button == MouseButton::Right ? GridPress::MenuOnly : GridPress::Select;
}

void TForm1::StringGrid1SetEditText(std::int32_t c, std::int32_t r, std::u16string text)
{
    Guarded([&] {
        if (!grid_.IsDataCell(c, r) || importing_) return;
        const std::u16string before = grid_.Text(c, r);
        WriteCell(c, r, std::move(text));
        history_.Typed(c, r, before, grid_.Text(c, r));
        ShowHistory();
        FollowCurrentText();
    });
}

void TForm1::StringGrid1ColumnResized(std::int32_t c, int pixels)
{
    if (c >= 0 && c < grid_.colCount && pixels >= 0) grid_.colWidths[static_cast<std::size_t>(c)] = pixels;
}

void TForm1::StringGrid1RowResized(std::int32_t r, int pixels)
{
    if (r >= 0 && r < grid_.rowCount && pixels >= 0) grid_.rowHeights[static_cast<std::size_t>(r)] = pixels;
}

void TForm1::Edit1Change(std::u16string text)
{
    Guarded([&] {
        if (importing_) return;
        state_.edit1 = std::move(text);
        // The colour follows the text as it is typed.
        const bool red = state_.edit1.find(u'\n') != std::u16string::npos;
        if (red != state_.edit1Red) {
            state_.edit1Red = red;
            Refresh(kPartEdit1);
        }
        const std::int32_t c = grid_.col, r = grid_.row;
        if (!grid_.IsDataCell(c, r)) return;
        const std::u16string before = grid_.Text(c, r);
        WriteCell(c, r, state_.edit1);
        history_.Typed(c, r, before, state_.edit1);
        ShowHistory();
    });
}

void TForm1::Edit1KeyUp(std::size_t position)
{
    Guarded([&] {
        if (position < state_.edit1.size()) state_.label13 = CodeText(state_.edit1[position]);
        else state_.label13.clear();
        Refresh(kPartLabel13);
    });
}

void TForm1::Edit11KeyPress(std::u16string text) { SizeEdit(std::move(text), 0); }
void TForm1::Edit12KeyPress(std::u16string text) { SizeEdit(std::move(text), 1); }
void TForm1::Edit13KeyPress(std::u16string text) { SizeEdit(std::move(text), 2); }

void TForm1::SizeEdit(std::u16string text, int which)
{
    Guarded([&] {
        std::u16string* boxes[] = {&state_.edit11, &state_.edit12, &state_.edit13};
        std::u16string& box = *boxes[which];
        box = std::move(text);
        if (table_.Empty() || importing_) return;
        const char16_t sep = platform_.decimalSeparator;
        const std::optional<double> typed = ParseTypedNumber(box, sep);
        if (!typed || !(*typed > 0)) {
            // Said, not silently ignored; the box keeps what was typed, to be corrected.
            front_.Message(kSizeNotPositive[static_cast<std::size_t>(which)], kMessageCaption, MessageIcon::Warning,
                           MessageOwner::Grid);
            return;
        }
        const double x = *typed;
        auto field = [which](TXlsxCellAttr& cell) -> double& {
            return which == 0 ? cell.drawW : which == 1 ? cell.drawH : cell.drawTH;
        };
        const GridSelection s = grid_.selection;
        if (front_.AskYesNo(kSizeQuestions[static_cast<std::size_t>(which)], kConfirmCaption, MessageOwner::Grid)) {
            Recorded(true, [&] {
                for (std::int32_t r = 1; r <= table_.GridRowCount; ++r) {
                    for (std::int32_t c = 1; c <= table_.GridColCount; ++c) {
                        const bool inColumns = c >= s.left && c <= s.right, inRows = r >= s.top && r <= s.bottom;
                        const bool take = which == 0 ? inColumns : which == 1 ? inRows : inColumns && inRows;
                        TXlsxCellAttr* cell = take ? WritableModelCell(c, r) : nullptr;
                        if (cell != nullptr) field(*cell) = x;
                    }
                }
                if (which != 2) SumMergeDrawSize(table_);
            });
            InvalidatePreview();
            ShowWHSize();
            box = FormatFixed3(x, sep);
        } else if (TXlsxCellAttr* cell = WritableModelCell(grid_.col, grid_.row)) {
            box = FormatFixed3(field(*cell), sep);
        }
        Refresh(kPartSizeBoxes);
    });
}

void TForm1::SpeedButton1Click(int align)
{
    Guarded([&] {
        if (!table_.Empty() && !importing_ && align >= kAlignLeft && align <= kAlignRight) {
            const GridSelection s = grid_.selection;
            Recorded(true, [&] {
                for (std::int32_t r = s.top; r <= s.bottom; ++r)
                    for (std::int32_t c = s.left; c <= s.right; ++c)
                        if (TXlsxCellAttr* cell = WritableModelCell(c, r)) cell->txtAlign = static_cast<std::uint8_t>(align);
            });
            InvalidatePreview();
            // The buttons show the current cell's alignment at once.
            ShowCurrentCellLook();
        }
        Refresh(kPartGridTexts);
    });
}

void TForm1::ShowWHSize()
{
    state_.label4 = ShowWHSizeText(table_, platform_.decimalSeparator);
    Refresh(kPartLabel4);
}

// ---- text commands and the history ---------------------------------------------------------------

std::u16string TForm1::Text(std::int32_t col, std::int32_t row) const { return grid_.Text(col, row); }

void TForm1::SetText(std::int32_t col, std::int32_t row, std::u16string text)
{
    if (grid_.IsDataCell(col, row)) WriteCell(col, row, std::move(text));
}

void TForm1::ShowHistory()
{
    const bool undo = !importing_ && history_.CanUndo(), redo = !importing_ && history_.CanRedo();
    if (undo == state_.canUndo && redo == state_.canRedo) return;
    state_.canUndo = undo;
    state_.canRedo = redo;
    Refresh(kPartHistory);
}

void TForm1::RunCommand(TextCommand command)
{
    Guarded([&] {
        if (importing_) return;
        Recorded(false, [&] { RunTextCommand(*this, grid_.selection, command); });
        FollowCurrentText();
    });
}

void TForm1::N4Click()
{
    Guarded([&] {
        if (importing_ || !front_.ShowReplaceDialog(replaceSearch_, replaceWith_)) return;
        std::int64_t count = 0;
        Recorded(false, [&] { count = ReplaceInSelection(*this, grid_.selection, replaceSearch_, replaceWith_); });
        FollowCurrentText();
        front_.Message(Decimal(count) + std::u16string(kReplacedCount), platform_.applicationTitle, MessageIcon::None,
                       MessageOwner::MainWindow);
    });
}

void TForm1::ApplyStep(const EditStep& step, bool undo)
{
    if (undo) {
        for (auto t = step.texts.rbegin(); t != step.texts.rend(); ++t)
            if (grid_.IsDataCell(t->c, t->r)) WriteCell(t->c, t->r, t->before);
    } else {
        for (const EditStep::Text& t : step.texts)
            if (grid_.IsDataCell(t.c, t.r)) WriteCell(t.c, t.r, t.after);
    }
    for (const EditStep::Draw& d : step.draws)
        if (d.index < table_.CellGrid.size()) (undo ? d.before : d.after).ApplyTo(table_.CellGrid[d.index]);
    if (const std::optional<TSettings>& s = undo ? step.settingsBefore : step.settingsAfter) {
        settings_ = *s;
        // The boxes show the settings in force again.
        const char16_t sep = platform_.decimalSeparator;
        const double values[] = {settings_.colXsc, settings_.rowYsc, settings_.cadXsc,
                                 settings_.cadYsc, settings_.cadTsc, settings_.cadTof};
        for (std::size_t i = 0; i < 6; ++i) state_.settingsEdits[i] = FormatGeneral(values[i], sep);
        state_.settingsEdits[6] = Decimal(settings_.cellLineColor);
        Refresh(kPartSettingsEdits);
    }
    if (!step.draws.empty() || step.settingsBefore) {
        InvalidatePreview();
        ShowWHSize();
        showWhSizeGrid2();
        Refresh(kPartGridTexts);
    }
    FollowCurrentText();
    ShowCurrentCellLook();
    ShowHistory();
}

void TForm1::EditUndo()
{
    Guarded([&] {
        if (importing_) return;
        if (const EditStep* step = history_.Undo()) ApplyStep(*step, true);
        ShowHistory();
    });
}

void TForm1::EditRedo()
{
    Guarded([&] {
        if (importing_) return;
        if (const EditStep* step = history_.Redo()) ApplyStep(*step, false);
        ShowHistory();
    });
}

std::u16string TForm1::SelectionText() const
{
    const GridSelection& s = grid_.selection;
    std::vector<std::vector<std::u16string>> rows;
    for (std::int32_t r = s.top; r <= s.bottom; ++r) {
        auto& row = rows.emplace_back();
        for (std::int32_t c = s.left; c <= s.right; ++c) {
            // A cell a merged area covers is copied empty, as it is shown.
            const std::optional<GridSelection> area = MergedAreaAt(c, r);
            row.push_back(area && (area->left != c || area->top != r) ? std::u16string() : grid_.Text(c, r));
        }
    }
    return FormatTabText(rows);
}

void TForm1::EditCopy()
{
    Guarded([&] { front_.SetClipboardText(SelectionText()); });
}

void TForm1::PasteText(std::u16string_view text)
{
    if (importing_) return;
    const auto rows = ParseTabText(text);
    if (rows.empty()) return;
    const std::int32_t c0 = grid_.col, r0 = grid_.row;
    std::int32_t lastC = c0, lastR = r0;
    Recorded(false, [&] {
        for (std::size_t i = 0; i < rows.size(); ++i) {
            const std::int64_t r = std::int64_t{r0} + static_cast<std::int64_t>(i);
            if (r >= grid_.rowCount) break; // clipped to the grid
            for (std::size_t j = 0; j < rows[i].size(); ++j) {
                const std::int64_t c = std::int64_t{c0} + static_cast<std::int64_t>(j);
                if (c >= grid_.colCount) break;
                WriteCell(static_cast<std::int32_t>(c), static_cast<std::int32_t>(r), rows[i][j]);
                lastC = std::max(lastC, static_cast<std::int32_t>(c));
                lastR = std::max(lastR, static_cast<std::int32_t>(r));
            }
        }
    });
    // The pasted cells are selected, the current cell stays where the paste began.
    grid_.anchorCol = c0;
    grid_.anchorRow = r0;
    grid_.selection = Span(c0, r0, lastC, lastR);
    Refresh(kPartGridSelection);
    FollowCurrentText();
}

void TForm1::EditPaste()
{
    Guarded([&] {
        if (importing_) return;
        PasteText(front_.ClipboardText());
    });
}

void TForm1::EditDelete()
{
    Guarded([&] {
        if (importing_) return;
        const GridSelection s = grid_.selection;
        Recorded(false, [&] {
            for (std::int32_t r = s.top; r <= s.bottom; ++r)
                for (std::int32_t c = s.left; c <= s.right; ++c)
                    if (grid_.IsDataCell(c, r)) WriteCell(c, r, {});
        });
        FollowCurrentText();
    });
}

// ---- the settings page ----------------------------------------------------------------------------

void TForm1::PageControl1Change(int index)
{
    state_.activePage = index;
    if (index == kPageSettings) showWhSizeGrid2();
    // The layout runs at the page's first look (Preview()), so a front end can show that it is busy.
    if (index == kPageDrawing) Refresh(kPartPreview);
}

void TForm1::SettingsEditChange(int index, std::u16string text)
{
    if (index >= 0 && index < 7) state_.settingsEdits[static_cast<std::size_t>(index)] = std::move(text);
}

void TForm1::Button1Click()
{
    Guarded([&] {
        if (importing_) {
            // The table must not be recomputed under a running import: applied once it has ended.
            applyPending_ = true;
            return;
        }
        if (table_.Empty()) return;
        // Every factor as the user typed it (full-width digits too), positive; the text inset may be 0. One
        // that is not refuses the whole apply: nothing changes, and the box keeps the text to be corrected.
        const char16_t sep = platform_.decimalSeparator;
        std::array<double, 6> values{};
        for (std::size_t i = 0; i < values.size(); ++i) {
            const std::optional<double> v = ParseTypedNumber(state_.settingsEdits[i], sep);
            const bool inset = i == 5;
            if (!v || !(inset ? *v >= 0 : *v > 0)) {
                front_.Message(std::u16string(kSettingNames[i]) + std::u16string(inset ? kNotZeroOrPositive : kNotPositive) +
                                   u"\"" + state_.settingsEdits[i] + u"\"" + std::u16string(kNothingApplied),
                               kMessageCaption, MessageIcon::Warning, MessageOwner::MainWindow);
                return;
            }
            values[i] = *v;
        }
        if (!front_.AskYesNo(kApplyQuestion, kConfirmCaption, MessageOwner::MainWindow)) return;
        Recorded(true, [&] {
            settings_.colXsc = values[0];
            settings_.rowYsc = values[1];
            settings_.cadXsc = values[2];
            settings_.cadYsc = values[3];
            settings_.cadTsc = values[4];
            settings_.cadTof = values[5];
            settings_.cellLineColor = ParseSettingsInteger(state_.settingsEdits[6]).value_or(TSettingsFallbacks::cellLineColor);
            CalcDrawSize(table_, settings_.cadXsc, settings_.cadYsc, settings_.cadTsc);
        });
        InvalidatePreview();
        showWhSizeGrid2();
        ShowWHSize();
        ShowCurrentCellLook();
        Refresh(kPartGridTexts);
    });
}

void TForm1::showWhSizeGrid2()
{
    Guarded([&] {
        if (importing_) {
            // A summary of a half-read table would stay on the page: shown once the import has ended.
            summaryPending_ = true;
            return;
        }
        if (table_.Empty()) return;
        const auto texts = SizeSummary(table_, platform_.decimalSeparator);
        for (std::size_t r = 0; r < 5; ++r) state_.summary[r][1] = texts[r];
        Refresh(kPartSummary);
    });
}

// ---- the drawing page ------------------------------------------------------------------------------

bool TForm1::CodePageMark(std::int32_t c, std::int32_t r) const
{
    if (table_.Empty() || c < 1 || r < 1 || c > table_.GridColCount || r > table_.GridRowCount || !grid_.IsDataCell(c, r))
        return false;
    return codePageMarks_[grid_.Index(c, r)] != 0;
}

void TForm1::CheckCodePage(std::int32_t c, std::int32_t r)
{
    const std::size_t i = grid_.Index(c, r);
    codePageMarks_[i] = HasUnrepresentableDrawingChars(grid_.cells[i]) ? 1 : 0;
}

void TForm1::CheckCodePageAll()
{
    codePageMarks_.assign(grid_.cells.size(), 0);
    for (std::int32_t r = 1; r < grid_.rowCount; ++r)
        for (std::int32_t c = 1; c < grid_.colCount; ++c) CheckCodePage(c, r);
}

void TForm1::InvalidatePreview()
{
    previewStale_ = true;
    // Shown at once when the page is in front; never for each cell of a running import (shown at its end).
    if (state_.activePage == kPageDrawing && !importing_) Refresh(kPartPreview);
}

void TForm1::UpdatePreview()
{
    if (!previewStale_ || importing_) return;
    previewStale_ = false;
    preview_.drawing = DrawingPreview{};
    preview_.error.clear();
    preview_.codePageLines.clear();
    try {
        preview_.drawing = PreviewTable(table_, DrawingTexts(), LayoutOptions{state_.checkBox1, settings_.cadTof});
    } catch (const LayoutCellError& e) {
        preview_.error = LayoutErrorText(e);
    } catch (const std::exception& e) {
        preview_.error = WindowText(e);
    }
    if (!table_.Empty()) {
        // What the drawing file will hold in place of each character its code page cannot carry.
        std::size_t more = 0;
        for (std::int32_t r = 1; r <= table_.GridRowCount; ++r) {
            for (std::int32_t c = 1; c <= table_.GridColCount; ++c) {
                if (!CodePageMark(c, r)) continue;
                if (preview_.codePageLines.size() == kCodePageLinesShown) {
                    ++more;
                    continue;
                }
                std::u16string characters, substitutes;
                for (const UnrepresentableChar& u : UnrepresentableDrawingChars(grid_.Text(c, r))) {
                    characters += u.character;
                    substitutes += u.substitute;
                }
                preview_.codePageLines.push_back(std::u16string(kCodePageLine) + GridCellName(c, r) + u" \"" + characters +
                                                 u"\" → \"" + substitutes + u"\"");
            }
        }
        if (more > 0)
            preview_.codePageLines.push_back(std::u16string(kCodePageMoreBefore) + Decimal(static_cast<std::int64_t>(more)) +
                                             std::u16string(kCodePageMoreAfter));
    }
    preview_.smallestText = 0;
    for (const PreviewEntity& e : preview_.drawing.entities)
        if (e.kind == PreviewKind::Text && e.height > 0 && (preview_.smallestText == 0 || e.height < preview_.smallestText))
            preview_.smallestText = e.height;
    ++preview_.generation;
    if (preview_.view.fitted) preview_.view.Fit(preview_.drawing);
}

const TPreviewState& TForm1::Preview()
{
    UpdatePreview();
    return preview_;
}

void TForm1::PreviewResize(double width, double height)
{
    preview_.view.width = std::max(width, 0.0);
    preview_.view.height = std::max(height, 0.0);
    if (preview_.view.fitted) preview_.view.Fit(preview_.drawing);
    Refresh(kPartPreview);
}

void TForm1::PreviewWheel(double x, double y, int angleDelta)
{
    if (angleDelta == 0) return;
    PreviewViewport& v = preview_.view;
    // From a tenth of the whole drawing's size up to its smallest text as high as the area (a drawing
    // without texts: a hundred times the whole).
    const double fit = v.FitScale(preview_.drawing);
    const double side = std::max(1.0, std::min(v.width, v.height));
    const double most = std::max(fit, preview_.smallestText > 0 ? side / preview_.smallestText : fit * 100);
    const double next = std::clamp(v.scale * std::pow(1.2, angleDelta / 120.0), fit / 10, most);
    if (next == v.scale) return;
    v.ZoomAt(preview_.drawing, x, y, next / v.scale);
    Refresh(kPartPreview);
}

void TForm1::PreviewDrag(double dx, double dy)
{
    preview_.view.Pan(dx, dy);
    Refresh(kPartPreview);
}

void TForm1::PreviewFit()
{
    preview_.view.Fit(preview_.drawing);
    Refresh(kPartPreview);
}

} // namespace gridvane
