#pragma once
#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

#include "model/CellTable.h"

namespace gridvane {

/// A table file: the table and the grid text of every cell (texts[r * GridColCount + c]).
struct TableFileContents {
    CellTable table;
    std::vector<std::u16string> texts;
};

/// Most cells a table file may hold, as many as the import takes.
inline constexpr std::size_t kMaxTableCells = 1000000;
/// Largest table file that is read.
inline constexpr std::uintmax_t kMaxTableFileBytes = 256u * 1024u * 1024u;

/// Parses the JSON text of a table file. Only the imported fields of each cell are taken, the derived ones
/// stay zero; without "texts" each cell's grid text is its "str". Throws Error naming the problem; source
/// (a file name) prefixes the message.
TableFileContents ParseTableFile(std::string_view json, std::string_view source);
/// Reads and parses a table file of at most kMaxTableFileBytes. Throws Error naming the file and the problem.
TableFileContents ReadTableFile(const std::filesystem::path& path);
/// The JSON text of a table with every field of every cell and the grid texts (none when texts is empty).
/// Throws Error when a number is not finite (JSON has no form for it).
std::string TableFileJson(const CellTable& table, const std::vector<std::u16string>& texts);

} // namespace gridvane
