// gridvane-standin-ctl: asks a running stand-in something through its control member.
//
//   gridvane-standin-ctl PROGID wait [SECONDS]   wait until PROGID is in the running-object table
//   gridvane-standin-ctl PROGID COMMAND...        Application.GvControl("COMMAND ...") and print the answer
//
// PROGID is Excel.Application or BricscadApp.AcadApplication. Exit status 0 done, 1 failed.
#include <windows.h>
#include <oleauto.h>

#include <cstdio>
#include <string>

#include "StandInClient.h"

using gridvane::standin::AttachRunning;

int wmain(int argc, wchar_t** argv)
{
    if (argc < 3) {
        fwprintf(stderr, L"usage: gridvane-standin-ctl PROGID wait [SECONDS] | COMMAND...\n");
        return 2;
    }
    CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    const std::wstring verb = argv[2];
    if (verb == L"wait") {
        const ULONGLONG end = GetTickCount64() + 1000ull * static_cast<ULONGLONG>(argc > 3 ? _wtoi(argv[3]) : 30);
        while (GetTickCount64() < end) {
            if (IDispatch* d = AttachRunning(argv[1])) {
                d->Release();
                return 0;
            }
            Sleep(100);
        }
        fwprintf(stderr, L"%ls: not running\n", argv[1]);
        return 1;
    }
    std::wstring command;
    for (int i = 2; i < argc; ++i)
        command += (i > 2 ? L" " : L"") + std::wstring(argv[i]);
    IDispatch* app = AttachRunning(argv[1]);
    if (app == nullptr) {
        fwprintf(stderr, L"%ls: not running\n", argv[1]);
        return 1;
    }
    std::wstring answer;
    const HRESULT hr = gridvane::standin::Control(app, command, answer);
    int code = 0;
    if (FAILED(hr)) {
        fwprintf(stderr, L"GvControl(%ls): 0x%08lX\n", command.c_str(), static_cast<unsigned long>(hr));
        code = 1;
    } else {
        const int n = WideCharToMultiByte(CP_UTF8, 0, answer.c_str(), -1, nullptr, 0, nullptr, nullptr);
        std::string u8(static_cast<std::size_t>(n), '\0');
        WideCharToMultiByte(CP_UTF8, 0, answer.c_str(), -1, u8.data(), n, nullptr, nullptr);
        fputs(u8.c_str(), stdout);
    }
    app->Release();
    CoUninitialize();
    return code;
}
