#include "xlsx/XlsxStyles.h"

#include <algorithm>
#include <cmath>
#include <string>

#include "base/Utf.h"
#include "excel/ColumnWidthUnits.h"
#include "xlsx/XlsxWorkbookFile.h"

namespace gridvane::xlsx {

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
    mdw_ = NormalFontDigitWidth(normal.name, normal.size);
}

} // namespace gridvane::xlsx
