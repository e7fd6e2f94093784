#include "calc/CalcSession.h"
#include "excel/ColumnWidthUnits.h"

#include <algorithm>
#include <cmath>

#include <com/sun/star/awt/FontDescriptor.hpp>
#include <com/sun/star/awt/Point.hpp>
#include <com/sun/star/awt/XDevice.hpp>
#include <com/sun/star/awt/XFont.hpp>
#include <com/sun/star/beans/PropertyState.hpp>
#include <com/sun/star/beans/XMultiPropertySet.hpp>
#include <com/sun/star/beans/XPropertyState.hpp>
#include <com/sun/star/container/XIndexAccess.hpp>
#include <com/sun/star/container/XNameAccess.hpp>
#include <com/sun/star/container/XNamed.hpp>
#include <com/sun/star/frame/Desktop.hpp>
#include <com/sun/star/lang/XMultiComponentFactory.hpp>
#include <com/sun/star/frame/XDesktop2.hpp>
#include <com/sun/star/lang/XServiceInfo.hpp>
#include <com/sun/star/sheet/CellFlags.hpp>
#include <com/sun/star/sheet/FormulaResult.hpp>
#include <com/sun/star/sheet/XCellRangeAddressable.hpp>
#include <com/sun/star/sheet/XCellRangeData.hpp>
#include <com/sun/star/sheet/XCellRangesQuery.hpp>
#include <com/sun/star/sheet/XSheetCellCursor.hpp>
#include <com/sun/star/sheet/XSheetCellRanges.hpp>
#include <com/sun/star/sheet/XSpreadsheetView.hpp>
#include <com/sun/star/style/XStyleFamiliesSupplier.hpp>
#include <com/sun/star/table/XColumnRowRange.hpp>
#include <com/sun/star/text/XText.hpp>
#include <com/sun/star/text/XTextCursor.hpp>
#include <com/sun/star/util/NumberFormat.hpp>
#include <com/sun/star/util/XMergeable.hpp>
#include <com/sun/star/util/XNumberFormats.hpp>
#include <com/sun/star/util/XNumberFormatsSupplier.hpp>

