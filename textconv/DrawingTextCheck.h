#pragma once
#include <string>
#include <string_view>
#include <vector>

namespace gridvane {

/// A character that the drawing's code page cannot carry, and what the drawing file holds in its place.
struct UnrepresentableChar {
    std::u16string character;  // one character: one UTF-16 unit, or a surrogate pair
    std::u16string substitute; // what the file holds in its place, read back: a best-fit neighbour or "?"
    bool operator==(const UnrepresentableChar&) const = default;
};

/// The characters of text that the drawing file cannot hold as they are (EncodeDrawingText gives them a
/// best-fit neighbour or the default character), each once, in the order they first appear.
std::vector<UnrepresentableChar> UnrepresentableDrawingChars(std::u16string_view text);
/// True when UnrepresentableDrawingChars(text) is not empty; quick for texts of ASCII or carried characters.
bool HasUnrepresentableDrawingChars(std::u16string_view text);

} // namespace gridvane
