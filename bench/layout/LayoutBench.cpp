// The whole drawing run (layout and save) of a fully bordered table with a text in every cell.
#include <benchmark/benchmark.h>

#include <sys/resource.h>

#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <optional>

#include "layout/DrawingPreview.h"
#include "layout/TableLayout.h"

namespace {

using namespace gridvane;

struct Input {
    CellTable table;
    std::vector<std::u16string> texts;
};

Input MakeTable(int rows, int cols)
{
    Input in;
    in.table.GridColCount = cols;
    in.table.GridRowCount = rows;
    in.table.CellGrid.resize(static_cast<std::size_t>(rows) * cols);
    for (int r = 0; r < rows; ++r) {
        for (int c = 0; c < cols; ++c) {
            TXlsxCellAttr& a = in.table.At(r, c);
            a.colW = static_cast<std::uint16_t>(8 + c % 5);
            a.rowH = 15;
            a.txtSize = 11;
            a.lineBits = 63;
            a.txtAlign = static_cast<std::uint8_t>(c % 4);
            // A merged 2 x 2 area every 50 rows and 10 columns.
            if (r % 50 < 2 && c % 10 < 2) {
                a.cellMerge = true;
                a.mergerowYscount = a.mergecolXscount = 2;
                a.mergeLeft = static_cast<std::uint16_t>(c / 10);
                a.mergeTop = static_cast<std::uint16_t>(r / 50);
            }
            in.texts.push_back(c % 3 == 0 ? u"部品" + std::u16string(1, static_cast<char16_t>(u'0' + r % 10)) : u"M8\n12.5");
        }
    }
    CalcDrawSize(in.table, 3, 0.43, 0.27);
    return in;
}

// The memory the process holds now, in MB.
double ResidentMB()
{
    std::ifstream statm("/proc/self/statm");
    double pages = 0, resident = 0;
    statm >> pages >> resident;
    return resident * static_cast<double>(sysconf(_SC_PAGESIZE)) / (1024.0 * 1024.0);
}

void BM_LayoutAndSave(benchmark::State& state)
{
    const Input in = MakeTable(static_cast<int>(state.range(0)), static_cast<int>(state.range(1)));
    const double input = ResidentMB(); // the table and its texts, before the run
    const auto path = std::filesystem::temp_directory_path() / "gridvane-bench-layout.dxf";
    std::size_t bytes = 0;
    for (auto _ : state) {
        const DxfLineList list = LayoutTable(in.table, in.texts, LayoutOptions{true, 0.8});
        SaveDxfLineList(list, path);
        bytes = std::filesystem::file_size(path);
    }
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    state.counters["cells"] = static_cast<double>(in.table.CellGrid.size());
    state.counters["file_MB"] = static_cast<double>(bytes) / 1e6;
    state.counters["peak_RSS_MB"] = static_cast<double>(usage.ru_maxrss) / 1024.0;
    // What the run added to the memory the input holds: the figure to set against the file's size.
    state.counters["input_RSS_MB"] = input;
    std::filesystem::remove(path);
}
BENCHMARK(BM_LayoutAndSave)->Args({1000, 100})->Args({2000, 200})->Unit(benchmark::kMillisecond)->Iterations(3);

// The converter's run: the drawing streamed to its file a buffer at a time while it is laid out, the buffer
// reused (run it alone, --benchmark_filter=Streamed, for its own peak).
void BM_LayoutStreamed(benchmark::State& state)
{
    const Input in = MakeTable(static_cast<int>(state.range(0)), static_cast<int>(state.range(1)));
    const auto path = std::filesystem::temp_directory_path() / "gridvane-bench-layout-streamed.dxf";
    std::size_t bytes = 0;
    for (auto _ : state) {
        std::optional<AtomicFile> file;
        DxfLineList list;
        list.StreamTo([&](std::string_view chunk) { file->Write(chunk); }, std::size_t{256} << 10);
        DxfLineListSink sink(list);
        LayoutTableTo(in.table, in.texts, LayoutOptions{true, 0.8}, sink, [&] { file = CreateDxfFile(path); });
        list.Flush();
        file->Commit();
        bytes = std::filesystem::file_size(path);
    }
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    state.counters["file_MB"] = static_cast<double>(bytes) / 1e6;
    state.counters["peak_RSS_MB"] = static_cast<double>(usage.ru_maxrss) / 1024.0;
    std::filesystem::remove(path);
}
BENCHMARK(BM_LayoutStreamed)->Args({1000, 100})->Args({2000, 200})->Unit(benchmark::kMillisecond)->Iterations(3);

// The drawing page's list of the same run: what showing the page costs.
void BM_Preview(benchmark::State& state)
{
    const Input in = MakeTable(static_cast<int>(state.range(0)), static_cast<int>(state.range(1)));
    std::size_t entities = 0;
    for (auto _ : state) {
        const DrawingPreview preview = PreviewTable(in.table, in.texts, LayoutOptions{true, 0.8});
        entities = preview.entities.size();
    }
    state.counters["entities"] = static_cast<double>(entities);
}
BENCHMARK(BM_Preview)->Args({60000, 15})->Unit(benchmark::kMillisecond)->Iterations(3);

} // namespace
