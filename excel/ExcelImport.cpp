#include "excel/ExcelImport.h"

#include <cmath>
#include <limits>

#include "base/Error.h"
#include "base/Utf.h"
#include "model/CellAddress.h"
#include "settings/NumberText.h"
#include "settings/SizeSummary.h"
#include "textconv/TextCommands.h"

namespace gridvane {

namespace {

constexpr std::u16string_view kImported = u" 取得しました.";
constexpr std::u16string_view kImportFailed = u"取得に失敗しました.";
constexpr int kFixedColumnWidth = 70;

std::u16string Decimal(std::int64_t n)
{
    const std::string s = std::to_string(n);
    return std::u16string(s.begin(), s.end());
}

// Round to the nearest integer, halves to the even neighbour; a value that no 64-bit integer holds fails.
std::int64_t RoundEven(double v, std::string_view what)
{
    const double r = std::nearbyint(v); // default rounding mode: to nearest, ties to even
    if (!std::isfinite(r) || std::fabs(r) > 9.0e15) {
        throw Error(std::string(what) + ": value out of range");
    }
    return static_cast<std::int64_t>(r);
}

std::uint16_t Low16(std::int64_t v) { return static_cast<std::uint16_t>(static_cast<std::uint64_t>(v) & 0xFFFFu); }

std::int32_t ToInt32(const XlValue& value, std::string_view what)
{
    const std::int64_t v = RoundEven(XlNumber(value, what), what);
    if (v < std::numeric_limits<std::int32_t>::min() || v > std::numeric_limits<std::int32_t>::max()) {
        throw Error(std::string(what) + ": value out of range");
    }
    return static_cast<std::int32_t>(v);
}

// Grid pixels: the whole part of size × scale, kept within what a view can take.
int Pixels(std::int64_t size, double scale)
{
    const double px = std::trunc(static_cast<double>(size) * scale);
    if (!(px >= 0)) return 0; // negative or NaN
    if (px > 1000000) return 1000000;
    return static_cast<int>(px);
}

std::uint8_t AlignmentCode(std::int32_t constant)
{
    switch (constant) {
    case kXlHAlignLeft: return kAlignLeft;
    case kXlHAlignCenter: return kAlignCenter;
    case kXlHAlignRight: return kAlignRight;
    default: return kAlignGeneral;
    }
}

struct BorderBit {
    int index;
    std::uint8_t bit;
};
constexpr BorderBit kBorderBits[] = {
    {kXlEdgeTop, kEdgeTop},       {kXlEdgeBottom, kEdgeBottom},     {kXlEdgeLeft, kEdgeLeft},
    {kXlEdgeRight, kEdgeRight},   {kXlDiagonalDown, kDiagonalDown}, {kXlDiagonalUp, kDiagonalUp},
};

struct Selection {
    std::int32_t r1, c1, rows, cols;
};

class Importer {
public:
    Importer(ImportView& view, CellTable& table, const ImportScales& scales, char16_t sep)
        : view_(view), table_(table), scales_(scales), sep_(sep)
    {
    }

    ImportResult Run(const XlAttach& attach)
    {
        view_.SetButton3Enabled(false);
        view_.SetButton4Enabled(false);
        ImportResult result;
        std::unique_ptr<XlApplication> app;
        try {
            app = attach ? attach() : nullptr;
            if (!app) throw Error(ToUtf8(kExcelClassInvalid));
        } catch (const std::exception& e) {
            result.detail = FromUtf8(e.what());
            view_.ShowMessage(WindowText(e));
            Fail();
            return result;
        }
        try {
            ReadAll(*app);
            result.ok = true;
        } catch (const std::exception& e) {
            result.detail = FromUtf8(e.what());
            // A failure in the user's own words (the spreadsheet busy) is shown before the failure message.
            if (dynamic_cast<const XlUserMessage*>(&e) != nullptr) view_.ShowMessage(result.detail);
        }
        if (redrawOff_) view_.SetGridRedraw(true);
        if (screenUpdatingOff_) {
            try {
                app->SetScreenUpdating(true);
            } catch (const std::exception&) {
                // The spreadsheet must not stay frozen unnoticed: the user hears of it, and the next import
                // and the close try again.
                result.screenUpdatingLeftOff = true;
                view_.ShowMessage(kExcelScreenUpdatingLeftOff);
            }
        }
        if (result.ok) {
            view_.ShowMessage(kImported);
            view_.SetButton4Enabled(true);
            view_.SetButton3Enabled(true);
        } else {
            Fail();
        }
        return result;
    }

private:
    void Fail()
    {
        view_.SetButton4Enabled(false);
        view_.ShowMessage(kImportFailed);
        view_.SetButton3Enabled(true);
    }

