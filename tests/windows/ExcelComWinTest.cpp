// The spreadsheet's object model over COM, driven against automation objects built in the test that
// answer by name like the spreadsheet's and count their references.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <windows.h>
#include <objbase.h>
#include <oleauto.h>

#include <chrono>
#include <functional>
#include <map>
#include <memory>
#include <vector>

#include "base/Error.h"
#include "com/ComApartmentWin.h"
#include "excel/ExcelComWin.h"

namespace gridvane {
namespace {

constexpr GUID kIidWorksheet{0x000208D8, 0x0000, 0x0000, {0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46}};
constexpr GUID kIidRange{0x00020846, 0x0000, 0x0000, {0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46}};

int liveObjects = 0;
int lookups = 0;      // GetIDsOfNames calls
int rejectNext = 0;   // calls still to be rejected as busy
HRESULT rejectCode = RPC_E_SERVERCALL_RETRYLATER; // how
bool englishOnly = false; // refuse other locales than 1033 as the spreadsheet does for some languages

HRESULT Refusal(LCID locale)
{
    if (rejectNext > 0) {
        --rejectNext;
        return rejectCode;
    }
    if (englishOnly && locale != 1033)
        return TYPE_E_INVDATAREAD;
    return S_OK;
}
std::vector<LCID> locales; // the locale of every call

// A member: fills the result from the arguments (given in call order) or fails.
using Member = std::function<HRESULT(const std::vector<VARIANT>& args, VARIANT* result)>;

class FakeObject final : public IDispatch {
public:
    explicit FakeObject(std::vector<GUID> iids = {}) : iids_(std::move(iids)) { ++liveObjects; }

    FakeObject* Add(const wchar_t* name, Member member)
    {
        names_.push_back(name);
        members_.push_back(std::move(member));
        return this;
    }

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override
    {
        *out = nullptr;
        bool offered = IsEqualIID(iid, IID_IUnknown) || IsEqualIID(iid, IID_IDispatch);
        for (const GUID& g : iids_)
            offered = offered || IsEqualIID(iid, g);
        if (!offered)
            return E_NOINTERFACE;
        *out = static_cast<IDispatch*>(this);
        AddRef();
        return S_OK;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return ++refs_; }
    ULONG STDMETHODCALLTYPE Release() override
    {
        const ULONG left = --refs_;
        if (left == 0) {
            --liveObjects;
            delete this;
        }
        return left;
    }
    HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* count) override
    {
        *count = 0;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT, LCID, ITypeInfo**) override { return E_NOTIMPL; }
    // Every object of the program's kinds answers a name with the same identifier, as the spreadsheet's
    // objects of one kind do (the import keeps them per kind).
    HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID, LPOLESTR* names, UINT, LCID locale, DISPID* id) override
    {
        ++lookups;
        if (const HRESULT refused = Refusal(locale); FAILED(refused))
            return refused;
        for (std::size_t i = 0; i < names_.size(); ++i) {
            if (names_[i] == names[0]) {
                *id = IdOf(names_[i]);
                return S_OK;
            }
        }
        return DISP_E_UNKNOWNNAME;
    }
    HRESULT STDMETHODCALLTYPE Invoke(DISPID id, REFIID, LCID locale, WORD, DISPPARAMS* params, VARIANT* result,
                                     EXCEPINFO*, UINT*) override
    {
        locales.push_back(locale);
        if (const HRESULT refused = Refusal(locale); FAILED(refused))
            return refused;
        std::vector<VARIANT> args(params->rgvarg, params->rgvarg + params->cArgs);
        std::reverse(args.begin(), args.end());
        if (result != nullptr)
            VariantInit(result);
        for (std::size_t i = 0; i < names_.size(); ++i)
            if (IdOf(names_[i]) == id)
                return members_[i](args, result);
        return DISP_E_MEMBERNOTFOUND;
    }

    static DISPID IdOf(const std::wstring& name)
    {
        static std::map<std::wstring, DISPID> ids;
        return ids.emplace(name, static_cast<DISPID>(ids.size() + 1)).first->second;
    }

private:
    ~FakeObject() = default;
    ULONG refs_ = 1;
    std::vector<GUID> iids_;
    std::vector<std::wstring> names_;
    std::vector<Member> members_;
};

