#pragma once
#include <string>
#include <string_view>
#include <vector>

// Cell texts as a spreadsheet puts them on the clipboard and takes them from it: one line per row, the
// cells of a row separated by tabs, a cell holding a tab, a line break or a double quotation mark in
// double quotation marks with its own ones doubled.

namespace gridvane {

/// rows as tab-separated lines, each ended by CR LF.
std::u16string FormatTabText(const std::vector<std::vector<std::u16string>>& rows);
/// The rows and cells of tab-separated text; CR LF, LF and CR end a row, a last row end adds no empty row.
/// A quoted cell may hold tabs and line breaks; text after its closing quotation mark is kept as it is.
std::vector<std::vector<std::u16string>> ParseTabText(std::u16string_view text);

} // namespace gridvane
