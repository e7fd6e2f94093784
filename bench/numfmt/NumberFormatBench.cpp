#include "numfmt/NumberFormat.h"

#include <benchmark/benchmark.h>

#include <string>
#include <vector>

namespace {

// A dozen codes a Japanese workbook typically uses, numbers and dates mixed.
const std::u16string kCodes[] = {
    u"General",          u"0",        u"#,##0.00",          u"0.0%",
    u"\"¥\"#,##0;[Red]\"¥\"\\-#,##0", u"yyyy/m/d", u"[$-411]ggge\"年\"m\"月\"d\"日\"", u"h:mm AM/PM",
    u"[h]:mm:ss",        u"0.00E+00", u"# ?/?",             u"m\"月\"d\"日\"(aaa)",
};

std::vector<double> Values(size_t n)
{
    std::vector<double> v(n);
    unsigned x = 12345;
    for (size_t i = 0; i < n; ++i) {
        x = x * 1103515245u + 12345u;
        v[i] = 30000.0 + static_cast<double>(x % 2000000u) / 100.0 - (i % 7 == 0 ? 40000.0 : 0.0);
    }
    return v;
}

// 1,000,000 values, each code in turn (as cells of a sheet are read row by row).
void BM_MillionValuesTwelveCodes(benchmark::State& state)
{
    const std::vector<double> values = Values(1000000);
    gridvane::NumberFormatter f;
    for (auto _ : state) {
        size_t chars = 0;
        for (size_t i = 0; i < values.size(); ++i)
            chars += f.FormatNumber(values[i], kCodes[i % 12]).size();
        benchmark::DoNotOptimize(chars);
    }
    state.SetItemsProcessed(state.iterations() * static_cast<int64_t>(values.size()));
}
BENCHMARK(BM_MillionValuesTwelveCodes)->Unit(benchmark::kMillisecond);

// One code per run of values, as a column of the same format.
void BM_PerCode(benchmark::State& state)
{
    const std::vector<double> values = Values(10000);
    const std::u16string& code = kCodes[state.range(0)];
    gridvane::NumberFormatter f;
    for (auto _ : state)
        for (double v : values)
            benchmark::DoNotOptimize(f.FormatNumber(v, code));
    state.SetItemsProcessed(state.iterations() * static_cast<int64_t>(values.size()));
}
BENCHMARK(BM_PerCode)->DenseRange(0, 11);

} // namespace
