// A part read as it is decompressed: the elements below its sections are walked by the plain route as
// their bytes come, in whatever pieces they come. Whatever the cuts, the events and the faults must be
// those of the route that gathers each piece token by token before reading it.
#include <gtest/gtest.h>

#include <zip.h>

#include <algorithm>
#include <filesystem>
#include <random>
#include <string>
#include <vector>

#include "base/Error.h"
#include "tests/support/TestFolder.h"
#include "xlsx/XlsxPackage.h"
#include "xlsx/XlsxXmlStream.h"

namespace gridvane::xlsx {
namespace {

// A container to name the parts in messages (the bytes come from the tests).
const XlsxPackage& Package()
{
    static const XlsxPackage package(std::filesystem::path([] {
        const std::string path = (TestFolder("xlsx-stream") / "named.xlsx").string();
        int error = 0;
        zip_t* z = zip_open(path.c_str(), ZIP_CREATE | ZIP_TRUNCATE, &error);
        static const char kText[] = "x";
        zip_source_t* source = z ? zip_source_buffer(z, kText, 1, 0) : nullptr;
        if (!source || zip_file_add(z, "x", source, 0) < 0 || zip_close(z) != 0) ADD_FAILURE() << "cannot write " << path;
        return path;
    }()));
    return package;
}

// The events as lines; a start tag with r="boom" throws, as a reader refusing a cell does.
class Log : public XmlEvents {
public:
    std::string lines;

