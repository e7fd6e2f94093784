#include "cad/CadInsertion.h"

#include <system_error>

#include "base/Error.h"
#include "base/Utf.h"

namespace gridvane {
namespace {

// The message of a failed step: the description the system or the CAD gave, or one naming the step.
std::string FailureMessage(const CadStatus& status, std::string_view operation)
{
    if (!status.description.empty())
        return status.description;
    return "CAD の呼び出しに失敗しました (" + std::string(operation) + ")";
}

// Throws the failure of a step; a busy CAD in the words of the window, with where the drawing is.
void Check(const CadStatus& status, std::string_view operation, std::u16string_view path)
{
    if (status.ok)
        return;
    if (status.busy)
        throw Error("the CAD is busy and did not take the insertion (" + std::string(operation) + ": " +
                        FailureMessage(status, operation) + "); the drawing is saved at " + ToUtf8(path),
                    std::u16string(kCadBusy) + std::u16string(path));
    throw Error(FailureMessage(status, operation));
}

Guid LookUpCadClass(CadAutomation& automation)
{
    Guid classId;
    const CadStatus status = automation.ClassIdFromProgId(kCadProgId, classId);
    if (!status.ok)
        throw Error(FailureMessage(status, "CLSIDFromProgID"));
    return classId;
}

std::u16string PathText(const std::filesystem::path& path)
{
#ifdef _WIN32
    const std::wstring& native = path.native();
    return std::u16string(native.begin(), native.end());
#else
    return FromUtf8(path.native());
#endif
}

} // namespace

std::u16string MakeInsertCommand(std::u16string_view path)
{
    std::u16string command = u"^C^C-INSERT\r\"*";
    command += path;
    command += u"\"\rS 1 R 0 ";
    return command;
}

bool IsCadRunning(CadAutomation& automation)
{
    const Guid classId = LookUpCadClass(automation);
    CadRef raw = 0;
    const CadStatus status = automation.ActiveObject(classId, raw);
    const CadReference instance(automation, raw);
    return status.ok && instance.Get() != 0;
}

void InsertDrawing(CadAutomation& automation, std::u16string_view path)
{
    if (!IsCadRunning(automation))
        return;

    const Guid classId = LookUpCadClass(automation);
    CadRef raw = 0;
    CadStatus status = automation.ActiveObject(classId, raw);
    const CadReference object(automation, raw);
    Check(status, "GetActiveObject", path);

    raw = 0;
    status = automation.QueryInterface(object.Get(), kIidDispatch, raw);
    const CadReference dispatch(automation, raw);
    Check(status, "QueryInterface", path);

    raw = 0;
    status = automation.QueryInterface(dispatch.Get(), kIidCadApplication, raw);
    const CadReference application(automation, raw);
    if (!status.ok)
        throw Error("Interface はサポートされていません");

    std::intptr_t hwnd = 0;
    Check(automation.ReadHwnd(application.Get(), hwnd), "HWND", path);
    automation.SetForegroundWindow(hwnd);

    Check(automation.SendCommand(application.Get(), MakeInsertCommand(path)), "SendCommand", path);
}

bool InsertIntoRunningCad(const std::filesystem::path& drawing, CallWaitReport waitReport)
{
    std::error_code error;
    if (!std::filesystem::is_regular_file(drawing, error))
        return false;
    const std::unique_ptr<CadAutomation> automation = MakeCadAutomation(std::move(waitReport));
    if (!IsCadRunning(*automation))
        return false;
    InsertDrawing(*automation, PathText(drawing));
    return true;
}

} // namespace gridvane
