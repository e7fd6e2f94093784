#include "excel/ExcelImport.h"

#include <algorithm>
#include <cmath>
#include <limits>

#include "base/Decimal.h"
#include "base/Error.h"
#include "base/HugePages.h"
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

// A failure of the import in the user's terms: Japanese for the window, English (what()) for a console.
class ImportFailure : public Error {
public:
    ImportFailure(std::u16string japanese, const std::string& english) : Error(english, std::move(japanese)) {}
};

// The view asked the import to stop.
struct ImportCancelled {};

// Where a value is read: a cell (its address is made only for a message), or the selection.
struct Place {
    std::int32_t col = 0; // 0: the selection
    std::int64_t row = 0;
    std::u16string Ja() const { return col == 0 ? u"選択範囲" : CellName(col, row); }
    std::string En() const { return col == 0 ? "the selection" : ToUtf8(CellName(col, row)); }
};
constexpr Place kSelection{};

// What is read, in both languages; never the automation interface's property names.
struct Item {
    const char16_t* ja;
    const char* en;
};
constexpr Item kPosition{u"位置", "position"};
constexpr Item kSize{u"大きさ", "size"};
constexpr Item kColumnWidth{u"列幅", "column width"};
constexpr Item kRowHeight{u"行の高さ", "row height"};
constexpr Item kAlignment{u"横位置", "horizontal alignment"};
constexpr Item kFontSize{u"フォントサイズ", "font size"};
constexpr Item kText{u"表示文字列", "displayed text"};
constexpr Item kValue{u"値", "value"};
constexpr Item kBorders{u"罫線", "borders"};
constexpr Item kMerge{u"結合", "merge state"};
constexpr Item kMergeArea{u"結合範囲", "merged area"};
constexpr Item kCell{u"セル", "cell"};

[[noreturn]] void Fail(const Place& at, const std::u16string& ja, const std::string& en)
{
    throw ImportFailure(at.Ja() + u": " + ja, at.En() + ": " + en);
}

// A reason from the automation layer without the leading name of the property it called ("Value2: ").
std::string Reason(const std::exception& e)
{
    std::string what = e.what();
    const auto colon = what.find(": ");
    if (colon != std::string::npos && colon > 0 && colon < 40) {
        const bool name = std::all_of(what.begin(), what.begin() + static_cast<std::ptrdiff_t>(colon), [](char c) {
            return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '.' ||
                   c == '(' || c == ')';
        });
        if (name) what.erase(0, colon + 2);
    }
    return what;
}

// Calls read, turning a failure of the automation layer into one that names the place and the item.
template <class Read>
auto Ask(const Place& at, const Item& item, Read&& read) -> decltype(read())
{
    try {
        return read();
    } catch (const ImportFailure&) {
        throw;
    } catch (const XlUserMessage&) {
        throw; // the spreadsheet's state in the user's words (busy): told as it is, wherever it happened
    } catch (const XlCellUnreachable& e) {
        // The cell's own range was refused, whichever of its answers was being asked.
        const std::string reason = Reason(e);
        Fail(at, std::u16string(kCell.ja) + u"を読み取れません: " + FromUtf8(reason),
             std::string("cannot read the ") + kCell.en + ": " + reason);
    } catch (const std::exception& e) {
        const std::string reason = Reason(e);
        Fail(at, std::u16string(item.ja) + u"を読み取れません: " + FromUtf8(reason),
             std::string("cannot read the ") + item.en + ": " + reason);
    }
}

// A numeric property: empty counts as 0, a Boolean as 0 or -1, a text that is a number as that number.
[[gnu::noinline]] double OtherNumber(const XlValue& value, const Place& at, const Item& item)
{
    // The names are made only for a message: this runs a dozen times per cell.
    const auto ja = [&item] { return std::u16string(item.ja); };
    const auto en = [&item] { return std::string(item.en); };
    switch (value.kind) {
    case XlValue::Kind::Empty: return 0;
    case XlValue::Kind::Number: return value.number;
    case XlValue::Kind::Boolean: return value.boolean ? -1 : 0;
    case XlValue::Kind::Text:
        if (auto v = ParseNumber(value.text, u'.')) return *v;
        Fail(at, ja() + u"が数値ではありません (\"" + value.text + u"\")",
             "the " + en() + " is not a number (\"" + ToUtf8(value.text) + "\")");
    case XlValue::Kind::Null:
        if (&item == &kFontSize) Fail(at, u"文字ごとにフォントサイズが異なります", "the characters have different font sizes");
        Fail(at, ja() + u"が一つに決まりません (Null)", "the " + en() + " has no single value (null)");
    case XlValue::Kind::Error:
        Fail(at, ja() + u"がエラー値 " + value.text + u" です", "the " + en() + " is the error value " + ToUtf8(value.text));
    }
    Fail(at, ja() + u"を読み取れません", "cannot read the " + en());
}

