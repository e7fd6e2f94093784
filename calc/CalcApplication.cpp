// The automation objects (application, worksheet, range) over a running Calc.
#include "calc/CalcApplication.h"

#include <unistd.h>

#include <com/sun/star/awt/Point.hpp>
#include <com/sun/star/frame/XTitle.hpp>
#include <com/sun/star/sheet/XCellRangeAddressable.hpp>
#include <com/sun/star/sheet/XSheetCellRanges.hpp>
#include <com/sun/star/table/BorderLine2.hpp>
#include <com/sun/star/table/CellHoriJustify.hpp>
#include <com/sun/star/view/XSelectionSupplier.hpp>

#include "calc/CalcSession.h"
#include "excel/ColumnWidthUnits.h"
#include "base/Decimal.h"
#include "model/CellAddress.h"

namespace gridvane {

namespace {

using calc::Rect;
using calc::Session;
using calc::Snapshot;
namespace css = com::sun::star;
using css::uno::Reference;

// A range of the active sheet. Its geometry is known without asking; what it holds is asked once.
class CalcRange : public XlRange {
public:
    CalcRange(std::shared_ptr<Session> session, Rect rect) : s_(std::move(session)), rect_(rect) {}

    XlValue Row() override { return XlValue::Of(rect_.r1); }
    XlValue Column() override { return XlValue::Of(rect_.c1); }
    XlValue RowsCount() override { return XlValue::Of(static_cast<double>(rect_.r2) - rect_.r1 + 1); }
    XlValue ColumnsCount() override { return XlValue::Of(static_cast<double>(rect_.c2) - rect_.c1 + 1); }
    XlValue ColumnWidth() override
    {
        return Common(rect_.c1, rect_.c2, [this](std::int32_t c) {
            return ColumnWidthOfPixels(s_->ColumnPixels(c), Mdw());
        });
    }
    XlValue RowHeight() override
    {
        return Common(rect_.r1, rect_.r2, [this](std::int32_t r) { return s_->RowHeight(r); });
    }
    XlValue HorizontalAlignment() override
    {
        const Snapshot& p = s_->PropertiesOf(rect_);
        if (p.mixed[calc::kHoriJustify]) return XlValue::Null();
        css::table::CellHoriJustify justify = css::table::CellHoriJustify_STANDARD;
        p.values[calc::kHoriJustify] >>= justify;
        return XlValue::Of(calc::AlignmentConstant(static_cast<int>(justify)));
    }
    XlValue FontSize() override { return s_->FontSize(rect_); }
    std::u16string Text() override { return s_->CellText(rect_.r1, rect_.c1); }
    XlValue Value2() override { return s_->Values({rect_.r1, rect_.c1, rect_.r1, rect_.c1}).At(0, 0); }
    XlValue BorderLineStyle(int index) override
    {
        const Rect& r = rect_;
        switch (index) {
        case kXlEdgeTop: return Side({r.r1, r.c1, r.r1, r.c2}, calc::kTopBorder);
        case kXlEdgeBottom: return Side({r.r2, r.c1, r.r2, r.c2}, calc::kBottomBorder);
        case kXlEdgeLeft: return Side({r.r1, r.c1, r.r2, r.c1}, calc::kLeftBorder);
        case kXlEdgeRight: return Side({r.r1, r.c2, r.r2, r.c2}, calc::kRightBorder);
        case kXlDiagonalDown: return Side(r, calc::kDiagonalTLBR);
        case kXlDiagonalUp: return Side(r, calc::kDiagonalBLTR);
        // A line inside the range is one cell's right (bottom) side and its neighbour's left (top) side:
        // it has one style only when both sides of every such pair agree.
        case kXlInsideVertical:
            if (r.c1 == r.c2) return XlValue::Of(kXlLineStyleNone);
            return Agree(Side({r.r1, r.c1, r.r2, r.c2 - 1}, calc::kRightBorder), Side({r.r1, r.c1 + 1, r.r2, r.c2}, calc::kLeftBorder));
        case kXlInsideHorizontal:
            if (r.r1 == r.r2) return XlValue::Of(kXlLineStyleNone);
            return Agree(Side({r.r1, r.c1, r.r2 - 1, r.c2}, calc::kBottomBorder), Side({r.r1 + 1, r.c1, r.r2, r.c2}, calc::kTopBorder));
        default: throw Error("Borders(" + std::to_string(index) + "): no such border");
        }
    }
    XlValue MergeCells() override { return s_->MergeState(rect_); }
    std::unique_ptr<XlRange> MergeArea() override
    {
        return std::make_unique<CalcRange>(s_, s_->MergedArea(rect_.r1, rect_.c1));
    }
    XlValue Left() override { return XlValue::Of(s_->ColumnLeftPixels(rect_.c1) * 0.75); }
    XlValue Top() override
    {
        css::awt::Point position;
        s_->PropertiesOf(rect_).values[calc::kPosition] >>= position;
        // Calc places rows in whole twips and answers in 1/100 mm: back to twips, then points.
        return XlValue::Of(calc::RowHeightPoints(position.Y));
    }

