#pragma once
#include <string>
#include <string_view>

namespace gridvane {

/// The legacy code page drawing files are written in: the system's ANSI code page on Windows,
/// 932 (Shift-JIS) on systems without one.
unsigned DrawingCodePage();
/// The drawing header's name of DrawingCodePage(), as in "ANSI_932".
std::u16string DrawingCodePageName();
/// text in DrawingCodePage(); a character the code page cannot represent becomes its default character.
std::string EncodeDrawingText(std::u16string_view text);

} // namespace gridvane
