// Runs the built gridvane-convert as a process on table files written here, and reads its drawings back
// with a real DXF reader.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>

#include <filesystem>
#include <fstream>
#include <map>
#include <random>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "layout/TableLayout.h"
#include "model/TableFile.h"

extern char** environ;

namespace gridvane {
namespace {

namespace fs = std::filesystem;
using ::testing::HasSubstr;
using ::testing::Not;

struct Result {
    int exitCode = -1;
    std::string out;
    std::string err;
};

std::string ReadAll(const fs::path& path)
{
    std::ifstream in(path, std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

void WriteAll(const fs::path& path, const std::string& bytes)
{
    std::ofstream(path, std::ios::binary) << bytes;
}

// Runs program with args, standard output and error caught in files of dir; env entries are added to
// (and override) this process's environment.
Result Spawn(const fs::path& dir, const std::string& program, const std::vector<std::string>& args,
             const std::vector<std::string>& env = {})
{
    const fs::path outPath = dir / "stdout.txt";
    const fs::path errPath = dir / "stderr.txt";
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, outPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    posix_spawn_file_actions_addopen(&actions, 2, errPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);

    std::vector<std::string> argStore{program};
    argStore.insert(argStore.end(), args.begin(), args.end());
    std::vector<char*> argv;
    for (std::string& a : argStore)
        argv.push_back(a.data());
    argv.push_back(nullptr);

    std::vector<std::string> envStore = env;
    for (char** e = environ; *e != nullptr; ++e) {
        const std::string entry = *e;
        const std::string key = entry.substr(0, entry.find('=') + 1);
        bool overridden = false;
        for (const std::string& mine : env)
            overridden = overridden || mine.starts_with(key);
        if (!overridden)
            envStore.push_back(entry);
    }
    std::vector<char*> envp;
    for (std::string& e : envStore)
        envp.push_back(e.data());
    envp.push_back(nullptr);

    Result r;
    pid_t pid = 0;
    const int rc = posix_spawn(&pid, program.c_str(), &actions, nullptr, argv.data(), envp.data());
    posix_spawn_file_actions_destroy(&actions);
    if (rc != 0)
        return r;
    int status = 0;
    waitpid(pid, &status, 0);
    r.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    r.out = ReadAll(outPath);
    r.err = ReadAll(errPath);
    return r;
}

// A table file written by hand: each cell is the inside of a JSON object.
std::string TableJson(int rows, int cols, const std::vector<std::string>& cells, const std::string& extra = "")
{
    std::string json = R"({"format": "gridvane-table", "version": 1, "cols": )" + std::to_string(cols) +
                       R"(, "rows": )" + std::to_string(rows) + R"(, "cells": [)";
    for (std::size_t i = 0; i < cells.size(); ++i)
        json += (i ? ", {" : "{") + cells[i] + "}";
    return json + "]" + extra + "}";
}

// Two rows of three cells 10 wide and 20 high: a merged heading over two columns, a diagonal, a
// two-line text, a right-aligned number, every edge bordered.
std::string SmallTable()
{
    const std::string base = R"("rowH": 20, "colW": 10, "txtSize": 10, "lineBits": 15)";
    const std::string merged = R"(, "cellMerge": true, "mergerowYscount": 1, "mergecolXscount": 2, "mergeLeft": 0)";
    return TableJson(2, 3,
                     {base + merged + R"(, "str": "部品表", "txtAlign": 2)", base + merged,
                      R"("rowH": 20, "colW": 10, "txtSize": 10, "lineBits": 31, "str": "数量")",
                      base + R"(, "str": "ボルト")", base + R"(, "str": "M12\n×40")",
                      base + R"(, "str": "8", "txtAlign": 3)"});
}

class Convert : public ::testing::Test {
protected:
    fs::path dir_ = fs::temp_directory_path() / ("gridvane-convert-" + std::to_string(std::random_device{}()));

    void SetUp() override { fs::create_directories(dir_); }
    void TearDown() override { fs::remove_all(dir_); }

    Result Run(const std::vector<std::string>& args, const std::vector<std::string>& env = {})
    {
        return Spawn(dir_, GRIDVANE_CONVERT, args, env);
    }
    // The files of the test's folder but the converter's standard output and error.
    std::set<fs::path> Entries() const
    {
        std::set<fs::path> names;
        for (const auto& e : fs::directory_iterator(dir_))
            if (e.path().filename() != "stdout.txt" && e.path().filename() != "stderr.txt")
                names.insert(e.path().filename());
        return names;
    }
    fs::path Write(const std::string& name, const std::string& bytes)
    {
        WriteAll(dir_ / name, bytes);
        return dir_ / name;
    }

    // The drawing read by ezdxf: "layer TYPE" -> count, "audit errors" -> count, "text" -> texts joined by |.
    std::map<std::string, std::string> ReadWithEzdxf(const fs::path& dxf)
    {
        const fs::path script = dir_ / "read.py";
        WriteAll(script, R"(import sys, ezdxf, collections
doc = ezdxf.readfile(sys.argv[1], encoding="cp932")
auditor = doc.audit()
counts = collections.Counter(f"{e.dxf.layer} {e.dxftype()}" for e in doc.modelspace())
out = {k: str(v) for k, v in counts.items()}
out["audit errors"] = str(len(auditor.errors))
out["text"] = "|".join(e.dxf.text for e in doc.modelspace().query("TEXT"))
out["layers"] = ",".join(sorted(l.dxf.name for l in doc.layers if l.dxf.name != "Defpoints"))
sys.stdout.buffer.write("\n".join(f"{k}={v}" for k, v in sorted(out.items())).encode("utf-8"))
)");
        const Result r = Spawn(dir_, GRIDVANE_PYTHON, {script.string(), dxf.string()});
        EXPECT_EQ(r.exitCode, 0) << r.err;
        std::map<std::string, std::string> values;
        std::istringstream in(r.out);
        for (std::string line; std::getline(in, line);)
            values[line.substr(0, line.find('='))] = line.substr(line.find('=') + 1);
        return values;
    }

    // The bytes the window writes for this table file and these settings.
    std::string Reference(const fs::path& table, double x, double y, double t, const LayoutOptions& options)
    {
        TableFileContents contents = ReadTableFile(table);
        CalcDrawSize(contents.table, x, y, t);
        const fs::path path = dir_ / "reference.dxf";
        SaveDxfLineList(LayoutTable(contents.table, contents.texts, options), path);
        return ReadAll(path);
    }
};

TEST_F(Convert, WritesADrawingThatADxfReaderOpens)
{
    const fs::path input = Write("部品.table.json", SmallTable());
    const Result r = Run({input.string()});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    const fs::path output = dir_ / "部品.table.dxf"; // the default: INPUT with the extension .dxf
    ASSERT_TRUE(fs::exists(output));
    EXPECT_THAT(r.out, HasSubstr("Wrote " + output.string()));
    EXPECT_EQ(r.err, "");

    const auto drawing = ReadWithEzdxf(output);
    EXPECT_EQ(drawing.at("audit errors"), "0");
    EXPECT_EQ(drawing.at("layers"), "0,XLSBordLine,XLSCellLine,XLSCellText");
    EXPECT_EQ(drawing.at("XLSCellLine LINE"), "7");     // grid lines around the merged heading
    EXPECT_EQ(drawing.at("XLSCellLine POLYLINE"), "1"); // the heading's outline
    EXPECT_EQ(drawing.at("XLSBordLine LINE"), "8");     // 4 vertical, 3 horizontal after joining, 1 diagonal
    EXPECT_EQ(drawing.at("XLSCellText TEXT"), "6");
    EXPECT_EQ(drawing.at("text"), "部品表|数量|ボルト|M12|×40|8");
}

TEST_F(Convert, WritesExactlyTheWindowsBytes)
{
    const fs::path input = Write("t.json", SmallTable());
    const fs::path output = dir_ / "out.dxf";
    ASSERT_EQ(Run({"-o", output.string(), input.string()}).exitCode, 0);
    EXPECT_EQ(ReadAll(output), Reference(input, 3, 0.43, 0.27, {true, 0.8}));

    ASSERT_EQ(Run({"--no-cell-lines", "--output=" + output.string(), input.string()}).exitCode, 0);
    const std::string noLines = ReadAll(output);
    EXPECT_EQ(noLines, Reference(input, 3, 0.43, 0.27, {false, 0.8}));
    EXPECT_EQ(noLines.find("XLSCellLine\r\n  6"), std::string::npos); // no entity on that layer

    // "texts" are the grid texts the drawing uses; "str" is then only the imported text.
    const fs::path edited = Write("e.json", TableJson(1, 1, {R"("rowH": 20, "colW": 10, "txtSize": 10, "str": "旧")"},
                                                      R"(, "texts": ["新"])"));
    ASSERT_EQ(Run({"-o", output.string(), edited.string()}).exitCode, 0);
    const auto drawing = ReadWithEzdxf(output);
    EXPECT_EQ(drawing.at("text"), "新");
}

TEST_F(Convert, SamplePartsListConverts)
{
    const fs::path output = dir_ / "parts-list.dxf";
    const fs::path sample = fs::path(GRIDVANE_SOURCE_DIR) / "samples/parts-list.table.json";
    const Result r = Run({"-o", output.string(), sample.string()});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(ReadAll(output), Reference(sample, 3, 0.43, 0.27, {true, 0.8}));
    const auto drawing = ReadWithEzdxf(output);
    EXPECT_EQ(drawing.at("audit errors"), "0");
    EXPECT_THAT(drawing.at("text"), HasSubstr("メカニカルシール"));
    EXPECT_THAT(drawing.at("text"), HasSubstr("φ35 × 420㎜"));
}

#ifndef _WIN32
TEST_F(Convert, ImportsTheSampleWorkbookAsTheWindowDoes)
{
    const fs::path sample = fs::path(GRIDVANE_SOURCE_DIR) / "samples/parts-list.xlsx";
    const fs::path output = dir_ / "book.dxf";
    const fs::path dump = dir_ / "book.json";
    const Result r = Run({"-o", output.string(), "--dump-model", dump.string(), sample.string()});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    EXPECT_THAT(r.out, HasSubstr("8 rows x 6 columns"));
    const auto drawing = ReadWithEzdxf(output);
    EXPECT_EQ(drawing.at("audit errors"), "0");
    EXPECT_THAT(drawing.at("text"), HasSubstr("六角ボルト|M8×20"));
    EXPECT_THAT(drawing.at("text"), HasSubstr("12.50"));
    EXPECT_THAT(drawing.at("text"), HasSubstr("2024年4月1日"));
    EXPECT_THAT(drawing.at("text"), HasSubstr("1,850.00"));
    // The total formatted with the yen sign: 0x5C in code page 932, which Japanese CAD fonts draw as ¥.
    EXPECT_THAT(ReadAll(output), HasSubstr("\r\n  1\r\n\\16,268\r\n"));
    // The table it imported, drawn again from its dump, gives the same bytes.
    const fs::path again = dir_ / "again.dxf";
    ASSERT_EQ(Run({"-o", again.string(), dump.string()}).exitCode, 0);
    EXPECT_EQ(ReadAll(again), ReadAll(output));

    const fs::path part = dir_ / "part.dxf";
    ASSERT_EQ(Run({"--range", "C3:D4", "-o", part.string(), sample.string()}).exitCode, 0);
    EXPECT_EQ(ReadWithEzdxf(part).at("text"), "六角ボルト|M8×20|SS400|平座金|SUS304");

    struct Case {
        std::vector<std::string> args;
        const char* message;
    };
    const Case cases[] = {
        {{"--sheet", "無い", sample.string()}, "there is no sheet named \"無い\""},
        {{"--range", "B2:", sample.string()}, "is not a range"},
        {{(dir_ / "none.xlsx").string()}, "does not exist"},
        {{"--range", "A1:XFD1048576", sample.string()}, "the selection is too large (1048576 rows x 16384 columns"},
    };
    for (const Case& c : cases) {
        const Result bad = Run(c.args);
        EXPECT_EQ(bad.exitCode, 1) << c.message;
        EXPECT_THAT(bad.err, HasSubstr(c.message));
    }
}

// Workbooks as they arrive from anywhere: each ends with a message naming the problem and exit 1, and the
// drawing already on disk is left as it was.
TEST_F(Convert, HostileWorkbooksEndWithAMessageAndKeepTheOldDrawing)
{
    const fs::path sample = fs::path(GRIDVANE_SOURCE_DIR) / "samples/parts-list.xlsx";
    const fs::path script = Write("hostile.py", R"(import sys, zipfile, os
src, out = sys.argv[1], sys.argv[2]
with zipfile.ZipFile(src) as z:
    parts = {n: z.read(n) for n in z.namelist()}
sheet = [n for n in parts if n.startswith('xl/worksheets/sheet')][0]
def write(name, changes, method=zipfile.ZIP_DEFLATED):
    with zipfile.ZipFile(os.path.join(out, name + '.xlsx'), 'w', method) as z:
        for n, d in parts.items():
            z.writestr(n, changes.get(n, d))
        for n, d in changes.items():
            if n not in parts: z.writestr(n, d)
def sheet_with(body):
    return ('<?xml version="1.0"?><worksheet xmlns="http://schemas.openxmlformats.org/spreadsheetml/2006/main">'
            + body + '</worksheet>').encode()
write('zip-bomb', {sheet: sheet_with('<sheetData/>') + b' ' * (64 * 1024 * 1024)})
with open(src, 'rb') as f: data = f.read()
with open(os.path.join(out, 'truncated.xlsx'), 'wb') as f: f.write(data[:len(data) * 2 // 3])
write('broken-xml', {sheet: parts[sheet][:len(parts[sheet]) // 2]})
write('absurd-dimensions', {sheet: sheet_with('<sheetViews><sheetView><selection sqref="A1:XFD1048576"/></sheetView></sheetViews><sheetData/>')})
write('bad-row', {sheet: sheet_with('<sheetData><row r="99999999"><c r="A99999999"><v>1</v></c></row></sheetData>')})
write('style-out-of-range', {sheet: sheet_with('<sheetData><row r="1"><c r="A1" s="99999"><v>1</v></c></row></sheetData>')})
write('style-negative', {sheet: sheet_with('<sheetData><row r="1"><c r="B1" s="-1"><v>1</v></c></row></sheetData>')})
write('shared-negative', {sheet: sheet_with('<sheetData><row r="1"><c r="A1" t="s"><v>-1</v></c></row></sheetData>')})
write('doctype', {sheet: b'<?xml version="1.0"?><!DOCTYPE worksheet [<!ENTITY x SYSTEM "file:///etc/passwd">]>'
                  + sheet_with('<sheetData><row r="1"><c r="A1" t="str"><v>&x;</v></c></row></sheetData>')})
write('col-beyond', {sheet: sheet_with('<cols><col min="1" max="20000" width="3"/></cols><sheetData/>')})
write('error-cell', {sheet: sheet_with('<sheetViews><sheetView><selection sqref="B37:C38"/></sheetView></sheetViews>'
                     '<sheetData><row r="38"><c r="C38" t="e"><v>#N/A</v></c></row></sheetData>')})
write('number-tail', {sheet: sheet_with('<sheetData><row r="1"><c r="C1"><v>12abc</v></c></row></sheetData>')})
write('merge-bomb', {sheet: sheet_with('<sheetData/><mergeCells>' + ''.join(
    '<mergeCell ref="A%d:XFD%d"/>' % (r, r) for r in range(1, 3000)) + '</mergeCells>')})
)");
    ASSERT_EQ(Spawn(dir_, GRIDVANE_PYTHON, {script.string(), sample.string(), dir_.string()}).exitCode, 0);
    const struct {
        const char* name;
        const char* message;
    } cases[] = {
        {"zip-bomb", "200:1"},
        {"truncated", "truncated.xlsx"},
        {"broken-xml", "xl/worksheets/sheet"},
        {"absurd-dimensions", "the selection is too large"},
        {"bad-row", "invalid number \"99999999\""},
        {"style-out-of-range", "cell A1 refers to the cell format 99999"},
        {"merge-bomb", "more merged cells than can be read"},
        {"style-negative", "cell B1 refers to the cell format -1, which the workbook does not define"},
        {"shared-negative", "cell A1 refers to the shared string -1"},
        {"doctype", "has a document type declaration"},
        {"col-beyond", "the column element 1 spans the columns 1 to 20000"},
        {"number-tail", "cell C1 has an invalid number \"12abc\""},
        {"error-cell", "error-cell.xlsx: C38: error value #N/A"},
    };
    for (const auto& c : cases) {
        const fs::path output = Write("old.dxf", "the drawing of yesterday");
        const Result r = Run({"-o", output.string(), (dir_ / (std::string(c.name) + ".xlsx")).string()});
        EXPECT_EQ(r.exitCode, 1) << c.name << ": " << r.err;
        EXPECT_THAT(r.err, HasSubstr(c.message)) << c.name;
        EXPECT_TRUE(ReadAll(output) == "the drawing of yesterday") << c.name;
        EXPECT_THAT(r.err, HasSubstr(std::string(c.name) + ".xlsx")) << c.name;
    }
    // A range with one corner cut short names no area.
    for (const char* range : {"B2:D", "B2:5"}) {
        const fs::path output = Write("old.dxf", "the drawing of yesterday");
        const Result r = Run({"--range", range, "-o", output.string(), sample.string()});
        EXPECT_EQ(r.exitCode, 1) << range;
        EXPECT_THAT(r.err, HasSubstr("\"" + std::string(range) + "\" is not a range")) << range;
        EXPECT_EQ(ReadAll(output), "the drawing of yesterday") << range;
    }
}
#endif

// Table files the JSON library cannot take, or larger than any import: a message naming the place, exit 1,
// and the drawing and the dump already on disk left as they were.
TEST_F(Convert, HostileTableFilesEndWithAMessageAndKeepTheOldOutputs)
{
    std::string many = R"({"format": "gridvane-table", "version": 1, "cols": 1, "rows": 1000001, "cells": [{})";
    for (int i = 0; i < 1000000; ++i)
        many += ",{}";
    many += "]}";
    const struct {
        const char* name;
        std::string content;
        const char* message;
    } cases[] = {
        {"overflow", TableJson(1, 1, {R"("rowH": 1e999)"}), "cells[0].rowH: the number is too large"},
        {"too many", many, "cells: more than 1000000 cells"},
    };
    for (const auto& c : cases) {
        const fs::path input = Write("in.json", c.content);
        const fs::path output = Write("old.dxf", "the drawing of yesterday");
        const fs::path dump = Write("old.json", "the dump of yesterday");
        const Result r = Run({"-o", output.string(), "--dump-model", dump.string(), input.string()});
        EXPECT_EQ(r.exitCode, 1) << c.name;
        EXPECT_THAT(r.err, HasSubstr(input.string() + ": " + c.message)) << c.name;
        EXPECT_THAT(r.err, Not(HasSubstr("json.exception"))) << c.name;
        EXPECT_EQ(ReadAll(output), "the drawing of yesterday") << c.name;
        EXPECT_EQ(ReadAll(dump), "the dump of yesterday") << c.name;
    }
}

// The drawing and the model dump replace their files together or not at all: when either cannot be
// written, both old files stay as they were and no temporary file is left beside them.
TEST_F(Convert, DrawingAndDumpArePutInPlaceOnlyTogether)
{
    const fs::path input = Write("t.json", SmallTable());
    const fs::path missing = dir_ / "no-such-folder";
    const struct {
        const char* name;
        fs::path drawing, dump;
        const char* message;
    } cases[] = {
        {"dump cannot be written", dir_ / "old.dxf", missing / "m.json", "m.json: cannot write the file"},
        {"drawing cannot be written", missing / "x.dxf", dir_ / "old.json", "を作成できません"},
        {"dump is a folder", dir_ / "old.dxf", dir_ / "folder", "folder: cannot write the file"},
    };
    for (const auto& c : cases) {
        Write("old.dxf", "the drawing of yesterday");
        Write("old.json", "the dump of yesterday");
        fs::create_directories(dir_ / "folder");
        const std::set<fs::path> entries = Entries();
        const Result r = Run({"-o", c.drawing.string(), "--dump-model", c.dump.string(), input.string()});
        EXPECT_EQ(r.exitCode, 1) << c.name;
        EXPECT_THAT(r.err, HasSubstr(c.message)) << c.name;
        EXPECT_EQ(ReadAll(dir_ / "old.dxf"), "the drawing of yesterday") << c.name;
        EXPECT_EQ(ReadAll(dir_ / "old.json"), "the dump of yesterday") << c.name;
        EXPECT_EQ(Entries(), entries) << c.name;
    }
    // Both writable: both replaced.
    const Result ok = Run({"-o", (dir_ / "old.dxf").string(), "--dump-model", (dir_ / "old.json").string(), input.string()});
    ASSERT_EQ(ok.exitCode, 0) << ok.err;
    EXPECT_EQ(ReadAll(dir_ / "old.dxf"), Reference(input, 3, 0.43, 0.27, {true, 0.8}));
    EXPECT_THAT(ReadAll(dir_ / "old.json"), HasSubstr("\"format\": \"gridvane-table\""));
}

// The summary after "Wrote": the entities of each kind per layer, as a DXF reader counts them in the file.
TEST_F(Convert, TheSummaryCountsWhatTheFileHolds)
{
    const fs::path output = dir_ / "parts-list.dxf";
    for (const bool cellLines : {true, false}) {
        std::vector<std::string> args = {"-o", output.string(), (fs::path(GRIDVANE_SOURCE_DIR) / "samples/parts-list.table.json").string()};
        if (!cellLines) args.insert(args.begin(), "--no-cell-lines");
        const Result r = Run(args);
        ASSERT_EQ(r.exitCode, 0) << r.err;
        std::map<std::string, std::string> byLayer; // layer -> " n KIND n KIND", kinds in name order
        for (const auto& [key, count] : ReadWithEzdxf(output)) {
            const std::string kind = key.substr(key.find(' ') + 1);
            if (kind == "LINE" || kind == "POLYLINE" || kind == "TEXT") byLayer[key.substr(0, key.find(' '))] += " " + count + " " + kind;
        }
        std::string expected;
        for (const auto& [layer, kinds] : byLayer) expected += (expected.empty() ? "" : "; ") + layer + ":" + kinds;
        ASSERT_THAT(expected, HasSubstr("XLSCellText:"));
        EXPECT_EQ(cellLines, expected.find("XLSCellLine") != std::string::npos);
        EXPECT_THAT(r.out, HasSubstr("\n  " + expected + "\n")) << r.out;
    }
}

// The drawing goes to a file beside its target while it is made: a failure on the way (the file system
// taking no more bytes, a text far down the table whose place overflows) ends with its message and exit 1,
// the old drawing and the old dump stay, and no other file is left.
TEST_F(Convert, AFailureWhileTheDrawingIsWrittenLeavesNoFile)
{
    // 80 x 40 cells, each with a text: about 700 kB of drawing, written in several pieces.
    std::vector<std::string> cells;
    for (int i = 0; i < 80 * 40; ++i) {
        const std::string text = i == 80 * 40 - 1 ? "1\\n2\\n3\\n4\\n5" : "部品" + std::to_string(i);
        cells.push_back(R"("rowH": 20, "colW": 10, "txtSize": 10, "lineBits": 15, "str": ")" + text + "\"");
    }
    const fs::path input = Write("big.json", TableJson(80, 40, cells));
    const fs::path output = dir_ / "old.dxf", dump = dir_ / "old.json";
    const std::string convert = GRIDVANE_CONVERT;
    // Text heights near the largest real number: five lines of the last text stand above the double's range.
    const fs::path huge = Write("huge.ini", "[PlotraTlsx]\r\ncadTsc=1" + std::string(307, '0') + "\r\n");
    const struct {
        const char* name;
        std::string program;
        std::vector<std::string> args;
        const char* message;
    } cases[] = {
        {"file size limit", "/bin/sh",
         {"-c", "trap '' XFSZ; ulimit -f 200 && exec \"$0\" \"$@\"", convert, "-o", output.string(), "--dump-model",
          dump.string(), input.string()},
         "を作成できません"},
        {"late overflow", convert,
         {"--settings", huge.string(), "-o", output.string(), "--dump-model", dump.string(), input.string()},
         "the table cannot be drawn: a drawing coordinate or size is not a finite number"},
    };
    for (const auto& c : cases) {
        Write("old.dxf", "the drawing of yesterday");
        Write("old.json", "the dump of yesterday");
        const std::set<fs::path> entries = Entries();
        const Result r = Spawn(dir_, c.program, c.args);
        EXPECT_EQ(r.exitCode, 1) << c.name << ": " << r.err;
        EXPECT_THAT(r.err, HasSubstr(c.message)) << c.name;
        EXPECT_EQ(ReadAll(output), "the drawing of yesterday") << c.name;
        EXPECT_EQ(ReadAll(dump), "the dump of yesterday") << c.name;
        EXPECT_EQ(Entries(), entries) << c.name;
    }
    // Without those limits the same table is drawn, as the window draws it.
    const Result ok = Run({"-o", output.string(), input.string()});
    ASSERT_EQ(ok.exitCode, 0) << ok.err;
    EXPECT_GT(fs::file_size(output), std::uintmax_t{600000});
    EXPECT_EQ(ReadAll(output), Reference(input, 3, 0.43, 0.27, {true, 0.8}));
}

TEST_F(Convert, RefusesBadInputAndWritesNothing)
{
    const std::string cell = R"("rowH": 20, "colW": 10)";
    const struct {
        const char* name;
        std::string content;
        std::string message;
    } cases[] = {
        {"not JSON", "format: gridvane-table", "not a JSON document"},
        {"wrong format", R"({"format": "x", "version": 1, "cols": 1, "rows": 1, "cells": [{}]})", "\"format\" is \"x\""},
        {"wrong version", R"({"format": "gridvane-table", "version": 7, "cols": 1, "rows": 1, "cells": [{}]})",
         "version 7 is not supported"},
        {"cell count", TableJson(2, 2, {cell, cell, cell}), "\"cells\" holds 3 cells, but 2 rows x 2 columns need 4"},
        {"out of range", TableJson(1, 1, {R"("colW": 70000)"}), "\"colW\" is 70000, out of range"},
        {"negative count", TableJson(1, 1, {R"("mergecolXscount": -3)"}), "\"mergecolXscount\" is negative (-3)"},
        {"wrong type", TableJson(1, 1, {R"("cellMerge": "yes")"}), "\"cellMerge\" must be true or false"},
    };
    for (const auto& c : cases) {
        const fs::path input = Write("in.json", c.content);
        const fs::path output = dir_ / "out.dxf";
        const Result r = Run({"-o", output.string(), "--dump-model", (dir_ / "dump.json").string(), input.string()});
        EXPECT_EQ(r.exitCode, 1) << c.name;
        EXPECT_THAT(r.err, HasSubstr(input.string() + ": ")) << c.name;
        EXPECT_THAT(r.err, HasSubstr(c.message)) << c.name;
        EXPECT_FALSE(fs::exists(output)) << c.name;
        EXPECT_FALSE(fs::exists(dir_ / "dump.json")) << c.name;
    }
}

TEST_F(Convert, ReportsUsageErrorsAndFailures)
{
    const fs::path input = Write("in.json", SmallTable());
    const fs::path kept = Write("kept.dxf", "old drawing");
    const struct {
        std::vector<std::string> args;
        int exitCode;
        std::string message;
    } cases[] = {
        {{}, 2, "no INPUT given"},
        {{"--frobnicate", input.string()}, 2, "unknown option --frobnicate"},
        {{input.string(), "-o"}, 2, "option -o needs a value"},
        {{"--no-cell-lines=1", input.string()}, 2, "option --no-cell-lines takes no value"},
        {{input.string(), input.string()}, 2, "only one INPUT may be given"},
        {{"-o", kept.string(), (dir_ / "missing.json").string()}, 1, "missing.json: cannot read the file"},
        {{"-o", kept.string(), dir_.string()}, 1, "cannot read the file: it is a folder"},
        {{"-o", kept.string(), (dir_ / "book.xlsx").string()}, 1, "book.xlsx: "},
        {{"-o", input.string(), input.string()}, 1, "the drawing would overwrite the input"},
        {{"-o", kept.string(), "--dump-model", kept.string(), input.string()}, 1, "cannot be the same file"},
        {{"-o", (dir_ / "no-such-dir" / "x.dxf").string(), input.string()}, 1, "を作成できません"},
    };
    for (const auto& c : cases) {
        const Result r = Run(c.args);
        EXPECT_EQ(r.exitCode, c.exitCode) << c.message;
        EXPECT_THAT(r.err, HasSubstr(c.message));
        if (c.exitCode == 2) {
            EXPECT_THAT(r.err, HasSubstr("--help"));
        }
    }
    EXPECT_EQ(ReadAll(kept), "old drawing");
    EXPECT_EQ(ReadAll(input), SmallTable());
    EXPECT_FALSE(fs::exists(dir_ / "no-such-dir"));
    for (const auto& entry : fs::directory_iterator(dir_))
        EXPECT_EQ(entry.path().filename().string().find(".tmp"), std::string::npos) << entry.path();

    const Result help = Run({"--help"});
    EXPECT_EQ(help.exitCode, 0);
    EXPECT_THAT(help.out, HasSubstr("Usage: gridvane-convert [options] INPUT"));
    const Result version = Run({"--version"});
    EXPECT_EQ(version.exitCode, 0);
    EXPECT_THAT(version.out, HasSubstr("gridvane-convert "));
}

TEST_F(Convert, EmptyTableWritesNothing)
{
    for (const auto& [rows, cols] : {std::pair{0, 0}, {0, 5}, {3, 0}}) {
        const fs::path input = Write("empty.json", TableJson(rows, cols, {}));
        const Result r = Run({input.string()});
        EXPECT_EQ(r.exitCode, 0) << r.err;
        EXPECT_THAT(r.out, HasSubstr("the table is empty; no drawing written"));
        EXPECT_FALSE(fs::exists(dir_ / "empty.dxf"));
    }
}

TEST_F(Convert, DumpsTheModelAfterTheSizes)
{
    const fs::path input = Write("t.json", SmallTable());
    const Result r = Run({"-o", (dir_ / "t.dxf").string(), "--dump-model", "-", input.string()});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    EXPECT_THAT(r.err, HasSubstr("Wrote ")); // the summary leaves standard output to the model
    EXPECT_THAT(r.out, HasSubstr(R"("mergeW": 20)"));
    EXPECT_THAT(r.out, HasSubstr(R"("drawMW": 60.0)"));
    EXPECT_THAT(r.out, HasSubstr(R"("mergeBits": 11, "mark": true)"));
    // The dump is itself a table file.
    const fs::path dump = Write("dump.json", r.out);
    ASSERT_EQ(Run({"-o", (dir_ / "again.dxf").string(), dump.string()}).exitCode, 0);
    EXPECT_EQ(ReadAll(dir_ / "again.dxf"), ReadAll(dir_ / "t.dxf"));

    const Result toFile = Run({"--dump-model", (dir_ / "model.json").string(), input.string()});
    ASSERT_EQ(toFile.exitCode, 0) << toFile.err;
    EXPECT_EQ(ReadAll(dir_ / "model.json"), r.out);
}

TEST_F(Convert, TakesScaleFactorsAndCellLinesFromASettingsFile)
{
    const fs::path input = Write("t.json", SmallTable());
    const fs::path output = dir_ / "out.dxf";
    const fs::path ini = Write("Gridvane23.ini", "[Other]\r\ncadXsc=99\r\n[plotratlsx]\r\n cadXsc = 5 \r\n"
                                                 "cadYsc=0.5\r\ncadTsc=bad\r\ncadTof=0.25\r\ncellLineDraw=0\r\n");
    ASSERT_EQ(Run({"--settings", ini.string(), "-o", output.string(), input.string()}, {"LC_ALL=C"}).exitCode, 0);
    EXPECT_EQ(ReadAll(output), Reference(input, 5, 0.5, 0.27, {false, 0.25}));

    // --no-cell-lines wins over a settings file that draws them.
    const fs::path drawLines = Write("lines.ini", "[PlotraTlsx]\r\ncellLineDraw=1\r\n");
    ASSERT_EQ(Run({"--settings", drawLines.string(), "--no-cell-lines", "-o", output.string(), input.string()})
                  .exitCode,
              0);
    EXPECT_EQ(ReadAll(output), Reference(input, 3, 0.43, 0.27, {false, 0.8}));

    // A named file that is not there is an error; the old drawing stays.
    WriteAll(output, "old");
    const Result missing = Run({"--settings", (dir_ / "none.ini").string(), "-o", output.string(), input.string()});
    EXPECT_EQ(missing.exitCode, 1);
    EXPECT_THAT(missing.err, HasSubstr("none.ini: the settings file does not exist"));
    const Result folder = Run({"--settings", dir_.string(), "-o", output.string(), input.string()});
    EXPECT_EQ(folder.exitCode, 1);
    EXPECT_THAT(folder.err, HasSubstr("cannot read the settings file"));

    // Scale factors too large for any real number: refused, nothing written.
    const fs::path absurd = Write("absurd.ini", "[PlotraTlsx]\r\ncadXsc=1" + std::string(308, '0') + "\r\n");
    const Result r = Run({"--settings", absurd.string(), "-o", output.string(), input.string()});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_THAT(r.err, HasSubstr("the table cannot be drawn"));
    EXPECT_EQ(ReadAll(output), "old");
}

TEST_F(Convert, ReadsSettingsWithTheLocalesDecimalSeparator)
{
    // A German locale compiled for this test alone: its decimal separator is the comma.
    const fs::path locales = dir_ / "locale";
    fs::create_directories(locales);
    const Result made =
        Spawn(dir_, "/usr/bin/localedef", {"-i", "de_DE", "-f", "UTF-8", (locales / "de_DE.UTF-8").string()});
    if (made.exitCode != 0 || !fs::exists(locales / "de_DE.UTF-8"))
        GTEST_SKIP() << "localedef cannot build de_DE.UTF-8 here: " << made.err;

    const fs::path input = Write("t.json", SmallTable());
    const fs::path output = dir_ / "out.dxf";
    const fs::path ini = Write("comma.ini", "[PlotraTlsx]\r\ncadXsc=2,5\r\ncadYsc=0,75\r\n");
    const Result r = Run({"--settings", ini.string(), "-o", output.string(), input.string()},
                         {"LOCPATH=" + locales.string(), "LC_ALL=de_DE.UTF-8"});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    // The drawing itself always uses the full stop.
    EXPECT_EQ(ReadAll(output), Reference(input, 2.5, 0.75, 0.27, {true, 0.8}));
}

} // namespace
} // namespace gridvane
