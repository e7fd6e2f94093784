// gridvane-excel-standin: an out-of-process stand-in for the running spreadsheet ("Excel.Application"),
// serving one sheet described in a text file (see selection.sheet) through automation objects built from
// a type library of the spreadsheet's member names and parameters.
//
//   gridvane-excel-standin --register | --unregister
//   gridvane-excel-standin [--sheet FILE] [--workbook NAME] [--delay-us N] [--busy-ms N | --busy-forever]
//                          [--busy-code rejected|retrylater|object-model] [--english-only] [--no-rot]
//                          [--no-native-om] [--show]
//
// While it runs, its Application is in the running-object table under Excel's class, and a top-level
// window of class XLMAIN exists (--no-rot: only the window, as a spreadsheet running with higher rights
// looks to us), holding a desk (XLDESK) with the workbook's window (EXCEL7). The workbook's window answers
// WM_GETOBJECT for OBJID_NATIVEOM with its Window object, whose Application is the application, as the
// spreadsheet's windows do for accessibility clients (not with --no-native-om or --no-rot). --workbook
// names the workbook instead of the sheet file (and so the main window's title: "Microsoft Excel - NAME"),
// to tell several instances apart; --show shows the main window once the application serves.
// Application.GvControl(command) changes the switches while it runs (see Server::Control).
#include "AutomationStandIn.h"

#include <oleacc.h>

#include <cmath>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <map>
#include <optional>
#include <set>
#include <sstream>
#include <string>

