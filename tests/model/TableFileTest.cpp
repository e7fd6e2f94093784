#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <limits>
#include <string>
#include <random>

#include "base/Error.h"
#include "model/TableFile.h"

namespace gridvane {
namespace {

namespace fs = std::filesystem;

// A 2 x 2 table touching every imported field, with a Japanese multi-line text and a merged area.
CellTable SampleTable()
{
    CellTable t;
    t.GridColCount = 2;
    t.GridRowCount = 2;
    t.CellGrid.resize(4);
    for (std::size_t i = 0; i < 4; ++i) {
        TXlsxCellAttr& c = t.CellGrid[i];
        c.rowH = static_cast<std::uint16_t>(18 + i);
        c.colW = static_cast<std::uint16_t>(65535 - i);
        c.txtSize = 11;
        c.txtAlign = static_cast<std::uint8_t>(i);
        c.lineBits = static_cast<std::uint8_t>(63 - i);
    }
    t.CellGrid[0].str = u"品名\n（規格）";
    t.CellGrid[1].str = u"\"引用\" \\ \t \U0001F600";
    for (std::size_t i : {0, 1}) {
        t.CellGrid[i].cellMerge = true;
        t.CellGrid[i].mergecolXscount = 2;
        t.CellGrid[i].mergerowYscount = 1;
        t.CellGrid[i].mergeLeft = 65535;
        t.CellGrid[i].mergeTop = 7;
    }
    return t;
}

std::string Wrap(const std::string& cells, const std::string& extra = "")
{
    return R"({"format": "gridvane-table", "version": 1, "cols": 1, "rows": 1, "cells": [)" + cells + "]" +
           extra + "}";
}

std::string ErrorOf(const std::string& json)
{
    try {
        ParseTableFile(json, "t.json");
    } catch (const Error& e) {
        return e.what();
    }
    return "(accepted)";
}

TEST(TableFile, RoundTripKeepsImportedFieldsAndRecomputesTheRest)
{
    CellTable t = SampleTable();
    const std::vector<std::u16string> texts = {u"編集後", u"", u"ｶﾅ", u"x\ny"};
    const CellTable imported = t;
    CalcDrawSize(t, 3, 0.43, 0.27);

    TableFileContents back = ParseTableFile(TableFileJson(t, texts), "dump");
    EXPECT_EQ(back.table.GridColCount, 2);
    EXPECT_EQ(back.table.GridRowCount, 2);
    EXPECT_EQ(back.texts, texts);
    // Derived fields of the dump are not taken on input.
    EXPECT_EQ(back.table.CellGrid, imported.CellGrid);
    CalcDrawSize(back.table, 3, 0.43, 0.27);
    EXPECT_EQ(back.table.CellGrid, t.CellGrid);
}

TEST(TableFile, DumpWritesEveryFieldAfterTheSizes)
{
    CellTable t = SampleTable();
    CalcDrawSize(t, 3, 0.43, 0.27);
    const std::string json = TableFileJson(t, {});
    for (const char* name : {"\"rowH\"", "\"mergeW\": 65533", "\"mergeBits\": 7", "\"mark\": true",
                             "\"drawH\"", "\"drawMW\"", "\"drawTH\"", "\"txtAlignStd\"", "\"drawThStd\"",
                             "\"txtDefMark\""})
        EXPECT_NE(json.find(name), std::string::npos) << name;
    EXPECT_EQ(json.find("\"texts\""), std::string::npos);
    // Without "texts" each cell's grid text is its str.
    const TableFileContents back = ParseTableFile(json, "dump");
    EXPECT_EQ(back.texts[0], u"品名\n（規格）");
    EXPECT_EQ(back.texts[1], t.CellGrid[1].str);

    t.CellGrid[3].drawW = std::numeric_limits<double>::infinity();
    EXPECT_THROW(TableFileJson(t, {}), Error);
}

TEST(TableFile, MissingFieldsAreZeroAndEmptyTablesAreFine)
{
    const TableFileContents one = ParseTableFile(Wrap("{}"), "t");
    ASSERT_EQ(one.table.CellGrid.size(), 1u);
    EXPECT_EQ(one.table.CellGrid[0], TXlsxCellAttr{});
    const TableFileContents empty =
        ParseTableFile(R"({"format": "gridvane-table", "version": 1, "cols": 4, "rows": 0, "cells": []})", "t");
    EXPECT_TRUE(empty.table.CellGrid.empty());
    EXPECT_EQ(empty.table.GridColCount, 4);
}

TEST(TableFile, RejectsBadInputNamingTheProblem)
{
    const std::pair<std::string, std::string> cases[] = {
        {"", "t.json: not a JSON document"},
        {"{\"format\": ", "not a JSON document: parse error at line 1, column 12"},
        {"[1, 2]", "the document must be a JSON object, not an array"},
        {R"({"version": 1, "cols": 0, "rows": 0, "cells": []})", "\"format\" is missing"},
        {R"({"format": "other", "version": 1, "cols": 0, "rows": 0, "cells": []})", "\"format\" is \"other\""},
        {R"({"format": "gridvane-table", "version": 2, "cols": 0, "rows": 0, "cells": []})",
         "version 2 is not supported"},
        {R"({"format": "gridvane-table", "version": "1", "cols": 0, "rows": 0, "cells": []})",
         "version \"1\" is not supported"},
        {R"({"format": "gridvane-table", "version": 1, "cols": -1, "rows": 0, "cells": []})",
         "\"cols\" is negative (-1)"},
        {R"({"format": "gridvane-table", "version": 1, "cols": 1, "rows": 2147483648, "cells": []})",
         "\"rows\" is 2147483648, out of range"},
        {R"({"format": "gridvane-table", "version": 1, "cols": 2, "rows": 2, "cells": [{}, {}, {}]})",
         "\"cells\" holds 3 cells, but 2 rows x 2 columns need 4"},
        {R"({"format": "gridvane-table", "version": 1, "cols": 2, "rows": 1, "cells": {}})",
         "\"cells\" must be an array, not an object"},
        {Wrap("{}", R"(, "extra": 1)"), "unknown field \"extra\""},
        {Wrap("{}", R"(, "texts": ["a", "b"])"), "\"texts\" holds 2 texts, but 1 rows x 1 columns need 1"},
        {Wrap("{}", R"(, "texts": [3])"), "texts[0]: \"texts\" must be a text, not a number"},
        {Wrap("[]"), "cells[0] (row 1, column 1): a cell must be a JSON object, not an array"},
        {Wrap(R"({"rowh": 3})"), "cells[0] (row 1, column 1): unknown field \"rowh\""},
        {Wrap(R"({"rowH": 65536})"), "\"rowH\" is 65536, out of range: it must be a whole number from 0 to 65535"},
        {Wrap(R"({"colW": -1})"), "\"colW\" is -1, out of range"},
        {Wrap(R"({"txtSize": 10.5})"), "\"txtSize\" is 10.5: it must be a whole number"},
        {Wrap(R"({"txtAlign": 256})"), "\"txtAlign\" is 256, out of range: it must be a whole number from 0 to 255"},
        {Wrap(R"({"lineBits": "15"})"), "\"lineBits\" must be a whole number from 0 to 255, not a text (\"15\")"},
        {Wrap(R"({"cellMerge": 1})"), "\"cellMerge\" must be true or false, not a number (1)"},
        {Wrap(R"({"mergerowYscount": -2})"), "\"mergerowYscount\" is negative (-2)"},
        {Wrap(R"({"mergecolXscount": -1})"), "\"mergecolXscount\" is negative (-1)"},
        {Wrap(R"({"mergeLeft": 1e3})"), "\"mergeLeft\" is 1000.0: it must be a whole number"},
        {Wrap(R"({"mergeTop": 18446744073709551615})"), "\"mergeTop\" is 18446744073709551615, out of range"},
        {Wrap(R"({"str": null})"), "\"str\" must be a text, not null"},
        {R"({"cells": [{}, {}, {"rowH": -5}, {}], "format": "gridvane-table", "version": 1, "cols": 2, "rows": 2})",
         "cells[2] (row 2, column 1): \"rowH\" is -5, out of range"},
        {R"({"format": "gridvane-table", "version": 1, "cols": 1, "rows": 1, "cells": [{"x": 1}], "cells": [{}, {}]})",
         "\"cells\" holds 2 cells, but 1 rows x 1 columns need 1"},
        {R"({"format": "gridvane-table", "version": 1, "cols": 1, "rows": 1, "cells": {"a": {}}})",
         "\"cells\" must be an array, not an object"},
        {Wrap("{\"str\": \"\xff\"}"), "not a JSON document"},
        {Wrap(R"({"str": "\ud800"})"), "not a JSON document"},
    };
    for (const auto& [json, expected] : cases)
        EXPECT_NE(ErrorOf(json).find(expected), std::string::npos)
            << "input: " << json << "\nmessage: " << ErrorOf(json) << "\nexpected: " << expected;
}

// The JSON library's own failures (a number no double holds made the fuzz target crash) come out as the
// table file's messages naming the place, and a table larger than the import may make is refused early.
TEST(TableFile, LibraryFailuresAndOversizedTablesAreOwnMessages)
{
    const std::pair<std::string, std::string> cases[] = {
        {Wrap(R"({"rowH": 1e999})"), "t.json: cells[0].rowH: the number is too large ('1e999')"},
        {R"({"format": "gridvane-table", "version": 1, "cols": 2, "rows": 1, "cells": [{}, {"colW": -1e400}]})",
         "t.json: cells[1].colW: the number is too large"},
        {R"({"format": "gridvane-table", "version": 1, "cols": 1e999, "rows": 1, "cells": [{}]})",
         "t.json: cols: the number is too large"},
        {Wrap(R"({"str": "x", "mergeTop": [1, 2e308]})"), "cells[0].mergeTop: the number is too large"},
        {Wrap("{}", R"(, "texts": [1E+999])"), "texts[0]: the number is too large"},
        {Wrap(R"({"rowH": 12,})"), "t.json: cells[0].rowH: not a JSON document: parse error at line 1"},
        {R"({"format": "gridvane-table", "version": 1, "cols": 1001, "rows": 1000, "cells": []})",
         "t.json: 1000 rows x 1001 columns are more than 1000000 cells"},
    };
    for (const auto& [json, expected] : cases) {
        const std::string message = ErrorOf(json);
        EXPECT_NE(message.find(expected), std::string::npos) << "input: " << json << "\nmessage: " << message;
        EXPECT_EQ(message.find("json.exception"), std::string::npos) << message;
    }

    // One cell past the limit, before the table's size is known: refused while the cells are read.
    std::string many = R"({"cells": [{})";
    many.reserve(3 * kMaxTableCells + 100);
    for (std::size_t i = 1; i <= kMaxTableCells; ++i)
        many += ",{}";
    many += R"(], "format": "gridvane-table", "version": 1, "cols": 1, "rows": 1000001})";
    EXPECT_NE(ErrorOf(many).find("t.json: cells: more than 1000000 cells"), std::string::npos) << ErrorOf(many).substr(0, 200);
}

TEST(TableFile, DerivedFieldsOnInputAreIgnored)
{
    const TableFileContents t =
        ParseTableFile(Wrap(R"({"mark": "anything", "drawW": 5, "mergeBits": 999, "colW": 4})"), "t");
    EXPECT_EQ(t.table.CellGrid[0].colW, 4);
    EXPECT_FALSE(t.table.CellGrid[0].mark);
    EXPECT_EQ(t.table.CellGrid[0].drawW, 0);
    EXPECT_EQ(t.table.CellGrid[0].mergeBits, 0);
}

class TableFileOnDisk : public ::testing::Test {
protected:
    fs::path dir_ = fs::temp_directory_path() / ("gridvane-tablefile-" + std::to_string(std::random_device{}()));
    void SetUp() override { fs::create_directories(dir_); }
    void TearDown() override { fs::remove_all(dir_); }
};

TEST_F(TableFileOnDisk, ReadsAFileAndNamesUnreadableOnes)
{
    const fs::path good = dir_ / "表.table.json";
    std::ofstream(good, std::ios::binary) << Wrap(R"({"str": "部品"})");
    const TableFileContents t = ReadTableFile(good);
    EXPECT_EQ(t.texts.at(0), u"部品");

    const auto message = [](const fs::path& p) {
        try {
            ReadTableFile(p);
        } catch (const Error& e) {
            return std::string(e.what());
        }
        return std::string("(accepted)");
    };
    EXPECT_EQ(message(dir_ / "none.json"), (dir_ / "none.json").string() + ": cannot read the file: No such file or directory");
    EXPECT_EQ(message(dir_), dir_.string() + ": cannot read the file: it is a folder");

    const fs::path bad = dir_ / "bad.json";
    std::ofstream(bad, std::ios::binary) << "{\"format\": \"gridvane-table\", \"version\": 1, \"cols\": 1}";
    EXPECT_EQ(message(bad), bad.string() + ": not a table file: \"rows\" is missing");

    // A sparse file just over the limit is refused before it is read.
    const fs::path huge = dir_ / "huge.json";
    std::ofstream(huge, std::ios::binary).put(' ');
    fs::resize_file(huge, kMaxTableFileBytes + 1);
    EXPECT_NE(message(huge).find("larger than 256 MiB"), std::string::npos);
}

} // namespace
} // namespace gridvane
