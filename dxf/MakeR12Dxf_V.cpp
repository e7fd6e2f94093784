#include "dxf/MakeR12Dxf_V.h"

#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstring>

#include "base/Error.h"
#include "base/RealText.h"
#include "base/Utf.h"
#include "textconv/DrawingCodePage.h"

namespace gridvane {

namespace {

// Group-code lines: the code right-aligned in three characters.
constexpr std::u16string_view kEntity = u"  0";
constexpr std::u16string_view kName = u"  2";
constexpr std::u16string_view kText = u"  1";
constexpr std::u16string_view kTextStyle = u"  7";
constexpr std::u16string_view kLayer = u"  8";
constexpr std::u16string_view kLineType = u"  6";
constexpr std::u16string_view kVariable = u"  9";
constexpr std::u16string_view kString3 = u"  3";
constexpr std::u16string_view kX = u" 10";
constexpr std::u16string_view kY = u" 20";
constexpr std::u16string_view kZ = u" 30";
constexpr std::u16string_view kX2 = u" 11";
constexpr std::u16string_view kY2 = u" 21";
constexpr std::u16string_view kZ2 = u" 31";
constexpr std::u16string_view kHeight = u" 40";
constexpr std::u16string_view kWidthFactor = u" 41";
constexpr std::u16string_view kLineTypeScale = u" 48";
constexpr std::u16string_view kRotation = u" 50";
constexpr std::u16string_view kOblique = u" 51";
constexpr std::u16string_view kColor = u" 62";
constexpr std::u16string_view kEntitiesFollow = u" 66";
constexpr std::u16string_view kFlags = u" 70";
constexpr std::u16string_view kGenerationFlags = u" 71";
constexpr std::u16string_view kHorizontal = u" 72";
constexpr std::u16string_view kVertical = u" 73";

// Fixed values.
constexpr std::u16string_view kZeroReal = u"0.0";
constexpr std::u16string_view kOneReal = u"1.0";

void Pair(DxfLineList& list, std::u16string_view code, std::u16string_view value)
{
    list.Add(code);
    list.Add(value);
}

std::u16string Int(int v)
{
    const std::string s = std::to_string(v);
    return std::u16string(s.begin(), s.end());
}


} // namespace

// Two-letter codes: vertical from the first letter, horizontal from the second; one letter: horizontal.
void DecodeDxfJustification(std::u16string_view code, int& horizontal, int& vertical)
{
    auto h3 = [](char16_t c, int& h) {
        switch (c) {
        case u'L': h = 0; break;
        case u'C': h = 1; break;
        case u'R': h = 2; break;
        default: break;
        }
    };
    if (code.size() == 2) {
        switch (code[0]) {
        case u'B': vertical = 1; break;
        case u'M': vertical = 2; break;
        case u'T': vertical = 3; break;
        default: break;
        }
        h3(code[1], horizontal);
    } else if (code.size() == 1) {
        switch (code[0]) {
        case u'A': horizontal = 3; break;
        case u'M': horizontal = 4; break;
        case u'F': horizontal = 5; break;
        default: h3(code[0], horizontal); break;
        }
        vertical = 0;
    }
}

void DxfLineList::Clear()
{
    text_.clear();
    ends_.clear();
}

void DxfLineList::Add(std::u16string_view line)
{
    text_.append(line);
    ends_.push_back(text_.size());
}

void DxfLineList::Reserve(std::size_t lines, std::size_t units)
{
    ends_.reserve(lines);
    text_.reserve(units);
}

std::u16string_view DxfLineList::operator[](std::size_t i) const
{
    const std::size_t begin = i == 0 ? 0 : ends_[i - 1];
    return std::u16string_view(text_).substr(begin, ends_[i] - begin);
}

std::u16string FormatDxfReal(double value)
{
    if (!std::isfinite(value)) throw Error("a drawing coordinate or size is not a finite number");
    const std::string text = FormatReal15(value); // always a full stop, whatever the locale
    return std::u16string(text.begin(), text.end());
}

void DxfStart(DxfLineList& list)
{
    list.Clear();
    Pair(list, kEntity, u"SECTION");
    Pair(list, kName, u"HEADER");
    Pair(list, kVariable, u"$ACADVER");
    Pair(list, kText, u"AC1009");
    // Without this, readers decode an R12 file in a Western code page and garble every Japanese text.
    Pair(list, kVariable, u"$DWGCODEPAGE");
    Pair(list, kString3, DrawingCodePageName());
    Pair(list, kVariable, u"$CELTYPE");
    Pair(list, kLineType, u"BYLAYER");
    Pair(list, kVariable, u"$CECOLOR");
    Pair(list, kColor, u"256");
    Pair(list, kEntity, u"ENDSEC");
    Pair(list, kEntity, u"SECTION");
    Pair(list, kName, u"TABLES");
}

void DxfLtypeTable(DxfLineList& list)
{
    Pair(list, kEntity, u"TABLE");
    Pair(list, kName, u"LTYPE");
    Pair(list, kFlags, u"     2"); // maximum count, as written by the program since its first release
    Pair(list, kEntity, u"LTYPE");
    Pair(list, kName, u"CONTINUOUS");
    Pair(list, kFlags, u"     0");
    Pair(list, kString3, u"Solid line");
    Pair(list, kHorizontal, u"    65");
    Pair(list, kVertical, u"     0");
    Pair(list, kHeight, kZeroReal);
    Pair(list, kEntity, u"ENDTAB");
}

void DxfStartEntities(DxfLineList& list)
{
    Pair(list, kEntity, u"ENDSEC");
    Pair(list, kEntity, u"SECTION");
    Pair(list, kName, u"ENTITIES");
}

void DxfLine(DxfLineList& list, const TAcadPoint& start, const TAcadPoint& end, std::u16string_view layer,
             std::u16string_view lineType, int color)
{
    // Format first: a coordinate that cannot be written must not leave half a record behind.
    const std::u16string v[] = {FormatDxfReal(start.x), FormatDxfReal(start.y), FormatDxfReal(start.z),
                                FormatDxfReal(end.x),   FormatDxfReal(end.y),   FormatDxfReal(end.z)};
    Pair(list, kEntity, u"LINE");
    Pair(list, kLayer, layer);
    Pair(list, kLineType, lineType);
    Pair(list, kColor, Int(color));
    Pair(list, kLineTypeScale, kOneReal);
    Pair(list, kX, v[0]);
    Pair(list, kY, v[1]);
    Pair(list, kZ, v[2]);
    Pair(list, kX2, v[3]);
    Pair(list, kY2, v[4]);
    Pair(list, kZ2, v[5]);
}

void DxfPolyline(DxfLineList& list, std::vector<TAcadPoint> vertices, bool closed, std::u16string_view layer,
                 std::u16string_view lineType, int color)
{
    for (const TAcadPoint& p : vertices) {
        FormatDxfReal(p.x);
        FormatDxfReal(p.y);
    }
    Pair(list, kEntity, u"POLYLINE");
    Pair(list, kLayer, layer);
    Pair(list, kLineType, lineType);
    Pair(list, kColor, Int(color));
    Pair(list, kLineTypeScale, kOneReal);
    Pair(list, kEntitiesFollow, u"1");
    Pair(list, kX, kZeroReal);
    Pair(list, kY, kZeroReal);
    Pair(list, kZ, kZeroReal);
    Pair(list, kFlags, closed ? u"1" : u"0");
    for (const TAcadPoint& p : vertices) {
        Pair(list, kEntity, u"VERTEX");
        Pair(list, kLayer, layer);
        Pair(list, kX, FormatDxfReal(p.x));
        Pair(list, kY, FormatDxfReal(p.y));
        Pair(list, kZ, kZeroReal);
    }
    Pair(list, kEntity, u"SEQEND");
}

void DxfText(DxfLineList& list, std::u16string_view text, const TAcadPoint& first, const TAcadPoint& second,
             double height, double widthFactor, double rotation, int horizontal, int vertical,
             std::u16string_view justification, std::u16string_view layer, int color)
{
    DecodeDxfJustification(justification, horizontal, vertical);
    const std::u16string v[] = {FormatDxfReal(first.x),  FormatDxfReal(first.y),  FormatDxfReal(first.z),
                                FormatDxfReal(second.x), FormatDxfReal(second.y), FormatDxfReal(second.z),
                                FormatDxfReal(height),   FormatDxfReal(widthFactor), FormatDxfReal(rotation)};
    Pair(list, kEntity, u"TEXT");
    Pair(list, kLayer, layer);
    Pair(list, kTextStyle, u"STANDARD");
    Pair(list, kColor, Int(color));
    Pair(list, kX, v[0]);
    Pair(list, kY, v[1]);
    Pair(list, kZ, v[2]);
    Pair(list, kX2, v[3]);
    Pair(list, kY2, v[4]);
    Pair(list, kZ2, v[5]);
    Pair(list, kText, text);
    Pair(list, kHeight, v[6]);
    Pair(list, kWidthFactor, v[7]);
    Pair(list, kRotation, v[8]);
    Pair(list, kOblique, kZeroReal);
    Pair(list, kGenerationFlags, u"0");
    Pair(list, kHorizontal, Int(horizontal));
    Pair(list, kVertical, Int(vertical));
}

void DxfEnd(DxfLineList& list)
{
    Pair(list, kEntity, u"ENDSEC");
    Pair(list, kEntity, u"EOF");
}

TAcadPoint VarToAcadPoint(std::span<const double, 3> coords)
{
    return TAcadPoint{coords[0], coords[1], coords[2]};
}

bool VarToAcadPoints2D(std::span<const double> coords, std::span<TAcadPoint> points)
{
    if (coords.size() / 2 != points.size()) return false;
    for (std::size_t i = 0; i < points.size(); ++i) points[i] = TAcadPoint{coords[2 * i], coords[2 * i + 1], 0};
    return true;
}

AtomicFile CreateDxfFile(const std::filesystem::path& path)
{
    const std::string shown = path.string();
    return AtomicFile(path, [shown](const std::string& reason) {
        return "ファイル \"" + shown + "\" を作成できません。" + reason;
    });
}

void WriteDxfLineList(const DxfLineList& list, AtomicFile& file)
{
    // Encoded a block at a time: a large drawing never exists twice in memory.
    std::u16string block;
    const std::size_t n = list.Count();
    for (std::size_t i = 0; i < n; ++i) {
        block.append(list[i]);
        block.append(u"\r\n");
        if (block.size() >= 64 * 1024 || i + 1 == n) {
            file.Write(EncodeDrawingText(block));
            block.clear();
        }
    }
}

void SaveDxfLineList(const DxfLineList& list, const std::filesystem::path& path)
{
    AtomicFile file = CreateDxfFile(path);
    WriteDxfLineList(list, file);
    file.Commit();
}

} // namespace gridvane
