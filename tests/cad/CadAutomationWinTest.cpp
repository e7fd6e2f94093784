// The CAD automation over real COM. A small automation server in this process stands in for the CAD:
// it is put into the running-object table under a class of its own, and the CAD's ProgID is pointed
// at that class, so every other call goes through the system as it would with the CAD.
#include <gtest/gtest.h>

#include <windows.h>
#include <objbase.h>
#include <oleauto.h>

#include <fstream>
#include <optional>

#include "base/Error.h"
#include "base/Utf.h"
#include "cad/CadAutomationWin.h"
#include "cad/CadInsertion.h"

namespace gridvane {
namespace {

// {7E3A1D0C-5B2F-4C11-8A6E-2F90C4D1B377}: the test server's class.
constexpr Guid kServerClass{0x7E3A1D0C, 0x5B2F, 0x4C11, {0x8A, 0x6E, 0x2F, 0x90, 0xC4, 0xD1, 0xB3, 0x77}};

GUID ToGuid(const Guid& g)
{
    GUID out{g.data1, g.data2, g.data3, {}};
    for (int i = 0; i < 8; ++i)
        out.Data4[i] = g.data4[i];
    return out;
}

// An automation object with the CAD's HWND property and ActiveDocument, which is the same object here
// and carries the command-line member.
class CadServer final : public IDispatch {
public:
    bool offersApplication = true;
    std::optional<std::wstring> hwndError;    // HWND fails with this description
    std::optional<std::wstring> commandError; // SendCommand fails with this description
    std::vector<std::u16string> commands;
    LONG refs = 1;

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override
    {
        *out = nullptr;
        if (IsEqualIID(iid, IID_IUnknown) || IsEqualIID(iid, IID_IDispatch) ||
            (offersApplication && IsEqualIID(iid, ToGuid(kIidCadApplication)))) {
            *out = static_cast<IDispatch*>(this);
            AddRef();
            return S_OK;
        }
        return E_NOINTERFACE;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return static_cast<ULONG>(InterlockedIncrement(&refs)); }
    ULONG STDMETHODCALLTYPE Release() override { return static_cast<ULONG>(InterlockedDecrement(&refs)); }
    HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* count) override
    {
        *count = 0;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT, LCID, ITypeInfo**) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID, LPOLESTR* names, UINT count, LCID, DISPID* ids) override
    {
        if (count != 1)
            return E_INVALIDARG;
        if (lstrcmpiW(names[0], L"HWND") == 0)
            *ids = 1;
        else if (lstrcmpiW(names[0], L"SendCommand") == 0)
            *ids = 2;
        else if (lstrcmpiW(names[0], L"ActiveDocument") == 0)
            *ids = 3;
        else
            return DISP_E_UNKNOWNNAME;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE Invoke(DISPID id, REFIID, LCID, WORD flags, DISPPARAMS* params, VARIANT* result,
                                     EXCEPINFO* exception, UINT*) override
    {
        if (id == 1 && (flags & DISPATCH_PROPERTYGET)) {
            if (hwndError)
                return Fail(*hwndError, exception);
            result->vt = VT_I4;
            result->lVal = 0x00012345;
            return S_OK;
        }
        if (id == 3 && (flags & DISPATCH_PROPERTYGET)) {
            AddRef();
            result->vt = VT_DISPATCH;
            result->pdispVal = this;
            return S_OK;
        }
        if (id == 2 && (flags & DISPATCH_METHOD)) {
            if (params->cArgs != 1 || params->rgvarg[0].vt != VT_BSTR)
                return DISP_E_TYPEMISMATCH;
            const BSTR text = params->rgvarg[0].bstrVal;
            commands.emplace_back(reinterpret_cast<const char16_t*>(text), SysStringLen(text));
            if (commandError)
                return Fail(*commandError, exception);
            return S_OK;
        }
        return DISP_E_MEMBERNOTFOUND;
    }

private:
    static HRESULT Fail(const std::wstring& description, EXCEPINFO* exception)
    {
        if (exception != nullptr) {
            *exception = EXCEPINFO{};
            exception->bstrDescription = SysAllocString(description.c_str());
            exception->scode = E_FAIL;
        }
        return DISP_E_EXCEPTION;
    }
};

// The COM automation with the CAD's ProgID pointed at the test server's class (or at another ProgID).
class RedirectedCad final : public CadAutomation {
public:
    std::u16string progId;     // looked up instead of the CAD's, when set
    std::vector<std::intptr_t> windows;

