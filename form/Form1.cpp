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
#include "layout/TableLayout.h"
#include "model/CellAddress.h"
#include "settings/NumberText.h"
#include "settings/SizeSummary.h"
#include "textconv/DrawingTextCheck.h"

namespace gridvane {

namespace {

constexpr int kDefaultColumnWidth = 64;
constexpr int kDefaultRowHeight = 20;

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
        {1, kN1, &TForm1::N1Click},
        {12, kN12, &TForm1::N12Click},
        {5, kN5, &TForm1::N5Click},
        {3, {}, nullptr},
        {2, kN2, &TForm1::N2Click},
        {6, kN6, &TForm1::N6Click},
        {7, kN7, &TForm1::N7Click},
        {8, {}, nullptr},
        {9, kN9, &TForm1::N9Click},
        {10, {}, nullptr},
        {4, kN4, &TForm1::N4Click},
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
    constexpr unsigned kGridParts = kPartGrid | kPartGridTexts | kPartGridSelection | kPartGridScrollHome;
    if (gridRedrawOff_ && (parts & kGridParts)) {
        heldParts_ |= parts & kGridParts;
        parts &= ~kGridParts;
    }
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
    if (importing_) {
        // The table must not be emptied under a running import: the window closes once it has ended.
        closePending_ = true;
        return false;
    }
    // A spreadsheet whose screen updating the last import could not switch on again gets another try.
    if (screenUpdatingLeftOff_ && platform_.attachRunning) screenUpdatingLeftOff_ = !RestoreScreenUpdating(platform_.attachRunning);
    // The settings first: when they cannot be written the window stays open and the table is kept.
    settings_.cellLineDraw = state_.checkBox1;
    try {
        SaveSettings(platform_.iniPath, settings_, platform_.decimalSeparator);
    } catch (const std::exception& e) {
        ShowError(WindowText(e));
        return false;
    }
    table_ = CellTable{};
    InvalidatePreview();
    return true;
}

// ---- import ---------------------------------------------------------------------------------------

void TForm1::Button3Click()
{
    Guarded([&] {
        if (importing_) return;
        if (platform_.attachRunning || !platform_.openWorkbook) {
            RunImport(platform_.attachRunning);
            return;
        }
        // A workbook file stands in for the running spreadsheet.
        const std::optional<std::filesystem::path> path = front_.ChooseWorkbook(lastWorkbookFolder_);
        if (path) ImportWorkbookFile(*path);
    });
}

void TForm1::ImportWorkbookFile(const std::filesystem::path& path)
{
    Guarded([&] {
        if (importing_ || !platform_.openWorkbook) return;
        lastWorkbookFolder_ = path.parent_path();
        RunImport(platform_.openWorkbook(path));
    });
}

void TForm1::RunImport(const XlAttach& attach)
{
    importing_ = true;
    tableShown_ = false;
    currentMoved_ = false;
    eventsRan_ = false;
    const ImportScales scales{settings_.colXsc, settings_.rowYsc, settings_.cadXsc, settings_.cadYsc, settings_.cadTsc};
    ImportResult result;
    try {
        result = ImportSelection(attach, *this, table_, scales, platform_.decimalSeparator);
    } catch (...) {
        importing_ = false;
        if (gridRedrawOff_) SetGridRedraw(true);
        InvalidatePreview();
        throw;
    }
    importing_ = false;
    screenUpdatingLeftOff_ = result.screenUpdatingLeftOff;
    if (!tableShown_) ShowImportedTable(result.ok);
    if (closePending_) {
        closePending_ = false;
        applyPending_ = summaryPending_ = false;
        front_.CloseWindow();
        return;
    }
    if (applyPending_) {
        applyPending_ = false;
        Button1Click();
    }
    if (summaryPending_) {
        summaryPending_ = false;
        showWhSizeGrid2();
    }
}

void TForm1::SelectionRead()
{
    ShowImportedTable(true);
}

void TForm1::ShowImportedTable(bool ok)
{
    tableShown_ = true;
    // The merged areas are found after the last row has been shown: the grid's colours follow them now.
    Refresh(kPartGridTexts);
    // A new table is shown whole on the drawing page.
    preview_.view.fitted = true;
    InvalidatePreview();
    if (currentMoved_) {
        // The grid starts again at its first data cell; the edit boxes show that cell, never an old text
        // that the next keystroke would write into it.
        Refresh(kPartGridScrollHome | kPartGridSelection);
        if (ok) StringGrid1Click();
        else FollowCurrentText();
    }
}

void TForm1::SetButton3Enabled(bool on) { SetState(state_.button3Enabled, on, kPartButtons); }
void TForm1::SetButton4Enabled(bool on) { SetState(state_.button4Enabled, on, kPartButtons); }
void TForm1::SetCaption(std::u16string_view text) { SetState(state_.caption, text, kPartCaption); }
void TForm1::SetEdit2(std::u16string_view text) { SetState(state_.edit2, text, kPartAddresses); }
void TForm1::SetEdit3(std::u16string_view text) { SetState(state_.edit3, text, kPartAddresses); }

void TForm1::SetGridRedraw(bool on)
{
    if (!on) {
        gridRedrawOff_ = true;
        return;
    }
    gridRedrawOff_ = false;
    const unsigned held = heldParts_;
    heldParts_ = 0;
    // Shape, sizes and texts may all have changed: one repaint of the whole grid.
    Refresh(kPartGrid | held);
}

void TForm1::SetFixedColumnWidth(int pixels)
{
    grid_.colWidths[0] = pixels;
    Refresh(kPartGrid);
}

void TForm1::ResizeGrid(std::int32_t cols, std::int32_t rows)
{
    cols = std::max(cols, 1);
    rows = std::max(rows, 1);
    if (cols != grid_.colCount || rows != grid_.rowCount) {
        // Texts inside both the old and the new size keep their place.
        std::vector<std::u16string> next(static_cast<std::size_t>(cols) * static_cast<std::size_t>(rows));
        const std::int32_t keepRows = std::min(rows, grid_.rowCount), keepCols = std::min(cols, grid_.colCount);
        for (std::int32_t r = 0; r < keepRows; ++r) {
            const auto from = grid_.cells.begin() + static_cast<std::ptrdiff_t>(grid_.Index(0, r));
            std::move(from, from + keepCols, next.begin() + static_cast<std::ptrdiff_t>(r) * cols);
        }
        grid_.cells = std::move(next);
        grid_.colCount = cols;
        grid_.rowCount = rows;
        grid_.colWidths.resize(static_cast<std::size_t>(cols), kDefaultColumnWidth);
        grid_.rowHeights.resize(static_cast<std::size_t>(rows), kDefaultRowHeight);
        CheckCodePageAll();
        InvalidatePreview();
    }
    // The current cell and the selection stay inside the data cells.
    const std::int32_t lastCol = std::max(cols - 1, 1), lastRow = std::max(rows - 1, 1);
    auto clampC = [&](std::int32_t v) { return std::clamp(v, 1, lastCol); };
    auto clampR = [&](std::int32_t v) { return std::clamp(v, 1, lastRow); };
    grid_.col = clampC(grid_.col);
    grid_.row = clampR(grid_.row);
    grid_.anchorCol = clampC(grid_.anchorCol);
    grid_.anchorRow = clampR(grid_.anchorRow);
    grid_.selection = {clampC(grid_.selection.left), clampR(grid_.selection.top), clampC(grid_.selection.right),
                       clampR(grid_.selection.bottom)};
    Refresh(kPartGrid);
}

void TForm1::SetGridSize(std::int32_t columns, std::int32_t rows) { ResizeGrid(columns, rows); }

void TForm1::SetCurrentCell(std::int32_t c, std::int32_t r)
{
    if (!grid_.IsDataCell(c, r)) return;
    grid_.col = grid_.anchorCol = c;
    grid_.row = grid_.anchorRow = r;
    grid_.selection = {c, r, c, r};
    currentMoved_ = true;
    Refresh(kPartGridSelection);
}

void TForm1::SetColumnWidth(std::int32_t c, int pixels)
{
    if (c < 0 || c >= grid_.colCount) return;
    grid_.colWidths[static_cast<std::size_t>(c)] = pixels;
    Refresh(kPartGrid);
}

void TForm1::SetRowHeight(std::int32_t r, int pixels)
{
    if (r < 0 || r >= grid_.rowCount) return;
    grid_.rowHeights[static_cast<std::size_t>(r)] = pixels;
    Refresh(kPartGrid);
}

void TForm1::SetCellText(std::int32_t c, std::int32_t r, std::u16string_view text)
{
    if (c < 0 || r < 0 || c >= grid_.colCount || r >= grid_.rowCount) return;
    WriteCell(c, r, std::u16string(text));
}

void TForm1::WriteCell(std::int32_t c, std::int32_t r, std::u16string text)
{
    grid_.cells[grid_.Index(c, r)] = std::move(text);
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
    front_.Message(text, kMessageCaption, MessageIcon::None, MessageOwner::MainWindow);
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
    Guarded([&] {
        if (importing_ || table_.Empty() || table_.GridColCount <= 0 || table_.GridRowCount <= 0) return;
        const DxfLineList list = LayoutTable(table_, DrawingTexts(), LayoutOptions{state_.checkBox1, settings_.cadTof});
        if (list.Count() == 0) return;
        SaveDxfLineList(list, platform_.dxfPath);
        std::error_code ec;
        if (platform_.insertIntoCad && std::filesystem::exists(platform_.dxfPath, ec)) platform_.insertIntoCad(platform_.dxfPath);
    });
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
        const std::u16string& text = grid_.Text(grid_.col, grid_.row);
        state_.edit1 = text;
        state_.edit1Red = text.find(u'\n') != std::u16string::npos;
        state_.label13.clear();
        unsigned parts = kPartEdit1 | kPartLabel13;
        if (const TXlsxCellAttr* cell = ModelCell(grid_.col, grid_.row)) {
            for (int i = 0; i < 3; ++i) state_.speedRaised[static_cast<std::size_t>(i)] = cell->txtAlign == i + 1;
            const char16_t sep = platform_.decimalSeparator;
            state_.edit11 = FormatFixed3(cell->drawW, sep);
            state_.edit12 = FormatFixed3(cell->drawH, sep);
            state_.edit13 = FormatFixed3(cell->drawTH, sep);
            parts |= kPartSpeedButtons | kPartSizeBoxes;
        }
        Refresh(parts);
    });
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
        if (!grid_.IsDataCell(c, r)) return;
        if (!extend) {
            grid_.anchorCol = c;
            grid_.anchorRow = r;
        }
        grid_.col = c;
        grid_.row = r;
        grid_.selection = Span(grid_.anchorCol, grid_.anchorRow, c, r);
        Refresh(kPartGridSelection);
    });
    StringGrid1Click();
}

