// Gridvane23.exe: the window program on Windows. Wires the platform's services into the form: the
// running spreadsheet and the running CAD through COM, the settings and drawing files beside the
// executable.
#include <windows.h>
#include <commctrl.h>
#include <objbase.h>

#include <exception>

#include "base/Platform.h"
#include "base/Utf.h"
#include "cad/CadInsertion.h"
#include "excel/ExcelAutomationWin.h"
#include "win/Form1Win.h"
#include "win/WinText.h"

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int showCommand)
{
    try {
        // Every automation call runs on this thread, the window's.
        const HRESULT com = CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
        INITCOMMONCONTROLSEX controls{sizeof controls, ICC_STANDARD_CLASSES | ICC_TAB_CLASSES | ICC_PROGRESS_CLASS | ICC_BAR_CLASSES};
        InitCommonControlsEx(&controls);

        const std::filesystem::path exe = gridvane::ExecutablePath();
        gridvane::FormPlatform platform;
        platform.iniPath = std::filesystem::path(exe).replace_extension(".ini");
        platform.dxfPath = std::filesystem::path(exe).replace_extension(".dxf");
        platform.decimalSeparator = gridvane::UserDecimalSeparator();
        // The application title: the executable's name cut before its first full stop.
        const std::u16string name = exe.filename().u16string();
        platform.applicationTitle = name.substr(0, name.find(u'.'));
        platform.attachRunning = [] { return gridvane::AttachRunningExcel(); };
        platform.insertIntoCad = [](const std::filesystem::path& drawing) { gridvane::InsertIntoRunningCad(drawing); };

        int exitCode = 0;
        {
            gridvane::win::TForm1Win::RegisterClasses(instance);
            gridvane::win::TForm1Win form1(std::move(platform));
            form1.Show(showCommand);
            exitCode = form1.RunMessageLoop();
        }
        if (SUCCEEDED(com)) CoUninitialize();
        return exitCode;
    } catch (const std::exception& e) {
        MessageBoxW(nullptr, gridvane::win::W(gridvane::FromUtf8(e.what())).c_str(), L"Gridvane23", MB_OK | MB_ICONERROR);
        return 1;
    }
}
