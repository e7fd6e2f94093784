#include "textconv/TextCommands.h"

#include <algorithm>

#include "textconv/StrConvUnit.h"

namespace gridvane {
namespace {

// Visits the non-empty cells of selection inside the non-fixed part of the grid, row by row.
template <typename Visit>
void ForEachNonEmptyCell(GridTexts& grid, const GridSelection& selection, Visit visit)
{
    // 64-bit counters: a rectangle reaching the largest 32-bit coordinate must still end.
    const std::int64_t left = std::max<std::int32_t>(selection.left, 1);
    const std::int64_t top = std::max<std::int32_t>(selection.top, 1);
    for (std::int64_t row = top; row <= selection.bottom; ++row) {
        for (std::int64_t col = left; col <= selection.right; ++col) {
            const auto c = static_cast<std::int32_t>(col);
            const auto r = static_cast<std::int32_t>(row);
            std::u16string text = grid.Text(c, r);
            if (!text.empty())
                visit(c, r, std::move(text));
        }
    }
}

} // namespace

bool IsNumericText(std::u16string_view text)
{
    return std::all_of(text.begin(), text.end(), [](char16_t c) {
        return (c >= u'0' && c <= u'9') || c == u'.' || c == u',' || c == u'-';
    });
}

bool IsAlphaText(std::u16string_view text)
{
    return std::all_of(text.begin(), text.end(), [](char16_t c) {
        return (c >= u'A' && c <= u'Z') || (c >= u'a' && c <= u'z') || c == u'.' || c == u',' || c == u'-';
    });
}

std::optional<std::u16string> ConvertCellText(TextCommand command, std::u16string_view text)
{
    switch (command) {
    case TextCommand::N1:
        return ToFullWidth(text);
    case TextCommand::N12:
        if (IsNumericText(text) || IsAlphaText(text))
            return std::nullopt;
        return ToFullWidth(text);
    case TextCommand::N5:
        return HalfKanaToFull(text);
    case TextCommand::N2:
        return ToHalfWidth(text);
    case TextCommand::N6:
        return FullDigitsToHalf(text);
    case TextCommand::N7:
        return FullAlphaToHalf(text);
    case TextCommand::N9:
        return FullSymbolsToHalf(text);
    }
    return std::nullopt;
}

void RunTextCommand(GridTexts& grid, const GridSelection& selection, TextCommand command)
{
    ForEachNonEmptyCell(grid, selection, [&](std::int32_t col, std::int32_t row, std::u16string text) {
        if (auto converted = ConvertCellText(command, text))
            grid.SetText(col, row, std::move(*converted));
    });
}

std::int64_t ReplaceInSelection(GridTexts& grid, const GridSelection& selection, std::u16string_view search,
                                std::u16string_view replacement)
{
    std::int64_t count = 0;
    ForEachNonEmptyCell(grid, selection, [&](std::int32_t col, std::int32_t row, std::u16string text) {
        const std::size_t at = search.empty() ? std::u16string::npos : text.find(search);
        if (at == std::u16string::npos || search == replacement)
            return;
        text.replace(at, search.size(), replacement);
        grid.SetText(col, row, std::move(text));
        ++count;
    });
    return count;
}

} // namespace gridvane
