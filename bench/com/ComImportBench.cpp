// The import across processes against the stand-in spreadsheet (Windows, under Wine): a selection of
// 100 rows x 20 columns from a stand-in that spends 0.2 ms in every call it receives, as a spreadsheet in
// another process costs. Prints the time of each import and the calls it made, by kind.
//   gridvane-com-bench [--delay-us N] [--runs N]     (the stand-ins registered: scripts/bench-windows.sh)
#include <windows.h>
#include <oleauto.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>

#include "com/ComApartmentWin.h"
#include "excel/ExcelAutomationWin.h"
#include "excel/ExcelImport.h"
#include "tests/windows/standin/StandInClient.h"

namespace {

using gridvane::standin::BesideThisProgram;

// 100 x 20 cells: texts, numbers, a border on every cell, a merged area in each tenth row.
void WriteSheet(const std::wstring& path)
{
    std::ofstream out(std::filesystem::path(path), std::ios::binary);
    out << "workbook\tbench.xlsx\nsheet\tbench\nselection\tA1:T100\n";
    for (int r = 1; r <= 100; ++r) {
        if (r % 10 == 0)
            out << "merge\tA" << r << ":C" << r << "\n";
        for (int c = 1; c <= 20; ++c) {
            std::string col(1, static_cast<char>('A' + c - 1));
            out << "cell\t" << col << r << "\t";
            if (c % 2 == 0)
                out << "n:" << r * c << "\t";
            else
                out << "s:品名" << r << "\t";
            out << "top=thin\tbottom=thin\tleft=thin\tright=thin\n";
        }
    }
}

} // namespace

int wmain(int argc, wchar_t** argv)
{
    long long delayUs = 200;
    int runs = 1;
    for (int i = 1; i + 1 < argc; ++i) {
        if (std::wstring(argv[i]) == L"--delay-us") delayUs = _wtoi64(argv[++i]);
        else if (std::wstring(argv[i]) == L"--runs") runs = _wtoi(argv[++i]);
    }
    gridvane::ComApartment apartment;
    const std::wstring sheet = BesideThisProgram(L"bench.sheet");
    WriteSheet(sheet);
    std::wstring command = L"\"" + BesideThisProgram(L"gridvane-excel-standin.exe") + L"\" --sheet \"" + sheet +
                           L"\" --delay-us " + std::to_wstring(delayUs);
    STARTUPINFOW si{};
    si.cb = sizeof si;
    PROCESS_INFORMATION pi{};
    if (!CreateProcessW(nullptr, command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi)) {
        fwprintf(stderr, L"the stand-in cannot be started\n");
        return 1;
    }
    for (int i = 0; i < 300; ++i) {
        if (IDispatch* d = gridvane::standin::AttachRunning(L"Excel.Application")) {
            d->Release();
            break;
        }
        Sleep(100);
    }
    std::printf("import of 100 x 20 cells from the stand-in spreadsheet, %lld us per call received\n", delayUs);
    int status = 0;
    for (int run = 1; run <= runs; ++run) {
        gridvane::HeadlessImportView view;
        gridvane::CellTable table;
        long lookups = 0, invocations = 0;
        LARGE_INTEGER f, a, b;
        QueryPerformanceFrequency(&f);
        QueryPerformanceCounter(&a);
        const gridvane::ImportResult result = gridvane::ImportSelection(
            [&]() -> std::unique_ptr<gridvane::XlApplication> {
                // The counts are read when the application goes: keep them through a wrapper.
                struct Counting : gridvane::XlApplication {
                    std::unique_ptr<gridvane::XlApplication> app;
                    long* lookups;
                    long* invocations;
                    ~Counting() override
                    {
                        const gridvane::XlCallCounts c = gridvane::ExcelCallCounts(*app);
                        *lookups = c.nameLookups;
                        *invocations = c.invocations;
                    }
                    void SetScreenUpdating(bool on) override { app->SetScreenUpdating(on); }
                    std::unique_ptr<gridvane::XlWorksheet> ActiveSheet() override { return app->ActiveSheet(); }
                    std::u16string ActiveWorkbookName() override { return app->ActiveWorkbookName(); }
                    std::unique_ptr<gridvane::XlRange> Selection() override { return app->Selection(); }
                };
                auto c = std::make_unique<Counting>();
                c->app = gridvane::AttachRunningExcel();
                c->lookups = &lookups;
                c->invocations = &invocations;
                return c;
            },
            view, table, gridvane::ImportScales{}, u'.');
        QueryPerformanceCounter(&b);
        const double seconds = static_cast<double>(b.QuadPart - a.QuadPart) / static_cast<double>(f.QuadPart);
        std::printf("run %d: %s in %.2f s; %ld name look-ups, %ld invocations (%.1f per cell), %.3f ms per call\n", run,
                    result.ok ? "imported" : "FAILED", seconds, lookups, invocations, invocations / 2000.0,
                    1000.0 * seconds / static_cast<double>(lookups + invocations > 0 ? lookups + invocations : 1));
        std::printf("       the stand-in's own cost: %.2f s (%ld calls x %lld us); the rest is the transport and "
                    "the client\n",
                    static_cast<double>(lookups + invocations) * static_cast<double>(delayUs) / 1e6,
                    lookups + invocations, delayUs);
        if (!result.ok)
            status = 1;
    }
    // Asked to quit through the control member.
    if (IDispatch* d = gridvane::standin::AttachRunning(L"Excel.Application")) {
        std::wstring answer;
        gridvane::standin::Control(d, L"quit", answer);
        d->Release();
    }
    WaitForSingleObject(pi.hProcess, 10000);
    CloseHandle(pi.hProcess);
    CloseHandle(pi.hThread);
    return status;
}