    void ReadAll(XlApplication& app)
    {
        app.SetScreenUpdating(false);
        screenUpdatingOff_ = true;

        sheet_ = app.ActiveSheet();
        const std::u16string bookName = app.ActiveWorkbookName();
        const std::u16string sheetName = sheet_->Name();
        view_.SetCaption(bookName + u" [" + sheetName + u"]");

        Selection sel{};
        {
            std::unique_ptr<XlRange> range = app.Selection();
            sel.r1 = ToInt32(range->Row(), "Selection.Row");
            sel.c1 = ToInt32(range->Column(), "Selection.Column");
            sel.rows = ToInt32(range->RowsCount(), "Selection.Rows.Count");
            sel.cols = ToInt32(range->ColumnsCount(), "Selection.Columns.Count");
        }
        const std::int64_t cells = static_cast<std::int64_t>(sel.rows) * sel.cols;
        if (cells > kMaxImportCells || sel.rows > kMaxImportCells || sel.cols > kMaxImportCells) {
            const std::u16string text =
                u"選択範囲が大きすぎます (" + Decimal(sel.rows) + u" 行 × " + Decimal(sel.cols) + u" 列).";
            view_.ShowMessage(text);
            throw Error(ToUtf8(text));
        }
        if (sel.rows <= 0 || sel.cols <= 0 || sel.r1 <= 0 || sel.c1 <= 0) {
            throw Error("the selection is empty");
        }
        const std::int64_t r2 = static_cast<std::int64_t>(sel.r1) + sel.rows - 1;
        const std::int64_t c2 = static_cast<std::int64_t>(sel.c1) + sel.cols - 1;
        if (r2 > std::numeric_limits<std::int32_t>::max() || c2 > std::numeric_limits<std::int32_t>::max()) {
            throw Error("the selection reaches past the last row or column");
        }
        view_.SetEdit2(ColNoToLetters(sel.c1) + Decimal(sel.r1));
        view_.SetEdit3(ColNoToLetters(static_cast<std::int32_t>(c2)) + Decimal(r2));

        view_.SetGridRedraw(false);
        redrawOff_ = true;
        view_.SetFixedColumnWidth(kFixedColumnWidth);
        view_.SetGridSize(sel.cols + 1, sel.rows + 1);
        view_.SetProgressMax(sel.rows);
        view_.SetProgress(0);
        view_.SetCurrentCell(1, 1);

        table_.CellGrid.resize(static_cast<std::size_t>(cells));
        table_.GridColCount = sel.cols;
        table_.GridRowCount = sel.rows;

        const std::u16string total = Decimal(sel.rows);
        for (std::int32_t r = 1; r <= sel.rows; ++r) {
            const std::int32_t x = sel.r1 + r - 1;
            view_.SetLabel4(Decimal(r) + u" / " + total);
            view_.StepProgress();
            view_.ProcessEvents();
            view_.SetCellText(0, r, Decimal(x));
            for (std::int32_t c = 1; c <= sel.cols; ++c) {
                const std::int32_t y = sel.c1 + c - 1;
                table_.CellGrid[static_cast<std::size_t>(r - 1) * sel.cols + (c - 1)] = ReadCell(x, y, c, r, sel);
            }
        }

        view_.SetGridRedraw(true);
        redrawOff_ = false;
        view_.SetProgress(0);
        CalcDrawSize(table_, scales_.cadXsc, scales_.cadYsc, scales_.cadTsc);
        view_.SetLabel4(ShowWHSizeText(table_, sep_));
        app.SetScreenUpdating(true);
        screenUpdatingOff_ = false;
    }

