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

constexpr DWORD kRetryForMs = 10000;
constexpr DWORD kRetryPauseMs = 100;

bool Rejected(HRESULT code)
{
    return code == RPC_E_CALL_REJECTED || code == RPC_E_SERVERCALL_RETRYLATER;
}

// call() again while the CAD rejects it as busy, every 100 ms for about 10 s (as the message filter does
// where the system asks it), letting window messages run in between.
template <typename Call>
HRESULT Retrying(Call call)
{
    const ULONGLONG start = GetTickCount64();
    for (;;) {
        const HRESULT code = call();
        if (!Rejected(code) || GetTickCount64() - start >= kRetryForMs)
            return code;
        const ULONGLONG end = GetTickCount64() + kRetryPauseMs;
        for (ULONGLONG now = GetTickCount64(); now < end; now = GetTickCount64()) {
            MSG msg;
            while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
                TranslateMessage(&msg);
                DispatchMessageW(&msg);
            }
            MsgWaitForMultipleObjectsEx(0, nullptr, static_cast<DWORD>(end - now), QS_ALLINPUT, MWMO_INPUTAVAILABLE);
        }
    }
}

// The identifier of member name of object.
CadStatus FindId(IDispatch* object, const wchar_t* name, DISPID& id)
{
    if (object == nullptr)
        return Status(E_POINTER);
    LPOLESTR names[] = {const_cast<LPOLESTR>(name)};
    return Status(Retrying([&] { return object->GetIDsOfNames(IID_NULL, names, 1, GetUserDefaultLCID(), &id); }));
}

// Calls member id of object with the given arguments (in reverse order, as DISPPARAMS takes them).
CadStatus InvokeId(IDispatch* object, DISPID id, WORD flags, VARIANTARG* args, UINT argCount, VARIANT* result)
{
    DISPPARAMS params{args, nullptr, argCount, 0};
    ExceptionInfo exception;
    const HRESULT called = Retrying([&] {
        UINT argError = 0;
        SysFreeString(exception.info.bstrSource);
        SysFreeString(exception.info.bstrDescription);
        SysFreeString(exception.info.bstrHelpFile);
        exception.info = EXCEPINFO{};
        if (result != nullptr)
            VariantClear(result);
        return object->Invoke(id, IID_NULL, GetUserDefaultLCID(), flags, &params, result, &exception.info, &argError);
    });
    return InvokeStatus(called, exception);
}

// Calls the member name of object by name.
CadStatus InvokeByName(IDispatch* object, const wchar_t* name, WORD flags, VARIANTARG* args, UINT argCount,
                       VARIANT* result)
{
    DISPID id = 0;
    CadStatus status = FindId(object, name, id);
    if (!status.ok)
        return status;
    return InvokeId(object, id, flags, args, argCount, result);
}

// Retries calls rejected with SERVERCALL_RETRYLATER for about 10 s.
class RetryFilter final : public IMessageFilter {
public:
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override
    {
        if (IsEqualIID(iid, IID_IUnknown) || IsEqualIID(iid, IID_IMessageFilter)) {
            *out = static_cast<IMessageFilter*>(this);
            AddRef();
            return S_OK;
        }
        *out = nullptr;
        return E_NOINTERFACE;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return static_cast<ULONG>(InterlockedIncrement(&refs_)); }
    ULONG STDMETHODCALLTYPE Release() override
    {
        const LONG left = InterlockedDecrement(&refs_);
        if (left == 0)
            delete this;
        return static_cast<ULONG>(left);
    }
    DWORD STDMETHODCALLTYPE HandleInComingCall(DWORD, HTASK, DWORD, LPINTERFACEINFO) override
    {
        return SERVERCALL_ISHANDLED;
    }
    DWORD STDMETHODCALLTYPE RetryRejectedCall(HTASK, DWORD elapsedMs, DWORD rejectType) override
    {
        return rejectType == SERVERCALL_RETRYLATER && elapsedMs < kRetryForMs ? kRetryPauseMs : static_cast<DWORD>(-1);
    }
    DWORD STDMETHODCALLTYPE MessagePending(HTASK, DWORD, DWORD) override { return PENDINGMSG_WAITDEFPROCESS; }

private:
    ~RetryFilter() = default;
    LONG refs_ = 1;
};

} // namespace

ComCadAutomation::ComCadAutomation()
{
    const HRESULT code = CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    // S_FALSE: already initialised on this thread, which still needs balancing.
    initialized_ = SUCCEEDED(code);
    // For the one insertion this object serves: calls the CAD rejects as busy are asked again.
    auto* filter = new RetryFilter;
    IMessageFilter* previous = nullptr;
    if (SUCCEEDED(CoRegisterMessageFilter(filter, &previous))) {
        filter_ = filter;
        previousFilter_ = previous;
    } else {
        filter->Release();
    }
}