// The same, a number taken at once (a dozen times per cell).
inline double Number(const XlValue& value, const Place& at, const Item& item)
{
    return value.kind == XlValue::Kind::Number ? value.number : OtherNumber(value, at, item);
}

// Round to the nearest integer, halves to the even neighbour; a value that no 64-bit integer holds fails.
// To the nearest integer, ties to even, in the default rounding mode: adding 2^52 leaves no fraction bits.
inline double NearestEven(double v)
{
    constexpr double kNoFraction = 4503599627370496.0; // 2^52
    if (!(std::fabs(v) < kNoFraction)) return v;       // whole already, or not a number
    const double shift = std::copysign(kNoFraction, v);
    return (v + shift) - shift;
}

[[gnu::noinline]] [[noreturn]] void RoundedOutOfRange(double v, const Place& at, const Item& item)
{
    const std::u16string shown = FormatGeneral(v, u'.');
    Fail(at, std::u16string(item.ja) + u"が範囲外です (" + shown + u")",
         std::string("the ") + item.en + " is out of range (" + ToUtf8(shown) + ")");
}

inline std::int64_t RoundEven(double v, const Place& at, const Item& item)
{
    const double r = NearestEven(v);
    if (!(r >= -9.0e15 && r <= 9.0e15)) RoundedOutOfRange(v, at, item); // also not a number, or infinite
    return static_cast<std::int64_t>(r);
}

std::uint16_t Low16(std::int64_t v) { return static_cast<std::uint16_t>(static_cast<std::uint64_t>(v) & 0xFFFFu); }

// A number a reader knew at once (its kind is settled): the number itself.
inline double Number(double value, const Place&, const Item&) { return value; }
inline double Number(std::int32_t value, const Place&, const Item&) { return value; }

[[gnu::noinline]] [[noreturn]] void OutOfInt32Range(std::int64_t v, const Place& at, const Item& item)
{
    const std::u16string shown = Decimal(v);
    Fail(at, std::u16string(item.ja) + u"が範囲外です (" + shown + u")",
         std::string("the ") + item.en + " is out of range (" + ToUtf8(shown) + ")");
}

// A property that must be a 32-bit integer: its number rounded, halves to the even neighbour (codes, line
// styles and counts: about ten per cell).
inline std::int32_t ToInt32(double value, const Place& at, const Item& item)
{
    const std::int64_t v = RoundEven(value, at, item);
    if (v < std::numeric_limits<std::int32_t>::min() || v > std::numeric_limits<std::int32_t>::max()) OutOfInt32Range(v, at, item);
    return static_cast<std::int32_t>(v);
}

// A whole number a reader knew at once is its own nearest.
inline std::int32_t ToInt32(std::int32_t value, const Place&, const Item&) { return value; }

inline std::int32_t ToInt32(const XlValue& value, const Place& at, const Item& item)
{
    return ToInt32(Number(value, at, item), at, item);
}

