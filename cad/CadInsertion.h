#pragma once
#include <filesystem>
#include <string>
#include <string_view>

#include "cad/CadAutomation.h"

namespace gridvane {

/// The command line that inserts the drawing at path exploded, at scale 1 and rotation 0, and leaves
/// the CAD waiting for the insertion point: "^C^C-INSERT" CR "\"*" path "\"" CR "S 1 R 0 ".
std::u16string MakeInsertCommand(std::u16string_view path);

/// True when the CAD's class is registered and an instance of it is running; releases what it found.
/// Throws Error with the system's description when the class lookup fails (the CAD is not installed).
bool IsCadRunning(CadAutomation& automation);

/// What the window says when the CAD did not take a call because it is busy, before the drawing's path.
inline constexpr std::u16string_view kCadBusy =
    u"Plotra が処理中のため、図面の挿入を受け付けませんでした。Plotra で実行中のコマンドやダイアログを終えてから、"
    u"もう一度「Plotra へ挿入」を押してください。図面は保存されています: ";

/// Hands the drawing at path to the running CAD: brings its window to the front and sends the insert
/// command. Does nothing when no CAD is running. Throws Error when a step fails, with kCadBusy and the path
/// as its Japanese text when the CAD did not take a call because it is busy; no step is repeated (a call
/// the CAD asks to repeat later is, by the automation) and every reference is released on every path.
void InsertDrawing(CadAutomation& automation, std::u16string_view path);

/// InsertDrawing with this platform's automation, for a drawing file that exists; does nothing when
/// drawing names no file. waitReport is told while a call waits for the CAD. Throws as InsertDrawing.
/// Whether a CAD took the drawing, so that the window can say where it is when none did.
bool InsertIntoRunningCad(const std::filesystem::path& drawing, CallWaitReport waitReport = {});

} // namespace gridvane
