#include "excel/xlsx/XlsxWorkbook.h"

#include <pugixml.hpp>

#include <algorithm>
#include <charconv>
#include <cmath>
#include <limits>
#include <numeric>
#include <map>
#include <type_traits>
#include <unordered_map>
#include <vector>

#include "base/Error.h"
#include "base/Utf.h"
#include "model/CellAddress.h"
#include "excel/xlsx/NumberFormat.h"
#include "excel/xlsx/XlsxPackage.h"

namespace gridvane {

namespace {

constexpr std::int32_t kMaxRow = 1048576;
constexpr std::int32_t kMaxCol = 16384;

// Alignment constants of HorizontalAlignment beyond left, centre and right.
constexpr int kXlHAlignGeneral = 1;
constexpr int kXlHAlignFill = 5;
constexpr int kXlHAlignJustify = -4130;
constexpr int kXlHAlignCenterAcross = 7;
constexpr int kXlHAlignDistributed = -4117;

// Line-style constants of Borders(index).LineStyle.
constexpr int kXlContinuous = 1;
constexpr int kXlDash = -4115;
constexpr int kXlDot = -4118;
constexpr int kXlDouble = -4119;
constexpr int kXlDashDot = 4;
constexpr int kXlDashDotDot = 5;
constexpr int kXlSlantDashDot = 13;

std::u16string U16(const char* utf8) { return FromUtf8(utf8 ? utf8 : ""); }

// ---- numbers in workbook parts ------------------------------------------------------------------
// XML Schema numbers, written with a full stop whatever the user's locale: read with from_chars (never the
// C library's locale, which a window may have set to one with a decimal comma), and the whole text must be
// the number, so that "12abc" is refused rather than read as 12.

std::string_view TrimXmlSpace(std::string_view s)
{
    const auto space = [](char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; };
    while (!s.empty() && space(s.front())) s.remove_prefix(1);
    while (!s.empty() && space(s.back())) s.remove_suffix(1);
    return s;
}

std::optional<double> XmlDouble(std::string_view text)
{
    text = TrimXmlSpace(text);
    if (text.size() > 1 && text[0] == '+' && text[1] != '-') text.remove_prefix(1);
    double v = 0;
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), v);
    if (text.empty() || ec != std::errc() || end != text.data() + text.size() || !std::isfinite(v)) return std::nullopt;
    return v;
}

std::optional<std::int64_t> XmlInteger(std::string_view text)
{
    text = TrimXmlSpace(text);
    if (text.size() > 1 && text[0] == '+' && text[1] != '-') text.remove_prefix(1);
    std::int64_t v = 0;
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), v);
    if (text.empty() || ec != std::errc() || end != text.data() + text.size()) return std::nullopt;
    return v;
}

// A value for a message, cut when long.
std::string Shown(std::string_view value)
{
    std::string shown = "\"";
    shown.append(value.substr(0, 40));
    shown.append(value.size() > 40 ? "...\"" : "\"");
    return shown;
}

// A description given as a text, or as a function that makes it only when a message needs it (a sheet
// may have millions of cells, and each would otherwise build its name).
template <class What>
std::string Describe(const What& what)
{
    if constexpr (std::is_invocable_v<const What&>) {
        return what();
    } else {
        return std::string(what);
    }
}

// Reads the attributes of one part, with messages naming the file, the part and the element.
class PartReader {
public:
    explicit PartReader(std::string where) : where_(std::move(where)) {}
    const std::string& Where() const { return where_; }

    [[noreturn]] void Fail(const std::string& problem) const { throw Error(where_ + ": " + problem); }

    // A number; fallback when the attribute is missing.
    template <class What>
    double Number(pugi::xml_attribute a, double fallback, const What& what) const
    {
        if (!a) return fallback;
        if (const auto v = XmlDouble(a.value())) return *v;
        Fail(Describe(what) + " has an invalid " + a.name() + " " + Shown(a.value()) + " (not a number)");
    }
    // A whole number; fallback when the attribute is missing.
    template <class What>
    std::int64_t Integer(pugi::xml_attribute a, std::int64_t fallback, const What& what) const
    {
        if (!a) return fallback;
        if (const auto v = XmlInteger(a.value())) return *v;
        Fail(Describe(what) + " has an invalid " + a.name() + " " + Shown(a.value()) + " (not a whole number)");
    }
    // An index into a list of the workbook (kind names the list: "the cell format", "the font"); 0 when the
    // attribute is missing. Negative, fractional and out-of-range indexes are refused.
    template <class What>
    std::uint32_t Index(pugi::xml_attribute a, std::size_t count, const What& what, const char* kind) const
    {
        if (!a) return 0;
        return Index(std::string_view(a.value()), count, what, kind);
    }
    template <class What>
    std::uint32_t Index(std::string_view text, std::size_t count, const What& what, const char* kind) const
    {
        const auto v = XmlInteger(text);
        if (!v) Fail(Describe(what) + " refers to " + kind + " " + Shown(text) + ", which is not an index");
        // Index 0 stands for the defaults also where a workbook leaves a list out.
        if (*v < 0 || (*v != 0 && static_cast<std::uint64_t>(*v) >= count)) {
            Fail(Describe(what) + " refers to " + kind + " " + std::to_string(*v) + ", which the workbook does not define");
        }
        return static_cast<std::uint32_t>(*v);
    }

private:
    std::string where_;
};

// "A1"-style name of a cell for messages.
std::string CellName(std::int32_t row, std::int32_t col)
{
    return ToUtf8(ColNoToLetters(col)) + std::to_string(row);
}

// Days from 1970-01-01 to the civil date y-m-d (proleptic Gregorian).
std::int64_t DaysFromCivil(std::int64_t y, unsigned m, unsigned d)
{
    y -= m <= 2;
    const std::int64_t era = (y >= 0 ? y : y - 399) / 400;
    const auto yoe = static_cast<unsigned>(y - era * 400);
    const unsigned doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
    const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + static_cast<std::int64_t>(doe) - 719468;
}

