#include "StandInsWin.h"

#include <objbase.h>
#include <oleauto.h>

#include <algorithm>
#include <cmath>
#include <cwctype>
#include <functional>
#include <map>
#include <optional>
#include <stdexcept>

#include "base/Decimal.h"
#include "cad/CadAutomation.h"
#include "excel/ExcelComWin.h"
#include "model/CellAddress.h"

namespace gridvane::test {

namespace {

// {5C0F7E21-8B3D-4E0A-9F61-2D7B3A4C9E10}: the spreadsheet stand-in's class.
constexpr GUID kSpreadsheetClass{0x5C0F7E21, 0x8B3D, 0x4E0A, {0x9F, 0x61, 0x2D, 0x7B, 0x3A, 0x4C, 0x9E, 0x10}};
// {A41E6B90-3C27-4D58-B0F2-71C9E3D5A6B4}: the CAD stand-in's class.
constexpr GUID kCadClass{0xA41E6B90, 0x3C27, 0x4D58, {0xB0, 0xF2, 0x71, 0xC9, 0xE3, 0xD5, 0xA6, 0xB4}};
constexpr GUID kIidWorksheet{0x000208D8, 0x0000, 0x0000, {0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46}};
constexpr GUID kIidRange{0x00020846, 0x0000, 0x0000, {0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46}};
constexpr GUID kIidCadAppInterface{0xD48F17B7, 0x773E, 0x4238, {0xA6, 0xC6, 0xB2, 0xBB, 0xEB, 0xAA, 0x9A, 0x1E}};

std::wstring GuidText(const GUID& g)
{
    wchar_t text[64] = {};
    StringFromGUID2(g, text, 64);
    return text;
}

// A member of an automation object: reads its arguments (in call order) and fills the result.
using Member = std::function<HRESULT(const std::vector<VARIANT>& args, VARIANT* result)>;

// The dispatch identifier of a member name, the same on every object, as an interface's are: a client
// may look a name up once and call it on every object of that kind.
DISPID IdOf(const std::wstring& name)
{
    static std::map<std::wstring, DISPID> ids;
    std::wstring key = name;
    for (wchar_t& ch : key) ch = static_cast<wchar_t>(towlower(ch));
    const auto [it, added] = ids.emplace(key, static_cast<DISPID>(ids.size() + 1));
    return it->second;
}

// An automation object that answers by name, as the real applications' objects do to late binding.
class NamedObject final : public IDispatch {
public:
    NamedObject(std::vector<GUID> iids, int& live) : iids_(std::move(iids)), live_(live) { ++live_; }

