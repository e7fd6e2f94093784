// The full size pass and the table file reader on large tables.
#include <benchmark/benchmark.h>

#include "model/CellTable.h"
#include "model/TableFile.h"

namespace gridvane {
namespace {

// rows x 100 cells, every border set, a 2 x 3 merged area in every tenth row, short texts.
CellTable LargeTable(std::int32_t rows)
{
    CellTable t;
    t.GridColCount = 100;
    t.GridRowCount = rows;
    t.CellGrid.resize(static_cast<std::size_t>(rows) * 100);
    for (std::int32_t r = 0; r < rows; ++r)
        for (std::int32_t c = 0; c < 100; ++c) {
            TXlsxCellAttr& cell = t.At(r, c);
            cell.rowH = 18;
            cell.colW = static_cast<std::uint16_t>(8 + c % 5);
            cell.txtSize = 11;
            cell.lineBits = 15;
            cell.str = u"部品" + std::u16string(1, static_cast<char16_t>(u'0' + c % 10));
            if (r % 10 == 0 && r + 1 < rows && c % 10 < 3) {
                cell.cellMerge = true;
                cell.mergerowYscount = 2;
                cell.mergecolXscount = 3;
                cell.mergeLeft = static_cast<std::uint16_t>(c / 10);
                cell.mergeTop = static_cast<std::uint16_t>(r);
            }
            if (r % 10 == 1 && c % 10 < 3)
                cell = t.At(r - 1, c), cell.str.clear();
        }
    return t;
}

void BM_CalcDrawSize(benchmark::State& state)
{
    CellTable t = LargeTable(static_cast<std::int32_t>(state.range(0)));
    for (auto _ : state) {
        CalcDrawSize(t, 3, 0.43, 0.27);
        benchmark::DoNotOptimize(t.CellGrid.data());
    }
    state.SetItemsProcessed(state.iterations() * static_cast<std::int64_t>(t.CellGrid.size()));
}
BENCHMARK(BM_CalcDrawSize)->Arg(1000)->Arg(4000)->Unit(benchmark::kMillisecond);

void BM_ParseTableFile(benchmark::State& state)
{
    const CellTable t = LargeTable(static_cast<std::int32_t>(state.range(0)));
    const std::string json = TableFileJson(t, {});
    for (auto _ : state)
        benchmark::DoNotOptimize(ParseTableFile(json, "bench").table.CellGrid.size());
    state.SetBytesProcessed(state.iterations() * static_cast<std::int64_t>(json.size()));
}
BENCHMARK(BM_ParseTableFile)->Arg(1000)->Arg(4000)->Unit(benchmark::kMillisecond);

} // namespace
} // namespace gridvane
