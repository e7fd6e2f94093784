// The import of a 100 x 20 selection (texts and numbers, every cell bordered, a merged area in every
// tenth row) from a running Calc: UNO calls per cell and the time, against the same workbook read from
// its file.
#include <benchmark/benchmark.h>

#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <functional>
#include <vector>
#include <memory>

#include "calc/CalcApplication.h"
#include "calc/CalcDocumentDriver.h"
#include "excel/ExcelImport.h"
#include "xlsx/XlsxApplication.h"
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
        office->Disconnect(); // the imports run on connections of their own
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
                    XlValue DisplayFormulas() override { return inner->DisplayFormulas(); }
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

// The reads an import over whole ranges makes of the same selection: Value2 as one array, the
// formatting of the whole range (then of its rows where that is mixed), the widths and heights, merged
// areas by row, and the displayed text of the cells whose text does not follow from their value.
void BM_CalcRangeReads100x20(benchmark::State& state)
{
    Office& o = TheOffice();
    long calls = 0;
    for (auto _ : state) {
        auto app = AttachRunningCalc(o.office->Options());
        auto selection = app->Selection();
        const XlValueArray values = selection->Value2Array();
        // Each property of the whole range; where one is mixed, that one of each row, then of each cell
        // of a row where it is mixed again.
        using Read = std::function<XlValue(XlRange&)>;
        std::vector<Read> reads = {[](XlRange& r) { return r.HorizontalAlignment(); }, [](XlRange& r) { return r.FontSize(); },
                                   [](XlRange& r) { return r.NumberFormat(); }, [](XlRange& r) { return r.MergeCells(); }};
        for (int index : {kXlEdgeTop, kXlEdgeBottom, kXlEdgeLeft, kXlEdgeRight, kXlInsideVertical, kXlInsideHorizontal,
                          kXlDiagonalDown, kXlDiagonalUp})
            reads.push_back([index](XlRange& r) { return r.BorderLineStyle(index); });
        for (const Read& read : reads) {
            if (read(*selection).kind != XlValue::Kind::Null) continue;
            for (std::int32_t r = 1; r <= values.rows; ++r) {
                auto row = selection->Rows(r);
                if (read(*row).kind != XlValue::Kind::Null) continue;
                for (std::int32_t c = 1; c <= values.cols; ++c) benchmark::DoNotOptimize(read(*row->Cells(1, c)));
            }
        }
        for (std::int32_t r = 1; r <= values.rows; ++r) {
            auto row = selection->Rows(r);
            benchmark::DoNotOptimize(row->RowHeight());
            for (std::int32_t c = 1; c <= values.cols; ++c)
                if (values.At(r - 1, c - 1).kind == XlValue::Kind::Number) benchmark::DoNotOptimize(row->Cells(1, c)->Text());
        }
        for (std::int32_t c = 1; c <= values.cols; ++c) benchmark::DoNotOptimize(selection->Columns(c)->ColumnWidth());
        calls = CalcCallCount(*app);
    }
    state.counters["calls_per_cell"] = static_cast<double>(calls) / 2000.0;
    state.counters["calls"] = static_cast<double>(calls);
}
BENCHMARK(BM_CalcRangeReads100x20)->Unit(benchmark::kMillisecond)->Iterations(5);

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