namespace gridvane::standin {
namespace {

// Excel's class, as registered by the real application.
constexpr GUID kClsidExcel{0x00024500, 0x0000, 0x0000, {0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46}};
constexpr GUID kLibId{0x6a1f1c52, 0x4b1e, 0x4e0b, {0x9d, 0x6e, 0x47, 0x72, 0x69, 0x64, 0x76, 0x01}};
constexpr GUID kIidApplication{0x000208D5, 0x0000, 0x0000, {0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46}};
constexpr GUID kIidWorkbook{0x000208DA, 0x0000, 0x0000, {0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46}};
constexpr GUID kIidWorksheet{0x000208D8, 0x0000, 0x0000, {0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46}};
constexpr GUID kIidRange{0x00020846, 0x0000, 0x0000, {0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46}};
constexpr GUID kIidFont{0x0002084D, 0x0000, 0x0000, {0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46}};
constexpr GUID kIidBorders{0x00020855, 0x0000, 0x0000, {0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46}};
constexpr GUID kIidBorder{0x00020854, 0x0000, 0x0000, {0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46}};
constexpr GUID kIidDisplayFormat{0x000244C2, 0x0000, 0x0000, {0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46}};
constexpr GUID kIidWindow{0x00020893, 0x0000, 0x0000, {0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46}};

// The members the import uses, with the spreadsheet's own DISPIDs.
std::vector<KindDef> ExcelKinds()
{
    return {
        {L"Application", kIidApplication,
         {{L"ScreenUpdating", Shape::Get, 0x17E},
          {L"ScreenUpdating", Shape::PutBool, 0x17E},
          {L"ActiveSheet", Shape::Get, 0x133},
          {L"ActiveWorkbook", Shape::Get, 0x134},
          {L"Selection", Shape::Get, 0x93},
          {L"Hwnd", Shape::Get, 0x7C4},
          {L"ActiveWindow", Shape::Get, 0x2F7},
          {L"GvControl", Shape::CallTextGet, 0x6000, L"Command"}}},
        {L"Workbook", kIidWorkbook, {{L"Name", Shape::Get, 0x6E}}},
        {L"Worksheet", kIidWorksheet, {{L"Name", Shape::Get, 0x6E}, {L"Range", Shape::GetCells, 0xC5, L"Cell1", L"Cell2"}}},
        {L"Range", kIidRange,
         {{L"Row", Shape::Get, 0x101},
          {L"Column", Shape::Get, 0xF0},
          {L"Rows", Shape::Get, 0x102},
          {L"Columns", Shape::Get, 0xF1},
          {L"Count", Shape::Get, 0x76},
          {L"ColumnWidth", Shape::Get, 0xF2},
          {L"RowHeight", Shape::Get, 0x110},
          {L"HorizontalAlignment", Shape::Get, 0x88},
          {L"Font", Shape::Get, 0x92},
          {L"Text", Shape::Get, 0x8A},
          {L"Value2", Shape::Get, 0x56C},
          {L"Borders", Shape::Get, 0x1B3},
          {L"MergeCells", Shape::Get, 0xD0},
          {L"MergeArea", Shape::Get, 0x2A9},
          {L"Left", Shape::Get, 0x7F},
          {L"Top", Shape::Get, 0x7E},
          // The range reads.
          {L"Item", Shape::GetCells, 0xAA, L"RowIndex", L"ColumnIndex"},
          {L"Cells", Shape::Get, 0xEE},
          {L"Address", Shape::Get, 0xEC},
          {L"NumberFormat", Shape::Get, 0xC1},
          {L"DisplayFormat", Shape::Get, 0xA80}}},
        {L"Font", kIidFont, {{L"Size", Shape::Get, 0x68}}},
        {L"DisplayFormat", kIidDisplayFormat, {{L"NumberFormat", Shape::Get, 0xC1}}},
        {L"Borders", kIidBorders, {{L"Item", Shape::GetIndex, 0xAA, L"Index"}, {L"Count", Shape::Get, 0x76}}},
        {L"Border", kIidBorder, {{L"LineStyle", Shape::Get, 0x77}}},
        {L"Window", kIidWindow,
         {{L"Application", Shape::Get, 0x94}, {L"Caption", Shape::Get, 0x8B}, {L"DisplayFormulas", Shape::Get, 0x284}}},
    };
}

constexpr LONG kLineNone = -4142;

struct Rect {
    int r1 = 1, c1 = 1, r2 = 1, c2 = 1;
    bool Holds(int r, int c) const { return r >= r1 && r <= r2 && c >= c1 && c <= c2; }
};

struct CellData {
    enum class Kind { Empty, Text, Number, Boolean, Error } kind = Kind::Empty;
    std::wstring text;     // as displayed
    std::wstring string;   // Text values
    double number = 0;
    bool boolean = false;
    LONG align = 1;        // xlGeneral
    double size = -1;      // -1: the sheet's font size; NaN: mixed (null)
    LONG borders[11] = {kLineNone, kLineNone, kLineNone, kLineNone, kLineNone, kLineNone,
                        kLineNone, kLineNone, kLineNone, kLineNone, kLineNone}; // by Borders index
    std::wstring format = L"General"; // NumberFormat
    LONG error = 0;                   // the cell error number of an error value (2007 for #DIV/0!)
};

// The cell error numbers of the object model (XlCVError) by their texts.
LONG ErrorNumber(const std::wstring& text)
{
    static const std::map<std::wstring, LONG> numbers = {
        {L"#NULL!", 2000}, {L"#DIV/0!", 2007}, {L"#VALUE!", 2015}, {L"#REF!", 2023},
        {L"#NAME?", 2029}, {L"#NUM!", 2036},   {L"#N/A", 2042},    {L"#SPILL!", 2045}};
    const auto it = numbers.find(text);
    return it != numbers.end() ? it->second : 2015;
}

struct Sheet {
    std::wstring workbook = L"Book1.xlsx";
    std::wstring name = L"Sheet1";
    Rect selection;
    std::wstring moreAreas; // ",E5:F6": the selection's further areas
    bool displayFormulas = false;
    double fontSize = 11;
    std::map<int, double> widths;  // ColumnWidth, characters
    std::map<int, double> heights; // points
    std::vector<Rect> merges;
    std::map<std::pair<int, int>, CellData> cells;

