#include "excel/DispatchWin.h"

#include <windows.h>
#include <objbase.h>
#include <oleauto.h>

#include <vector>

#include "base/Error.h"
#include "base/SystemErrorWin.h"
#include "base/Utf.h"

namespace gridvane {
namespace {

IDispatch* Ptr(void* dispatch)
{
    return static_cast<IDispatch*>(dispatch);
}

std::wstring Wide(std::u16string_view text)
{
    return std::wstring(text.begin(), text.end());
}

std::u16string FromBstr(BSTR text)
{
    if (text == nullptr)
        return {};
    return std::u16string(reinterpret_cast<const char16_t*>(text), SysStringLen(text));
}

[[noreturn]] void Fail(std::u16string_view member, const std::string& description)
{
    throw Error(ToUtf8(member) + ": " + description);
}

// A VARIANT cleared when it goes out of scope.
struct Variant {
    VARIANT value;
    Variant() { VariantInit(&value); }
    ~Variant() { VariantClear(&value); }
    Variant(const Variant&) = delete;
    Variant& operator=(const Variant&) = delete;
};

// The arguments of one call in the reverse order DISPPARAMS takes them, cleared at the end.
class Arguments {
public:
    explicit Arguments(std::initializer_list<DispatchArg> args)
    {
        values_.resize(args.size());
        std::size_t i = args.size();
        for (const DispatchArg& arg : args) {
            VARIANT& v = values_[--i];
            VariantInit(&v);
            if (const auto* number = std::get_if<std::int32_t>(&arg)) {
                v.vt = VT_I4;
                v.lVal = *number;
            } else {
                const std::u16string& text = std::get<std::u16string>(arg);
                v.vt = VT_BSTR;
                v.bstrVal = SysAllocStringLen(reinterpret_cast<const OLECHAR*>(text.data()), static_cast<UINT>(text.size()));
                if (v.bstrVal == nullptr)
                    throw std::bad_alloc();
            }
        }
    }
    ~Arguments()
    {
        for (VARIANT& v : values_)
            VariantClear(&v);
    }
    Arguments(const Arguments&) = delete;
    Arguments& operator=(const Arguments&) = delete;

    // Puts value in front, as the value of a property write.
    void PrependValue(const VARIANT& value) { values_.insert(values_.begin(), value); }
    VARIANT* Data() { return values_.empty() ? nullptr : values_.data(); }
    UINT Count() const { return static_cast<UINT>(values_.size()); }

private:
    std::vector<VARIANT> values_;
};

// Calls member name of dispatch; throws Error with the server's description of a failure, or the system's.
void Invoke(void* dispatch, std::u16string_view name, WORD flags, Arguments& args, VARIANT* result)
{
    if (dispatch == nullptr)
        Fail(name, "オブジェクトがありません");
    const LCID locale = GetUserDefaultLCID();
    std::wstring member = Wide(name);
    LPOLESTR names[] = {member.data()};
    DISPID id = 0;
    const HRESULT found = Ptr(dispatch)->GetIDsOfNames(IID_NULL, names, 1, locale, &id);
    if (FAILED(found))
        Fail(name, SystemErrorText(found));

    DISPID putId = DISPID_PROPERTYPUT;
    DISPPARAMS params{args.Data(), nullptr, args.Count(), 0};
    if (flags & DISPATCH_PROPERTYPUT) {
        params.rgdispidNamedArgs = &putId;
        params.cNamedArgs = 1;
    }
    EXCEPINFO exception{};
    UINT argError = 0;
    const HRESULT called = Ptr(dispatch)->Invoke(id, IID_NULL, locale, flags, &params, result, &exception, &argError);
    std::string description;
    if (called == DISP_E_EXCEPTION) {
        if (exception.pfnDeferredFillIn != nullptr)
            exception.pfnDeferredFillIn(&exception);
        if (exception.bstrDescription != nullptr && SysStringLen(exception.bstrDescription) > 0)
            description = ToUtf8(FromBstr(exception.bstrDescription));
        else if (exception.scode != 0)
            description = SystemErrorText(exception.scode);
    }
    SysFreeString(exception.bstrSource);
    SysFreeString(exception.bstrDescription);
    SysFreeString(exception.bstrHelpFile);
    if (FAILED(called))
        Fail(name, description.empty() ? SystemErrorText(called) : description);
}

void GetProperty(void* dispatch, std::u16string_view name, std::initializer_list<DispatchArg> args, Variant& result)
{
    Arguments arguments(args);
    Invoke(dispatch, name, DISPATCH_PROPERTYGET | DISPATCH_METHOD, arguments, &result.value);
}

// Null and error values cannot be converted.
void RejectNullAndError(std::u16string_view name, const VARIANT& value)
{
    if (value.vt == VT_NULL)
        Fail(name, "値が Null です");
    if (value.vt == VT_ERROR)
        Fail(name, "値がエラー値です");
}

double ToNumber(std::u16string_view name, const VARIANT& value)
{
    if (value.vt == VT_EMPTY)
        return 0;
    RejectNullAndError(name, value);
    Variant number;
    const HRESULT converted = VariantChangeTypeEx(&number.value, const_cast<VARIANT*>(&value), GetUserDefaultLCID(), 0, VT_R8);
    if (FAILED(converted))
        Fail(name, SystemErrorText(converted));
    return number.value.dblVal;
}

} // namespace

ComApartment::ComApartment()
{
    // S_FALSE (already initialised on this thread) must be balanced as well.
    initialized_ = SUCCEEDED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED));
}

