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

class ComRange : public XlRange {
public:
    explicit ComRange(ExcelComRange range) : range_(std::move(range)) {}
    XlValue Row() override { return Busy([&] { return XlValue::Of(range_.Row()); }); }
    XlValue Column() override { return Busy([&] { return XlValue::Of(range_.Column()); }); }
    XlValue RowsCount() override { return Busy([&] { return XlValue::Of(range_.RowsCount()); }); }
    XlValue ColumnsCount() override { return Busy([&] { return XlValue::Of(range_.ColumnsCount()); }); }
    XlValue ColumnWidth() override { return Busy([&] { return XlValue::Of(range_.ColumnWidth()); }); }
    XlValue RowHeight() override { return Busy([&] { return XlValue::Of(range_.RowHeight()); }); }
    XlValue HorizontalAlignment() override { return Busy([&] { return XlValue::Of(range_.HorizontalAlignment()); }); }
    XlValue FontSize() override { return Busy([&] { return XlValue::Of(range_.FontSize()); }); }
    std::u16string Text() override { return Busy([&] { return range_.Text(); }); }
    XlValue Value2() override { return Busy([&] { return FromDispatch(range_.Value2()); }); }
    XlValue BorderLineStyle(int index) override
    {
        return Busy([&] { return XlValue::Of(range_.BorderLineStyle(index)); });
    }
    XlValue MergeCells() override { return Busy([&] { return XlValue::OfBool(range_.MergeCells()); }); }
    std::unique_ptr<XlRange> MergeArea() override
    {
        return Busy([&] { return std::make_unique<ComRange>(range_.MergeArea()); });
    }
    XlValue Left() override { return Busy([&] { return XlValue::Of(range_.Left()); }); }
    XlValue Top() override { return Busy([&] { return XlValue::Of(range_.Top()); }); }

private:
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
