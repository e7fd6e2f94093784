// The import of a 100 x 20 selection (texts and numbers, every cell bordered, a merged area in every
// tenth row) from a running Calc: UNO calls per cell and the time, against the same workbook read from
// its file.
#include <benchmark/benchmark.h>

#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <memory>

#include "calc/CalcApplication.h"
#include "calc/CalcDocumentDriver.h"
#include "excel/ExcelImport.h"
#include "excel/xlsx/XlsxWorkbook.h"
#include "tests/support/CalcOffice.h"

namespace {

using namespace gridvane;
namespace fs = std::filesystem;

// The office, started once with the workbook open and the cells selected; ended at exit.
struct Office {
    fs::path dir;
    std::unique_ptr<testing::CalcOffice> office;
    fs::path book;

    Office()
    {
        dir = fs::temp_directory_path() / ("gridvane-bench-calc-" + std::to_string(getpid()));
        fs::create_directories(dir);
        const std::string cmd = "/usr/bin/python3 " GRIDVANE_SOURCE_DIR "/tests/calc/make-calc-workbooks.py " + dir.string();
        if (std::system(cmd.c_str()) != 0) std::abort();
        book = dir / "calc-grid-100x20.xlsx";
        office = std::make_unique<testing::CalcOffice>(dir, "bench");
        office->Driver().Open(book);
        office->Driver().Select(u"A1:T100");
    }
    ~Office()
    {
        office.reset();
        std::error_code ec;
        fs::remove_all(dir, ec);
    }
};

Office& TheOffice()
{
    static Office office;
    return office;
}

void BM_CalcImport100x20(benchmark::State& state)
{
    Office& o = TheOffice();
    long calls = 0;
    for (auto _ : state) {
        HeadlessImportView view;
        CellTable table;
        const ImportResult result = ImportSelection(
            [&]() -> std::unique_ptr<XlApplication> {
                auto app = AttachRunningCalc(o.office->Options());
                // The count is read when the import lets the application go: keep a look at it.
                struct Counted : XlApplication {
                    std::unique_ptr<XlApplication> inner;
                    long* calls;
                    ~Counted() override { *calls = CalcCallCount(*inner); }
                    void SetScreenUpdating(bool on) override { inner->SetScreenUpdating(on); }
                    std::unique_ptr<XlWorksheet> ActiveSheet() override { return inner->ActiveSheet(); }
                    std::u16string ActiveWorkbookName() override { return inner->ActiveWorkbookName(); }
                    std::unique_ptr<XlRange> Selection() override { return inner->Selection(); }
                };
                auto counted = std::make_unique<Counted>();
                counted->inner = std::move(app);
                counted->calls = &calls;
                return counted;
            },
            view, table, ImportScales{}, u'.');
        if (!result.ok) {
            state.SkipWithError(result.reason.c_str());
            return;
        }
    }
    state.counters["calls_per_cell"] = static_cast<double>(calls) / 2000.0;
    state.counters["calls"] = static_cast<double>(calls);
}
BENCHMARK(BM_CalcImport100x20)->Unit(benchmark::kMillisecond)->Iterations(5);

void BM_FileImport100x20(benchmark::State& state)
{
    Office& o = TheOffice();
    for (auto _ : state) {
        HeadlessImportView view;
        CellTable table;
        WorkbookChoice choice;
        choice.range = u"A1:T100";
        const ImportResult result = ImportSelection([&] { return OpenWorkbookAsApplication(o.book, choice); }, view, table,
                                                    ImportScales{}, u'.');
        if (!result.ok) state.SkipWithError(result.reason.c_str());
    }
}
BENCHMARK(BM_FileImport100x20)->Unit(benchmark::kMillisecond);

} // namespace
