#include "app/FormPlatform.h"

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

// waitReport for the calls into program; nothing when there is none.
CallWaitReport ReportFor(const CalledProgramWait& waitReport, OutsideProgram program)
{
    if (!waitReport) return {};
    return [waitReport, program](bool waiting) { waitReport(program, waiting); };
}

} // namespace

FormPlatform MakeFormPlatform(const std::filesystem::path& executable, CalledProgramWait waitReport)
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
    p.attachRunning = [report = ReportFor(waitReport, OutsideProgram::Spreadsheet)] { return AttachRunningExcel(report); };
#else
    p.openWorkbook = [](const std::filesystem::path& path) -> XlAttach {
        return [path] { return OpenWorkbookAsApplication(path); };
    };
#endif
    p.insertIntoCad = [report = ReportFor(waitReport, OutsideProgram::Cad)](const std::filesystem::path& drawing) {
        return InsertIntoRunningCad(drawing, report);
    };
    return p;
}

} // namespace gridvane
