#pragma once
#include <string>
#include <string_view>

namespace gridvane {

/// UTF-16 to code page 932 bytes (Windows' Shift-JIS); a character CP932 cannot represent becomes "?".
std::string EncodeCp932(std::u16string_view text);
/// Code page 932 bytes to UTF-16; a byte sequence without a mapping becomes one U+FFFD.
std::u16string DecodeCp932(std::string_view bytes);
/// True when some CP932 byte sequence decodes to the code point c.
bool IsCp932Representable(char32_t c);

} // namespace gridvane