Member Number(double value)
{
    return [value](const std::vector<VARIANT>&, VARIANT* result) {
        result->vt = VT_R8;
        result->dblVal = value;
        return S_OK;
    };
}

Member Text(const wchar_t* text)
{
    return [text](const std::vector<VARIANT>&, VARIANT* result) {
        result->vt = VT_BSTR;
        result->bstrVal = SysAllocString(text);
        return S_OK;
    };
}

Member Kind(VARTYPE type)
{
    return [type](const std::vector<VARIANT>&, VARIANT* result) {
        result->vt = type;
        if (type == VT_BOOL)
            result->boolVal = VARIANT_TRUE;
        if (type == VT_ERROR)
            result->scode = static_cast<SCODE>(0x800A07D7);
        return S_OK;
    };
}

// A new object from make at every call, as the spreadsheet hands out a new object each time.
Member Object(std::function<FakeObject*(const std::vector<VARIANT>&)> make)
{
    return [make](const std::vector<VARIANT>& args, VARIANT* result) {
        FakeObject* object = make(args);
        if (object == nullptr)
            return S_OK; // empty
        result->vt = VT_DISPATCH;
        result->pdispVal = object;
        return S_OK;
    };
}

FakeObject* Count(double n)
{
    return (new FakeObject)->Add(L"Count", Number(n));
}

// One cell, or with merged set the top-left cell of a merged area of 2 rows and 3 columns.
FakeObject* Cell(bool merged, std::vector<std::wstring>* borderLog)
{
    auto* cell = new FakeObject({kIidRange});
    cell->Add(L"ColumnWidth", Number(8.43))
        ->Add(L"RowHeight", Number(18.75))
        ->Add(L"HorizontalAlignment", Number(-4108))
        ->Add(L"Font", Object([](const auto&) { return (new FakeObject)->Add(L"Size", Number(11)); }))
        ->Add(L"Text", Text(L"品名\n型番"))
        ->Add(L"Value2", Number(12.5))
        ->Add(L"Borders", Object([borderLog](const std::vector<VARIANT>&) {
                  return (new FakeObject)->Add(L"Item", Object([borderLog](const std::vector<VARIANT>& args) {
                      const LONG index = args.at(0).lVal;
                      borderLog->push_back(std::to_wstring(index));
                      return (new FakeObject)->Add(L"LineStyle", Number(index == 8 ? 1 : -4142));
                  }));
              }))
        ->Add(L"MergeCells", merged ? Kind(VT_BOOL) : Kind(VT_EMPTY))
        ->Add(L"MergeArea", Object([](const auto&) {
                  return (new FakeObject({kIidRange}))
                      ->Add(L"Rows", Object([](const auto&) { return Count(2); }))
                      ->Add(L"Columns", Object([](const auto&) { return Count(3); }))
                      ->Add(L"Left", Number(48))
                      ->Add(L"Top", Number(15.5));
              }));
    return cell;
}

struct Excel {
    std::vector<bool> screenUpdating;
    std::vector<std::wstring> addresses;
    std::vector<std::wstring> borders;
    bool sheetIsWorksheet = true;
    bool selectionIsRange = true;
    bool hasWorkbook = true;