    double Width(int c) const
    {
        const auto it = widths.find(c);
        return it != widths.end() ? it->second : 8.43;
    }
    double Height(int r) const
    {
        const auto it = heights.find(r);
        return it != heights.end() ? it->second : 15;
    }
    // Excel's column pixels for a width in characters of the default font (7 pixels a digit, 5 of padding).
    static double Pixels(double width) { return width > 0 ? std::trunc(width * 7 + 5 + 0.5) : 0; }
    double Left(int c) const
    {
        double px = 0;
        for (int i = 1; i < c; ++i)
            px += Pixels(Width(i));
        return px * 0.75;
    }
    double Top(int r) const
    {
        double pt = 0;
        for (int i = 1; i < r; ++i)
            pt += Height(i);
        return pt;
    }
    Rect MergeOf(int r, int c, bool& merged) const
    {
        for (const Rect& m : merges)
            if (m.Holds(r, c)) {
                merged = true;
                return m;
            }
        merged = false;
        return {r, c, r, c};
    }
};

std::wstring FromUtf8(const std::string& s)
{
    if (s.empty())
        return {};
    const int n = MultiByteToWideChar(CP_UTF8, 0, s.data(), static_cast<int>(s.size()), nullptr, 0);
    std::wstring w(static_cast<std::size_t>(n), L'\0');
    MultiByteToWideChar(CP_UTF8, 0, s.data(), static_cast<int>(s.size()), w.data(), n);
    return w;
}

std::wstring Unescape(const std::wstring& s)
{
    std::wstring out;
    for (std::size_t i = 0; i < s.size(); ++i) {
        if (s[i] == L'\\' && i + 1 < s.size()) {
            const wchar_t n = s[++i];
            out += n == L'n' ? L'\n' : n == L't' ? L'\t' : n;
        } else {
            out += s[i];
        }
    }
    return out;
}

// "B12" -> row 12, column 2.
bool ParseCell(const std::wstring& a, int& r, int& c)
{
    std::size_t i = 0;
    c = 0;
    while (i < a.size() && iswalpha(a[i]))
        c = c * 26 + (towupper(a[i++]) - L'A' + 1);
    if (c == 0 || i == a.size())
        return false;
    r = _wtoi(a.c_str() + i);
    return r > 0;
}

bool ParseRect(const std::wstring& a, Rect& rect)
{
    const auto colon = a.find(L':');
    if (!ParseCell(a.substr(0, colon), rect.r1, rect.c1))
        return false;
    if (colon == std::wstring::npos) {
        rect.r2 = rect.r1;
        rect.c2 = rect.c1;
        return true;
    }
    return ParseCell(a.substr(colon + 1), rect.r2, rect.c2);
}

int ColumnOf(const std::wstring& letters)
{
    int c = 0;
    for (wchar_t ch : letters)
        c = c * 26 + (towupper(ch) - L'A' + 1);
    return c;
}

LONG LineStyle(const std::wstring& style)
{
    if (style == L"thin" || style == L"medium" || style == L"thick" || style == L"hair") return 1; // xlContinuous
    if (style == L"dashed" || style == L"mediumDashed") return -4115;                              // xlDash
    if (style == L"dotted") return -4118;                                                          // xlDot
    if (style == L"double") return -4119;                                                          // xlDouble
    return kLineNone;
}

std::vector<std::wstring> Fields(const std::wstring& line)
{
    std::vector<std::wstring> out;
    std::size_t start = 0;
    for (;;) {
        const auto tab = line.find(L'\t', start);
        out.push_back(line.substr(start, tab == std::wstring::npos ? std::wstring::npos : tab - start));
        if (tab == std::wstring::npos)
            return out;
        start = tab + 1;
    }
}

bool LoadSheet(const std::wstring& path, Sheet& sheet)
{
    std::ifstream in(std::filesystem::path(path), std::ios::binary);
    if (!in)
        return false;
    std::string raw;
    while (std::getline(in, raw)) {
        if (!raw.empty() && raw.back() == '\r')
            raw.pop_back();
        const std::wstring line = FromUtf8(raw);
        if (line.empty() || line[0] == L'#')
            continue;
        const std::vector<std::wstring> f = Fields(line);
        const std::wstring& what = f[0];
        if (what == L"workbook" && f.size() > 1) {
            sheet.workbook = Unescape(f[1]);
        } else if (what == L"sheet" && f.size() > 1) {
            sheet.name = Unescape(f[1]);
        } else if (what == L"selection" && f.size() > 1) {
            // Several areas apart by commas, as the spreadsheet's Address lists them.
            const auto comma = f[1].find(L',');
            ParseRect(f[1].substr(0, comma), sheet.selection);
            if (comma != std::wstring::npos)
                sheet.moreAreas = f[1].substr(comma);
        } else if (what == L"display-formulas") {
            sheet.displayFormulas = true;
        } else if (what == L"font" && f.size() > 1) {
            sheet.fontSize = _wtof(f[1].c_str());
        } else if (what == L"columns" || what == L"rows") {
            for (std::size_t i = 1; i < f.size(); ++i) {
                const auto colon = f[i].find(L':');
                if (colon == std::wstring::npos)
                    continue;
                const double v = _wtof(f[i].c_str() + colon + 1);
                if (what == L"columns")
                    sheet.widths[ColumnOf(f[i].substr(0, colon))] = v;
                else
                    sheet.heights[_wtoi(f[i].c_str())] = v;
            }
        } else if (what == L"merge" && f.size() > 1) {
            Rect m;
            if (ParseRect(f[1], m))
                sheet.merges.push_back(m);
        } else if (what == L"cell" && f.size() > 1) {
            int r = 0, c = 0;
            if (!ParseCell(f[1], r, c))
                continue;
            CellData& cell = sheet.cells[{r, c}];
            for (std::size_t i = 2; i < f.size(); ++i) {
                const std::wstring& field = f[i];
                if (field.rfind(L"s:", 0) == 0) {
                    cell.kind = CellData::Kind::Text;
                    cell.string = cell.text = Unescape(field.substr(2));
                } else if (field.rfind(L"n:", 0) == 0) {
                    cell.kind = CellData::Kind::Number;
                    cell.number = _wtof(field.c_str() + 2);
                    if (cell.text.empty())
                        cell.text = field.substr(2);
                } else if (field.rfind(L"b:", 0) == 0) {
                    cell.kind = CellData::Kind::Boolean;
                    cell.boolean = field.substr(2) == L"TRUE";
                    cell.text = cell.boolean ? L"TRUE" : L"FALSE";
                } else if (field.rfind(L"e:", 0) == 0) {
                    cell.kind = CellData::Kind::Error;
                    cell.text = field.substr(2);
                    cell.error = ErrorNumber(cell.text);
                } else if (field.rfind(L"fmt=", 0) == 0) {
                    cell.format = Unescape(field.substr(4));
                } else if (field.rfind(L"text=", 0) == 0) {
                    cell.text = Unescape(field.substr(5));
                } else if (field.rfind(L"align=", 0) == 0) {
                    const std::wstring a = field.substr(6);
                    cell.align = a == L"left" ? -4131 : a == L"center" ? -4108 : a == L"right" ? -4152 : 1;
                } else if (field.rfind(L"size=", 0) == 0) {
                    cell.size = field.substr(5) == L"mixed" ? NAN : _wtof(field.c_str() + 5);
                } else {
                    const auto eq = field.find(L'=');
                    if (eq == std::wstring::npos)
                        continue;
                    const std::wstring edge = field.substr(0, eq);
                    const LONG style = LineStyle(field.substr(eq + 1));
                    const int index = edge == L"top" ? 8 : edge == L"bottom" ? 9 : edge == L"left" ? 7
                                    : edge == L"right" ? 10 : edge == L"down" ? 5 : edge == L"up" ? 6 : 0;
                    if (index != 0)
                        cell.borders[index] = style;
                }
            }
        }
    }
    return true;
}

Server server;
Sheet sheet;
HWND mainWindow = nullptr;
bool screenUpdating = true;
std::vector<bool> screenUpdatingWrites;

HRESULT I4(LONG v, VARIANT* result)
{
    result->vt = VT_I4;
    result->lVal = v;
    return S_OK;
}

HRESULT R8(double v, VARIANT* result)
{
    result->vt = VT_R8;
    result->dblVal = v;
    return S_OK;
}

HRESULT Str(const std::wstring& v, VARIANT* result)
{
    result->vt = VT_BSTR;
    result->bstrVal = SysAllocStringLen(v.data(), static_cast<UINT>(v.size()));
    return S_OK;
}

HRESULT Bool(bool v, VARIANT* result)
{
    result->vt = VT_BOOL;
    result->boolVal = v ? VARIANT_TRUE : VARIANT_FALSE;
    return S_OK;
}

const CellData& CellAt(int r, int c)
{
    static const CellData empty;
    const auto it = sheet.cells.find({r, c});
    return it != sheet.cells.end() ? it->second : empty;
}

HRESULT Null(VARIANT* result)
{
    result->vt = VT_NULL;
    return S_OK;
}

// What a range answers for a property of its cells: the one value they share, or null (std::nullopt).
template <class T, class Of>
std::optional<T> Common(const Rect& rect, Of of)
{
    std::optional<T> first;
    for (int r = rect.r1; r <= rect.r2; ++r) {
        for (int c = rect.c1; c <= rect.c2; ++c) {
            const T v = of(r, c);
            if (!first)
                first = v;
            else if (!(v == *first))
                return std::nullopt;
        }
    }
    return first;
}

// A cell's answer to Borders(index): its own edge; a range's, the edges of the cells along its outline, the
// edges that meet inside it (each cell's right and its neighbour's left, each bottom and the top below) and
// each cell's diagonals, as one line style or null.
std::optional<LONG> BorderOf(const Rect& rect, int index)
{
    const auto edge = [](int which) { return [which](int r, int c) { return CellAt(r, c).borders[which]; }; };
    const auto both = [](const std::optional<LONG>& a, const std::optional<LONG>& b) {
        return a && b && *a == *b ? a : std::nullopt;
    };
    const Rect& x = rect;
    switch (index) {
    case 8: return Common<LONG>(Rect{x.r1, x.c1, x.r1, x.c2}, edge(8));
    case 9: return Common<LONG>(Rect{x.r2, x.c1, x.r2, x.c2}, edge(9));
    case 7: return Common<LONG>(Rect{x.r1, x.c1, x.r2, x.c1}, edge(7));
    case 10: return Common<LONG>(Rect{x.r1, x.c2, x.r2, x.c2}, edge(10));
    case 5:
    case 6: return Common<LONG>(x, edge(index));
    case 11:
        if (x.c1 == x.c2) return kLineNone;
        return both(Common<LONG>(Rect{x.r1, x.c1, x.r2, x.c2 - 1}, edge(10)), Common<LONG>(Rect{x.r1, x.c1 + 1, x.r2, x.c2}, edge(7)));
    default: // 12
        if (x.r1 == x.r2) return kLineNone;
        return both(Common<LONG>(Rect{x.r1, x.c1, x.r2 - 1, x.c2}, edge(9)), Common<LONG>(Rect{x.r1 + 1, x.c1, x.r2, x.c2}, edge(8)));
    }
}

class BorderObject : public Behaviour {
public:
    BorderObject(Rect rect, LONG index) : rect_(rect), index_(index) {}
    HRESULT Answer(const std::wstring&, const CallArgs&, VARIANT* result) override
    {
        const std::optional<LONG> style = BorderOf(rect_, index_);
        return style ? I4(*style, result) : Null(result);
    }

private:
    Rect rect_;
    LONG index_;
};

class BordersObject : public Behaviour {
public:
    explicit BordersObject(Rect rect) : rect_(rect) {}
    HRESULT Answer(const std::wstring& member, const CallArgs& args, VARIANT* result) override
    {
        if (member == L"Count")
            return I4(6, result);
        // XlBordersIndex: 5 to 12.
        if (args.index < 5 || args.index > 12)
            return DISP_E_BADINDEX;
        return ObjectResult(server, L"Border", std::make_unique<BorderObject>(rect_, args.index), result);
    }

private:
    Rect rect_;
};

class FontObject : public Behaviour {
public:
    explicit FontObject(Rect rect) : rect_(rect) {}
    HRESULT Answer(const std::wstring&, const CallArgs&, VARIANT* result) override
    {
        // A cell of characters of different sizes has none (NaN, never equal): nor has a range holding it.
        const auto size = Common<double>(rect_, [](int r, int c) {
            const double s = CellAt(r, c).size;
            return s < 0 ? sheet.fontSize : s;
        });
        return size && !std::isnan(*size) ? R8(*size, result) : Null(result);
    }

private:
    Rect rect_;
};

std::optional<std::wstring> FormatOf(const Rect& rect)
{
    return Common<std::wstring>(rect, [](int r, int c) { return CellAt(r, c).format; });
}

class DisplayFormatObject : public Behaviour {
public:
    explicit DisplayFormatObject(Rect rect) : rect_(rect) {}
    HRESULT Answer(const std::wstring&, const CallArgs&, VARIANT* result) override
    {
        // No conditional formats here: the displayed format is the cells' own.
        const std::optional<std::wstring> format = FormatOf(rect_);
        return format ? Str(*format, result) : Null(result);
    }

private:
    Rect rect_;
};

// Value2 of one cell, with the real VARIANT types (an error value as the spreadsheet hands it over).
void CellValue(int r, int c, VARIANT* result)
{
    VariantInit(result);
    const CellData& cell = CellAt(r, c);
    switch (cell.kind) {
    case CellData::Kind::Empty: break; // VT_EMPTY, as covered cells of a merged area are
    case CellData::Kind::Text: Str(cell.string, result); break;
    case CellData::Kind::Number: R8(cell.number, result); break;
    case CellData::Kind::Boolean: Bool(cell.boolean, result); break;
    case CellData::Kind::Error:
        result->vt = VT_ERROR;
        result->scode = static_cast<SCODE>(0x800A0000u | static_cast<ULONG>(cell.error));
        break;
    }
}

std::wstring AbsoluteName(int r, int c)
{
    std::wstring letters;
    for (int n = c; n > 0; n = (n - 1) / 26)
        letters.insert(letters.begin(), static_cast<wchar_t>(L'A' + (n - 1) % 26));
    return L"$" + letters + L"$" + std::to_wstring(r);
}

// A rectangle of cells, as the range itself, or as its collection of rows, columns or cells (Rows,
// Columns, Cells), whose Item picks one of them.
class RangeObject : public Behaviour {
public:
    enum class Collection { None, Rows, Columns, Cells };
    explicit RangeObject(Rect rect, Collection collection = Collection::None, bool selection = false)
        : rect_(rect), collection_(collection), selection_(selection)
    {
    }
    HRESULT Answer(const std::wstring& m, const CallArgs& args, VARIANT* result) override
    {
        const Rect& x = rect_;
        const int r = x.r1, c = x.c1;
        const bool one = x.r1 == x.r2 && x.c1 == x.c2;
        if (m == L"Row") return I4(r, result);
        if (m == L"Column") return I4(c, result);
        if (m == L"Rows" || m == L"Columns" || m == L"Cells") {
            const Collection kind = m == L"Rows" ? Collection::Rows : m == L"Columns" ? Collection::Columns : Collection::Cells;
            return ObjectResult(server, L"Range", std::make_unique<RangeObject>(x, kind), result);
        }
        if (m == L"Count") {
            const LONG rows = x.r2 - x.r1 + 1, cols = x.c2 - x.c1 + 1;
            return I4(collection_ == Collection::Rows ? rows : collection_ == Collection::Columns ? cols : rows * cols, result);
        }
        if (m == L"Item") return Item(args, result);
        if (m == L"ColumnWidth") {
            const auto w = Common<double>(Rect{r, x.c1, r, x.c2}, [](int, int col) { return sheet.Width(col); });
            return w ? R8(*w, result) : Null(result);
        }
        if (m == L"RowHeight") {
            const auto h = Common<double>(Rect{x.r1, c, x.r2, c}, [](int row, int) { return sheet.Height(row); });
            return h ? R8(*h, result) : Null(result);
        }
        if (m == L"HorizontalAlignment") {
            const auto a = Common<LONG>(x, [](int row, int col) { return CellAt(row, col).align; });
            return a ? I4(*a, result) : Null(result);
        }
        if (m == L"Font") return ObjectResult(server, L"Font", std::make_unique<FontObject>(x), result);
        if (m == L"Text") {
            const auto t = Common<std::wstring>(x, [](int row, int col) { return CellAt(row, col).text; });
            return t ? Str(*t, result) : Null(result);
        }
        if (m == L"Value2") {
            if (one) {
                CellValue(r, c, result);
                return S_OK;
            }
            return ValueArray(result);
        }
        if (m == L"Borders") return ObjectResult(server, L"Borders", std::make_unique<BordersObject>(x), result);
        if (m == L"MergeCells") {
            const auto merged = Common<bool>(x, [](int row, int col) {
                bool in = false;
                sheet.MergeOf(row, col, in);
                return in;
            });
            return merged ? Bool(*merged, result) : Null(result);
        }
        if (m == L"MergeArea") {
            bool merged = false;
            return ObjectResult(server, L"Range", std::make_unique<RangeObject>(sheet.MergeOf(r, c, merged)), result);
        }
        if (m == L"Left") return R8(sheet.Left(c), result);
        if (m == L"Top") return R8(sheet.Top(r), result);
        if (m == L"Address") {
            std::wstring a = AbsoluteName(x.r1, x.c1);
            if (!one) a += L":" + AbsoluteName(x.r2, x.c2);
            return Str(selection_ ? a + Absolute(sheet.moreAreas) : a, result);
        }
        if (m == L"NumberFormat") {
            const std::optional<std::wstring> format = FormatOf(x);
            return format ? Str(*format, result) : Null(result);
        }
        if (m == L"DisplayFormat") return ObjectResult(server, L"DisplayFormat", std::make_unique<DisplayFormatObject>(x), result);
        return DISP_E_MEMBERNOTFOUND;
    }

private:
    // Item(i) of the rows or columns, Item(r, c) of the cells (or Item(i) in reading order), from 1.
    HRESULT Item(const CallArgs& args, VARIANT* result)
    {
        const auto number = [](const VARIANT* v, LONG& out) {
            if (v == nullptr || (v->vt == VT_ERROR && v->scode == DISP_E_PARAMNOTFOUND))
                return false;
            VARIANT n;
            VariantInit(&n);
            if (FAILED(VariantChangeType(&n, const_cast<VARIANT*>(v), 0, VT_I4)))
                return false;
            out = n.lVal;
            return true;
        };
        LONG i = 0, j = 0;
        if (!number(args.cell1, i))
            return DISP_E_TYPEMISMATCH;
        const bool two = number(args.cell2, j);
        const Rect& x = rect_;
        const LONG rows = x.r2 - x.r1 + 1, cols = x.c2 - x.c1 + 1;
        Rect item;
        if (collection_ == Collection::Rows && !two) {
            item = Rect{x.r1 + i - 1, x.c1, x.r1 + i - 1, x.c2};
        } else if (collection_ == Collection::Columns && !two) {
            item = Rect{x.r1, x.c1 + i - 1, x.r2, x.c1 + i - 1};
        } else if (two) {
            item = Rect{x.r1 + i - 1, x.c1 + j - 1, x.r1 + i - 1, x.c1 + j - 1};
        } else {
            item = Rect{x.r1 + (i - 1) / cols, x.c1 + (i - 1) % cols, x.r1 + (i - 1) / cols, x.c1 + (i - 1) % cols};
        }
        if (i < 1 || (collection_ == Collection::Rows && !two && i > rows) || (collection_ == Collection::Columns && !two && i > cols))
            return DISP_E_BADINDEX;
        return ObjectResult(server, L"Range", std::make_unique<RangeObject>(item), result);
    }

