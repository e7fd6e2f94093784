#include "settings/SizeSummary.h"

#include <algorithm>
#include <cstdio>
#include <map>
#include <vector>

#include "base/Utf.h"
#include "settings/NumberText.h"

namespace gridvane {

namespace {

// The most frequent value: values counted by their "%.3f" text padded to 12 characters plus a space,
// sorted as text; the first entry whose count beats all before it wins, so a tie goes to the smaller value.
std::u16string Mode(const std::vector<double>& values, char16_t sep)
{
    std::map<std::u16string, int> tally;
    for (double v : values) {
        std::u16string key = FormatFixed3(v, u'.');
        if (key.size() < 12) key.insert(0, 12 - key.size(), u' ');
        key += u' ';
        ++tally[key];
    }
    int best = 0;
    std::u16string chosen;
    for (const auto& [key, count] : tally) {
        if (count > best) {
            best = count;
            chosen = key;
        }
    }
    const auto first = chosen.find_first_not_of(u' ');
    const auto last = chosen.find_last_not_of(u' ');
    const std::u16string trimmed = first == std::u16string::npos ? u"" : chosen.substr(first, last - first + 1);
    // Re-formatted from the parsed key, as the summary always showed it.
    const auto parsed = ParseNumber(trimmed, u'.');
    return FormatFixed3(parsed.value_or(0), sep);
}

std::u16string Row(const std::vector<double>& values, char16_t sep)
{
    const auto [lo, hi] = std::minmax_element(values.begin(), values.end());
    return Mode(values, sep) + u" (" + FormatFixed3(*lo, sep) + u"～" + FormatFixed3(*hi, sep) + u")";
}

} // namespace

std::array<std::u16string, 5> SizeSummary(const CellTable& table, char16_t decimalSeparator)
{
    std::array<std::u16string, 5> out;
    const std::int32_t cols = table.GridColCount, rows = table.GridRowCount;
    if (table.Empty() || cols <= 0 || rows <= 0 ||
        table.CellGrid.size() < static_cast<std::size_t>(cols) * static_cast<std::size_t>(rows)) {
        return out;
    }
    std::vector<double> widths, heights, texts;
    double totalW = 0, totalH = 0;
    for (std::int32_t c = 0; c < cols; ++c) {
        widths.push_back(table.At(0, c).drawW);
        totalW += widths.back();
    }
    for (std::int32_t r = 0; r < rows; ++r) {
        heights.push_back(table.At(r, 0).drawH);
        totalH += heights.back();
    }
    for (std::size_t i = 0; i < static_cast<std::size_t>(cols) * static_cast<std::size_t>(rows); ++i)
        texts.push_back(table.CellGrid[i].drawTH);
    out[0] = FormatFixed3(totalW, decimalSeparator);
    out[1] = FormatFixed3(totalH, decimalSeparator);
    out[2] = Row(widths, decimalSeparator);
    out[3] = Row(heights, decimalSeparator);
    out[4] = Row(texts, decimalSeparator);
    return out;
}

std::u16string ShowWHSizeText(const CellTable& table, char16_t decimalSeparator)
{
    const std::size_t cols = table.GridColCount > 0 ? static_cast<std::size_t>(table.GridColCount) : 0;
    const std::size_t rows = table.GridRowCount > 0 ? static_cast<std::size_t>(table.GridRowCount) : 0;
    if (table.Empty() || cols == 0 || rows == 0 || table.CellGrid.size() < cols * rows) return {};
    double w = 0;
    for (std::size_t c = 0; c < cols; ++c) w += table.CellGrid[c].drawW;
    double h = 0;
    for (std::size_t r = 0; r < rows; ++r) h += table.CellGrid[r * cols].drawH;
    return u"全体: W=" + FormatFixed3(w, decimalSeparator) + u" x H=" + FormatFixed3(h, decimalSeparator);
}

} // namespace gridvane