    NamedObject* Get(const wchar_t* name, Member member)
    {
        names_.emplace_back(name);
        gets_.push_back(std::move(member));
        puts_.emplace_back();
        return this;
    }
    NamedObject* Put(const wchar_t* name, std::function<void(const VARIANT&)> put)
    {
        names_.emplace_back(name);
        gets_.emplace_back();
        puts_.push_back(std::move(put));
        return this;
    }

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override
    {
        *out = nullptr;
        bool offered = IsEqualIID(iid, IID_IUnknown) || IsEqualIID(iid, IID_IDispatch);
        for (const GUID& g : iids_) offered = offered || IsEqualIID(iid, g);
        if (!offered) return E_NOINTERFACE;
        *out = static_cast<IDispatch*>(this);
        AddRef();
        return S_OK;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return ++refs_; }
    ULONG STDMETHODCALLTYPE Release() override
    {
        const ULONG left = --refs_;
        if (left == 0) {
            --live_;
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
    HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID, LPOLESTR* names, UINT, LCID, DISPID* id) override
    {
        for (std::size_t i = 0; i < names_.size(); ++i) {
            if (lstrcmpiW(names_[i].c_str(), names[0]) == 0) {
                *id = IdOf(names_[i]);
                return S_OK;
            }
        }
        return DISP_E_UNKNOWNNAME;
    }
    HRESULT STDMETHODCALLTYPE Invoke(DISPID id, REFIID, LCID, WORD flags, DISPPARAMS* params, VARIANT* result,
                                     EXCEPINFO*, UINT*) override
    {
        std::size_t index = names_.size();
        for (std::size_t i = 0; i < names_.size(); ++i)
            if (IdOf(names_[i]) == id) index = i;
        if (index == names_.size()) return DISP_E_MEMBERNOTFOUND;
        if (flags & DISPATCH_PROPERTYPUT) {
            if (!puts_[index] || params->cArgs < 1) return DISP_E_MEMBERNOTFOUND;
            puts_[index](params->rgvarg[0]);
            return S_OK;
        }
        if (!gets_[index]) return DISP_E_MEMBERNOTFOUND;
        std::vector<VARIANT> args(params->rgvarg, params->rgvarg + params->cArgs);
        std::reverse(args.begin(), args.end());
        if (result != nullptr) VariantInit(result);
        return gets_[index](args, result);
    }

private:
    ~NamedObject() = default;
    ULONG refs_ = 1;
    std::vector<GUID> iids_;
    int& live_;
    std::vector<std::wstring> names_;
    std::vector<Member> gets_;
    std::vector<std::function<void(const VARIANT&)>> puts_;
};

Member Number(double value)
{
    return [value](const std::vector<VARIANT>&, VARIANT* result) {
        result->vt = VT_R8;
        result->dblVal = value;
        return S_OK;
    };
}

Member Text(std::u16string text)
{
    return [text](const std::vector<VARIANT>&, VARIANT* result) {
        result->vt = VT_BSTR;
        result->bstrVal = SysAllocStringLen(reinterpret_cast<const OLECHAR*>(text.data()), static_cast<UINT>(text.size()));
        return S_OK;
    };
}

Member Boolean(bool value)
{
    return [value](const std::vector<VARIANT>&, VARIANT* result) {
        result->vt = VT_BOOL;
        result->boolVal = value ? VARIANT_TRUE : VARIANT_FALSE;
        return S_OK;
    };
}

// A new object at every call, as the spreadsheet hands out a new object each time.
Member Object(std::function<NamedObject*(const std::vector<VARIANT>&)> make)
{
    return [make](const std::vector<VARIANT>& args, VARIANT* result) {
        NamedObject* object = make(args);
        if (object == nullptr) return DISP_E_BADINDEX;
        result->vt = VT_DISPATCH;
        result->pdispVal = object;
        return S_OK;
    };
}

// Row and column of an A1 address ("B12" is row 12, column 2); 0 when it is not one.
std::pair<std::int32_t, std::int32_t> ParseAddress(const std::wstring& address)
{
    std::int32_t col = 0, row = 0;
    const wchar_t* p = address.c_str();
    while (*p >= L'A' && *p <= L'Z') col = col * 26 + (*p++ - L'A' + 1);
    while (*p >= L'0' && *p <= L'9') row = row * 10 + (*p++ - L'0');
    if (*p != 0) return {0, 0};
    return {row, col};
}

Member Null()
{
    return [](const std::vector<VARIANT>&, VARIANT* result) {
        result->vt = VT_NULL;
        return S_OK;
    };
}

int AlignmentConstant(std::uint8_t align)
{
    switch (align) {
    case kAlignLeft: return -4131;
    case kAlignCenter: return -4108;
    case kAlignRight: return -4152;
    default: return 1; // general
    }
}

} // namespace

struct SpreadsheetStandIn::State {
    StandInSheet sheet;
    bool screenUpdating = true;
    int screenUpdatingWrites = 0;
    int live = 0;

    const TXlsxCellAttr* Cell(std::int32_t row, std::int32_t col) const
    {
        const std::int32_t r = row - sheet.row1, c = col - sheet.col1;
        if (r < 0 || c < 0 || r >= sheet.table.GridRowCount || c >= sheet.table.GridColCount) return nullptr;
        return &sheet.table.At(r, c);
    }
    std::u16string CellText(std::int32_t row, std::int32_t col) const
    {
        const std::int32_t r = row - sheet.row1, c = col - sheet.col1;
        return sheet.texts[static_cast<std::size_t>(r) * sheet.table.GridColCount + c];
    }

    // A range's answer for a property of its cells: the value they all share, or null where they differ.
    template <class Of>
    Member Common(std::int32_t r1, std::int32_t c1, std::int32_t r2, std::int32_t c2, Of of) const
    {
        std::optional<double> first;
        for (std::int32_t r = r1; r <= r2; ++r) {
            for (std::int32_t c = c1; c <= c2; ++c) {
                const TXlsxCellAttr* cell = Cell(r, c);
                const double v = cell ? of(*cell) : std::nan("");
                if (!first) first = v;
                else if (v != *first) return Null();
            }
        }
        return first && !std::isnan(*first) ? Number(*first) : Null();
    }