    // A range of several cells answers Value2 as a two-dimensional array of VARIANTs, from 1.
    HRESULT ValueArray(VARIANT* result) const
    {
        const Rect& x = rect_;
        SAFEARRAYBOUND bounds[2] = {{static_cast<ULONG>(x.r2 - x.r1 + 1), 1}, {static_cast<ULONG>(x.c2 - x.c1 + 1), 1}};
        SAFEARRAY* array = SafeArrayCreate(VT_VARIANT, 2, bounds);
        if (array == nullptr)
            return E_OUTOFMEMORY;
        for (int r = x.r1; r <= x.r2; ++r) {
            for (int c = x.c1; c <= x.c2; ++c) {
                VARIANT v;
                CellValue(r, c, &v);
                LONG at[2] = {r - x.r1 + 1, c - x.c1 + 1};
                const HRESULT put = SafeArrayPutElement(array, at, &v);
                VariantClear(&v);
                if (FAILED(put)) {
                    SafeArrayDestroy(array);
                    return put;
                }
            }
        }
        result->vt = VT_ARRAY | VT_VARIANT;
        result->parray = array;
        return S_OK;
    }

    // ",E5:F6" as the spreadsheet writes further areas: ",$E$5:$F$6".
    static std::wstring Absolute(const std::wstring& areas)
    {
        std::wstring out;
        std::size_t start = 0;
        while (start < areas.size()) {
            std::size_t end = areas.find(L',', start + 1);
            if (end == std::wstring::npos)
                end = areas.size();
            Rect a;
            if (ParseRect(areas.substr(start + 1, end - start - 1), a)) {
                out += L"," + AbsoluteName(a.r1, a.c1);
                if (a.r1 != a.r2 || a.c1 != a.c2)
                    out += L":" + AbsoluteName(a.r2, a.c2);
            }
            start = end;
        }
        return out;
    }

