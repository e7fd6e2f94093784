// The import of a 1000 x 100 sheet (shared strings, styles, merges) through the workbook stand-in,
// against just decompressing its sheet and shared-strings parts; and import plus drawing.
#include <benchmark/benchmark.h>

#include <malloc.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>

#include "excel/ExcelImport.h"
#include "xlsx/XlsxPackage.h"
#include "xlsx/XlsxApplication.h"
#include "layout/TableLayout.h"
#include "tests/support/PerCellImport.h"

namespace {

using namespace gridvane;
namespace fs = std::filesystem;

// Written once by openpyxl, an independent writer.
const fs::path& Workbook()
{
    static const fs::path path = [] {
        const fs::path dir = fs::temp_directory_path() / "gridvane-bench-import";
        fs::create_directories(dir);
        const fs::path book = dir / "big.xlsx";
        if (!fs::exists(book)) {
            const fs::path script = dir / "make.py";
            std::ofstream(script) << "import openpyxl, sys\n"
                                     "from openpyxl.styles import Border, Side, Alignment, Font\n"
                                     "wb = openpyxl.Workbook(); ws = wb.active\n"
                                     "thin = Side(style='thin'); box = Border(left=thin, right=thin, top=thin, bottom=thin)\n"
                                     "for r in range(1, 1001):\n"
                                     "    for c in range(1, 101):\n"
                                     "        cell = ws.cell(row=r, column=c, value=('部品%d' % (r % 50)) if c % 3 == 0 else r * 0.5 + c)\n"
                                     "        cell.border = box\n"
                                     "        if c % 7 == 0: cell.number_format = '#,##0.00'\n"
                                     "        if c % 5 == 0: cell.alignment = Alignment(horizontal='center')\n"
                                     "for r in range(1, 1001, 50): ws.merge_cells(start_row=r, start_column=1, end_row=r + 1, end_column=2)\n"
                                     "ws.sheet_view.selection[0].sqref = 'A1:CV1000'\n"
                                     "wb.save(sys.argv[1])\n";
            const std::string cmd = "/usr/bin/python3 " + script.string() + " " + book.string();
            if (std::system(cmd.c_str()) != 0) std::abort();
        }
        return book;
    }();
    return path;
}


void Counters(benchmark::State& state)
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    state.counters["peak_RSS_MB"] = static_cast<double>(usage.ru_maxrss) / 1024.0;
}

void BM_DecompressSheetAndStrings(benchmark::State& state)
{
    const fs::path& book = Workbook();
    std::size_t bytes = 0;
    for (auto _ : state) {
        XlsxPackage package(book);
        bytes = package.Read("xl/worksheets/sheet1.xml").size();
        if (package.Has("xl/sharedStrings.xml")) bytes += package.Read("xl/sharedStrings.xml").size();
        benchmark::DoNotOptimize(bytes);
    }
    state.counters["xml_MB"] = static_cast<double>(bytes) / 1e6;
    Counters(state);
}
BENCHMARK(BM_DecompressSheetAndStrings)->Unit(benchmark::kMillisecond);

// Opening the workbook and indexing its sheet: the part of the import that does not depend on the selection.
void BM_OpenSheet(benchmark::State& state)
{
    const fs::path& book = Workbook();
    for (auto _ : state) {
        auto app = OpenWorkbookAsApplication(book);
        benchmark::DoNotOptimize(app->ActiveSheet()->Name());
    }
    Counters(state);
}

// The process's peak resident memory since it was last reset, in bytes (VmHWM).
double HighWaterBytes()
{
    std::ifstream status("/proc/self/status");
    for (std::string line; std::getline(status, line);) {
        if (line.rfind("VmHWM:", 0) == 0) return std::stod(line.substr(6)) * 1024.0;
    }
    return -1;
}

// What work adds to the memory of a process, in bytes: run once in a child forked for it, which first
// gives back the memory its parent freed and resets its peak to what it holds then (a forked child
// inherits its parent's peak otherwise).
double GrowthInChild(const std::function<void()>& work)
{
    int pipes[2];
    if (pipe(pipes) != 0) return -1;
    const pid_t pid = fork();
    if (pid == 0) {
        close(pipes[0]);
        malloc_trim(0); // memory the parent freed but holds would be reused without a page more
        std::ofstream("/proc/self/clear_refs") << "5";
        const double before = HighWaterBytes();
        work();
        const double growth = HighWaterBytes() - before;
        const ssize_t written = write(pipes[1], &growth, sizeof growth);
        _exit(written == sizeof growth ? 0 : 1);
    }
    close(pipes[1]);
    double growth = -1;
    if (pid > 0 && read(pipes[0], &growth, sizeof growth) != sizeof growth) growth = -1;
    close(pipes[0]);
    if (pid > 0) waitpid(pid, nullptr, 0);
    return growth;
}

