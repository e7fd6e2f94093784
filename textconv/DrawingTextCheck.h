#pragma once
#include <string>
#include <string_view>
#include <vector>

namespace gridvane {

/// A character that the drawing's code page cannot carry, and what the drawing file holds in its place.
struct UnrepresentableChar {
    std::u16string character;  // one character: one UTF-16 unit, or a surrogate pair
    std::u16string substitute; // the code page's default character, as the file's bytes read back
    bool operator==(const UnrepresentableChar&) const = default;
};

/// The characters of text that EncodeDrawingText replaces by the code page's default character, each once, in
/// the order they first appear. A question mark of the text itself is carried.
std::vector<UnrepresentableChar> UnrepresentableDrawingChars(std::u16string_view text);
/// True when UnrepresentableDrawingChars(text) is not empty; quick for texts of ASCII or carried characters.
bool HasUnrepresentableDrawingChars(std::u16string_view text);

} // namespace gridvane
