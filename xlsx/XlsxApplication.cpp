// The automation objects (application, worksheet, range) over a workbook file, answering as the running
// spreadsheet would: a range of several cells answers the value its cells share, or null, straight from
// the parsed sheet, and a cell's text is formatted only when it is asked for.
#include "xlsx/XlsxApplication.h"

#include <algorithm>
#include <cmath>
#include <limits>

#include "base/Error.h"
#include "base/Utf.h"
#include "excel/CellArea.h"
#include "excel/ExcelImport.h"
#include "model/CellAddress.h"
#include "xlsx/XlsxWorkbookFile.h"

namespace gridvane {

namespace {

using namespace xlsx;

class SheetSource;

// Value2 of a cell.
XlValue CellValue(const Workbook& book, const Sheet& sheet, const Cell* c, std::int32_t row, std::int32_t col);

// The rich string of a shared or inline string cell; null for any other cell.
const RichString* RichOf(const Workbook& book, const Sheet& sheet, const Cell* c, std::int32_t row, std::int32_t col)
{
    if (!c) return nullptr;
    if (c->kind == CellKind::Shared) {
        const RichString* s = book.Shared(c->index);
        if (!s) {
            throw Error(ToUtf8(CellName(col, row)) + ": the shared string " + std::to_string(c->index) + " does not exist");
        }
        return s;
    }
    if (c->kind == CellKind::Inline) return &sheet.OwnRich(c->index);
    return nullptr;
}

// Font.Size of one cell of format xf; NaN where the runs of its text have different sizes.
double CellFontSize(const Workbook& book, const Sheet& sheet, const Xf& xf, const Cell* c, std::int32_t row, std::int32_t col)
{
    const double cellSize = book.FontOf(xf).size;
    if (const RichString* rich = RichOf(book, sheet, c, row, col); rich && rich->rich) {
        const double* first = rich->runSizes.empty() ? nullptr : &rich->runSizes.front();
        for (double s : rich->runSizes)
            if (s != *first) return std::nan("");
        if (first && rich->runWithoutSize && *first != cellSize) return std::nan("");
        if (first) return *first;
    }
    return cellSize;
}

// Text of one cell of format xf: its value as the format displays it; code: the format's code (its text,
// or parsed).
template <class Code>
std::u16string CellText(const Workbook& book, const Sheet& sheet, const Code& code, const Cell* c, std::int32_t row, std::int32_t col)
{
    if (!c) return {};
    switch (c->kind) {
    case CellKind::Empty: return {};
    case CellKind::Number: return book.Formatter().FormatNumber(c->number, code);
    case CellKind::Boolean: return NumberFormatter::FormatBoolean(c->number != 0);
    case CellKind::Error: return std::u16string(sheet.OwnString(c->index));
    case CellKind::Text: return book.Formatter().FormatText(sheet.OwnString(c->index), code);
    case CellKind::Shared:
    case CellKind::Inline: {
        const RichString* rich = RichOf(book, sheet, c, row, col);
        return book.Formatter().FormatText(rich ? rich->text : std::u16string(), code);
    }
    }
    return {};
}

// Borders(index).LineStyle of one cell with border b (index: an edge or a diagonal).
int EdgeOf(const Border& b, int index)
{
    switch (index) {
    case kXlEdgeTop: return b.top;
    case kXlEdgeBottom: return b.bottom;
    case kXlEdgeLeft: return b.left;
    case kXlEdgeRight: return b.right;
    case kXlDiagonalDown: return b.diagonalDown ? b.diagonal : kXlLineStyleNone;
    default: return b.diagonalUp ? b.diagonal : kXlLineStyleNone;
    }
}

class XlsxRange : public XlRange {
public:
    XlsxRange(const Workbook& book, SheetSource& source, const Sheet& sheet, Area area, std::string moreAreas = {})
        : book_(book), source_(source), sheet_(sheet), area_(area), moreAreas_(std::move(moreAreas))
    {
    }