// The serial number of an ISO 8601 date and time ("2024-04-01", "2024-04-01T13:45:30.5", "13:45:00",
// with an optional zone, which a serial number has no place for); nothing when it is not one, or lies
// before the first day the date system counts.
std::optional<double> IsoDateSerial(std::string_view text, bool date1904)
{
    text = TrimXmlSpace(text);
    std::size_t i = 0;
    auto digits = [&](std::size_t n, int& out) {
        if (i + n > text.size()) return false;
        out = 0;
        for (std::size_t k = 0; k < n; ++k) {
            const char c = text[i + k];
            if (c < '0' || c > '9') return false;
            out = out * 10 + (c - '0');
        }
        i += n;
        return true;
    };
    auto expect = [&](char c) {
        if (i >= text.size() || text[i] != c) return false;
        ++i;
        return true;
    };
    double serial = 0;
    const bool hasDate = text.size() >= 10 && text[4] == '-';
    if (hasDate) {
        int y = 0, m = 0, d = 0;
        if (!digits(4, y) || !expect('-') || !digits(2, m) || !expect('-') || !digits(2, d)) return std::nullopt;
        static constexpr int kMonthDays[] = {31, 29, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
        if (m < 1 || m > 12 || d < 1 || d > kMonthDays[m - 1]) return std::nullopt;
        const bool leap = (y % 4 == 0 && y % 100 != 0) || y % 400 == 0;
        if (m == 2 && d == 29 && !leap) return std::nullopt;
        const std::int64_t days = DaysFromCivil(y, static_cast<unsigned>(m), static_cast<unsigned>(d));
        if (date1904) {
            serial = static_cast<double>(days - DaysFromCivil(1904, 1, 1));
        } else if (days >= DaysFromCivil(1900, 3, 1)) {
            serial = static_cast<double>(days - DaysFromCivil(1899, 12, 30)); // counts the 29th of February 1900
        } else {
            // Before March 1900; a time alone is written on the day before the first, 1899-12-30 or -31.
            serial = std::max<double>(0, static_cast<double>(days - DaysFromCivil(1899, 12, 31)));
            if (days < DaysFromCivil(1899, 12, 30)) return std::nullopt;
        }
        if (serial < 0) return std::nullopt;
        if (i < text.size() && !expect('T')) return std::nullopt;
    }
    if (i < text.size() && text[i] != 'Z' && text[i] != '+' && text[i] != '-') {
        int h = 0, mi = 0, sec = 0;
        if (!digits(2, h) || !expect(':') || !digits(2, mi)) return std::nullopt;
        double fraction = 0;
        if (expect(':')) {
            if (!digits(2, sec)) return std::nullopt;
            if (expect('.')) {
                double scale = 0.1;
                std::size_t start = i;
                while (i < text.size() && text[i] >= '0' && text[i] <= '9') fraction += (text[i++] - '0') * scale, scale /= 10;
                if (i == start) return std::nullopt;
            }
        }
        if (h > 24 || mi > 59 || sec > 59 || (h == 24 && (mi != 0 || sec != 0 || fraction != 0))) return std::nullopt;
        serial += (h * 3600.0 + mi * 60.0 + sec + fraction) / 86400.0;
    } else if (!hasDate) {
        return std::nullopt;
    }
    if (i < text.size()) {
        // A zone: Z, or +hh:mm / -hh:mm.
        int zh = 0, zm = 0;
        if (expect('Z')) {
        } else if ((expect('+') || expect('-')) && digits(2, zh) && expect(':') && digits(2, zm)) {
        } else {
            return std::nullopt;
        }
        if (i != text.size()) return std::nullopt;
    }
    return serial;
}

// Text in workbook parts escapes characters XML cannot carry as _xHHHH_.
std::u16string DecodeEscapes(std::u16string s)
{
    if (s.find(u"_x") == std::u16string::npos) return s;
    std::u16string out;
    out.reserve(s.size());
    auto hex = [](char16_t c) -> int {
        if (c >= u'0' && c <= u'9') return c - u'0';
        if (c >= u'a' && c <= u'f') return c - u'a' + 10;
        if (c >= u'A' && c <= u'F') return c - u'A' + 10;
        return -1;
    };
    for (std::size_t i = 0; i < s.size(); ++i) {
        if (s[i] == u'_' && i + 6 < s.size() && s[i + 1] == u'x' && s[i + 6] == u'_') {
            int v = 0;
            bool ok = true;
            for (std::size_t k = 2; k < 6; ++k) {
                const int h = hex(s[i + k]);
                if (h < 0) { ok = false; break; }
                v = v * 16 + h;
            }
            if (ok) {
                out += static_cast<char16_t>(v);
                i += 6;
                continue;
            }
        }
        out += s[i];
    }
    return out;
}

std::string PartDir(const std::string& part)
{
    const auto slash = part.rfind('/');
    return slash == std::string::npos ? std::string() : part.substr(0, slash + 1);
}

std::string RelsOf(const std::string& part)
{
    const auto slash = part.rfind('/');
    if (slash == std::string::npos) return "_rels/" + part + ".rels";
    return part.substr(0, slash + 1) + "_rels/" + part.substr(slash + 1) + ".rels";
}

// A relationship target resolved against the folder of its source part, "/" meaning the package root.
std::string ResolveTarget(const std::string& sourceDir, const std::string& target)
{
    std::string joined = !target.empty() && target[0] == '/' ? target.substr(1) : sourceDir + target;
    std::vector<std::string> parts;
    std::size_t start = 0;
    while (start <= joined.size()) {
        const auto end = joined.find('/', start);
        const std::string piece = joined.substr(start, end == std::string::npos ? std::string::npos : end - start);
        if (piece == "..") {
            if (!parts.empty()) parts.pop_back();
        } else if (!piece.empty() && piece != ".") {
            parts.push_back(piece);
        }
        if (end == std::string::npos) break;
        start = end + 1;
    }
    std::string out;
    for (const auto& p : parts) {
        if (!out.empty()) out += '/';
        out += p;
    }
    return out;
}

// One XML part parsed in place: the tree points into the part's text, which it keeps (no second copy).
// Refuses parts whose tree would be too large and documents nested deeper than kMaxXmlDepth.
struct XmlPart {
    XmlPart(const XlsxPackage& package, const std::string& name);
    std::string data;
    pugi::xml_document doc;
};

XmlPart::XmlPart(const XlsxPackage& package, const std::string& name) : data(package.Read(name))
{
    const std::uint64_t tree = 64 * static_cast<std::uint64_t>(std::count(data.begin(), data.end(), '<')) +
                               40 * static_cast<std::uint64_t>(std::count(data.begin(), data.end(), '='));
    if (tree > kMaxXmlTreeBytes) {
        throw Error(package.DisplayName() + ": the part " + name + " is too large to read (about " +
                    std::to_string(tree >> 20) + " MiB once parsed; at most " + std::to_string(kMaxXmlTreeBytes >> 20) +
                    " MiB)");
    }
    // Document type declarations are parsed (not skipped) so that a part holding one can be refused:
    // workbook parts never have one, and its entities are a way to smuggle in content or references.
    const pugi::xml_parse_result result =
        doc.load_buffer_inplace(data.data(), data.size(), pugi::parse_default | pugi::parse_doctype, pugi::encoding_auto);
    if (!result) {
        throw Error(package.DisplayName() + ": the part " + name + " is not well-formed XML (" + result.description() +
                    " at offset " + std::to_string(result.offset) + ")");
    }
    struct DepthWalker : pugi::xml_tree_walker {
        bool doctype = false;
        bool for_each(pugi::xml_node& node) override
        {
            if (node.type() == pugi::node_doctype) doctype = true;
            return !doctype && depth() < kMaxXmlDepth;
        }
    } walker;
    const bool walked = doc.traverse(walker);
    if (walker.doctype) {
        throw Error(package.DisplayName() + ": the part " + name +
                    " has a document type declaration (<!DOCTYPE>), which workbook parts never have; refused");
    }
    if (!walked) {
        throw Error(package.DisplayName() + ": the part " + name + " is nested deeper than " + std::to_string(kMaxXmlDepth) +
                    " levels");
    }
}

std::map<std::string, std::pair<std::string, std::string>> ReadRels(const XlsxPackage& package, const std::string& part)
{
    std::map<std::string, std::pair<std::string, std::string>> rels; // id -> (target, type)
    const std::string relsName = RelsOf(part);
    if (!package.Has(relsName)) return rels;
    XmlPart xml(package, relsName);
    const pugi::xml_document& doc = xml.doc;
    for (pugi::xml_node r : doc.child("Relationships").children("Relationship")) {
        if (std::string(r.attribute("TargetMode").as_string()) == "External") continue;
        rels[r.attribute("Id").as_string()] = {ResolveTarget(PartDir(part), r.attribute("Target").as_string()),
                                                r.attribute("Type").as_string()};
    }
    return rels;
}

bool EndsWith(const std::string& s, const std::string& tail)
{
    return s.size() >= tail.size() && s.compare(s.size() - tail.size(), tail.size(), tail) == 0;
}

// "B12" (with optional $ signs) -> row 12, column 2; false when it is not a cell reference in the sheet.
bool ParseCellRef(std::string_view ref, std::int32_t& row, std::int32_t& col)
{
    std::size_t i = 0;
    if (i < ref.size() && ref[i] == '$') ++i;
    std::int64_t c = 0;
    std::size_t letters = 0;
    while (i < ref.size() && ((ref[i] >= 'A' && ref[i] <= 'Z') || (ref[i] >= 'a' && ref[i] <= 'z'))) {
        c = c * 26 + ((ref[i] & ~0x20) - 'A' + 1);
        if (c > kMaxCol) return false;
        ++i, ++letters;
    }
    if (i < ref.size() && ref[i] == '$') ++i;
    std::int64_t r = 0;
    std::size_t digits = 0;
    while (i < ref.size() && ref[i] >= '0' && ref[i] <= '9') {
        r = r * 10 + (ref[i] - '0');
        if (r > kMaxRow) return false;
        ++i, ++digits;
    }
    if (i != ref.size() || letters == 0 || digits == 0 || r < 1) return false;
    row = static_cast<std::int32_t>(r);
    col = static_cast<std::int32_t>(c);
    return true;
}

struct Area {
    std::int32_t r1 = 1, c1 = 1, r2 = 1, c2 = 1;
};

// A column name alone ("C", "$C") or a row number alone ("5", "$5"), within the sheet.
bool ParseColumnName(std::string_view text, std::int32_t& col)
{
    std::int32_t row = 0;
    if (text.empty() || text.back() < 'A' || (text.back() > 'Z' && text.back() < 'a') || text.back() > 'z') return false;
    return ParseCellRef(std::string(text) + "1", row, col);
}

bool ParseRowNumber(std::string_view text, std::int32_t& row)
{
    std::int32_t col = 0;
    if (!text.empty() && text[0] == '$') text.remove_prefix(1);
    if (text.empty() || text[0] < '0' || text[0] > '9') return false;
    std::string ref = "A";
    ref.append(text);
    return ParseCellRef(ref, row, col);
}

// "B2:D5", "B2", "A:C" (whole columns), "3:5" (whole rows); false otherwise, and for mixtures such as
// "B2:D" or "B2:5", which name no range.
bool ParseArea(std::string_view text, Area& area)
{
    const auto colon = text.find(':');
    const std::string_view a = text.substr(0, colon);
    const std::string_view b = colon == std::string_view::npos ? a : text.substr(colon + 1);
    if (ParseCellRef(a, area.r1, area.c1) && ParseCellRef(b, area.r2, area.c2)) {
        // nothing to complete
    } else if (colon == std::string_view::npos) {
        return false;
    } else if (ParseColumnName(a, area.c1) && ParseColumnName(b, area.c2)) {
        area.r1 = 1, area.r2 = kMaxRow;
    } else if (ParseRowNumber(a, area.r1) && ParseRowNumber(b, area.r2)) {
        area.c1 = 1, area.c2 = kMaxCol;
    } else {
        return false;
    }
    if (area.r1 > area.r2) std::swap(area.r1, area.r2);
    if (area.c1 > area.c2) std::swap(area.c1, area.c2);
    return true;
}

int BorderStyleConstant(const char* style)
{
    const std::string s = style ? style : "";
    if (s.empty() || s == "none") return kXlLineStyleNone;
    if (s == "dashed" || s == "mediumDashed") return kXlDash;
    if (s == "dotted") return kXlDot;
    if (s == "double") return kXlDouble;
    if (s == "dashDot" || s == "mediumDashDot") return kXlDashDot;
    if (s == "dashDotDot" || s == "mediumDashDotDot") return kXlDashDotDot;
    if (s == "slantDashDot") return kXlSlantDashDot;
    return kXlContinuous; // thin, medium, thick, hair
}

int AlignmentConstant(const char* horizontal)
{
    const std::string h = horizontal ? horizontal : "";
    if (h == "left") return kXlHAlignLeft;
    if (h == "center") return kXlHAlignCenter;
    if (h == "right") return kXlHAlignRight;
    if (h == "fill") return kXlHAlignFill;
    if (h == "justify") return kXlHAlignJustify;
    if (h == "centerContinuous") return kXlHAlignCenterAcross;
    if (h == "distributed") return kXlHAlignDistributed;
    return kXlHAlignGeneral;
}

struct Font {
    double size = 11;
    std::u16string name;
};

struct Border {
    int left = kXlLineStyleNone, right = kXlLineStyleNone, top = kXlLineStyleNone, bottom = kXlLineStyleNone;
    int diagonal = kXlLineStyleNone;
    bool diagonalUp = false, diagonalDown = false;
};

struct Xf {
    int numFmtId = 0;
    std::size_t fontId = 0;
    std::size_t borderId = 0;
    int horizontal = kXlHAlignGeneral;
    std::u16string formatCode; // of numFmtId; empty for General
};

struct RichString {
    std::u16string text;
    std::vector<double> runSizes; // sizes given by runs
    bool runWithoutSize = false;  // a run takes the cell's font size
    bool rich = false;
};

enum class CellKind : std::uint8_t { Empty, Number, Shared, Inline, Boolean, Error, Text };

struct Cell {
    std::uint32_t style = 0;
    CellKind kind = CellKind::Empty;
    std::uint32_t index = 0; // shared string index, or index into the sheet's own strings
    double number = 0;       // Number; Boolean as 0/1
};

struct RowInfo {
    std::int32_t row = 0;
    double height = 0; // points, as shown (0 when hidden)
    bool hasHeight = false;
    std::uint32_t style = 0;
    bool customFormat = false;
};

struct ColInfo {
    std::int32_t min = 0, max = 0;
    double width = 0;
    bool hasWidth = false;
    bool hidden = false;
    std::uint32_t style = 0;
};

std::uint64_t Key(std::int32_t row, std::int32_t col)
{
    return (static_cast<std::uint64_t>(row) << 16) | static_cast<std::uint64_t>(col);
}

class Workbook;

class Sheet {
public:
    Sheet(const Workbook& book, const XlsxPackage& package, const std::string& part, std::u16string name);

    const std::u16string& Name() const { return name_; }
    Area SavedSelection() const { return selection_; }
    const Cell* Find(std::int32_t row, std::int32_t col) const
    {
        const auto it = cells_.find(Key(row, col));
        return it == cells_.end() ? nullptr : &it->second;
    }
    std::uint32_t StyleOf(std::int32_t row, std::int32_t col) const { return StyleOf(row, col, Find(row, col)); }
    std::uint32_t StyleOf(std::int32_t row, std::int32_t col, const Cell* cell) const;
    double ColumnWidth(std::int32_t col) const;
    double RowHeight(std::int32_t row) const;
    double Left(std::int32_t col) const { return colLeftPx_[static_cast<std::size_t>(col - 1)] * 0.75; }
    double Top(std::int32_t row) const;
    // The merged area holding the cell, or -1; the area of a merge by its index.
    long MergeIndex(std::int32_t row, std::int32_t col) const;
    const Area& Merge(long id) const { return merges_[static_cast<std::size_t>(id)]; }
    const std::u16string& OwnString(std::uint32_t i) const { return strings_[i]; }
    const RichString& OwnRich(std::uint32_t i) const { return inline_[i]; }

private:

    // Merged cells indexed one by one (about 50 bytes each), and the areas beyond that looked up by a scan.
    static constexpr std::int64_t kMergeIndexBudget = 2'000'000;
    static constexpr std::size_t kMaxUnindexedMerges = 256;
    int ColumnPixels(std::int32_t col) const;
    const ColInfo* Col(std::int32_t col) const;

    const Workbook& book_;
    std::u16string name_;
    std::unordered_map<std::uint64_t, Cell> cells_;
    std::unordered_map<std::int32_t, RowInfo> rows_;
    std::vector<std::pair<std::int32_t, double>> rowDeltas_; // sorted rows with their height - default
    std::vector<double> rowDeltaSums_;                       // prefix sums of the deltas
    std::vector<ColInfo> cols_;
    std::vector<std::int32_t> colIndex_; // by column: its element in cols_, or -1
    std::vector<double> colLeftPx_; // left edge of each column in pixels
    std::vector<Area> merges_;
    std::unordered_map<std::uint64_t, long> mergeCells_; // cell -> merge, for areas of moderate size
    std::vector<long> bigMerges_;                        // areas too large to index cell by cell
    std::vector<std::u16string> strings_;
    std::vector<RichString> inline_;
    double defaultRowHeight_ = 15;
    std::optional<double> defaultColWidth_;
    int baseColWidth_ = 8;
    Area selection_;
};

class Workbook {
public:
    explicit Workbook(const std::filesystem::path& path);

    const XlsxPackage& Package() const { return package_; }
    const std::u16string& FileName() const { return fileName_; }
    std::size_t SheetCount() const { return sheets_.size(); }
    std::size_t ActiveTab() const { return activeTab_; }
    std::optional<std::size_t> FindSheet(std::u16string_view name) const
    {
        for (std::size_t i = 0; i < sheets_.size(); ++i)
            if (sheets_[i].name == name) return i;
        return std::nullopt;
    }
    std::unique_ptr<Sheet> LoadSheet(std::size_t index) const;

    std::size_t XfCount() const { return xfs_.size(); }
    const Xf& XfOf(std::uint32_t style) const { return style < xfs_.size() ? xfs_[style] : defaultXf_; }
    const Font& FontOf(const Xf& xf) const { return xf.fontId < fonts_.size() ? fonts_[xf.fontId] : defaultFont_; }
    const Border& BorderOf(const Xf& xf) const { return xf.borderId < borders_.size() ? borders_[xf.borderId] : noBorder_; }
    std::u16string FormatCode(int numFmtId) const
    {
        const auto it = numFmts_.find(numFmtId);
        return it != numFmts_.end() ? it->second : BuiltinNumberFormatCode(numFmtId);
    }
    const RichString* Shared(std::uint32_t i) const { return i < shared_.size() ? &shared_[i] : nullptr; }
    std::size_t SharedCount() const { return shared_.size(); }
    bool Date1904() const { return date1904_; }
    double MaxDigitWidth() const { return mdw_; }
    NumberFormatter& Formatter() const { return *formatter_; }

private:
    struct SheetEntry {
        std::u16string name;
        std::string part;
        bool worksheet = true;
    };
    void ReadStyles(const std::string& part);
    void ReadSharedStrings(const std::string& part);

    XlsxPackage package_;
    std::u16string fileName_;
    std::vector<SheetEntry> sheets_;
    std::size_t activeTab_ = 0;
    bool date1904_ = false;
    std::vector<Font> fonts_;
    std::vector<Border> borders_;
    std::vector<Xf> xfs_;
    std::map<int, std::u16string> numFmts_;
    std::vector<RichString> shared_;
    Xf defaultXf_;
    Font defaultFont_;
    Border noBorder_;
    double mdw_ = 7;
    std::unique_ptr<NumberFormatter> formatter_;
};

template <class What>
RichString ReadRich(pugi::xml_node si, const PartReader& reader, const What& what)
{
    RichString s;
    if (pugi::xml_node t = si.child("t")) s.text = DecodeEscapes(U16(t.text().get()));
    for (pugi::xml_node r : si.children("r")) {
        s.rich = true;
        s.text += DecodeEscapes(U16(r.child("t").text().get()));
        pugi::xml_node sz = r.child("rPr").child("sz");
        if (sz) {
            s.runSizes.push_back(reader.Number(sz.attribute("val"), 11, [&] { return Describe(what) + ": a run's font size"; }));
        } else {
            s.runWithoutSize = true;
        }
    }
    return s; // phonetic runs (rPh) are not part of the text
}

Workbook::Workbook(const std::filesystem::path& path)
    : package_(path), fileName_(FromUtf8(path.filename().string()))
{
    std::string workbookPart = "xl/workbook.xml";
    for (const auto& [id, rel] : ReadRels(package_, "")) {
        if (EndsWith(rel.second, "/officeDocument")) workbookPart = rel.first;
    }
    if (!package_.Has(workbookPart)) throw Error(package_.DisplayName() + ": not a workbook (no workbook part)");
    XmlPart xml(package_, workbookPart);
    const pugi::xml_document& doc = xml.doc;
    pugi::xml_node wb = doc.child("workbook");
    if (!wb) throw Error(package_.DisplayName() + ": not a workbook (the workbook part has no workbook)");
    date1904_ = wb.child("workbookPr").attribute("date1904").as_bool(false);
    const PartReader reader(package_.DisplayName() + ": " + workbookPart);
    const std::int64_t tab = reader.Integer(wb.child("bookViews").child("workbookView").attribute("activeTab"), 0, "the workbook view");
    activeTab_ = tab < 0 ? 0 : static_cast<std::size_t>(tab); // past the last sheet: the first, as the spreadsheet does

    const auto rels = ReadRels(package_, workbookPart);
    for (pugi::xml_node s : wb.child("sheets").children("sheet")) {
        SheetEntry e;
        e.name = U16(s.attribute("name").as_string());
        const auto it = rels.find(s.attribute("r:id").as_string());
        if (it != rels.end()) {
            e.part = it->second.first;
            e.worksheet = EndsWith(it->second.second, "/worksheet");
        } else {
            e.worksheet = false;
        }
        sheets_.push_back(std::move(e));
    }
    if (sheets_.empty()) throw Error(package_.DisplayName() + ": the workbook has no sheets");
    formatter_ = std::make_unique<NumberFormatter>(date1904_);
    for (const auto& [id, rel] : rels) {
        if (EndsWith(rel.second, "/styles")) ReadStyles(rel.first);
        if (EndsWith(rel.second, "/sharedStrings")) ReadSharedStrings(rel.first);
    }
}

void Workbook::ReadStyles(const std::string& part)
{
    if (!package_.Has(part)) return;
    XmlPart xml(package_, part);
    const pugi::xml_document& doc = xml.doc;
    pugi::xml_node ss = doc.child("styleSheet");
    const PartReader reader(package_.DisplayName() + ": " + part);
    for (pugi::xml_node f : ss.child("numFmts").children("numFmt")) {
        const std::int64_t id = reader.Integer(f.attribute("numFmtId"), -1, "a number format");
        if (id < std::numeric_limits<int>::min() || id > std::numeric_limits<int>::max()) {
            reader.Fail("a number format has an invalid numFmtId " + std::to_string(id));
        }
        numFmts_[static_cast<int>(id)] = DecodeEscapes(U16(f.attribute("formatCode").as_string()));
    }
    for (pugi::xml_node f : ss.child("fonts").children("font")) {
        Font font;
        font.size = reader.Number(f.child("sz").attribute("val"), 11, "the font " + std::to_string(fonts_.size()));
        font.name = U16(f.child("name").attribute("val").as_string());
        fonts_.push_back(std::move(font));
    }
    for (pugi::xml_node b : ss.child("borders").children("border")) {
        Border border;
        border.left = BorderStyleConstant(b.child("left").attribute("style").as_string());
        border.right = BorderStyleConstant(b.child("right").attribute("style").as_string());
        border.top = BorderStyleConstant(b.child("top").attribute("style").as_string());
        border.bottom = BorderStyleConstant(b.child("bottom").attribute("style").as_string());
        border.diagonal = BorderStyleConstant(b.child("diagonal").attribute("style").as_string());
        border.diagonalUp = b.attribute("diagonalUp").as_bool(false);
        border.diagonalDown = b.attribute("diagonalDown").as_bool(false);
        borders_.push_back(border);
    }
    for (pugi::xml_node x : ss.child("cellXfs").children("xf")) {
        Xf xf;
        const std::string what = "the cell format " + std::to_string(xfs_.size());
        const std::int64_t numFmtId = reader.Integer(x.attribute("numFmtId"), 0, what);
        xf.numFmtId = numFmtId < 0 || numFmtId > std::numeric_limits<int>::max() ? -1 : static_cast<int>(numFmtId);
        xf.fontId = reader.Index(x.attribute("fontId"), fonts_.size(), what, "the font");
        xf.borderId = reader.Index(x.attribute("borderId"), borders_.size(), what, "the border");
        xf.horizontal = AlignmentConstant(x.child("alignment").attribute("horizontal").as_string());
        xf.formatCode = FormatCode(xf.numFmtId);
        xfs_.push_back(xf);
    }
    // The Normal style's font sets the width of one digit, the unit of column widths.
    const std::size_t normalFont =
        reader.Index(ss.child("cellStyleXfs").child("xf").attribute("fontId"), fonts_.size(), "the Normal style", "the font");
    const Font normal = normalFont < fonts_.size() ? fonts_[normalFont] : Font{};
    struct Known {
        const char16_t* name;
        double mdw;
    };
    static const Known kKnown[] = {{u"Calibri", 7}, {u"ＭＳ Ｐゴシック", 8}, {u"ＭＳ ゴシック", 8},
                                   {u"游ゴシック", 8}, {u"メイリオ", 8}, {u"Arial", 7}};
    double base = 7;
    for (const Known& k : kKnown)
        if (normal.name == k.name) base = k.mdw;
    mdw_ = std::max(1.0, std::round(base * normal.size / 11.0));
}

void Workbook::ReadSharedStrings(const std::string& part)
{
    if (!package_.Has(part)) return;
    XmlPart xml(package_, part);
    const pugi::xml_document& doc = xml.doc;
    const PartReader reader(package_.DisplayName() + ": " + part);
    for (pugi::xml_node si : doc.child("sst").children("si")) {
        const std::size_t index = shared_.size();
        shared_.push_back(ReadRich(si, reader, [index] { return "the shared string " + std::to_string(index); }));
    }
}

std::unique_ptr<Sheet> Workbook::LoadSheet(std::size_t index) const
{
    if (index >= sheets_.size()) throw Error(package_.DisplayName() + ": the active sheet does not exist");
    const SheetEntry& e = sheets_[index];
    if (!e.worksheet || e.part.empty()) {
        throw Error(package_.DisplayName() + ": the sheet \"" + ToUtf8(e.name) + "\" is not a worksheet");
    }
    return std::make_unique<Sheet>(*this, package_, e.part, e.name);
}

Sheet::Sheet(const Workbook& book, const XlsxPackage& package, const std::string& part, std::u16string name)
    : book_(book), name_(std::move(name))
{
    XmlPart xml(package, part);
    const pugi::xml_document& doc = xml.doc;
    pugi::xml_node ws = doc.child("worksheet");
    if (!ws) throw Error(package.DisplayName() + ": the part " + part + " is not a worksheet");
    const std::string where = package.DisplayName() + ": " + part;

    const PartReader reader(where);

    pugi::xml_node fmt = ws.child("sheetFormatPr");
    defaultRowHeight_ = reader.Number(fmt.attribute("defaultRowHeight"), 15, "the sheet's format");
    if (pugi::xml_attribute dcw = fmt.attribute("defaultColWidth")) defaultColWidth_ = reader.Number(dcw, 0, "the sheet's format");
    const std::int64_t base = reader.Integer(fmt.attribute("baseColWidth"), 8, "the sheet's format");
    baseColWidth_ = base < 0 || base > 255 ? 8 : static_cast<int>(base);

    // Column elements: each a run of columns within the sheet's 16384, at most one element per column.
    for (pugi::xml_node c : ws.child("cols").children("col")) {
        if (cols_.size() >= static_cast<std::size_t>(kMaxCol)) {
            reader.Fail("the sheet has more column elements (<col>) than its " + std::to_string(kMaxCol) + " columns");
        }
        const std::string what = "the column element " + std::to_string(cols_.size() + 1);
        const std::int64_t min = reader.Integer(c.attribute("min"), 0, what);
        const std::int64_t max = reader.Integer(c.attribute("max"), min, what);
        if (min < 1 || max < min || max > kMaxCol) {
            reader.Fail(what + " spans the columns " + std::to_string(min) + " to " + std::to_string(max) +
                        ", outside the sheet's columns 1 to " + std::to_string(kMaxCol));
        }
        ColInfo ci;
        ci.min = static_cast<std::int32_t>(min);
        ci.max = static_cast<std::int32_t>(max);
        ci.hasWidth = static_cast<bool>(c.attribute("width"));
        ci.width = reader.Number(c.attribute("width"), 0, what);
        ci.hidden = c.attribute("hidden").as_bool(false);
        ci.style = reader.Index(c.attribute("style"), book_.XfCount(), what, "the cell format");
        cols_.push_back(ci);
    }
    // Each column's element, the first that covers it; each column is visited once, whatever the overlaps.
    colIndex_.assign(static_cast<std::size_t>(kMaxCol) + 1, -1);
    {
        std::vector<std::int32_t> nextFree(static_cast<std::size_t>(kMaxCol) + 2);
        std::iota(nextFree.begin(), nextFree.end(), 0);
        const auto find = [&](std::int32_t c) {
            while (nextFree[static_cast<std::size_t>(c)] != c) {
                auto& n = nextFree[static_cast<std::size_t>(c)];
                n = nextFree[static_cast<std::size_t>(n)];
                c = n;
            }
            return c;
        };
        for (std::size_t i = 0; i < cols_.size(); ++i) {
            for (std::int32_t c = find(cols_[i].min); c <= cols_[i].max; c = find(c + 1)) {
                colIndex_[static_cast<std::size_t>(c)] = static_cast<std::int32_t>(i);
                nextFree[static_cast<std::size_t>(c)] = c + 1;
            }
        }
    }

    std::int32_t lastRow = 0;
    for (pugi::xml_node row : ws.child("sheetData").children("row")) {
        RowInfo ri;
        if (pugi::xml_attribute r = row.attribute("r")) {
            const auto number = XmlInteger(r.value());
            if (!number || *number < 1 || *number > kMaxRow) {
                reader.Fail("a row has an invalid number " + Shown(r.value()));
            }
            ri.row = static_cast<std::int32_t>(*number);
        } else {
            ri.row = lastRow + 1;
            if (ri.row > kMaxRow) reader.Fail("the sheet has more rows than " + std::to_string(kMaxRow));
        }
        lastRow = ri.row;
        const auto rowWhat = [&ri] { return "row " + std::to_string(ri.row); };
        const bool hidden = row.attribute("hidden").as_bool(false);
        if (hidden || row.attribute("ht")) {
            ri.hasHeight = true;
            ri.height = reader.Number(row.attribute("ht"), defaultRowHeight_, rowWhat);
            if (hidden) ri.height = 0;
        }
        ri.style = reader.Index(row.attribute("s"), book_.XfCount(), rowWhat, "the cell format");
        ri.customFormat = row.attribute("customFormat").as_bool(false);
        rows_[ri.row] = ri;

        std::int32_t lastCol = 0;
        for (pugi::xml_node c : row.children("c")) {
            std::int32_t r = ri.row, col = lastCol + 1;
            if (pugi::xml_attribute ref = c.attribute("r")) {
                if (!ParseCellRef(ref.as_string(), r, col) || r != ri.row) {
                    throw Error(where + ": row " + std::to_string(ri.row) + " has an invalid cell reference \"" +
                                ref.as_string() + "\"");
                }
            }
            if (col > kMaxCol) throw Error(where + ": row " + std::to_string(ri.row) + " has too many cells");
            lastCol = col;
            const auto what = [&r, &col] { return "cell " + CellName(r, col); };
            Cell cell;
            cell.style = reader.Index(c.attribute("s"), book_.XfCount(), what, "the cell format");
            const std::string t = c.attribute("t").as_string("n");
            pugi::xml_node v = c.child("v");
            const char* text = v.text().get();
            if (t == "s") {
                if (v) {
                    cell.kind = CellKind::Shared;
                    cell.index = reader.Index(text, book_.SharedCount(), what, "the shared string");
                    if (book_.SharedCount() == 0) {
                        reader.Fail(what() + " refers to the shared string " + std::to_string(cell.index) +
                                    ", which the workbook does not define");
                    }
                }
            } else if (t == "inlineStr") {
                cell.kind = CellKind::Inline;
                cell.index = static_cast<std::uint32_t>(inline_.size());
                inline_.push_back(ReadRich(c.child("is"), reader, what));
            } else if (t == "b") {
                if (v) {
                    const std::string_view b = TrimXmlSpace(text);
                    if (b != "0" && b != "1" && b != "true" && b != "false") {
                        reader.Fail(what() + " has an invalid Boolean value " + Shown(text));
                    }
                    cell.kind = CellKind::Boolean, cell.number = b == "1" || b == "true";
                }
            } else if (t == "e" || t == "str") {
                if (v) {
                    cell.kind = t == "e" ? CellKind::Error : CellKind::Text;
                    cell.index = static_cast<std::uint32_t>(strings_.size());
                    strings_.push_back(DecodeEscapes(U16(text)));
                }
            } else if (t == "d") {
                // An ISO 8601 date: the spreadsheet holds it as its serial number and shows it through the
                // cell's format, like any date it has typed in.
                if (v && !TrimXmlSpace(text).empty()) {
                    const auto serial = IsoDateSerial(text, book_.Date1904());
                    if (!serial) reader.Fail(what() + " has an invalid date " + Shown(text) + " (or one before 1900)");
                    cell.kind = CellKind::Number, cell.number = *serial;
                }
            } else if (t == "n") {
                if (v && !TrimXmlSpace(text).empty()) {
                    const auto number = XmlDouble(text);
                    if (!number) reader.Fail(what() + " has an invalid number " + Shown(text));
                    cell.kind = CellKind::Number, cell.number = *number;
                }
            } else {
                reader.Fail(what() + " has an unknown type t=" + Shown(t));
            }
            cells_[Key(r, col)] = cell;
        }
    }

    for (const auto& [r, info] : rows_) {
        if (info.hasHeight) rowDeltas_.push_back({r, info.height - defaultRowHeight_});
    }
    std::sort(rowDeltas_.begin(), rowDeltas_.end());
    rowDeltaSums_.resize(rowDeltas_.size() + 1, 0);
    for (std::size_t i = 0; i < rowDeltas_.size(); ++i) rowDeltaSums_[i + 1] = rowDeltaSums_[i] + rowDeltas_[i].second;

    colLeftPx_.resize(kMaxCol + 1, 0);
    for (std::int32_t c = 1; c <= kMaxCol; ++c) colLeftPx_[static_cast<std::size_t>(c)] = colLeftPx_[static_cast<std::size_t>(c - 1)] + ColumnPixels(c);

    std::int64_t indexed = 0;
    for (pugi::xml_node m : ws.child("mergeCells").children("mergeCell")) {
        Area a;
        if (!ParseArea(m.attribute("ref").as_string(), a)) {
            throw Error(where + ": invalid merged area \"" + m.attribute("ref").as_string() + "\"");
        }
        const long id = static_cast<long>(merges_.size());
        merges_.push_back(a);
        const std::int64_t cells = static_cast<std::int64_t>(a.r2 - a.r1 + 1) * (a.c2 - a.c1 + 1);
        if (cells <= 4096 && indexed + cells <= kMergeIndexBudget) {
            indexed += cells;
            for (std::int32_t r = a.r1; r <= a.r2; ++r)
                for (std::int32_t c = a.c1; c <= a.c2; ++c) mergeCells_.emplace(Key(r, c), id);
        } else {
            // Each of these is tested for every cell looked up, so a sheet may have only a few.
            if (bigMerges_.size() >= kMaxUnindexedMerges) {
                throw Error(where + ": the sheet has more merged cells than can be read (" +
                            std::to_string(merges_.size()) + " merged areas)");
            }
            bigMerges_.push_back(id);
        }
    }

    // The saved selection: the active pane's of the first sheet view.
    pugi::xml_node view = ws.child("sheetViews").child("sheetView");
    const std::string activePane = view.child("pane").attribute("activePane").as_string("topLeft");
    pugi::xml_node chosen;
    for (pugi::xml_node s : view.children("selection")) {
        const std::string pane = s.attribute("pane").as_string("topLeft");
        if (pane == activePane) { chosen = s; break; }
        if (pane == "topLeft" && !chosen) chosen = s;
    }
    if (chosen) {
        std::string sqref = chosen.attribute("sqref").as_string("A1");
        sqref = sqref.substr(0, sqref.find(' '));
        if (!ParseArea(sqref, selection_)) selection_ = Area{};
    }
}

const ColInfo* Sheet::Col(std::int32_t col) const
{
    if (col < 1 || col > kMaxCol) return nullptr;
    const std::int32_t i = colIndex_[static_cast<std::size_t>(col)];
    return i < 0 ? nullptr : &cols_[static_cast<std::size_t>(i)];
}

int Sheet::ColumnPixels(std::int32_t col) const
{
    const double mdw = book_.MaxDigitWidth();
    auto fromWidth = [mdw](double w) {
        if (!(w > 0)) return 0;
        const double px = std::trunc(((256.0 * w + std::trunc(128.0 / mdw)) / 256.0) * mdw);
        return static_cast<int>(std::min(px, 1.0e6));
    };
    if (const ColInfo* c = Col(col)) {
        if (c->hidden || !c->hasWidth) return 0;
        return fromWidth(c->width);
    }
    if (defaultColWidth_) return fromWidth(*defaultColWidth_);
    const double px = baseColWidth_ * mdw + 5;
    return static_cast<int>(std::ceil(px / 8.0) * 8);
}

double Sheet::ColumnWidth(std::int32_t col) const
{
    const double mdw = book_.MaxDigitWidth();
    const int px = ColumnPixels(col);
    if (px <= 0) return 0;
    return std::max(0.0, std::trunc((px - 5) / mdw * 100 + 0.5) / 100);
}

double Sheet::RowHeight(std::int32_t row) const
{
    const auto it = rows_.find(row);
    if (it != rows_.end() && it->second.hasHeight) return it->second.height;
    return defaultRowHeight_;
}

double Sheet::Top(std::int32_t row) const
{
    const auto end = std::lower_bound(rowDeltas_.begin(), rowDeltas_.end(), std::make_pair(row, -1.0e300));
    return (row - 1) * defaultRowHeight_ + rowDeltaSums_[static_cast<std::size_t>(end - rowDeltas_.begin())];
}

std::uint32_t Sheet::StyleOf(std::int32_t row, std::int32_t col, const Cell* cell) const
{
    if (cell) return cell->style;
    const auto it = rows_.find(row);
    if (it != rows_.end() && it->second.customFormat) return it->second.style;
    if (const ColInfo* c = Col(col)) return c->style;
    return 0;
}

long Sheet::MergeIndex(std::int32_t row, std::int32_t col) const
{
    const auto it = mergeCells_.find(Key(row, col));
    if (it != mergeCells_.end()) return it->second;
    for (long id : bigMerges_) {
        const Area& a = merges_[static_cast<std::size_t>(id)];
        if (row >= a.r1 && row <= a.r2 && col >= a.c1 && col <= a.c2) return id;
    }
    return -1;
}


// ---- the automation objects over the index ---------------------------------------------------------

class XlsxRange : public XlRange {
public:
    XlsxRange(const Workbook& book, const Sheet& sheet, Area area) : book_(book), sheet_(sheet), area_(area) {}

    XlValue Row() override { return XlValue::Of(area_.r1); }
    XlValue Column() override { return XlValue::Of(area_.c1); }
    XlValue RowsCount() override { return XlValue::Of(static_cast<double>(area_.r2) - area_.r1 + 1); }
    XlValue ColumnsCount() override { return XlValue::Of(static_cast<double>(area_.c2) - area_.c1 + 1); }
    XlValue ColumnWidth() override { return XlValue::Of(sheet_.ColumnWidth(area_.c1)); }
    XlValue RowHeight() override { return XlValue::Of(sheet_.RowHeight(area_.r1)); }
    XlValue HorizontalAlignment() override { return XlValue::Of(Style().horizontal); }
    XlValue FontSize() override
    {
        const Xf& xf = Style();
        const double cellSize = book_.FontOf(xf).size;
        if (const RichString* rich = Rich(); rich && rich->rich) {
            std::vector<double> sizes = rich->runSizes;
            if (rich->runWithoutSize) sizes.push_back(cellSize);
            for (double s : sizes)
                if (s != sizes.front()) return XlValue::Null();
            if (!sizes.empty()) return XlValue::Of(sizes.front());
        }
        return XlValue::Of(cellSize);
    }
    std::u16string Text() override
    {
        const Cell* c = CellAt();
        if (!c) return {};
        const std::u16string& code = Style().formatCode;
        switch (c->kind) {
        case CellKind::Empty: return {};
        case CellKind::Number: return book_.Formatter().FormatNumber(c->number, code);
        case CellKind::Boolean: return NumberFormatter::FormatBoolean(c->number != 0);
        case CellKind::Error: return sheet_.OwnString(c->index);
        case CellKind::Text: return book_.Formatter().FormatText(sheet_.OwnString(c->index), code);
        case CellKind::Shared:
        case CellKind::Inline: {
            const RichString* rich = Rich();
            return book_.Formatter().FormatText(rich ? rich->text : std::u16string(), code);
        }
        }
        return {};
    }
    XlValue Value2() override
    {
        const Cell* c = CellAt();
        if (!c) return XlValue::Empty();
        switch (c->kind) {
        case CellKind::Empty: return XlValue::Empty();
        case CellKind::Number: return XlValue::Of(c->number);
        case CellKind::Boolean: return XlValue::OfBool(c->number != 0);
        case CellKind::Error: return XlValue::ErrorValue(sheet_.OwnString(c->index));
        case CellKind::Text: return XlValue::Of(sheet_.OwnString(c->index));
        case CellKind::Shared:
        case CellKind::Inline: {
            const RichString* rich = Rich();
            return XlValue::Of(rich ? rich->text : std::u16string());
        }
        }
        return XlValue::Empty();
    }
    XlValue BorderLineStyle(int index) override
    {
        const Border& b = book_.BorderOf(Style());
        switch (index) {
        case kXlEdgeTop: return XlValue::Of(b.top);
        case kXlEdgeBottom: return XlValue::Of(b.bottom);
        case kXlEdgeLeft: return XlValue::Of(b.left);
        case kXlEdgeRight: return XlValue::Of(b.right);
        case kXlDiagonalDown: return XlValue::Of(b.diagonalDown ? b.diagonal : kXlLineStyleNone);
        case kXlDiagonalUp: return XlValue::Of(b.diagonalUp ? b.diagonal : kXlLineStyleNone);
        default: throw Error("Borders(" + std::to_string(index) + "): no such border");
        }
    }
    XlValue MergeCells() override { return XlValue::OfBool(MergeId() >= 0); }
    std::unique_ptr<XlRange> MergeArea() override
    {
        const long id = MergeId();
        return std::make_unique<XlsxRange>(book_, sheet_, id >= 0 ? sheet_.Merge(id) : Area{area_.r1, area_.c1, area_.r1, area_.c1});
    }
    XlValue Left() override { return XlValue::Of(sheet_.Left(area_.c1)); }
    XlValue Top() override { return XlValue::Of(sheet_.Top(area_.r1)); }

private:
    // What the import asks of one cell about a dozen times is looked up once per range.
    const Cell* CellAt()
    {
        if (!cellKnown_) cell_ = sheet_.Find(area_.r1, area_.c1), cellKnown_ = true;
        return cell_;
    }
    const Xf& Style()
    {
        if (!xf_) xf_ = &book_.XfOf(sheet_.StyleOf(area_.r1, area_.c1, CellAt()));
        return *xf_;
    }
    long MergeId()
    {
        if (mergeId_ == kUnknown) mergeId_ = sheet_.MergeIndex(area_.r1, area_.c1);
        return mergeId_;
    }
    const RichString* Rich()
    {
        const Cell* c = CellAt();
        if (!c) return nullptr;
        if (c->kind == CellKind::Shared) {
            const RichString* s = book_.Shared(c->index);
            if (!s) {
                throw Error(CellName(area_.r1, area_.c1) + ": the shared string " + std::to_string(c->index) +
                            " does not exist");
            }
            return s;
        }
        if (c->kind == CellKind::Inline) return &sheet_.OwnRich(c->index);
        return nullptr;
    }

    static constexpr long kUnknown = -2;
    const Workbook& book_;
    const Sheet& sheet_;
    Area area_;
    const Cell* cell_ = nullptr;
    bool cellKnown_ = false;
    const Xf* xf_ = nullptr;
    long mergeId_ = kUnknown;
};

class XlsxWorksheet : public XlWorksheet {
public:
    XlsxWorksheet(const Workbook& book, const Sheet& sheet) : book_(book), sheet_(sheet) {}
    std::u16string Name() override { return sheet_.Name(); }
    std::unique_ptr<XlRange> Range(std::u16string_view address) override
    {
        Area a;
        std::int32_t r, c;
        if (!ParseCellRef(ToUtf8(address), r, c)) throw Error("Range(\"" + ToUtf8(address) + "\"): not a cell address");
        a = Area{r, c, r, c};
        return std::make_unique<XlsxRange>(book_, sheet_, a);
    }

private:
    const Workbook& book_;
    const Sheet& sheet_;
};

class XlsxApplication : public XlApplication {
public:
    XlsxApplication(const std::filesystem::path& path, const WorkbookChoice& choice) : book_(path)
    {
        std::size_t index = book_.ActiveTab();
        if (choice.sheet) {
            const auto found = book_.FindSheet(*choice.sheet);
            if (!found) {
                throw Error(book_.Package().DisplayName() + ": there is no sheet named \"" + ToUtf8(*choice.sheet) + "\"");
            }
            index = *found;
        }
        if (index >= book_.SheetCount()) index = 0;
        index_ = index;
        if (choice.range) {
            range_ = Area{};
            if (!ParseArea(ToUtf8(*choice.range), *range_)) {
                throw Error("\"" + ToUtf8(*choice.range) + "\" is not a range such as A1:D10");
            }
        }
    }

    void SetScreenUpdating(bool) override {}
    std::unique_ptr<XlWorksheet> ActiveSheet() override { return std::make_unique<XlsxWorksheet>(book_, Loaded()); }
    std::u16string ActiveWorkbookName() override { return book_.FileName(); }
    std::unique_ptr<XlRange> Selection() override
    {
        const Sheet& sheet = Loaded();
        return std::make_unique<XlsxRange>(book_, sheet, range_ ? *range_ : sheet.SavedSelection());
    }

private:
    // The active sheet is read when first asked for; a chartsheet is not a worksheet and fails here.
    const Sheet& Loaded()
    {
        if (!sheet_) sheet_ = book_.LoadSheet(index_);
        return *sheet_;
    }

    Workbook book_;
    std::size_t index_ = 0;
    std::optional<Area> range_;
    std::unique_ptr<Sheet> sheet_;
};

} // namespace

std::unique_ptr<XlApplication> OpenWorkbookAsApplication(const std::filesystem::path& path, const WorkbookChoice& choice)
{
    return std::make_unique<XlsxApplication>(path, choice);
}

} // namespace gridvane
