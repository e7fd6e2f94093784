// The CAD's automation over COM: late-bound IDispatch calls on the running application object.
#include "cad/CadAutomationWin.h"

#include <windows.h>
#include <objbase.h>
#include <oleauto.h>

#include "base/SystemErrorWin.h"
#include "base/Utf.h"

namespace gridvane {
namespace {

static_assert(sizeof(Guid) == sizeof(GUID));

GUID ToGuid(const Guid& guid)
{
    GUID out;
    out.Data1 = guid.data1;
    out.Data2 = guid.data2;
    out.Data3 = guid.data3;
    for (std::size_t i = 0; i < guid.data4.size(); ++i)
        out.Data4[i] = guid.data4[i];
    return out;
}

Guid FromGuid(const GUID& guid)
{
    Guid out;
    out.data1 = guid.Data1;
    out.data2 = guid.Data2;
    out.data3 = guid.Data3;
    for (std::size_t i = 0; i < out.data4.size(); ++i)
        out.data4[i] = guid.Data4[i];
    return out;
}

std::wstring Wide(std::u16string_view text)
{
    return std::wstring(text.begin(), text.end());
}

std::string Utf8(const wchar_t* text, std::size_t length)
{
    std::u16string u16(length, u'\0');
    for (std::size_t i = 0; i < length; ++i)
        u16[i] = static_cast<char16_t>(text[i]);
    return ToUtf8(u16);
}

std::string SystemDescription(HRESULT code)
{
    return SystemErrorText(static_cast<std::int32_t>(code));
}

CadStatus Status(HRESULT code)
{
    if (SUCCEEDED(code))
        return CadStatus::Success();
    return CadStatus::Failure(SystemDescription(code));
}

// Frees the strings of an EXCEPINFO when it goes out of scope.
struct ExceptionInfo {
    EXCEPINFO info{};
    ~ExceptionInfo()
    {
        SysFreeString(info.bstrSource);
        SysFreeString(info.bstrDescription);
        SysFreeString(info.bstrHelpFile);
    }
};

// The server's own description of a failed call when it gave one, else the system's.
CadStatus InvokeStatus(HRESULT code, ExceptionInfo& exception)
{
    if (SUCCEEDED(code))
        return CadStatus::Success();
    if (code == DISP_E_EXCEPTION) {
        if (exception.info.pfnDeferredFillIn != nullptr)
            exception.info.pfnDeferredFillIn(&exception.info);
        if (exception.info.bstrDescription != nullptr && SysStringLen(exception.info.bstrDescription) > 0)
            return CadStatus::Failure(
                Utf8(exception.info.bstrDescription, SysStringLen(exception.info.bstrDescription)));
        if (exception.info.scode != 0)
            return CadStatus::Failure(SystemDescription(exception.info.scode));
    }
    return CadStatus::Failure(SystemDescription(code));
}

IUnknown* Object(CadRef ref)
{
    return reinterpret_cast<IUnknown*>(ref);
}

// The application's interface is dual, so its pointer is an IDispatch pointer as well.
IDispatch* Dispatch(CadRef ref)
{
    return reinterpret_cast<IDispatch*>(ref);
}

// Calls the member name of application by name with the given arguments (in reverse order, as
// DISPPARAMS takes them).
CadStatus InvokeByName(CadRef application, const wchar_t* name, WORD flags, VARIANTARG* args, UINT argCount,
                       VARIANT* result)
{
    IDispatch* dispatch = Dispatch(application);
    if (dispatch == nullptr)
        return Status(E_POINTER);
    DISPID id = 0;
    LPOLESTR names[] = {const_cast<LPOLESTR>(name)};
    const HRESULT found = dispatch->GetIDsOfNames(IID_NULL, names, 1, GetUserDefaultLCID(), &id);
    if (FAILED(found))
        return Status(found);
    DISPPARAMS params{args, nullptr, argCount, 0};
    ExceptionInfo exception;
    UINT argError = 0;
    const HRESULT called =
        dispatch->Invoke(id, IID_NULL, GetUserDefaultLCID(), flags, &params, result, &exception.info, &argError);
    return InvokeStatus(called, exception);
}

} // namespace

ComCadAutomation::ComCadAutomation()
{
    const HRESULT code = CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    // S_FALSE: already initialised on this thread, which still needs balancing.
    initialized_ = SUCCEEDED(code);
}

ComCadAutomation::~ComCadAutomation()
{
    if (initialized_)
        CoUninitialize();
}

CadStatus ComCadAutomation::ClassIdFromProgId(std::u16string_view progId, Guid& classId)
{
    CLSID clsid{};
    const HRESULT code = CLSIDFromProgID(Wide(progId).c_str(), &clsid);
    if (SUCCEEDED(code))
        classId = FromGuid(clsid);
    return Status(code);
}

CadStatus ComCadAutomation::ActiveObject(const Guid& classId, CadRef& object)
{
    const CLSID clsid = ToGuid(classId);
    IUnknown* unknown = nullptr;
    const HRESULT code = GetActiveObject(clsid, nullptr, &unknown);
    object = reinterpret_cast<CadRef>(unknown);
    return Status(code);
}

CadStatus ComCadAutomation::QueryInterface(CadRef object, const Guid& iid, CadRef& result)
{
    IUnknown* unknown = Object(object);
    if (unknown == nullptr)
        return Status(E_POINTER);
    const IID id = ToGuid(iid);
    void* found = nullptr;
    const HRESULT code = unknown->QueryInterface(id, &found);
    result = reinterpret_cast<CadRef>(found);
    return Status(code);
}

CadStatus ComCadAutomation::ReadHwnd(CadRef application, std::intptr_t& hwnd)
{
    VARIANT value;
    VariantInit(&value);
    CadStatus status = InvokeByName(application, L"HWND", DISPATCH_PROPERTYGET, nullptr, 0, &value);
    if (status.ok) {
        // The handle comes as a 32- or 64-bit integer depending on the server's build.
        const HRESULT converted = VariantChangeType(&value, &value, 0, VT_I8);
        if (SUCCEEDED(converted))
            hwnd = static_cast<std::intptr_t>(value.llVal);
        else
            status = Status(converted);
    }
    VariantClear(&value);
    return status;
}

void ComCadAutomation::SetForegroundWindow(std::intptr_t hwnd)
{
    ::SetForegroundWindow(reinterpret_cast<HWND>(hwnd));
}

CadStatus ComCadAutomation::SendCommand(CadRef application, std::u16string_view command)
{
    VARIANTARG arg;
    VariantInit(&arg);
    arg.vt = VT_BSTR;
    arg.bstrVal = SysAllocStringLen(reinterpret_cast<const OLECHAR*>(command.data()), static_cast<UINT>(command.size()));
    if (arg.bstrVal == nullptr)
        return Status(E_OUTOFMEMORY);
    VARIANT result;
    VariantInit(&result);
    const CadStatus status = InvokeByName(application, L"SendCommand", DISPATCH_METHOD, &arg, 1, &result);
    VariantClear(&result);
    VariantClear(&arg);
    return status;
}

void ComCadAutomation::Release(CadRef object)
{
    if (IUnknown* unknown = Object(object))
        unknown->Release();
}

std::unique_ptr<CadAutomation> MakeCadAutomation()
{
    return std::make_unique<ComCadAutomation>();
}

} // namespace gridvane
