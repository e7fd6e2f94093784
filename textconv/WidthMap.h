#pragma once
#include <string>
#include <string_view>

namespace gridvane {

/// The platform's narrow-to-wide mapping of text: ASCII to full-width forms, the space to the
/// ideographic space, half-width katakana to full-width (joining a following sound mark).
std::u16string ToFullWidth(std::u16string_view text);
/// The platform's wide-to-narrow mapping of text, the reverse of ToFullWidth; hiragana and kanji stay.
std::u16string ToHalfWidth(std::u16string_view text);

} // namespace gridvane
