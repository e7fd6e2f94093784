#pragma once
// Windows only: how a test or a tool in another process reaches a running stand-in (its application object
// in the running-object table, its control member GvControl) and finds the programs beside it.
#include <windows.h>
#include <oleauto.h>

#include <string>

namespace gridvane::standin {

/// The running object registered under progId, as an IDispatch the caller releases; null when none runs.
inline IDispatch* AttachRunning(const wchar_t* progId)
{
    CLSID clsid{};
    if (FAILED(CLSIDFromProgID(progId, &clsid)))
        return nullptr;
    IUnknown* unknown = nullptr;
    if (FAILED(GetActiveObject(clsid, nullptr, &unknown)) || unknown == nullptr)
        return nullptr;
    IDispatch* dispatch = nullptr;
    unknown->QueryInterface(IID_IDispatch, reinterpret_cast<void**>(&dispatch));
    unknown->Release();
    return dispatch;
}

/// Application.GvControl(command) of a stand-in's application object, in locale 1033, which every stand-in
/// takes: the call's result, and in answer the text it gave back.
inline HRESULT Control(IDispatch* application, const std::wstring& command, std::wstring& answer)
{
    LPOLESTR names[] = {const_cast<LPOLESTR>(L"GvControl")};
    DISPID id = 0;
    HRESULT code = application->GetIDsOfNames(IID_NULL, names, 1, 1033, &id);
    if (FAILED(code))
        return code;
    VARIANT arg, result;
    VariantInit(&arg);
    VariantInit(&result);
    arg.vt = VT_BSTR;
    arg.bstrVal = SysAllocStringLen(command.data(), static_cast<UINT>(command.size()));
    DISPPARAMS params{&arg, nullptr, 1, 0};
    code = application->Invoke(id, IID_NULL, 1033, DISPATCH_METHOD, &params, &result, nullptr, nullptr);
    if (SUCCEEDED(code) && result.vt == VT_BSTR)
        answer.assign(result.bstrVal, SysStringLen(result.bstrVal));
    VariantClear(&arg);
    VariantClear(&result);
    return code;
}

/// The file name in the folder of this program.
inline std::wstring BesideThisProgram(const wchar_t* name)
{
    wchar_t path[MAX_PATH];
    const DWORD n = GetModuleFileNameW(nullptr, path, MAX_PATH);
    std::wstring p(path, n);
    return p.substr(0, p.find_last_of(L"\\/") + 1) + name;
}

} // namespace gridvane::standin
