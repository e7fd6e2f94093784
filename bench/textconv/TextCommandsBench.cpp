// The grid's seven width commands over 100,000 cells of 20 mixed characters each.
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

// Reads the original texts and writes into a second array, so every run sees the same input.
class BenchGrid : public GridTexts {
public:
    BenchGrid() : in_(static_cast<std::size_t>(kCols * kRows)), out_(in_.size())
    {
        const std::u16string_view pool =
            u"Ab1 ,.-xyz0９ＡｚＺ（）＋［］｜￥＼～ｶﾞｷﾞﾊﾟｱｲｳﾞﾜﾞ｡｢｣ガパアイウ漢字熙槇ひらがな　、。";
        std::mt19937 random(12345);
        std::uniform_int_distribution<std::size_t> pick(0, pool.size() - 1);
        for (auto& text : in_)
            for (std::size_t i = 0; i < kCharsPerCell; ++i)
                text += pool[pick(random)];
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

void RunCommand(benchmark::State& state, TextCommand command)
{
    BenchGrid grid;
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

} // namespace
} // namespace gridvane