void TForm1::StringGrid1SelectRange(std::int32_t c, std::int32_t r, GridSelection selection)
{
    if (!grid_.IsDataCell(c, r)) return;
    const bool moved = c != grid_.col || r != grid_.row;
    const std::int32_t lastCol = grid_.colCount - 1, lastRow = grid_.rowCount - 1;
    grid_.selection = {std::clamp(selection.left, 1, lastCol), std::clamp(selection.top, 1, lastRow),
                       std::clamp(selection.right, 1, lastCol), std::clamp(selection.bottom, 1, lastRow)};
    grid_.col = c;
    grid_.row = r;
    if (moved) StringGrid1Click();
}

void TForm1::StringGrid1FixedCellClick(std::int32_t c, std::int32_t r)
{
    Guarded([&] {
        const std::int32_t lastCol = grid_.colCount - 1, lastRow = grid_.rowCount - 1;
        if (lastCol < 1 || lastRow < 1 || c < 0 || r < 0 || c > lastCol || r > lastRow) return;
        GridSelection s{1, 1, lastCol, lastRow};
        if (r == 0 && c >= 1) s.left = s.right = c;
        else if (c == 0 && r >= 1) s.top = s.bottom = r;
        else if (c != 0 || r != 0) return; // not a fixed cell
        grid_.selection = s;
        grid_.anchorCol = s.left;
        grid_.anchorRow = s.top;
        grid_.col = s.right;
        grid_.row = s.bottom;
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
        if (!grid_.IsDataCell(c, r)) return;
        SetText(c, r, std::move(text));
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
        state_.edit1 = std::move(text);
        if (grid_.IsDataCell(grid_.col, grid_.row)) WriteCell(grid_.col, grid_.row, state_.edit1);
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
        const char16_t sep = platform_.decimalSeparator;
        const double x = ParseNumber(box, sep).value_or(0);
        if (!(x > 0) || table_.Empty() || importing_) return;
        auto field = [which](TXlsxCellAttr& cell) -> double& {
            return which == 0 ? cell.drawW : which == 1 ? cell.drawH : cell.drawTH;
        };
        const GridSelection s = grid_.selection;
        if (front_.AskYesNo(kSizeQuestions[which], kConfirmCaption, MessageOwner::Grid)) {
            for (std::int32_t r = 1; r <= table_.GridRowCount; ++r) {
                for (std::int32_t c = 1; c <= table_.GridColCount; ++c) {
                    const bool inColumns = c >= s.left && c <= s.right, inRows = r >= s.top && r <= s.bottom;
                    const bool take = which == 0 ? inColumns : which == 1 ? inRows : inColumns && inRows;
                    TXlsxCellAttr* cell = take ? WritableModelCell(c, r) : nullptr;
                    if (cell != nullptr) field(*cell) = x;
                }
            }
            if (which != 2) SumMergeDrawSize(table_);
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
            for (std::int32_t r = s.top; r <= s.bottom; ++r)
                for (std::int32_t c = s.left; c <= s.right; ++c)
                    if (TXlsxCellAttr* cell = WritableModelCell(c, r)) cell->txtAlign = static_cast<std::uint8_t>(align);
            InvalidatePreview();
        }
        Refresh(kPartGridTexts);
    });
}