void BM_Import(benchmark::State& state)
{
    const fs::path& book = Workbook();
    const double xml = static_cast<double>(XlsxPackage(book).Read("xl/worksheets/sheet1.xml").size());
    const auto import = [&book] {
        CellTable table;
        HeadlessImportView view;
        const auto r = ImportSelection([&] { return OpenWorkbookAsApplication(book); }, view, table, ImportScales{}, u'.');
        return r.ok && table.CellGrid.size() == 100000;
    };
    // Reading the sheet (what the import holds of the workbook), and the whole import with the table it
    // builds (100,000 cell records and their texts, twice: the table's and the grid's).
    static const double sheet = GrowthInChild([&] {
        auto app = OpenWorkbookAsApplication(book);
        benchmark::DoNotOptimize(app->Selection()->RowsCount());
    });
    static const double whole = GrowthInChild([&] { benchmark::DoNotOptimize(import()); });
    for (auto _ : state) {
        if (!import()) state.SkipWithError("import failed");
    }
    Counters(state);
    state.counters["xml_MB"] = xml / 1e6;
    state.counters["sheet_growth_per_xml_byte"] = sheet / xml;
    state.counters["import_growth_per_xml_byte"] = whole / xml;
}
BENCHMARK(BM_Import)->Unit(benchmark::kMillisecond);

// The same import through the cell-by-cell reading the range reads replaced (tests/support), for comparison.
void BM_ImportCellByCell(benchmark::State& state)
{
    const fs::path& book = Workbook();
    for (auto _ : state) {
        CellTable table;
        HeadlessImportView view;
        const auto r = ImportSelectionPerCell([&] { return OpenWorkbookAsApplication(book); }, view, table, ImportScales{}, u'.');
        if (!r.ok) state.SkipWithError("import failed");
    }
}
BENCHMARK(BM_ImportCellByCell)->Unit(benchmark::kMillisecond);

void BM_ImportAndDraw(benchmark::State& state)
{
    const fs::path& book = Workbook();
    const fs::path out = fs::temp_directory_path() / "gridvane-bench-import" / "big.dxf";
    for (auto _ : state) {
        CellTable table;
        HeadlessImportView view;
        const auto r = ImportSelection([&] { return OpenWorkbookAsApplication(book); }, view, table, ImportScales{}, u'.');
        if (!r.ok) state.SkipWithError("import failed");
        SaveDxfLineList(LayoutTable(table, view.texts, LayoutOptions{}), out);
    }
    Counters(state);
}
BENCHMARK(BM_ImportAndDraw)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_OpenSheet)->Unit(benchmark::kMillisecond);

#ifdef GRIDVANE_CONVERT
// The whole converter process on the workbook: start-up, import, layout, save and exit, timed by the wall clock;
// the child's own CPU time and peak memory come from the system's accounting of the finished child.
void BM_ConvertProcess(benchmark::State& state)
{
    const fs::path& book = Workbook();
    const std::string out = (fs::temp_directory_path() / "gridvane-bench-import" / "convert.dxf").string();
    double cpu = 0, peak = 0;
    for (auto _ : state) {
        const pid_t pid = fork();
        if (pid == 0) {
            execl(GRIDVANE_CONVERT, GRIDVANE_CONVERT, "-o", out.c_str(), book.c_str(), static_cast<char*>(nullptr));
            _exit(127);
        }
        int status = 0;
        rusage usage{};
        if (pid < 0 || wait4(pid, &status, 0, &usage) != pid || !WIFEXITED(status) || WEXITSTATUS(status) != 0) {
            state.SkipWithError("the converter failed");
            break;
        }
        cpu += static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
               static_cast<double>(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
        peak = std::max(peak, static_cast<double>(usage.ru_maxrss) / 1024.0);
    }
    state.counters["child_cpu_s"] = benchmark::Counter(cpu, benchmark::Counter::kAvgIterations);
    state.counters["child_peak_RSS_MB"] = peak;
    state.counters["file_MB"] = static_cast<double>(fs::file_size(out)) / 1e6;
}
BENCHMARK(BM_ConvertProcess)->Unit(benchmark::kMillisecond)->UseRealTime();
#endif

} // namespace