    XlValueArray Value2Array() override { return s_->Values(rect_); }
    XlValue NumberFormat() override
    {
        const Snapshot& p = s_->PropertiesOf(rect_);
        if (p.mixed[calc::kNumberFormat]) return XlValue::Null();
        sal_Int32 key = 0;
        p.values[calc::kNumberFormat] >>= key;
        return XlValue::Of(s_->FormatCode(key));
    }
    std::u16string Address() override
    {
        std::u16string a = AbsoluteName(rect_.r1, rect_.c1);
        if (!rect_.Single()) a += u":" + AbsoluteName(rect_.r2, rect_.c2);
        return a;
    }
    std::unique_ptr<XlRange> Rows(std::int32_t i) override
    {
        if (i < 1 || i > rect_.r2 - rect_.r1 + 1) throw Error("Rows(" + std::to_string(i) + "): no such row");
        return Sub({rect_.r1 + i - 1, rect_.c1, rect_.r1 + i - 1, rect_.c2});
    }
    std::unique_ptr<XlRange> Columns(std::int32_t i) override
    {
        if (i < 1 || i > rect_.c2 - rect_.c1 + 1) throw Error("Columns(" + std::to_string(i) + "): no such column");
        return Sub({rect_.r1, rect_.c1 + i - 1, rect_.r2, rect_.c1 + i - 1});
    }
    std::unique_ptr<XlRange> Cells(std::int32_t r, std::int32_t c) override
    {
        if (r < 1 || c < 1) throw Error("Cells(" + std::to_string(r) + ", " + std::to_string(c) + "): no such cell");
        return Sub({rect_.r1 + r - 1, rect_.c1 + c - 1, rect_.r1 + r - 1, rect_.c1 + c - 1});
    }

private:
    std::unique_ptr<XlRange> Sub(const Rect& r) { return std::make_unique<CalcRange>(s_, r); }
    double Mdw();
    static std::u16string AbsoluteName(std::int32_t row, std::int32_t col)
    {
        return u"$" + ColNoToLetters(col) + u"$" + Decimal(row);
    }
    template <class Read>
    static XlValue Common(std::int32_t from, std::int32_t to, Read read)
    {
        const double first = read(from);
        for (std::int32_t i = from + 1; i <= to; ++i)
            if (read(i) != first) return XlValue::Null();
        return XlValue::Of(first);
    }
    XlValue Side(const Rect& r, calc::SnapshotProperty which)
    {
        const Snapshot& p = s_->PropertiesOf(r);
        if (p.mixed[which]) return XlValue::Null();
        css::table::BorderLine2 line;
        p.values[which] >>= line;
        return XlValue::Of(calc::LineStyleConstant(line.LineStyle, line.LineWidth, line.OuterLineWidth, line.InnerLineWidth));
    }
    static XlValue Agree(const XlValue& a, const XlValue& b)
    {
        if (a.kind == XlValue::Kind::Null || b.kind == XlValue::Kind::Null) return XlValue::Null();
        const bool lineA = a.number != kXlLineStyleNone, lineB = b.number != kXlLineStyleNone;
        if (lineA != lineB) return XlValue::Null();
        return a;
    }