    void Start(std::string_view name, const XmlAttrs& attrs, int depth) override
    {
        lines += "S " + std::string(name) + " " + std::to_string(depth);
        for (const char* n : {"r", "s", "t", "ref"}) {
            if (const XmlAttr a = attrs[n]) lines += std::string(" ") + a.name() + "=[" + a.value() + "]";
        }
        lines += "\n";
        if (XmlAttrs::Is("boom", attrs["r"].value())) throw Error("refused at " + std::to_string(lines.size()));
    }
    void End(std::string_view name, int depth) override { lines += "E " + std::string(name) + " " + std::to_string(depth) + "\n"; }
    void Text(std::string_view text, int depth) override { lines += "T [" + std::string(text) + "] " + std::to_string(depth) + "\n"; }
};

// The events of the part handed over in pieces of the sizes given (repeated), then its fault if any.
std::string Read(const std::string& part, const std::vector<std::size_t>& sizes, bool walk)
{
    Log log;
    const XmlChunkSource source = [&](const std::function<void(std::string_view)>& sink) {
        std::size_t i = 0;
        for (std::size_t at = 0; at < part.size(); ++i) {
            const std::size_t n = std::min(sizes[i % sizes.size()], part.size() - at);
            sink(std::string_view(part).substr(at, n));
            at += n;
        }
    };
    try {
        StreamXmlBytes(Package(), "xl/worksheets/sheet1.xml", source, log, walk);
    } catch (const Error& e) {
        return log.lines + "fault: " + e.what();
    }
    return log.lines;
}

// The part read whole by the gathering route, and in pieces of many sizes by the walking route: the same.
void ExpectAlike(const std::string& part, const std::vector<std::vector<std::size_t>>& cuts, const char* what)
{
    const std::string expected = Read(part, {part.size() + 1}, false);
    for (const auto& sizes : cuts) {
        ASSERT_EQ(Read(part, sizes, true), expected) << what << ", in pieces of " << sizes.front() << " bytes";
    }
}

std::string Sheet(const std::string& rows) { return "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<worksheet><sheetData>" + rows + "</sheetData><mergeCells><mergeCell ref=\"A1:B2\"/></mergeCells></worksheet>"; }

std::string Row(int r, const std::string& extra = "")
{
    std::string row = "<row r=\"" + std::to_string(r) + "\">";
    for (int c = 0; c < 8; ++c) {
        row += "<c r=\"" + std::string(1, static_cast<char>('A' + c)) + std::to_string(r) + "\" s=\"1\"" +
               (c % 2 ? " t=\"inlineStr\"><is><t>&#37096;&amp;" + std::to_string(c) + "</t></is></c>" : "><v>" + std::to_string(r * c) + ".5</v></c>");
    }
    return row + extra + "</row>";
}

TEST(XmlStream, PiecesWalkedAsTheyComeAreToldAsWhenGatheredWhatever)
{
    // Small parts, cut everywhere: plain rows, text between them, rows of other markup, an empty section.
    std::string small;
    for (int r = 1; r <= 12; ++r) {
        small += Row(r, r % 5 == 0 ? "<!-- note -->" : r % 7 == 0 ? "<c r=\"Z7\"><v>1\r\n</v></c>" : "") + (r % 3 ? "\n  " : "");
    }
    std::vector<std::vector<std::size_t>> cuts;
    for (std::size_t n = 1; n <= 13; ++n) cuts.push_back({n});
    cuts.push_back({5, 1, 2, 97, 3});
    ExpectAlike(Sheet(small), cuts, "rows");
    ExpectAlike("<worksheet><sheetData/><sheetData>" + small + "</sheetData><cols><col min=\"1\"/></cols></worksheet>", cuts, "sections");
    ExpectAlike("<sst><si><t>a&lt;b</t></si>\n<si><r><t>x</t></r><r><t xml:space=\"preserve\"> y</t></r></si></sst>", cuts, "strings");

    // A part of several pieces (each about 256 KiB), one row of other markup in the middle, and a cell whose
    // text alone is longer than a piece is let to be.
    std::string big;
    for (int r = 1; r <= 3000; ++r) big += Row(r, r == 1500 ? "<?pi?>" : r == 2999 ? "<c><v>" + std::string(1300 * 1024, 'x') + "</v></c>" : "");
    ExpectAlike(Sheet(big), {{256 * 1024}, {1000}, {65536, 7, 131071}}, "a large part");
}

TEST(XmlStream, FaultsAndRefusalsAreThoseOfTheGatheringRoute)
{
    std::string rows;
    for (int r = 1; r <= 40; ++r) rows += Row(r);
    const std::string part = Sheet(rows);
    const std::vector<std::vector<std::size_t>> cuts = {{1}, {3}, {64}, {4096}, {100000}};
    // Cut short anywhere: inside a tag, a value, a reference, a text, between rows.
    for (std::size_t at = part.size() - 1; at > 60; at -= std::min<std::size_t>(at, 97)) {
        ExpectAlike(part.substr(0, at), cuts, ("cut at " + std::to_string(at)).c_str());
    }
    // Spoilt bytes: each in a piece of other ones that the reader refuses (r="boom") before it.
    const char* const spoilers[] = {"<", "&", "&#0;", "\"", "</c>", "</row>", "</sheetData>", "<x", "<!--", ">", "<![CDATA[", "\r", "=", " "};
    std::mt19937 random(23);
    for (int i = 0; i < 300; ++i) {
        std::string spoilt = part;
        const std::size_t at = 60 + random() % (spoilt.size() - 60);
        spoilt.insert(at, spoilers[random() % std::size(spoilers)]);
        if (i % 2) {
            const std::size_t row = spoilt.rfind("<c r=\"", at);
            if (row != std::string::npos && row > 60) spoilt.insert(row + 3, "r=\"boom\" ");
        }
        ExpectAlike(spoilt, cuts, ("spoilt at " + std::to_string(at)).c_str());
    }
    // A refusal by the reader ends the reading with what was told before it, on both routes.
    const std::string refused = Read(Sheet(Row(1) + "<row r=\"boom\"/>" + Row(3)), {7}, true);
    EXPECT_NE(refused.find("fault: refused at"), std::string::npos) << refused;
    EXPECT_EQ(refused.find("S row 3 r=[3]"), std::string::npos) << refused;
}

TEST(XmlStream, TooDeepAndTooLargeElementsAreRefusedAsBefore)
{
    std::string deep;
    for (int i = 0; i < kMaxXmlDepth; ++i) deep += "<d>";
    for (int i = 0; i < kMaxXmlDepth; ++i) deep += "</d>";
    ExpectAlike(Sheet("<row>" + deep + "</row>"), {{1}, {4096}}, "deep");
    EXPECT_NE(Read(Sheet("<row>" + deep + "</row>"), {4096}, true).find("nested deeper than 256 levels"), std::string::npos);
    // One row whose tree would pass the limit, of plain markup.
    std::string huge = "<row>";
    while (huge.size() < 60u * 1024 * 1024) huge += "<c/><c/><c/><c/><c/><c/><c/><c/><c/><c/>";
    const std::string told = Read(Sheet(huge + "</row>"), {256 * 1024}, true);
    EXPECT_NE(told.find("has an element too large to read"), std::string::npos) << told.substr(0, 200);
    EXPECT_EQ(told.find("S c"), std::string::npos);
}

} // namespace
} // namespace gridvane::xlsx