ComApartment::~ComApartment()
{
    if (initialized_)
        CoUninitialize();
}

DispatchObject& DispatchObject::operator=(DispatchObject&& other) noexcept
{
    if (this != &other) {
        if (dispatch_ != nullptr)
            Ptr(dispatch_)->Release();
        dispatch_ = other.dispatch_;
        other.dispatch_ = nullptr;
    }
    return *this;
}

DispatchObject::~DispatchObject()
{
    if (dispatch_ != nullptr)
        Ptr(dispatch_)->Release();
}

DispatchObject DispatchObject::AttachRunning(std::u16string_view progId)
{
    const std::wstring id = Wide(progId);
    CLSID clsid{};
    HRESULT code = CLSIDFromProgID(id.c_str(), &clsid);
    if (FAILED(code))
        Fail(progId, SystemErrorText(code));
    IUnknown* unknown = nullptr;
    code = GetActiveObject(clsid, nullptr, &unknown);
    if (FAILED(code) || unknown == nullptr)
        Fail(progId, SystemErrorText(FAILED(code) ? code : E_POINTER));
    void* dispatch = nullptr;
    code = unknown->QueryInterface(IID_IDispatch, &dispatch);
    unknown->Release();
    if (FAILED(code) || dispatch == nullptr)
        Fail(progId, SystemErrorText(FAILED(code) ? code : E_NOINTERFACE));
    return DispatchObject(dispatch);
}

DispatchObject DispatchObject::Object(std::u16string_view name, std::initializer_list<DispatchArg> args) const
{
    Variant result;
    GetProperty(dispatch_, name, args, result);
    IUnknown* unknown = nullptr;
    if (result.value.vt == VT_DISPATCH)
        unknown = result.value.pdispVal;
    else if (result.value.vt == VT_UNKNOWN)
        unknown = result.value.punkVal;
    if (unknown == nullptr)
        Fail(name, "オブジェクトではありません");
    void* dispatch = nullptr;
    const HRESULT code = unknown->QueryInterface(IID_IDispatch, &dispatch);
    if (FAILED(code) || dispatch == nullptr)
        Fail(name, SystemErrorText(FAILED(code) ? code : E_NOINTERFACE));
    return DispatchObject(dispatch);
}

double DispatchObject::Number(std::u16string_view name, std::initializer_list<DispatchArg> args) const
{
    Variant result;
    GetProperty(dispatch_, name, args, result);
    return ToNumber(name, result.value);
}

std::u16string DispatchObject::Text(std::u16string_view name, std::initializer_list<DispatchArg> args) const
{
    Variant result;
    GetProperty(dispatch_, name, args, result);
    if (result.value.vt == VT_EMPTY)
        return {};
    RejectNullAndError(name, result.value);
    if (result.value.vt == VT_BSTR)
        return FromBstr(result.value.bstrVal);
    Variant text;
    const HRESULT converted = VariantChangeTypeEx(&text.value, &result.value, GetUserDefaultLCID(), 0, VT_BSTR);
    if (FAILED(converted))
        Fail(name, SystemErrorText(converted));
    return FromBstr(text.value.bstrVal);
}

bool DispatchObject::Boolean(std::u16string_view name, std::initializer_list<DispatchArg> args) const
{
    Variant result;
    GetProperty(dispatch_, name, args, result);
    return result.value.vt == VT_BOOL && result.value.boolVal != VARIANT_FALSE;
}

DispatchValue DispatchObject::Value(std::u16string_view name, std::initializer_list<DispatchArg> args) const
{
    Variant result;
    GetProperty(dispatch_, name, args, result);
    switch (result.value.vt) {
    case VT_EMPTY:
        return std::monostate{};
    case VT_BSTR:
        return FromBstr(result.value.bstrVal);
    case VT_BOOL:
        return result.value.boolVal != VARIANT_FALSE;
    case VT_NULL:
    case VT_ERROR:
        RejectNullAndError(name, result.value);
        break;
    case VT_R8: case VT_R4: case VT_I1: case VT_I2: case VT_I4: case VT_I8: case VT_UI1: case VT_UI2:
    case VT_UI4: case VT_UI8: case VT_INT: case VT_UINT: case VT_CY: case VT_DECIMAL: case VT_DATE:
        return ToNumber(name, result.value);
    default:
        break;
    }
    Fail(name, "値を変換できません");
}

void DispatchObject::Put(std::u16string_view name, bool value, std::initializer_list<DispatchArg> args) const
{
    Arguments arguments(args);
    VARIANT v;
    VariantInit(&v);
    v.vt = VT_BOOL;
    v.boolVal = value ? VARIANT_TRUE : VARIANT_FALSE;
    arguments.PrependValue(v);
    Invoke(dispatch_, name, DISPATCH_PROPERTYPUT, arguments, nullptr);
}

} // namespace gridvane
