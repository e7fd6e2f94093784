#pragma once
#include <string>
#include <string_view>

namespace gridvane {

// Code page 932, Windows' Shift-JIS, with Microsoft's table: ～ U+FF5E, ＼ U+FF3C, ∥ U+2225, － U+FF0D,
// ￢ U+FFE2, NEC row 13, the IBM extensions, the user-defined area as U+E000-U+E757, and the single
// bytes 0x80, 0xA0, 0xFD-0xFF as U+0080, U+F8F0-U+F8F3.

/// UTF-16 to code page 932 bytes. A character that no CP932 sequence decodes to becomes the substitute
/// the Windows converter gives it by default (kCp932BestFit: ¥ 0x5C, ¢ ￠, é "e"), otherwise one "?" (a
/// surrogate pair or a lone surrogate is one character). A character with
/// several codes gets Windows' choice: JIS X 0208, then NEC row 13, then the IBM extensions (0xFA-0xFC),
/// never the NEC-selected IBM extensions (0xED-0xEE). Throws Error when the converter is unavailable.
std::string EncodeCp932(std::u16string_view text);
/// Code page 932 bytes to UTF-16. A lead byte (0x81-0x9F, 0xE0-0xFC) with a trail byte (0x40-0x7E,
/// 0x80-0xFC) is one character, U+FFFD when that code is unassigned; a lead byte followed by any other
/// byte, or at the end, is one U+FFFD and the next byte starts afresh. Every other byte has a mapping.
/// Throws Error when the converter is unavailable.
std::u16string DecodeCp932(std::string_view bytes);
/// True when some CP932 byte sequence decodes to the code point c.
bool IsCp932Representable(char32_t c);

} // namespace gridvane
