// The grid's seven width commands over 100,000 cells of 20 mixed characters each: Japanese text that code
// page 932 carries whole, and the same with characters it lacks (¥, é, ✓, ‖, emoji) among them.
#include <benchmark/benchmark.h>

#include <random>
#include <string>
#include <vector>

#include "textconv/TextCommands.h"

namespace gridvane {
namespace {

constexpr std::int32_t kCols = 100;
constexpr std::int32_t kRows = 1000;
constexpr std::size_t kCharsPerCell = 20;

constexpr std::u16string_view kCp932Pool =
    u"Ab1 ,.-xyz0９ＡｚＺ（）＋［］｜￥＼～ｶﾞｷﾞﾊﾟｱｲｳﾞﾜﾞ｡｢｣ガパアイウ漢字熙槇ひらがな　、。";
// About one character in six lacks a code page 932 code: ¥ é ü ✓ ‖ 〜 — and an emoji.
constexpr std::u16string_view kMixedPool =
    u"Ab1 ,.９ＡｚＺ（）＋［］｜￥ｶﾞｷﾞﾊﾟｱｲｳﾞ｡｢ガパ漢字熙槇ひら　、¥é✓‖\U0001F600ü〜—∑";

// Reads the original texts and writes into a second array, so every run sees the same input.
class BenchGrid : public GridTexts {
public:
    explicit BenchGrid(std::u16string_view pool) : in_(static_cast<std::size_t>(kCols * kRows)), out_(in_.size())
    {
        // The pool's characters, a surrogate pair as one.
        std::vector<std::u16string_view> characters;
        for (std::size_t i = 0; i < pool.size(); ++i) {
            const bool pair = pool[i] >= 0xD800 && pool[i] <= 0xDBFF && i + 1 < pool.size();
            characters.push_back(pool.substr(i, pair ? 2 : 1));
            i += pair ? 1 : 0;
        }
        std::mt19937 random(12345);
        std::uniform_int_distribution<std::size_t> pick(0, characters.size() - 1);
        for (auto& text : in_)
            for (std::size_t i = 0; i < kCharsPerCell; ++i)
                text += characters[pick(random)];
    }
    std::u16string Text(std::int32_t col, std::int32_t row) const override { return in_[Index(col, row)]; }
    void SetText(std::int32_t col, std::int32_t row, std::u16string text) override { out_[Index(col, row)] = std::move(text); }

private:
    static std::size_t Index(std::int32_t col, std::int32_t row)
    {
        return static_cast<std::size_t>((row - 1) * kCols + (col - 1));
    }
    std::vector<std::u16string> in_;
    std::vector<std::u16string> out_;
};

void RunCommand(benchmark::State& state, TextCommand command, std::u16string_view pool = kCp932Pool)
{
    BenchGrid grid(pool);
    for (auto _ : state)
        RunTextCommand(grid, {1, 1, kCols, kRows}, command);
    state.SetItemsProcessed(state.iterations() * kCols * kRows);
}

BENCHMARK_CAPTURE(RunCommand, N1_ToFullWidth, TextCommand::N1)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(RunCommand, N12_ToFullWidthButNumbers, TextCommand::N12)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(RunCommand, N5_HalfKanaToFull, TextCommand::N5)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(RunCommand, N2_ToHalfWidth, TextCommand::N2)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(RunCommand, N6_FullDigitsToHalf, TextCommand::N6)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(RunCommand, N7_FullAlphaToHalf, TextCommand::N7)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(RunCommand, N9_FullSymbolsToHalf, TextCommand::N9)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(RunCommand, N5_HalfKanaToFull_Mixed, TextCommand::N5, kMixedPool)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(RunCommand, N6_FullDigitsToHalf_Mixed, TextCommand::N6, kMixedPool)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(RunCommand, N9_FullSymbolsToHalf_Mixed, TextCommand::N9, kMixedPool)->Unit(benchmark::kMillisecond);

} // namespace
} // namespace gridvane
