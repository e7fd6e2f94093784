// The CAD's automation over COM: late-bound IDispatch calls on the running application object.
#include "cad/CadAutomationWin.h"

#include <windows.h>
#include <objbase.h>
#include <oleauto.h>

#include "com/DispatchCallWin.h"
#include "com/MessageFilterWin.h"

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

CadStatus Status(HRESULT code, const std::string& description = {})
{
    if (SUCCEEDED(code))
        return CadStatus::Success();
    std::string text = CallFailureText(code, description);
    return IsRejectedAsBusy(code) ? CadStatus::Busy(std::move(text)) : CadStatus::Failure(std::move(text));
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

constexpr std::u16string_view kApplication = u"Application";
constexpr std::u16string_view kDocument = u"Document";

// Calls member name of object (an object of kind) by name, with the arguments in reverse order as
// DISPPARAMS takes them; a failure carries the CAD's own description when it gave one.
CadStatus Call(DispatchSession& session, IDispatch* object, std::u16string_view kind, std::u16string_view name,
               WORD flags, VARIANTARG* args, UINT argCount, VARIANT* result)
{
    if (object == nullptr)
        return Status(E_POINTER);
    DISPID id = 0;
    HRESULT code = FindMemberId(session, object, std::u16string(kind), name, id);
    if (FAILED(code))
        return Status(code);
    DISPPARAMS params{args, nullptr, argCount, 0};
    std::string description;
    code = InvokeMember(session, object, id, flags, params, result, description);
    return Status(code, description);
}

} // namespace

ComCadAutomation::ComCadAutomation(CallWaitReport waitReport)
{
    session_.waitReport = std::move(waitReport);
}

ComCadAutomation::~ComCadAutomation()
{
    if (document_ != nullptr)
        static_cast<IDispatch*>(document_)->Release();
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
    CadStatus status =
        Call(session_, Dispatch(application), kApplication, u"HWND", DISPATCH_PROPERTYGET, nullptr, 0, &value);
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
    CadStatus status =
        Call(session_, Dispatch(application), kApplication, u"ActiveDocument", DISPATCH_PROPERTYGET, nullptr, 0, &doc);
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
        status = Status(
            FindMemberId(session_, static_cast<IDispatch*>(document_), std::u16string(kDocument), u"SendCommand", id));
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
        // The member's identifier was found by PrepareCommand: no look-up now.
        status = Call(session_, static_cast<IDispatch*>(document_), kDocument, u"SendCommand", DISPATCH_METHOD, &arg, 1,
                      &result);
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

std::unique_ptr<CadAutomation> MakeCadAutomation(CallWaitReport waitReport)
{
    return std::make_unique<ComCadAutomation>(std::move(waitReport));
}

} // namespace gridvane
