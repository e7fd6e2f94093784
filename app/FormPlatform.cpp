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

// waitReport for the calls into program; nothing when there is none.
CallWaitReport ReportFor(const CalledProgramWait& waitReport, OutsideProgram program)
{
    if (!waitReport) return {};
    return [waitReport, program](bool waiting) { waitReport(program, waiting); };
}

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

FormPlatform MakePlatform(const std::filesystem::path& executable, const CalledProgramWait& waitReport)
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
    p.findRunning = [](const OutsideWait& wait) { return FindRunningCalc({}, wait); };
#endif
    p.insertIntoCad = [report = ReportFor(waitReport, OutsideProgram::Cad)](const std::filesystem::path& drawing) {
        return InsertIntoRunningCad(drawing, report);
    };
    return p;
}

} // namespace

FormPlatform MakeFormPlatform(const std::filesystem::path& executable, CalledProgramWait waitReport)
{
    return MakePlatform(executable, waitReport);
}

#ifndef _WIN32
FormPlatform MakeFormPlatform(const std::filesystem::path& executable, const CalcAttachOptions& calc)
{
    FormPlatform p = MakePlatform(executable, {});
    p.findRunning = [calc](const OutsideWait& wait) { return FindRunningCalc(calc, wait); };
    return p;
}
#endif

} // namespace gridvane
