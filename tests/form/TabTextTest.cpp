#include "form/TabText.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>

#include "base/Utf.h"
#include "tests/support/TestFolder.h"

namespace gridvane {
namespace {

namespace fs = std::filesystem;
using Rows = std::vector<std::vector<std::u16string>>;

TEST(TabText, ParsesWhatSpreadsheetsPutOnTheClipboard)
{
    const struct {
        const char* name;
        std::u16string text;
        Rows rows;
    } cases[] = {
        {"nothing", u"", {}},
        {"one cell, no row end", u"a", {{u"a"}}},
        {"one cell and its row end", u"a\r\n", {{u"a"}}},
        {"rows ended by LF, CR LF, CR", u"a\tb\nc\td\r\ne\rf", {{u"a", u"b"}, {u"c", u"d"}, {u"e"}, {u"f"}}},
        {"empty cells", u"\tb\t\r\n\t\r\n", {{u"", u"b", u""}, {u"", u""}}},
        {"an empty row in the middle", u"a\r\n\r\nb\r\n", {{u"a"}, {u""}, {u"b"}}},
        {"a quoted cell with a line break, a tab and quotes", u"\"x\ny\tz \"\"q\"\"\"\tw\r\n",
         {{u"x\ny\tz \"q\"", u"w"}}},
        {"a quotation mark inside a cell is kept", u"5\" pipe\tok", {{u"5\" pipe", u"ok"}}},
        {"text after a closing quotation mark is kept", u"\"a\"b\tc", {{u"ab", u"c"}}},
        {"an unclosed quotation mark runs to the end", u"\"a\tb\r\nc", {{u"a\tb\r\nc"}}},
    };
    for (const auto& c : cases) EXPECT_EQ(ParseTabText(c.text), c.rows) << c.name;
}

// The text goes out as a spreadsheet reads it: Python's reader of the spreadsheet tab-separated dialect, an
// implementation independent of ours, gets every cell back, and so does ParseTabText.
TEST(TabText, ASpreadsheetsReaderGetsEveryCellBack)
{
    const Rows rows = {
        {u"品名", u"数", u""},
        {u"六角ボルト\nM8×20", u"12.5", u"tab\there"},
        {u"say \"hi\"", u"\"", u"a\r\nb"},
        {u"", u"", u"end"},
    };
    const std::u16string text = FormatTabText(rows);
    EXPECT_EQ(text.substr(0, 7), u"品名\t数\t\r\n");
    EXPECT_EQ(ParseTabText(text), rows);
#ifdef _WIN32
    GTEST_SKIP() << "the reader runs on the build machine";
#else
    const fs::path dir = TestFolder("form/tabtext");
    std::ofstream(dir / "clip.txt", std::ios::binary) << ToUtf8(text);
    std::ofstream(dir / "read.py") << "import csv, json, sys\n"
                                      "with open(sys.argv[1], newline='', encoding='utf-8') as f:\n"
                                      "    rows = list(csv.reader(f, dialect='excel-tab'))\n"
                                      "with open(sys.argv[2], 'w', encoding='utf-8') as out:\n"
                                      "    for row in rows:\n"
                                      "        out.write(json.dumps(row, ensure_ascii=True) + '\\n')\n";
    const std::string command = std::string(GRIDVANE_PYTHON) + " " + (dir / "read.py").string() + " " +
                                (dir / "clip.txt").string() + " " + (dir / "rows.txt").string();
    ASSERT_EQ(std::system(command.c_str()), 0);
    std::ifstream in(dir / "rows.txt");
    std::string line;
    std::vector<std::string> read;
    while (std::getline(in, line)) read.push_back(line);
    ASSERT_EQ(read.size(), rows.size());
    EXPECT_EQ(read[1], R"(["\u516d\u89d2\u30dc\u30eb\u30c8\nM8\u00d720", "12.5", "tab\there"])");
    EXPECT_EQ(read[2], R"(["say \"hi\"", "\"", "a\r\nb"])");
    EXPECT_EQ(read[3], R"(["", "", "end"])");
#endif
}

} // namespace
} // namespace gridvane
