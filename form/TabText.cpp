#include "form/TabText.h"

namespace gridvane {

namespace {

bool NeedsQuotes(std::u16string_view cell)
{
    return cell.find_first_of(u"\t\r\n\"") != std::u16string_view::npos;
}

} // namespace

std::u16string FormatTabText(const std::vector<std::vector<std::u16string>>& rows)
{
    std::u16string out;
    for (const auto& row : rows) {
        for (std::size_t i = 0; i < row.size(); ++i) {
            if (i > 0) out += u'\t';
            const std::u16string& cell = row[i];
            if (!NeedsQuotes(cell)) {
                out += cell;
                continue;
            }
            out += u'"';
            for (char16_t ch : cell) {
                if (ch == u'"') out += u'"';
                out += ch;
            }
            out += u'"';
        }
        out += u"\r\n";
    }
    return out;
}

std::vector<std::vector<std::u16string>> ParseTabText(std::u16string_view text)
{
    std::vector<std::vector<std::u16string>> rows;
    std::vector<std::u16string> row;
    std::u16string cell;
    bool rowOpen = false; // something of the current row has been read
    std::size_t i = 0;
    const std::size_t n = text.size();
    while (i < n) {
        rowOpen = true;
        if (cell.empty() && text[i] == u'"') {
            // A quoted cell: up to the quotation mark that is not doubled.
            ++i;
            while (i < n) {
                if (text[i] == u'"') {
                    if (i + 1 < n && text[i + 1] == u'"') {
                        cell += u'"';
                        i += 2;
                        continue;
                    }
                    ++i;
                    break;
                }
                cell += text[i++];
            }
            continue;
        }
        const char16_t ch = text[i++];
        if (ch == u'\t') {
            row.push_back(std::move(cell));
            cell.clear();
        } else if (ch == u'\r' || ch == u'\n') {
            if (ch == u'\r' && i < n && text[i] == u'\n') ++i;
            row.push_back(std::move(cell));
            cell.clear();
            rows.push_back(std::move(row));
            row.clear();
            rowOpen = false;
        } else {
            cell += ch;
        }
    }
    if (rowOpen) {
        row.push_back(std::move(cell));
        rows.push_back(std::move(row));
    }
    return rows;
}

} // namespace gridvane