    // The rows, columns or cells of a range: Count, and Item picking one.
    NamedObject* Collection(std::int32_t r1, std::int32_t c1, std::int32_t r2, std::int32_t c2, wchar_t kind)
    {
        const double count = kind == L'r' ? r2 - r1 + 1 : kind == L'c' ? c2 - c1 + 1 : (r2 - r1 + 1.0) * (c2 - c1 + 1);
        return (new NamedObject({kIidRange}, live))
            ->Get(L"Count", Number(count))
            ->Get(L"Item", Object([this, r1, c1, r2, c2, kind](const std::vector<VARIANT>& args) -> NamedObject* {
                if (args.empty() || args[0].vt != VT_I4) return nullptr;
                const std::int32_t i = args[0].lVal;
                if (kind == L'r') return Range(r1 + i - 1, c1, r1 + i - 1, c2);
                if (kind == L'c') return Range(r1, c1 + i - 1, r2, c1 + i - 1);
                if (args.size() < 2 || args[1].vt != VT_I4) return nullptr;
                return Range(r1 + i - 1, c1 + args[1].lVal - 1, r1 + i - 1, c1 + args[1].lVal - 1);
            }));
    }

    // A rectangle of cells of the table, as the spreadsheet answers for it; a range of several cells
    // answers the value they share or null, Value2 as an array, its borders as its cells' edges.
    NamedObject* Range(std::int32_t r1, std::int32_t c1, std::int32_t r2, std::int32_t c2)
    {
        if (Cell(r1, c1) == nullptr || Cell(r2, c2) == nullptr) return nullptr;
        const bool one = r1 == r2 && c1 == c2;
        auto* range = new NamedObject({kIidRange}, live);
        range->Get(L"Row", Number(r1))
            ->Get(L"Column", Number(c1))
            ->Get(L"Rows", Object([=, this](const std::vector<VARIANT>&) { return Collection(r1, c1, r2, c2, L'r'); }))
            ->Get(L"Columns", Object([=, this](const std::vector<VARIANT>&) { return Collection(r1, c1, r2, c2, L'c'); }))
            ->Get(L"Cells", Object([=, this](const std::vector<VARIANT>&) { return Collection(r1, c1, r2, c2, L'x'); }))
            ->Get(L"Address", Text(u"$" + ColNoToLetters(c1) + u"$" + Decimal(r1) +
                                   (one ? u"" : u":$" + ColNoToLetters(c2) + u"$" + Decimal(r2))))
            ->Get(L"ColumnWidth", Common(r1, c1, r2, c2, [](const TXlsxCellAttr& a) { return a.colW; }))
            ->Get(L"RowHeight", Common(r1, c1, r2, c2, [](const TXlsxCellAttr& a) { return a.rowH; }))
            ->Get(L"HorizontalAlignment",
                  Common(r1, c1, r2, c2, [](const TXlsxCellAttr& a) { return AlignmentConstant(a.txtAlign); }))
            ->Get(L"Font", Object([=, this](const std::vector<VARIANT>&) {
                return (new NamedObject({}, live))->Get(L"Size", Common(r1, c1, r2, c2, [](const TXlsxCellAttr& a) { return a.txtSize; }));
            }))
            ->Get(L"DisplayFormat", Object([this](const std::vector<VARIANT>&) {
                return (new NamedObject({}, live))->Get(L"NumberFormat", Text(u"General")); // a text shows as it is
            }))
            ->Get(L"Text", one ? Text(CellText(r1, c1)) : Null())
            ->Get(L"Value2", [=, this](const std::vector<VARIANT>& args, VARIANT* result) {
                if (one) return Value(r1, c1)(args, result);
                SAFEARRAYBOUND bounds[2] = {{static_cast<ULONG>(r2 - r1 + 1), 1}, {static_cast<ULONG>(c2 - c1 + 1), 1}};
                SAFEARRAY* array = SafeArrayCreate(VT_VARIANT, 2, bounds);
                for (std::int32_t r = r1; r <= r2; ++r) {
                    for (std::int32_t c = c1; c <= c2; ++c) {
                        VARIANT v;
                        VariantInit(&v);
                        Value(r, c)(args, &v);
                        LONG at[2] = {r - r1 + 1, c - c1 + 1};
                        SafeArrayPutElement(array, at, &v);
                        VariantClear(&v);
                    }
                }
                result->vt = VT_ARRAY | VT_VARIANT;
                result->parray = array;
                return S_OK;
            })
            ->Get(L"Borders", Object([=, this](const std::vector<VARIANT>&) {
                // The collection; Item(index) is the edges of the range's cells that the index names.
                return (new NamedObject({}, live))->Get(L"Item", Object([=, this](const std::vector<VARIANT>& args) -> NamedObject* {
                    if (args.size() != 1 || args[0].vt != VT_I4) return nullptr;
                    const auto edge = [](std::uint8_t bit) {
                        return [bit](const TXlsxCellAttr& a) { return (a.lineBits & bit) ? 1.0 : -4142.0; };
                    };
                    Member style;
                    switch (args[0].lVal) {
                    case 8: style = Common(r1, c1, r1, c2, edge(kEdgeTop)); break;
                    case 9: style = Common(r2, c1, r2, c2, edge(kEdgeBottom)); break;
                    case 7: style = Common(r1, c1, r2, c1, edge(kEdgeLeft)); break;
                    case 10: style = Common(r1, c2, r2, c2, edge(kEdgeRight)); break;
                    case 5: style = Common(r1, c1, r2, c2, edge(kDiagonalDown)); break;
                    case 6: style = Common(r1, c1, r2, c2, edge(kDiagonalUp)); break;
                    // Inside lines: the right and left (bottom and top) edges of the cells that meet there.
                    case 11: style = Both(Common(r1, c1, r2, c2 - 1, edge(kEdgeRight)), Common(r1, c1 + 1, r2, c2, edge(kEdgeLeft)), c1 == c2); break;
                    case 12: style = Both(Common(r1, c1, r2 - 1, c2, edge(kEdgeBottom)), Common(r1 + 1, c1, r2, c2, edge(kEdgeTop)), r1 == r2); break;
                    default: return nullptr;
                    }
                    return (new NamedObject({}, live))->Get(L"LineStyle", style);
                }));
            }))
            ->Get(L"MergeCells", [=, this](const std::vector<VARIANT>& args, VARIANT* result) {
                const Member merged = Common(r1, c1, r2, c2, [](const TXlsxCellAttr& a) { return a.cellMerge ? 1.0 : 0.0; });
                merged(args, result);
                if (result->vt == VT_R8) return Boolean(result->dblVal != 0)(args, result);
                return S_OK;
            })
            ->Get(L"MergeArea", Object([=, this](const std::vector<VARIANT>&) {
                // The area the first cell's counts give, from that cell on.
                const TXlsxCellAttr* cell = Cell(r1, c1);
                const std::int32_t rows = cell->cellMerge ? cell->mergerowYscount : 1;
                const std::int32_t cols = cell->cellMerge ? cell->mergecolXscount : 1;
                auto* area = new NamedObject({kIidRange}, live);
                area->Get(L"Rows", Object([this, rows](const std::vector<VARIANT>&) { return Counter(rows); }))
                    ->Get(L"Columns", Object([this, cols](const std::vector<VARIANT>&) { return Counter(cols); }))
                    ->Get(L"Address", Text(u"$" + ColNoToLetters(c1) + u"$" + Decimal(r1) + u":$" +
                                           ColNoToLetters(c1 + cols - 1) + u"$" + Decimal(r1 + rows - 1)))
                    ->Get(L"Left", Number(cell->mergeLeft))
                    ->Get(L"Top", Number(cell->mergeTop));
                return area;
            }))
            ->Get(L"Left", Common(r1, c1, r2, c1, [](const TXlsxCellAttr& a) { return a.mergeLeft; }))
            ->Get(L"Top", Common(r1, c1, r1, c2, [](const TXlsxCellAttr& a) { return a.mergeTop; }));
        return range;
    }