    Rect rect_;
    Collection collection_;
    bool selection_;
};

class WorkbookObject : public Behaviour {
public:
    HRESULT Answer(const std::wstring&, const CallArgs&, VARIANT* result) override { return Str(sheet.workbook, result); }
};

class WorksheetObject : public Behaviour {
public:
    HRESULT Answer(const std::wstring& m, const CallArgs& args, VARIANT* result) override
    {
        if (m == L"Name")
            return Str(sheet.name, result);
        // Range(Cell1, [Cell2]): the import gives one A1 address and leaves the second corner out.
        if (args.cell1 == nullptr || args.cell1->vt != VT_BSTR)
            return DISP_E_TYPEMISMATCH;
        if (args.cell2 != nullptr && !(args.cell2->vt == VT_ERROR && args.cell2->scode == DISP_E_PARAMNOTFOUND))
            return E_INVALIDARG; // not what the import sends
        Rect rect;
        if (!ParseRect(std::wstring(args.cell1->bstrVal, SysStringLen(args.cell1->bstrVal)), rect))
            return DISP_E_EXCEPTION;
        return ObjectResult(server, L"Range", std::make_unique<RangeObject>(rect), result);
    }
};

// A window of the workbook: Application.ActiveWindow, or the workbook window's native object model.
class WindowObject : public Behaviour {
public:
    HRESULT Answer(const std::wstring& m, const CallArgs&, VARIANT* result) override
    {
        if (m == L"Caption")
            return Str(sheet.workbook, result);
        if (m == L"DisplayFormulas")
            return Bool(sheet.displayFormulas, result);
        if (server.application == nullptr)
            return RPC_E_DISCONNECTED;
        server.application->AddRef();
        result->vt = VT_DISPATCH;
        result->pdispVal = server.application;
        return S_OK;
    }
};

bool nativeObjectModel = true;

// The workbook's window: answers an accessibility client's request for the native object model.
LRESULT CALLBACK WorkbookWindowProc(HWND window, UINT message, WPARAM w, LPARAM l)
{
    if (message == WM_GETOBJECT && static_cast<LONG>(l) == static_cast<LONG>(OBJID_NATIVEOM) && nativeObjectModel &&
        server.application != nullptr) {
        IDispatch* object = NewObject(server, L"Window", std::make_unique<WindowObject>());
        if (object == nullptr)
            return 0;
        const LRESULT reference = LresultFromObject(IID_IDispatch, w, object);
        object->Release(); // the reference is the client's now
        return reference;
    }
    return DefWindowProcW(window, message, w, l);
}

// The desk and the workbook's window inside the main window, as the spreadsheet lays them out.
void CreateWorkbookWindow(HWND main)
{
    WNDCLASSW wc{};
    wc.lpfnWndProc = DefWindowProcW;
    wc.hInstance = GetModuleHandleW(nullptr);
    wc.lpszClassName = L"XLDESK";
    RegisterClassW(&wc);
    wc.lpfnWndProc = WorkbookWindowProc;
    wc.lpszClassName = L"EXCEL7";
    RegisterClassW(&wc);
    RECT area{};
    GetClientRect(main, &area);
    const HWND desk = CreateWindowExW(0, L"XLDESK", L"", WS_CHILD | WS_VISIBLE, 0, 0, area.right, area.bottom, main,
                                      nullptr, wc.hInstance, nullptr);
    CreateWindowExW(0, L"EXCEL7", sheet.workbook.c_str(), WS_CHILD | WS_VISIBLE, 0, 0, area.right, area.bottom, desk,
                    nullptr, wc.hInstance, nullptr);
}

class ApplicationObject : public Behaviour {
public:
    HRESULT Answer(const std::wstring& m, const CallArgs& args, VARIANT* result) override
    {
        if (m == L"ScreenUpdating") {
            if (result == nullptr) { // the write
                screenUpdating = args.flag;
                screenUpdatingWrites.push_back(args.flag);
                return S_OK;
            }
            return Bool(screenUpdating, result);
        }
        if (m == L"ActiveSheet") return ObjectResult(server, L"Worksheet", std::make_unique<WorksheetObject>(), result);
        if (m == L"ActiveWorkbook") return ObjectResult(server, L"Workbook", std::make_unique<WorkbookObject>(), result);
        if (m == L"Selection")
            return ObjectResult(server, L"Range",
                                std::make_unique<RangeObject>(sheet.selection, RangeObject::Collection::None, true), result);
        if (m == L"ActiveWindow") return ObjectResult(server, L"Window", std::make_unique<WindowObject>(), result);
        if (m == L"Hwnd") return I4(static_cast<LONG>(reinterpret_cast<LONG_PTR>(mainWindow)), result);
        if (m == L"GvControl") {
            std::wstring answer;
            if (args.text == L"screen-updating") {
                answer = screenUpdating ? L"on" : L"off";
            } else if (args.text == L"screen-updating-writes") {
                for (bool w : screenUpdatingWrites)
                    answer += w ? L"on " : L"off ";
            } else if (!server.Control(args.text, answer)) {
                return E_INVALIDARG;
            }
            return Str(answer, result);
        }
        return DISP_E_MEMBERNOTFOUND;
    }
};

} // namespace
} // namespace gridvane::standin

