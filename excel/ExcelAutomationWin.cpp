#include "excel/ExcelAutomationWin.h"

#include <variant>

#include "base/Error.h"
#include "base/Utf.h"
#include "com/MessageFilterWin.h"
#include "excel/ExcelComWin.h"

namespace gridvane {

namespace {

XlValue FromDispatch(const DispatchValue& v)
{
    if (std::holds_alternative<double>(v)) return XlValue::Of(std::get<double>(v));
    if (std::holds_alternative<std::u16string>(v)) return XlValue::Of(std::get<std::u16string>(v));
    if (std::holds_alternative<bool>(v)) return XlValue::OfBool(std::get<bool>(v));
    if (std::holds_alternative<DispatchNull>(v)) return XlValue::Null();
    // An error value carries its own text, so that a failure reads "B2: エラー値 #DIV/0!".
    if (const auto* e = std::get_if<DispatchError>(&v)) return XlValue::ErrorValue(XlErrorText(e->code));
    return XlValue::Empty();
}

// call(), with a spreadsheet that stayed busy reported in the words the user reads.
template <typename Call>
auto Busy(Call call) -> decltype(call())
{
    try {
        return call();
    } catch (const ServerBusyError&) {
        throw XlUserMessage(ToUtf8(kExcelBusy));
    }
}

// A range's answers as the spreadsheet gives them, null and error values included: the import's rules
// decide what they mean.
class ComRange : public XlRange {
public:
    explicit ComRange(ExcelComRange range) : range_(std::move(range)) {}
    XlValue Row() override { return Busy([&] { return XlValue::Of(range_.Row()); }); }
    XlValue Column() override { return Busy([&] { return XlValue::Of(range_.Column()); }); }
    XlValue RowsCount() override { return Busy([&] { return XlValue::Of(range_.RowsCount()); }); }
    XlValue ColumnsCount() override { return Busy([&] { return XlValue::Of(range_.ColumnsCount()); }); }
    XlValue ColumnWidth() override { return Property(u"ColumnWidth"); }
    XlValue RowHeight() override { return Property(u"RowHeight"); }
    XlValue HorizontalAlignment() override { return Property(u"HorizontalAlignment"); }
    XlValue FontSize() override { return Busy([&] { return FromDispatch(range_.FontSizeOfAll()); }); }
    std::u16string Text() override { return Busy([&] { return range_.Text(); }); }
    XlValue Value2() override { return Property(u"Value2"); }
    XlValue BorderLineStyle(int index) override
    {
        return Busy([&] { return FromDispatch(range_.BorderLineStyleOfAll(index)); });
    }
    XlValue MergeCells() override { return Property(u"MergeCells"); }
    std::unique_ptr<XlRange> MergeArea() override
    {
        return Busy([&] { return std::make_unique<ComRange>(range_.MergeArea()); });
    }
    XlValue Left() override { return Property(u"Left"); }
    XlValue Top() override { return Property(u"Top"); }
    XlValueArray Value2Array() override
    {
        return Busy([&] {
            const DispatchValues values = range_.Value2Array();
            XlValueArray out;
            out.rows = values.rows, out.cols = values.cols;
            out.values.reserve(values.values.size());
            for (const DispatchValue& v : values.values) out.values.push_back(FromDispatch(v));
            return out;
        });
    }
    XlValue NumberFormat() override { return Busy([&] { return FromDispatch(range_.DisplayedNumberFormat()); }); }
    std::u16string Address() override { return Busy([&] { return range_.Address(); }); }
    std::unique_ptr<XlRange> Rows(std::int32_t i) override
    {
        return Busy([&] { return std::make_unique<ComRange>(range_.RowAt(i)); });
    }
    std::unique_ptr<XlRange> Columns(std::int32_t i) override
    {
        return Busy([&] { return std::make_unique<ComRange>(range_.ColumnAt(i)); });
    }
    std::unique_ptr<XlRange> Cells(std::int32_t r, std::int32_t c) override
    {
        return Busy([&] { return std::make_unique<ComRange>(range_.Cell(r, c)); });
    }

private:
    XlValue Property(std::u16string_view name)
    {
        return Busy([&] { return FromDispatch(range_.Property(name)); });
    }
    ExcelComRange range_;
};

class ComWorksheet : public XlWorksheet {
public:
    explicit ComWorksheet(ExcelComWorksheet sheet) : sheet_(std::move(sheet)) {}
    std::u16string Name() override { return Busy([&] { return sheet_.Name(); }); }
    std::unique_ptr<XlRange> Range(std::u16string_view address) override
    {
        return Busy([&] { return std::make_unique<ComRange>(sheet_.Range(address)); });
    }

private:
    ExcelComWorksheet sheet_;
};

class ComApplication : public XlApplication {
public:
    explicit ComApplication(CallWaitReport waitReport)
        : session_(NewSession(std::move(waitReport))), filter_(std::make_unique<RetryMessageFilter>(*session_)),
          app_(Attach(session_))
    {
    }
    void SetScreenUpdating(bool on) override { Busy([&] { app_.SetScreenUpdating(on); }); }
    std::unique_ptr<XlWorksheet> ActiveSheet() override
    {
        return Busy([&] { return std::make_unique<ComWorksheet>(app_.ActiveSheet()); });
    }
    std::u16string ActiveWorkbookName() override { return Busy([&] { return app_.ActiveWorkbookName(); }); }
    std::unique_ptr<XlRange> Selection() override
    {
        return Busy([&] { return std::make_unique<ComRange>(app_.Selection()); });
    }
    XlValue DisplayFormulas() override { return Busy([&] { return FromDispatch(app_.DisplayFormulas()); }); }
    const DispatchSession& Session() const { return *app_.Session(); }

private:
    static std::shared_ptr<DispatchSession> NewSession(CallWaitReport waitReport)
    {
        auto session = std::make_shared<DispatchSession>();
        session->waitReport = std::move(waitReport);
        return session;
    }

    static ExcelComApplication Attach(const std::shared_ptr<DispatchSession>& session)
    {
        try {
            ExcelComApplication app = Busy([&] { return ExcelComApplication::AttachRunning(session); });
            Busy([&] { app.Prepare(); });
            return app;
        } catch (const AttachError& e) {
            if (e.failure == AttachFailure::Unreachable)
                throw Error(ToUtf8(kExcelUnreachable));
            throw Error(ToUtf8(kExcelClassInvalid));
        }
    }

    // In this order: the session the filter and every object use, the filter registered before the first
    // call and revoked after the last reference is released.
    std::shared_ptr<DispatchSession> session_;
    std::unique_ptr<RetryMessageFilter> filter_;
    ExcelComApplication app_;
};

} // namespace

std::unique_ptr<XlApplication> AttachRunningExcel(CallWaitReport waitReport)
{
    return std::make_unique<ComApplication>(std::move(waitReport));
}

XlCallCounts ExcelCallCounts(const XlApplication& application)
{
    if (const auto* com = dynamic_cast<const ComApplication*>(&application))
        return {com->Session().nameLookups, com->Session().invocations};
    return {};
}

} // namespace gridvane
