// gridvane-cad-standin: an out-of-process stand-in for the running CAD ("BricscadApp.AcadApplication"):
// an application object with the CAD's dual interface {D48F17B7-773E-4238-A6C6-B2BBEBAA9A1E}, its HWND
// (VT_I8 of a real top-level window) and ActiveDocument, whose SendCommand(Command) takes the command
// line; the application itself has no SendCommand, as in the CAD's object model.
//
//   gridvane-cad-standin --register | --unregister
//   gridvane-cad-standin [--minimized] [--delay-us N] [--busy-ms N | --busy-forever] [--log FILE]
//
// Application.GvControl(command): "last-command" (the text last sent, \r as it came), "commands" (how
// many), "iconic" (1 while the window is minimised), plus the common ones (Server::Control). --log FILE
// appends every command received to FILE (UTF-8), for programs that cannot ask.
#include "AutomationStandIn.h"

#include <cstdio>
#include <string>

namespace gridvane::standin {
namespace {

constexpr GUID kClsidCad{0x7a1f1c52, 0x4b1e, 0x4e0b, {0x9d, 0x6e, 0x47, 0x72, 0x69, 0x64, 0x76, 0x10}};
constexpr GUID kLibId{0x7a1f1c52, 0x4b1e, 0x4e0b, {0x9d, 0x6e, 0x47, 0x72, 0x69, 0x64, 0x76, 0x11}};
constexpr GUID kIidApplication{0xD48F17B7, 0x773E, 0x4238, {0xA6, 0xC6, 0xB2, 0xBB, 0xEB, 0xAA, 0x9A, 0x1E}};
constexpr GUID kIidDocument{0x7a1f1c52, 0x4b1e, 0x4e0b, {0x9d, 0x6e, 0x47, 0x72, 0x69, 0x64, 0x76, 0x12}};

std::vector<KindDef> CadKinds()
{
    return {
        {L"AcadApplication", kIidApplication,
         {{L"HWND", Shape::Get, 0x600200E0},
          {L"ActiveDocument", Shape::Get, 0x60020001},
          {L"GvControl", Shape::CallTextGet, 0x6000, L"Command"}}},
        {L"AcadDocument", kIidDocument,
         {{L"Name", Shape::Get, 0x60020000}, {L"SendCommand", Shape::CallText, 0x6002003C, L"Command"}}},
    };
}

Server server;
HWND mainWindow = nullptr;
std::wstring lastCommand;
long commands = 0;
std::wstring logPath;

HRESULT Str(const std::wstring& v, VARIANT* result)
{
    result->vt = VT_BSTR;
    result->bstrVal = SysAllocStringLen(v.data(), static_cast<UINT>(v.size()));
    return S_OK;
}

class DocumentObject : public Behaviour {
public:
    HRESULT Answer(const std::wstring& m, const CallArgs& args, VARIANT* result) override
    {
        if (m == L"Name")
            return Str(L"Drawing1.dwg", result);
        lastCommand = args.text;
        ++commands;
        if (!logPath.empty()) {
            if (FILE* f = _wfopen(logPath.c_str(), L"ab")) {
                const int n = WideCharToMultiByte(CP_UTF8, 0, args.text.data(), static_cast<int>(args.text.size()),
                                                  nullptr, 0, nullptr, nullptr);
                std::string u8(static_cast<std::size_t>(n), '\0');
                WideCharToMultiByte(CP_UTF8, 0, args.text.data(), static_cast<int>(args.text.size()), u8.data(), n,
                                    nullptr, nullptr);
                fwrite(u8.data(), 1, u8.size(), f);
                fputc('\n', f);
                fclose(f);
            }
        }
        return S_OK;
    }
};

class ApplicationObject : public Behaviour {
public:
    HRESULT Answer(const std::wstring& m, const CallArgs& args, VARIANT* result) override
    {
        if (m == L"HWND") {
            result->vt = VT_I8; // LONG_PTR on a 64-bit CAD
            result->llVal = reinterpret_cast<LONG_PTR>(mainWindow);
            return S_OK;
        }
        if (m == L"ActiveDocument")
            return ObjectResult(server, L"AcadDocument", std::make_unique<DocumentObject>(), result);
        std::wstring answer;
        if (args.text == L"last-command")
            answer = lastCommand;
        else if (args.text == L"commands")
            answer = std::to_wstring(commands);
        else if (args.text == L"iconic")
            answer = IsIconic(mainWindow) ? L"1" : L"0";
        else if (args.text == L"minimize")
            ShowWindow(mainWindow, SW_MINIMIZE);
        else if (!server.Control(args.text, answer))
            return E_INVALIDARG;
        return Str(answer, result);
    }
};

} // namespace
} // namespace gridvane::standin

int wmain(int argc, wchar_t** argv)
{
    using namespace gridvane::standin;
    server.typeLibName = L"GridvaneCadStandIn";
    server.libId = kLibId;
    server.kinds = CadKinds();
    bool minimized = false;
    for (int i = 1; i < argc; ++i) {
        const std::wstring a = argv[i];
        const bool more = i + 1 < argc;
        if (a == L"--register") return Register(server, L"BricscadApp.AcadApplication", kClsidCad);
        if (a == L"--unregister") return Unregister(server, L"BricscadApp.AcadApplication", kClsidCad);
        if (ServerSwitch(server, i, argc, argv)) continue;
        if (a == L"--minimized") minimized = true;
        else if (a == L"--log" && more) logPath = argv[++i];
        else {
            fwprintf(stderr, L"unknown argument %ls\n", argv[i]);
            return 2;
        }
    }
    mainWindow = CreateMainWindow(L"GridvaneCadStandIn", L"BricsCAD stand-in - Drawing1.dwg");
    ShowWindow(mainWindow, minimized ? SW_SHOWMINNOACTIVE : SW_SHOWNOACTIVATE);
    return Serve(server, L"AcadApplication", std::make_unique<ApplicationObject>(), kClsidCad, true, mainWindow);
}