    FakeObject* Application()
    {
        auto* app = new FakeObject;
        app->Add(L"ScreenUpdating", [this](const std::vector<VARIANT>& args, VARIANT*) {
            screenUpdating.push_back(args.at(0).vt == VT_BOOL && args.at(0).boolVal != VARIANT_FALSE);
            return S_OK;
        });
        app->Add(L"ActiveSheet", Object([this](const auto&) {
            auto* sheet = new FakeObject(sheetIsWorksheet ? std::vector<GUID>{kIidWorksheet} : std::vector<GUID>{});
            sheet->Add(L"Name", Text(L"部品表"));
            sheet->Add(L"Range", Object([this](const std::vector<VARIANT>& args) {
                addresses.emplace_back(args.at(0).bstrVal, SysStringLen(args.at(0).bstrVal));
                return Cell(addresses.back() == L"B1", &borders);
            }));
            return sheet;
        }));
        app->Add(L"ActiveWorkbook", Object([this](const auto&) {
            return hasWorkbook ? (new FakeObject)->Add(L"Name", Text(L"Book1.xlsx")) : nullptr;
        }));
        app->Add(L"Selection", Object([this](const auto&) {
            return (new FakeObject(selectionIsRange ? std::vector<GUID>{kIidRange} : std::vector<GUID>{}))
                ->Add(L"Row", Number(1))
                ->Add(L"Column", Number(2))
                ->Add(L"Rows", Object([](const auto&) { return Count(97); }))
                ->Add(L"Columns", Object([](const auto&) { return Count(15); }));
        }));
        return app;
    }
};

class ExcelComWin : public ::testing::Test {
protected:
    ComApartment apartment;
    void SetUp() override
    {
        liveObjects = 0;
        locales.clear();
        rejectNext = 0;
        rejectCode = RPC_E_SERVERCALL_RETRYLATER;
        englishOnly = false;
    }
    void TearDown() override { EXPECT_EQ(liveObjects, 0) << "objects left behind"; }
};

TEST_F(ExcelComWin, ReadsTheSelectionAndItsCells)
{
    Excel excel;
    {
        const ExcelComApplication app{DispatchObject(excel.Application())};
        app.SetScreenUpdating(false);
        const ExcelComWorksheet sheet = app.ActiveSheet();
        EXPECT_EQ(app.ActiveWorkbookName(), u"Book1.xlsx");
        EXPECT_EQ(sheet.Name(), u"部品表");
        const ExcelComRange selection = app.Selection();
        EXPECT_EQ(selection.Row(), 1);
        EXPECT_EQ(selection.Column(), 2);
        EXPECT_EQ(selection.RowsCount(), 97);
        EXPECT_EQ(selection.ColumnsCount(), 15);

        const ExcelComRange cell = sheet.Range(u"B1");
        EXPECT_EQ(cell.ColumnWidth(), 8.43);
        EXPECT_EQ(cell.RowHeight(), 18.75);
        EXPECT_EQ(cell.HorizontalAlignment(), -4108);
        EXPECT_EQ(cell.FontSize(), 11);
        EXPECT_EQ(cell.Text(), u"品名\n型番");
        EXPECT_EQ(cell.Value2(), DispatchValue(12.5));
        for (const std::int32_t index : {8, 9, 7, 10, 5, 6})
            EXPECT_EQ(cell.BorderLineStyle(index), index == 8 ? 1 : -4142) << index;
        EXPECT_TRUE(cell.MergeCells());
        EXPECT_FALSE(sheet.Range(u"C1").MergeCells());
        // Members are looked up once per kind of object, not for every object.
        const int before = lookups;
        EXPECT_EQ(sheet.Range(u"C1").ColumnWidth(), 8.43);
        EXPECT_EQ(lookups, before);
        const ExcelComRange area = cell.MergeArea();
        EXPECT_EQ(area.RowsCount(), 2);
        EXPECT_EQ(area.ColumnsCount(), 3);
        EXPECT_EQ(area.Left(), 48);
        EXPECT_EQ(area.Top(), 15.5);
        app.SetScreenUpdating(true);
    }
    EXPECT_EQ(excel.screenUpdating, (std::vector<bool>{false, true}));
    EXPECT_EQ(excel.addresses, (std::vector<std::wstring>{L"B1", L"C1", L"C1"}));
    EXPECT_EQ(excel.borders, (std::vector<std::wstring>{L"8", L"9", L"7", L"10", L"5", L"6"}));
    ASSERT_FALSE(locales.empty());
    for (const LCID locale : locales)
        EXPECT_EQ(locale, GetUserDefaultLCID());
}

