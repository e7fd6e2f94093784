#include "xlsx/XlsxCellRef.h"

#include <string>
#include <utility>

namespace gridvane::xlsx {

bool ParseColumnName(std::string_view text, std::int32_t& col)
{
    std::int32_t row = 0;
    if (text.empty() || text.back() < 'A' || (text.back() > 'Z' && text.back() < 'a') || text.back() > 'z') return false;
    return ParseCellRef(std::string(text) + "1", row, col);
}

bool ParseRowNumber(std::string_view text, std::int32_t& row)
{
    std::int32_t col = 0;
    if (!text.empty() && text[0] == '$') text.remove_prefix(1);
    if (text.empty() || text[0] < '0' || text[0] > '9') return false;
    std::string ref = "A";
    ref.append(text);
    return ParseCellRef(ref, row, col);
}

// "B2:D5", "B2", "A:C" (whole columns), "3:5" (whole rows); false otherwise, and for mixtures such as
// "B2:D" or "B2:5", which name no range.
bool ParseArea(std::string_view text, Area& area)
{
    const auto colon = text.find(':');
    const std::string_view a = text.substr(0, colon);
    const std::string_view b = colon == std::string_view::npos ? a : text.substr(colon + 1);
    if (ParseCellRef(a, area.r1, area.c1) && ParseCellRef(b, area.r2, area.c2)) {
        // nothing to complete
    } else if (colon == std::string_view::npos) {
        return false;
    } else if (ParseColumnName(a, area.c1) && ParseColumnName(b, area.c2)) {
        area.r1 = 1, area.r2 = kMaxRow;
    } else if (ParseRowNumber(a, area.r1) && ParseRowNumber(b, area.r2)) {
        area.c1 = 1, area.c2 = kMaxCol;
    } else {
        return false;
    }
    if (area.r1 > area.r2) std::swap(area.r1, area.r2);
    if (area.c1 > area.c2) std::swap(area.c1, area.c2);
    return true;
}
} // namespace gridvane::xlsx
