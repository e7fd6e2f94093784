#include "excel/xlsx/XlsxSheet.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <numeric>

#include "base/Error.h"
#include "base/Utf.h"
#include "excel/xlsx/XlsxDates.h"
#include "excel/xlsx/XlsxWorkbookFile.h"

namespace gridvane::xlsx {

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

    ReadMerges(ws, where);

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

std::uint32_t Sheet::StyleOf(std::int32_t row, std::int32_t col, const Cell* cell) const
{
    if (cell) return cell->style;
    const auto it = rows_.find(row);
    if (it != rows_.end() && it->second.customFormat) return it->second.style;
    if (const ColInfo* c = Col(col)) return c->style;
    return 0;
}

} // namespace gridvane::xlsx