    std::shared_ptr<Session> s_;
    Rect rect_;
};

// "B12": column and row from 1; false for anything else.
bool ParseCellName(std::u16string_view name, std::int32_t& col, std::int32_t& row)
{
    std::size_t i = 0;
    std::int64_t c = 0, r = 0;
    for (; i < name.size() && name[i] >= u'A' && name[i] <= u'Z' && c <= 16384; ++i) c = c * 26 + (name[i] - u'A' + 1);
    if (i == 0 || i == name.size() || c > 16384) return false;
    for (; i < name.size(); ++i) {
        if (name[i] < u'0' || name[i] > u'9' || r > 100000000) return false;
        r = r * 10 + (name[i] - u'0');
    }
    if (r < 1) return false;
    col = static_cast<std::int32_t>(c), row = static_cast<std::int32_t>(r);
    return true;
}

class CalcWorksheet : public XlWorksheet {
public:
    explicit CalcWorksheet(std::shared_ptr<Session> session) : s_(std::move(session)) {}
    std::u16string Name() override { return s_->SheetName(); }
    std::unique_ptr<XlRange> Range(std::u16string_view address) override
    {
        std::int32_t r1, c1, r2, c2;
        const std::size_t colon = address.find(u':');
        if (!ParseCellName(address.substr(0, colon), c1, r1)) {
            throw Error("Range(\"" + ToUtf8(address) + "\"): not a cell address");
        }
        r2 = r1, c2 = c1;
        if (colon != std::u16string_view::npos && !ParseCellName(address.substr(colon + 1), c2, r2)) {
            throw Error("Range(\"" + ToUtf8(address) + "\"): not a range address");
        }
        return std::make_unique<CalcRange>(s_, Rect{std::min(r1, r2), std::min(c1, c2), std::max(r1, r2), std::max(c1, c2)});
    }

private:
    std::shared_ptr<Session> s_;
};

class CalcApplication : public XlApplication {
public:
    explicit CalcApplication(const CalcAttachOptions& options) : s_(std::make_shared<Session>(options)) {}

    // Reading through the API repaints nothing, and a lock of the document's views that outlived a lost
    // connection would leave the user's spreadsheet frozen: screen updating is left alone.
    void SetScreenUpdating(bool) override {}
    std::unique_ptr<XlWorksheet> ActiveSheet() override
    {
        s_->Sheet();
        return std::make_unique<CalcWorksheet>(s_);
    }
    std::u16string ActiveWorkbookName() override
    {
        calc::Connection& uno = s_->Uno();
        const auto title = uno.Query<css::frame::XTitle>(s_->Model());
        if (!title.is()) throw Error("ActiveWorkbook.Name: the document has no title");
        return calc::FromOUString(uno.Call("Title", [&] { return title->getTitle(); }));
    }
    std::unique_ptr<XlRange> Selection() override
    {
        calc::Connection& uno = s_->Uno();
        const auto supplier = uno.Query<css::view::XSelectionSupplier>(s_->Controller());
        if (!supplier.is()) throw Error("Selection: the view has no selection");
        const css::uno::Any selection = uno.Call("Selection", [&] { return supplier->getSelection(); });
        Rect rect;
        if (const auto one = uno.Extract<css::sheet::XCellRangeAddressable>("Selection", selection); one.is()) {
            rect = calc::RectOf(uno.Call("getRangeAddress", [&] { return one->getRangeAddress(); }));
        } else if (const auto several = uno.Extract<css::sheet::XSheetCellRanges>("Selection", selection); several.is()) {
            const auto addresses = uno.Call("getRangeAddresses", [&] { return several->getRangeAddresses(); });
            if (addresses.getLength() > 1) calc::ThrowUserMessage(kExcelSeveralAreas);
            if (addresses.getLength() == 0) calc::ThrowUserMessage(kCalcNotCells);
            rect = calc::RectOf(addresses[0]);
        } else {
            // A shape, a chart or text being edited in a drawing object: no cells to take.
            calc::ThrowUserMessage(kCalcNotCells);
        }
        s_->SetSelection(rect);
        return std::make_unique<CalcRange>(s_, rect);
    }

    // Text answers a cell's value as the document formats it, whether or not the view shows formulas.
    XlValue DisplayFormulas() override { return XlValue::OfBool(false); }

    long Calls() const { return s_->Uno().Calls(); }

private:
    std::shared_ptr<Session> s_;
};

double CalcRange::Mdw() { return s_->Scale().mdw; }

} // namespace

std::string CalcPipeName() { return "gridvane_calc_" + std::to_string(getuid()); }

std::unique_ptr<XlApplication> AttachRunningCalc(const CalcAttachOptions& options)
{
    return std::make_unique<CalcApplication>(options);
}

long CalcCallCount(const XlApplication& application)
{
    const auto* calc = dynamic_cast<const CalcApplication*>(&application);
    return calc ? calc->Calls() : 0;
}

} // namespace gridvane
