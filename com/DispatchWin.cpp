#include "com/DispatchWin.h"

#include <windows.h>
#include <objbase.h>
#include <oleacc.h>
#include <oleauto.h>

#include <vector>

#include "base/Error.h"
#include "base/SystemErrorWin.h"
#include "base/Utf.h"
#include "com/DispatchCallWin.h"
#include "com/MessageFilterWin.h"

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

constexpr LCID kEnglishLocale = 1033;

// Ends the session's wait, if a call waited, on every way out of the call.
class WaitEnd {
public:
    explicit WaitEnd(DispatchSession& session) : session_(session) {}
    ~WaitEnd() { session_.EndWait(); }
    WaitEnd(const WaitEnd&) = delete;
    WaitEnd& operator=(const WaitEnd&) = delete;

private:
    DispatchSession& session_;
};

// Runs call(locale) until the server takes it: a call the server asks to repeat later (IsBusyForNow) again
// after a pause until the session's retry time has passed since the first try, a call refused for the
// locale's language once more with 1033, which the session keeps from then on. A call rejected as busy
// for good (RPC_E_CALL_REJECTED) is not asked again.
template <typename Call>
HRESULT Retrying(DispatchSession& session, Call call)
{
    const WaitEnd end(session);
    const auto start = std::chrono::steady_clock::now();
    for (;;) {
        HRESULT code = call(static_cast<LCID>(session.locale));
        if (code == TYPE_E_INVDATAREAD && session.locale != kEnglishLocale) {
            session.locale = kEnglishLocale;
            code = call(static_cast<LCID>(session.locale));
        }
        if (!IsBusyForNow(code) || std::chrono::steady_clock::now() - start >= session.retryFor)
            return code;
        session.PauseWhileBusy();
    }
}

[[noreturn]] void FailCall(std::u16string_view name, HRESULT code, const std::string& description)
{
    const std::string text = ToUtf8(name) + ": " + CallFailureText(code, description);
    if (IsRejectedAsBusy(code))
        throw ServerBusyError(text);
    throw Error(text);
}

// Calls member name of dispatch; throws Error with the server's description of a failure, or the system's.
void Invoke(DispatchSession& session, void* dispatch, const std::u16string& kind, std::u16string_view name,
            WORD flags, Arguments& args, VARIANT* result)
{
    if (dispatch == nullptr)
        Fail(name, "オブジェクトがありません");
    DISPID id = 0;
    const HRESULT found = FindMemberId(session, Ptr(dispatch), kind, name, id);
    if (FAILED(found))
        FailCall(name, found, {});
    DISPID putId = DISPID_PROPERTYPUT;
    DISPPARAMS params{args.Data(), nullptr, args.Count(), 0};
    if (flags & DISPATCH_PROPERTYPUT) {
        params.rgdispidNamedArgs = &putId;
        params.cNamedArgs = 1;
    }
    std::string description;
    const HRESULT called = InvokeMember(session, Ptr(dispatch), id, flags, params, result, description);
    if (FAILED(called))
        FailCall(name, called, description);
}