// The text form of the value: an error value or a null stops the import at the cell.
std::u16string ValueText(const XlValue& value, const Place& at, char16_t sep)
{
    if (value.kind == XlValue::Kind::Error) Fail(at, u"エラー値 " + value.text, "error value " + ToUtf8(value.text));
    if (value.kind == XlValue::Kind::Null) Fail(at, u"値が一つに決まりません (Null)", "no single value (null)");
    return XlTextForm(value, sep);
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

// A cell's answers where its reader knew the numeric ones at once: those taken from what it gave, the
// text and the value asked of the cell.
struct KnownNumbers {
    XlCellAnswers& cell;
    const XlCellNumbers& n;
    double ColumnWidth() const { return n.columnWidth; }
    double RowHeight() const { return n.rowHeight; }
    std::int32_t HorizontalAlignment() const { return n.horizontalAlignment; }
    double FontSize() const { return n.fontSize; }
    std::u16string Text() const { return cell.Text(); }
    XlValue Value2() const { return cell.Value2(); }
    std::int32_t BorderLineStyle(int index) const
    {
        switch (index) {
        case kXlEdgeTop: return n.borders[0];
        case kXlEdgeBottom: return n.borders[1];
        case kXlEdgeLeft: return n.borders[2];
        case kXlEdgeRight: return n.borders[3];
        case kXlDiagonalDown: return n.borders[4];
        default: return n.borders[5];
        }
    }
    std::int32_t MergeCells() const { return n.mergeCells ? -1 : 0; } // a Boolean's number
    std::int32_t MergeRowsCount() const { return n.mergeRows; }
    std::int32_t MergeColumnsCount() const { return n.mergeColumns; }
    double MergeLeft() const { return n.mergeLeft; }
    double MergeTop() const { return n.mergeTop; }
};

class Importer {
public:
    Importer(ImportView& view, const ImportScales& scales, char16_t sep, const XlReaderFactory& factory)
        : view_(view), scales_(scales), sep_(sep), factory_(factory)
    {
    }

    ImportResult Run(const XlAttach& attach, CellTable& table)
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
            result.reason = e.what();
            view_.ShowMessage(WindowText(e));
            Fail();
            return result;
        }
        CellTable fresh;
        try {
            ReadAll(*app, fresh);
            result.ok = true;
        } catch (const ImportCancelled&) {
            result.cancelled = true;
            result.detail = u"取得を中止しました";
            result.reason = "cancelled";
        } catch (const ImportFailure& e) {
            result.detail = e.Japanese();
            result.reason = e.what();
        } catch (const std::exception& e) {
            result.detail = FromUtf8(e.what());
            result.reason = e.what();
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
        // The readers hold the spreadsheet's objects: released before the application.
        reader_.reset();
        selection_.reset();
        sheet_.reset();
        if (result.ok) {
            table = std::move(fresh);
            view_.SelectionRead();
            view_.ShowMessage(kImported);
            view_.SetButton4Enabled(true);
            view_.SetButton3Enabled(true);
        } else {
            Fail(!result.cancelled);
        }
        return result;
    }

private:
    void Fail(bool tell = true)
    {
        view_.SetButton4Enabled(false);
        if (tell) view_.ShowMessage(kImportFailed);
        view_.SetButton3Enabled(true);
    }

    void ReadAll(XlApplication& app, CellTable& table)
    {
        app.SetScreenUpdating(false);
        screenUpdatingOff_ = true;

        sheet_ = app.ActiveSheet();
        const std::u16string bookName = app.ActiveWorkbookName();
        const std::u16string sheetName = sheet_->Name();
        view_.SetCaption(bookName + u" [" + sheetName + u"]");

        std::int32_t r1, c1, rows, cols;
        {
            const Place at = kSelection;
            selection_ = app.Selection();
            XlRange& range = *selection_;
            // A selection of several areas answers its position and size from its first area only.
            const std::u16string address = Ask(at, kPosition, [&] { return range.Address(); });
            if (address.find(u',') != std::u16string::npos) {
                view_.ShowMessage(kExcelSeveralAreas);
                throw ImportFailure(std::u16string(kExcelSeveralAreas),
                                    "the selection has several areas (" + ToUtf8(address) + "); select one");
            }
            r1 = ToInt32(Ask(at, kPosition, [&] { return range.Row(); }), at, kPosition);
            c1 = ToInt32(Ask(at, kPosition, [&] { return range.Column(); }), at, kPosition);
            rows = ToInt32(Ask(at, kSize, [&] { return range.RowsCount(); }), at, kSize);
            cols = ToInt32(Ask(at, kSize, [&] { return range.ColumnsCount(); }), at, kSize);
        }
        const std::int64_t cells = static_cast<std::int64_t>(rows) * cols;
        if (cells > kMaxImportCells || rows > kMaxImportCells || cols > kMaxImportCells) {
            const std::u16string text =
                u"選択範囲が大きすぎます (" + Decimal(rows) + u" 行 × " + Decimal(cols) + u" 列).";
            view_.ShowMessage(text);
            throw ImportFailure(text, "the selection is too large (" + std::to_string(rows) + " rows x " +
                                          std::to_string(cols) + " columns; at most " +
                                          std::to_string(kMaxImportCells) + " cells)");
        }
        if (rows <= 0 || cols <= 0 || r1 <= 0 || c1 <= 0) {
            throw ImportFailure(u"選択範囲が空です", "the selection is empty");
        }
        const std::int64_t r2 = static_cast<std::int64_t>(r1) + rows - 1;
        const std::int64_t c2 = static_cast<std::int64_t>(c1) + cols - 1;
        if (r2 > std::numeric_limits<std::int32_t>::max() || c2 > std::numeric_limits<std::int32_t>::max()) {
            throw ImportFailure(u"選択範囲が最後の行か列を越えています", "the selection reaches past the last row or column");
        }
        view_.SetEdit2(CellName(c1, r1));
        view_.SetEdit3(CellName(static_cast<std::int32_t>(c2), r2));

        view_.SetGridRedraw(false);
        redrawOff_ = true;
        view_.SetFixedColumnWidth(kFixedColumnWidth);
        view_.SetGridSize(cols + 1, rows + 1);
        view_.SetProgressMax(rows);
        view_.SetProgress(0);
        view_.SetCurrentCell(1, 1);

        // Fresh memory for the records, in large pages where the system has them: touched once, as each
        // record is added in reading order.
        ReserveFresh(table.CellGrid, static_cast<std::size_t>(cells));
        table.GridColCount = cols;
        table.GridRowCount = rows;

        reader_ = factory_(XlSelection{app, *sheet_, *selection_, r1, c1, rows, cols});
        const std::u16string total = Decimal(rows);
        for (std::int32_t r = 1; r <= rows; ++r) {
            const std::int32_t x = r1 + r - 1;
            view_.SetLabel4(Decimal(r) + u" / " + total);
            view_.StepProgress();
            view_.ProcessEvents();
            if (view_.StopRequested()) throw ImportCancelled{};
            view_.SetCellText(0, r, Decimal(x));
            reader_->BeginRow(r);
            for (std::int32_t c = 1; c <= cols; ++c) {
                const std::int32_t y = c1 + c - 1;
                ReadCell(*reader_, x, y, c, r, r1, c1, table.CellGrid);
            }
        }

        view_.SetGridRedraw(true);
        redrawOff_ = false;
        view_.SetProgress(0);
        CalcDrawSize(table, scales_.cadXsc, scales_.cadYsc, scales_.cadTsc);
        view_.SetLabel4(ShowWHSizeText(table, sep_));
        app.SetScreenUpdating(true);
        screenUpdatingOff_ = false;
    }

    void ReadCell(XlSelectionReader& reader, std::int32_t x, std::int32_t y, std::int32_t c, std::int32_t r,
                  std::int32_t r1, std::int32_t c1, std::vector<TXlsxCellAttr>& out)
    {
        const Place at{y, x};
        XlCellAnswers& cell = Ask(at, kCell, [&]() -> XlCellAnswers& { return reader.Cell(c); });
        XlCellNumbers numbers;
        if (Ask(at, kCell, [&] { return cell.Numbers(numbers); })) {
            KnownNumbers known{cell, numbers};
            ApplyRules(known, at, x, y, c, r, r1, c1, out);
        } else {
            ApplyRules(cell, at, x, y, c, r, r1, c1, out);
        }
    }

    // The rules of one cell, in the order its answers are taken; the record is written whole or not at all.
    // Every failure here names the cell by its address, as the user sees it on the sheet.
    template <class Answers>
    void ApplyRules(Answers& cell, const Place& at, std::int32_t x, std::int32_t y, std::int32_t c, std::int32_t r,
                    std::int32_t r1, std::int32_t c1, std::vector<TXlsxCellAttr>& out)
    {
        TXlsxCellAttr a;
        const std::int64_t colW = RoundEven(Number(Ask(at, kColumnWidth, [&] { return cell.ColumnWidth(); }), at, kColumnWidth), at, kColumnWidth);
        a.colW = Low16(colW);
        if (x == r1) {
            view_.SetColumnWidth(c, Pixels(colW, scales_.colXsc));
            view_.SetCellText(c, 0, ColNoToLetters(y));
        }
        const std::int64_t rowH = RoundEven(Number(Ask(at, kRowHeight, [&] { return cell.RowHeight(); }), at, kRowHeight), at, kRowHeight);
        a.rowH = Low16(rowH);
        if (y == c1) view_.SetRowHeight(r, Pixels(rowH, scales_.rowYsc));
        a.txtAlign = AlignmentCode(ToInt32(Ask(at, kAlignment, [&] { return cell.HorizontalAlignment(); }), at, kAlignment));
        a.txtSize = Low16(RoundEven(Number(Ask(at, kFontSize, [&] { return cell.FontSize(); }), at, kFontSize), at, kFontSize));
        a.str = Ask(at, kText, [&] { return cell.Text(); });
        view_.SetCellText(c, r, a.str);
        // Only a cell aligned by the kind of its value looks at the value's text form; an error value or a
        // null fails the cell whatever its alignment.
        const XlValue value = Ask(at, kValue, [&] { return cell.Value2(); });
        if (value.kind == XlValue::Kind::Error || value.kind == XlValue::Kind::Null) ValueText(value, at, sep_);
        if (a.txtAlign == kAlignGeneral && IsNumericValue(value, at)) a.txtAlign = kAlignRight;
        for (const BorderBit& b : kBorderBits) {
            const auto style = Ask(at, kBorders, [&] { return cell.BorderLineStyle(b.index); });
            if (ToInt32(style, at, kBorders) != kXlLineStyleNone) a.lineBits |= b.bit;
        }
        a.cellMerge = Number(Ask(at, kMerge, [&] { return cell.MergeCells(); }), at, kMerge) != 0;
        a.mergerowYscount = Low16(ToInt32(Ask(at, kMergeArea, [&] { return cell.MergeRowsCount(); }), at, kMergeArea));
        a.mergecolXscount = Low16(ToInt32(Ask(at, kMergeArea, [&] { return cell.MergeColumnsCount(); }), at, kMergeArea));
        a.mergeLeft = Low16(RoundEven(Number(Ask(at, kMergeArea, [&] { return cell.MergeLeft(); }), at, kMergeArea), at, kMergeArea));
        a.mergeTop = Low16(RoundEven(Number(Ask(at, kMergeArea, [&] { return cell.MergeTop(); }), at, kMergeArea), at, kMergeArea));
        out.push_back(std::move(a));
    }

    ImportView& view_;
    const ImportScales& scales_;
    char16_t sep_;
    const XlReaderFactory& factory_;
    // Whether the value's text form is a non-empty numeric text.
    bool IsNumericValue(const XlValue& value, const Place& at) const
    {
        if (value.kind == XlValue::Kind::Number) return XlNumberTextIsNumeric(value.number, sep_);
        if (value.kind == XlValue::Kind::Text) return !value.text.empty() && IsNumericText(value.text); // its own text form
        const std::u16string text = ValueText(value, at, sep_);
        return !text.empty() && IsNumericText(text);
    }

    bool screenUpdatingOff_ = false;
    bool redrawOff_ = false;
    std::unique_ptr<XlWorksheet> sheet_;
    std::unique_ptr<XlRange> selection_;
    std::unique_ptr<XlSelectionReader> reader_;
};

} // namespace

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

