#include "excel/ExcelComWin.h"

#include <windows.h>
#include <objbase.h>

#include <cmath>
#include <optional>
#include <vector>

#include "base/Error.h"
#include "base/Utf.h"

namespace gridvane {
namespace {

// The dual interfaces of the spreadsheet's Worksheet and Range objects.
constexpr GUID kIidWorksheet{0x000208D8, 0x0000, 0x0000, {0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46}};
constexpr std::u16string_view kRange = u"Range";
constexpr GUID kIidRange{0x00020846, 0x0000, 0x0000, {0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46}};

// object, after checking that it offers the interface iid; throws Error naming member otherwise.
DispatchObject Require(DispatchObject object, const GUID& iid, std::u16string_view member, const char* kind)
{
    void* found = nullptr;
    auto* unknown = static_cast<IUnknown*>(object.Get());
    if (FAILED(unknown->QueryInterface(iid, &found)) || found == nullptr)
        throw Error(ToUtf8(member) + ": " + kind + "ではありません");
    static_cast<IUnknown*>(found)->Release();
    return object;
}

std::int32_t Integer(double value, std::u16string_view member)
{
    const double rounded = std::nearbyint(value);
    if (!(rounded >= INT32_MIN && rounded <= INT32_MAX))
        throw Error(ToUtf8(member) + ": 値が範囲外です");
    return static_cast<std::int32_t>(rounded);
}

std::wstring Wide(std::u16string_view text)
{
    return std::wstring(text.begin(), text.end());
}

struct MainWindows {
    std::wstring windowClass;
    std::vector<HWND> found;
};

BOOL CALLBACK CollectMainWindow(HWND window, LPARAM data)
{
    auto& windows = *reinterpret_cast<MainWindows*>(data);
    wchar_t name[32];
    const int n = GetClassNameW(window, name, 32);
    if (n > 0 && windows.windowClass == std::wstring_view(name, static_cast<std::size_t>(n)) && IsWindowVisible(window))
        windows.found.push_back(window);
    return TRUE;
}

// The visible main windows of the spreadsheet, the most recently active first (the order of the top-level
// windows from the top down).
std::vector<HWND> MainWindowsMostRecentFirst()
{
    MainWindows windows{Wide(kExcelWindowClass), {}};
    EnumWindows(&CollectMainWindow, reinterpret_cast<LPARAM>(&windows));
    return windows.found;
}

// The application behind the workbook window of the most recently active main window that has one and
// gives its native object model; nothing when none does. A busy application is an answer (ServerBusyError):
// the user works in it, another one is not what was asked for.
std::optional<DispatchObject> ApplicationOfMostRecentWindow(const std::shared_ptr<DispatchSession>& session)
{
    const std::wstring desk = Wide(kExcelDeskWindowClass), workbook = Wide(kExcelWorkbookWindowClass);
    for (const HWND main : MainWindowsMostRecentFirst()) {
        const HWND deskWindow = FindWindowExW(main, nullptr, desk.c_str(), nullptr);
        const HWND workbookWindow = deskWindow ? FindWindowExW(deskWindow, nullptr, workbook.c_str(), nullptr) : nullptr;
        if (workbookWindow == nullptr)
            continue; // no workbook open in it
        try {
            const DispatchObject window = DispatchObject::FromNativeWindow(workbookWindow, u"Window", session);
            return window.Object(u"Application", {}, u"Application");
        } catch (const ServerBusyError&) {
            throw;
        } catch (const Error&) {
            // Not reachable this way (another user's or higher rights): the next window, or the table.
        }
    }
    return std::nullopt;
}

} // namespace

std::int32_t ExcelComRange::Row() const
{
    return Integer(range_.Number(u"Row"), u"Row");
}

std::int32_t ExcelComRange::Column() const
{
    return Integer(range_.Number(u"Column"), u"Column");
}

std::int32_t ExcelComRange::RowsCount() const
{
    return Integer(range_.Object(u"Rows", {}, kRange).Number(u"Count"), u"Rows.Count");
}

std::int32_t ExcelComRange::ColumnsCount() const
{
    return Integer(range_.Object(u"Columns", {}, kRange).Number(u"Count"), u"Columns.Count");
}

double ExcelComRange::ColumnWidth() const
{
    return range_.Number(u"ColumnWidth");
}

double ExcelComRange::RowHeight() const
{
    return range_.Number(u"RowHeight");
}

std::int32_t ExcelComRange::HorizontalAlignment() const
{
    return Integer(range_.Number(u"HorizontalAlignment"), u"HorizontalAlignment");
}

double ExcelComRange::FontSize() const
{
    return range_.Object(u"Font", {}, u"Font").Number(u"Size");
}

std::u16string ExcelComRange::Text() const
{
    return range_.Text(u"Text");
}

DispatchValue ExcelComRange::Value2() const
{
    return range_.Value(u"Value2");
}

std::int32_t ExcelComRange::BorderLineStyle(std::int32_t index) const
{
    // The documented form: the Borders collection, its Item(index), that Border's LineStyle.
    if (!borders_)
        borders_ = range_.Object(u"Borders", {}, u"Borders");
    return Integer(borders_.Object(u"Item", {index}, u"Border").Number(u"LineStyle"), u"Borders.Item.LineStyle");
}

bool ExcelComRange::MergeCells() const
{
    return range_.Boolean(u"MergeCells");
}

ExcelComRange ExcelComRange::MergeArea() const
{
    // Per cell, no check of the kind: the object model gives a Range here, and a wrong object fails at
    // its first member anyway. The checks stay where the user's choice decides (sheet, selection).
    return ExcelComRange(range_.Object(u"MergeArea", {}, kRange));
}

double ExcelComRange::Left() const
{
    return range_.Number(u"Left");
}

double ExcelComRange::Top() const
{
    return range_.Number(u"Top");
}

// ---- reads over a range

DispatchValue ExcelComRange::Property(std::u16string_view name) const
{
    return range_.Any(name);
}

DispatchValue ExcelComRange::FontSizeOfAll() const
{
    return range_.Object(u"Font", {}, u"Font").Any(u"Size");
}

DispatchValue ExcelComRange::DisplayedNumberFormat() const
{
    return range_.Object(u"DisplayFormat", {}, u"DisplayFormat").Any(u"NumberFormat");
}

DispatchValue ExcelComRange::BorderLineStyleOfAll(std::int32_t index) const
{
    if (!borders_)
        borders_ = range_.Object(u"Borders", {}, u"Borders");
    return borders_.Object(u"Item", {index}, u"Border").Any(u"LineStyle");
}

DispatchValues ExcelComRange::Value2Array() const
{
    return range_.Values(u"Value2");
}

std::u16string ExcelComRange::Address() const
{
    return range_.Text(u"Address");
}

ExcelComRange ExcelComRange::RowAt(std::int32_t i) const
{
    if (!rows_)
        rows_ = range_.Object(u"Rows", {}, kRange);
    return ExcelComRange(rows_.Object(u"Item", {i}, kRange));
}

ExcelComRange ExcelComRange::ColumnAt(std::int32_t i) const
{
    if (!columns_)
        columns_ = range_.Object(u"Columns", {}, kRange);
    return ExcelComRange(columns_.Object(u"Item", {i}, kRange));
}

ExcelComRange ExcelComRange::Cell(std::int32_t r, std::int32_t c) const
{
    if (!cells_)
        cells_ = range_.Object(u"Cells", {}, kRange);
    return ExcelComRange(cells_.Object(u"Item", {r, c}, kRange));
}

std::u16string ExcelComWorksheet::Name() const
{
    return sheet_.Text(u"Name");
}

ExcelComRange ExcelComWorksheet::Range(std::u16string_view address) const
{
    return ExcelComRange(sheet_.Object(u"Range", {std::u16string(address)}, kRange));
}

ExcelComApplication ExcelComApplication::AttachRunning(std::shared_ptr<DispatchSession> session)
{
    if (!session)
        session = std::make_shared<DispatchSession>();
    if (std::optional<DispatchObject> application = ApplicationOfMostRecentWindow(session))
        return ExcelComApplication(std::move(*application));
    return ExcelComApplication(
        DispatchObject::AttachRunning(kExcelProgId, u"Application", kExcelWindowClass, std::move(session)));
}

void ExcelComApplication::Prepare() const
{
    application_.Prepare(u"ScreenUpdating");
}

void ExcelComApplication::SetScreenUpdating(bool on) const
{
    application_.Put(u"ScreenUpdating", on);
}

ExcelComWorksheet ExcelComApplication::ActiveSheet() const
{
    return ExcelComWorksheet(
        Require(application_.Object(u"ActiveSheet", {}, u"Worksheet"), kIidWorksheet, u"ActiveSheet", "ワークシート"));
}

std::u16string ExcelComApplication::ActiveWorkbookName() const
{
    return application_.Object(u"ActiveWorkbook", {}, u"Workbook").Text(u"Name");
}

DispatchValue ExcelComApplication::DisplayFormulas() const
{
    return application_.Object(u"ActiveWindow", {}, u"Window").Any(u"DisplayFormulas");
}

ExcelComRange ExcelComApplication::Selection() const
{
    return ExcelComRange(Require(application_.Object(u"Selection", {}, kRange), kIidRange, u"Selection", "セル範囲"));
}

} // namespace gridvane
