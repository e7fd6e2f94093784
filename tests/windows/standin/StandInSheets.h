#pragma once
// Sheets for the stand-in spreadsheet (format: selection.sheet), written for the tests across processes
// and the benchmark: the benchmark's bordered grid, and random forms.
#include <filesystem>
#include <fstream>
#include <random>
#include <set>
#include <string>
#include <utility>

namespace gridvane::standin {

inline std::string ColumnLetters(int c)
{
    std::string letters;
    for (int n = c; n > 0; n = (n - 1) / 26) letters.insert(letters.begin(), static_cast<char>('A' + (n - 1) % 26));
    return letters;
}

/// 100 x 20 cells: texts and numbers, a border on every cell, a merged area in each tenth row.
inline void WriteGridSheet(const std::filesystem::path& path)
{
    std::ofstream out(path, std::ios::binary);
    out << "workbook\tbench.xlsx\nsheet\tbench\nselection\tA1:T100\n";
    for (int r = 1; r <= 100; ++r) {
        if (r % 10 == 0) out << "merge\tA" << r << ":C" << r << "\n";
        for (int c = 1; c <= 20; ++c) {
            out << "cell\t" << ColumnLetters(c) << r << "\t";
            if (c % 2 == 0)
                out << "n:" << r * c << "\t";
            else
                out << "s:品名" << r << "\t";
            out << "top=thin\tbottom=thin\tleft=thin\tright=thin\n";
        }
    }
}

/// A random form: widths and heights, values of every kind with their number formats, alignments and
/// font sizes by column, row or cell (now and then a cell of mixed sizes), grids of borders with gaps and
/// styles, diagonals, merged areas (some reaching out of the selection), sometimes the formulas shown.
inline void WriteRandomSheet(const std::filesystem::path& path, unsigned seed)
{
    std::mt19937 rng(seed);
    const auto pick = [&](int n) { return static_cast<int>(rng() % static_cast<unsigned>(n)); };
    const auto chance = [&](int percent) { return pick(100) < percent; };
    const int r1 = 1 + pick(3), c1 = 1 + pick(3), rows = 1 + pick(12), cols = 1 + pick(8);
    const int lastRow = r1 + rows, lastCol = c1 + cols;
    std::ofstream out(path, std::ios::binary);
    out << "workbook\trandom-" << seed << ".xlsx\nsheet\t表" << seed << "\n";
    out << "selection\t" << ColumnLetters(c1) << r1 << ":" << ColumnLetters(c1 + cols - 1) << r1 + rows - 1 << "\n";
    if (chance(10)) out << "display-formulas\n";
    out << "columns";
    for (int c = 1; c <= lastCol; ++c) out << "\t" << ColumnLetters(c) << ":" << (chance(60) ? 8 : 2 + pick(20));
    out << "\nrows";
    for (int r = 1; r <= lastRow; ++r) out << "\t" << r << ":" << (chance(60) ? 15 : 9 + pick(30));
    out << "\n";
    std::set<std::pair<int, int>> taken;
    for (int n = pick(4); n > 0; --n) {
        const int ar1 = r1 + pick(rows), ac1 = c1 + pick(cols);
        const int ar2 = ar1 + pick(3), ac2 = ac1 + pick(3);
        bool free = ar1 != ar2 || ac1 != ac2;
        for (int r = ar1; r <= ar2; ++r)
            for (int c = ac1; c <= ac2; ++c) free = free && !taken.count({r, c});
        if (!free) continue;
        for (int r = ar1; r <= ar2; ++r)
            for (int c = ac1; c <= ac2; ++c) taken.insert({r, c});
        out << "merge\t" << ColumnLetters(ac1) << ar1 << ":" << ColumnLetters(ac2) << ar2 << "\n";
    }
    const int alignBy = pick(3), sizeBy = pick(3), formatBy = pick(3); // column, row, cell
    const char* aligns[] = {"", "align=left", "align=center", "align=right"};
    const char* formats[] = {"General", "@", "0.00", "#,##0"};
    const auto by = [&](int how, int r, int c, int n) { return how == 0 ? c % n : how == 1 ? r % n : pick(n); };
    const bool grid = chance(60);
    const char* styles[] = {"thin", "medium", "dashed", "dotted", "double"};
    for (int r = 1; r <= lastRow; ++r) {
        for (int c = 1; c <= lastCol; ++c) {
            out << "cell\t" << ColumnLetters(c) << r;
            const std::string format = formats[by(formatBy, r, c, 4)];
            switch (pick(8)) {
            case 0: break;
            case 1: out << "\tn:" << r * 100 + c << "\ttext=" << r * 100 + c; break;
            case 2: out << "\tn:" << r << "." << c << "\ttext=" << r << "." << c << "0"; break;
            case 3: out << "\ts:0123"; break;
            case 4: out << "\tb:" << (chance(50) ? "TRUE" : "FALSE"); break;
            case 5: out << (chance(3) ? "\te:#N/A" : "\ts:品名\\n" + std::to_string(r)); break;
            default: out << "\ts:部品" << r * 100 + c; break;
            }
            out << "\tfmt=" << format;
            if (const char* a = aligns[by(alignBy, r, c, 4)]; *a) out << "\t" << a;
            if (chance(2)) out << "\tsize=mixed";
            else out << "\tsize=" << (by(sizeBy, r, c, 3) == 0 ? 16 : 11);
            for (const char* edge : {"top", "bottom", "left", "right"})
                if (chance(grid ? 92 : 30)) out << "\t" << edge << "=" << (chance(80) ? "thin" : styles[pick(5)]);
            if (chance(4)) out << "\t" << (chance(50) ? "down" : "up") << "=thin";
            out << "\n";
        }
    }
}

} // namespace gridvane::standin