TEST_F(ExcelComWin, RetriesBusyCallsAndRepeatsARefusedLocaleWith1033)
{
    Excel excel;
    const ExcelComApplication app{DispatchObject(excel.Application())};
    rejectNext = 3; // the look-up and two attempts of the call
    app.SetScreenUpdating(false);
    EXPECT_EQ(excel.screenUpdating, std::vector<bool>{false});
    EXPECT_EQ(rejectNext, 0);

    englishOnly = true;
    EXPECT_EQ(app.ActiveWorkbookName(), u"Book1.xlsx");
    ASSERT_FALSE(locales.empty());
    EXPECT_EQ(locales.back(), 1033u);
    EXPECT_EQ(app.Session()->locale, 1033u) << "kept for the session";

    app.Session()->retryFor = std::chrono::milliseconds(300);
    rejectNext = 1000000;
    EXPECT_THROW(app.SetScreenUpdating(true), ServerBusyError);

    // A call the spreadsheet rejects (SERVERCALL_REJECTED) is not asked again.
    rejectCode = RPC_E_CALL_REJECTED;
    rejectNext = 2;
    app.Session()->retryFor = std::chrono::seconds(10);
    const auto start = std::chrono::steady_clock::now();
    EXPECT_THROW(app.SetScreenUpdating(true), ServerBusyError);
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(1));
    EXPECT_EQ(rejectNext, 1) << "one call, no second";
    rejectNext = 0;
}

