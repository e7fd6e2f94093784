#pragma once
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "textconv/WidthMap.h" // ToFullWidth, ToHalfWidth

namespace gridvane {

/// True when text is empty or holds only the digits 0-9, ".", "," and "-" (each UTF-16 unit by itself).
bool IsNumericText(std::u16string_view text);
/// True when text is empty or every UTF-16 unit is one of A-Z, a-z, ".", "," and "-".
bool IsAlphaText(std::u16string_view text);

/// The seven width conversions of the grid's popup menu, named after its items.
enum class TextCommand {
    N1,  // 半角->全角: ToFullWidth
    N12, // 半角->全角（数字のみの文字列は除外）: ToFullWidth unless IsNumericText or IsAlphaText
    N5,  // 半角カナ->全角: HalfKanaToFull
    N2,  // 全角->半角: ToHalfWidth
    N6,  // 全角数字->半角: FullDigitsToHalf
    N7,  // 全角アルファベット->半角: FullAlphaToHalf
    N9,  // 代替文字を含む禁止文字->半角: FullSymbolsToHalf
};

/// The converted text of one cell, or nothing when the command leaves the text alone (N12 on a
/// numeric or Latin-letter text).
std::optional<std::u16string> ConvertCellText(TextCommand command, std::u16string_view text);

/// The cell texts of the grid as the text commands see them: column and row in grid coordinates,
/// where column 0 and row 0 are the fixed header cells. The window implements it over its grid.
class GridTexts {
public:
    virtual ~GridTexts() = default;
    /// The text of cell (col, row).
    virtual std::u16string Text(std::int32_t col, std::int32_t row) const = 0;
    /// Replaces the text of cell (col, row).
    virtual void SetText(std::int32_t col, std::int32_t row, std::u16string text) = 0;
};

/// A rectangle of grid cells, corners included, in grid coordinates.
struct GridSelection {
    std::int32_t left;
    std::int32_t top;
    std::int32_t right;
    std::int32_t bottom;
};

/// Applies command to every non-empty cell of selection, row by row from the top, each row from the
/// left; writes every converted text, also an unchanged one; empty cells are neither converted nor
/// written. The fixed row 0 and column 0 are never touched, and an empty rectangle does nothing.
void RunTextCommand(GridTexts& grid, const GridSelection& selection, TextCommand command);

/// Replaces the first occurrence (case-sensitive, UTF-16 units compared exactly) of search by
/// replacement in every non-empty cell of selection, in the same order; writes and counts only the cells
/// whose text this changes (an empty search changes none) and returns that count.
std::int64_t ReplaceInSelection(GridTexts& grid, const GridSelection& selection, std::u16string_view search,
                                std::u16string_view replacement);

} // namespace gridvane
