// The automation objects (application, worksheet, range) over a workbook file, answering as the running
// spreadsheet would.
#include "xlsx/XlsxApplication.h"

#include <algorithm>
#include <cmath>
#include <limits>

#include "base/Error.h"
#include "base/Utf.h"
#include "model/CellAddress.h"
#include "xlsx/XlsxWorkbookFile.h"

namespace gridvane {

namespace {

using namespace xlsx;

class XlsxRange : public XlRange {
public:
    XlsxRange(const Workbook& book, const Sheet& sheet, Area area) : book_(book), sheet_(sheet), area_(area) {}

    XlValue Row() override { return XlValue::Of(area_.r1); }
    XlValue Column() override { return XlValue::Of(area_.c1); }
    XlValue RowsCount() override { return XlValue::Of(static_cast<double>(area_.r2) - area_.r1 + 1); }
    XlValue ColumnsCount() override { return XlValue::Of(static_cast<double>(area_.c2) - area_.c1 + 1); }
    XlValue ColumnWidth() override { return XlValue::Of(sheet_.ColumnWidth(area_.c1)); }
    XlValue RowHeight() override { return XlValue::Of(sheet_.RowHeight(area_.r1)); }
    XlValue HorizontalAlignment() override { return XlValue::Of(Style().horizontal); }
    XlValue FontSize() override
    {
        const Xf& xf = Style();
        const double cellSize = book_.FontOf(xf).size;
        if (const RichString* rich = Rich(); rich && rich->rich) {
            std::vector<double> sizes = rich->runSizes;
            if (rich->runWithoutSize) sizes.push_back(cellSize);
            for (double s : sizes)
                if (s != sizes.front()) return XlValue::Null();
            if (!sizes.empty()) return XlValue::Of(sizes.front());
        }
        return XlValue::Of(cellSize);
    }
    std::u16string Text() override
    {
        const Cell* c = CellAt();
        if (!c) return {};
        const std::u16string& code = Style().formatCode;
        switch (c->kind) {
        case CellKind::Empty: return {};
        case CellKind::Number: return book_.Formatter().FormatNumber(c->number, code);
        case CellKind::Boolean: return NumberFormatter::FormatBoolean(c->number != 0);
        case CellKind::Error: return std::u16string(sheet_.OwnString(c->index));
        case CellKind::Text: return book_.Formatter().FormatText(sheet_.OwnString(c->index), code);
        case CellKind::Shared:
        case CellKind::Inline: {
            const RichString* rich = Rich();
            return book_.Formatter().FormatText(rich ? rich->text : std::u16string(), code);
        }
        }
        return {};
    }
    XlValue Value2() override
    {
        const Cell* c = CellAt();
        if (!c) return XlValue::Empty();
        switch (c->kind) {
        case CellKind::Empty: return XlValue::Empty();
        case CellKind::Number: return XlValue::Of(c->number);
        case CellKind::Boolean: return XlValue::OfBool(c->number != 0);
        case CellKind::Error: return XlValue::ErrorValue(std::u16string(sheet_.OwnString(c->index)));
        case CellKind::Text: return XlValue::Of(std::u16string(sheet_.OwnString(c->index)));
        case CellKind::Shared:
        case CellKind::Inline: {
            const RichString* rich = Rich();
            return XlValue::Of(rich ? rich->text : std::u16string());
        }
        }
        return XlValue::Empty();
    }
    XlValue BorderLineStyle(int index) override
    {
        const Border& b = book_.BorderOf(Style());
        switch (index) {
        case kXlEdgeTop: return XlValue::Of(b.top);
        case kXlEdgeBottom: return XlValue::Of(b.bottom);
        case kXlEdgeLeft: return XlValue::Of(b.left);
        case kXlEdgeRight: return XlValue::Of(b.right);
        case kXlDiagonalDown: return XlValue::Of(b.diagonalDown ? b.diagonal : kXlLineStyleNone);
        case kXlDiagonalUp: return XlValue::Of(b.diagonalUp ? b.diagonal : kXlLineStyleNone);
        default: throw Error("Borders(" + std::to_string(index) + "): no such border");
        }
    }
    XlValue MergeCells() override { return XlValue::OfBool(MergeId() >= 0); }
    std::unique_ptr<XlRange> MergeArea() override
    {
        const long id = MergeId();
        return std::make_unique<XlsxRange>(book_, sheet_, id >= 0 ? sheet_.Merge(id) : Area{area_.r1, area_.c1, area_.r1, area_.c1});
    }
    XlValue Left() override { return XlValue::Of(sheet_.Left(area_.c1)); }
    XlValue Top() override { return XlValue::Of(sheet_.Top(area_.r1)); }

private:
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
    long MergeId()
    {
        if (mergeId_ == kUnknown) mergeId_ = sheet_.MergeIndex(area_.r1, area_.c1);
        return mergeId_;
    }
    const RichString* Rich()
    {
        const Cell* c = CellAt();
        if (!c) return nullptr;
        if (c->kind == CellKind::Shared) {
            const RichString* s = book_.Shared(c->index);
            if (!s) {
                throw Error(ToUtf8(CellName(area_.c1, area_.r1)) + ": the shared string " + std::to_string(c->index) +
                            " does not exist");
            }
            return s;
        }
        if (c->kind == CellKind::Inline) return &sheet_.OwnRich(c->index);
        return nullptr;
    }

    static constexpr long kUnknown = -2;
    const Workbook& book_;
    const Sheet& sheet_;
    Area area_;
    const Cell* cell_ = nullptr;
    bool cellKnown_ = false;
    const Xf* xf_ = nullptr;
    long mergeId_ = kUnknown;
};

// The sheet read for the selection, and the whole sheet, read again only when a cell outside the
// selection is asked for (the import never does).
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
    const Sheet& Holding(std::int32_t row, std::int32_t col)
    {
        const Sheet& selected = Selected();
        if (selected.Holds(row, col)) return selected;
        if (!whole_) whole_ = book_.LoadSheet(index_, Area{1, 1, kMaxRow, kMaxCol});
        return *whole_;
    }

private:
    const Workbook& book_;
    std::size_t index_;
    std::optional<Area> wanted_;
    std::unique_ptr<Sheet> selected_, whole_;
};

class XlsxWorksheet : public XlWorksheet {
public:
    XlsxWorksheet(const Workbook& book, SheetSource& source) : book_(book), source_(source) {}
    std::u16string Name() override { return source_.Selected().Name(); }
    std::unique_ptr<XlRange> Range(std::u16string_view address) override
    {
        // An address is a few ASCII characters, asked for once per cell: narrowed on the stack.
        char narrow[24];
        std::size_t n = 0;
        for (const char16_t ch : address) {
            if (n == sizeof narrow || ch > 0x7F) { n = sizeof narrow + 1; break; }
            narrow[n++] = static_cast<char>(ch);
        }
        std::int32_t r, c;
        if (n > sizeof narrow || !ParseCellRef(std::string_view(narrow, n), r, c)) {
            throw Error("Range(\"" + ToUtf8(address) + "\"): not a cell address");
        }
        return std::make_unique<XlsxRange>(book_, source_.Holding(r, c), Area{r, c, r, c});
    }

private:
    const Workbook& book_;
    SheetSource& source_;
};

class XlsxApplication : public XlApplication {
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
        return std::make_unique<XlsxRange>(book_, sheet, range_ ? *range_ : sheet.SavedSelection());
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