bool XlNumberTextIsNumeric(double value, char16_t decimalSeparator)
{
    // Zero is "0". Between 0.001 and 10^14 the general form is fixed notation (its rounding to 15 digits
    // keeps the exponent within -4..14): digits, a minus sign and, unless the value is whole, the
    // separator. Anything else is written and looked at.
    const double a = std::fabs(value);
    if (a == 0) return true;
    if (a >= 1e-3 && a < 1e14) {
        const bool plainSeparator = decimalSeparator == u'.' || decimalSeparator == u',' || decimalSeparator == u'-';
        if (plainSeparator || std::trunc(value) == value) return true;
    }
    const std::u16string text = XlTextForm(XlValue::Of(value), decimalSeparator);
    return !text.empty() && IsNumericText(text);
}

std::u16string XlErrorText(std::int32_t code)
{
    // XlCVError, as the object model documents its cell error values.
    switch (code) {
    case 2000: return u"#NULL!";
    case 2007: return u"#DIV/0!";
    case 2015: return u"#VALUE!";
    case 2023: return u"#REF!";
    case 2029: return u"#NAME?";
    case 2036: return u"#NUM!";
    case 2042: return u"#N/A";
    case 2045: return u"#SPILL!";
    default: return Decimal(code);
    }
}

ImportResult ImportSelectionWith(const XlAttach& attach, ImportView& view, CellTable& table, const ImportScales& scales,
                                 char16_t decimalSeparator, const XlReaderFactory& reader)
{
    Importer importer(view, scales, decimalSeparator, reader);
    return importer.Run(attach, table);
}

ImportResult ImportSelection(const XlAttach& attach, ImportView& view, CellTable& table, const ImportScales& scales,
                             char16_t decimalSeparator)
{
    static const XlReaderFactory reader = &MakeSelectionReader;
    return ImportSelectionWith(attach, view, table, scales, decimalSeparator, reader);
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