    NamedObject* Counter(double count)
    {
        return (new NamedObject({}, live))->Get(L"Count", Number(count));
    }

    bool IsDivisionByZero(std::int32_t row, std::int32_t col) const
    {
        return std::find(sheet.divisionByZero.begin(), sheet.divisionByZero.end(), std::make_pair(row, col)) !=
               sheet.divisionByZero.end();
    }

    Member Value(std::int32_t row, std::int32_t col) const
    {
        return [text = CellText(row, col), error = IsDivisionByZero(row, col)](const std::vector<VARIANT>& args,
                                                                              VARIANT* result) {
            if (error) {
                result->vt = VT_ERROR;
                result->scode = static_cast<SCODE>(0x800A07D7); // the spreadsheet's error 2007, #DIV/0!
                return S_OK;
            }
            if (text.empty()) return S_OK; // empty
            return Text(text)(args, result);
        };
    }

    static Member Both(Member a, Member b, bool none)
    {
        return [a, b, none](const std::vector<VARIANT>& args, VARIANT* result) {
            if (none) return Number(-4142)(args, result);
            VARIANT x, y;
            VariantInit(&x);
            VariantInit(&y);
            a(args, &x);
            b(args, &y);
            if (x.vt == VT_R8 && y.vt == VT_R8 && x.dblVal == y.dblVal) *result = x;
            else result->vt = VT_NULL;
            return S_OK;
        };
    }

