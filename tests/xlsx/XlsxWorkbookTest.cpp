#include <gtest/gtest.h>

#include <unistd.h>

#include <clocale>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <vector>

#include "base/Error.h"
#include "base/Utf.h"
#include "excel/ExcelImport.h"
#include "tests/support/GermanLocale.h"
#include "tests/support/TestFolder.h"
#include "xlsx/XlsxApplication.h"
#include "xlsx/XlsxPackage.h"
#include "xlsx/XlsxSheet.h"

namespace gridvane {
namespace {

namespace fs = std::filesystem;

// Writes a workbook with openpyxl, an independent writer: body is Python that fills `wb`. Each pair of
// `patches` then replaces a text in the saved parts (for what this openpyxl cannot write, like rich text).
fs::path MakeWorkbook(const std::string& name, const std::string& body,
                      const std::vector<std::pair<std::string, std::string>>& patches = {})
{
    const fs::path out = TestFolder("xlsx") / (name + ".xlsx");
    const fs::path script = TestFolder("xlsx") / (name + ".py");
    std::ofstream(script) << "import openpyxl\n"
                             "from openpyxl.styles import Alignment, Border, Side, Font\n"
                             "wb = openpyxl.Workbook()\n"
                             "ws = wb.active\n"
                          << body << "\nwb.save(r'''" << out.string() << "''')\n";
    if (!patches.empty()) {
        std::ofstream py(script, std::ios::app);
        py << "import zipfile\nsrc = r'''" << out.string() << "'''\n"
           << "parts = {}\nwith zipfile.ZipFile(src) as z:\n    for n in z.namelist(): parts[n] = z.read(n)\n";
        for (const auto& [from, to] : patches) {
            py << "for n in parts:\n    parts[n] = parts[n].replace(r'''" << from << "'''.encode(), r'''" << to
               << "'''.encode())\n";
        }
        py << "with zipfile.ZipFile(src, 'w', zipfile.ZIP_DEFLATED) as z:\n    for n, d in parts.items(): z.writestr(n, d)\n";
    }
    const std::string cmd = std::string(GRIDVANE_PYTHON) + " " + script.string();
    if (std::system(cmd.c_str()) != 0) throw std::runtime_error("openpyxl failed for " + name);
    return out;
}

double Num(const XlValue& v)
{
    EXPECT_EQ(v.kind, XlValue::Kind::Number);
    return v.number;
}

TEST(XlsxWorkbook, CellsAnswerAsTheSpreadsheet)
{
    const fs::path path = MakeWorkbook("cells", R"PY(
ws.title = '部品表'
ws['A1'] = '品名'
ws['B1'] = 1234.5
ws['B1'].number_format = '#,##0.00'
ws['C1'] = True
ws['D1'] = '=1/0'
ws['A2'] = '一行目\n二行目'
ws['A2'].alignment = Alignment(horizontal='center')
ws['B2'].alignment = Alignment(horizontal='right')
ws['C2'].alignment = Alignment(horizontal='left')
ws['D2'].alignment = Alignment(horizontal='distributed')
ws['A3'].font = Font(size=14)
ws['A3'] = 'x'
thin = Side(style='thin'); dotted = Side(style='dotted'); double = Side(style='double')
ws['B3'].border = Border(top=thin, bottom=dotted, left=double, right=thin)
ws['C3'].border = Border(diagonal=thin, diagonalDown=True)
ws['D3'].border = Border(diagonal=thin, diagonalUp=True)
ws.column_dimensions['B'].width = 20
ws.column_dimensions['C'].hidden = True
ws.row_dimensions[2].height = 30
ws.row_dimensions[3].hidden = True
ws.merge_cells('A5:C6')
ws['A5'] = '見出し'
ws.sheet_view.selection[0].sqref = 'A1:D6'
ws.sheet_view.selection[0].activeCell = 'A1'
)PY");
    auto app = OpenWorkbookAsApplication(path);
    EXPECT_EQ(app->ActiveWorkbookName(), u"cells.xlsx");
    auto sheet = app->ActiveSheet();
    EXPECT_EQ(sheet->Name(), u"部品表");
    auto sel = app->Selection();
    EXPECT_EQ(Num(sel->Row()), 1);
    EXPECT_EQ(Num(sel->Column()), 1);
    EXPECT_EQ(Num(sel->RowsCount()), 6);
    EXPECT_EQ(Num(sel->ColumnsCount()), 4);

    EXPECT_EQ(sheet->Range(u"A1")->Text(), u"品名");
    EXPECT_EQ(sheet->Range(u"B1")->Text(), u"1,234.50");
    EXPECT_EQ(Num(sheet->Range(u"B1")->Value2()), 1234.5);
    EXPECT_EQ(sheet->Range(u"C1")->Value2().kind, XlValue::Kind::Boolean);
    EXPECT_EQ(sheet->Range(u"C1")->Text(), u"TRUE");
    EXPECT_EQ(sheet->Range(u"E9")->Value2().kind, XlValue::Kind::Empty);
    EXPECT_EQ(sheet->Range(u"A2")->Text(), u"一行目\n二行目");

    EXPECT_EQ(Num(sheet->Range(u"A1")->HorizontalAlignment()), 1);
    EXPECT_EQ(Num(sheet->Range(u"A2")->HorizontalAlignment()), -4108);
    EXPECT_EQ(Num(sheet->Range(u"B2")->HorizontalAlignment()), -4152);
    EXPECT_EQ(Num(sheet->Range(u"C2")->HorizontalAlignment()), -4131);
    EXPECT_EQ(Num(sheet->Range(u"D2")->HorizontalAlignment()), -4117);
    EXPECT_EQ(Num(sheet->Range(u"A3")->FontSize()), 14);
    EXPECT_EQ(Num(sheet->Range(u"A1")->FontSize()), 11);

    auto b3 = sheet->Range(u"B3");
    EXPECT_EQ(Num(b3->BorderLineStyle(8)), 1);
    EXPECT_EQ(Num(b3->BorderLineStyle(9)), -4118);
    EXPECT_EQ(Num(b3->BorderLineStyle(7)), -4119);
    EXPECT_EQ(Num(b3->BorderLineStyle(10)), 1);
    EXPECT_EQ(Num(b3->BorderLineStyle(5)), -4142);
    EXPECT_EQ(Num(sheet->Range(u"C3")->BorderLineStyle(5)), 1);
    EXPECT_EQ(Num(sheet->Range(u"C3")->BorderLineStyle(6)), -4142);
    EXPECT_EQ(Num(sheet->Range(u"D3")->BorderLineStyle(6)), 1);
    EXPECT_EQ(Num(sheet->Range(u"A1")->BorderLineStyle(8)), -4142);

    // Calibri 11: one digit is 7 px. A stored width of 20 (no padding added by this writer) is 140 px,
    // which shows as 19.29; the default 8.43 is 64 px; hidden 0.
    EXPECT_DOUBLE_EQ(Num(sheet->Range(u"B1")->ColumnWidth()), 19.29);
    EXPECT_DOUBLE_EQ(Num(sheet->Range(u"A1")->ColumnWidth()), 8.43);
    EXPECT_DOUBLE_EQ(Num(sheet->Range(u"C1")->ColumnWidth()), 0);
    EXPECT_DOUBLE_EQ(Num(sheet->Range(u"A2")->RowHeight()), 30);
    EXPECT_DOUBLE_EQ(Num(sheet->Range(u"A3")->RowHeight()), 0);
    EXPECT_DOUBLE_EQ(Num(sheet->Range(u"A1")->RowHeight()), 15);

    auto a6 = sheet->Range(u"B6");
    EXPECT_TRUE(a6->MergeCells().boolean);
    auto area = a6->MergeArea();
    EXPECT_EQ(Num(area->RowsCount()), 2);
    EXPECT_EQ(Num(area->ColumnsCount()), 3);
    EXPECT_EQ(Num(area->Row()), 5);
    // Left of column A is 0; top of row 5: 15 + 30 + 0 (hidden) + 15 points.
    EXPECT_DOUBLE_EQ(Num(area->Left()), 0);
    EXPECT_DOUBLE_EQ(Num(area->Top()), 60);
    EXPECT_DOUBLE_EQ(Num(sheet->Range(u"C1")->Left()), (64 + 140) * 0.75);
    EXPECT_FALSE(sheet->Range(u"A1")->MergeCells().boolean);
    EXPECT_EQ(Num(sheet->Range(u"A1")->MergeArea()->RowsCount()), 1);
}

TEST(XlsxWorkbook, ErrorsRichTextAndSecondActiveSheet)
{
    const fs::path path = MakeWorkbook("rich", R"PY(
ws['A1'] = 'RICH1'
ws['A2'] = 'RICH2'
ws['A3'] = 'PHONETIC'
ws2 = wb.create_sheet('二枚目')
ws2['B2'] = 'second'
ws2.sheet_view.selection[0].sqref = 'B2:C3'
wb.active = 1
)PY",
                                       {{"<t>RICH1</t>", "<r><rPr><sz val=\"9\"/></rPr><t>small</t></r><r><rPr><sz val=\"20\"/></rPr><t>big</t></r>"},
                                        {"<t>RICH2</t>", "<r><rPr><sz val=\"12\"/></rPr><t>same</t></r><r><rPr><sz val=\"12\"/></rPr><t>_x0041_size</t></r>"},
                                        {"<t>PHONETIC</t>", "<t>漢字</t><rPh sb=\"0\" eb=\"2\"><t>カンジ</t></rPh>"}});
    {
        auto app = OpenWorkbookAsApplication(path, WorkbookChoice{u"Sheet", std::nullopt});
        auto sheet = app->ActiveSheet();
        EXPECT_EQ(sheet->Range(u"A1")->FontSize().kind, XlValue::Kind::Null);
        EXPECT_EQ(sheet->Range(u"A1")->Text(), u"smallbig");
        EXPECT_EQ(Num(sheet->Range(u"A2")->FontSize()), 12);
        EXPECT_EQ(sheet->Range(u"A2")->Text(), u"sameAsize");
        EXPECT_EQ(sheet->Range(u"A3")->Text(), u"漢字");
    }
    auto app = OpenWorkbookAsApplication(path);
    EXPECT_EQ(app->ActiveSheet()->Name(), u"二枚目");
    auto sel = app->Selection();
    EXPECT_EQ(Num(sel->Row()), 2);
    EXPECT_EQ(Num(sel->ColumnsCount()), 2);
    auto chosen = OpenWorkbookAsApplication(path, WorkbookChoice{std::nullopt, u"C4:A1"});
    EXPECT_EQ(Num(chosen->Selection()->RowsCount()), 4);
    EXPECT_EQ(Num(chosen->Selection()->ColumnsCount()), 3);
    EXPECT_THROW(OpenWorkbookAsApplication(path, WorkbookChoice{u"nope", std::nullopt}), Error);
    EXPECT_THROW(OpenWorkbookAsApplication(path, WorkbookChoice{std::nullopt, u"A1:"}), Error);
}

TEST(XlsxWorkbook, BrokenFilesNameTheFileAndTheProblem)
{
    const fs::path dir = TestFolder("xlsx");
    const fs::path notZip = dir / "not-a-zip.xlsx";
    std::ofstream(notZip) << "hello";
    const fs::path truncated = dir / "truncated.xlsx";
    {
        const fs::path good = MakeWorkbook("good", "ws['A1'] = 1");
        std::ifstream in(good, std::ios::binary);
        std::string bytes((std::istreambuf_iterator<char>(in)), {});
        std::ofstream(truncated, std::ios::binary) << bytes.substr(0, bytes.size() / 2);
    }
    // A part marked as encrypted cannot be opened at all (a fuzz finding: the failed open was closed).
    const fs::path encrypted = dir / "encrypted.xlsx";
    {
        const fs::path good = MakeWorkbook("good-to-encrypt", "ws['A1'] = 1");
        const std::string script = std::string(GRIDVANE_PYTHON) + " -c \"import struct, sys\n"
            "b = bytearray(open(sys.argv[1], 'rb').read())\n"
            "for sig, flags in ((b'PK\\x03\\x04', 6), (b'PK\\x01\\x02', 8)):\n"
            "    at = b.find(sig)\n"
            "    while at >= 0:\n"
            "        b[at + flags] |= 1\n"
            "        at = b.find(sig, at + 4)\n"
            "open(sys.argv[2], 'wb').write(b)\" " + good.string() + " " + encrypted.string();
        ASSERT_EQ(std::system(script.c_str()), 0);
    }
    // A zip archive that holds no workbook, and one whose workbook has no sheets.
    const fs::path noWorkbook = dir / "no-workbook.xlsx";
    const fs::path noSheets = dir / "no-sheets.xlsx";
    {
        const std::string script = std::string(GRIDVANE_PYTHON) + " -c \"import sys, zipfile\n"
            "zipfile.ZipFile(sys.argv[1], 'w').writestr('readme.txt', 'not a workbook')\n"
            "with zipfile.ZipFile(sys.argv[2], 'w') as z:\n"
            "    z.writestr('xl/workbook.xml', '<workbook xmlns=\\\"http://schemas.openxmlformats.org/spreadsheetml/2006/main\\\"><sheets/></workbook>')\" " +
            noWorkbook.string() + " " + noSheets.string();
        ASSERT_EQ(std::system(script.c_str()), 0);
    }
    struct Case {
        fs::path path;
        std::string expect;
        std::u16string window; // the Japanese text the window shows, naming the file
    };
    const Case cases[] = {
        {encrypted, "encrypted.xlsx: the part _rels/.rels cannot be read (", u""},
        {dir / "missing.xlsx", "does not exist", u"ブック \"missing.xlsx\" が見つかりません。"},
        {notZip, "not a workbook", u"ブック \"not-a-zip.xlsx\" を開けません: zip 形式ではないか、壊れています。"},
        {truncated, "truncated.xlsx", u""},
        {dir, "folder", u""},
        {noWorkbook, "no-workbook.xlsx: not a workbook (no workbook part)",
         u"ブック \"no-workbook.xlsx\" はブックではありません (ブックの本体 xl/workbook.xml がありません)。"},
        {noSheets, "no-sheets.xlsx: the workbook has no sheets", u"ブック \"no-sheets.xlsx\" にはシートがありません。"},
    };
    for (const Case& k : cases) {
        try {
            OpenWorkbookAsApplication(k.path);
            ADD_FAILURE() << k.path << " opened";
        } catch (const Error& e) {
            EXPECT_NE(std::string(e.what()).find(k.expect), std::string::npos) << e.what();
            if (!k.window.empty()) {
                EXPECT_EQ(e.Japanese(), k.window) << e.what();
            }
        }
    }
}

TEST(XlsxWorkbook, ZipBombAndDeepXmlAreRefused)
{
    const fs::path dir = TestFolder("xlsx");
    const fs::path bomb = dir / "bomb.xlsx";
    const fs::path deep = dir / "deep.xlsx";
    const fs::path crowded = dir / "crowded.xlsx";
    const fs::path dense = dir / "dense.xlsx"; // small elements: a tree many times the part's 48 MB
    const std::string script = std::string(GRIDVANE_PYTHON) + " -c \"import zipfile\n"
        "z = zipfile.ZipFile(r'" + bomb.string() + "', 'w', zipfile.ZIP_DEFLATED)\n"
        "z.writestr('xl/workbook.xml', b' ' * (64*1024*1024))\nz.close()\n"
        "z = zipfile.ZipFile(r'" + deep.string() + "', 'w', zipfile.ZIP_DEFLATED)\n"
        "z.writestr('xl/workbook.xml', '<a>' * 300 + '</a>' * 300)\nz.close()\n"
        "z = zipfile.ZipFile(r'" + crowded.string() + "', 'w')\n"
        "[z.writestr('x/%d' % i, '') for i in range(10001)]\nz.close()\n"
        "z = zipfile.ZipFile(r'" + dense.string() + "', 'w', zipfile.ZIP_STORED)\n"
        "z.writestr('xl/workbook.xml', b'<a>' + b'<b/>' * 12000000 + b'</a>')\nz.close()\"";
    ASSERT_EQ(std::system(script.c_str()), 0);
    try {
        OpenWorkbookAsApplication(bomb);
        ADD_FAILURE() << "bomb opened";
    } catch (const Error& e) {
        EXPECT_NE(std::string(e.what()).find("200:1"), std::string::npos) << e.what();
    }
    try {
        OpenWorkbookAsApplication(crowded);
        ADD_FAILURE() << "crowded opened";
    } catch (const Error& e) {
        EXPECT_NE(std::string(e.what()).find("10001 entries"), std::string::npos) << e.what();
    }
    try {
        OpenWorkbookAsApplication(deep);
        ADD_FAILURE() << "deep opened";
    } catch (const Error& e) {
        EXPECT_NE(std::string(e.what()).find("nested deeper"), std::string::npos) << e.what();
    }
    try {
        OpenWorkbookAsApplication(dense);
        ADD_FAILURE() << "dense opened";
    } catch (const Error& e) {
        EXPECT_NE(std::string(e.what()).find("too large to read (about 732 MiB once parsed"), std::string::npos) << e.what();
    }
    fs::remove(dense);
}


// Writers store some codes as the spreadsheet's built-in ids without the code itself; the cell then
// shows the spreadsheet's own code of that id.
TEST(XlsxWorkbook, BuiltInFormatIdsShowTheSpreadsheetsCodes)
{
    const fs::path path = MakeWorkbook("builtin-ids", R"PY(
ws['A1'] = 1234.5
ws['A1'].number_format = '#,##0.00_);(#,##0.00)'
ws['A2'] = -1234.5
ws['A2'].number_format = '#,##0.00_);(#,##0.00)'
ws['A3'] = 1234
ws['A3'].number_format = '#,##0_);[Red](#,##0)'
ws['A4'] = 0.0123456
ws['A4'].number_format = 'mmss.0'
)PY");
    auto app = OpenWorkbookAsApplication(path);
    auto sheet = app->ActiveSheet();
    EXPECT_EQ(ToUtf8(sheet->Range(u"A1")->Text()), "1,234.50 "); // id 39
    EXPECT_EQ(ToUtf8(sheet->Range(u"A2")->Text()), "(1,234.50)");
    EXPECT_EQ(ToUtf8(sheet->Range(u"A3")->Text()), "1,234 ");    // id 38
    EXPECT_EQ(ToUtf8(sheet->Range(u"A4")->Text()), "17:46.7");   // id 47, which the spreadsheet shows as mm:ss.0
}

// A view that keeps only what the checks below read: the grid texts, headers included, by (c, r).
struct TextView : HeadlessImportView {
    std::vector<std::u16string> messages;
    std::map<std::pair<int, int>, std::u16string> shown;
    std::u16string caption, edit2, edit3;
    bool button4 = false;
    void SetButton4Enabled(bool on) override { button4 = on; }
    void SetCaption(std::u16string_view t) override { caption = t; }
    void SetEdit2(std::u16string_view t) override { edit2 = t; }
    void SetEdit3(std::u16string_view t) override { edit3 = t; }
    void SetCellText(std::int32_t c, std::int32_t r, std::u16string_view t) override { shown[{c, r}] = t; }
    void ShowMessage(std::u16string_view t) override { messages.emplace_back(t); }
};

// A package written part by part, for what no workbook writer produces: parts maps names to their XML.
// The minimal parts of a one-sheet workbook are filled in where parts leaves them out.
fs::path MakePackage(const std::string& name, std::map<std::string, std::string> parts)
{
    const std::string ns = "http://schemas.openxmlformats.org/";
    parts.emplace("_rels/.rels", "<Relationships xmlns=\"" + ns + "package/2006/relationships\"><Relationship Id=\"r1\" "
                  "Type=\"" + ns + "officeDocument/2006/relationships/officeDocument\" Target=\"xl/workbook.xml\"/></Relationships>");
    parts.emplace("xl/workbook.xml", "<workbook xmlns=\"" + ns + "spreadsheetml/2006/main\" xmlns:r=\"" + ns +
                  "officeDocument/2006/relationships\"><sheets><sheet name=\"S\" sheetId=\"1\" r:id=\"s1\"/></sheets></workbook>");
    std::string rels = "<Relationships xmlns=\"" + ns + "package/2006/relationships\"><Relationship Id=\"s1\" Type=\"" + ns +
                       "officeDocument/2006/relationships/worksheet\" Target=\"worksheets/sheet1.xml\"/>";
    if (parts.count("xl/styles.xml"))
        rels += "<Relationship Id=\"st\" Type=\"" + ns + "officeDocument/2006/relationships/styles\" Target=\"styles.xml\"/>";
    if (parts.count("xl/sharedStrings.xml"))
        rels += "<Relationship Id=\"ss\" Type=\"" + ns + "officeDocument/2006/relationships/sharedStrings\" Target=\"sharedStrings.xml\"/>";
    parts.emplace("xl/_rels/workbook.xml.rels", rels + "</Relationships>");
    const fs::path out = TestFolder("xlsx") / (name + ".xlsx");
    const fs::path script = TestFolder("xlsx") / (name + ".py");
    std::ofstream py(script);
    py << "import zipfile\nz = zipfile.ZipFile(r'''" << out.string() << "''', 'w', zipfile.ZIP_DEFLATED)\n";
    // A part named "utf-16:name" or "latin-1:name" is written in that encoding, the others in UTF-8.
    for (const auto& [part, xml] : parts) {
        const std::size_t colon = part.find(':');
        const std::string encoding = colon == std::string::npos ? "utf-8" : part.substr(0, colon);
        py << "z.writestr(r'''" << part.substr(colon == std::string::npos ? 0 : colon + 1) << "''', r'''" << xml
           << "'''.encode('" << encoding << "'))\n";
    }
    py << "z.close()\n";
    py.close();
    const std::string cmd = std::string(GRIDVANE_PYTHON) + " " + script.string();
    if (std::system(cmd.c_str()) != 0) throw std::runtime_error("zipfile failed for " + name);
    return out;
}

std::string SheetXml(const std::string& body)
{
    return "<worksheet xmlns=\"http://schemas.openxmlformats.org/spreadsheetml/2006/main\">" + body + "</worksheet>";
}

// The message of opening the workbook and reading its active sheet's first cell, or "(accepted)".
std::string OpenError(const fs::path& path)
{
    try {
        auto app = OpenWorkbookAsApplication(path);
        auto sheet = app->ActiveSheet();
        auto cell = sheet->Range(u"A1");
        (void)cell->Text();
        (void)cell->ColumnWidth();
    } catch (const Error& e) {
        return e.what();
    }
    return "(accepted)";
}

// Numbers in the parts are read whole and without the C library's locale; an unknown cell type is refused.
TEST(XlsxWorkbook, NumbersAndTypesAreReadWholeOrRefused)
{
    const struct {
        const char* name;
        std::string sheet;
        const char* message;
    } cases[] = {
        {"number-tail", "<sheetData><row r=\"1\"><c r=\"B1\"><v>12abc</v></c></row></sheetData>",
         "xl/worksheets/sheet1.xml: cell B1 has an invalid number \"12abc\""},
        {"number-comma", "<sheetData><row r=\"1\"><c r=\"C1\" t=\"n\"><v>20,25</v></c></row></sheetData>",
         "cell C1 has an invalid number \"20,25\""},
        {"number-infinite", "<sheetData><row r=\"1\"><c r=\"A1\"><v>1e999</v></c></row></sheetData>",
         "cell A1 has an invalid number \"1e999\""},
        {"height-unit", "<sheetData><row r=\"3\" ht=\"20.5pt\"><c r=\"A3\"><v>1</v></c></row></sheetData>",
         "sheet1.xml: row 3 has an invalid ht \"20.5pt\""},
        {"width-text", "<cols><col min=\"1\" max=\"1\" width=\"wide\"/></cols><sheetData/>",
         "the column element 1 has an invalid width \"wide\""},
        {"row-number-tail", "<sheetData><row r=\"4x\"/></sheetData>", "a row has an invalid number \"4x\""},
        {"unknown-type", "<sheetData><row r=\"1\"><c r=\"D1\" t=\"q\"><v>1</v></c></row></sheetData>",
         "cell D1 has an unknown type t=\"q\""},
        {"bad-date", "<sheetData><row r=\"1\"><c r=\"A1\" t=\"d\"><v>2023-02-29</v></c></row></sheetData>",
         "cell A1 has an invalid date \"2023-02-29\""},
        {"bad-boolean", "<sheetData><row r=\"1\"><c r=\"A1\" t=\"b\"><v>yes</v></c></row></sheetData>",
         "cell A1 has an invalid Boolean value \"yes\""},
        {"run-size", "<sheetData><row r=\"2\"><c r=\"B2\" t=\"inlineStr\"><is><r><rPr><sz val=\"big\"/></rPr><t>a</t></r>"
                     "</is></c></row></sheetData>",
         "cell B2: a run's font size has an invalid val \"big\""},
    };
    for (const auto& c : cases) {
        const std::string message = OpenError(MakePackage(c.name, {{"xl/worksheets/sheet1.xml", SheetXml(c.sheet)}}));
        EXPECT_NE(message.find(c.message), std::string::npos) << c.name << ": " << message;
        EXPECT_NE(message.find(std::string(c.name) + ".xlsx"), std::string::npos) << c.name << ": " << message;
    }
}

// Indexes that point nowhere, document type declarations and column elements outside the sheet: refused
// with the file, the part and the element or cell.
TEST(XlsxWorkbook, HostileIndexesDeclarationsAndColumnsAreRefused)
{
    const std::string styles =
        "<styleSheet xmlns=\"http://schemas.openxmlformats.org/spreadsheetml/2006/main\"><fonts><font><sz val=\"11\"/>"
        "</font></fonts><borders><border/></borders><cellXfs><xf fontId=\"0\" borderId=\"0\"/><xf FONT/></cellXfs>"
        "</styleSheet>";
    const auto stylesWith = [&](const std::string& xf) {
        std::string s = styles;
        return s.replace(s.find("FONT"), 4, xf);
    };
    const std::string shared = "<sst xmlns=\"http://schemas.openxmlformats.org/spreadsheetml/2006/main\"><si><t>a</t></si></sst>";
    const std::string cellA1 = "<sheetData><row r=\"1\"><c r=\"A1\"><v>1</v></c></row></sheetData>";
    const std::string doctype = "<?xml version=\"1.0\"?><!DOCTYPE worksheet [<!ENTITY e SYSTEM \"file:///etc/passwd\">]>";
    std::string manyCols = "<cols>";
    for (int i = 1; i <= 16385; ++i)
        manyCols += "<col min=\"1\" max=\"1\" width=\"3\"/>";
    manyCols += "</cols><sheetData/>";
    const auto sheet = [](const std::string& body) { return std::make_pair(std::string("xl/worksheets/sheet1.xml"), SheetXml(body)); };

    const struct {
        const char* name;
        std::map<std::string, std::string> parts;
        const char* message;
    } cases[] = {
        {"style-negative", {sheet("<sheetData><row r=\"2\"><c r=\"C2\" s=\"-1\"/></row></sheetData>")},
         "xl/worksheets/sheet1.xml: cell C2 refers to the cell format -1, which the workbook does not define"},
        {"style-beyond", {{"xl/styles.xml", stylesWith("fontId=\"0\"")}, sheet("<sheetData><row r=\"1\"><c r=\"A1\" s=\"2\"/></row></sheetData>")},
         "cell A1 refers to the cell format 2, which the workbook does not define"},
        {"style-fraction", {sheet("<sheetData><row r=\"1\"><c r=\"A1\" s=\"0.5\"/></row></sheetData>")},
         "cell A1 refers to the cell format \"0.5\", which is not an index"},
        {"row-style", {sheet("<sheetData><row r=\"7\" s=\"-3\" customFormat=\"1\"/></sheetData>")},
         "row 7 refers to the cell format -3"},
        {"font-negative", {{"xl/styles.xml", stylesWith("fontId=\"-1\"")}, sheet(cellA1)},
         "xl/styles.xml: the cell format 1 refers to the font -1, which the workbook does not define"},
        {"font-beyond", {{"xl/styles.xml", stylesWith("fontId=\"1\"")}, sheet(cellA1)},
         "xl/styles.xml: the cell format 1 refers to the font 1"},
        {"border-beyond", {{"xl/styles.xml", stylesWith("borderId=\"4\"")}, sheet(cellA1)},
         "xl/styles.xml: the cell format 1 refers to the border 4"},
        {"shared-negative", {{"xl/sharedStrings.xml", shared}, sheet("<sheetData><row r=\"1\"><c r=\"B1\" t=\"s\"><v>-1</v></c></row></sheetData>")},
         "cell B1 refers to the shared string -1, which the workbook does not define"},
        {"shared-beyond", {{"xl/sharedStrings.xml", shared}, sheet("<sheetData><row r=\"1\"><c r=\"B1\" t=\"s\"><v>1</v></c></row></sheetData>")},
         "cell B1 refers to the shared string 1"},
        {"shared-none", {sheet("<sheetData><row r=\"1\"><c r=\"E1\" t=\"s\"><v>0</v></c></row></sheetData>")},
         "cell E1 refers to the shared string 0"},
        {"doctype-sheet", {{"xl/worksheets/sheet1.xml", doctype + SheetXml("<sheetData><row r=\"1\"><c r=\"A1\" t=\"str\"><v>&e;</v></c></row></sheetData>")}},
         "doctype-sheet.xlsx: the part xl/worksheets/sheet1.xml has a document type declaration"},
        {"doctype-styles", {{"xl/styles.xml", "<!DOCTYPE styleSheet>" + stylesWith("fontId=\"0\"")}, sheet(cellA1)},
         "the part xl/styles.xml has a document type declaration"},
        {"col-beyond", {sheet("<cols><col min=\"2\" max=\"16385\" width=\"3\"/></cols><sheetData/>")},
         "sheet1.xml: the column element 1 spans the columns 2 to 16385, outside the sheet's columns 1 to 16384"},
        {"col-zero", {sheet("<cols><col min=\"0\" max=\"3\"/></cols><sheetData/>")}, "the column element 1 spans the columns 0 to 3"},
        {"col-reversed", {sheet("<cols><col min=\"5\" max=\"4\"/></cols><sheetData/>")}, "the column element 1 spans the columns 5 to 4"},
        {"col-many", {sheet(manyCols)}, "the sheet has more column elements (<col>) than its 16384 columns"},
    };
    for (const auto& c : cases) {
        const std::string message = OpenError(MakePackage(c.name, c.parts));
        EXPECT_NE(message.find(c.message), std::string::npos) << c.name << ": " << message;
        EXPECT_NE(message.find(std::string(c.name) + ".xlsx: "), std::string::npos) << c.name << ": " << message;
    }

    // Overlapping column elements: the first that covers a column gives its width, as before the index.
    auto app = OpenWorkbookAsApplication(MakePackage("col-overlap", {sheet(
        "<cols><col min=\"1\" max=\"3\" width=\"20\"/><col min=\"2\" max=\"5\" width=\"5\"/></cols><sheetData/>")}));
    auto overlapped = app->ActiveSheet();
    EXPECT_DOUBLE_EQ(Num(overlapped->Range(u"C1")->ColumnWidth()), 19.29);
    EXPECT_DOUBLE_EQ(Num(overlapped->Range(u"D1")->ColumnWidth()), 4.29);
    EXPECT_DOUBLE_EQ(Num(overlapped->Range(u"F1")->ColumnWidth()), 8.43);
}

TEST(XlsxWorkbook, RangesThatNameNoAreaAreRefused)
{
    const fs::path path = MakeWorkbook("ranges", "ws['A1'] = 1");
    const std::pair<const char16_t*, bool> cases[] = {
        {u"B2:D5", true}, {u"B2", true}, {u"$B$2:$D$5", true}, {u"A:C", true}, {u"3:5", true}, {u"$A:$C", true},
        {u"B2:D", false}, {u"B2:5", false}, {u"B:5", false}, {u"2:D", false}, {u"B2:", false}, {u":D5", false},
        {u"A1:B2:C3", false}, {u"XFE1", false}, {u"A0:B2", false}, {u"A1:A1048577", false},
    };
    for (const auto& [range, ok] : cases) {
        bool opened = false;
        std::string message;
        try {
            OpenWorkbookAsApplication(path, WorkbookChoice{std::nullopt, std::u16string(range)});
            opened = true;
        } catch (const Error& e) {
            message = e.what();
        }
        EXPECT_EQ(opened, ok) << ToUtf8(range) << ": " << message;
        if (!ok) {
            EXPECT_NE(message.find("\"" + ToUtf8(range) + "\" is not a range"), std::string::npos) << message;
        }
    }
    auto rows = OpenWorkbookAsApplication(path, WorkbookChoice{std::nullopt, u"5:3"})->Selection();
    EXPECT_EQ(Num(rows->Row()), 3);
    EXPECT_EQ(Num(rows->RowsCount()), 3);
    EXPECT_EQ(Num(rows->ColumnsCount()), 16384);
}

// The window sets the user's locale; in one whose decimal separator is the comma, the workbook's fractional
// widths, heights and numbers are still read in full (the C library's parsing read "20.75" as 20 there).
TEST(XlsxWorkbook, ImportInACommaLocaleKeepsFractionalSizes)
{
    const fs::path path = MakeWorkbook("comma-locale", R"PY(
import datetime
wb.iso_dates = True
ws['A1'] = 20.25
ws['B1'] = datetime.datetime(2024, 4, 1, 13, 45, 30)
ws['B1'].number_format = 'yyyy/m/d h:mm'
ws['A2'] = datetime.date(2024, 4, 1)
ws['A2'].number_format = 'yyyy"年"m"月"d"日"'
ws['B2'] = datetime.time(6, 30)
ws['B2'].number_format = 'h:mm'
ws.column_dimensions['A'].width = 12.75
ws.column_dimensions['B'].width = 30.5
ws.row_dimensions[1].height = 20.75
ws.row_dimensions[2].height = 33.5
ws['A1'].font = Font(size=11.5)
ws.sheet_view.selection[0].sqref = 'A1:B2'
)PY");
    const GermanLocale german;
    if (!german.Unavailable().empty())
        GTEST_SKIP() << german.Unavailable();
    ASSERT_STREQ(std::localeconv()->decimal_point, ",");

    TextView view;
    CellTable table;
    const ImportResult result =
        ImportSelection([&] { return OpenWorkbookAsApplication(path); }, view, table, ImportScales{}, u',');
    ASSERT_TRUE(result.ok) << ToUtf8(result.detail);
    ASSERT_EQ(table.CellGrid.size(), 4u);
    // 12.75 is 89 px at 7 px a digit, shown as 12 (84 px and 11.29 if it were read as 12); 30.5 shows as 30.
    EXPECT_EQ(table.CellGrid[0].colW, 12);
    EXPECT_EQ(table.CellGrid[1].colW, 30);
    EXPECT_EQ(table.CellGrid[0].rowH, 21);    // 20.75 rounded, not 20
    EXPECT_EQ(table.CellGrid[2].rowH, 34);    // 33.5 rounds to the even 34
    EXPECT_EQ(table.CellGrid[0].txtSize, 12); // 11.5 rounds to the even 12; read as 11 it would stay 11
    EXPECT_EQ(view.shown[std::make_pair(1, 1)], u"20.25");
    EXPECT_EQ(table.CellGrid[0].txtAlign, kAlignRight);
    // ISO dates are serial numbers shown through the cell's format.
    EXPECT_EQ(view.shown[std::make_pair(2, 1)], u"2024/4/1 13:45");
    EXPECT_EQ(view.shown[std::make_pair(1, 2)], u"2024年4月1日");
    EXPECT_EQ(view.shown[std::make_pair(2, 2)], u"6:30");
    auto app = OpenWorkbookAsApplication(path);
    auto sheet = app->ActiveSheet();
    EXPECT_NEAR(Num(sheet->Range(u"B1")->Value2()), 45383 + (13 * 3600 + 45 * 60 + 30) / 86400.0, 1e-9);
    EXPECT_DOUBLE_EQ(Num(sheet->Range(u"A2")->Value2()), 45383);
    EXPECT_DOUBLE_EQ(Num(sheet->Range(u"B2")->Value2()), 6.5 / 24);
}

TEST(XlsxWorkbook, ImportThroughTheStandInWithAMergeCutBySelection)
{
    const fs::path path = MakeWorkbook("import", R"PY(
ws.title = '表'
ws.merge_cells('A1:C1')
ws['A1'] = '部品表'
ws['A2'] = 'ボルト'
ws['B2'] = 12
ws['C2'] = 0.125
ws['C2'].number_format = '0.0%'
ws['A3'] = '=1/0'
ws.sheet_view.selection[0].sqref = 'B1:C2'
)PY", {{"<f>1/0</f><v></v>", "<f>1/0</f><v>#DIV/0!</v>"}, {"<c r=\"A3\"", "<c t=\"e\" r=\"A3\""}});
    const XlAttach attach = [&] { return OpenWorkbookAsApplication(path); };
    TextView view;
    CellTable table;
    const ImportResult result = ImportSelection(attach, view, table, ImportScales{}, u'.');
    ASSERT_TRUE(result.ok) << ToUtf8(result.detail);
    EXPECT_EQ(view.caption, u"import.xlsx [表]");
    EXPECT_EQ(view.edit2, u"B1");
    EXPECT_EQ(view.edit3, u"C2");
    EXPECT_EQ(view.shown[std::make_pair(2, 2)], u"12.5%");
    ASSERT_EQ(table.CellGrid.size(), 4u);
    // B1 and C1 belong to A1:C1, whose anchor lies outside the selection: the visible part stays one area.
    EXPECT_TRUE(table.CellGrid[0].cellMerge);
    EXPECT_EQ(table.CellGrid[0].mergecolXscount, 3);
    EXPECT_FALSE(table.CellGrid[0].mark);
    EXPECT_TRUE(table.CellGrid[1].mark);
    EXPECT_EQ(table.CellGrid[2].txtAlign, kAlignRight); // 12, general alignment
    EXPECT_EQ(table.CellGrid[3].txtAlign, kAlignRight); // 0.125 shows as 12.5% but its value is a number

    // The error cell makes the import fail there.
    const XlAttach errorSheet = [&] { return OpenWorkbookAsApplication(path, WorkbookChoice{std::nullopt, u"A1:A3"}); };
    TextView failed;
    const ImportResult failure = ImportSelection(errorSheet, failed, table, ImportScales{}, u'.');
    EXPECT_FALSE(failure.ok);
    EXPECT_EQ(failure.detail, u"A3: エラー値 #DIV/0!");
    EXPECT_EQ(failure.reason, "A3: error value #DIV/0!");
    EXPECT_EQ(failed.messages, std::vector<std::u16string>{u"取得に失敗しました."});
    EXPECT_FALSE(failed.button4);

    // A workbook that cannot be opened is the attach failure: its reason, then the failure message.
    TextView missing;
    const XlAttach none = [&] { return OpenWorkbookAsApplication(TestFolder("xlsx") / "none.xlsx"); };
    EXPECT_FALSE(ImportSelection(none, missing, table, ImportScales{}, u'.').ok);
    ASSERT_EQ(missing.messages.size(), 2u);
    EXPECT_NE(ToUtf8(missing.messages[0]).find("none.xlsx"), std::string::npos);
    EXPECT_EQ(missing.messages[1], u"取得に失敗しました.");
}

// The sheet is read in one pass while it is decompressed, in pieces: texts and numbers that a piece cuts
// (also inside a multi-byte character) come out whole, the selection's cells and rows are kept, a cell
// outside it is still answered, and the part's defects are refused as from a tree.
TEST(XlsxWorkbook, TheSheetIsReadInOnePassWhateverThePiecesCut)
{
    // About 1.3 MB of sheet: several of the reader's pieces.
    const auto text = [](int r, int c) {
        std::string t = "品" + std::to_string(r) + "-" + std::to_string(c);
        return t + std::string(static_cast<std::size_t>((r * 7 + c) % 23), 'x') + "&amp;";
    };
    std::string rows;
    for (int r = 1; r <= 3000; ++r) {
        rows += "<row r=\"" + std::to_string(r) + "\"" + (r % 10 == 0 ? " ht=\"30\" customHeight=\"1\"" : "") + ">";
        for (int c = 1; c <= 6; ++c) {
            const std::string ref = std::string(1, static_cast<char>('A' + c - 1)) + std::to_string(r);
            if (c % 2 == 1) {
                rows += "<c r=\"" + ref + "\" t=\"inlineStr\"><is><t>" + text(r, c) + "</t></is></c>";
            } else {
                rows += "<c r=\"" + ref + "\"><v>" + std::to_string(r * 1000 + c) + ".25</v></c>";
            }
        }
        rows += "</row>";
    }
    // Row 20 again, without a height: the later record counts. One workbook has the saved selection after
    // the cells, where it cannot choose the cells kept.
    rows += "<row r=\"20\"/>";
    const std::string views = "<sheetViews><sheetView><selection activeCell=\"B100\" sqref=\"B100:E2900\"/></sheetView></sheetViews>";
    const fs::path inOrder = MakePackage("one-pass", {{"xl/worksheets/sheet1.xml", SheetXml(views + "<sheetData>" + rows + "</sheetData>")}});
    const fs::path viewsLast = MakePackage("one-pass-late-view", {{"xl/worksheets/sheet1.xml", SheetXml("<sheetData>" + rows + "</sheetData>" + views)}});
    for (const fs::path& path : {inOrder, viewsLast}) {
        SCOPED_TRACE(path.filename().string());
        TextView view;
        CellTable table;
        const ImportResult result = ImportSelection([&] { return OpenWorkbookAsApplication(path); }, view, table, ImportScales{}, u'.');
        ASSERT_TRUE(result.ok) << ToUtf8(result.detail);
        ASSERT_EQ(table.GridRowCount, 2801);
        ASSERT_EQ(table.GridColCount, 4);
        int wrong = 0;
        for (int r = 100; r <= 2900; ++r) {
            for (int c = 2; c <= 5; ++c) {
                std::string expected = c % 2 == 1 ? text(r, c) : std::to_string(r * 1000 + c) + ".25";
                if (c % 2 == 1) expected.replace(expected.size() - 5, 5, "&");
                if (ToUtf8(view.shown[std::make_pair(c - 1, r - 99)]) != expected && ++wrong <= 3) {
                    ADD_FAILURE() << "row " << r << " column " << c << ": " << ToUtf8(view.shown[std::make_pair(c - 1, r - 99)]);
                }
            }
        }
        EXPECT_EQ(wrong, 0);
        const auto rowH = [&](int r) { return table.CellGrid[static_cast<std::size_t>(r - 100) * 4].rowH; };
        EXPECT_EQ(rowH(110), 30);
        EXPECT_EQ(rowH(111), 15);
        auto app = OpenWorkbookAsApplication(path);
        auto sheet = app->ActiveSheet();
        EXPECT_DOUBLE_EQ(Num(sheet->Range(u"B20")->RowHeight()), 15); // given again without a height
        EXPECT_DOUBLE_EQ(Num(sheet->Range(u"B100")->Top()), 99 * 15 + 8 * 15);
        // Outside the selection: read again, whole.
        EXPECT_EQ(ToUtf8(sheet->Range(u"A1")->Text()), "品1-1xxxxxxxx&");
        EXPECT_DOUBLE_EQ(Num(sheet->Range(u"F3000")->Value2()), 3000006.25);
    }

    // What could be taken for the end of a row is not: in comments, CDATA sections, processing
    // instructions and attribute values. Parts in other encodings than UTF-8 are read as well.
    // Long tokens run over several of the reader's pieces; row 3 alone is larger than a piece's tree is
    // allowed to be unmeasured.
    const std::string longComment = "<!-- " + std::string(700000, '>') + " -->";
    const std::string longValue = " x:long=\"" + std::string(700000, '>') + "\"";
    std::string longRow = "<row r=\"3\">";
    for (int c = 1; c <= 16000; ++c) longRow += "<c t=\"inlineStr\"><is><t>" + std::to_string(c) + std::string(60, '.') + "</t></is></c>";
    longRow += "</row>";
    const std::string tricky = "<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"yes\"?>\n" +
        SheetXml("<sheetViews><sheetView><selection sqref=\"A1:C2\"/></sheetView></sheetViews><sheetData>"
                 "<!-- </row> <row r=\"9\"> -->" + longComment +
                 "<row r=\"1\" spans=\"1:3\" x:note=\"a > b /> </row>\" xmlns:x=\"urn:x\"><c r=\"A1\" t=\"str\"><v><![CDATA[</row></sheetData>]]></v></c>"
                 "<?gridvane </row> ?><c r=\"B1\" t=\"inlineStr\"><is><t>a&lt;b&#x2603;</t></is></c></row>\n"
                 "<row r=\"2\"" + longValue + " xmlns:x=\"urn:x\"><c r=\"C2\"><v>2.5</v></c></row>" + longRow + "</sheetData>");
    const std::string accented = SheetXml("<sheetData><row r=\"1\"><c r=\"A1\" t=\"inlineStr\"><is><t>caf\u00e9 \u90e8\u54c1</t>"
                                          "</is></c><c r=\"B1\"><v>7</v></c></row></sheetData>");
    const struct {
        const char* name;
        std::string part;
        std::string sheet;
        std::vector<std::pair<const char16_t*, const char16_t*>> texts;
    } readable[] = {
        {"tricky", "xl/worksheets/sheet1.xml", tricky, {{u"A1", u"</row></sheetData>"}, {u"B1", u"a<b\u2603"}, {u"C2", u"2.5"},
                                                     {u"C3", u"3............................................................"}}},
        {"bom", "xl/worksheets/sheet1.xml", "\ufeff" + tricky, {{u"A1", u"</row></sheetData>"}, {u"C2", u"2.5"}}},
        {"utf16", "utf-16:xl/worksheets/sheet1.xml", "<?xml version=\"1.0\" encoding=\"UTF-16\"?>" + accented,
         {{u"A1", u"caf\u00e9 \u90e8\u54c1"}, {u"B1", u"7"}}},
        {"latin1", "latin-1:xl/worksheets/sheet1.xml", "<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?>" +
                                                         SheetXml("<sheetData><row r=\"1\"><c r=\"A1\" t=\"str\"><v>caf\u00e9</v></c></row></sheetData>"),
         {{u"A1", u"caf\u00e9"}}},
    };
    for (const auto& c : readable) {
        SCOPED_TRACE(c.name);
        auto book = OpenWorkbookAsApplication(MakePackage(c.name, {{c.part, c.sheet}}), WorkbookChoice{std::nullopt, u"A1:C2"});
        auto sheet = book->ActiveSheet();
        for (const auto& [address, shown] : c.texts) EXPECT_EQ(ToUtf8(sheet->Range(address)->Text()), ToUtf8(shown)) << ToUtf8(address);
    }

    // Texts of spaces only are kept, as the spreadsheet shows them.
    const fs::path spaces = MakePackage("spaces", {
        {"xl/sharedStrings.xml", "<sst xmlns=\"http://schemas.openxmlformats.org/spreadsheetml/2006/main\"><si><t xml:space=\"preserve\">  </t></si></sst>"},
        {"xl/worksheets/sheet1.xml", SheetXml("<sheetData><row r=\"1\"><c r=\"A1\" t=\"s\"><v>0</v></c><c r=\"B1\" t=\"inlineStr\"><is>"
                                              "<t xml:space=\"preserve\"> </t></is></c></row></sheetData>")}});
    auto app = OpenWorkbookAsApplication(spaces, WorkbookChoice{std::nullopt, u"A1:B1"});
    EXPECT_EQ(app->ActiveSheet()->Range(u"A1")->Text(), u"  ");
    EXPECT_EQ(app->ActiveSheet()->Range(u"B1")->Text(), u" ");

    std::string deep;
    for (int i = 0; i < 300; ++i) deep += "<x>";
    for (int i = 0; i < 300; ++i) deep += "</x>";
    const struct {
        const char* name;
        std::string sheet;
        const char* message;
    } refused[] = {
        {"sheet-deep", SheetXml("<sheetData><row r=\"1\"><c r=\"A1\"><v>1</v></c></row></sheetData>" + deep),
         "the part xl/worksheets/sheet1.xml is nested deeper than 256 levels"},
        {"sheet-cut", SheetXml("<sheetData><row r=\"1\"><c r=\"A1\"><v>1</v></c></row></sheetData>").substr(0, 120),
         "the part xl/worksheets/sheet1.xml is not well-formed XML"},
        {"sheet-root", "<chartsheet/>", "the part xl/worksheets/sheet1.xml is not a worksheet"},
        // Faults inside the rows are named where the markup has them, before any cell of their piece is
        // taken (the invalid number before the fault is not the one reported).
        {"sheet-mismatch", SheetXml("<sheetData><row r=\"1\"><c r=\"A1\"><v>1x</v></c><c r=\"B1\"><v>1</x></c></row></sheetData>"),
         "the part xl/worksheets/sheet1.xml is not well-formed XML (Start-end tags mismatch at offset 138)"},
        {"sheet-bare-value", SheetXml("<sheetData><row r=\"1\"><c r=\"A1\"><v>1x</v></c></row><row r=\"2\"><c r=A2/></row></sheetData>"),
         "the part xl/worksheets/sheet1.xml is not well-formed XML (Error parsing element attribute at offset 144)"},
        {"sheet-open-row", SheetXml("<sheetData><row r=\"1\"><c r=\"A1\"><v>1</v></c></sheetData>"), "the part xl/worksheets/sheet1.xml is not well-formed XML (Start-end tags mismatch at offset 123)"},
        {"sheet-entity", "<?xml version=\"1.0\"?><!DOCTYPE worksheet [<!ENTITY a \"aaaa\"><!ENTITY b \"&a;&a;&a;&a;\">]>" +
                             SheetXml("<sheetData><row r=\"1\"><c r=\"A1\" t=\"str\"><v>&b;</v></c></row></sheetData>"),
         "has a document type declaration"},
        // Cells outside the selection are checked as they pass, though not kept.
        {"sheet-outside", "<worksheet><sheetViews><sheetView><selection sqref=\"A1\"/></sheetView></sheetViews><sheetData>"
                          "<row r=\"9\"><c r=\"Z9\"><v>1x</v></c></row></sheetData></worksheet>",
         "cell Z9 has an invalid number \"1x\""},
    };
    for (const auto& c : refused) {
        const std::string message = OpenError(MakePackage(c.name, {{"xl/worksheets/sheet1.xml", c.sheet}}));
        EXPECT_NE(message.find(c.message), std::string::npos) << c.name << ": " << message;
        EXPECT_NE(message.find(std::string(c.name) + ".xlsx: "), std::string::npos) << c.name << ": " << message;
    }
}

// The rows the sheet reader walks itself and the rows read through the XML events give the same sheet, and
// the same refusal: over rows of every kind mixed (usual cells, attributes in other orders and quotes,
// formulas, inline strings with references, rich runs, comments, carriage returns), across the reader's
// pieces, and for parts with two faults in one piece, where the markup's fault is told before a cell's.
TEST(XlsxWorkbook, RowsWalkedByTheSheetReaderReadAsThroughTheEvents)
{
    // Rows 1 to 4500 of the kinds the reader walks itself (some through its general steps), the rest of all
    // kinds, among them those it leaves to the events.
    const auto row = [](int r) {
        const std::string n = std::to_string(r);
        switch (r <= 4500 ? r % 5 : 5 + r % 4) {
        case 0: return "<row r=\"" + n + "\" spans=\"1:4\"><c r=\"A" + n + "\" s=\"0\" t=\"n\"><v>" + n + ".5</v></c><c r=\"B" + n +
                       "\" t=\"inlineStr\"><is><t>&#37096;&lt;" + n + "&gt;</t></is></c><c r=\"C" + n + "\"/><c r=\"D" + n +
                       "\" t=\"str\"><f>A" + n + "&amp;\"x\"</f><v>" + n + "x</v></c></row>";
        case 1: return "<row r='" + n + "' ht=\"21\" customHeight=\"1\"><c t=\"n\" r=\"A" + n + "\" cm=\"1\"><v> -" + n +
                       "e-3 </v></c><c r='B" + n + "' t='b'><v>1</v></c></row>";
        case 2: return "<row r=\"" + n + "\" hidden=\"1\"><c r=\"A" + n + "\" t=\"inlineStr\"><is><t xml:space=\"preserve\"> a _x0041_ </t>"
                       "</is></c><c r=\"B" + n + "\"><f t=\"shared\" si=\"0\"/><v>0.1</v></c><c r=\"C" + n + "\" t=\"d\"><v>2024-02-29</v></c></row>";
        case 3: return "<row r=\"" + n + "\"/>";
        case 4: return "<row r=\"" + n + "\" >\n <c r=\"A" + n + "\" s=\"0\" ><v>" + n + "</v ></c ><c r=\"C" + n + "\"></c></row >";
        case 5: return "<row r=\"" + n + "\"><c r=\"A" + n + "\" t=\"inlineStr\"><is><r><rPr><sz val=\"9\"/></rPr><t>rich " + n +
                       "</t></r></is></c><c r=\"B" + n + "\" t=\"str\"><v>a&amp;b</v></c></row>";
        case 6: return "<row r=\"" + n + "\"><!-- note --><c r=\"A" + n + "\"><v>" + n + "</v></c></row>\r\n";
        case 7: return "<row r=\"" + n + "\"><c r=\"A" + n + "\"><v/></c><c r=\"B" + n + "\" ><v >" + n + "</v></c></row>";
        default: return "<row r=\"" + n + "\"><c r=\"A" + n + "\"><v>" + n + "</v></c><c r=\"B" + n + "\"><is><t>x</t></is><is><t>y</t></is></c></row>";
        }
    };
    const auto sheet = [](const std::string& rows) {
        return SheetXml("<sheetViews><sheetView><selection sqref=\"A1:D9000\"/></sheetView></sheetViews><sheetData>" + rows +
                        "</sheetData>");
    };
    const auto outcome = [](const fs::path& path, bool walked) {
        xlsx::SetSheetRowsWalked(walked);
        TextView view;
        CellTable table;
        const ImportResult result = ImportSelection([&] { return OpenWorkbookAsApplication(path); }, view, table, ImportScales{}, u'.');
        xlsx::SetSheetRowsWalked(true);
        std::string all = (result.ok ? "ok " : "failed ") + result.reason + "\n";
        for (const auto& [at, text] : view.shown) all += std::to_string(at.first) + "," + std::to_string(at.second) + " " + ToUtf8(text) + "\n";
        for (const TXlsxCellAttr& a : table.CellGrid) {
            all += std::to_string(a.rowH) + " " + std::to_string(a.colW) + " " + std::to_string(a.txtAlign) + " " +
                   std::to_string(a.txtSize) + " " + std::to_string(a.cellMerge) + "\n";
        }
        return all;
    };
    std::string rows;
    for (int r = 1; r <= 9000; ++r) rows += row(r); // about 1.3 MB: several of the reader's pieces
    const fs::path mixed = MakePackage("walked-mixed", {{"xl/worksheets/sheet1.xml", sheet(rows)}});
    const std::string walked = outcome(mixed, true);
    EXPECT_EQ(walked.substr(0, 3), "ok ") << walked.substr(0, 300);
    EXPECT_NE(walked.find("部<10>"), std::string::npos);
    EXPECT_EQ(walked, outcome(mixed, false));

    // Faults: a cell's (a reference outside its row) and the markup's (an end tag that ends nothing), in one
    // piece or in two, in either order.
    const std::string badCell = "<row r=\"%\"><c r=\"A1\"><v>1</v></c></row>";
    const std::string badMarkup = "<row r=\"%\"><c r=\"A%\"><v>1</v></c></x></row>";
    const auto at = [&](std::string text, int r) {
        for (std::size_t i; (i = text.find('%')) != std::string::npos;) text.replace(i, 1, std::to_string(r));
        return text;
    };
    const struct {
        int first, second;
        bool cellFirst;
    } faults[] = {{100, 200, true}, {100, 200, false}, {100, 4000, true}, {3000, 3100, true}, {2, 8990, false}, {5000, 5100, true}};
    int i = 0;
    for (const auto& f : faults) {
        std::string faulty;
        for (int r = 1; r <= 9000; ++r) {
            if (r == f.first) {
                faulty += at(f.cellFirst ? badCell : badMarkup, r);
            } else if (r == f.second) {
                faulty += at(f.cellFirst ? badMarkup : badCell, r);
            } else {
                faulty += row(r);
            }
        }
        const fs::path path = MakePackage("walked-fault-" + std::to_string(i++), {{"xl/worksheets/sheet1.xml", sheet(faulty)}});
        const std::string told = outcome(path, false);
        SCOPED_TRACE(told.substr(0, 200));
        EXPECT_EQ(told.substr(0, 7), "failed ");
        EXPECT_EQ(outcome(path, true), told);
    }
}

} // namespace
} // namespace gridvane