void GetProperty(const DispatchObject& object, std::u16string_view name, std::initializer_list<DispatchArg> args,
                 Variant& result)
{
    if (object.Get() == nullptr)
        Fail(name, "オブジェクトがありません");
    Arguments arguments(args);
    Invoke(*object.Session(), object.Get(), object.Kind(), name, DISPATCH_PROPERTYGET | DISPATCH_METHOD, arguments,
           &result.value);
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

HRESULT FindMemberId(DispatchSession& session, IDispatch* object, const std::u16string& kind, std::u16string_view name,
                     DISPID& id)
{
    std::u16string key = kind;
    key += u'.';
    key += name;
    if (const auto it = session.ids.find(key); it != session.ids.end()) {
        id = static_cast<DISPID>(it->second);
        return S_OK;
    }
    std::wstring member = Wide(name);
    LPOLESTR names[] = {member.data()};
    const HRESULT found = Retrying(session, [&](LCID locale) {
        ++session.nameLookups;
        return object->GetIDsOfNames(IID_NULL, names, 1, locale, &id);
    });
    if (SUCCEEDED(found))
        session.ids.emplace(std::move(key), static_cast<long>(id));
    return found;
}

HRESULT InvokeMember(DispatchSession& session, IDispatch* object, DISPID id, WORD flags, DISPPARAMS& params,
                     VARIANT* result, std::string& description)
{
    return Retrying(session, [&](LCID locale) {
        ++session.invocations;
        EXCEPINFO exception{};
        UINT argError = 0;
        if (result != nullptr)
            VariantClear(result);
        const HRESULT code = object->Invoke(id, IID_NULL, locale, flags, &params, result, &exception, &argError);
        description.clear();
        if (code == DISP_E_EXCEPTION) {
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
        // A server that raises its busy state as an exception is busy all the same.
        return code == DISP_E_EXCEPTION && IsRejectedAsBusy(exception.scode) ? exception.scode : code;
    });
}

std::string CallFailureText(HRESULT code, const std::string& description)
{
    return description.empty() ? SystemErrorText(code) : description;
}

DispatchSession::DispatchSession() : locale(static_cast<std::uint32_t>(GetUserDefaultLCID())) {}

void DispatchSession::PauseWhileBusy()
{
    waiting_ = true;
    if (waitReport)
        waitReport(true);
    PauseWithMessages(kBusyRetryPause);
}

void DispatchSession::EndWait()
{
    if (!waiting_)
        return;
    waiting_ = false;
    DropInput();
    if (waitReport)
        waitReport(false);
}

DispatchObject::DispatchObject(void* dispatch, std::shared_ptr<DispatchSession> session, std::u16string kind)
    : dispatch_(dispatch), session_(session ? std::move(session) : std::make_shared<DispatchSession>()),
      kind_(std::move(kind))
{
}

DispatchObject::DispatchObject(DispatchObject&& other) noexcept
    : dispatch_(other.dispatch_), session_(std::move(other.session_)), kind_(std::move(other.kind_))
{
    other.dispatch_ = nullptr;
}

DispatchObject& DispatchObject::operator=(DispatchObject&& other) noexcept
{
    if (this != &other) {
        if (dispatch_ != nullptr)
            Ptr(dispatch_)->Release();
        dispatch_ = other.dispatch_;
        other.dispatch_ = nullptr;
        session_ = std::move(other.session_);
        kind_ = std::move(other.kind_);
    }
    return *this;
}

DispatchObject::~DispatchObject()
{
    if (dispatch_ != nullptr)
        Ptr(dispatch_)->Release();
}

DispatchObject DispatchObject::AttachRunning(std::u16string_view progId, std::u16string kind,
                                             std::u16string_view windowClass, std::shared_ptr<DispatchSession> session)
{
    const std::wstring id = Wide(progId);
    const std::string name = ToUtf8(progId);
    CLSID clsid{};
    HRESULT code = CLSIDFromProgID(id.c_str(), &clsid);
    if (FAILED(code))
        throw AttachError(AttachFailure::NotInstalled, name + ": " + SystemErrorText(code));
    IUnknown* unknown = nullptr;
    code = GetActiveObject(clsid, nullptr, &unknown);
    if (FAILED(code) || unknown == nullptr) {
        // A server that runs with higher rights keeps its entry out of our running-object table, but its
        // main window is still there to be found.
        const std::wstring wclass = Wide(windowClass);
        const bool windowExists = !wclass.empty() && FindWindowW(wclass.c_str(), nullptr) != nullptr;
        const bool unavailable = code == MK_E_UNAVAILABLE || code == S_OK;
        throw AttachError(windowExists || !unavailable ? AttachFailure::Unreachable : AttachFailure::NotRunning,
                          name + ": " + SystemErrorText(FAILED(code) ? code : E_POINTER));
    }
    void* dispatch = nullptr;
    code = unknown->QueryInterface(IID_IDispatch, &dispatch);
    unknown->Release();
    if (FAILED(code) || dispatch == nullptr)
        throw AttachError(AttachFailure::Unreachable, name + ": " + SystemErrorText(FAILED(code) ? code : E_NOINTERFACE));
    return DispatchObject(dispatch, std::move(session), std::move(kind));
}

DispatchObject DispatchObject::FromNativeWindow(void* window, std::u16string kind, std::shared_ptr<DispatchSession> session)
{
    const HWND hwnd = static_cast<HWND>(window);
    // The window's program answers WM_GETOBJECT on its own thread; one that no longer takes messages would
    // keep us waiting for good.
    if (hwnd == nullptr || IsHungAppWindow(GetAncestor(hwnd, GA_ROOT)))
        throw Error("OBJID_NATIVEOM: " + SystemErrorText(HRESULT_FROM_WIN32(ERROR_TIMEOUT)));
    void* dispatch = nullptr;
    const HRESULT code = AccessibleObjectFromWindow(hwnd, static_cast<DWORD>(OBJID_NATIVEOM), IID_IDispatch, &dispatch);
    if (FAILED(code) || dispatch == nullptr)
        throw Error("OBJID_NATIVEOM: " + SystemErrorText(FAILED(code) ? code : E_NOINTERFACE));
    return DispatchObject(dispatch, std::move(session), std::move(kind));
}

void DispatchObject::Prepare(std::u16string_view name) const
{
    if (dispatch_ == nullptr)
        Fail(name, "オブジェクトがありません");
    DISPID id = 0;
    const HRESULT found = FindMemberId(*session_, Ptr(dispatch_), kind_, name, id);
    if (FAILED(found))
        FailCall(name, found, {});
}

DispatchObject DispatchObject::Object(std::u16string_view name, std::initializer_list<DispatchArg> args,
                                      std::u16string_view kind) const
{
    Variant result;
    GetProperty(*this, name, args, result);
    IDispatch* dispatch = nullptr;
    if (result.value.vt == VT_DISPATCH) {
        // Already the automation interface: taken over as it is, no further call into the server.
        dispatch = result.value.pdispVal;
        result.value.vt = VT_EMPTY;
    } else if (result.value.vt == VT_UNKNOWN && result.value.punkVal != nullptr) {
        void* found = nullptr;
        const HRESULT code = result.value.punkVal->QueryInterface(IID_IDispatch, &found);
        if (FAILED(code) || found == nullptr)
            Fail(name, SystemErrorText(FAILED(code) ? code : E_NOINTERFACE));
        dispatch = static_cast<IDispatch*>(found);
    }
    if (dispatch == nullptr)
        Fail(name, "オブジェクトではありません");
    return DispatchObject(dispatch, session_, std::u16string(kind.empty() ? name : kind));
}

double DispatchObject::Number(std::u16string_view name, std::initializer_list<DispatchArg> args) const
{
    Variant result;
    GetProperty(*this, name, args, result);
    return ToNumber(name, result.value);
}

std::u16string DispatchObject::Text(std::u16string_view name, std::initializer_list<DispatchArg> args) const
{
    Variant result;
    GetProperty(*this, name, args, result);
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
    GetProperty(*this, name, args, result);
    return result.value.vt == VT_BOOL && result.value.boolVal != VARIANT_FALSE;
}

DispatchValue DispatchObject::Value(std::u16string_view name, std::initializer_list<DispatchArg> args) const
{
    Variant result;
    GetProperty(*this, name, args, result);
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

namespace {

// A cell error value as the spreadsheet hands it over (0x800A07D7, the facility of the application and the
// error's number), or the bare number.
std::int32_t CellErrorCode(SCODE code)
{
    const auto bits = static_cast<std::uint32_t>(code);
    if ((bits & 0xFFFF0000u) == 0x800A0000u) return static_cast<std::int32_t>(bits & 0xFFFFu);
    return static_cast<std::int32_t>(code);
}

// One value of any scalar kind; an object, an array or a type without a value throws.
DispatchValue AnyValue(std::u16string_view name, const VARIANT& value)
{
    switch (value.vt) {
    case VT_EMPTY: return std::monostate{};
    case VT_NULL: return DispatchNull{};
    case VT_ERROR: return DispatchError{CellErrorCode(value.scode)};
    case VT_BSTR: return FromBstr(value.bstrVal);
    case VT_BOOL: return value.boolVal != VARIANT_FALSE;
    case VT_R8: case VT_R4: case VT_I1: case VT_I2: case VT_I4: case VT_I8: case VT_UI1: case VT_UI2:
    case VT_UI4: case VT_UI8: case VT_INT: case VT_UINT: case VT_CY: case VT_DECIMAL: case VT_DATE:
        return ToNumber(name, value);
    default:
        Fail(name, "値を変換できません");
    }
}

} // namespace

DispatchValue DispatchObject::Any(std::u16string_view name, std::initializer_list<DispatchArg> args) const
{
    Variant result;
    GetProperty(*this, name, args, result);
    return AnyValue(name, result.value);
}

DispatchValues DispatchObject::Values(std::u16string_view name, std::initializer_list<DispatchArg> args) const
{
    Variant result;
    GetProperty(*this, name, args, result);
    DispatchValues out;
    if ((result.value.vt & VT_ARRAY) == 0) {
        out.rows = out.cols = 1;
        out.values.push_back(AnyValue(name, result.value));
        return out;
    }
    SAFEARRAY* array = (result.value.vt & VT_BYREF) ? *result.value.pparray : result.value.parray;
    if ((result.value.vt & VT_TYPEMASK) != VT_VARIANT || array == nullptr || SafeArrayGetDim(array) != 2)
        Fail(name, "値の配列ではありません");
    // Dimension 1 is the rows, 2 the columns; each from its own lower bound (1 as the spreadsheet gives it).
    LONG lower[2], upper[2];
    for (UINT d = 0; d < 2; ++d) {
        if (FAILED(SafeArrayGetLBound(array, d + 1, &lower[d])) || FAILED(SafeArrayGetUBound(array, d + 1, &upper[d])))
            Fail(name, "値の配列ではありません");
    }
    const std::int64_t rows = static_cast<std::int64_t>(upper[0]) - lower[0] + 1;
    const std::int64_t cols = static_cast<std::int64_t>(upper[1]) - lower[1] + 1;
    if (rows < 0 || cols < 0 || rows * cols > (std::int64_t{1} << 26)) Fail(name, "値の配列ではありません");
    out.rows = static_cast<std::int32_t>(rows), out.cols = static_cast<std::int32_t>(cols);
    out.values.reserve(static_cast<std::size_t>(rows * cols));
    for (LONG r = lower[0]; r <= upper[0]; ++r) {
        for (LONG c = lower[1]; c <= upper[1]; ++c) {
            LONG at[2] = {r, c};
            void* element = nullptr;
            if (FAILED(SafeArrayPtrOfIndex(array, at, &element)) || element == nullptr)
                Fail(name, "値の配列ではありません");
            out.values.push_back(AnyValue(name, *static_cast<const VARIANT*>(element)));
        }
    }
    return out;
}

void DispatchObject::Put(std::u16string_view name, bool value, std::initializer_list<DispatchArg> args) const
{
    Arguments arguments(args);
    VARIANT v;
    VariantInit(&v);
    v.vt = VT_BOOL;
    v.boolVal = value ? VARIANT_TRUE : VARIANT_FALSE;
    arguments.PrependValue(v);
    if (dispatch_ == nullptr)
        Fail(name, "オブジェクトがありません");
    Invoke(*session_, dispatch_, kind_, name, DISPATCH_PROPERTYPUT, arguments, nullptr);
}

void DispatchObject::Call(std::u16string_view name, std::initializer_list<DispatchArg> args) const
{
    if (dispatch_ == nullptr)
        Fail(name, "オブジェクトがありません");
    Arguments arguments(args);
    Variant result;
    Invoke(*session_, dispatch_, kind_, name, DISPATCH_METHOD, arguments, &result.value);
}

} // namespace gridvane
