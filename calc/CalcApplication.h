#pragma once
// A running LibreOffice Calc behind the spreadsheet interface (Linux), reached through UNO over a pipe.
#include <chrono>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "excel/SpreadsheetAutomation.h"

namespace gridvane {

/// Where and how long to look for the running Calc.
struct CalcAttachOptions {
    /// The pipe the office accepts UNO connections on; empty: the one named for this user (CalcPipeName()).
    std::string pipeName;
    /// The office's user profile as a file URL ("file:///home/a/.config/libreoffice/4"); empty: this user's
    /// default profile. It tells which running instance is this user's and is handed the request to listen.
    std::string userInstallation;
    /// The longest wait for any one step: reaching the office, its starting to listen, each call.
    std::chrono::milliseconds timeout{10000};
    /// Told while a step waits for the office beyond a moment (kCalcWaitMoment): again and again with true,
    /// about every kCalcWaitTick, so that a window can paint and take its keys meanwhile, then once with false
    /// when the wait has ended. Answering true gives the step up at once, as if its time had run out.
    /// Empty: the steps just wait.
    std::function<bool(bool waiting)> onWait;
};

/// How long a step waits before onWait hears of it, and how often it hears again.
inline constexpr std::chrono::milliseconds kCalcWaitMoment{300};
inline constexpr std::chrono::milliseconds kCalcWaitTick{50};

/// The pipe named for this user ("gridvane_calc_" and the user's id).
std::string CalcPipeName();

/// True when an office of this user (of options' profile) runs, whether or not it listens yet. Starts
/// nothing.
bool CalcRunning(const CalcAttachOptions& options = {});

/// Attaches to this user's running Calc; never starts one. Its application is the desktop's current
/// document, which must be a spreadsheet; its selection is the current controller's. When the office runs
/// but does not listen yet, it is asked to (a second invocation of the office with --accept, handed to the
/// running instance, which returns at once). The connection lives as long as the returned application.
/// Throws Error with a message for the user (kCalcNotRunning, kCalcNotSpreadsheet, kCalcUnreachable).
std::unique_ptr<XlApplication> AttachRunningCalc(const CalcAttachOptions& options = {});

/// The UNO calls one attached application has made so far (0 for an application of another kind).
long CalcCallCount(const XlApplication& application);

/// The messages of the Calc backend.
inline constexpr std::u16string_view kCalcNotRunning = u"LibreOffice Calc が起動していません。";
inline constexpr std::u16string_view kCalcNotSpreadsheet =
    u"LibreOffice の前面の文書が表計算ドキュメントではありません。Calc の表を前面にしてください。";
inline constexpr std::u16string_view kCalcUnreachable = u"LibreOffice は起動していますが、接続できません。";
inline constexpr std::u16string_view kCalcNoAnswer = u"LibreOffice Calc が応答しません。";
inline constexpr std::u16string_view kCalcClosed = u"取得中に LibreOffice Calc との接続が切れました。";
inline constexpr std::u16string_view kCalcNotCells = u"LibreOffice Calc でセル範囲が選択されていません。";

} // namespace gridvane
