#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <fstream>
#include <optional>
#include <set>

#include "base/Error.h"
#include "base/Utf.h"
#include "cad/CadInsertion.h"
#include "cad/CadStandIn.h"

namespace gridvane {
namespace {

using ::testing::ElementsAre;

constexpr Guid kFakeClass{0x11111111, 0x2222, 0x3333, {0x44, 0x44, 0x55, 0x55, 0x55, 0x55, 0x55, 0x55}};
constexpr std::intptr_t kWindow = 0x5A5A;

// Records every call with its arguments, hands out numbered references and fails the call with a
// given number (counting all calls but Release from 0).
class FakeCad final : public CadAutomation {
public:
    std::optional<int> failCall;
    std::string failureText = "failure";
    bool failBusy = false; // the failure is the CAD's busy state
    std::vector<std::string> log;
    std::set<CadRef> live;

    CadStatus ClassIdFromProgId(std::u16string_view progId, Guid& classId) override
    {
        if (Call("ClassIdFromProgId(" + ToUtf8(progId) + ")"))
            return Fail();
        classId = kFakeClass;
        return CadStatus::Success();
    }
    CadStatus ActiveObject(const Guid& classId, CadRef& object) override
    {
        if (Call("ActiveObject(" + FormatGuid(classId) + ")"))
            return Fail();
        object = Acquire();
        return CadStatus::Success();
    }
    CadStatus QueryInterface(CadRef object, const Guid& iid, CadRef& result) override
    {
        const std::string iidName = iid == kIidDispatch ? "IDispatch" : iid == kIidCadApplication ? "Application" : "?";
        if (Call("QueryInterface(#" + std::to_string(object) + "," + iidName + ")"))
            return Fail();
        EXPECT_TRUE(live.count(object)) << "query on a released or unknown object";
        result = Acquire();
        return CadStatus::Success();
    }
    CadStatus ReadHwnd(CadRef application, std::intptr_t& hwnd) override
    {
        if (Call("ReadHwnd(#" + std::to_string(application) + ")"))
            return Fail();
        hwnd = kWindow;
        return CadStatus::Success();
    }
    void SetForegroundWindow(std::intptr_t hwnd) override { Call("SetForegroundWindow(" + std::to_string(hwnd) + ")"); }
    CadStatus SendCommand(CadRef application, std::u16string_view command) override
    {
        if (Call("SendCommand(#" + std::to_string(application) + "," + ToUtf8(command) + ")"))
            return Fail();
        return CadStatus::Success();
    }
    void Release(CadRef object) override
    {
        log.push_back("Release(#" + std::to_string(object) + ")");
        EXPECT_EQ(live.erase(object), 1u) << "released #" << object << " that is not held";
    }

private:
    int calls_ = 0;
    CadRef next_ = 1;