ComCadAutomation::~ComCadAutomation()
{
    if (document_ != nullptr)
        static_cast<IDispatch*>(document_)->Release();
    if (filter_ != nullptr) {
        IMessageFilter* ours = nullptr;
        CoRegisterMessageFilter(static_cast<IMessageFilter*>(previousFilter_), &ours);
        if (ours != nullptr)
            ours->Release();
        if (previousFilter_ != nullptr)
            static_cast<IMessageFilter*>(previousFilter_)->Release();
        static_cast<IMessageFilter*>(filter_)->Release();
    }
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
    CadStatus status = InvokeByName(Dispatch(application), L"HWND", DISPATCH_PROPERTYGET, nullptr, 0, &value);
    if (status.ok) {
        // The handle comes as a 32- or 64-bit integer depending on the server's build.
        const HRESULT converted = VariantChangeType(&value, &value, 0, VT_I8);
        if (SUCCEEDED(converted))
            hwnd = static_cast<std::intptr_t>(value.llVal);
        else
            status = Status(converted);
    }
    VariantClear(&value);
    if (status.ok)
        status = PrepareCommand(application);
    return status;
}

CadStatus ComCadAutomation::PrepareCommand(CadRef application)
{
    // Everything the command needs is looked up now, before the CAD's window comes to the front, so that
    // a failure is reported over our own window and not hidden behind the CAD's.
    if (document_ != nullptr && application == preparedFor_)
        return CadStatus::Success();
    if (document_ != nullptr) {
        static_cast<IDispatch*>(document_)->Release();
        document_ = nullptr;
    }
    // The command line belongs to the document in the CAD's object model: Application.ActiveDocument.
    VARIANT doc;
    VariantInit(&doc);
    CadStatus status = InvokeByName(Dispatch(application), L"ActiveDocument", DISPATCH_PROPERTYGET, nullptr, 0, &doc);
    if (status.ok) {
        if (doc.vt == VT_DISPATCH && doc.pdispVal != nullptr) {
            document_ = doc.pdispVal;
            doc.vt = VT_EMPTY;
        } else {
            status = CadStatus::Failure("ActiveDocument: 図面が開かれていません");
        }
    }
    VariantClear(&doc);
    if (status.ok) {
        DISPID id = 0;
        status = FindId(static_cast<IDispatch*>(document_), L"SendCommand", id);
        sendCommandId_ = id;
    }
    if (status.ok) {
        preparedFor_ = application;
    } else if (document_ != nullptr) {
        static_cast<IDispatch*>(document_)->Release();
        document_ = nullptr;
    }
    return status;
}

void ComCadAutomation::SetForegroundWindow(std::intptr_t hwnd)
{
    const HWND window = reinterpret_cast<HWND>(hwnd);
    ownWindow_ = reinterpret_cast<std::intptr_t>(GetForegroundWindow());
    // A minimised window would come to the front as a button on the task bar only.
    if (IsIconic(window))
        ShowWindow(window, SW_RESTORE);
    ::SetForegroundWindow(window);
}

CadStatus ComCadAutomation::SendCommand(CadRef application, std::u16string_view command)
{
    CadStatus status = PrepareCommand(application);
    if (status.ok) {
        VARIANTARG arg;
        VariantInit(&arg);
        arg.vt = VT_BSTR;
        arg.bstrVal =
            SysAllocStringLen(reinterpret_cast<const OLECHAR*>(command.data()), static_cast<UINT>(command.size()));
        if (arg.bstrVal == nullptr)
            return Status(E_OUTOFMEMORY);
        VARIANT result;
        VariantInit(&result);
        status = InvokeId(static_cast<IDispatch*>(document_), static_cast<DISPID>(sendCommandId_), DISPATCH_METHOD,
                          &arg, 1, &result);
        VariantClear(&result);
        VariantClear(&arg);
    }
    // The error box that follows belongs over our window, which the CAD's has just covered.
    if (!status.ok && ownWindow_ != 0)
        ::SetForegroundWindow(reinterpret_cast<HWND>(ownWindow_));
    return status;
}

void ComCadAutomation::Release(CadRef object)
{
    // The document goes with the application it was found through.
    if (object != 0 && object == preparedFor_ && document_ != nullptr) {
        static_cast<IDispatch*>(document_)->Release();
        document_ = nullptr;
        preparedFor_ = 0;
    }
    if (IUnknown* unknown = Object(object))
        unknown->Release();
}

std::unique_ptr<CadAutomation> MakeCadAutomation()
{
    return std::make_unique<ComCadAutomation>();
}

} // namespace gridvane