int wmain(int argc, wchar_t** argv)
{
    using namespace gridvane::standin;
    server.typeLibName = L"GridvaneExcelStandIn";
    server.libId = kLibId;
    server.kinds = ExcelKinds();

    std::wstring sheetPath = BesideExecutable(L".sheet");
    std::wstring workbook;
    bool rot = true;
    for (int i = 1; i < argc; ++i) {
        const std::wstring a = argv[i];
        const bool more = i + 1 < argc;
        if (a == L"--register") return Register(server, L"Excel.Application", kClsidExcel);
        if (a == L"--unregister") return Unregister(server, L"Excel.Application", kClsidExcel);
        if (ServerSwitch(server, i, argc, argv)) continue;
        if (a == L"--sheet" && more) sheetPath = argv[++i];
        else if (a == L"--workbook" && more) workbook = argv[++i];
        else if (a == L"--english-only") server.englishOnly = true;
        else if (a == L"--no-rot") rot = nativeObjectModel = false;
        else if (a == L"--no-native-om") nativeObjectModel = false;
        else {
            fwprintf(stderr, L"unknown argument %ls\n", argv[i]);
            return 2;
        }
    }
    if (!LoadSheet(sheetPath, sheet)) {
        fwprintf(stderr, L"%ls: cannot be read\n", sheetPath.c_str());
        return 1;
    }
    if (!workbook.empty())
        sheet.workbook = workbook;
    mainWindow = CreateMainWindow(L"XLMAIN", L"Microsoft Excel - " + sheet.workbook); // the spreadsheet's class
    CreateWorkbookWindow(mainWindow);
    return Serve(server, L"Application", std::make_unique<ApplicationObject>(), kClsidExcel, rot, mainWindow);
}
