#include <gtest/gtest.h>

#include <map>
#include <utility>
#include <vector>

#include "base/Utf.h"
#include "textconv/TextCommands.h"

namespace gridvane {
namespace {

TEST(TextCommands, AlphaTexts)
{
    const struct {
        std::u16string text;
        bool alpha;
    } cases[] = {
        {u"", true}, {u"abc", true}, {u"A.B", true}, {u"a,b-c", true}, {u"AZaz", true},
        {u"A-1", false}, {u"a b", false}, {u"ａｂ", false}, {u"é", false}, {u"a_b", false}, {u"@", false},
    };
    for (const auto& c : cases)
        EXPECT_EQ(IsAlphaText(c.text), c.alpha) << ToUtf8(c.text);
}

TEST(TextCommands, ConvertCellText)
{
    const struct {
        TextCommand command;
        std::u16string text;
        std::optional<std::u16string> expected;
    } cases[] = {
        {TextCommand::N12, u"123", std::nullopt},
        {TextCommand::N12, u"1,234.5", std::nullopt},
        {TextCommand::N12, u"-5", std::nullopt},
        {TextCommand::N12, u"2023-01-01", std::nullopt},
        {TextCommand::N12, u"abc", std::nullopt},
        {TextCommand::N12, u"A.B", std::nullopt},
        {TextCommand::N12, u"A-1", u"Ａ－１"},
        {TextCommand::N12, u"ｱｲｳ", u"アイウ"},
        {TextCommand::N12, u"12 3", u"１２　３"},
        {TextCommand::N12, u"1e5", u"１ｅ５"},
        {TextCommand::N1, u"123", u"１２３"},
        {TextCommand::N1, u"abc 123", u"ａｂｃ　１２３"},
        {TextCommand::N5, u"ｶﾞ1", u"ガ1"},
        {TextCommand::N2, u"ＡＢＣ１２３ガ", u"ABC123ｶﾞ"},
        {TextCommand::N6, u"１ａ", u"1ａ"},
        {TextCommand::N7, u"１ａ", u"１a"},
        {TextCommand::N9, u"（１）", u"(１)"},
    };
    for (const auto& c : cases) {
        const auto result = ConvertCellText(c.command, c.text);
        ASSERT_EQ(result.has_value(), c.expected.has_value()) << ToUtf8(c.text);
        if (result) {
            EXPECT_EQ(ToUtf8(*result), ToUtf8(*c.expected)) << ToUtf8(c.text);
        }
    }
}

// Characters without a width counterpart, most of them outside CP932, are no command's business: each of
// the seven commands gives them back as they are, between converted neighbours too.
TEST(TextCommands, CharactersWithoutAWidthFormComeBackFromEveryCommand)
{
    const std::u16string untouched = u"✓é‖—〜€\U0001F600\U00020B9F\xD800\xDC00\uFFFD漢字ひらがな";
    const struct {
        TextCommand command;
        std::u16string text;
        std::u16string expected;
    } cases[] = {
        {TextCommand::N1, u"a✓" + untouched + u"1", u"ａ✓" + untouched + u"１"},
        {TextCommand::N12, u"a✓" + untouched + u"1", u"ａ✓" + untouched + u"１"},
        {TextCommand::N5, u"ｱ✓" + untouched + u"ｶﾞ", u"ア✓" + untouched + u"ガ"},
        {TextCommand::N2, u"Ａ✓" + untouched + u"１", u"A✓" + untouched + u"1"},
        {TextCommand::N6, u"１✓" + untouched + u"２", u"1✓" + untouched + u"2"},
        {TextCommand::N7, u"Ａ✓" + untouched + u"ｂ", u"A✓" + untouched + u"b"},
        {TextCommand::N9, u"（✓" + untouched + u"）", u"(✓" + untouched + u")"},
    };
    for (const auto& c : cases) {
        const auto result = ConvertCellText(c.command, c.text);
        ASSERT_TRUE(result.has_value()) << static_cast<int>(c.command);
        EXPECT_EQ(*result, c.expected) << static_cast<int>(c.command) << ": " << ToUtf8(*result);
    }
}

// A grid of texts that records every write.
class FakeGrid : public GridTexts {
public:
    FakeGrid(std::int32_t cols, std::int32_t rows) : cols_(cols), texts_(static_cast<std::size_t>(cols * rows)) {}
    std::u16string Text(std::int32_t col, std::int32_t row) const override { return texts_.at(Index(col, row)); }
    void SetText(std::int32_t col, std::int32_t row, std::u16string text) override
    {
        writes.emplace_back(col, row);
        texts_.at(Index(col, row)) = std::move(text);
    }
    std::u16string& At(std::int32_t col, std::int32_t row) { return texts_.at(Index(col, row)); }

