// The rows of a sheet and the texts of its shared strings are told straight from their markup when it is
// plain, and from a parsed tree otherwise: both routes must tell the same events, and the plain route must
// leave to the tree everything it does not take, untouched, so that faults are named as the tree names them.
#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "xlsx/XlsxXmlPiece.h"

namespace gridvane::xlsx {
namespace {

// The events as lines: "S name depth a=v ..." "E name depth" "T text depth".
class Log : public XmlEvents {
public:
    std::string lines;

    void Start(std::string_view name, const XmlAttrs& attrs, int depth) override
    {
        lines += "S " + std::string(name) + " " + std::to_string(depth);
        // Every attribute by its name, as readers ask for them (the first of a name answers).
        for (const char* n : {"r", "s", "t", "x", "b", "c", "xml:space", "missing"}) {
            if (const XmlAttr a = attrs[n]) lines += std::string(" ") + a.name() + "=[" + a.value() + "]";
        }
        lines += "\n";
    }
    void End(std::string_view name, int depth) override { lines += "E " + std::string(name) + " " + std::to_string(depth) + "\n"; }
    void Text(std::string_view text, int depth) override { lines += "T [" + std::string(text) + "] " + std::to_string(depth) + "\n"; }
};

// The tree's events, or its fault.
std::string AsTree(std::string piece)
{
    Log log;
    PieceFault fault;
    if (!TellPieceAsTree(piece.data(), piece.size(), log, fault)) return "fault: " + fault.reason + " at " + std::to_string(fault.offset);
    return log.lines;
}

// The plain route's events; "left" when it leaves the piece to the tree (having told and changed nothing).
std::string Plainly(PlainPieceReader& reader, const std::string& piece)
{
    std::string bytes = piece;
    Log log;
    if (reader.Tell(bytes.data(), bytes.size(), log)) return log.lines;
    EXPECT_EQ(log.lines, "") << piece;
    EXPECT_EQ(bytes, piece);
    return "left";
}

TEST(XmlPiece, PlainMarkupIsToldAsTheTreeTellsIt)
{
    const char* const plain[] = {
        "<row r=\"1\"><c r=\"A1\" s=\"2\" t=\"n\"><v>1.5</v></c><c r=\"B1\"/></row>",
        // The predefined entities and character references, in texts and values; non-ASCII bytes pass.
        "<c r=\"A1\" t=\"inlineStr\"><is><t>&#37096;&#21697;1 &lt;&gt;&amp;&quot;&apos; &#x2603;&#x1F600;&#x41;</t></is></c>",
        "<c r=\"&#65;1\" t='s' x=\"a &amp; b &lt;c&gt; &#xe9;\"><v>0</v></c>",
        "<c x=\"it's\" b='say \"hi\"'><v>a > b ]]> c</v></c>",
        "<si><t xml:space=\"preserve\">  </t></si><si><r><rPr><sz val=\"11\"/></rPr><t>caf\xc3\xa9 \xe9\x83\xa8</t></r></si>",
        // Spaces around '=' and before the end of a tag; spaces and lines between the elements, not told.
        "<c  r = \"A1\"\n\ts=\"1\" ><v>2</v ></c>\n  <c r=\"B1\" />",
        "<c><v></v></c><c><is><t>x</t><t>y</t></is></c>",
        // Bytes that are not UTF-8 pass as they are.
        "<c><v>\xff\xfe\x80</v></c>",
        "<a.b-c_d:e x=\"1\"><f9/></a.b-c_d:e>",
    };
    PlainPieceReader reader;
    for (const char* piece : plain) {
        const std::string told = Plainly(reader, piece);
        EXPECT_EQ(told, told == "left" ? "the plain route" : AsTree(piece)) << piece;
    }
}

TEST(XmlPiece, AnythingElseIsLeftToTheTreeUntouched)
{
    const char* const others[] = {
        // Markup of other kinds.
        "<c><v><!-- x -->1</v></c>", "<c><v><![CDATA[1]]></v></c>", "<c><?pi x?><v>1</v></c>", "<!DOCTYPE x><c/>",
        // References the plain route does not decode.
        "<c><v>&nbsp;</v></c>", "<c><v>&amp</v></c>", "<c><v>&#0;</v></c>", "<c><v>&#xD800;</v></c>",
        "<c><v>&#x110000;</v></c>", "<c><v>&#12345678;</v></c>", "<c><v>&#x;</v></c>", "<c x=\"&bogus;\"/>", "<c><v>& </v></c>",
        // Line ends and spaces the tree normalises.
        "<c><v>1\r\n</v></c>", "<c x=\"a\tb\"/>", "<c x=\"a\nb\"/>", "<c x=\"a\rb\"/>",
        // Markup that is not well-formed, and odd names.
        "<c><v>1</x></c>", "<c><v>1</v>", "<c>1</c></d>", "<c x=1/>", "<c x=\"1\"y=\"2\"/>", "<c x=\"1/>", "<c x=\"a<b\"/>",
        "< c/>", "<c / >", "<1c/>", "<c\xc3\xa9/>", "<c x/>", "<c", "<c><v>&#X41;</v></c>",
    };
    PlainPieceReader reader;
    for (const char* piece : others) EXPECT_EQ(Plainly(reader, piece), "left") << piece;
    // A NUL byte inside a text.
    EXPECT_EQ(Plainly(reader, std::string("<c><v>1\0</v></c>", 16)), "left");
    // A long plain run with escaped texts and values, spoilt only at its very end: nothing of it is told.
    std::string run;
    for (int i = 0; i < 2000; ++i) run += "<c r=\"A" + std::to_string(i) + "\" x=\"&lt;\"><v>&amp;" + std::to_string(i) + "</v></c>";
    EXPECT_EQ(Plainly(reader, run + "<c><v>&nbsp;</v></c>"), "left");
    EXPECT_EQ(Plainly(reader, run + "</row>"), "left");
    // The same reader then tells the run alone, with none of what it had found in the spoilt one.
    EXPECT_EQ(Plainly(reader, run), AsTree(run));
}

// Pieces put together from fragments at random, plain and odd: whatever the plain route tells, the tree
// tells the same; what it leaves, the tree tells or refuses.
TEST(XmlPiece, RandomPiecesAreToldAlikeByBothRoutes)
{
    const char* const fragments[] = {
        "<c r=\"A1\">", "<c t='s'>", "<v>", "</v>", "</c>", "<c/>", "<is>", "</is>", "<t xml:space=\"preserve\">", "</t>",
        "1.5", " ", "\n", "&amp;", "&lt;", "&#37096;", "&#x41;", "&#xZ;", "&foo;", "&", "\r", "\t", ">", "\"", "'",
        "<!--c-->", "<![CDATA[x]]>", "<?p?>", "\xe9\x83\xa8", "<c x=\"a&gt;b\"/>", "<b s = '1' />", "</b>", "<b>", "=", "<",
    };
    std::mt19937 random(23);
    PlainPieceReader reader;
    int plain = 0, left = 0;
    for (int i = 0; i < 20000; ++i) {
        std::string piece;
        const int n = 1 + static_cast<int>(random() % 12);
        for (int j = 0; j < n; ++j) piece += fragments[random() % std::size(fragments)];
        const std::string told = Plainly(reader, piece);
        if (told == "left") {
            ++left;
            continue;
        }
        ++plain;
        ASSERT_EQ(told, AsTree(piece)) << piece;
    }
    // Both routes were taken, many times.
    EXPECT_GT(plain, 1000);
    EXPECT_GT(left, 1000);
}

} // namespace
} // namespace gridvane::xlsx
