#pragma once
#include <string>
#include <string_view>

namespace gridvane {

/// The legacy code page drawing files are written in: the system's ANSI code page on Windows,
/// 932 (Shift-JIS) on systems without one.
unsigned DrawingCodePage();
/// The drawing header's name of DrawingCodePage(), as in "ANSI_932".
std::u16string DrawingCodePageName();
/// text in DrawingCodePage(); a character the code page cannot represent becomes its best-fit substitute
/// where the code page has one (¥ U+00A5 becomes 0x5C in code page 932), otherwise its default character.
std::string EncodeDrawingText(std::u16string_view text);
/// Bytes in DrawingCodePage() back to UTF-16, as a reader of the drawing file sees them.
std::u16string DecodeDrawingText(std::string_view bytes);

} // namespace gridvane