void TForm1::ShowWHSize()
{
    state_.label4 = ShowWHSizeText(table_, platform_.decimalSeparator);
    Refresh(kPartLabel4);
}

// ---- text commands --------------------------------------------------------------------------------

std::u16string TForm1::Text(std::int32_t col, std::int32_t row) const { return grid_.Text(col, row); }

void TForm1::SetText(std::int32_t col, std::int32_t row, std::u16string text)
{
    if (grid_.IsDataCell(col, row)) WriteCell(col, row, std::move(text));
}

void TForm1::RunCommand(TextCommand command)
{
    Guarded([&] {
        RunTextCommand(*this, grid_.selection, command);
        FollowCurrentText();
    });
}

void TForm1::N4Click()
{
    Guarded([&] {
        if (!front_.ShowReplaceDialog(replaceSearch_, replaceWith_)) return;
        const std::int64_t count = ReplaceInSelection(*this, grid_.selection, replaceSearch_, replaceWith_);
        FollowCurrentText();
        front_.Message(Decimal(count) + std::u16string(kReplacedCount), platform_.applicationTitle, MessageIcon::None,
                       MessageOwner::MainWindow);
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
        if (!front_.AskYesNo(kApplyQuestion, kConfirmCaption, MessageOwner::MainWindow)) return;
        const char16_t sep = platform_.decimalSeparator;
        auto number = [&](std::size_t i, double fallback) { return ParseNumber(state_.settingsEdits[i], sep).value_or(fallback); };
        settings_.colXsc = number(0, TSettingsFallbacks::colXsc);
        settings_.rowYsc = number(1, TSettingsFallbacks::rowYsc);
        settings_.cadXsc = number(2, TSettingsFallbacks::cadXsc);
        settings_.cadYsc = number(3, TSettingsFallbacks::cadYsc);
        settings_.cadTsc = number(4, TSettingsFallbacks::cadTsc);
        settings_.cadTof = number(5, TSettingsFallbacks::cadTof);
        settings_.cellLineColor = ParseSettingsInteger(state_.settingsEdits[6]).value_or(TSettingsFallbacks::cellLineColor);
        CalcDrawSize(table_, settings_.cadXsc, settings_.cadYsc, settings_.cadTsc);
        InvalidatePreview();
        showWhSizeGrid2();
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
    preview_.view.ZoomAt(preview_.drawing, x, y, std::pow(1.2, angleDelta / 120.0));
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
