#include "app/FormPlatform.h"

#include "base/Error.h"
#include "base/Platform.h"
#include "base/Utf.h"
#include "cad/CadAutomation.h"
#include "cad/CadInsertion.h"
#ifdef _WIN32
#include "excel/ExcelAutomationWin.h"
#else
#include "xlsx/XlsxApplication.h"
#endif

namespace gridvane {

namespace {

#ifndef _WIN32
// This user's running Calc, attached when it has a spreadsheet in front: the import takes that
// attachment (and attaches anew should it ask again).
FoundSpreadsheet FindRunningCalc(CalcAttachOptions options, const OutsideWait& wait)
{
    if (wait) options.onWait = [wait](bool waiting) { return wait(OutsideProgram::Calc, waiting); };
    FoundSpreadsheet found;
    try {
        auto attached = std::make_shared<std::unique_ptr<XlApplication>>(AttachRunningCalc(options));
        found.kind = FoundSpreadsheet::Kind::Ready;
        found.attach = [attached, options]() -> std::unique_ptr<XlApplication> {
            if (*attached) return std::move(*attached);
            return AttachRunningCalc(options);
        };
    } catch (const std::exception& e) {
        const std::u16string reason = WindowText(e);
        if (reason != kCalcNotRunning) {
            found.kind = FoundSpreadsheet::Kind::Unusable;
            found.reason = reason;
        }
    }
    return found;
}
#endif

FormPlatform MakePlatform(const std::filesystem::path& executable)
{
    FormPlatform p;
    p.iniPath = std::filesystem::path(executable).replace_extension(".ini");
    p.dxfPath = std::filesystem::path(executable).replace_extension(".dxf");
    p.decimalSeparator = UserDecimalSeparator();
    // The application title: the executable's name cut before its first full stop.
    const std::u16string name = executable.filename().u16string();
    p.applicationTitle = name.substr(0, name.find(u'.'));
    if (p.applicationTitle.empty()) p.applicationTitle = u"Gridvane23";
#ifdef _WIN32
    p.attachRunning = [] { return AttachRunningExcel(); };
#else
    p.openWorkbook = [](const std::filesystem::path& path) -> XlAttach {
        return [path] { return OpenWorkbookAsApplication(path); };
    };
    p.findRunning = [](const OutsideWait& wait) { return FindRunningCalc({}, wait); };
#endif
    p.insertIntoCad = [](const std::filesystem::path& drawing) {
        // Whether a CAD took it, so that the window can say where the drawing is when none did.
        const std::unique_ptr<CadAutomation> automation = MakeCadAutomation();
        if (!IsCadRunning(*automation)) return false;
#ifdef _WIN32
        const std::wstring& native = drawing.native();
        InsertDrawing(*automation, std::u16string(native.begin(), native.end()));
#else
        InsertDrawing(*automation, FromUtf8(drawing.native()));
#endif
        return true;
    };
    return p;
}

} // namespace

FormPlatform MakeFormPlatform(const std::filesystem::path& executable) { return MakePlatform(executable); }

#ifndef _WIN32
FormPlatform MakeFormPlatform(const std::filesystem::path& executable, const CalcAttachOptions& calc)
{
    FormPlatform p = MakePlatform(executable);
    p.findRunning = [calc](const OutsideWait& wait) { return FindRunningCalc(calc, wait); };
    return p;
}
#endif

} // namespace gridvane