    NamedObject* Application()
    {
        auto* app = new NamedObject({}, live);
        app->Put(L"ScreenUpdating",
                 [this](const VARIANT& v) {
                     screenUpdating = v.vt == VT_BOOL && v.boolVal != VARIANT_FALSE;
                     ++screenUpdatingWrites;
                 })
            ->Get(L"ActiveSheet", Object([this](const std::vector<VARIANT>&) {
                auto* sheetObject = new NamedObject({kIidWorksheet}, live);
                sheetObject->Get(L"Name", Text(sheet.sheet))
                    ->Get(L"Range", Object([this](const std::vector<VARIANT>& args) -> NamedObject* {
                        if (args.size() != 1 || args[0].vt != VT_BSTR) return nullptr;
                        // One cell ("B12") or a rectangle ("B5:T44").
                        const std::wstring address(args[0].bstrVal, SysStringLen(args[0].bstrVal));
                        const std::size_t colon = address.find(L':');
                        const auto [row, col] = ParseAddress(address.substr(0, colon));
                        const auto [row2, col2] = colon == std::wstring::npos ? std::make_pair(row, col) : ParseAddress(address.substr(colon + 1));
                        return Range(row, col, row2, col2);
                    }));
                return sheetObject;
            }))
            ->Get(L"ActiveWorkbook", Object([this](const std::vector<VARIANT>&) {
                return (new NamedObject({}, live))->Get(L"Name", Text(sheet.workbook));
            }))
            ->Get(L"Selection", Object([this](const std::vector<VARIANT>&) {
                return Range(sheet.row1, sheet.col1, sheet.row1 + sheet.table.GridRowCount - 1,
                             sheet.col1 + sheet.table.GridColCount - 1);
            }))
            ->Get(L"ActiveWindow", Object([this](const std::vector<VARIANT>&) {
                return (new NamedObject({}, live))->Get(L"DisplayFormulas", Boolean(false));
            }));
        return app;
    }
};

ProgIdRedirect::ProgIdRedirect(std::u16string_view progId, const GUID& clsid) : progId_(progId.begin(), progId.end())
{
    const std::wstring key = L"Software\\Classes\\" + progId_ + L"\\CLSID";
    const std::wstring value = GuidText(clsid);
    // The current user's classes; the machine's where the system does not merge the user's in.
    for (HKEY root : {HKEY_CURRENT_USER, HKEY_LOCAL_MACHINE}) {
        HKEY k = nullptr;
        if (RegCreateKeyExW(root, key.c_str(), 0, nullptr, 0, KEY_WRITE, nullptr, &k, nullptr) != ERROR_SUCCESS) continue;
        RegSetValueExW(k, nullptr, 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
                       static_cast<DWORD>((value.size() + 1) * sizeof(wchar_t)));
        RegCloseKey(k);
        root_ = root;
        CLSID found{};
        if (SUCCEEDED(CLSIDFromProgID(progId_.c_str(), &found)) && IsEqualCLSID(found, clsid)) return;
        RegDeleteTreeW(root, (L"Software\\Classes\\" + progId_).c_str());
        root_ = nullptr;
    }
    throw std::runtime_error("the ProgID cannot be pointed at the stand-in's class");
}

ProgIdRedirect::~ProgIdRedirect()
{
    if (root_ != nullptr) RegDeleteTreeW(root_, (L"Software\\Classes\\" + progId_).c_str());
}

SpreadsheetStandIn::SpreadsheetStandIn(StandInSheet sheet) : state_(std::make_shared<State>())
{
    state_->sheet = std::move(sheet);
    application_ = state_->Application();
    if (FAILED(RegisterActiveObject(application_, kSpreadsheetClass, ACTIVEOBJECT_STRONG, &cookie_)))
        throw std::runtime_error("RegisterActiveObject failed");
    redirect_ = std::make_unique<ProgIdRedirect>(kExcelProgId, kSpreadsheetClass);
}

SpreadsheetStandIn::~SpreadsheetStandIn()
{
    redirect_.reset();
    RevokeActiveObject(cookie_, nullptr);
    application_->Release();
}

bool SpreadsheetStandIn::ScreenUpdating() const { return state_->screenUpdating; }
int SpreadsheetStandIn::ScreenUpdatingWrites() const { return state_->screenUpdatingWrites; }
int SpreadsheetStandIn::LiveObjects() const { return state_->live; }

// A minimal automation object: IUnknown and IDispatch without type information; owned by its maker.
class PlainDispatch : public IDispatch {
public:
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override
    {
        *out = nullptr;
        if (!IsEqualIID(iid, IID_IUnknown) && !IsEqualIID(iid, IID_IDispatch) && !Offers(iid)) return E_NOINTERFACE;
        *out = static_cast<IDispatch*>(this);
        AddRef();
        return S_OK;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return ++refs_; }
    ULONG STDMETHODCALLTYPE Release() override { return --refs_; }
    HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* count) override
    {
        *count = 0;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT, LCID, ITypeInfo**) override { return E_NOTIMPL; }

protected:
    virtual bool Offers(REFIID) const { return false; }

private:
    ULONG refs_ = 1;
};

// The CAD's document: its command line.
class CadDocument final : public PlainDispatch {
public:
    std::vector<std::u16string> commands;

    HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID, LPOLESTR* names, UINT count, LCID, DISPID* ids) override
    {
        if (count != 1 || lstrcmpiW(names[0], L"SendCommand") != 0) return DISP_E_UNKNOWNNAME;
        *ids = 1;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE Invoke(DISPID id, REFIID, LCID, WORD flags, DISPPARAMS* params, VARIANT*, EXCEPINFO*,
                                     UINT*) override
    {
        if (id != 1 || !(flags & DISPATCH_METHOD)) return DISP_E_MEMBERNOTFOUND;
        if (params->cArgs != 1 || params->rgvarg[0].vt != VT_BSTR) return DISP_E_TYPEMISMATCH;
        const BSTR text = params->rgvarg[0].bstrVal;
        commands.emplace_back(reinterpret_cast<const char16_t*>(text), SysStringLen(text));
        return S_OK;
    }
};

// The CAD's application: the handle of its main window and the active document.
class CadStandIn::Server final : public PlainDispatch {
public:
    explicit Server(HWND window) : window_(window) {}
    CadDocument document;

    HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID, LPOLESTR* names, UINT count, LCID, DISPID* ids) override
    {
        if (count != 1) return E_INVALIDARG;
        if (lstrcmpiW(names[0], L"HWND") == 0) *ids = 1;
        else if (lstrcmpiW(names[0], L"ActiveDocument") == 0) *ids = 2;
        else return DISP_E_UNKNOWNNAME;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE Invoke(DISPID id, REFIID, LCID, WORD flags, DISPPARAMS*, VARIANT* result, EXCEPINFO*,
                                     UINT*) override
    {
        if (!(flags & DISPATCH_PROPERTYGET) || result == nullptr) return DISP_E_MEMBERNOTFOUND;
        if (id == 1) {
            result->vt = VT_I4;
            result->lVal = static_cast<LONG>(reinterpret_cast<INT_PTR>(window_));
            return S_OK;
        }
        if (id == 2) {
            document.AddRef();
            result->vt = VT_DISPATCH;
            result->pdispVal = &document;
            return S_OK;
        }
        return DISP_E_MEMBERNOTFOUND;
    }

protected:
    bool Offers(REFIID iid) const override { return IsEqualIID(iid, kIidCadAppInterface); }

private:
    HWND window_;
};

CadStandIn::CadStandIn(HWND window) : server_(new Server(window))
{
    if (FAILED(RegisterActiveObject(server_, kCadClass, ACTIVEOBJECT_STRONG, &cookie_)))
        throw std::runtime_error("RegisterActiveObject failed");
    redirect_ = std::make_unique<ProgIdRedirect>(kCadProgId, kCadClass);
}

CadStandIn::~CadStandIn()
{
    redirect_.reset();
    RevokeActiveObject(cookie_, nullptr);
    delete server_;
}

const std::vector<std::u16string>& CadStandIn::Commands() const { return server_->document.commands; }

} // namespace gridvane::test