    CadStatus ClassIdFromProgId(std::u16string_view id, Guid& classId) override
    {
        if (id != kCadProgId)
            return com_.ClassIdFromProgId(id, classId);
        if (!progId.empty())
            return com_.ClassIdFromProgId(progId, classId);
        classId = kServerClass;
        return CadStatus::Success();
    }
    CadStatus ActiveObject(const Guid& c, CadRef& o) override { return com_.ActiveObject(c, o); }
    CadStatus QueryInterface(CadRef o, const Guid& i, CadRef& r) override { return com_.QueryInterface(o, i, r); }
    CadStatus ReadHwnd(CadRef a, std::intptr_t& h) override { return com_.ReadHwnd(a, h); }
    void SetForegroundWindow(std::intptr_t h) override
    {
        windows.push_back(h);
        com_.SetForegroundWindow(h);
    }
    CadStatus SendCommand(CadRef a, std::u16string_view c) override { return com_.SendCommand(a, c); }
    void Release(CadRef o) override { com_.Release(o); }

private:
    ComCadAutomation com_;
};

// Puts server into the running-object table for the life of the object.
class Registration {
public:
    explicit Registration(CadServer& server)
    {
        const GUID clsid = ToGuid(kServerClass);
        EXPECT_EQ(RegisterActiveObject(&server, clsid, ACTIVEOBJECT_STRONG, &cookie_), S_OK);
    }
    ~Registration() { RevokeActiveObject(cookie_, nullptr); }

private:
    DWORD cookie_ = 0;
};

const std::u16string kPath = u"C:\\図面 フォルダ\\Gridvane23.dxf";

std::string MessageOf(CadAutomation& cad)
{
    try {
        InsertDrawing(cad, kPath);
    } catch (const Error& error) {
        return error.what();
    }
    return "(no error)";
}

TEST(ComCadAutomation, SendsTheCommandToTheRunningServerAndReleasesIt)
{
    CadServer server;
    RedirectedCad cad;
    {
        Registration registration(server);
        const LONG before = server.refs;
        InsertDrawing(cad, kPath);
        ASSERT_EQ(server.commands.size(), 1u);
        EXPECT_EQ(server.commands[0], MakeInsertCommand(kPath));
        EXPECT_EQ(cad.windows, std::vector<std::intptr_t>{0x00012345});
        EXPECT_EQ(server.refs, before) << "references left behind";
    }
    EXPECT_EQ(server.refs, 1);
}

TEST(ComCadAutomation, FailuresCarryTheirDescriptionsAndReleaseEverything)
{
    const struct {
        const char* what;
        bool offersApplication;
        std::optional<std::wstring> hwndError;
        std::optional<std::wstring> commandError;
        std::string message;
        std::size_t commands;
    } cases[] = {
        {"no application interface", false, {}, {}, "Interface はサポートされていません", 0},
        {"HWND refused", true, L"ウィンドウがありません", {}, "ウィンドウがありません", 0},
        {"command refused", true, {}, L"コマンドを実行できません", "コマンドを実行できません", 1},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        CadServer server;
        server.offersApplication = c.offersApplication;
        server.hwndError = c.hwndError;
        server.commandError = c.commandError;
        RedirectedCad cad;
        {
            Registration registration(server);
            const LONG before = server.refs;
            EXPECT_EQ(MessageOf(cad), c.message);
            EXPECT_EQ(server.commands.size(), c.commands);
            EXPECT_EQ(server.refs, before) << "references left behind";
        }
        EXPECT_EQ(server.refs, 1);
    }
}

TEST(ComCadAutomation, ARegisteredClassWithoutInstanceIsNotRunning)
{
    RedirectedCad cad;
    cad.progId = u"Scripting.Dictionary"; // registered on every system, never in the running-object table
    Guid classId;
    ASSERT_TRUE(cad.ClassIdFromProgId(kCadProgId, classId).ok);
    EXPECT_FALSE(IsCadRunning(cad));
    EXPECT_EQ(MessageOf(cad), "(no error)");
}

TEST(ComCadAutomation, AnUnregisteredCadIsReportedWithTheSystemsDescription)
{
    ComCadAutomation com;
    Guid classId;
    if (com.ClassIdFromProgId(kCadProgId, classId).ok)
        GTEST_SKIP() << "the CAD is installed on this machine";

    const CadStatus lookup = com.ClassIdFromProgId(kCadProgId, classId);
    EXPECT_FALSE(lookup.description.empty());
    EXPECT_EQ(MessageOf(com), lookup.description);

    // The one-call form ends the same way, with the drawing file left in place.
    const std::filesystem::path drawing = std::filesystem::path(GRIDVANE_BINARY_DIR) / "cad com drawing.dxf";
    std::ofstream(drawing) << "0\r\nEOF\r\n";
    EXPECT_THROW(InsertIntoRunningCad(drawing), Error);
    EXPECT_NO_THROW(InsertIntoRunningCad(drawing.parent_path() / "missing.dxf"));
    EXPECT_TRUE(std::filesystem::exists(drawing));
    std::filesystem::remove(drawing);
}

} // namespace
} // namespace gridvane