    XlValue Row() override { return XlValue::Of(area_.r1); }
    XlValue Column() override { return XlValue::Of(area_.c1); }
    XlValue RowsCount() override { return XlValue::Of(static_cast<double>(area_.r2) - area_.r1 + 1); }
    XlValue ColumnsCount() override { return XlValue::Of(static_cast<double>(area_.c2) - area_.c1 + 1); }
    XlValue ColumnWidth() override
    {
        const double first = sheet_.ColumnWidth(area_.c1);
        for (std::int32_t c = area_.c1 + 1; c <= area_.c2; ++c)
            if (sheet_.ColumnWidth(c) != first) return XlValue::Null();
        return XlValue::Of(first);
    }
    XlValue RowHeight() override
    {
        const double first = sheet_.RowHeight(area_.r1);
        for (std::int32_t r = area_.r1 + 1; r <= area_.r2; ++r)
            if (sheet_.RowHeight(r) != first) return XlValue::Null();
        return XlValue::Of(first);
    }
    XlValue HorizontalAlignment() override
    {
        const auto v = CommonOfStyle(area_, [](const Xf& xf) { return xf.horizontal; });
        return v ? XlValue::Of(*v) : XlValue::Null();
    }
    XlValue FontSize() override
    {
        // A cell whose runs of text have different sizes has none (NaN), and neither has a range holding it.
        const auto v = Common(area_, [this](const Xf& xf, const Cell* c, std::int32_t r, std::int32_t col) {
            return CellFontSize(book_, sheet_, xf, c, r, col);
        });
        return v && !std::isnan(*v) ? XlValue::Of(*v) : XlValue::Null();
    }
    std::u16string Text() override { return CellText(book_, sheet_, Style().formatCode, CellAt(), area_.r1, area_.c1); }
    XlValue Value2() override { return CellValue(book_, sheet_, CellAt(), area_.r1, area_.c1); }
    XlValueArray Value2Array() override
    {
        XlValueArray a;
        a.rows = area_.r2 - area_.r1 + 1, a.cols = area_.c2 - area_.c1 + 1;
        a.values.reserve(static_cast<std::size_t>(a.rows) * static_cast<std::size_t>(a.cols));
        for (std::int32_t r = area_.r1; r <= area_.r2; ++r)
            for (std::int32_t c = area_.c1; c <= area_.c2; ++c) a.values.push_back(CellValue(book_, sheet_, sheet_.Find(r, c), r, c));
        return a;
    }
    XlValue NumberFormat() override
    {
        const auto v = CommonOfStyle(area_, [](const Xf& xf) { return &xf.formatCode; },
                                     [](const std::u16string* a, const std::u16string* b) { return a == b || *a == *b; });
        if (!v) return XlValue::Null();
        return XlValue::Of((*v)->empty() ? std::u16string(u"General") : **v);
    }
    XlValue BorderLineStyle(int index) override
    {
        // Each cell answers for its own edges; a range for the edges of the cells along its outline, the
        // edges that meet inside it, and each cell's diagonals.
        const Area& a = area_;
        const auto edge = [this](int which) {
            return [this, which](const Xf& xf) { return EdgeOf(book_.BorderOf(xf), which); };
        };
        const auto answer = [](const std::optional<int>& v) { return v ? XlValue::Of(*v) : XlValue::Null(); };
        switch (index) {
        case kXlEdgeTop: return answer(CommonOfStyle({a.r1, a.c1, a.r1, a.c2}, edge(kXlEdgeTop)));
        case kXlEdgeBottom: return answer(CommonOfStyle({a.r2, a.c1, a.r2, a.c2}, edge(kXlEdgeBottom)));
        case kXlEdgeLeft: return answer(CommonOfStyle({a.r1, a.c1, a.r2, a.c1}, edge(kXlEdgeLeft)));
        case kXlEdgeRight: return answer(CommonOfStyle({a.r1, a.c2, a.r2, a.c2}, edge(kXlEdgeRight)));
        case kXlDiagonalDown:
        case kXlDiagonalUp: return answer(CommonOfStyle(a, edge(index)));
        case kXlInsideVertical:
            if (a.c1 == a.c2) return XlValue::Of(kXlLineStyleNone);
            return answer(Both(CommonOfStyle({a.r1, a.c1, a.r2, a.c2 - 1}, edge(kXlEdgeRight)),
                               CommonOfStyle({a.r1, a.c1 + 1, a.r2, a.c2}, edge(kXlEdgeLeft))));
        case kXlInsideHorizontal:
            if (a.r1 == a.r2) return XlValue::Of(kXlLineStyleNone);
            return answer(Both(CommonOfStyle({a.r1, a.c1, a.r2 - 1, a.c2}, edge(kXlEdgeBottom)),
                               CommonOfStyle({a.r1 + 1, a.c1, a.r2, a.c2}, edge(kXlEdgeTop))));
        default: throw Error("Borders(" + std::to_string(index) + "): no such border");
        }
    }
    XlValue MergeCells() override
    {
        const auto v = Common(area_, [this](const Xf&, const Cell*, std::int32_t r, std::int32_t c) {
            return sheet_.MergeIndex(r, c) >= 0;
        });
        return v ? XlValue::OfBool(*v) : XlValue::Null();
    }
    std::unique_ptr<XlRange> MergeArea() override
    {
        const long id = sheet_.MergeIndex(area_.r1, area_.c1);
        return std::make_unique<XlsxRange>(book_, source_, sheet_,
                                           id >= 0 ? sheet_.Merge(id) : Area{area_.r1, area_.c1, area_.r1, area_.c1});
    }
    XlValue Left() override { return XlValue::Of(sheet_.Left(area_.c1)); }
    XlValue Top() override { return XlValue::Of(sheet_.Top(area_.r1)); }
    std::u16string Address() override
    {
        std::u16string a = AbsoluteAddress(area_);
        // The sheet lists the further areas apart by spaces, the spreadsheet by commas.
        std::size_t start = 0;
        while (start < moreAreas_.size()) {
            std::size_t end = moreAreas_.find(' ', start);
            if (end == std::string::npos) end = moreAreas_.size();
            if (end > start) a += u"," + FromUtf8(moreAreas_.substr(start, end - start));
            start = end + 1;
        }
        return a;
    }
    std::unique_ptr<XlRange> Rows(std::int32_t i) override { return Sub(AreaRow(area_, i)); }
    std::unique_ptr<XlRange> Columns(std::int32_t i) override { return Sub(AreaColumn(area_, i)); }
    std::unique_ptr<XlRange> Cells(std::int32_t r, std::int32_t c) override { return Sub(AreaCell(area_, r, c)); }

private:
    std::unique_ptr<XlRange> Sub(const Area& a);
    static std::optional<int> Both(const std::optional<int>& a, const std::optional<int>& b)
    {
        return a && b && *a == *b ? a : std::nullopt;
    }
    // The answer every cell of area gives (of(xf, cell, row, column)), or nothing when they differ.
    template <class Of, class Same = std::equal_to<>>
    auto Common(const Area& area, Of&& of, Same same = {}) const
        -> std::optional<std::invoke_result_t<Of&, const Xf&, const Cell*, std::int32_t, std::int32_t>>
    {
        using T = std::invoke_result_t<Of&, const Xf&, const Cell*, std::int32_t, std::int32_t>;
        std::optional<T> first;
        for (std::int32_t r = area.r1; r <= area.r2; ++r) {
            for (std::int32_t c = area.c1; c <= area.c2; ++c) {
                const Cell* cell = sheet_.Find(r, c);
                T v = of(book_.XfOf(sheet_.StyleOf(r, c, cell)), cell, r, c);
                if (!first) {
                    first = v;
                } else if (!same(*first, v)) {
                    return std::nullopt;
                }
            }
        }
        return first;
    }
    // The same for an answer that depends on the cell format alone: asked again only where the format changes.
    template <class Of, class Same = std::equal_to<>>
    auto CommonOfStyle(const Area& area, Of&& of, Same same = {}) const -> std::optional<std::invoke_result_t<Of&, const Xf&>>
    {
        using T = std::invoke_result_t<Of&, const Xf&>;
        std::optional<T> first;
        std::uint32_t last = 0;
        const bool common = sheet_.EachStyle(area, [&](std::uint32_t style) {
            if (first && style == last) return true;
            last = style;
            T v = of(book_.XfOf(style));
            if (!first) {
                first = v;
                return true;
            }
            return same(*first, v);
        });
        return common ? first : std::nullopt;
    }
    // What the import asks of one cell about a dozen times is looked up once per range.
    const Cell* CellAt()
    {
        if (!cellKnown_) cell_ = sheet_.Find(area_.r1, area_.c1), cellKnown_ = true;
        return cell_;
    }
    const Xf& Style()
    {
        if (!xf_) xf_ = &book_.XfOf(sheet_.StyleOf(area_.r1, area_.c1, CellAt()));
        return *xf_;
    }
    const Workbook& book_;
    SheetSource& source_;
    const Sheet& sheet_;
    Area area_;
    std::string moreAreas_; // the selection's further areas
    const Cell* cell_ = nullptr;
    bool cellKnown_ = false;
    const Xf* xf_ = nullptr;
};

XlValue CellValue(const Workbook& book, const Sheet& sheet, const Cell* c, std::int32_t row, std::int32_t col)
{
    if (!c) return XlValue::Empty();
    switch (c->kind) {
    case CellKind::Empty: return XlValue::Empty();
    case CellKind::Number: return XlValue::Of(c->number);
    case CellKind::Boolean: return XlValue::OfBool(c->number != 0);
    case CellKind::Error: return XlValue::ErrorValue(std::u16string(sheet.OwnString(c->index)));
    case CellKind::Text: return XlValue::Of(std::u16string(sheet.OwnString(c->index)));
    case CellKind::Shared:
    case CellKind::Inline: return XlValue::Of(RichOf(book, sheet, c, row, col)->text);
    }
    return XlValue::Empty();
}

// The sheet read for the selection, and the whole sheet, read again only when cells outside the
// selection are asked for (the import never does).
class SheetSource {
public:
    SheetSource(const Workbook& book, std::size_t index, std::optional<Area> wanted)
        : book_(book), index_(index), wanted_(wanted)
    {
    }
    const Sheet& Selected()
    {
        if (!selected_) selected_ = book_.LoadSheet(index_, wanted_);
        return *selected_;
    }
    const Sheet& Holding(const Area& a)
    {
        const Sheet& selected = Selected();
        if (selected.Holds(a.r1, a.c1) && selected.Holds(a.r2, a.c2)) return selected;
        if (!whole_) whole_ = book_.LoadSheet(index_, Area{1, 1, kMaxRow, kMaxCol});
        return *whole_;
    }

private:
    const Workbook& book_;
    std::size_t index_;
    std::optional<Area> wanted_;
    std::unique_ptr<Sheet> selected_, whole_;
};

std::unique_ptr<XlRange> XlsxRange::Sub(const Area& a)
{
    return std::make_unique<XlsxRange>(book_, source_, sheet_.Holds(a.r1, a.c1) && sheet_.Holds(a.r2, a.c2) ? sheet_ : source_.Holding(a), a);
}

// The cells of a selection answered straight from the sheet, each as the cell's own range would answer
// (width, height, format, text, value, borders, merged area), without a range object per cell. The
// column widths and row heights are worked out once each, a cell's format once per cell.
class SheetCells : public XlCellAnswers, public XlSelectionReader {
public:
    SheetCells(const Workbook& book, const Sheet& sheet, const XlSelection& s)
        : book_(book), sheet_(sheet), r1_(s.r1), c1_(s.c1), widths_(static_cast<std::size_t>(s.cols), std::nan("")),
          merging_(static_cast<std::size_t>(s.rows) + 1, 0)
    {
        // The rows of the selection that a merged area meets: counted in and out at its first and past its
        // last row, summed down the rows. A cell of any other row is merged with none.
        const std::int64_t last = static_cast<std::int64_t>(s.r1) + s.rows - 1;
        for (std::size_t id = 0; id < sheet.MergeCount(); ++id) {
            const Area& a = sheet.Merge(static_cast<long>(id));
            if (a.r2 < s.r1 || a.r1 > last) continue;
            ++merging_[static_cast<std::size_t>(std::max(a.r1, s.r1) - s.r1)];
            --merging_[static_cast<std::size_t>(std::min<std::int64_t>(a.r2, last) - s.r1 + 1)];
        }
        for (std::size_t i = 1; i < merging_.size(); ++i) merging_[i] += merging_[i - 1];
    }

