#pragma once
// The machinery of the out-of-process stand-ins for the spreadsheet and the CAD (Windows only, for tests):
// automation objects built from a type library of the real applications' member names and parameters
// (CreateTypeLib2, then CreateStdDispatch over it), so that the system checks call flags and arguments
// as the real application's type information makes it check them. Every object can cost a delay per
// call, reject calls as busy, refuse a locale other than 1033, and counts name look-ups and invocations
// per object kind and member.
#include <windows.h>
#include <oleauto.h>

#include <map>
#include <memory>
#include <string>
#include <vector>

namespace gridvane::standin {

/// The shape of a member: what it takes and whether it gives a value.
enum class Shape {
    Get,          // [propget] HRESULT M([out, retval] VARIANT*)
    GetCells,     // [propget] HRESULT M([in] VARIANT Cell1, [in, optional] VARIANT Cell2, [out, retval] VARIANT*)
    GetIndex,     // [propget] HRESULT M([in] long Index, [out, retval] VARIANT*)
    PutBool,      // [propput] HRESULT M([in] VARIANT_BOOL)
    CallText,     // HRESULT M([in] BSTR)
    CallTextGet,  // HRESULT M([in] BSTR, [out, retval] VARIANT*)
};

struct MemberDef {
    const wchar_t* name;
    Shape shape;
    DISPID dispid;
    const wchar_t* param1 = nullptr; // parameter names
    const wchar_t* param2 = nullptr;
};

/// One kind of object (one dual interface of the type library).
struct KindDef {
    const wchar_t* name;
    GUID iid;
    std::vector<MemberDef> members;
};

/// The arguments of one call, as the type information delivered them.
struct CallArgs {
    const VARIANT* cell1 = nullptr;
    const VARIANT* cell2 = nullptr;
    LONG index = 0;
    bool flag = false;
    std::wstring text;
};

class Object;

/// What an object of one kind answers; implemented by the stand-in programs.
class Behaviour {
public:
    virtual ~Behaviour() = default;
    /// Member number member of the object's kind was called; fill result (when the member gives one).
    virtual HRESULT Answer(const std::wstring& member, const CallArgs& args, VARIANT* result) = 0;
};

/// The switches of one stand-in server, changed from its command line or through its control member.
struct Server {
    const wchar_t* typeLibName = L"";
    GUID libId{};
    std::vector<KindDef> kinds;
    ITypeLib* typeLib = nullptr;

    long long delayMicroseconds = 0; // spent in every name look-up and invocation
    ULONGLONG busyUntil = 0;         // GetTickCount64() before which calls are rejected
    bool busyForever = false;
    HRESULT busyCode = RPC_E_CALL_REJECTED; // or RPC_E_SERVERCALL_RETRYLATER, or kObjectModelBusy (raised)
    bool englishOnly = false;        // refuse locales other than 1033 with TYPE_E_INVDATAREAD
    long busyAfterCalls = 0;         // > 0: after this many more admitted calls, busy for busyAfterMs
    long long busyAfterMs = 0;
    std::map<std::wstring, long> lookups;     // "Kind.Member" -> GetIDsOfNames calls
    std::map<std::wstring, long> invocations; // "Kind.Member" -> Invoke calls
    long liveObjects = 0;
    IDispatch* application = nullptr; // the application object while it serves
    bool showMainWindow = false;      // the main window is shown once the application serves

    bool Busy() const { return busyForever || GetTickCount64() < busyUntil; }
    /// The counts as text, one "lookups Kind.Member N" or "invokes Kind.Member N" a line.
    std::wstring CountsText() const;
    /// Handles a control command common to both stand-ins: "busy MS" (-1 for good, 0 off), "busy-after N MS"
    /// (busy for MS after N more calls), "busy-code rejected|retrylater|object-model",
    /// "delay-us N", "english-only 0|1", "counts", "reset", "live"; false when the command is not one of these.
    bool Control(const std::wstring& command, std::wstring& answer);
};

/// A new object of the kind named kind with behaviour, one reference held by the caller.
IDispatch* NewObject(Server& server, const wchar_t* kind, std::unique_ptr<Behaviour> behaviour);
/// A VARIANT holding a new object (VT_DISPATCH).
HRESULT ObjectResult(Server& server, const wchar_t* kind, std::unique_ptr<Behaviour> behaviour, VARIANT* result);

/// Writes the type library next to the executable and registers it, the class under progId and the
/// class's LocalServer32 (this executable). Returns a process exit code.
int Register(Server& server, const wchar_t* progId, const GUID& clsid);
/// Removes what Register wrote. Returns a process exit code.
int Unregister(Server& server, const wchar_t* progId, const GUID& clsid);
/// The object model's busy state, raised from a call as an exception (0x800AC472).
inline constexpr HRESULT kObjectModelBusy = static_cast<HRESULT>(0x800AC472);
/// The busy code a name gives: "rejected" (RPC_E_CALL_REJECTED, what a caller meets when the server answers
/// SERVERCALL_REJECTED), "retrylater" (RPC_E_SERVERCALL_RETRYLATER), "object-model" (kObjectModelBusy raised
/// from the call; name look-ups are answered meanwhile).
HRESULT BusyCodeNamed(const std::wstring& name);

/// Handles a command-line switch common to both stand-ins at argv[i] ("--delay-us N", "--busy-ms MS",
/// "--busy-forever", "--busy-code NAME", "--show"), stepping i over its value; false when it is not one of
/// these.
bool ServerSwitch(Server& server, int& i, int argc, wchar_t** argv);

/// The path of this executable with its extension replaced by ext.
std::wstring BesideExecutable(const wchar_t* ext);
/// The stand-in's main window, of a class of that name, not yet shown; destroying it ends the message loop.
HWND CreateMainWindow(const wchar_t* className, const std::wstring& title);
/// Runs a stand-in: enters a single-threaded apartment, loads the registered type library, makes the
/// application object (an object of kind with behaviour; server.application meanwhile), shows mainWindow
/// when server.showMainWindow, and runs the message loop until WM_QUIT, the application in the
/// running-object table for clsid meanwhile (unless registerRunning is false); then destroys mainWindow.
/// Returns a process exit code.
int Serve(Server& server, const wchar_t* kind, std::unique_ptr<Behaviour> behaviour, const GUID& clsid,
          bool registerRunning, HWND mainWindow);

} // namespace gridvane::standin
