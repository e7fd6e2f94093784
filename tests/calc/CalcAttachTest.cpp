// Reaching a running Calc that does not listen yet, and what an import does when the office goes away
// or stops answering halfway. Each test starts an office of its own.
#include <gtest/gtest.h>

#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iostream>
#include <string>
#include <thread>

#include "base/Error.h"
#include "base/Utf.h"
#include "calc/CalcApplication.h"
#include "calc/CalcDocumentDriver.h"
#include "excel/ExcelImport.h"
#include "tests/support/CalcOffice.h"

namespace gridvane {
namespace {

namespace fs = std::filesystem;
using testing::CalcOffice;
using Clock = std::chrono::steady_clock;

// Keeps the import's messages and runs a step when the import lets window messages run (once a row).
class RowView : public HeadlessImportView {
public:
    std::vector<std::u16string> messages;
    std::function<void(int)> onRow;
    void ShowMessage(std::u16string_view text) override { messages.emplace_back(text); }
    void ProcessEvents() override
    {
        if (onRow) onRow(++row_);
    }

private:
    int row_ = 0;
};

std::string ReadFile(const fs::path& path)
{
    std::ifstream in(path, std::ios::binary);
    return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

// Runs the converter with args, its output into log; its exit status.
int Convert(const std::vector<std::string>& args, const fs::path& log)
{
    std::string cmd = GRIDVANE_CONVERT;
    for (const std::string& a : args) cmd += " '" + a + "'";
    cmd += " >'" + log.string() + "' 2>&1";
    const int status = std::system(cmd.c_str());
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

class CalcAttachTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        dir_ = fs::temp_directory_path() / ("gridvane-calc-attach-" + std::to_string(getpid()));
        fs::create_directories(dir_);
        const std::string cmd = std::string(GRIDVANE_PYTHON) + " " + GRIDVANE_SOURCE_DIR "/tests/calc/make-calc-workbooks.py " + dir_.string();
        ASSERT_EQ(std::system(cmd.c_str()), 0);
    }
    void TearDown() override
    {
        // What the offices wrote, for the report of a failure on a loaded machine.
        std::error_code ec;
        if (HasFailure()) {
            for (const auto& entry : fs::directory_iterator(dir_, ec)) {
                if (entry.path().extension() == ".log") std::cerr << entry.path().filename() << ":\n" << ReadFile(entry.path()) << "\n";
            }
        }
        fs::remove_all(dir_, ec);
    }
    ImportResult Import(const CalcAttachOptions& options, RowView& view, CellTable& table)
    {
        return ImportSelection([&] { return AttachRunningCalc(options); }, view, table, ImportScales{}, u'.');
    }
    static std::size_t OfficeProcesses(const CalcOffice& office)
    {
        std::size_t n = 0;
        for (int pid : testing::OfficeProcessesWith(office.Profile().string())) {
            std::ifstream in("/proc/" + std::to_string(pid) + "/cmdline", std::ios::binary);
            std::string cmdline((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
            n += cmdline.find("soffice.bin") != std::string::npos;
        }
        return n;
    }

    fs::path dir_;
};

// An office started without --accept is asked to listen by a second invocation handed to it: the
// import then reaches it, and it is still the only office of its profile.
TEST_F(CalcAttachTest, OfficeThatDoesNotListenIsAskedTo)
{
    CalcOffice office(dir_, "quiet", false);
    ASSERT_EQ(OfficeProcesses(office), 1u);
    RowView view;
    CellTable table;
    // Nothing is open in it yet: reached, and told so.
    const ImportResult first = Import(office.Options(), view, table);
    EXPECT_FALSE(first.ok);
    ASSERT_FALSE(view.messages.empty());
    EXPECT_EQ(view.messages.front(), kCalcNotSpreadsheet);
    EXPECT_EQ(OfficeProcesses(office), 1u);

    office.Driver().Open(dir_ / "calc-form.xlsx");
    office.Driver().Select(u"B2:D4");
    office.Disconnect();
    RowView view2;
    const ImportResult second = Import(office.Options(), view2, table);
    ASSERT_TRUE(second.ok) << second.reason;
    EXPECT_EQ(table.GridColCount, 3);
    EXPECT_EQ(table.CellGrid[0].str, u"数量");
    EXPECT_EQ(OfficeProcesses(office), 1u);
}

// gridvane-convert --calc reaches the office on the user's pipe and writes the same table and drawing
// as the workbook-file route; with no spreadsheet in front it says so and writes nothing.
TEST_F(CalcAttachTest, ConverterImportsTheRunningCalcsSelection)
{
    const testing::UserPipeLock lock;
    CalcAttachOptions user;
    user.timeout = std::chrono::seconds(2);
    try {
        AttachRunningCalc(user);
        GTEST_SKIP() << "an office of this user listens on the user's pipe";
    } catch (const std::exception& e) {
        if (WindowText(e) != kCalcNotRunning && WindowText(e) != kCalcUnreachable)
            GTEST_SKIP() << "an office of this user listens on the user's pipe (" << e.what() << ")";
    }
    CalcOffice office(dir_, "convert", true, true);
    office.Driver().Open(dir_ / "calc-grid-100x20.xlsx");
    office.Driver().Select(u"A1:T100");
    office.Disconnect();
    const fs::path out = dir_ / "convert";
    fs::create_directories(out);
    ASSERT_EQ(Convert({"--calc", "-o", (out / "live.dxf").string(), "--dump-model", (out / "live.json").string()}, out / "live.log"), 0)
        << ReadFile(out / "live.log");
    ASSERT_EQ(Convert({(dir_ / "calc-grid-100x20.xlsx").string(), "--range", "A1:T100", "-o", (out / "file.dxf").string(),
                       "--dump-model", (out / "file.json").string()}, out / "file.log"), 0)
        << ReadFile(out / "file.log");
    EXPECT_EQ(ReadFile(out / "live.json"), ReadFile(out / "file.json"));
    EXPECT_EQ(ReadFile(out / "live.dxf"), ReadFile(out / "file.dxf"));
    EXPECT_GT(ReadFile(out / "live.dxf").size(), 10000u);

    office.Driver().CloseAll();
    office.Driver().OpenChartDocument();
    office.Disconnect();
    EXPECT_EQ(Convert({"--calc", "-o", (out / "none.dxf").string()}, out / "none.log"), 1);
    EXPECT_NE(ReadFile(out / "none.log").find(ToUtf8(kCalcNotSpreadsheet)), std::string::npos) << ReadFile(out / "none.log");
    EXPECT_FALSE(fs::exists(out / "none.dxf"));
}

// The office killed halfway through: the import says the connection was lost and ends.
TEST_F(CalcAttachTest, OfficeClosedDuringTheImport)
{
    CalcOffice office(dir_, "closed");
    office.Driver().Open(dir_ / "calc-grid-100x20.xlsx");
    office.Driver().Select(u"A1:T100");
    office.Disconnect();
    RowView view;
    view.onRow = [&](int row) {
        if (row == 3) office.Kill();
    };
    CellTable table;
    const auto start = Clock::now();
    const ImportResult result = Import(office.Options(), view, table);
    EXPECT_LT(Clock::now() - start, std::chrono::seconds(10));
    EXPECT_FALSE(result.ok);
    EXPECT_EQ(view.messages, (std::vector<std::u16string>{std::u16string(kCalcClosed), u"取得に失敗しました."}));
}

// The office stopped (as a hung one) halfway through: the import gives up after the bounded wait and
// says Calc does not answer; the office, running again, serves the next import.
TEST_F(CalcAttachTest, OfficeThatStopsAnsweringIsLeftAfterTheTimeout)
{
    CalcOffice office(dir_, "frozen");
    office.Driver().Open(dir_ / "calc-grid-100x20.xlsx");
    office.Driver().Select(u"A1:T100");
    office.Disconnect();
    CalcAttachOptions options = office.Options();
    options.timeout = std::chrono::seconds(2);
    RowView view;
    view.onRow = [&](int row) {
        if (row == 3) kill(-office.Pid(), SIGSTOP);
    };
    CellTable table;
    const auto start = Clock::now();
    const ImportResult result = Import(options, view, table);
    const auto took = Clock::now() - start;
    kill(-office.Pid(), SIGCONT);
    EXPECT_FALSE(result.ok);
    EXPECT_EQ(view.messages, (std::vector<std::u16string>{std::u16string(kCalcNoAnswer), u"取得に失敗しました."}));
    EXPECT_GE(took, std::chrono::seconds(2));
    EXPECT_LT(took, std::chrono::seconds(8));

    RowView again;
    const ImportResult next = Import(office.Options(), again, table);
    EXPECT_TRUE(next.ok) << next.reason;
}

// A test process that dies with its office up (killed, crashed, aborted) leaves no office running: a
// watchdog ends the office's process group as soon as the test process is gone.
TEST_F(CalcAttachTest, AnOfficeDoesNotOutliveItsTestProcess)
{
    const fs::path out = dir_ / "orphan.out";
    const std::string cmd = std::string(GRIDVANE_OFFICE_ORPHAN) + " '" + dir_.string() + "' >'" + out.string() + "' 2>&1";
    std::system(cmd.c_str()); // returns when the process has been killed
    std::string profile = ReadFile(out);
    profile = profile.substr(0, profile.find('\n'));
    ASSERT_TRUE(fs::exists(profile)) << profile; // the office was up when its test process died
    const auto end = Clock::now() + std::chrono::seconds(10);
    while (!testing::OfficeProcessesWith(profile).empty() && Clock::now() < end)
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
    EXPECT_TRUE(testing::OfficeProcessesWith(profile).empty());
}

// Should an office of a test outlive it all the same, it is ended before the next test's office starts;
// an office whose test still runs is not touched.
TEST_F(CalcAttachTest, OfficesOfTestsThatAreGoneAreEndedFirst)
{
    // Stand-ins for offices: processes that carry an owner's mark, as the offices of tests do.
    auto spawn = [](const std::string& owner) {
        std::string mark = "GRIDVANE_TEST_OFFICE_OWNER=" + owner;
        char sleep[] = "/bin/sleep", seconds[] = "60";
        char* argv[] = {sleep, seconds, nullptr};
        char* envp[] = {mark.data(), nullptr};
        pid_t pid = 0;
        EXPECT_EQ(posix_spawn(&pid, argv[0], nullptr, nullptr, argv, envp), 0);
        return pid;
    };
    auto ended = [](pid_t pid) {
        int status = 0;
        const auto end = Clock::now() + std::chrono::seconds(5);
        while (Clock::now() < end) {
            if (waitpid(pid, &status, WNOHANG) == pid) return WIFSIGNALED(status);
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        }
        return false;
    };
    // An owner that has gone: a process that ran and was ended.
    const pid_t gone = spawn("none");
    const std::string goneMark = testing::office_detail::ProcessMark(gone);
    ASSERT_FALSE(goneMark.empty());
    kill(gone, SIGKILL);
    ASSERT_TRUE(ended(gone));
    const pid_t orphan = spawn(goneMark);
    const pid_t owned = spawn(testing::office_detail::ProcessMark(getpid()));
    testing::EndOfficesLeftByTests();
    EXPECT_TRUE(ended(orphan));
    EXPECT_EQ(kill(owned, 0), 0);
    kill(owned, SIGKILL);
    ended(owned);
}

} // namespace
} // namespace gridvane