    void BeginRow(std::int32_t r) override
    {
        row_ = r1_ + r - 1;
        height_ = sheet_.RowHeight(row_);
        top_ = sheet_.Top(row_);
        rowMerged_ = merging_[static_cast<std::size_t>(r - 1)] != 0;
    }
    XlCellAnswers& Cell(std::int32_t c) override
    {
        c_ = c;
        col_ = c1_ + c - 1;
        cell_ = sheet_.Find(row_, col_);
        style_ = sheet_.StyleOf(row_, col_, cell_);
        xf_ = &book_.XfOf(style_);
        mergeKnown_ = false;
        return *this;
    }

    bool Numbers(XlCellNumbers& n) override
    {
        // A text whose runs cannot be had (a shared string the workbook lacks) fails at its font size,
        // asked alone; so does a cell of runs of different sizes.
        if (cell_ && cell_->kind == CellKind::Shared && !book_.Shared(cell_->index)) return false;
        // What the cell format alone answers is worked out once per format.
        const StyleAnswers& style = OfStyle();
        const bool ownRuns = cell_ && (cell_->kind == CellKind::Shared || cell_->kind == CellKind::Inline);
        n.fontSize = ownRuns ? CellFontSize(book_, sheet_, *xf_, cell_, row_, col_) : style.fontSize;
        if (std::isnan(n.fontSize)) return false;
        n.columnWidth = Width();
        n.rowHeight = height_;
        n.horizontalAlignment = style.horizontal;
        std::copy(std::begin(style.borders), std::end(style.borders), n.borders);
        const Area& a = Merged();
        n.mergeCells = merged_;
        n.mergeRows = a.r2 - a.r1 + 1;
        n.mergeColumns = a.c2 - a.c1 + 1;
        n.mergeLeft = sheet_.Left(a.c1);
        n.mergeTop = a.r1 == row_ ? top_ : sheet_.Top(a.r1);
        return true;
    }
    XlValue ColumnWidth() override { return XlValue::Of(Width()); }
    XlValue RowHeight() override { return XlValue::Of(height_); }
    XlValue HorizontalAlignment() override { return XlValue::Of(xf_->horizontal); }
    XlValue FontSize() override
    {
        const double size = CellFontSize(book_, sheet_, *xf_, cell_, row_, col_);
        return std::isnan(size) ? XlValue::Null() : XlValue::Of(size);
    }
    std::u16string Text() override { return CellText(book_, sheet_, OfStyle().format, cell_, row_, col_); }
    XlValue Value2() override { return CellValue(book_, sheet_, cell_, row_, col_); }
    XlValue BorderLineStyle(int index) override
    {
        // A single cell has no inside lines.
        if (index == kXlInsideVertical || index == kXlInsideHorizontal) return XlValue::Of(kXlLineStyleNone);
        if (index < kXlDiagonalDown || index > kXlEdgeRight) throw Error("Borders(" + std::to_string(index) + "): no such border");
        return XlValue::Of(EdgeOf(book_.BorderOf(*xf_), index));
    }
    XlValue MergeCells() override
    {
        Merged();
        return XlValue::OfBool(merged_);
    }
    XlValue MergeRowsCount() override { return XlValue::Of(static_cast<double>(Merged().r2) - Merged().r1 + 1); }
    XlValue MergeColumnsCount() override { return XlValue::Of(static_cast<double>(Merged().c2) - Merged().c1 + 1); }
    XlValue MergeLeft() override { return XlValue::Of(sheet_.Left(Merged().c1)); }
    XlValue MergeTop() override { return XlValue::Of(Merged().r1 == row_ ? top_ : sheet_.Top(area_.r1)); }

private:
    // A cell format's answers: Font.Size (of a cell without runs of its own), HorizontalAlignment and the
    // line styles of Borders(8, 9, 7, 10, 5, 6).
    struct StyleAnswers {
        bool known = false;
        double fontSize = 0;
        std::int32_t horizontal = 0;
        std::int32_t borders[6] = {};
        NumberFormatter::Parsed format;
    };
    const StyleAnswers& OfStyle()
    {
        if (style_ >= styles_.size()) {
            if (style_ >= book_.XfCount() + 1) {
                // A format the workbook lacks answers as its default one, worked out each time.
                lastStyle_ = MakeStyleAnswers();
                return lastStyle_;
            }
            styles_.resize(book_.XfCount() + 1);
        }
        StyleAnswers& s = styles_[style_];
        if (!s.known) s = MakeStyleAnswers();
        return s;
    }
    StyleAnswers MakeStyleAnswers() const
    {
        StyleAnswers s;
        s.known = true;
        s.fontSize = book_.FontOf(*xf_).size;
        s.horizontal = xf_->horizontal;
        const Border& b = book_.BorderOf(*xf_);
        const int edges[] = {kXlEdgeTop, kXlEdgeBottom, kXlEdgeLeft, kXlEdgeRight, kXlDiagonalDown, kXlDiagonalUp};
        for (std::size_t i = 0; i < std::size(edges); ++i) s.borders[i] = EdgeOf(b, edges[i]);
        s.format = book_.Formatter().Parse(xf_->formatCode);
        return s;
    }

