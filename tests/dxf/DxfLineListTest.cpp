// The line list holds the file's bytes: what reading a line back, copying and moving give.
#include <gtest/gtest.h>

#include <limits>
#include <string>
#include <vector>

#include "base/Error.h"
#include "dxf/MakeR12Dxf_V.h"

namespace gridvane {
namespace {

TEST(DxfLineList, LinesAreTheFileBytesAndReadBackAsAReaderSeesThem)
{
    DxfLineList list;
    const std::u16string longLine(300, u'x'); // longer than the one-byte length of a line
    list.Add(u"部品");
    list.AddAscii("  0");
    list.Add(longLine);
    list.Add(u"¥"); // no CP932 code: its best-fit substitute, which reads back as a backslash
    list.AddReal(-0.000125);
    list.AddInt(-7);
    list.Add(u"");
    ASSERT_EQ(list.Count(), 7u);
    EXPECT_EQ(list.Bytes(), "\x95\x94\x95\x69\r\n  0\r\n" + std::string(300, 'x') + "\r\n\\\r\n-0.000125\r\n-7\r\n\r\n");
    EXPECT_EQ(list[0], u"部品");
    EXPECT_EQ(list[2], longLine);
    EXPECT_EQ(list[3], u"\\");
    EXPECT_EQ(list[4], u"-0.000125");
    EXPECT_EQ(list[6], u"");

    // Appending after a read: the next read sees the new line.
    list.Add(u"end");
    EXPECT_EQ(list[7], u"end");

    DxfLineList copy = list;
    DxfLineList moved = std::move(list);
    EXPECT_EQ(copy.Bytes(), moved.Bytes());
    EXPECT_EQ(copy[2], longLine);
    EXPECT_EQ(moved[7], u"end");
    list = copy; // a moved-from list takes a new value
    EXPECT_EQ(list.Count(), 8u);

    copy.Clear();
    EXPECT_EQ(copy.Count(), 0u);
    EXPECT_TRUE(copy.Bytes().empty());
    EXPECT_EQ(moved.Count(), 8u);
}

// Lines of every length around the one-byte length, many of them, so the buffers also fill and grow between
// two lines: each reads back as it was added, and the bytes are the lines and their CR LF.
TEST(DxfLineList, LinesAroundTheOneByteLengthReadBackWhole)
{
    DxfLineList list;
    std::string expected;
    std::vector<std::u16string> lines;
    for (int round = 0; round < 200; ++round) {
        for (const std::size_t length : {0, 1, 3, 253, 254, 255, 256, 600}) {
            const std::string ascii(length, static_cast<char>('a' + round % 26));
            list.AddAscii(ascii);
            expected += ascii + "\r\n";
            lines.emplace_back(ascii.begin(), ascii.end());
        }
        // 130 two-byte characters: 260 bytes in the drawing code page.
        const std::u16string wide(130, u'部');
        list.Add(wide);
        std::string encoded;
        for (int k = 0; k < 130; ++k) encoded += "\x95\x94";
        expected += encoded + "\r\n";
        lines.push_back(wide);
    }
    ASSERT_EQ(list.Count(), lines.size());
    EXPECT_EQ(list.Bytes(), expected);
    for (std::size_t i = 0; i < lines.size(); ++i) ASSERT_EQ(list[i], lines[i]) << "line " << i;
}

TEST(DxfLineList, ARecordWithANonFiniteValueLeavesNothingBehind)
{
    DxfLineList list;
    list.AddAscii("  0");
    const std::string before(list.Bytes());
    const double nan = std::numeric_limits<double>::quiet_NaN();
    EXPECT_THROW(DxfLine(list, {0, 0, 0}, {1, nan, 0}, u"L", u"BYLAYER", 256), Error);
    const TAcadPoint unbounded[] = {{0, 0, 0}, {std::numeric_limits<double>::infinity(), 1, 0}};
    EXPECT_THROW(DxfPolyline(list, unbounded, true, u"L", u"BYLAYER", 256), Error);
    EXPECT_THROW(DxfText(list, u"a", {0, 0, 0}, {0, 0, 0}, nan, 1, 0, 0, 0, u"", u"L", 256), Error);
    EXPECT_THROW(list.AddReal(nan), Error);
    EXPECT_EQ(list.Bytes(), before);
    EXPECT_EQ(list.Count(), 1u);
}

} // namespace
} // namespace gridvane
