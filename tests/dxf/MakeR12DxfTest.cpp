#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <fstream>
#include <limits>

#include "base/Error.h"
#include "base/Utf.h"
#include "dxf/MakeR12Dxf_V.h"
#include "tests/support/TestFolder.h"

namespace gridvane {
namespace {

namespace fs = std::filesystem;

std::vector<std::u16string> Lines(const DxfLineList& list, std::size_t from = 0)
{
    std::vector<std::u16string> out;
    for (std::size_t i = from; i < list.Count(); ++i) out.emplace_back(list[i]);
    return out;
}

TEST(MakeR12Dxf, RealText)
{
    struct Case {
        double value;
        const char16_t* text;
    };
    const Case cases[] = {
        {0, u"0"},
        {-0.0, u"0"},
        {10, u"10"},
        {-12.5, u"-12.5"},
        {3 * 0.43, u"1.29"},
        {1.0 / 3, u"0.333333333333333"},
        {0.0001, u"0.0001"},
        {0.00005, u"5E-5"},
        {1e15, u"1E15"},
        {999999999999999, u"999999999999999"},
        {2.5e20, u"2.5E20"},
        {-2.5e-7, u"-2.5E-7"},
        {123.456, u"123.456"},
        {0.1 + 0.2, u"0.3"},
        {99999999999999.99, u"100000000000000"}, // 15 significant digits
        {12345678901234.5, u"12345678901234.5"},
        {9.9999999999999999e14, u"1E15"},
    };
    for (const Case& k : cases) EXPECT_EQ(FormatDxfReal(k.value), k.text) << k.value;
    EXPECT_THROW(FormatDxfReal(std::numeric_limits<double>::infinity()), Error);
    EXPECT_THROW(FormatDxfReal(std::nan("")), Error);
}

TEST(MakeR12Dxf, LineRecord)
{
    DxfLineList list;
    DxfLine(list, {0, 0, 0}, {20, -12.5, 0}, u"XLSCellLine", u"BYLAYER", 256);
    const std::vector<std::u16string> expected = {u"  0", u"LINE", u"  8", u"XLSCellLine", u"  6", u"BYLAYER", u" 62",
                                                  u"256", u" 48", u"1.0", u" 10", u"0", u" 20", u"0", u" 30", u"0",
                                                  u" 11", u"20", u" 21", u"-12.5", u" 31", u"0"};
    EXPECT_EQ(Lines(list), expected);
}

TEST(MakeR12Dxf, HeaderTablesAndEnd)
{
    DxfLineList list;
    list.Add(u"left over");
    DxfStart(list);
    DxfLtypeTable(list);
    DxfStartEntities(list);
    DxfEnd(list);
    const std::vector<std::u16string> expected = {
        u"  0", u"SECTION", u"  2", u"HEADER", u"  9", u"$ACADVER", u"  1", u"AC1009", u"  9", u"$DWGCODEPAGE",
        u"  3", u"ANSI_932", u"  9", u"$CELTYPE", u"  6", u"BYLAYER", u"  9", u"$CECOLOR", u" 62", u"256",
        u"  0", u"ENDSEC", u"  0", u"SECTION", u"  2", u"TABLES",
        u"  0", u"TABLE", u"  2", u"LTYPE", u" 70", u"     2", u"  0", u"LTYPE", u"  2", u"CONTINUOUS", u" 70",
        u"     0", u"  3", u"Solid line", u" 72", u"    65", u" 73", u"     0", u" 40", u"0.0", u"  0", u"ENDTAB",
        u"  0", u"ENDSEC", u"  0", u"SECTION", u"  2", u"ENTITIES",
        u"  0", u"ENDSEC", u"  0", u"EOF"};
    EXPECT_EQ(Lines(list), expected);
}

TEST(MakeR12Dxf, Polyline)
{
    DxfLineList list;
    const TAcadPoint square[] = {{0, 0, 5}, {20, 0, 5}, {20, -20, 0}, {0, -20, 0}};
    DxfPolyline(list, square, true, u"L", u"BYLAYER", 256);
    const auto lines = Lines(list);
    ASSERT_EQ(lines.size(), 20u + 4 * 10 + 2);
    EXPECT_EQ(lines[18], u" 70");
    EXPECT_EQ(lines[19], u"1");
    const std::vector<std::u16string> firstVertex = {u"  0", u"VERTEX", u"  8", u"L", u" 10", u"0", u" 20", u"0", u" 30", u"0.0"};
    EXPECT_EQ(std::vector<std::u16string>(lines.begin() + 20, lines.begin() + 30), firstVertex);
    EXPECT_EQ(lines.back(), u"SEQEND");
    DxfLineList open;
    DxfPolyline(open, {}, false, u"L", u"BYLAYER", 256);
    EXPECT_EQ(Lines(open, 18), (std::vector<std::u16string>{u" 70", u"0", u"  0", u"SEQEND"}));
}

TEST(MakeR12Dxf, TextJustification)
{
    struct Case {
        const char16_t* code;
        int h, v; // passed
        const char16_t* g72;
        const char16_t* g73;
    };
    const Case cases[] = {
        {u"MC", 0, 0, u"1", u"2"}, {u"mc", 0, 0, u"0", u"0"}, {u"X", 0, 0, u"0", u"0"},  {u"TRX", 2, 1, u"2", u"1"},
        {u"ML", 0, 0, u"0", u"2"}, {u"MR", 0, 0, u"2", u"2"}, {u"BL", 9, 9, u"0", u"1"}, {u"TC", 0, 0, u"1", u"3"},
        {u"A", 0, 7, u"3", u"0"},  {u"F", 0, 7, u"5", u"0"},  {u"M", 0, 0, u"4", u"0"},  {u"", 1, 3, u"1", u"3"},
        {u"QZ", 1, 3, u"1", u"3"}, {u"R", 0, 2, u"2", u"0"},
    };
    for (const Case& k : cases) {
        DxfLineList list;
        DxfText(list, u"a b", {1, -5, 0}, {1, -5, 0}, 2.5, 1.0, 0.0, k.h, k.v, k.code, u"XLSCellText", 256);
        const auto lines = Lines(list);
        ASSERT_EQ(lines.size(), 36u);
        EXPECT_EQ(lines[33], k.g72) << ToUtf8(k.code);
        EXPECT_EQ(lines[35], k.g73) << ToUtf8(k.code);
        EXPECT_EQ(lines[21], u"a b");
        EXPECT_EQ(lines[23], u"2.5");
        EXPECT_EQ(lines[25], u"1");
        EXPECT_EQ(lines[27], u"0");
        EXPECT_EQ(lines[29], u"0.0");
    }
}

// A text record is written in one piece: the same bytes as its lines added one by one, for texts and layers
// in ASCII and beyond it, long ones, and into a list streamed in pieces smaller than one record.
TEST(MakeR12Dxf, TextRecordEqualsItsLinesAddedOneByOne)
{
    const std::u16string texts[] = {u"", u"M8 x 1.25", u"部品 ¥100 café", std::u16string(5000, u'寸') + u"x\xD800"};
    const std::u16string layers[] = {u"XLSCellText", u"図面"};
    for (const std::size_t chunk : {std::size_t{0}, std::size_t{64}, std::size_t{1000}}) {
        DxfLineList record, lines;
        std::string handedOn;
        if (chunk != 0) record.StreamTo([&](std::string_view bytes) { handedOn += bytes; }, chunk);
        // Second points apart from the first, the same, and the same but for the sign of a zero.
        const std::pair<TAcadPoint, TAcadPoint> points[] = {
            {{12.5, -1e-5, 0}, {-0.0, 1e15, 7.0 / 3}}, {{12.5, -1e-5, 0}, {12.5, -1e-5, 0}}, {{0, 3, -0.0}, {-0.0, 3, 0}}};
        std::size_t records = 0;
        for (const std::u16string& layer : layers) {
            for (const std::u16string& text : texts) {
                const auto& [a, b] = points[records++ % std::size(points)];
                DxfText(record, text, a, b, 2.5, 0.8, 90, 0, 0, u"MR", layer, -1234567);
                for (const std::u16string_view line : {u"  0", u"TEXT", u"  8"}) lines.Add(line);
                lines.Add(layer);
                lines.Add(u"  7"), lines.Add(u"STANDARD"), lines.Add(u" 62"), lines.AddInt(-1234567);
                const std::u16string_view codes[] = {u" 10", u" 20", u" 30", u" 11", u" 21", u" 31"};
                const double values[] = {a.x, a.y, a.z, b.x, b.y, b.z};
                for (int i = 0; i < 6; ++i) lines.Add(codes[i]), lines.AddReal(values[i]);
                lines.Add(u"  1"), lines.Add(text);
                lines.Add(u" 40"), lines.AddReal(2.5), lines.Add(u" 41"), lines.AddReal(0.8);
                lines.Add(u" 50"), lines.AddReal(90), lines.Add(u" 51"), lines.Add(u"0.0"), lines.Add(u" 71");
                lines.Add(u"0"), lines.Add(u" 72"), lines.AddInt(2), lines.Add(u" 73"), lines.AddInt(2);
            }
        }
        record.Flush();
        EXPECT_EQ(chunk == 0 ? std::string(record.Bytes()) : handedOn, lines.Bytes()) << chunk;
        EXPECT_EQ(record.Count(), lines.Count()) << chunk;
    }
}

TEST(MakeR12Dxf, PointConversions)
{
    const double c8[8] = {0, 1, 2, 3, 4, 5, 6, 7};
    const double c9[9] = {0, 1, 2, 3, 4, 5, 6, 7, 8};
    TAcadPoint four[4];
    EXPECT_TRUE(VarToAcadPoints2D(c8, four));
    EXPECT_EQ(four[3], (TAcadPoint{6, 7, 0}));
    EXPECT_TRUE(VarToAcadPoints2D(c9, four));
    TAcadPoint three[3] = {{9, 9, 9}, {9, 9, 9}, {9, 9, 9}};
    EXPECT_FALSE(VarToAcadPoints2D(c8, three));
    EXPECT_EQ(three[0], (TAcadPoint{9, 9, 9}));
}

std::string ReadBytes(const fs::path& p)
{
    std::ifstream in(p, std::ios::binary);
    return std::string((std::istreambuf_iterator<char>(in)), {});
}

TEST(MakeR12Dxf, SaveWritesCrLfInCodePage932AndKeepsOldFileOnFailure)
{
    const fs::path dir = TestFolder("dxf");
    const fs::path path = dir / "save.dxf";
    DxfLineList list;
    list.Add(u"  1");
    list.Add(u"部品表 ～");
    list.Add(u"EOF");
    SaveDxfLineList(list, path);
    EXPECT_EQ(ReadBytes(path), std::string("  1\r\n\x95\x94\x95\x69\x95\x5C \x81\x60\r\nEOF\r\n"));

    // A folder that does not exist: the message names the path, and nothing is left behind.
    const fs::path bad = dir / "missing-folder" / "x.dxf";
    try {
        SaveDxfLineList(list, bad);
        ADD_FAILURE() << "saved into a missing folder";
    } catch (const Error& e) {
        const std::string what = e.what();
        EXPECT_EQ(what.rfind("ファイル \"" + bad.string() + "\" を作成できません。", 0), 0u) << what;
        EXPECT_GT(what.size(), ("ファイル \"" + bad.string() + "\" を作成できません。").size());
    }
    // The target is a folder: the rename fails and the old contents stay.
    const fs::path folder = dir / "is-a-folder.dxf";
    fs::create_directories(folder);
    EXPECT_THROW(SaveDxfLineList(list, folder), Error);
    EXPECT_TRUE(fs::is_directory(folder));
    for (const auto& entry : fs::directory_iterator(dir))
        EXPECT_EQ(entry.path().string().find(".tmp"), std::string::npos) << entry.path();
}

} // namespace
} // namespace gridvane