namespace gridvane::calc {

namespace {

using css::uno::Any;
using css::uno::Sequence;
using css::uno::UNO_QUERY;

const char* const kSnapshotNames[kSnapshotPropertyCount] = {
    "HoriJustify", "CharHeight",   "TopBorder",    "BottomBorder", "LeftBorder",
    "RightBorder", "DiagonalTLBR", "DiagonalBLTR", "NumberFormat", "Position"};

// A number in the office's data: a double, or an integer of some width.
double AnyNumber(const Any& any)
{
    double v = 0;
    any >>= v;
    return v;
}

} // namespace

Session::Session(const CalcAttachOptions& options) : connection_(options)
{
    Connection& uno = connection_;
    const Reference<css::frame::XDesktop2> desktop =
        uno.Call("Desktop", [&] { return css::frame::Desktop::create(uno.Remote()); });
    const Reference<css::lang::XComponent> current = uno.Call("CurrentComponent", [&] { return desktop->getCurrentComponent(); });
    if (current.is()) document_ = uno.Query<css::sheet::XSpreadsheetDocument>(current);
    if (!document_.is()) {
        throw Error("the document in front of LibreOffice is not a spreadsheet", std::u16string(kCalcNotSpreadsheet));
    }
    model_ = uno.Query<css::frame::XModel>(current);
    controller_ = uno.Call("CurrentController", [&] { return model_->getCurrentController(); });
    if (!controller_.is()) {
        throw Error("the spreadsheet in front of LibreOffice has no view", std::u16string(kCalcNotSpreadsheet));
    }
}

const Reference<css::sheet::XSpreadsheet>& Session::Sheet()
{
    if (!sheet_.is()) {
        const auto view = connection_.Query<css::sheet::XSpreadsheetView>(controller_);
        if (!view.is()) throw Error("ActiveSheet: the view in front is not a spreadsheet's");
        sheet_ = connection_.Call("ActiveSheet", [&] { return view->getActiveSheet(); });
        if (!sheet_.is()) throw Error("ActiveSheet: there is no active sheet");
        sheetCells_ = Reference<css::table::XCellRange>(sheet_.get());
    }
    return sheet_;
}

std::u16string Session::SheetName()
{
    const auto named = connection_.Query<css::container::XNamed>(Sheet());
    return FromOUString(connection_.Call("Name", [&] { return named->getName(); }));
}

Reference<css::uno::XInterface> Session::RangeObject(const Rect& rect)
{
    auto it = objects_.find(rect);
    if (it != objects_.end()) return it->second;
    Sheet();
    Reference<css::uno::XInterface> object;
    if (rect.Single()) {
        // A cell object: besides the range's properties it has the text.
        object = connection_.Call("Cell", [&] { return sheetCells_->getCellByPosition(rect.c1 - 1, rect.r1 - 1); });
    } else {
        object = connection_.Call("Range", [&] {
            return sheetCells_->getCellRangeByPosition(rect.c1 - 1, rect.r1 - 1, rect.c2 - 1, rect.r2 - 1);
        });
    }
    if (!object.is()) throw Error("Range: the sheet gave no range");
    return objects_.emplace(rect, object).first->second;
}

const Snapshot& Session::PropertiesOf(const Rect& rect)
{
    auto it = snapshots_.find(rect);
    if (it != snapshots_.end()) return it->second;
    const Reference<css::uno::XInterface> object = RangeObject(rect);
    Sequence<rtl::OUString> names(kSnapshotPropertyCount);
    for (int i = 0; i < kSnapshotPropertyCount; ++i) names.getArray()[i] = rtl::OUString::createFromAscii(kSnapshotNames[i]);
    Snapshot snapshot;
    snapshot.mixed.assign(kSnapshotPropertyCount, false);
    if (!rect.Single()) {
        // Over several cells, a property the cells do not share answers AMBIGUOUS_VALUE.
        const auto state = connection_.Query<css::beans::XPropertyState>(object);
        const Sequence<css::beans::PropertyState> states =
            connection_.Call("getPropertyStates", [&] { return state->getPropertyStates(names); });
        for (int i = 0; i < kSnapshotPropertyCount && i < states.getLength(); ++i)
            snapshot.mixed[static_cast<std::size_t>(i)] = states[i] == css::beans::PropertyState_AMBIGUOUS_VALUE;
    }
    const auto multi = connection_.Query<css::beans::XMultiPropertySet>(object);
    const Sequence<Any> values = connection_.Call("getPropertyValues", [&] { return multi->getPropertyValues(names); });
    snapshot.values.assign(values.begin(), values.end());
    snapshot.values.resize(kSnapshotPropertyCount);
    return snapshots_.emplace(rect, std::move(snapshot)).first->second;
}

std::u16string Session::CellText(std::int32_t row, std::int32_t col)
{
    // A number read already, under a format read already over a range that holds it: the document's
    // formatter writes the text the cell shows, in one call instead of three.
    for (const auto& [rect, array] : valueArrays_) {
        if (!rect.Contains(row, col)) continue;
        const XlValue& v = array.At(row - rect.r1, col - rect.c1);
        if (v.kind != XlValue::Kind::Number && v.kind != XlValue::Kind::Boolean) break;
        for (const auto& [area, props] : snapshots_) {
            if (!area.Contains(row, col) || props.mixed[kNumberFormat]) continue;
            sal_Int32 key = 0;
            props.values[kNumberFormat] >>= key;
            return FormatNumber(key, v.kind == XlValue::Kind::Boolean ? (v.boolean ? 1 : 0) : v.number);
        }
        break;
    }
    const auto text = connection_.Query<css::text::XText>(RangeObject({row, col, row, col}));
    if (!text.is()) throw Error("Text: the cell has no text");
    return FromOUString(connection_.Call("Text", [&] { return text->getString(); }));
}

std::u16string Session::FormatNumber(std::int32_t key, double value)
{
    if (!formatter_.is()) {
        const auto& remote = connection_.Remote();
        const Reference<css::lang::XMultiComponentFactory> factory =
            connection_.Call("ServiceManager", [&] { return remote->getServiceManager(); });
        const Reference<css::uno::XInterface> created = connection_.Call("NumberFormatter", [&] {
            return factory->createInstanceWithContext("com.sun.star.util.NumberFormatter", remote);
        });
        formatter_ = connection_.Query<css::util::XNumberFormatter>(created);
        if (!formatter_.is()) throw Error("Text: the office has no number formatter");
        const auto supplier = connection_.Query<css::util::XNumberFormatsSupplier>(model_);
        connection_.Call("attachNumberFormatsSupplier", [&] { formatter_->attachNumberFormatsSupplier(supplier); });
    }
    return FromOUString(connection_.Call("convertNumberToString", [&] { return formatter_->convertNumberToString(key, value); }));
}

XlValueArray Session::Values(const Rect& rect)
{
    if (auto it = valueArrays_.find(rect); it != valueArrays_.end()) return it->second;
    const auto data = connection_.Query<css::sheet::XCellRangeData>(RangeObject(rect));
    if (!data.is()) throw Error("Value2: the range has no data array");
    const Sequence<Sequence<Any>> rows = connection_.Call("Value2", [&] { return data->getDataArray(); });
    XlValueArray array;
    array.rows = rect.r2 - rect.r1 + 1;
    array.cols = rect.c2 - rect.c1 + 1;
    array.values.resize(static_cast<std::size_t>(array.rows) * static_cast<std::size_t>(array.cols));
    if (rows.getLength() != array.rows) throw Error("Value2: the data array has the wrong number of rows");
    const std::vector<Rect>& errors = QueryCells(rect, true);
    const Snapshot& props = PropertiesOf(rect);
    for (std::int32_t r = 0; r < array.rows; ++r) {
        const Sequence<Any>& row = rows[r];
        if (row.getLength() != array.cols) throw Error("Value2: the data array has the wrong number of columns");
        for (std::int32_t c = 0; c < array.cols; ++c) {
            const std::int32_t x = rect.r1 + r, y = rect.c1 + c;
            XlValue& v = array.values[static_cast<std::size_t>(r) * static_cast<std::size_t>(array.cols) + static_cast<std::size_t>(c)];
            const Any& any = row[c];
            if (std::any_of(errors.begin(), errors.end(), [&](const Rect& e) { return e.Contains(x, y); })) {
                v = XlValue::ErrorValue(CellText(x, y)); // the error as the cell shows it: "#DIV/0!"
            } else if (any.getValueTypeClass() == css::uno::TypeClass_STRING) {
                rtl::OUString s;
                any >>= s;
                v = s.isEmpty() ? XlValue::Empty() : XlValue::Of(FromOUString(s));
            } else if (any.getValueTypeClass() == css::uno::TypeClass_DOUBLE) {
                const double number = AnyNumber(any);
                v = XlValue::Of(number);
                // Calc keeps TRUE and FALSE as 1 and 0 under a Boolean format.
                if (number == 0 || number == 1) {
                    const Snapshot& cellProps = props.mixed[kNumberFormat] ? PropertiesOf({x, y, x, y}) : props;
                    sal_Int32 key = 0;
                    cellProps.values[kNumberFormat] >>= key;
                    if (IsLogical(key)) v = XlValue::OfBool(number != 0);
                }
            } else {
                v = XlValue::Empty();
            }
        }
    }
    valueArrays_.emplace(rect, array);
    return array;
}

const std::vector<Rect>& Session::QueryCells(const Rect& rect, bool errors)
{
    const Rect area = selection_ && selection_->Contains(rect.r1, rect.c1) && selection_->Contains(rect.r2, rect.c2) ? *selection_ : rect;
    auto it = queried_.find({area, errors});
    if (it != queried_.end()) return it->second;
    const auto query = connection_.Query<css::sheet::XCellRangesQuery>(RangeObject(area));
    std::vector<Rect> found;
    if (query.is()) {
        const Reference<css::sheet::XSheetCellRanges> ranges = connection_.Call("query", [&] {
            return errors ? query->queryFormulaCells(css::sheet::FormulaResult::ERROR)
                          : query->queryContentCells(css::sheet::CellFlags::FORMATTED);
        });
        if (ranges.is()) {
            const Sequence<css::table::CellRangeAddress> addresses =
                connection_.Call("getRangeAddresses", [&] { return ranges->getRangeAddresses(); });
            for (const auto& a : addresses) found.push_back(RectOf(a));
        }
    }
    return queried_.emplace(std::make_pair(area, errors), std::move(found)).first->second;
}

Rect Session::MergedArea(std::int32_t row, std::int32_t col)
{
    for (const Rect& a : mergedAreas_)
        if (a.Contains(row, col)) return a;
    // A row of the selection without merged areas answers for all its cells at once.
    if (selection_ && selection_->Contains(row, col) && !selection_->Single() && rowsAsked_.insert(row).second) {
        if (MergeState({row, selection_->c1, row, selection_->c2}).kind == XlValue::Kind::Boolean) {
            for (const Rect& a : mergedAreas_)
                if (a.Contains(row, col)) return a;
        }
    }
    // A cell grows to the merged area it belongs to, the anchor's or a covered cell's.
    const Rect area = GrownToMergedAreas({row, col, row, col});
    if (!area.Contains(row, col)) throw Error("MergeArea: the merged area does not hold the cell");
    mergedAreas_.push_back(area);
    return area;
}

Rect Session::GrownToMergedAreas(const Rect& rect)
{
    // A cursor on the range, collapsed to the merged areas: the range grown by every area it touches.
    const auto range = connection_.Query<css::sheet::XSheetCellRange>(RangeObject(rect));
    const Reference<css::sheet::XSpreadsheet>& sheet = Sheet();
    const Reference<css::sheet::XSheetCellCursor> cursor =
        connection_.Call("createCursorByRange", [&] { return sheet->createCursorByRange(range); });
    connection_.Call("collapseToMergedArea", [&] { cursor->collapseToMergedArea(); });
    const auto addressable = connection_.Query<css::sheet::XCellRangeAddressable>(cursor);
    return RectOf(connection_.Call("getRangeAddress", [&] { return addressable->getRangeAddress(); }));
}

XlValue Session::MergeState(const Rect& rect)
{
    if (rect.Single()) return XlValue::OfBool(!MergedArea(rect.r1, rect.c1).Single());
    for (const Rect& a : mergedAreas_)
        if (a.Contains(rect.r1, rect.c1) && a.Contains(rect.r2, rect.c2))
            return a.Single() ? XlValue::OfBool(false) : (a == rect ? XlValue::OfBool(true) : XlValue::Null());
    const auto mergeable = connection_.Query<css::util::XMergeable>(RangeObject(rect));
    const bool anchors = connection_.Call("getIsMerged", [&] { return mergeable->getIsMerged(); });
    const Rect grown = GrownToMergedAreas(rect);
    if (!anchors && grown == rect) {
        // No merged area starts in the range or reaches into it: every cell answers for itself.
        for (std::int32_t r = rect.r1; r <= rect.r2; ++r)
            for (std::int32_t c = rect.c1; c <= rect.c2; ++c) mergedAreas_.push_back({r, c, r, c});
        return XlValue::OfBool(false);
    }
    if (anchors && grown == rect && MergedArea(rect.r1, rect.c1) == rect) return XlValue::OfBool(true);
    return XlValue::Null();
}

XlValue Session::FontSize(const Rect& rect)
{
    const Snapshot& props = PropertiesOf(rect);
    if (props.mixed[kCharHeight]) return XlValue::Null();
    const double size = AnyNumber(props.values[kCharHeight]);
    // Text with portions of their own formatting: the sizes of the portions decide, as they do in the
    // workbook file's rich text.
    for (const Rect& f : QueryCells(rect, false)) {
        for (std::int32_t r = std::max(f.r1, rect.r1); r <= std::min(f.r2, rect.r2); ++r) {
            for (std::int32_t c = std::max(f.c1, rect.c1); c <= std::min(f.c2, rect.c2); ++c) {
                const auto text = connection_.Query<css::text::XText>(RangeObject({r, c, r, c}));
                if (!text.is()) continue;
                const Reference<css::text::XTextCursor> cursor =
                    connection_.Call("createTextCursor", [&] { return text->createTextCursor(); });
                connection_.Call("gotoEnd", [&] { cursor->gotoEnd(true); });
                const auto state = connection_.Query<css::beans::XPropertyState>(cursor);
                const auto s = connection_.Call("getPropertyState", [&] { return state->getPropertyState("CharHeight"); });
                if (s == css::beans::PropertyState_AMBIGUOUS_VALUE) return XlValue::Null();
                const auto set = connection_.Query<css::beans::XPropertySet>(cursor);
                const double portions =
                    AnyNumber(connection_.Call("CharHeight", [&] { return set->getPropertyValue("CharHeight"); }));
                if (portions != size) {
                    if (rect.Single()) return XlValue::Of(portions);
                    return XlValue::Null();
                }
            }
        }
    }
    return XlValue::Of(size);
}

std::u16string Session::FormatCode(std::int32_t key)
{
    auto it = formatCodes_.find(key);
    if (it != formatCodes_.end()) return it->second;
    const auto supplier = connection_.Query<css::util::XNumberFormatsSupplier>(model_);
    const Reference<css::util::XNumberFormats> formats =
        connection_.Call("getNumberFormats", [&] { return supplier->getNumberFormats(); });
    const Reference<css::beans::XPropertySet> format = connection_.Call("getByKey", [&] { return formats->getByKey(key); });
    sal_Int16 type = 0;
    connection_.Call("Type", [&] { return format->getPropertyValue("Type"); }) >>= type;
    logical_[key] = (type & css::util::NumberFormat::LOGICAL) != 0;
    std::u16string code;
    if (type & css::util::NumberFormat::TEXT) {
        code = u"@";
    } else if (key % 10000 == 0) {
        code = u"General"; // each locale's formats start with its general one
    } else {
        rtl::OUString s;
        connection_.Call("FormatString", [&] { return format->getPropertyValue("FormatString"); }) >>= s;
        code = FromOUString(s);
    }
    return formatCodes_.emplace(key, code).first->second;
}

bool Session::IsLogical(std::int32_t key)
{
    if (!logical_.count(key)) FormatCode(key);
    return logical_[key];
}

const ColumnScale& Session::Scale()
{
    if (scale_) return *scale_;
    ColumnScale scale;
    // The Normal style's font: in Calc the cell style "Default".
    const auto families = connection_.Query<css::style::XStyleFamiliesSupplier>(model_);
    const Reference<css::container::XNameAccess> all = connection_.Call("getStyleFamilies", [&] { return families->getStyleFamilies(); });
    const auto cellStyles = connection_.Extract<css::container::XNameAccess>(
        "CellStyles", connection_.Call("CellStyles", [&] { return all->getByName("CellStyles"); }));
    Reference<css::beans::XPropertySet> normal;
    if (cellStyles.is()) {
        normal = connection_.Extract<css::beans::XPropertySet>(
            "Default", connection_.Call("Default", [&] { return cellStyles->getByName("Default"); }));
    }
    if (!normal.is()) throw Error("ColumnWidth: the document has no default cell style");
    rtl::OUString fontName;
    float fontSize = 11;
    connection_.Call("CharFontName", [&] { return normal->getPropertyValue("CharFontName"); }) >>= fontName;
    connection_.Call("CharHeight", [&] { return normal->getPropertyValue("CharHeight"); }) >>= fontSize;
    scale.mdw = NormalFontDigitWidth(FromOUString(fontName), fontSize);
    // The widest digit of that font on the document's reference device, in twips, as the office's
    // import measured it.
    const auto docProps = connection_.Query<css::beans::XPropertySet>(model_);
    const auto device = connection_.Extract<css::awt::XDevice>(
        "ReferenceDevice", connection_.Call("ReferenceDevice", [&] { return docProps->getPropertyValue("ReferenceDevice"); }));
    if (device.is()) {
        css::awt::FontDescriptor descriptor;
        descriptor.Name = fontName;
        descriptor.Height = static_cast<sal_Int16>(std::lround(fontSize * 20));
        const Reference<css::awt::XFont> font = connection_.Call("getFont", [&] { return device->getFont(descriptor); });
        if (font.is()) {
            const Sequence<sal_Int16> widths = connection_.Call("getCharWidths", [&] { return font->getCharWidths(sal_Unicode('0'), sal_Unicode('9')); });
            sal_Int32 widest = 0;
            for (sal_Int16 w : widths) widest = std::max<sal_Int32>(widest, w);
            scale.digitMm100 = std::round(widest * kMm100PerTwip);
        }
    }
    if (!(scale.digitMm100 > 0)) throw Error("ColumnWidth: the width of a digit cannot be measured");
    // The last column of the sheet stands at the default width.
    scale_ = scale;
    const Reference<css::table::XTableColumns>& columns = Columns();
    const sal_Int32 count = connection_.Call("Count", [&] { return columns->getCount(); });
    if (count > 0) scale_->defaultMm100 = ColumnAt(count).width;
    return *scale_;
}

Session::Column Session::ColumnAt(std::int32_t col)
{
    auto it = columns_.find(col);
    if (it != columns_.end()) return it->second;
    const Reference<css::table::XTableColumns>& columns = Columns();
    const auto props = connection_.Extract<css::beans::XPropertySet>(
        "Columns", connection_.Call("Columns.getByIndex", [&] { return columns->getByIndex(col - 1); }));
    if (!props.is()) throw Error("ColumnWidth: no column " + std::to_string(col));
    Column column;
    connection_.Call("Width", [&] { return props->getPropertyValue("Width"); }) >>= column.width;
    connection_.Call("IsVisible", [&] { return props->getPropertyValue("IsVisible"); }) >>= column.visible;
    return columns_.emplace(col, column).first->second;
}

const Reference<css::table::XTableColumns>& Session::Columns()
{
    if (!columnObjects_.is()) {
        const auto range = connection_.Query<css::table::XColumnRowRange>(Sheet());
        columnObjects_ = connection_.Call("Columns", [&] { return range->getColumns(); });
    }
    return columnObjects_;
}

int Session::ColumnPixels(std::int32_t col)
{
    const ColumnScale& scale = Scale();
    const Column column = ColumnAt(col);
    return calc::ColumnPixels(column.width, column.visible, scale);
}

int Session::ColumnLeftPixels(std::int32_t col)
{
    while (static_cast<std::int32_t>(leftPixels_.size()) < col) {
        const std::int32_t c = static_cast<std::int32_t>(leftPixels_.size()) + 1;
        leftPixels_.push_back(c == 1 ? 0 : leftPixels_.back() + ColumnPixels(c - 1));
    }
    return leftPixels_[static_cast<std::size_t>(col - 1)];
}

double Session::RowHeight(std::int32_t row)
{
    auto it = rowHeights_.find(row);
    if (it != rowHeights_.end()) return it->second;
    if (!rows_.is()) {
        const auto range = connection_.Query<css::table::XColumnRowRange>(Sheet());
        rows_ = connection_.Call("Rows", [&] { return range->getRows(); });
    }
    const auto props = connection_.Extract<css::beans::XPropertySet>(
        "Rows", connection_.Call("Rows.getByIndex", [&] { return rows_->getByIndex(row - 1); }));
    if (!props.is()) throw Error("RowHeight: no row " + std::to_string(row));
    sal_Int32 height = 0;
    connection_.Call("Height", [&] { return props->getPropertyValue("Height"); }) >>= height;
    return rowHeights_.emplace(row, RowHeightPoints(height)).first->second;
}

} // namespace gridvane::calc
