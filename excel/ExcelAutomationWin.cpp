#include "excel/ExcelAutomationWin.h"

#include <variant>

#include "base/Error.h"
#include "base/Utf.h"
#include "excel/ExcelComWin.h"

namespace gridvane {

namespace {

XlValue FromDispatch(const DispatchValue& v)
{
    if (std::holds_alternative<double>(v)) return XlValue::Of(std::get<double>(v));
    if (std::holds_alternative<std::u16string>(v)) return XlValue::Of(std::get<std::u16string>(v));
    if (std::holds_alternative<bool>(v)) return XlValue::OfBool(std::get<bool>(v));
    return XlValue::Empty();
}

class ComRange : public XlRange {
public:
    explicit ComRange(ExcelComRange range) : range_(std::move(range)) {}
    XlValue Row() override { return XlValue::Of(range_.Row()); }
    XlValue Column() override { return XlValue::Of(range_.Column()); }
    XlValue RowsCount() override { return XlValue::Of(range_.RowsCount()); }
    XlValue ColumnsCount() override { return XlValue::Of(range_.ColumnsCount()); }
    XlValue ColumnWidth() override { return XlValue::Of(range_.ColumnWidth()); }
    XlValue RowHeight() override { return XlValue::Of(range_.RowHeight()); }
    XlValue HorizontalAlignment() override { return XlValue::Of(range_.HorizontalAlignment()); }
    XlValue FontSize() override { return XlValue::Of(range_.FontSize()); }
    std::u16string Text() override { return range_.Text(); }
    XlValue Value2() override { return FromDispatch(range_.Value2()); }
    XlValue BorderLineStyle(int index) override { return XlValue::Of(range_.BorderLineStyle(index)); }
    XlValue MergeCells() override { return XlValue::OfBool(range_.MergeCells()); }
    std::unique_ptr<XlRange> MergeArea() override { return std::make_unique<ComRange>(range_.MergeArea()); }
    XlValue Left() override { return XlValue::Of(range_.Left()); }
    XlValue Top() override { return XlValue::Of(range_.Top()); }

private:
    ExcelComRange range_;
};

class ComWorksheet : public XlWorksheet {
public:
    explicit ComWorksheet(ExcelComWorksheet sheet) : sheet_(std::move(sheet)) {}
    std::u16string Name() override { return sheet_.Name(); }
    std::unique_ptr<XlRange> Range(std::u16string_view address) override
    {
        return std::make_unique<ComRange>(sheet_.Range(address));
    }

private:
    ExcelComWorksheet sheet_;
};

class ComApplication : public XlApplication {
public:
    explicit ComApplication(ExcelComApplication app) : app_(std::move(app)) {}
    void SetScreenUpdating(bool on) override { app_.SetScreenUpdating(on); }
    std::unique_ptr<XlWorksheet> ActiveSheet() override { return std::make_unique<ComWorksheet>(app_.ActiveSheet()); }
    std::u16string ActiveWorkbookName() override { return app_.ActiveWorkbookName(); }
    std::unique_ptr<XlRange> Selection() override { return std::make_unique<ComRange>(app_.Selection()); }

private:
    ExcelComApplication app_;
};

} // namespace

std::unique_ptr<XlApplication> AttachRunningExcel()
{
    try {
        return std::make_unique<ComApplication>(ExcelComApplication::AttachRunning());
    } catch (const Error&) {
        throw Error(ToUtf8(kExcelClassInvalid));
    }
}

} // namespace gridvane
