// Gridvane23.exe: the window program on Windows. The platform's services (the running spreadsheet and
// the running CAD through COM, the settings and drawing files beside the executable) come from
// MakeFormPlatform.
#include <windows.h>
#include <commctrl.h>
#include <objbase.h>

#include <exception>

#include "app/FormPlatform.h"
#include "base/Platform.h"
#include "base/Utf.h"
#include "win/Form1Win.h"
#include "win/WinText.h"

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int showCommand)
{
    try {
        // Every automation call runs on this thread, the window's.
        const HRESULT com = CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
        INITCOMMONCONTROLSEX controls{sizeof controls, ICC_STANDARD_CLASSES | ICC_TAB_CLASSES | ICC_PROGRESS_CLASS | ICC_BAR_CLASSES};
        InitCommonControlsEx(&controls);

        // A call into a busy program is shown in the form's status line while it waits.
        gridvane::TForm1* form = nullptr;
        gridvane::FormPlatform platform =
            gridvane::MakeFormPlatform(gridvane::ExecutablePath(), [&form](gridvane::OutsideProgram program, bool waiting) {
                if (form) form->OutsideCallWaiting(program, waiting);
            });

        int exitCode = 0;
        {
            gridvane::win::TForm1Win::RegisterClasses(instance);
            gridvane::win::TForm1Win form1(std::move(platform));
            form = &form1.Form();
            form1.Show(showCommand);
            exitCode = form1.RunMessageLoop();
            form = nullptr;
        }
        if (SUCCEEDED(com)) CoUninitialize();
        return exitCode;
    } catch (const std::exception& e) {
        // No window, no form: the program's name is the caption.
        MessageBoxW(nullptr, gridvane::win::W(gridvane::FromUtf8(e.what())).c_str(), gridvane::win::W(gridvane::kProgramName).c_str(),
                    MB_OK | MB_ICONERROR);
        return 1;
    }
}