    double Width()
    {
        double& w = widths_[static_cast<std::size_t>(c_ - 1)];
        if (std::isnan(w)) w = sheet_.ColumnWidth(col_);
        return w;
    }
    // The merged area holding the cell, else the cell itself.
    const Area& Merged()
    {
        if (!mergeKnown_) {
            const long id = rowMerged_ ? sheet_.MergeIndex(row_, col_) : -1;
            merged_ = id >= 0;
            area_ = merged_ ? sheet_.Merge(id) : Area{row_, col_, row_, col_};
            mergeKnown_ = true;
        }
        return area_;
    }

    const Workbook& book_;
    const Sheet& sheet_;
    const std::int32_t r1_, c1_;
    std::vector<double> widths_; // by column of the selection; NaN: not yet worked out
    std::int32_t row_ = 0, col_ = 0, c_ = 0;
    double height_ = 0, top_ = 0; // of the row begun
    const xlsx::Cell* cell_ = nullptr;
    std::uint32_t style_ = 0;
    const Xf* xf_ = nullptr;
    std::vector<StyleAnswers> styles_; // by cell format, worked out as met
    StyleAnswers lastStyle_;
    bool mergeKnown_ = false, merged_ = false;
    Area area_;
    std::vector<std::int32_t> merging_; // by row of the selection: how many merged areas meet it
    bool rowMerged_ = false;
};

class XlsxWorksheet : public XlWorksheet {
public:
    XlsxWorksheet(const Workbook& book, SheetSource& source) : book_(book), source_(source) {}
    std::u16string Name() override { return source_.Selected().Name(); }
    std::unique_ptr<XlRange> Range(std::u16string_view address) override
    {
        // An address is a few ASCII characters, asked for once per cell: narrowed on the stack.
        char narrow[48];
        std::size_t n = 0;
        for (const char16_t ch : address) {
            if (n == sizeof narrow || ch > 0x7F) { n = sizeof narrow + 1; break; }
            narrow[n++] = static_cast<char>(ch);
        }
        Area a;
        const std::string_view text(narrow, n > sizeof narrow ? 0 : n);
        const bool cell = n <= sizeof narrow && text.find(':') == std::string_view::npos && ParseCellRef(text, a.r1, a.c1);
        if (cell) {
            a.r2 = a.r1, a.c2 = a.c1;
        } else if (n > sizeof narrow || text.find(':') == std::string_view::npos || !ParseArea(text, a)) {
            throw Error("Range(\"" + ToUtf8(address) + "\"): not a cell address");
        }
        return std::make_unique<XlsxRange>(book_, source_, source_.Holding(a), a);
    }

private:
    const Workbook& book_;
    SheetSource& source_;
};

class XlsxApplication : public XlApplication, public XlCellSource {
public:
    XlsxApplication(const std::filesystem::path& path, const WorkbookChoice& choice) : book_(path)
    {
        std::size_t index = book_.ActiveTab();
        if (choice.sheet) {
            const auto found = book_.FindSheet(*choice.sheet);
            if (!found) {
                throw Error(book_.Package().DisplayName() + ": there is no sheet named \"" + ToUtf8(*choice.sheet) + "\"");
            }
            index = *found;
        }
        if (index >= book_.SheetCount()) index = 0;
        if (choice.range) {
            range_ = Area{};
            if (!ParseArea(ToUtf8(*choice.range), *range_)) {
                throw Error("\"" + ToUtf8(*choice.range) + "\" is not a range such as A1:D10");
            }
        }
        source_.emplace(book_, index, range_);
    }

