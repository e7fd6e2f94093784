// The import's range reads against the per-cell reference (tests/support/PerCellImport.h): the same table
// file, or the same failure at the same cell, on spreadsheets that answer ranges as the object model
// documents, on random ones, and on ones whose range answers are of a kind no range read expects; and
// which cells the import still asks alone.
#include <gtest/gtest.h>

#include <random>
#include <tuple>

#include "base/Utf.h"
#include "excel/CellArea.h"
#include "excel/ExcelImport.h"
#include "tests/support/FakeSpreadsheet.h"
#include "tests/support/PerCellImport.h"

namespace gridvane {
namespace {

// A merged area's Address is read back into its rectangle: what AbsoluteAddress writes, and the forms the
// backends answer, come back; anything else is no rectangle (the area then answers for itself).
TEST(CellArea, AddressesReadBackIntoTheirRectangles)
{
    for (const XlArea a : {XlArea{2, 2, 97, 16}, XlArea{5, 3, 5, 3}, XlArea{1, 16384, 1048576, 16384}}) {
        XlArea back;
        ASSERT_TRUE(ParseAddress(AbsoluteAddress(a), back)) << ToUtf8(AbsoluteAddress(a));
        EXPECT_EQ(std::tie(back.r1, back.c1, back.r2, back.c2), std::tie(a.r1, a.c1, a.r2, a.c2));
    }
    XlArea x;
    ASSERT_TRUE(ParseAddress(u"b2:D2000000", x)); // rows past a workbook's, as a larger sheet numbers them
    EXPECT_EQ(std::tie(x.r1, x.c1, x.r2, x.c2), std::make_tuple(2, 2, 2000000, 4));
    for (const char16_t* bad : {u"", u"B", u"2", u"B0", u"XFE1", u"B2:", u"C3:B2", u"B2,D4", u"$B$2:$C", u"B2 "})
        EXPECT_FALSE(ParseAddress(bad, x)) << ToUtf8(bad);
    std::int32_t row = 0, col = 0;
    EXPECT_FALSE(ParseCellName(std::string_view("A1048577"), row, col)); // past a workbook's rows
    EXPECT_TRUE(ParseCellName(std::string_view("$XFD$1048576"), row, col));
    EXPECT_EQ(std::make_pair(row, col), std::make_pair(1048576, 16384));
}

XlAttach AttachTo(FakeBook& book)
{
    return [&book] { return std::make_unique<FakeApp>(book); };
}

ImportOutcome ByRanges(FakeBook& book)
{
    return OutcomeOf([&](ImportView& view, CellTable& table) {
        return ImportSelection(AttachTo(book), view, table, ImportScales{}, u'.');
    });
}

ImportOutcome ByCells(FakeBook& book)
{
    return OutcomeOf([&](ImportView& view, CellTable& table) {
        return ImportSelectionPerCell(AttachTo(book), view, table, ImportScales{}, u'.');
    });
}

// A form-like book at random: widths by column and heights by row with exceptions, alignments, font sizes
// and number formats by column or by row or by cell, borders drawn as frames and grids with gaps and
// diagonals, merged areas (some cut by the selection's edge), values of every kind; now and then a cell
// that fails. Every cell around the selection has its place, so that areas reaching out of it answer too.
FakeBook RandomBook(std::uint32_t seed, bool failures)
{
    std::mt19937 rng(seed);
    const auto pick = [&](int n) { return static_cast<int>(rng() % static_cast<std::uint32_t>(n)); };
    const auto chance = [&](int percent) { return pick(100) < percent; };
    FakeBook book;
    book.r1 = 1 + pick(3), book.c1 = 1 + pick(3);
    book.rows = 1 + pick(9), book.cols = 1 + pick(7);
    const int lastRow = book.r1 + book.rows + 2, lastCol = book.c1 + book.cols + 2;
    std::vector<double> widths, heights, lefts{0}, tops{0};
    for (int c = 1; c <= lastCol; ++c) {
        widths.push_back(chance(70) ? 8.43 : 2 + pick(200) / 10.0);
        lefts.push_back(lefts.back() + widths.back() * 5.25);
    }
    for (int r = 1; r <= lastRow; ++r) {
        heights.push_back(chance(70) ? 13.5 : 10 + pick(40) * 0.75);
        tops.push_back(tops.back() + heights.back());
    }
    const int alignBy = pick(3), sizeBy = pick(3), formatBy = pick(3); // 0 column, 1 row, 2 cell
    const int aligns[] = {1, kXlHAlignLeft, kXlHAlignCenter, kXlHAlignRight, kXlHAlignFill, 7};
    const char16_t* formats[] = {u"General", u"@", u"0.00", u"#,##0"};
    const auto by = [&](int how, int r, int c, int n) { return how == 0 ? c % n : how == 1 ? r % n : pick(n); };
    const bool grid = chance(60);
    for (int r = 1; r <= lastRow; ++r) {
        for (int c = 1; c <= lastCol; ++c) {
            FakeCell& cell = book.cells[{r, c}];
            cell.columnWidth = chance(3) ? widths[c - 1] + 1 : widths[c - 1];
            cell.rowHeight = heights[r - 1];
            cell.left = lefts[c - 1], cell.top = tops[r - 1];
            cell.align = aligns[by(alignBy, r, c, 6)];
            cell.fontSize = XlValue::Of(by(sizeBy, r, c, 3) == 0 ? 16.0 : 11.0);
            cell.numberFormat = formats[by(formatBy, r, c, 4)];
            switch (pick(7)) {
            case 0: break; // empty
            case 1: cell.value2 = XlValue::Of(r * 10.0 + c / 4.0); break;
            case 2: cell.value2 = XlValue::Of(std::u16string(u"0123")); break;
            case 3: cell.value2 = XlValue::Of(std::u16string(chance(10) ? 300 : 4, u'字')); break;
            case 4: cell.value2 = XlValue::OfBool(chance(50)); break;
            default: cell.value2 = XlValue::Of(u"品名" + FromUtf8(std::to_string(r * 100 + c))); break;
            }
            // The text as the cell would show it under its format, or otherwise (a format of its own).
            if (cell.value2.kind == XlValue::Kind::Text) cell.text = cell.value2.text;
            if (cell.value2.kind == XlValue::Kind::Number) cell.text = FromUtf8(std::to_string(cell.value2.number));
            if (cell.value2.kind == XlValue::Kind::Boolean) cell.text = cell.value2.boolean ? u"TRUE" : u"FALSE";
            if (cell.value2.kind != XlValue::Kind::Empty && chance(5)) cell.text += u"*", cell.numberFormat = u"@\"*\"";
            if (grid || chance(30)) {
                for (int edge : {kXlEdgeTop, kXlEdgeBottom, kXlEdgeLeft, kXlEdgeRight})
                    if (chance(grid ? 95 : 40)) cell.borders[edge] = chance(80) ? kXlContinuous : kXlDouble;
            }
            if (chance(5)) cell.borders[chance(50) ? kXlDiagonalDown : kXlDiagonalUp] = kXlDash;
        }
    }
    // Merged areas that do not overlap; one may start before the selection.
    std::set<std::pair<int, int>> taken;
    for (int n = pick(4); n > 0; --n) {
        const int ar1 = book.r1 - 1 + pick(book.rows + 1), ac1 = book.c1 - 1 + pick(book.cols + 1);
        const int ar2 = ar1 + pick(3), ac2 = ac1 + pick(3);
        if (ar1 < 1 || ac1 < 1 || (ar1 == ar2 && ac1 == ac2)) continue;
        bool free = true;
        for (int r = ar1; r <= ar2; ++r)
            for (int c = ac1; c <= ac2; ++c) free = free && !taken.count({r, c});
        if (!free) continue;
        for (int r = ar1; r <= ar2; ++r)
            for (int c = ac1; c <= ac2; ++c) taken.insert({r, c});
        book.Merge(ar1, ac1, ar2, ac2);
    }
    if (failures) {
        const int r = book.r1 + pick(book.rows), c = book.c1 + pick(book.cols);
        switch (pick(6)) {
        case 0: book.cells[{r, c}].value2 = XlValue::ErrorValue(u"#DIV/0!"); break;
        case 1: book.cells[{r, c}].fontSize = XlValue::Null(); break;
        case 2: book.failCell = std::make_pair(r, c); break;
        case 3: book.cells[{r, c}].columnWidth = std::nan(""); break;
        case 4: book.cells[{r, c}].value2Throws = "Value2: 0x800A03EC"; break;
        default: book.cells[{r, c}].fontSize = XlValue::Of(std::u16string(u"大")); break;
        }
    }
    if (chance(10)) book.displayFormulas = XlValue::OfBool(true);
    return book;
}

TEST(RangeReads, RandomBooksGiveTheTableOfTheCellByCellReadingOrItsFailure)
{
    int failed = 0;
    for (std::uint32_t seed = 1; seed <= 400; ++seed) {
        FakeBook book = RandomBook(seed, seed % 3 == 0);
        const ImportOutcome cells = ByCells(book);
        const ImportOutcome ranges = ByRanges(book);
        failed += !cells.ok;
        ASSERT_EQ(ranges, cells) << "seed " << seed << ": " << Difference(ranges, cells);
    }
    EXPECT_GT(failed, 60); // the failures were met, not skipped
}

TEST(RangeReads, AnswersOfAnUnexpectedKindAreLeftToTheCells)
{
    // Neither a value of the kind asked for nor null: the cells of that range are read finer, down to one
    // by one, and the table is the per-cell reading's.
    const std::vector<XlValue> odd = {XlValue::Of(std::u16string(u"1")), XlValue::Empty(), XlValue::ErrorValue(u"#N/A"),
                                      XlValue::OfBool(true), XlValue::Of(0.0)};
    const struct {
        const char* op;
        XlValue::Kind expected;
    } reads[] = {
        {"ColumnWidth", XlValue::Kind::Number}, {"RowHeight", XlValue::Kind::Number},
        {"HorizontalAlignment", XlValue::Kind::Number}, {"FontSize", XlValue::Kind::Number},
        {"NumberFormat", XlValue::Kind::Text}, {"BorderLineStyle", XlValue::Kind::Number},
        {"MergeCells", XlValue::Kind::Boolean}, {"Left", XlValue::Kind::Number}, {"Top", XlValue::Kind::Number},
        {"Value2Array", XlValue::Kind::Null},
    };
    for (const auto& read : reads) {
        for (const XlValue& answer : odd) {
            if (answer.kind == read.expected && read.expected != XlValue::Kind::Boolean) continue;
            for (std::uint32_t seed : {7u, 11u, 19u}) {
                FakeBook book = RandomBook(seed, false);
                const std::string op = read.op;
                book.rangeAnswer = [op, answer](const std::string& asked) -> std::optional<XlValue> {
                    if (asked == op) return answer;
                    return std::nullopt;
                };
                const ImportOutcome ranges = ByRanges(book), cells = ByCells(book);
                EXPECT_EQ(ranges, cells) << read.op << " seed " << seed << ": " << Difference(ranges, cells);
            }
        }
    }
}

TEST(RangeReads, RefusedRangeReadsAreLeftToTheCells)
{
    for (const char* op : {"ColumnWidth", "RowHeight", "HorizontalAlignment", "FontSize", "NumberFormat",
                           "BorderLineStyle", "MergeCells", "Left", "Top", "Value2Array"}) {
        FakeBook book = RandomBook(23, false);
        const std::string refused = op;
        book.rangeAnswer = [refused](const std::string& asked) -> std::optional<XlValue> {
            if (asked == refused) throw Error(refused + ": 0x800A03EC");
            return std::nullopt;
        };
        const ImportOutcome ranges = ByRanges(book);
        // A merged area's Left and Top are asked of the area, a range of several cells, by both readings.
        if (refused != "Left" && refused != "Top") {
            EXPECT_TRUE(ranges.ok) << op << ": " << ToUtf8(ranges.detail);
        }
        EXPECT_EQ(ranges, ByCells(book)) << op;
    }
    FakeBook book = RandomBook(23, false);
    book.failAt = {"DisplayFormulas"};
    EXPECT_EQ(ByRanges(book), ByCells(book));
}

// Borders are kept as each cell answers for its own edges: an edge two cells share may be drawn on one
// side only, and inside lines that differ in style but not in being drawn are still asked finer.
TEST(RangeReads, EachCellKeepsItsOwnEdges)
{
    FakeBook book;
    book.rows = 2, book.cols = 3;
    book.cells[{1, 1}].borders = {{kXlEdgeBottom, kXlContinuous}, {kXlEdgeRight, kXlDouble}};
    book.cells[{2, 1}].borders = {{kXlEdgeTop, kXlLineStyleNone}};
    book.cells[{1, 2}].borders = {{kXlEdgeLeft, kXlContinuous}, {kXlEdgeRight, kXlContinuous}};
    book.cells[{1, 3}].borders = {{kXlEdgeLeft, kXlDash}, {kXlDiagonalUp, kXlContinuous}};
    HeadlessImportView view;
    CellTable table;
    ASSERT_TRUE(ImportSelection(AttachTo(book), view, table, ImportScales{}, u'.').ok);
    EXPECT_EQ(table.At(0, 0).lineBits, kEdgeBottom | kEdgeRight);
    EXPECT_EQ(table.At(1, 0).lineBits, 0);
    EXPECT_EQ(table.At(0, 1).lineBits, kEdgeLeft | kEdgeRight);
    EXPECT_EQ(table.At(0, 2).lineBits, kEdgeLeft | kDiagonalUp);
    EXPECT_EQ(ByRanges(book), ByCells(book));
}

// Text is asked alone only where the value does not tell it: an empty cell shows nothing, a text under
// General or Text ("@") shows itself (up to 255 characters, not repeated by Fill alignment, and not while
// the sheet shows formulas); everything else is asked.
TEST(RangeReads, TextIsAskedWhereTheValueDoesNotTellIt)
{
    struct Case {
        const char* name;
        XlValue value;
        const char16_t* format;
        int align = 1;
        bool displayFormulas = false;
        bool asked;
    };
    const std::u16string longText(256, u'字');
    const Case cases[] = {
        {"empty, General", XlValue::Empty(), u"General", 1, false, false},
        {"empty, a format", XlValue::Empty(), u"0.00", 1, false, false},
        {"text, General", XlValue::Of(std::u16string(u"品名")), u"General", 1, false, false},
        {"text, @", XlValue::Of(std::u16string(u"品名")), u"@", 1, false, false},
        {"text, centred", XlValue::Of(std::u16string(u"品名")), u"General", kXlHAlignCenter, false, false},
        {"text, 255 characters", XlValue::Of(std::u16string(255, u'字')), u"General", 1, false, false},
        {"text, 256 characters", XlValue::Of(longText), u"General", 1, false, true},
        {"text, a format of its own", XlValue::Of(std::u16string(u"品名")), u"@\"様\"", 1, false, true},
        {"text, Fill alignment", XlValue::Of(std::u16string(u"-")), u"General", kXlHAlignFill, false, true},
        {"text, formulas shown", XlValue::Of(std::u16string(u"品名")), u"General", 1, true, true},
        {"number, General", XlValue::Of(12.5), u"General", 1, false, true},
        {"Boolean", XlValue::OfBool(true), u"General", 1, false, true},
    };
    for (const Case& k : cases) {
        FakeBook book;
        book.rows = 2, book.cols = 2;
        for (int r = 1; r <= 2; ++r) {
            for (int c = 1; c <= 2; ++c) {
                FakeCell& cell = book.cells[{r, c}];
                cell.value2 = k.value;
                cell.numberFormat = k.format;
                cell.align = k.align;
                cell.text = u"shown";
            }
        }
        book.displayFormulas = XlValue::OfBool(k.displayFormulas);
        HeadlessImportView view;
        CellTable table;
        ASSERT_TRUE(ImportSelection(AttachTo(book), view, table, ImportScales{}, u'.').ok) << k.name;
        EXPECT_EQ(book.calls["Text"], k.asked ? 4 : 0) << k.name;
        const std::u16string expected = k.asked ? u"shown" : k.value.kind == XlValue::Kind::Empty ? u"" : k.value.text;
        EXPECT_EQ(table.At(1, 1).str, expected) << k.name;
        EXPECT_EQ(view.texts[3], expected) << k.name;
    }
}

// A uniform selection is read in a few range reads whatever its size; where it is mixed its columns are
// asked, and where they are mixed its rows, each over the span of its cells still open.
TEST(RangeReads, CellsAreAskedAloneOnlyWhereTheirRowAndColumnAreMixed)
{
    FakeBook book;
    book.rows = 50, book.cols = 12;
    for (int r = 1; r <= 50; ++r) {
        for (int c = 1; c <= 12; ++c) {
            FakeCell& cell = book.cells[{r, c}];
            cell.value2 = XlValue::Of(std::u16string(u"品"));
            cell.text = u"品";
            cell.borders = {{kXlEdgeTop, 1}, {kXlEdgeBottom, 1}, {kXlEdgeLeft, 1}, {kXlEdgeRight, 1}};
            cell.align = c % 3 == 0 ? kXlHAlignCenter : 1;   // by column
            cell.fontSize = XlValue::Of(11.0);
        }
    }
    book.cells[{5, 7}].fontSize = XlValue::Of(9.0); // its row and its column are mixed
    HeadlessImportView view;
    CellTable table;
    ASSERT_TRUE(ImportSelection(AttachTo(book), view, table, ImportScales{}, u'.').ok);
    EXPECT_EQ(book.calls["Cells"], 0);
    EXPECT_EQ(book.calls["HorizontalAlignment"], 1 + 12);    // the selection, its columns
    EXPECT_EQ(book.calls["FontSize"], 1 + 12 + 50);          // the selection, its columns, column 7 in each row
    EXPECT_EQ(book.rangeCalls, 50);                          // the one open cell of each row
    EXPECT_EQ(book.calls["BorderLineStyle"], 8);             // the selection's outline, inside lines, diagonals
    EXPECT_EQ(book.calls["Text"], 0);
    EXPECT_EQ(table.At(4, 6).txtSize, 9);
    EXPECT_EQ(table.At(4, 5).txtSize, 11);
    EXPECT_EQ(table.At(3, 2).txtAlign, kAlignCenter);
    EXPECT_EQ(table.At(3, 2).lineBits, 15);
    EXPECT_LT(book.Calls(), 50 * 12 / 2);
    EXPECT_EQ(ByRanges(book), ByCells(book));
}

} // namespace
} // namespace gridvane
