// The one way files are saved: whole or not at all, never over a file that happens to bear the temporary
// file's name. Runs on Linux and under Wine.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <random>
#include <set>
#include <sstream>
#include <string>

#include "base/AtomicSave.h"
#include "base/Error.h"

namespace gridvane {
namespace {

namespace fs = std::filesystem;

std::string ReadAll(const fs::path& path)
{
    std::ifstream in(path, std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

std::set<std::string> Names(const fs::path& dir)
{
    std::set<std::string> names;
    for (const auto& e : fs::directory_iterator(dir))
        names.insert(e.path().filename().string());
    return names;
}

std::string Message(const std::string& reason)
{
    return "cannot save: " + reason;
}

class AtomicSave : public ::testing::Test {
protected:
    fs::path dir_ = fs::temp_directory_path() / ("gridvane-atomic-" + std::to_string(std::random_device{}()));
    fs::path target_ = dir_ / "drawing.dxf";

    void SetUp() override
    {
        fs::create_directories(dir_);
        std::ofstream(target_, std::ios::binary) << "yesterday";
    }
    void TearDown() override { fs::remove_all(dir_); }
};

TEST_F(AtomicSave, TheTargetChangesOnlyOnCommit)
{
    {
        AtomicFile file(target_, Message);
        file.Write("to");
        file.Write("day\r\n");
        // The bytes wait beside the target in a file of their own.
        ASSERT_EQ(Names(dir_).size(), 2u);
        EXPECT_EQ(ReadAll(target_), "yesterday");
        file.Finish();
        EXPECT_EQ(ReadAll(target_), "yesterday");
        file.Commit();
    }
    EXPECT_EQ(ReadAll(target_), "today\r\n");
    EXPECT_EQ(Names(dir_), std::set<std::string>{"drawing.dxf"});

    // Given up (a failure elsewhere, an exception): the temporary file goes, the target stays.
    {
        AtomicFile file(target_, Message);
        file.Write("half a drawing");
        file.Finish();
    }
    EXPECT_EQ(ReadAll(target_), "today\r\n");
    EXPECT_EQ(Names(dir_), std::set<std::string>{"drawing.dxf"});

    // Replaced by another before committing: the first one's temporary file goes too.
    {
        AtomicFile file(target_, Message);
        file.Write("first");
        file = AtomicFile(target_, Message);
        file.Write("second");
        EXPECT_EQ(Names(dir_).size(), 2u);
        file.Commit();
    }
    EXPECT_EQ(ReadAll(target_), "second");
    EXPECT_EQ(Names(dir_), std::set<std::string>{"drawing.dxf"});

    SaveFileAtomically(target_, "whole", Message);
    EXPECT_EQ(ReadAll(target_), "whole");
    SaveFileAtomically(dir_ / "new.ini", "", Message);
    EXPECT_TRUE(fs::exists(dir_ / "new.ini"));
    EXPECT_EQ(fs::file_size(dir_ / "new.ini"), 0u);
}

// Two saves of the same target at once each get a file of their own; the one committed last wins.
// A file of many megabytes, written in pieces of every size (one of them larger than all the others together),
// is handed to the disk while it is written: every byte arrives, in order.
TEST_F(AtomicSave, ALargeFileWrittenInPiecesArrivesWhole)
{
    std::mt19937 rng(99);
    std::string bytes(40u << 20, '\0');
    for (char& c : bytes) c = static_cast<char>('a' + rng() % 26);
    {
        AtomicFile file(target_, Message);
        std::string_view rest(bytes);
        for (const std::size_t piece : {std::size_t{1}, std::size_t{3} << 20, std::size_t{9} << 20, std::size_t{123457},
                                        std::size_t{8} << 20}) {
            file.Write(rest.substr(0, piece));
            rest.remove_prefix(piece);
        }
        file.Write(rest); // the remaining 20 MB or so at once
        file.Commit();
    }
    EXPECT_TRUE(ReadAll(target_) == bytes);
    EXPECT_EQ(Names(dir_), (std::set<std::string>{"drawing.dxf"}));
}

TEST_F(AtomicSave, SavesAtOnceNeverShareATemporaryFile)
{
    AtomicFile a(target_, Message);
    AtomicFile b(target_, Message);
    a.Write("from a");
    b.Write("from b");
    EXPECT_EQ(Names(dir_).size(), 3u);
    a.Commit();
    EXPECT_EQ(ReadAll(target_), "from a");
    b.Commit();
    EXPECT_EQ(ReadAll(target_), "from b");
    EXPECT_EQ(Names(dir_), std::set<std::string>{"drawing.dxf"});
}

TEST_F(AtomicSave, FailuresUseTheCallersMessageAndLeaveNothing)
{
    const fs::path missing = dir_ / "no-such-folder" / "x.dxf";
    try {
        AtomicFile file(missing, Message);
        ADD_FAILURE() << "created in a missing folder";
    } catch (const Error& e) {
        const std::string what = e.what();
        EXPECT_EQ(what.rfind("cannot save: ", 0), 0u) << what;
        EXPECT_GT(what.size(), std::string("cannot save: ").size()) << "no reason given";
    }
    // A folder in the target's place cannot be replaced by a file: refused before anything is written.
    fs::create_directories(dir_ / "folder");
    try {
        AtomicFile file(dir_ / "folder", Message);
        ADD_FAILURE() << "a folder taken as the target";
    } catch (const Error& e) {
        EXPECT_EQ(std::string(e.what()), "cannot save: it is a folder");
    }
    EXPECT_TRUE(fs::is_directory(dir_ / "folder"));
    EXPECT_EQ(Names(dir_), (std::set<std::string>{"drawing.dxf", "folder"}));
}

} // namespace
} // namespace gridvane