    void SetScreenUpdating(bool) override {}
    std::unique_ptr<XlWorksheet> ActiveSheet() override
    {
        source_->Selected(); // a chartsheet is not a worksheet and fails here
        return std::make_unique<XlsxWorksheet>(book_, *source_);
    }
    std::u16string ActiveWorkbookName() override { return book_.FileName(); }
    std::unique_ptr<XlRange> Selection() override
    {
        const Sheet& sheet = source_->Selected();
        if (range_) return std::make_unique<XlsxRange>(book_, *source_, sheet, *range_);
        return std::make_unique<XlsxRange>(book_, *source_, sheet, sheet.SavedSelection(), sheet.MoreSelectedAreas());
    }
    // Text answers a cell's value as formatted, whether or not the file's view shows formulas.
    XlValue DisplayFormulas() override { return XlValue::OfBool(false); }
    std::unique_ptr<XlSelectionReader> CellReader(const XlSelection& s) override
    {
        // The selection's cells as the sheet holds them; any other range is left to the ranges' answers.
        const Sheet& sheet = source_->Selected();
        const std::int64_t r2 = static_cast<std::int64_t>(s.r1) + s.rows - 1, c2 = static_cast<std::int64_t>(s.c1) + s.cols - 1;
        if (s.rows <= 0 || s.cols <= 0 || r2 > kMaxRow || c2 > kMaxCol || !sheet.Holds(s.r1, s.c1) ||
            !sheet.Holds(static_cast<std::int32_t>(r2), static_cast<std::int32_t>(c2))) {
            return nullptr;
        }
        return std::make_unique<SheetCells>(book_, sheet, s);
    }

private:
    Workbook book_;
    std::optional<Area> range_;
    std::optional<SheetSource> source_; // the active sheet, read when first asked for
};

} // namespace

std::unique_ptr<XlApplication> OpenWorkbookAsApplication(const std::filesystem::path& path, const WorkbookChoice& choice)
{
    return std::make_unique<XlsxApplication>(path, choice);
}

} // namespace gridvane