    TXlsxCellAttr ReadCell(std::int32_t x, std::int32_t y, std::int32_t c, std::int32_t r, const Selection& sel)
    {
        std::unique_ptr<XlRange> cell = sheet_->Range(ColNoToLetters(y) + Decimal(x));
        TXlsxCellAttr a;
        const std::int64_t colW = RoundEven(XlNumber(cell->ColumnWidth(), "ColumnWidth"), "ColumnWidth");
        a.colW = Low16(colW);
        if (x == sel.r1) {
            view_.SetColumnWidth(c, Pixels(colW, scales_.colXsc));
            view_.SetCellText(c, 0, ColNoToLetters(y));
        }
        const std::int64_t rowH = RoundEven(XlNumber(cell->RowHeight(), "RowHeight"), "RowHeight");
        a.rowH = Low16(rowH);
        if (y == sel.c1) view_.SetRowHeight(r, Pixels(rowH, scales_.rowYsc));
        a.txtAlign = AlignmentCode(ToInt32(cell->HorizontalAlignment(), "HorizontalAlignment"));
        a.txtSize = Low16(RoundEven(XlNumber(cell->FontSize(), "Font.Size"), "Font.Size"));
        a.str = cell->Text();
        view_.SetCellText(c, r, a.str);
        const std::u16string valueText = XlTextForm(cell->Value2(), sep_);
        if (a.txtAlign == kAlignGeneral && !valueText.empty() && IsNumericText(valueText)) a.txtAlign = kAlignRight;
        for (const BorderBit& b : kBorderBits) {
            if (ToInt32(cell->BorderLineStyle(b.index), "Borders.LineStyle") != kXlLineStyleNone) a.lineBits |= b.bit;
        }
        a.cellMerge = XlNumber(cell->MergeCells(), "MergeCells") != 0;
        std::unique_ptr<XlRange> area = cell->MergeArea();
        a.mergerowYscount = Low16(ToInt32(area->RowsCount(), "MergeArea.Rows.Count"));
        a.mergecolXscount = Low16(ToInt32(area->ColumnsCount(), "MergeArea.Columns.Count"));
        a.mergeLeft = Low16(RoundEven(XlNumber(area->Left(), "MergeArea.Left"), "MergeArea.Left"));
        a.mergeTop = Low16(RoundEven(XlNumber(area->Top(), "MergeArea.Top"), "MergeArea.Top"));
        return a;
    }

    ImportView& view_;
    CellTable& table_;
    const ImportScales& scales_;
    char16_t sep_;
    bool screenUpdatingOff_ = false;
    bool redrawOff_ = false;
    std::unique_ptr<XlWorksheet> sheet_;
};

} // namespace

double XlNumber(const XlValue& value, std::string_view what)
{
    switch (value.kind) {
    case XlValue::Kind::Empty: return 0;
    case XlValue::Kind::Number: return value.number;
    case XlValue::Kind::Boolean: return value.boolean ? -1 : 0;
    case XlValue::Kind::Text:
        if (auto v = ParseNumber(value.text, u'.')) return *v;
        throw Error(std::string(what) + ": \"" + ToUtf8(value.text) + "\" is not a number");
    case XlValue::Kind::Null: throw Error(std::string(what) + ": no single value (null)");
    case XlValue::Kind::Error: throw Error(std::string(what) + ": error value " + ToUtf8(value.text));
    }
    throw Error(std::string(what) + ": unknown value");
}

std::u16string XlTextForm(const XlValue& value, char16_t decimalSeparator)
{
    switch (value.kind) {
    case XlValue::Kind::Empty: return {};
    case XlValue::Kind::Text: return value.text;
    case XlValue::Kind::Boolean: return value.boolean ? u"True" : u"False";
    case XlValue::Kind::Number: return FormatGeneral(value.number, decimalSeparator);
    case XlValue::Kind::Null: throw Error("Value2: no single value (null)");
    case XlValue::Kind::Error: throw Error("Value2: error value " + ToUtf8(value.text));
    }
    throw Error("Value2: unknown value");
}

ImportResult ImportSelection(const XlAttach& attach, ImportView& view, CellTable& table, const ImportScales& scales,
                             char16_t decimalSeparator)
{
    Importer importer(view, table, scales, decimalSeparator);
    return importer.Run(attach);
}

bool RestoreScreenUpdating(const XlAttach& attach)
{
    try {
        std::unique_ptr<XlApplication> app = attach ? attach() : nullptr;
        if (!app) return false;
        app->SetScreenUpdating(true);
        return true;
    } catch (const std::exception&) {
        return false;
    }
}

} // namespace gridvane
