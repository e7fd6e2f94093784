// The import across processes against the stand-in spreadsheet (Windows, under Wine), which spends 0.2 ms
// in every call it receives, as a spreadsheet in another process costs: the 100 x 20 grid (texts and
// numbers, every cell bordered, a merged area in each tenth row) and a form of 40 x 20 (form.sheet: merged
// areas of several sizes, mixed borders and alignments, font sizes by row, formatted numbers). Prints the
// time of each import, its calls per cell, and the calls by kind and member as the stand-in counted them;
// with --per-cell also the cell-by-cell reading of the same sheets.
//   gridvane-com-bench [--delay-us N] [--runs N] [--per-cell]   (the stand-ins registered: scripts/bench-windows.sh)
#include <windows.h>
#include <oleauto.h>

#include <cstdio>
#include <filesystem>
#include <map>
#include <sstream>
#include <string>

#include "base/Utf.h"
#include "com/ComApartmentWin.h"
#include "excel/ExcelAutomationWin.h"
#include "excel/ExcelImport.h"
#include "tests/support/PerCellImport.h"
#include "tests/windows/standin/StandInClient.h"
#include "tests/windows/standin/StandInSheets.h"

namespace {

using gridvane::standin::BesideThisProgram;

std::wstring Ask(const std::wstring& command)
{
    std::wstring answer;
    if (IDispatch* d = gridvane::standin::AttachRunning(L"Excel.Application")) {
        gridvane::standin::Control(d, command, answer);
        d->Release();
    }
    return answer;
}

// Starts the stand-in on sheet and waits until it is in the running-object table.
bool Start(const std::wstring& sheet, long long delayUs, PROCESS_INFORMATION& pi)
{
    std::wstring command = L"\"" + BesideThisProgram(L"gridvane-excel-standin.exe") + L"\" --sheet \"" + sheet +
                           L"\" --delay-us " + std::to_wstring(delayUs);
    STARTUPINFOW si{};
    si.cb = sizeof si;
    if (!CreateProcessW(nullptr, command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi))
        return false;
    for (int i = 0; i < 300; ++i) {
        if (IDispatch* d = gridvane::standin::AttachRunning(L"Excel.Application")) {
            d->Release();
            return true;
        }
        Sleep(100);
    }
    return false;
}

void Stop(PROCESS_INFORMATION& pi)
{
    Ask(L"quit");
    WaitForSingleObject(pi.hProcess, 10000);
    CloseHandle(pi.hProcess);
    CloseHandle(pi.hThread);
}

// The stand-in's counts, summed by kind and member over look-ups and invocations.
std::map<std::wstring, long> Counts(long& total)
{
    std::wistringstream in(Ask(L"counts"));
    std::map<std::wstring, long> byMember;
    std::wstring what, member;
    long n = 0;
    total = 0;
    while (in >> what >> member >> n) {
        byMember[member] += n;
        total += n;
    }
    return byMember;
}

int Measure(const wchar_t* name, const std::wstring& sheet, long cells, long long delayUs, int runs, bool perCell)
{
    PROCESS_INFORMATION pi{};
    if (!Start(sheet, delayUs, pi)) {
        std::fwprintf(stderr, L"the stand-in cannot be started on %ls\n", sheet.c_str());
        return 1;
    }
    int status = 0;
    for (int reading = 0; reading < (perCell ? 2 : 1); ++reading) {
        for (int run = 1; run <= runs; ++run) {
            Ask(L"reset");
            gridvane::HeadlessImportView view;
            gridvane::CellTable table;
            LARGE_INTEGER f, a, b;
            QueryPerformanceFrequency(&f);
            QueryPerformanceCounter(&a);
            const gridvane::XlAttach attach = [] { return gridvane::AttachRunningExcel(); };
            const gridvane::ImportResult result =
                reading == 0 ? gridvane::ImportSelection(attach, view, table, gridvane::ImportScales{}, u'.')
                             : gridvane::ImportSelectionPerCell(attach, view, table, gridvane::ImportScales{}, u'.');
            QueryPerformanceCounter(&b);
            const double seconds = static_cast<double>(b.QuadPart - a.QuadPart) / static_cast<double>(f.QuadPart);
            long total = 0;
            const std::map<std::wstring, long> byMember = Counts(total);
            std::printf("%ls, %s, run %d: %s in %.2f s; %ld calls (%.2f per cell); %.2f s of them the stand-in's own "
                        "(%lld us a call)\n",
                        name, reading == 0 ? "ranges" : "cell by cell", run, result.ok ? "imported" : "FAILED", seconds,
                        total, static_cast<double>(total) / static_cast<double>(cells),
                        static_cast<double>(total) * static_cast<double>(delayUs) / 1e6, delayUs);
            if (run == 1) {
                std::printf("  calls by member:");
                for (const auto& [member, n] : byMember) std::printf(" %ls %ld;", member.c_str(), n);
                std::printf("\n");
            }
            if (!result.ok) {
                std::printf("  %s\n", result.reason.c_str());
                status = 1;
            }
        }
    }
    Stop(pi);
    return status;
}

} // namespace

int wmain(int argc, wchar_t** argv)
{
    long long delayUs = 200;
    int runs = 1;
    bool perCell = false;
    for (int i = 1; i < argc; ++i) {
        const std::wstring a = argv[i];
        if (a == L"--delay-us" && i + 1 < argc) delayUs = _wtoi64(argv[++i]);
        else if (a == L"--runs" && i + 1 < argc) runs = _wtoi(argv[++i]);
        else if (a == L"--per-cell") perCell = true;
    }
    gridvane::ComApartment apartment;
    const std::wstring grid = BesideThisProgram(L"bench.sheet");
    gridvane::standin::WriteGridSheet(std::filesystem::path(grid));
    std::printf("imports from the stand-in spreadsheet, %lld us per call received\n", delayUs);
    int status = Measure(L"grid 100 x 20", grid, 2000, delayUs, runs, perCell);
    status |= Measure(L"form 40 x 20", BesideThisProgram(L"form.sheet"), 800, delayUs, runs, perCell);
    return status;
}