    std::vector<std::pair<std::int32_t, std::int32_t>> writes;

private:
    std::size_t Index(std::int32_t col, std::int32_t row) const { return static_cast<std::size_t>(row * cols_ + col); }
    std::int32_t cols_;
    std::vector<std::u16string> texts_;
};

using Cells = std::vector<std::pair<std::int32_t, std::int32_t>>;

TEST(TextCommands, CommandsWriteEveryNonEmptyCellOfTheSelection)
{
    FakeGrid grid(4, 4);
    grid.At(0, 1) = u"1";  // fixed column
    grid.At(1, 0) = u"A";  // fixed row
    grid.At(1, 1) = u"ab"; // left alone by N12
    grid.At(2, 1) = u"ｱ";
    grid.At(1, 2) = u"";
    grid.At(2, 2) = u"漢"; // unchanged, written all the same
    grid.At(3, 3) = u"x";  // outside the selection

    RunTextCommand(grid, {0, 0, 2, 2}, TextCommand::N12);
    EXPECT_EQ(grid.writes, (Cells{{2, 1}, {2, 2}}));
    EXPECT_EQ(ToUtf8(grid.At(2, 1)), "ア");

    grid.writes.clear();
    RunTextCommand(grid, {1, 1, 2, 2}, TextCommand::N1);
    EXPECT_EQ(grid.writes, (Cells{{1, 1}, {2, 1}, {2, 2}}));
    EXPECT_EQ(ToUtf8(grid.At(1, 1)), "ａｂ");
    EXPECT_EQ(ToUtf8(grid.At(0, 1)), "1");
    EXPECT_EQ(ToUtf8(grid.At(1, 0)), "A");
    EXPECT_EQ(ToUtf8(grid.At(3, 3)), "x");

    grid.writes.clear();
    RunTextCommand(grid, {3, 3, 3, 3}, TextCommand::N7); // a single current cell
    EXPECT_EQ(grid.writes, (Cells{{3, 3}}));

    grid.writes.clear();
    RunTextCommand(grid, {2, 2, 1, 1}, TextCommand::N1); // empty rectangle
    EXPECT_TRUE(grid.writes.empty());
}

TEST(TextCommands, ReplaceFirstOccurrenceAndCountTheCellsItChanged)
{
    const struct {
        std::u16string search;
        std::u16string replacement;
        std::u16string first, second, third;
        Cells written;
    } cases[] = {
        {u"a", u"b", u"baa", u"xyz", u"Abc", {{1, 1}}},
        {u"A", u"b", u"aaa", u"xyz", u"bbc", {{2, 2}}},             // case-sensitive
        {u"", u"b", u"aaa", u"xyz", u"Abc", {}},                    // empty search: nothing changes
        {u"aa", u"", u"a", u"xyz", u"Abc", {{1, 1}}},               // empty replacement deletes
        {u"yz", u"ｙｚｚ", u"aaa", u"xｙｚｚ", u"Abc", {{2, 1}}},
        {u"c", u"c", u"aaa", u"xyz", u"Abc", {}},                   // found, but the text stays as it was
        {u"q", u"r", u"aaa", u"xyz", u"Abc", {}},                   // nowhere
    };
    for (const auto& c : cases) {
        FakeGrid grid(3, 3);
        grid.At(1, 1) = u"aaa";
        grid.At(2, 1) = u"xyz";
        grid.At(1, 2) = u"";
        grid.At(2, 2) = u"Abc";
        EXPECT_EQ(ReplaceInSelection(grid, {1, 1, 2, 2}, c.search, c.replacement),
                  static_cast<std::int64_t>(c.written.size())) << ToUtf8(c.search);
        EXPECT_EQ(grid.writes, c.written) << ToUtf8(c.search);
        EXPECT_EQ(ToUtf8(grid.At(1, 1)), ToUtf8(c.first));
        EXPECT_EQ(ToUtf8(grid.At(2, 1)), ToUtf8(c.second));
        EXPECT_EQ(ToUtf8(grid.At(2, 2)), ToUtf8(c.third));
        EXPECT_EQ(grid.At(1, 2), u"");
    }
    FakeGrid empty(3, 3);
    EXPECT_EQ(ReplaceInSelection(empty, {1, 1, 2, 2}, u"a", u"b"), 0);
    EXPECT_TRUE(empty.writes.empty());
}

} // namespace
} // namespace gridvane
