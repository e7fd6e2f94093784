#include "AutomationStandIn.h"

#include <array>
#include <cstdio>
#include <cwchar>
#include <sstream>
#include <utility>

namespace gridvane::standin {

// An object's member functions are reached through a vtable of our own making: the seven IDispatch
// entries, then one entry per member in the order of the type information. The type library's layout
// gives member i the slot 7 + i, which is where ITypeInfo::Invoke (behind CreateStdDispatch) calls it.
class Object {
public:
    void** vtable;   // first, as COM lays out an interface pointer
    LONG refs = 1;
    Server* server;
    const KindDef* kind;
    std::unique_ptr<Behaviour> behaviour;
    IDispatch* standard = nullptr; // CreateStdDispatch over this object and the kind's type information

    HRESULT Member(int i, const CallArgs& args, VARIANT* result)
    {
        if (i < 0 || static_cast<std::size_t>(i) >= kind->members.size())
            return E_UNEXPECTED;
        if (result != nullptr)
            VariantInit(result);
        return behaviour->Answer(kind->members[static_cast<std::size_t>(i)].name, args, result);
    }
};

namespace {

constexpr int kMaxMembers = 24;

bool SameName(const wchar_t* a, const wchar_t* b)
{
    return _wcsicmp(a, b) == 0;
}

bool IsControl(const wchar_t* name)
{
    return SameName(name, L"GvControl");
}

void Spend(long long microseconds)
{
    if (microseconds <= 0)
        return;
    LARGE_INTEGER frequency, start, now;
    QueryPerformanceFrequency(&frequency);
    QueryPerformanceCounter(&start);
    const long long ticks = microseconds * frequency.QuadPart / 1000000;
    do {
        QueryPerformanceCounter(&now);
    } while (now.QuadPart - start.QuadPart < ticks);
}

// The state every counted call meets: the delay, the busy state, the locale. A busy object model still
// answers name look-ups.
HRESULT Admit(Server& server, LCID locale, bool lookup)
{
    Spend(server.delayMicroseconds);
    if (server.busyAfterCalls > 0 && --server.busyAfterCalls == 0)
        server.busyUntil = GetTickCount64() + static_cast<ULONGLONG>(server.busyAfterMs);
    if (server.Busy() && !(lookup && server.busyCode == kObjectModelBusy))
        return server.busyCode;
    if (server.englishOnly && locale != 1033)
        return TYPE_E_INVDATAREAD;
    return S_OK;
}

Object* Self(void* p)
{
    return static_cast<Object*>(p);
}

HRESULT STDMETHODCALLTYPE QueryInterfaceEntry(void* self, REFIID iid, void** out)
{
    Object* o = Self(self);
    if (IsEqualIID(iid, IID_IUnknown) || IsEqualIID(iid, IID_IDispatch) || IsEqualIID(iid, o->kind->iid)) {
        ++o->refs;
        *out = o;
        return S_OK;
    }
    *out = nullptr;
    return E_NOINTERFACE;
}

ULONG STDMETHODCALLTYPE AddRefEntry(void* self)
{
    return static_cast<ULONG>(++Self(self)->refs);
}

ULONG STDMETHODCALLTYPE ReleaseEntry(void* self)
{
    Object* o = Self(self);
    const LONG left = --o->refs;
    if (left == 0) {
        --o->server->liveObjects;
        if (o->standard != nullptr)
            o->standard->Release();
        delete o;
    }
    return static_cast<ULONG>(left);
}

HRESULT STDMETHODCALLTYPE GetTypeInfoCountEntry(void* self, UINT* count)
{
    return Self(self)->standard->GetTypeInfoCount(count);
}

HRESULT STDMETHODCALLTYPE GetTypeInfoEntry(void* self, UINT index, LCID locale, ITypeInfo** info)
{
    return Self(self)->standard->GetTypeInfo(index, locale, info);
}

HRESULT STDMETHODCALLTYPE GetIDsOfNamesEntry(void* self, REFIID iid, LPOLESTR* names, UINT count, LCID locale,
                                             DISPID* ids)
{
    Object* o = Self(self);
    if (count >= 1 && !IsControl(names[0])) {
        std::wstring key = std::wstring(o->kind->name) + L"." + names[0];
        for (const MemberDef& m : o->kind->members)
            if (SameName(m.name, names[0]))
                key = std::wstring(o->kind->name) + L"." + m.name;
        ++o->server->lookups[key];
        if (const HRESULT admitted = Admit(*o->server, locale, true); FAILED(admitted))
            return admitted;
    }
    return o->standard->GetIDsOfNames(iid, names, count, locale, ids);
}

HRESULT STDMETHODCALLTYPE InvokeEntry(void* self, DISPID id, REFIID iid, LCID locale, WORD flags,
                                      DISPPARAMS* params, VARIANT* result, EXCEPINFO* exception, UINT* argError)
{
    Object* o = Self(self);
    const MemberDef* member = nullptr;
    for (const MemberDef& m : o->kind->members)
        if (m.dispid == id)
            member = &m;
    if (member != nullptr && !IsControl(member->name)) {
        ++o->server->invocations[std::wstring(o->kind->name) + L"." + member->name];
        if (const HRESULT admitted = Admit(*o->server, locale, false); admitted == kObjectModelBusy) {
            // Raised from the call, as the object model raises its errors.
            if (exception != nullptr) {
                *exception = EXCEPINFO{};
                exception->scode = admitted;
                exception->bstrSource = SysAllocString(L"GridvaneStandIn");
            }
            return DISP_E_EXCEPTION;
        } else if (FAILED(admitted)) {
            return admitted;
        }
    }
    // The type information decides: flags, argument count, types (coerced as the system coerces them).
    return o->standard->Invoke(id, iid, locale, flags, params, result, exception, argError);
}

// The member entries, one per shape and slot.
template <int I>
HRESULT STDMETHODCALLTYPE GetEntry(void* self, VARIANT* result)
{
    return Self(self)->Member(I, {}, result);
}

template <int I>
HRESULT STDMETHODCALLTYPE GetCellsEntry(void* self, VARIANT* cell1, VARIANT* cell2, VARIANT* result)
{
    // VARIANT arguments by value reach a function as pointers to the caller's copies (x64 calling convention).
    CallArgs args;
    args.cell1 = cell1;
    args.cell2 = cell2;
    return Self(self)->Member(I, args, result);
}

template <int I>
HRESULT STDMETHODCALLTYPE GetIndexEntry(void* self, LONG index, VARIANT* result)
{
    CallArgs args;
    args.index = index;
    return Self(self)->Member(I, args, result);
}

template <int I>
HRESULT STDMETHODCALLTYPE PutBoolEntry(void* self, VARIANT_BOOL value)
{
    CallArgs args;
    args.flag = value != VARIANT_FALSE;
    return Self(self)->Member(I, args, nullptr);
}

template <int I>
HRESULT STDMETHODCALLTYPE CallTextEntry(void* self, BSTR text)
{
    CallArgs args;
    args.text.assign(text != nullptr ? text : L"", text != nullptr ? SysStringLen(text) : 0);
    return Self(self)->Member(I, args, nullptr);
}

template <int I>
HRESULT STDMETHODCALLTYPE CallTextGetEntry(void* self, BSTR text, VARIANT* result)
{
    CallArgs args;
    args.text.assign(text != nullptr ? text : L"", text != nullptr ? SysStringLen(text) : 0);
    return Self(self)->Member(I, args, result);
}

template <template <int> class F, std::size_t... I>
std::array<void*, sizeof...(I)> Table(std::index_sequence<I...>)
{
    return {reinterpret_cast<void*>(F<static_cast<int>(I)>::Fn)...};
}

template <int I> struct GetF { static constexpr auto Fn = &GetEntry<I>; };
template <int I> struct GetCellsF { static constexpr auto Fn = &GetCellsEntry<I>; };
template <int I> struct GetIndexF { static constexpr auto Fn = &GetIndexEntry<I>; };
template <int I> struct PutBoolF { static constexpr auto Fn = &PutBoolEntry<I>; };
template <int I> struct CallTextF { static constexpr auto Fn = &CallTextEntry<I>; };
template <int I> struct CallTextGetF { static constexpr auto Fn = &CallTextGetEntry<I>; };

void* EntryFor(Shape shape, int i)
{
    static const auto get = Table<GetF>(std::make_index_sequence<kMaxMembers>());
    static const auto cells = Table<GetCellsF>(std::make_index_sequence<kMaxMembers>());
    static const auto index = Table<GetIndexF>(std::make_index_sequence<kMaxMembers>());
    static const auto put = Table<PutBoolF>(std::make_index_sequence<kMaxMembers>());
    static const auto call = Table<CallTextF>(std::make_index_sequence<kMaxMembers>());
    static const auto callGet = Table<CallTextGetF>(std::make_index_sequence<kMaxMembers>());
    const auto at = static_cast<std::size_t>(i);
    switch (shape) {
    case Shape::Get: return get[at];
    case Shape::GetCells: return cells[at];
    case Shape::GetIndex: return index[at];
    case Shape::PutBool: return put[at];
    case Shape::CallText: return call[at];
    case Shape::CallTextGet: return callGet[at];
    }
    return nullptr;
}

struct KindRuntime {
    std::vector<void*> vtable;
    ITypeInfo* info = nullptr;
};

std::map<const KindDef*, KindRuntime>& Runtimes()
{
    static std::map<const KindDef*, KindRuntime> runtimes;
    return runtimes;
}

const KindDef* FindKind(const Server& server, const wchar_t* name)
{
    for (const KindDef& k : server.kinds)
        if (SameName(k.name, name))
            return &k;
    return nullptr;
}

KindRuntime& RuntimeOf(Server& server, const KindDef& kind)
{
    KindRuntime& r = Runtimes()[&kind];
    if (!r.vtable.empty())
        return r;
    r.vtable = {reinterpret_cast<void*>(&QueryInterfaceEntry), reinterpret_cast<void*>(&AddRefEntry),
                reinterpret_cast<void*>(&ReleaseEntry),        reinterpret_cast<void*>(&GetTypeInfoCountEntry),
                reinterpret_cast<void*>(&GetTypeInfoEntry),    reinterpret_cast<void*>(&GetIDsOfNamesEntry),
                reinterpret_cast<void*>(&InvokeEntry)};
    for (std::size_t i = 0; i < kind.members.size(); ++i)
        r.vtable.push_back(EntryFor(kind.members[i].shape, static_cast<int>(i)));
    ITypeInfo* info = nullptr;
    if (server.typeLib != nullptr && SUCCEEDED(server.typeLib->GetTypeInfoOfGuid(kind.iid, &info))) {
        // A dual interface is found as its dispinterface; CreateStdDispatch wants the interface itself.
        HREFTYPE ref = 0;
        ITypeInfo* vtableInfo = nullptr;
        if (SUCCEEDED(info->GetRefTypeOfImplType(static_cast<UINT>(-1), &ref)) &&
            SUCCEEDED(info->GetRefTypeInfo(ref, &vtableInfo))) {
            info->Release();
            info = vtableInfo;
        }
    }
    r.info = info;
    return r;
}

ELEMDESC Param(VARTYPE vt, USHORT flags)
{
    ELEMDESC e{};
    e.tdesc.vt = vt;
    e.paramdesc.wParamFlags = flags;
    return e;
}

std::wstring GuidText(const GUID& guid)
{
    wchar_t text[64];
    StringFromGUID2(guid, text, 64);
    return text;
}

LSTATUS SetValue(HKEY root, const std::wstring& key, const wchar_t* name, const std::wstring& value)
{
    HKEY k = nullptr;
    LSTATUS s = RegCreateKeyExW(root, key.c_str(), 0, nullptr, 0, KEY_WRITE, nullptr, &k, nullptr);
    if (s != ERROR_SUCCESS)
        return s;
    s = RegSetValueExW(k, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
                       static_cast<DWORD>((value.size() + 1) * sizeof(wchar_t)));
    RegCloseKey(k);
    return s;
}

// Builds the type library of server's kinds at path: one dual, OLE-automation interface per kind, derived
// from IDispatch, with the members' names, parameters and DISPIDs.
HRESULT WriteTypeLibrary(Server& server, const std::wstring& path)
{
    ICreateTypeLib2* lib = nullptr;
    HRESULT hr = CreateTypeLib2(SYS_WIN64, path.c_str(), &lib);
    if (FAILED(hr))
        return hr;
    lib->SetGuid(server.libId);
    lib->SetName(const_cast<LPOLESTR>(server.typeLibName));
    lib->SetVersion(1, 0);
    lib->SetLcid(0);

    ITypeLib* stdole = nullptr;
    ITypeInfo* dispatchInfo = nullptr;
    hr = LoadRegTypeLib(IID_StdOle, 2, 0, 0, &stdole);
    if (SUCCEEDED(hr))
        hr = stdole->GetTypeInfoOfGuid(IID_IDispatch, &dispatchInfo);
    for (const KindDef& kind : server.kinds) {
        if (FAILED(hr))
            break;
        ICreateTypeInfo* info = nullptr;
        hr = lib->CreateTypeInfo(const_cast<LPOLESTR>(kind.name), TKIND_INTERFACE, &info);
        if (FAILED(hr))
            break;
        info->SetGuid(kind.iid);
        info->SetTypeFlags(TYPEFLAG_FDUAL | TYPEFLAG_FOLEAUTOMATION);
        HREFTYPE base = 0;
        hr = info->AddRefTypeInfo(dispatchInfo, &base);
        if (SUCCEEDED(hr))
            hr = info->AddImplType(0, base);
        UINT index = 0;
        for (const MemberDef& m : kind.members) {
            if (FAILED(hr))
                break;
            std::vector<ELEMDESC> params;
            std::vector<LPOLESTR> names{const_cast<LPOLESTR>(m.name)};
            INVOKEKIND invoke = INVOKE_PROPERTYGET;
            const USHORT retval = PARAMFLAG_FOUT | PARAMFLAG_FRETVAL;
            switch (m.shape) {
            case Shape::Get:
                params = {Param(VT_PTR, retval)};
                break;
            case Shape::GetCells:
                params = {Param(VT_VARIANT, PARAMFLAG_FIN), Param(VT_VARIANT, PARAMFLAG_FIN | PARAMFLAG_FOPT),
                          Param(VT_PTR, retval)};
                names.push_back(const_cast<LPOLESTR>(m.param1));
                names.push_back(const_cast<LPOLESTR>(m.param2));
                break;
            case Shape::GetIndex:
                params = {Param(VT_I4, PARAMFLAG_FIN), Param(VT_PTR, retval)};
                names.push_back(const_cast<LPOLESTR>(m.param1));
                break;
            case Shape::PutBool:
                params = {Param(VT_BOOL, PARAMFLAG_FIN)};
                invoke = INVOKE_PROPERTYPUT;
                break;
            case Shape::CallText:
                params = {Param(VT_BSTR, PARAMFLAG_FIN)};
                names.push_back(const_cast<LPOLESTR>(m.param1));
                invoke = INVOKE_FUNC;
                break;
            case Shape::CallTextGet:
                params = {Param(VT_BSTR, PARAMFLAG_FIN), Param(VT_PTR, retval)};
                names.push_back(const_cast<LPOLESTR>(m.param1));
                invoke = INVOKE_FUNC;
                break;
            }
            // A retval parameter points at a VARIANT.
            static TYPEDESC variantType{{nullptr}, VT_VARIANT};
            for (ELEMDESC& p : params)
                if (p.tdesc.vt == VT_PTR)
                    p.tdesc.lptdesc = &variantType;
            FUNCDESC f{};
            f.memid = m.dispid;
            f.funckind = FUNC_PUREVIRTUAL;
            f.invkind = invoke;
            f.callconv = CC_STDCALL;
            f.cParams = static_cast<SHORT>(params.size());
            f.cParamsOpt = 0;
            f.lprgelemdescParam = params.data();
            f.elemdescFunc.tdesc.vt = VT_HRESULT;
            hr = info->AddFuncDesc(index, &f);
            if (SUCCEEDED(hr))
                hr = info->SetFuncAndParamNames(index, names.data(), static_cast<UINT>(names.size()));
            ++index;
        }
        if (SUCCEEDED(hr))
            hr = info->LayOut();
        info->Release();
    }
    if (SUCCEEDED(hr))
        hr = lib->SaveAllChanges();
    if (dispatchInfo != nullptr)
        dispatchInfo->Release();
    if (stdole != nullptr)
        stdole->Release();
    lib->Release();
    return hr;
}

} // namespace

std::wstring Server::CountsText() const
{
    std::wostringstream out;
    for (const auto& [key, n] : lookups)
        out << L"lookups " << key << L" " << n << L"\n";
    for (const auto& [key, n] : invocations)
        out << L"invokes " << key << L" " << n << L"\n";
    return out.str();
}

bool Server::Control(const std::wstring& command, std::wstring& answer)
{
    std::wistringstream in(command);
    std::wstring verb;
    in >> verb;
    long long n = 0;
    if (verb == L"busy") {
        in >> n;
        busyForever = n < 0;
        busyUntil = n > 0 ? GetTickCount64() + static_cast<ULONGLONG>(n) : 0;
    } else if (verb == L"busy-after") {
        in >> busyAfterCalls >> busyAfterMs;
    } else if (verb == L"busy-code") {
        std::wstring code;
        in >> code;
        busyCode = BusyCodeNamed(code);
    } else if (verb == L"delay-us") {
        in >> delayMicroseconds;
    } else if (verb == L"english-only") {
        in >> n;
        englishOnly = n != 0;
    } else if (verb == L"counts") {
        answer = CountsText();
    } else if (verb == L"reset") {
        lookups.clear();
        invocations.clear();
    } else if (verb == L"live") {
        answer = std::to_wstring(liveObjects);
    } else if (verb == L"quit") {
        PostQuitMessage(0);
    } else {
        return false;
    }
    return true;
}

IDispatch* NewObject(Server& server, const wchar_t* kindName, std::unique_ptr<Behaviour> behaviour)
{
    const KindDef* kind = FindKind(server, kindName);
    if (kind == nullptr || kind->members.size() > static_cast<std::size_t>(kMaxMembers))
        return nullptr;
    KindRuntime& runtime = RuntimeOf(server, *kind);
    if (runtime.info == nullptr)
        return nullptr;
    auto* o = new Object{runtime.vtable.data(), 1, &server, kind, std::move(behaviour), nullptr};
    IUnknown* standard = nullptr;
    if (FAILED(CreateStdDispatch(nullptr, o, runtime.info, &standard))) {
        delete o;
        return nullptr;
    }
    standard->QueryInterface(IID_IDispatch, reinterpret_cast<void**>(&o->standard));
    standard->Release();
    ++server.liveObjects;
    return reinterpret_cast<IDispatch*>(o);
}

HRESULT ObjectResult(Server& server, const wchar_t* kind, std::unique_ptr<Behaviour> behaviour, VARIANT* result)
{
    IDispatch* object = NewObject(server, kind, std::move(behaviour));
    if (object == nullptr)
        return E_OUTOFMEMORY;
    result->vt = VT_DISPATCH;
    result->pdispVal = object;
    return S_OK;
}

std::wstring BesideExecutable(const wchar_t* ext)
{
    wchar_t path[MAX_PATH];
    const DWORD n = GetModuleFileNameW(nullptr, path, MAX_PATH);
    std::wstring p(path, n);
    const auto dot = p.find_last_of(L'.');
    if (dot != std::wstring::npos && dot > p.find_last_of(L"\\/"))
        p.erase(dot);
    return p + ext;
}

int Register(Server& server, const wchar_t* progId, const GUID& clsid)
{
    const std::wstring tlb = BesideExecutable(L".tlb");
    HRESULT hr = WriteTypeLibrary(server, tlb);
    if (FAILED(hr)) {
        fwprintf(stderr, L"the type library cannot be written: 0x%08lX\n", static_cast<unsigned long>(hr));
        return 1;
    }
    ITypeLib* lib = nullptr;
    // Registers the library and its interfaces, whose calls the system then marshals from it.
    hr = LoadTypeLibEx(tlb.c_str(), REGKIND_REGISTER, &lib);
    if (FAILED(hr)) {
        fwprintf(stderr, L"the type library cannot be registered: 0x%08lX\n", static_cast<unsigned long>(hr));
        return 1;
    }
    lib->Release();
    const std::wstring id = GuidText(clsid);
    const std::wstring exe = BesideExecutable(L".exe");
    LSTATUS s = SetValue(HKEY_CLASSES_ROOT, std::wstring(progId) + L"\\CLSID", nullptr, id);
    if (s == ERROR_SUCCESS)
        s = SetValue(HKEY_CLASSES_ROOT, L"CLSID\\" + id, nullptr, progId);
    if (s == ERROR_SUCCESS)
        s = SetValue(HKEY_CLASSES_ROOT, L"CLSID\\" + id + L"\\ProgID", nullptr, progId);
    if (s == ERROR_SUCCESS)
        s = SetValue(HKEY_CLASSES_ROOT, L"CLSID\\" + id + L"\\LocalServer32", nullptr, L"\"" + exe + L"\"");
    if (s != ERROR_SUCCESS) {
        fwprintf(stderr, L"the class cannot be registered: %ld\n", static_cast<long>(s));
        return 1;
    }
    return 0;
}

int Unregister(Server& server, const wchar_t* progId, const GUID& clsid)
{
    const std::wstring id = GuidText(clsid);
    RegDeleteTreeW(HKEY_CLASSES_ROOT, progId);
    RegDeleteTreeW(HKEY_CLASSES_ROOT, (L"CLSID\\" + id).c_str());
    UnRegisterTypeLib(server.libId, 1, 0, 0, SYS_WIN64);
    return 0;
}

namespace {

bool LoadTypeLibrary(Server& server)
{
    const std::wstring tlb = BesideExecutable(L".tlb");
    const HRESULT hr = LoadTypeLibEx(tlb.c_str(), REGKIND_NONE, &server.typeLib);
    if (FAILED(hr)) {
        fwprintf(stderr, L"%ls: not found (0x%08lX); run with --register first\n", tlb.c_str(),
                 static_cast<unsigned long>(hr));
        return false;
    }
    return true;
}

// Runs the message loop until WM_QUIT, the application in the running-object table for clsid meanwhile
// (unless registerRunning is false).
int ServeRunning(IDispatch* application, const GUID& clsid, bool registerRunning)
{
    DWORD cookie = 0;
    if (registerRunning) {
        const HRESULT hr = RegisterActiveObject(application, clsid, ACTIVEOBJECT_STRONG, &cookie);
        if (FAILED(hr)) {
            fwprintf(stderr, L"RegisterActiveObject: 0x%08lX\n", static_cast<unsigned long>(hr));
            return 1;
        }
    }
    MSG msg;
    while (GetMessageW(&msg, nullptr, 0, 0) > 0) {
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
    }
    if (registerRunning)
        RevokeActiveObject(cookie, nullptr);
    return 0;
}

LRESULT CALLBACK MainWindowProc(HWND window, UINT message, WPARAM w, LPARAM l)
{
    if (message == WM_DESTROY) {
        PostQuitMessage(0);
        return 0;
    }
    return DefWindowProcW(window, message, w, l);
}

int ServeInApartment(Server& server, const wchar_t* kind, std::unique_ptr<Behaviour> behaviour, const GUID& clsid,
                     bool registerRunning, HWND mainWindow)
{
    if (!LoadTypeLibrary(server))
        return 1;
    IDispatch* app = NewObject(server, kind, std::move(behaviour));
    if (app == nullptr) {
        fwprintf(stderr, L"the application object cannot be made\n");
        return 1;
    }
    server.application = app;
    if (server.showMainWindow && mainWindow != nullptr)
        ShowWindow(mainWindow, SW_SHOWNOACTIVATE);
    const int code = ServeRunning(app, clsid, registerRunning);
    server.application = nullptr;
    app->Release();
    return code;
}

} // namespace

HRESULT BusyCodeNamed(const std::wstring& name)
{
    if (name == L"retrylater")
        return RPC_E_SERVERCALL_RETRYLATER;
    if (name == L"object-model")
        return kObjectModelBusy;
    return RPC_E_CALL_REJECTED;
}

bool ServerSwitch(Server& server, int& i, int argc, wchar_t** argv)
{
    const std::wstring a = argv[i];
    const bool more = i + 1 < argc;
    if (a == L"--delay-us" && more)
        server.delayMicroseconds = _wtoi64(argv[++i]);
    else if (a == L"--busy-ms" && more)
        server.busyUntil = GetTickCount64() + static_cast<ULONGLONG>(_wtoi(argv[++i]));
    else if (a == L"--busy-forever")
        server.busyForever = true;
    else if (a == L"--busy-code" && more)
        server.busyCode = BusyCodeNamed(argv[++i]);
    else if (a == L"--show")
        server.showMainWindow = true;
    else
        return false;
    return true;
}

HWND CreateMainWindow(const wchar_t* className, const std::wstring& title)
{
    WNDCLASSW wc{};
    wc.lpfnWndProc = MainWindowProc;
    wc.hInstance = GetModuleHandleW(nullptr);
    wc.lpszClassName = className;
    RegisterClassW(&wc);
    return CreateWindowExW(0, className, title.c_str(), WS_OVERLAPPEDWINDOW, CW_USEDEFAULT, CW_USEDEFAULT, 640, 480,
                           nullptr, nullptr, wc.hInstance, nullptr);
}

int Serve(Server& server, const wchar_t* kind, std::unique_ptr<Behaviour> behaviour, const GUID& clsid,
          bool registerRunning, HWND mainWindow)
{
    int code = 1;
    if (SUCCEEDED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED))) {
        code = ServeInApartment(server, kind, std::move(behaviour), clsid, registerRunning, mainWindow);
        if (mainWindow != nullptr && IsWindow(mainWindow))
            DestroyWindow(mainWindow);
        CoUninitialize();
    }
    return code;
}

} // namespace gridvane::standin
