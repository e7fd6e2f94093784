// The import of a 60,000 x 15 sheet into the visible window, against the same import without a window:
// the grid must cost the import nothing per cell.
#include <benchmark/benchmark.h>

#include <QApplication>
#include <QTabWidget>

#include <cstdlib>
#include <filesystem>
#include <fstream>

#include "app/FormPlatform.h"
#include "excel/ExcelImport.h"
#include "xlsx/XlsxApplication.h"
#include "ui/DrawingPage.h"
#include "ui/Unit2Plotra23.h"

namespace {

using namespace gridvane;
namespace fs = std::filesystem;

constexpr int kRows = 60000, kColumns = 15;

// Written once by openpyxl, an independent writer, in its streaming mode.
const fs::path& Workbook()
{
    static const fs::path path = [] {
        const fs::path dir = fs::temp_directory_path() / "gridvane-bench-window";
        fs::create_directories(dir);
        const fs::path book = dir / "rows.xlsx";
        if (!fs::exists(book)) {
            const fs::path script = dir / "make.py";
            std::ofstream(script) << "import openpyxl, sys\n"
                                     "wb = openpyxl.Workbook(write_only=True); ws = wb.create_sheet('部品')\n"
                                     "for r in range(1, " << kRows + 1 << "):\n"
                                     "    ws.append([('品%d' % (r % 97)) if c % 2 else r * 0.25 + c for c in range(" << kColumns << ")])\n"
                                     "wb.save(sys.argv[1])\n";
            const std::string cmd = "/usr/bin/python3 " + script.string() + " " + book.string();
            if (std::system(cmd.c_str()) != 0) std::abort();
        }
        return book;
    }();
    return path;
}

// The whole sheet as the selection, for both imports alike.
XlAttach Attach(const fs::path& book)
{
    return [book] { return OpenWorkbookAsApplication(book, WorkbookChoice{std::nullopt, u"A1:O60000"}); };
}

// The window with its message boxes answered at once.
struct QuietWindow : Form1View {
    using Form1View::Form1View;
    void Message(std::u16string_view, std::u16string_view, MessageIcon, MessageOwner) override {}
};

QApplication& App()
{
    static int argc = 1;
    static char name[] = "bench_window";
    static char* argv[] = {name, nullptr};
    qputenv("QT_QPA_PLATFORM", "offscreen");
    static QApplication app(argc, argv);
    return app;
}

void BM_ImportHeadless(benchmark::State& state)
{
    const fs::path& book = Workbook();
    for (auto _ : state) {
        CellTable table;
        HeadlessImportView view;
        const auto r = ImportSelection(Attach(book), view, table, ImportScales{}, u'.');
        if (!r.ok || table.CellGrid.size() != static_cast<std::size_t>(kRows) * kColumns) state.SkipWithError("import failed");
    }
}
BENCHMARK(BM_ImportHeadless)->Unit(benchmark::kMillisecond)->MinTime(3);

void BM_ImportIntoVisibleWindow(benchmark::State& state)
{
    const fs::path& book = Workbook();
    App();
    const fs::path dir = fs::temp_directory_path() / "gridvane-bench-window";
    FormPlatform platform = MakeFormPlatform(dir / "Gridvane23");
    platform.openWorkbook = [](const fs::path& path) { return Attach(path); };
    QuietWindow window(std::move(platform));
    window.resize(800, 600);
    window.show();
    window.PageControl1->setCurrentIndex(0); // the grid's page in front
    QApplication::processEvents();
    for (auto _ : state) {
        window.Form().ImportWorkbookFile(book);
        QApplication::processEvents(); // the grid's one repaint after the import
        if (window.Form().Table().CellGrid.size() != static_cast<std::size_t>(kRows) * kColumns) state.SkipWithError("import failed");
    }
}
BENCHMARK(BM_ImportIntoVisibleWindow)->Unit(benchmark::kMillisecond)->MinTime(3);

// The drawing page for the imported sheet: laid out again after a change (セルを描画 toggled) and painted,
// and a repaint alone at the fitted view and zoomed in.
void BM_DrawingPage(benchmark::State& state)
{
    const fs::path& book = Workbook();
    App();
    const fs::path dir = fs::temp_directory_path() / "gridvane-bench-window";
    FormPlatform platform = MakeFormPlatform(dir / "Gridvane23");
    platform.openWorkbook = [](const fs::path& path) { return Attach(path); };
    QuietWindow window(std::move(platform));
    window.resize(800, 600);
    window.show();
    window.Form().ImportWorkbookFile(book);
    window.PageControl1->setCurrentIndex(2);
    QApplication::processEvents();
    const int mode = static_cast<int>(state.range(0));
    if (mode == 2) window.Form().PreviewWheel(400, 300, 120 * 12);
    bool on = true;
    for (auto _ : state) {
        if (mode == 0) window.Form().CheckBox1Click(on = !on);
        QApplication::processEvents();
        window.DrawingView1->repaint();
    }
    state.counters["entities"] = static_cast<double>(window.Form().Preview().drawing.entities.size());
}
BENCHMARK(BM_DrawingPage)->Arg(0)->Arg(1)->Arg(2)->ArgName("relayout_fitted_zoomed")->Unit(benchmark::kMillisecond)->Iterations(5);

} // namespace
