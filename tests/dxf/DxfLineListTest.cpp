// The line list holds the file's bytes: what reading a line back, copying and moving give.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>
#include <random>
#include <string>
#include <vector>

#include "base/Error.h"
#include "base/RealText.h"
#include "dxf/DxfEntitySink.h"
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

// Appends the same mixed lines (short, long, encoded, numbers) to a list; the numbers repeat a few values
// between many others, as a drawing's coordinates do.
void AddMixedLines(DxfLineList& list, int rounds)
{
    std::mt19937_64 random(7);
    for (int round = 0; round < rounds; ++round) {
        list.AddAscii("  0");
        list.Add(u"部品" + std::u16string(static_cast<std::size_t>(round % 7), u'x'));
        list.AddAscii(std::string(static_cast<std::size_t>(round % 900), 'y')); // some longer than a small chunk
        list.AddReal(round % 3 == 0 ? 12.5 : -0.25 * round);
        list.AddReal(std::ldexp(static_cast<double>(random() >> 11), static_cast<int>(random() % 200) - 150));
        list.AddInt(round);
    }
}

// A streamed list hands on, in order, exactly the bytes a whole list holds, in pieces of about its chunk,
// none of them empty; the lines are counted alike.
TEST(DxfLineList, StreamedLinesAreTheWholeListsBytesInOrder)
{
    DxfLineList whole;
    AddMixedLines(whole, 3000);
    for (const std::size_t chunk : {std::size_t{64}, std::size_t{1000}, std::size_t{4096}, std::size_t{1} << 20}) {
        DxfLineList streamed;
        std::string handedOn;
        std::size_t pieces = 0, largest = 0;
        streamed.StreamTo(
            [&](std::string_view bytes) {
                EXPECT_FALSE(bytes.empty());
                handedOn += bytes;
                ++pieces;
                largest = std::max(largest, bytes.size());
            },
            chunk);
        streamed.Reserve(std::size_t{64} << 20); // no effect on a streamed list
        AddMixedLines(streamed, 3000);
        EXPECT_LE(streamed.Bytes().size(), std::max<std::size_t>(chunk * 2, 4096)) << chunk;
        streamed.Flush();
        EXPECT_TRUE(streamed.Bytes().empty());
        streamed.Flush(); // nothing left: nothing more handed on
        EXPECT_EQ(handedOn, whole.Bytes()) << chunk;
        EXPECT_EQ(streamed.Count(), whole.Count());
        EXPECT_GT(pieces, whole.Bytes().size() / std::max<std::size_t>(chunk * 2, 4096)) << chunk;
        EXPECT_LE(largest, std::max<std::size_t>(chunk * 2, 4096)) << chunk;
    }
}

// A writer that fails: its exception reaches the caller whose line filled the buffer, and the bytes it was
// given are not handed on twice nor lost when the writer recovers.
TEST(DxfLineList, AFailingStreamWriterReachesTheCaller)
{
    DxfLineList whole, streamed;
    std::string handedOn;
    bool fail = true;
    streamed.StreamTo(
        [&](std::string_view bytes) {
            if (fail) throw Error("disk full");
            handedOn += bytes;
        },
        4096);
    bool thrown = false;
    for (int i = 0; i < 1000 && !thrown; ++i) {
        try {
            streamed.AddAscii("line " + std::to_string(i));
            whole.AddAscii("line " + std::to_string(i));
        } catch (const Error& e) {
            thrown = true;
            EXPECT_STREQ(e.what(), "disk full");
        }
    }
    ASSERT_TRUE(thrown);
    fail = false;
    streamed.Flush();
    EXPECT_EQ(handedOn, whole.Bytes());
}

// Real numbers are written as FormatReal15 writes them, whatever came before: values that repeat, values
// of the same hash, -0 beside 0, and many random ones.
TEST(DxfLineList, RealsAreWrittenAsTheFormatterWritesThemAlsoWhenRepeated)
{
    std::mt19937_64 random(11);
    std::vector<double> values = {0.0, -0.0, 1.0, 12.5, -12.5, 1e15, 1e-5, 0.1 + 0.2, 5e-324, 1.7976931348623157e308};
    for (int i = 0; i < 20000; ++i) {
        std::uint64_t bits = random();
        double v;
        std::memcpy(&v, &bits, sizeof v);
        if (std::isfinite(v)) values.push_back(v);
        values.push_back(static_cast<double>(random() % 4000) * 0.43 - 800);   // sums of cell sizes
        values.push_back(values[random() % values.size()]);                     // a repeat of any earlier one
    }
    DxfLineList list;
    std::string expected;
    for (const double v : values) {
        list.AddReal(v);
        expected += FormatReal15(v) + "\r\n";
    }
    EXPECT_EQ(list.Bytes(), expected);
    DxfLineList copy = list; // a copy writes the same texts
    copy.Clear();
    for (const double v : values) copy.AddReal(v);
    EXPECT_EQ(copy.Bytes(), expected);
}

// The list's sink counts the entities of each kind per layer, as they were appended; an entity that could
// not be written is not counted.
TEST(DxfLineList, TheSinkCountsEntitiesPerLayerAndKind)
{
    DxfLineList list;
    DxfLineListSink sink(list);
    const TAcadPoint a{0, 0, 0}, b{1, 1, 0};
    const TAcadPoint square[] = {a, b, {2, 0, 0}};
    sink.Line(a, b, u"A", u"BYLAYER", 256);
    sink.Text(u"t", a, a, 1, 1, 0, 0, 0, u"ML", u"B", 256);
    sink.Line(a, b, u"A", u"BYLAYER", 256);
    sink.Polyline(square, true, u"A", u"BYLAYER", 256);
    sink.Text(u"t", a, a, 1, 1, 0, 0, 0, u"ML", u"部品", 256);
    sink.Line(a, b, u"B", u"BYLAYER", 256);
    EXPECT_THROW(sink.Line(a, {std::numeric_limits<double>::infinity(), 0, 0}, u"C", u"BYLAYER", 256), Error);
    ASSERT_EQ(sink.Counts().size(), 3u);
    const auto& c = sink.Counts();
    EXPECT_EQ(c[0].layer, u"A");
    EXPECT_EQ(std::vector<std::size_t>({c[0].lines, c[0].polylines, c[0].texts}), std::vector<std::size_t>({2, 1, 0}));
    EXPECT_EQ(c[1].layer, u"B");
    EXPECT_EQ(std::vector<std::size_t>({c[1].lines, c[1].polylines, c[1].texts}), std::vector<std::size_t>({1, 0, 1}));
    EXPECT_EQ(c[2].layer, u"部品");
    EXPECT_EQ(c[2].texts, 1u);
    EXPECT_EQ(&sink.List(), &list);
}

} // namespace
} // namespace gridvane
