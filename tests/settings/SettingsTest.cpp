#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "base/Error.h"
#include "settings/Settings.h"
#include "settings/SizeSummary.h"
#include "tests/support/TestFolder.h"

namespace gridvane {
namespace {

namespace fs = std::filesystem;

std::string Read(const fs::path& p)
{
    std::ifstream in(p, std::ios::binary);
    return std::string((std::istreambuf_iterator<char>(in)), {});
}

void Write(const fs::path& p, const std::string& bytes) { std::ofstream(p, std::ios::binary) << bytes; }

TEST(Settings, FirstStartGivesDefaultsAndSaveWritesTheNineKeys)
{
    const fs::path p = TestFolder("settings") / "first.ini";
    fs::remove(p);
    const TSettings s = LoadSettings(p, u'.');
    EXPECT_EQ(s, TSettings{});
    SaveSettings(p, s, u'.');
    EXPECT_EQ(Read(p), "[PlotraTlsx]\r\ncolXsc=20\r\nrowYsc=3\r\ncadXsc=3\r\ncadYsc=0.43\r\ncadTsc=0.27\r\ncadTof=0.8\r\n"
                       "cellLineColor=252\r\ncellLineDraw=1\r\nxlsVerNum=16\r\n");
    EXPECT_EQ(LoadSettings(p, u'.'), s);
}

TEST(Settings, ReadingFollowsTheProfileRules)
{
    struct Case {
        const char* name;
        std::string file;
        char16_t sep;
        TSettings expected;
    };
    auto with = [](auto f) {
        TSettings s;
        f(s);
        return s;
    };
    const Case cases[] = {
        {"not a number", "[PlotraTlsx]\r\ncadYsc=abc\r\n", u'.', TSettings{}},
        {"empty value", "[PlotraTlsx]\r\ncadXsc=\r\n", u'.', TSettings{}},
        {"case and blanks", "[plotratlsx]\r\n  CADXSC = 5.5  \r\n", u'.', with([](TSettings& s) { s.cadXsc = 5.5; })},
        {"comma separator", "[PlotraTlsx]\ncadYsc=0,5\n", u',', with([](TSettings& s) { s.cadYsc = 0.5; })},
        {"full stop under comma locale", "[PlotraTlsx]\ncadYsc=0.5\n", u',', TSettings{}},
        {"hexadecimal", "[PlotraTlsx]\ncellLineColor=0x10\nxlsVerNum=0XfF\n", u'.',
         with([](TSettings& s) { s.cellLineColor = 16, s.xlsVerNum = 255; })},
        {"cell lines off", "[PlotraTlsx]\ncellLineDraw=0\n", u'.', with([](TSettings& s) { s.cellLineDraw = false; })},
        {"cell lines any non-zero", "[PlotraTlsx]\ncellLineDraw=7\n", u'.', TSettings{}},
        {"other section", "[Other]\ncadXsc=9\n", u'.', TSettings{}},
        {"negative accepted", "[PlotraTlsx]\ncadTof=-1.5\n", u'.', with([](TSettings& s) { s.cadTof = -1.5; })},
    };
    for (const Case& k : cases) {
        const fs::path p = TestFolder("settings") / "read.ini";
        Write(p, k.file);
        EXPECT_EQ(LoadSettings(p, k.sep), k.expected) << k.name;
    }
    const fs::path big = TestFolder("settings") / "big.ini";
    Write(big, "[PlotraTlsx]\ncadXsc=9\n" + std::string(1100000, ';'));
    EXPECT_EQ(LoadSettings(big, u'.'), TSettings{});
}

TEST(Settings, SaveKeepsForeignContentAndUpdatesInPlace)
{
    const fs::path p = TestFolder("settings") / "foreign.ini";
    Write(p, "; comment \xff\xfe\n[Other]\nkey=value\n[PlotraTlsx]\ncadXsc=9\nunknown=1\n\n[Tail]\nx=1\n");
    TSettings s;
    s.cadXsc = 2.5;
    s.cellLineDraw = false;
    SaveSettings(p, s, u',');
    EXPECT_EQ(Read(p), "; comment \xff\xfe\n[Other]\nkey=value\n[PlotraTlsx]\ncadXsc=2,5\nunknown=1\ncolXsc=20\n"
                       "rowYsc=3\ncadYsc=0,43\ncadTsc=0,27\ncadTof=0,8\ncellLineColor=252\ncellLineDraw=0\nxlsVerNum=16\n"
                       "\n[Tail]\nx=1\n");
    EXPECT_EQ(LoadSettings(p, u','), s);
}

// More digits than the general form keeps: the first save rounds to 15 significant digits, and the saved
// file then reads back and saves unchanged (an input the fuzzer found).
TEST(Settings, LongNumbersAreRoundedOnceAndThenStable)
{
    const fs::path p = TestFolder("settings") / "long.ini";
    Write(p, "[PlotraTlsx]\r\n0[O\r0\ncadYsc=0." + std::string(60, '8') + "\r\n");
    const TSettings first = LoadSettings(p, u'.');
    EXPECT_DOUBLE_EQ(first.cadYsc, 0.8888888888888888);
    SaveSettings(p, first, u'.');
    const std::string saved = Read(p);
    EXPECT_NE(saved.find("cadYsc=0.888888888888889\r\n"), std::string::npos) << saved;
    const TSettings second = LoadSettings(p, u'.');
    SaveSettings(p, second, u'.');
    EXPECT_EQ(Read(p), saved);
    EXPECT_EQ(LoadSettings(p, u'.'), second);
}

TEST(Settings, UnwritableLocationKeepsTheOldFile)
{
    // A folder of its own: the other tests' saves leave their temporary files in "settings" meanwhile.
    const fs::path missing = TestFolder("settings-unwritable") / "no-such-folder" / "x.ini";
    try {
        SaveSettings(missing, TSettings{}, u'.');
        ADD_FAILURE() << "saved";
    } catch (const Error& e) {
        EXPECT_EQ(std::string(e.what()), missing.string() + " に書き込めません");
    }
    EXPECT_FALSE(fs::exists(missing.parent_path()));
    const fs::path folder = TestFolder("settings-unwritable") / "folder.ini";
    fs::create_directories(folder);
    EXPECT_THROW(SaveSettings(folder, TSettings{}, u'.'), Error);
    for (const auto& e : fs::directory_iterator(TestFolder("settings-unwritable"))) EXPECT_EQ(e.path().string().find(".tmp"), std::string::npos);
}

TEST(Settings, TheWindowsPlaceHasASectionOfItsOwnAfterTheNineKeys)
{
    const fs::path p = TestFolder("settings-window") / "window.ini"; // a folder of its own: another test lists "settings"
    fs::remove(p);
    EXPECT_FALSE(LoadWindowPlacement(p).has_value());
    SaveSettings(p, TSettings{}, u'.', TWindowPlacement{10, -3, 640, 480, false});
    const std::string nine = "[PlotraTlsx]\r\ncolXsc=20\r\nrowYsc=3\r\ncadXsc=3\r\ncadYsc=0.43\r\ncadTsc=0.27\r\n"
                             "cadTof=0.8\r\ncellLineColor=252\r\ncellLineDraw=1\r\nxlsVerNum=16\r\n";
    EXPECT_EQ(Read(p), nine + "[Window]\r\nLeft=10\r\nTop=-3\r\nWidth=640\r\nHeight=480\r\nMaximized=0\r\n");
    EXPECT_EQ(LoadWindowPlacement(p), (TWindowPlacement{10, -3, 640, 480, false}));
    // Saved again without a place (the window never shown): the section stays as it was; with one, updated.
    SaveSettings(p, TSettings{}, u'.');
    EXPECT_EQ(LoadWindowPlacement(p), (TWindowPlacement{10, -3, 640, 480, false}));
    SaveSettings(p, TSettings{}, u'.', TWindowPlacement{0, 0, 900, 700, true});
    EXPECT_EQ(Read(p), nine + "[Window]\r\nLeft=0\r\nTop=0\r\nWidth=900\r\nHeight=700\r\nMaximized=1\r\n");
    // A key missing, not a number, or a size that is not positive: no place.
    const char* broken[] = {"[Window]\nLeft=1\nTop=2\nWidth=3\n", "[Window]\nLeft=1\nTop=2\nWidth=3\nHeight=x\nMaximized=0\n",
                            "[Window]\nLeft=1\nTop=2\nWidth=0\nHeight=4\nMaximized=0\n"};
    for (const char* ini : broken) {
        Write(p, ini);
        EXPECT_FALSE(LoadWindowPlacement(p).has_value()) << ini;
    }
}

TEST(SizeSummary, ModeMinMaxAndTotals)
{
    CellTable t;
    EXPECT_EQ(SizeSummary(t, u'.'), (std::array<std::u16string, 5>{}));
    t.GridColCount = 4, t.GridRowCount = 2;
    t.CellGrid.resize(8);
    const double widths[] = {24, 30, 24, 30};
    for (int c = 0; c < 4; ++c) t.CellGrid[c].drawW = widths[c], t.CellGrid[c + 4].drawW = 99;
    t.CellGrid[0].drawH = 6.45, t.CellGrid[4].drawH = 8.6;
    for (auto& cell : t.CellGrid) cell.drawTH = 2.97;
    t.CellGrid[7].drawTH = -1;
    const auto s = SizeSummary(t, u'.');
    EXPECT_EQ(s[0], u"108.000");
    EXPECT_EQ(s[1], u"15.050");
    EXPECT_EQ(s[2], u"24.000 (24.000～30.000)");
    EXPECT_EQ(s[3], u"6.450 (6.450～8.600)");
    EXPECT_EQ(s[4], u"2.970 (-1.000～2.970)");
    CellTable one;
    one.GridColCount = one.GridRowCount = 1;
    one.CellGrid.resize(1);
    one.CellGrid[0].drawW = 12.5, one.CellGrid[0].drawH = 4.3, one.CellGrid[0].drawTH = 3;
    const auto o = SizeSummary(one, u',');
    EXPECT_EQ(o[2], u"12,500 (12,500～12,500)");
    EXPECT_EQ(o[3], u"4,300 (4,300～4,300)");
}

} // namespace
} // namespace gridvane