    bool Call(std::string entry)
    {
        log.push_back(std::move(entry));
        return failCall && *failCall == calls_++;
    }
    CadStatus Fail() { return failBusy ? CadStatus::Busy(failureText) : CadStatus::Failure(failureText); }
    CadRef Acquire()
    {
        live.insert(next_);
        return next_++;
    }
};

const std::string kPath = "C:\\Users\\太郎\\My Drawings\\Gridvane23.dxf";
const std::string kCommand = "^C^C-INSERT\r\"*" + kPath + "\"\rS 1 R 0 ";

TEST(MakeInsertCommand, QuotesThePathUnchanged)
{
    const struct {
        std::u16string path;
        std::u16string command;
    } cases[] = {
        {u"C:\\Tools\\Gridvane23.dxf", u"^C^C-INSERT\r\"*C:\\Tools\\Gridvane23.dxf\"\rS 1 R 0 "},
        {u"C:\\Program Files\\Grid vane\\a b.dxf", u"^C^C-INSERT\r\"*C:\\Program Files\\Grid vane\\a b.dxf\"\rS 1 R 0 "},
        {u"D:\\図面\\表　作成\\Gridvane23.dxf", u"^C^C-INSERT\r\"*D:\\図面\\表　作成\\Gridvane23.dxf\"\rS 1 R 0 "},
        {u"\\\\server\\share\\x.dxf", u"^C^C-INSERT\r\"*\\\\server\\share\\x.dxf\"\rS 1 R 0 "},
        {u"C:\\a\U0001F600b.dxf", u"^C^C-INSERT\r\"*C:\\a\U0001F600b.dxf\"\rS 1 R 0 "},
        {u"", u"^C^C-INSERT\r\"*\"\rS 1 R 0 "},
    };
    for (const auto& c : cases)
        EXPECT_EQ(MakeInsertCommand(c.path), c.command) << ToUtf8(c.path);

    // The exact code units: two cancels, INSERT, CR, quote, star, path, quote, CR, options, one space.
    const std::u16string command = MakeInsertCommand(u"p");
    const std::u16string expected{u'^', u'C', u'^', u'C', u'-', u'I', u'N', u'S', u'E', u'R', u'T', 13, 34, u'*',
                                  u'p', 34,   13,   u'S', u' ', u'1', u' ', u'R', u' ', u'0', u' '};
    EXPECT_EQ(command, expected);
}

TEST(InsertDrawing, CallsTheCadInOrderAndReleasesEverything)
{
    FakeCad cad;
    InsertDrawing(cad, FromUtf8(kPath));
    const std::string lookUp = "ClassIdFromProgId(BricscadApp.AcadApplication)";
    const std::string active = "ActiveObject({11111111-2222-3333-4444-555555555555})";
    EXPECT_THAT(cad.log, ElementsAre(lookUp, active, "Release(#1)", lookUp, active, "QueryInterface(#2,IDispatch)",
                                     "QueryInterface(#3,Application)", "ReadHwnd(#4)", "SetForegroundWindow(23130)",
                                     "SendCommand(#4," + kCommand + ")", "Release(#4)", "Release(#3)", "Release(#2)"));
    EXPECT_TRUE(cad.live.empty());
}

TEST(InsertDrawing, FailuresEndTheRunWithTheirMessageAndReleaseEverything)
{
    const std::string notSupported = "Interface はサポートされていません";
    const struct {
        int failCall;
        std::optional<std::string> message; // none: the run ends silently
        std::size_t logSize;                // calls made, including releases
    } cases[] = {
        {0, "failure", 1},          // the class is not registered
        {1, std::nullopt, 2},       // the CAD is not running
        {2, "failure", 4},          // the second class lookup
        {3, "failure", 5},          // the CAD ended between the two lookups
        {4, "failure", 7},          // not an automation object
        {5, notSupported, 9},       // the application interface is not offered
        {6, "failure", 11},         // HWND cannot be read
        {8, "failure", 13},         // the command is refused
    };
    FakeCad good;
    InsertDrawing(good, u"C:\\x.dxf");
    std::vector<std::string> goodCalls;
    for (const std::string& entry : good.log) {
        if (entry.rfind("Release", 0) != 0)
            goodCalls.push_back(entry);
    }
    ASSERT_EQ(goodCalls.size(), 9u);
    for (const auto& c : cases) {
        SCOPED_TRACE(c.failCall);
        FakeCad cad;
        cad.failCall = c.failCall;
        if (c.message) {
            try {
                InsertDrawing(cad, u"C:\\x.dxf");
                ADD_FAILURE() << "no error";
            } catch (const Error& error) {
                EXPECT_EQ(error.what(), *c.message);
            }
        } else {
            EXPECT_NO_THROW(InsertDrawing(cad, u"C:\\x.dxf"));
        }
        EXPECT_EQ(cad.log.size(), c.logSize);
        EXPECT_TRUE(cad.live.empty()) << cad.live.size() << " references left";
        // Nothing is tried again: the calls are those of a good run up to the failed one, then releases.
        std::vector<std::string> calls;
        for (const std::string& entry : cad.log) {
            if (entry.rfind("Release", 0) != 0)
                calls.push_back(entry);
        }
        const std::vector<std::string> expected(goodCalls.begin(), goodCalls.begin() + c.failCall + 1);
        EXPECT_EQ(calls, expected);
    }
}

TEST(InsertDrawing, AFailureWithoutDescriptionStillSaysWhatFailed)
{
    FakeCad cad;
    cad.failCall = 6;
    cad.failureText.clear();
    try {
        InsertDrawing(cad, u"C:\\x.dxf");
        ADD_FAILURE() << "no error";
    } catch (const Error& error) {
        EXPECT_THAT(error.what(), ::testing::HasSubstr("HWND"));
    }
}

TEST(InsertDrawing, ABusyCadIsToldInTheWindowsWordsWithWhereTheDrawingIs)
{
    const std::u16string path = u"C:\\図面\\x.dxf";
    for (const int failCall : {6, 8}) { // HWND read, the command
        SCOPED_TRACE(failCall);
        FakeCad cad;
        cad.failCall = failCall;
        cad.failBusy = true;
        cad.failureText = "RPC_E_CALL_REJECTED";
        try {
            InsertDrawing(cad, path);
            ADD_FAILURE() << "no error";
        } catch (const Error& error) {
            EXPECT_EQ(error.Japanese(), std::u16string(kCadBusy) + path);
            EXPECT_EQ(WindowText(error), std::u16string(kCadBusy) + path);
            EXPECT_THAT(error.what(), ::testing::HasSubstr("busy"));
            EXPECT_THAT(error.what(), ::testing::HasSubstr(ToUtf8(path)));
        }
        EXPECT_TRUE(cad.live.empty());
    }
}

TEST(IsCadRunning, LooksUpAndReleasesTheInstance)
{
    FakeCad running;
    EXPECT_TRUE(IsCadRunning(running));
    EXPECT_EQ(running.log.size(), 3u);
    EXPECT_TRUE(running.live.empty());

    FakeCad stopped;
    stopped.failCall = 1;
    EXPECT_FALSE(IsCadRunning(stopped));

    FakeCad notInstalled;
    notInstalled.failCall = 0;
    notInstalled.failureText = "無効なクラス文字列です。";
    EXPECT_THROW(
        try { IsCadRunning(notInstalled); } catch (const Error& error) {
            EXPECT_STREQ(error.what(), "無効なクラス文字列です。");
            throw;
        },
        Error);
}

TEST(CadStandIn, KnowsTheCadButNothingRuns)
{
    CadStandIn cad;
    Guid classId;
    EXPECT_TRUE(cad.ClassIdFromProgId(kCadProgId, classId).ok);
    EXPECT_EQ(classId, CadStandIn::kCadClassId);
    EXPECT_FALSE(cad.ClassIdFromProgId(u"Other.Application", classId).ok);
    CadRef object = 7;
    EXPECT_FALSE(cad.ActiveObject(classId, object).ok);
    EXPECT_EQ(object, 0u);
    EXPECT_FALSE(IsCadRunning(cad));
    EXPECT_NO_THROW(InsertDrawing(cad, u"C:\\x.dxf"));
}

#ifndef _WIN32
// On Windows the platform's automation is COM; its tests live in CadAutomationWinTest.cpp.
TEST(InsertIntoRunningCad, EndsSilentlyWithNoCadRunning)
{
    const std::filesystem::path drawing =
        std::filesystem::path(GRIDVANE_BINARY_DIR) / "cad test drawing.dxf";
    std::ofstream(drawing) << "0\r\nEOF\r\n";
    EXPECT_NO_THROW(InsertIntoRunningCad(drawing));
    EXPECT_NO_THROW(InsertIntoRunningCad(drawing.parent_path() / "missing.dxf"));
    EXPECT_TRUE(std::filesystem::exists(drawing));
    std::filesystem::remove(drawing);
}
#endif

TEST(FormatGuid, WritesTheRegistryForm)
{
    EXPECT_EQ(FormatGuid(kIidDispatch), "{00020400-0000-0000-C000-000000000046}");
    EXPECT_EQ(FormatGuid(kIidCadApplication), "{D48F17B7-773E-4238-A6C6-B2BBEBAA9A1E}");
}

} // namespace
} // namespace gridvane