TEST_F(ExcelComWin, RefusesObjectsOfTheWrongKind)
{
    const struct {
        const char* what;
        void (*change)(Excel&);
        std::function<void(const ExcelComApplication&)> call;
        const char* message;
    } cases[] = {
        {"a chart sheet is active", [](Excel& e) { e.sheetIsWorksheet = false; },
         [](const ExcelComApplication& app) { app.ActiveSheet(); }, "ActiveSheet: ワークシートではありません"},
        {"a shape is selected", [](Excel& e) { e.selectionIsRange = false; },
         [](const ExcelComApplication& app) { app.Selection(); }, "Selection: セル範囲ではありません"},
        {"no workbook is open", [](Excel& e) { e.hasWorkbook = false; },
         [](const ExcelComApplication& app) { app.ActiveWorkbookName(); }, "ActiveWorkbook: オブジェクトではありません"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        Excel excel;
        c.change(excel);
        const ExcelComApplication app{DispatchObject(excel.Application())};
        try {
            c.call(app);
            ADD_FAILURE() << "no error";
        } catch (const Error& error) {
            EXPECT_STREQ(error.what(), c.message);
        }
    }
}

TEST_F(ExcelComWin, RefusesValuesThatCannotBeConverted)
{
    auto* cell = (new FakeObject({kIidRange}))
                     ->Add(L"Font", Object([](const auto&) { return (new FakeObject)->Add(L"Size", Kind(VT_NULL)); }))
                     ->Add(L"Value2", Kind(VT_ERROR))
                     ->Add(L"ColumnWidth", Kind(VT_EMPTY));
    const ExcelComRange range{DispatchObject(cell)};
    EXPECT_THROW(range.FontSize(), Error);     // characters of different sizes
    EXPECT_THROW(range.Value2(), Error);       // an error value such as a division by zero
    EXPECT_EQ(range.ColumnWidth(), 0);         // empty counts as 0
    EXPECT_THROW(range.RowHeight(), Error);    // a member the object does not have
}

// A two-dimensional array of VARIANTs from 1, as the spreadsheet answers Value2 of several cells.
Member Array2D(std::vector<std::vector<VARIANT>> rows)
{
    return [rows](const std::vector<VARIANT>&, VARIANT* result) {
        SAFEARRAYBOUND bounds[2] = {{static_cast<ULONG>(rows.size()), 1}, {static_cast<ULONG>(rows[0].size()), 1}};
        SAFEARRAY* array = SafeArrayCreate(VT_VARIANT, 2, bounds);
        for (LONG r = 0; r < static_cast<LONG>(rows.size()); ++r) {
            for (LONG c = 0; c < static_cast<LONG>(rows[0].size()); ++c) {
                LONG at[2] = {r + 1, c + 1};
                SafeArrayPutElement(array, at, const_cast<VARIANT*>(&rows[r][c]));
            }
        }
        result->vt = VT_ARRAY | VT_VARIANT;
        result->parray = array;
        return S_OK;
    };
}

VARIANT Of(VARTYPE type, double number = 0, SCODE code = 0)
{
    VARIANT v;
    VariantInit(&v);
    v.vt = type;
    if (type == VT_R8) v.dblVal = number;
    if (type == VT_BOOL) v.boolVal = VARIANT_TRUE;
    if (type == VT_ERROR) v.scode = code;
    return v;
}

TEST_F(ExcelComWin, RangeReadsAnswerArraysNullsAndErrorValues)
{
    std::vector<std::vector<LONG>> items; // the arguments of every Item asked
    const auto range = [&items]() -> FakeObject* {
        auto* r = new FakeObject({kIidRange});
        r->Add(L"Value2", Array2D({{Of(VT_R8, 12.5), Of(VT_ERROR, 0, static_cast<SCODE>(0x800A07FA)), Of(VT_EMPTY)},
                                   {Of(VT_BOOL), Of(VT_NULL), Of(VT_R8, -1)}}))
            ->Add(L"ColumnWidth", Kind(VT_NULL))
            ->Add(L"Font", Object([](const auto&) { return (new FakeObject)->Add(L"Size", Kind(VT_NULL)); }))
            ->Add(L"DisplayFormat", Object([](const auto&) { return (new FakeObject)->Add(L"NumberFormat", Text(L"@")); }))
            ->Add(L"Borders", Object([](const auto&) {
                      return (new FakeObject)->Add(L"Item", Object([](const auto&) {
                          return (new FakeObject)->Add(L"LineStyle", Kind(VT_NULL));
                      }));
                  }))
            ->Add(L"Address", Text(L"$B$2:$D$3"));
        for (const wchar_t* collection : {L"Rows", L"Columns", L"Cells"}) {
            r->Add(collection, Object([&items](const auto&) {
                return (new FakeObject({kIidRange}))->Add(L"Item", Object([&items](const std::vector<VARIANT>& args) {
                    std::vector<LONG> numbers;
                    for (const VARIANT& a : args) numbers.push_back(a.lVal);
                    items.push_back(numbers);
                    return (new FakeObject({kIidRange}))->Add(L"Value2", Kind(VT_ERROR));
                }));
            }));
        }
        return r;
    };
    {
        const ExcelComRange r{DispatchObject(range())};
        const DispatchValues values = r.Value2Array();
        ASSERT_EQ(values.rows, 2);
        ASSERT_EQ(values.cols, 3);
        EXPECT_EQ(values.values[0], DispatchValue(12.5));
        EXPECT_EQ(values.values[1], DispatchValue(DispatchError{2042})); // #N/A
        EXPECT_EQ(values.values[2], DispatchValue());
        EXPECT_EQ(values.values[3], DispatchValue(true));
        EXPECT_EQ(values.values[4], DispatchValue(DispatchNull{}));
        EXPECT_EQ(values.values[5], DispatchValue(-1.0));
        EXPECT_EQ(r.Property(u"ColumnWidth"), DispatchValue(DispatchNull{}));
        EXPECT_EQ(r.FontSizeOfAll(), DispatchValue(DispatchNull{}));
        EXPECT_EQ(r.BorderLineStyleOfAll(11), DispatchValue(DispatchNull{}));
        EXPECT_EQ(r.DisplayedNumberFormat(), DispatchValue(std::u16string(u"@")));
        EXPECT_EQ(r.Address(), u"$B$2:$D$3");
        EXPECT_EQ(r.RowAt(2).Property(u"Value2"), DispatchValue(DispatchError{2007}));
        r.ColumnAt(3);
        r.Cell(2, 3);
        r.Cell(1, 1);
    }
    EXPECT_EQ(items, (std::vector<std::vector<LONG>>{{2}, {3}, {2, 3}, {1, 1}}));
}

TEST_F(ExcelComWin, AttachesOnlyToARunningSpreadsheet)
{
    // Neither registered nor running here.
    EXPECT_THROW(ExcelComApplication::AttachRunning(), Error);
}

} // namespace
} // namespace gridvane
