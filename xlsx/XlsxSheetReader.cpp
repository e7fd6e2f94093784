// The sheet part read in one pass, as it is decompressed: the sheet's format, its column and row
// records, the saved selection, the cells of the area kept and the merged areas.
#include <algorithm>
#include <atomic>
#include <cmath>
#include <cstring>
#include <numeric>

#include "base/Error.h"
#include "base/Utf.h"
#include "model/CellAddress.h"
#include "xlsx/XlsxDates.h"
#include "xlsx/XlsxSheet.h"
#include "xlsx/XlsxWorkbookFile.h"
#include "xlsx/XlsxXmlPiece.h"
#include "xlsx/XlsxXmlStream.h"

namespace gridvane::xlsx {

namespace {

enum class CellType : std::uint8_t { Number, Shared, Inline, Boolean, Error, Text, Date };

// name == word, compared here: the names of a sheet's elements are a letter or a few, met millions of times.
template <std::size_t N>
bool Named(std::string_view name, const char (&word)[N])
{
    if (name.size() != N - 1) return false;
    for (std::size_t i = 0; i + 1 < N; ++i)
        if (name[i] != word[i]) return false;
    return true;
}

// The cell types by their attribute value; none for another value.
std::optional<CellType> TypeNamed(std::string_view t)
{
    if (t.size() == 1) {
        switch (t[0]) {
        case 'n': return CellType::Number;
        case 's': return CellType::Shared;
        case 'b': return CellType::Boolean;
        case 'e': return CellType::Error;
        case 'd': return CellType::Date;
        default: return std::nullopt;
        }
    }
    if (Named(t, "str")) return CellType::Text;
    if (Named(t, "inlineStr")) return CellType::Inline;
    return std::nullopt;
}

// An attribute's value, or none.
using AttrValue = std::optional<std::string_view>;

std::atomic<bool> rowsWalked{true};

} // namespace

void SetSheetRowsWalked(bool walked) { rowsWalked = walked; }

class SheetReader : public XmlEvents {
public:
    SheetReader(Sheet& sheet, const Workbook& book, const std::string& file, const std::string& part,
                std::optional<Area> wanted)
        : sheet_(sheet), book_(book), reader_(file + ": " + part), where_(reader_.Where()), wanted_(wanted),
          notWorksheet_(file + ": the part " + part + " is not a worksheet")
    {
    }

    void Start(std::string_view name, const XmlAttrs& attrs, int depth) override
    {
        if (depth == 1) {
            if (!Named(name, "worksheet")) throw Error(notWorksheet_);
            return;
        }
        if (depth == 2) {
            StartSection(name, attrs);
            return;
        }
        switch (section_) {
        case Section::SheetViews:
            if (depth == 3 && Named(name, "sheetView") && !viewSeen_) viewSeen_ = true, inView_ = true;
            if (inView_ && depth == 4) ViewChild(name, attrs);
            break;
        case Section::Cols:
            if (depth == 3 && Named(name, "col")) Column(attrs);
            break;
        case Section::SheetData:
            if (depth == 3 && Named(name, "row")) {
                StartRow(attrs);
            } else if (inRow_ && depth == 4 && Named(name, "c")) {
                StartCell(attrs);
            } else if (inCell_ && depth == 5) {
                if (Named(name, "v") && !haveV_) haveV_ = true, inV_ = true, v_.clear();
                if (Named(name, "is") && !haveIs_) haveIs_ = true, inIs_ = true, rich_.Clear();
            } else if (inIs_) {
                rich_.Start(name, attrs, depth - 5, reader_, [this] { return CellWhat(); });
            }
            break;
        case Section::MergeCells:
            if (depth == 3 && Named(name, "mergeCell")) {
                const XmlAttr ref = attrs["ref"];
                Area a;
                if (!ParseArea(ref.value(), a)) throw Error(where_ + ": invalid merged area \"" + ref.value() + "\"");
                sheet_.AddMerge(a, where_);
            }
            break;
        case Section::None: break;
        }
    }

    void End(std::string_view, int depth) override
    {
        if (depth == 2) {
            if (section_ == Section::SheetViews) ChooseSelection();
            section_ = Section::None;
        } else if (section_ == Section::SheetViews && depth == 3) {
            inView_ = false;
        } else if (section_ == Section::SheetData) {
            if (depth == 3) {
                inRow_ = false;
            } else if (depth == 4 && inCell_) {
                EndCell(v_);
            } else if (depth == 5) {
                inV_ = false;
                if (inIs_) inIs_ = false, inline_ = rich_.Take();
            } else if (inIs_) {
                rich_.End(depth - 5);
            }
        }
    }

    void Text(std::string_view text, int depth) override
    {
        if (inV_ && depth == 5) {
            v_.append(text);
        } else if (inIs_ && depth > 5) {
            rich_.Text(text, depth - 5);
        }
    }

    XmlPieceWalker* PieceWalker() override
    {
        return section_ == Section::SheetData && rowsWalked ? &rowWalker_ : nullptr;
    }

    void Finish()
    {
        // Row heights in row order, the last record of a row counting where a row is given twice.
        auto& heights = sheet_.rowHeights_;
        if (!rowsInOrder_) {
            std::stable_sort(heights.begin(), heights.end(),
                             [](const auto& a, const auto& b) { return a.first < b.first; });
            std::size_t out = 0;
            for (std::size_t i = 0; i < heights.size(); ++i) {
                if (i + 1 < heights.size() && heights[i + 1].first == heights[i].first) continue;
                heights[out++] = heights[i];
            }
            heights.resize(out);
        }
        std::erase_if(heights, [](const auto& h) { return std::isnan(h.second); });
        sheet_.rowDeltaSums_.assign(heights.size() + 1, 0);
        for (std::size_t i = 0; i < heights.size(); ++i) {
            sheet_.rowDeltaSums_[i + 1] = sheet_.rowDeltaSums_[i] + (heights[i].second - sheet_.defaultRowHeight_);
        }
        IndexColumns();
    }

private:
    enum class Section : std::uint8_t { None, SheetViews, Cols, SheetData, MergeCells };

    void StartSection(std::string_view name, const XmlAttrs& attrs)
    {
        section_ = Section::None;
        Section s = Section::None;
        if (name == "sheetViews") s = Section::SheetViews;
        if (name == "cols") s = Section::Cols;
        if (name == "sheetData") s = Section::SheetData;
        if (name == "mergeCells") s = Section::MergeCells;
        if (name == "sheetFormatPr" && !formatSeen_) {
            formatSeen_ = true;
            SheetFormat(attrs);
        }
        if (s == Section::None) return;
        // Only the first of each counts, as in a tree's first child of that name.
        bool& seen = sectionsSeen_[static_cast<int>(s)];
        if (seen) return;
        seen = true;
        section_ = s;
        if (s == Section::SheetData) DecideKept();
    }

    void SheetFormat(const XmlAttrs& attrs)
    {
        sheet_.defaultRowHeight_ = reader_.Number(attrs["defaultRowHeight"], 15, "the sheet's format");
        if (const XmlAttr dcw = attrs["defaultColWidth"]) sheet_.defaultColWidth_ = reader_.Number(dcw, 0, "the sheet's format");
        const std::int64_t base = reader_.Integer(attrs["baseColWidth"], 8, "the sheet's format");
        sheet_.baseColWidth_ = base < 0 || base > 255 ? 8 : static_cast<int>(base);
    }

    // The cells kept: those of the area asked for, or of the saved selection when the part has given it
    // before its cells (as every writer does); all of them otherwise.
    void DecideKept()
    {
        std::optional<Area> area = wanted_;
        if (!area && sectionsSeen_[static_cast<int>(Section::SheetViews)]) area = sheet_.selection_;
        if (!area) return;
        sheet_.keptAll_ = false;
        sheet_.kept_ = *area;
        const std::int64_t cells = (static_cast<std::int64_t>(area->r2) - area->r1 + 1) * (static_cast<std::int64_t>(area->c2) - area->c1 + 1);
        if (cells <= Sheet::kMaxDenseCells) sheet_.dense_.assign(static_cast<std::size_t>(cells), Cell{});
    }

    // The saved selection: the active pane's of the first sheet view.
    void ViewChild(std::string_view name, const XmlAttrs& attrs)
    {
        if (name == "pane" && !paneSeen_) {
            paneSeen_ = true;
            activePane_ = attrs["activePane"].as_string("topLeft");
        } else if (name == "selection") {
            const std::string pane = attrs["pane"].as_string("topLeft");
            const std::string sqref = attrs["sqref"].as_string("A1");
            // The first selection of each pane; a view has at most four panes.
            const bool known = std::any_of(selections_.begin(), selections_.end(), [&](const auto& s) { return s.first == pane; });
            if (!known && selections_.size() < 8) selections_.emplace_back(pane, sqref);
        }
    }

    void ChooseSelection()
    {
        if (selectionChosen_) return;
        selectionChosen_ = true;
        const std::string* chosen = nullptr;
        for (const auto& [pane, sqref] : selections_) {
            if (pane == activePane_) { chosen = &sqref; break; }
            if (pane == "topLeft" && !chosen) chosen = &sqref;
        }
        if (!chosen) return;
        // A selection of several areas lists them apart by spaces; the first is the one the cells are kept of.
        std::string_view areas = *chosen;
        while (!areas.empty() && areas.front() == ' ') areas.remove_prefix(1);
        const std::size_t space = areas.find(' ');
        if (!ParseArea(areas.substr(0, space), sheet_.selection_)) sheet_.selection_ = Area{};
        if (space != std::string_view::npos && areas.find_first_not_of(' ', space) != std::string_view::npos) {
            sheet_.moreSelected_ = std::string(areas.substr(areas.find_first_not_of(' ', space)));
        }
    }

    // Column elements: each a run of columns within the sheet's 16384, at most one element per column.
    void Column(const XmlAttrs& attrs)
    {
        auto& cols = sheet_.cols_;
        if (cols.size() >= static_cast<std::size_t>(kMaxCol)) {
            reader_.Fail("the sheet has more column elements (<col>) than its " + std::to_string(kMaxCol) + " columns");
        }
        const std::string what = "the column element " + std::to_string(cols.size() + 1);
        const std::int64_t min = reader_.Integer(attrs["min"], 0, what);
        const std::int64_t max = reader_.Integer(attrs["max"], min, what);
        if (min < 1 || max < min || max > kMaxCol) {
            reader_.Fail(what + " spans the columns " + std::to_string(min) + " to " + std::to_string(max) +
                         ", outside the sheet's columns 1 to " + std::to_string(kMaxCol));
        }
        ColInfo ci;
        ci.min = static_cast<std::int32_t>(min);
        ci.max = static_cast<std::int32_t>(max);
        const XmlAttr width = attrs["width"];
        ci.hasWidth = static_cast<bool>(width);
        ci.width = reader_.Number(width, 0, what);
        ci.hidden = attrs["hidden"].as_bool(false);
        ci.style = reader_.Index(attrs["style"], book_.XfCount(), what, "the cell format");
        cols.push_back(ci);
    }

    // Each column's element, the first that covers it; each column is visited once, whatever the overlaps.
    void IndexColumns()
    {
        auto& index = sheet_.colIndex_;
        index.assign(static_cast<std::size_t>(kMaxCol) + 1, -1);
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
        const auto& cols = sheet_.cols_;
        for (std::size_t i = 0; i < cols.size(); ++i) {
            for (std::int32_t c = find(cols[i].min); c <= cols[i].max; c = find(c + 1)) {
                index[static_cast<std::size_t>(c)] = static_cast<std::int32_t>(i);
                nextFree[static_cast<std::size_t>(c)] = c + 1;
            }
        }
        auto& left = sheet_.colLeftPx_;
        left.assign(static_cast<std::size_t>(kMaxCol) + 1, 0);
        for (std::int32_t c = 1; c <= kMaxCol; ++c) {
            left[static_cast<std::size_t>(c)] = left[static_cast<std::size_t>(c - 1)] + sheet_.ColumnPixels(c);
        }
    }

    void StartRow(const XmlAttrs& attrs)
    {
        inRow_ = true;
        if (const XmlAttr r = attrs["r"]) {
            const auto number = XmlInteger(r.value());
            if (!number || *number < 1 || *number > kMaxRow) reader_.Fail("a row has an invalid number " + Shown(r.value()));
            row_ = static_cast<std::int32_t>(*number);
        } else {
            row_ = lastRow_ + 1;
            if (row_ > kMaxRow) reader_.Fail("the sheet has more rows than " + std::to_string(kMaxRow));
        }
        const bool again = row_ <= lastRow_;
        if (again) rowsInOrder_ = false;
        lastRow_ = row_;
        lastCol_ = 0;
        const auto rowWhat = [this] { return "row " + std::to_string(row_); };
        const bool hidden = attrs["hidden"].as_bool(false);
        const XmlAttr ht = attrs["ht"];
        if (hidden || ht) {
            const double height = reader_.Number(ht, 0, rowWhat);
            sheet_.rowHeights_.emplace_back(row_, hidden ? 0 : height);
        } else if (again) {
            // A row given again without a height of its own: it has the default height after all.
            sheet_.rowHeights_.emplace_back(row_, std::nan(""));
        }
        const std::uint32_t style = reader_.Index(attrs["s"], book_.XfCount(), rowWhat, "the cell format");
        const bool custom = attrs["customFormat"].as_bool(false);
        if (sheet_.keptAll_ || (row_ >= sheet_.kept_.r1 && row_ <= sheet_.kept_.r2)) {
            if (custom) {
                sheet_.rowStyles_[row_] = style;
            } else if (again) {
                sheet_.rowStyles_.erase(row_);
            }
        }
    }

    void StartCell(const XmlAttrs& attrs)
    {
        const auto value = [&attrs](std::string_view name) {
            const XmlAttr a = attrs[name];
            return a ? AttrValue(a.value()) : std::nullopt;
        };
        BeginCell(value("r"), value("s"), value("t"));
    }

    // A cell's element starts, with its reference, format and type.
    void BeginCell(AttrValue ref, AttrValue style, AttrValue t)
    {
        inCell_ = true;
        haveV_ = haveIs_ = inV_ = inIs_ = false;
        cellRow_ = row_, cellCol_ = lastCol_ + 1;
        if (ref) {
            if (!ParseCellRef(*ref, cellRow_, cellCol_) || cellRow_ != row_) {
                throw Error(where_ + ": row " + std::to_string(row_) + " has an invalid cell reference \"" + std::string(*ref) + "\"");
            }
        }
        if (cellCol_ > kMaxCol) throw Error(where_ + ": row " + std::to_string(row_) + " has too many cells");
        lastCol_ = cellCol_;
        const auto what = [this] { return CellWhat(); };
        cell_ = Cell{};
        cell_.present = true;
        cell_.style = style ? reader_.Index(*style, book_.XfCount(), what, "the cell format") : 0;
        const std::string_view typeName = t ? *t : "n";
        const std::optional<CellType> type = TypeNamed(typeName);
        if (!type) reader_.Fail(what() + " has an unknown type t=" + Shown(typeName));
        type_ = *type;
    }

    // The cell's element ends; text: its value's (<v>), when it has one.
    void EndCell(std::string_view text)
    {
        inCell_ = false;
        const auto what = [this] { return CellWhat(); };
        const bool keep = sheet_.Holds(cellRow_, cellCol_);
        switch (type_) {
        case CellType::Shared:
            if (haveV_) {
                cell_.kind = CellKind::Shared;
                cell_.index = reader_.Index(text, book_.SharedCount(), what, "the shared string");
                if (book_.SharedCount() == 0) {
                    reader_.Fail(what() + " refers to the shared string " + std::to_string(cell_.index) +
                                 ", which the workbook does not define");
                }
            }
            break;
        case CellType::Inline:
            if (haveIs_ && inline_.rich) {
                cell_.kind = CellKind::Inline;
                if (keep) {
                    cell_.index = static_cast<std::uint32_t>(sheet_.inline_.size());
                    sheet_.inline_.push_back(std::move(inline_));
                }
            } else {
                // Without runs an inline string answers as a text of the cell's own: kept as one, in half the room.
                cell_.kind = CellKind::Text;
                if (keep) cell_.index = sheet_.AddOwnString(haveIs_ ? std::u16string_view(inline_.text) : std::u16string_view());
            }
            break;
        case CellType::Boolean:
            if (haveV_) {
                const std::string_view b = TrimXmlSpace(text);
                if (b != "0" && b != "1" && b != "true" && b != "false") {
                    reader_.Fail(what() + " has an invalid Boolean value " + Shown(text));
                }
                cell_.kind = CellKind::Boolean, cell_.number = b == "1" || b == "true";
            }
            break;
        case CellType::Error:
        case CellType::Text:
            if (haveV_) {
                cell_.kind = type_ == CellType::Error ? CellKind::Error : CellKind::Text;
                if (keep) cell_.index = sheet_.AddOwnString(DecodeEscapes(U16(text)));
            }
            break;
        case CellType::Date:
            // An ISO 8601 date: the spreadsheet holds it as its serial number and shows it through the
            // cell's format, like any date it has typed in.
            if (haveV_ && !TrimXmlSpace(text).empty()) {
                const auto serial = IsoDateSerial(text, book_.Date1904());
                if (!serial) reader_.Fail(what() + " has an invalid date " + Shown(text) + " (or one before 1900)");
                cell_.kind = CellKind::Number, cell_.number = *serial;
            }
            break;
        case CellType::Number:
            if (haveV_ && !TrimXmlSpace(text).empty()) {
                const auto number = XmlDouble(text);
                if (!number) reader_.Fail(what() + " has an invalid number " + Shown(text));
                cell_.kind = CellKind::Number, cell_.number = *number;
            }
            break;
        }
        if (keep) sheet_.Slot(cellRow_, cellCol_) = cell_;
    }

    std::string CellWhat() const { return "cell " + ToUtf8(CellName(cellCol_, cellRow_)); }

    // The rows of the cells walked straight from their markup where it is of the usual kind: rows of cells
    // with a value (<v>), a formula (<f>) or an inline string of one text (<is><t>), without references in
    // attribute values and values, as writers write them.
    // Each row is read by the reader's own steps, as its events would read it; anything else is left to
    // the events, and so is every fault of the markup.
    class RowWalker : public XmlPieceWalker {
    public:
        explicit RowWalker(SheetReader& reader) : reader_(reader) {}

        void Begin() override
        {
            rows_.clear();
            cells_.clear();
            attrs_.clear();
            pos_ = boundary_ = 0;
        }

        std::size_t Resume() const override { return pos_; }

        Walked Walk(const char* data, std::size_t size, std::size_t cut, std::size_t& pieceEnd) override
        {
            if (size >= kAbsent) return Walked::Unknown;
            const char* const end = data + size;
            const char* p = data + pos_;
            const auto at = [data](const char* q) { return static_cast<std::uint32_t>(q - data); };
            for (;;) {
                // Between rows; a row's records are kept once the whole row has been walked.
                pos_ = at(p);
                const std::size_t cellsMark = cells_.size(), attrsMark = attrs_.size();
                const auto more = [&] {
                    cells_.resize(cellsMark);
                    attrs_.resize(attrsMark);
                    return Walked::More;
                };
                Step step = Text(p, end);
                if (step != Step::Done) return step == Step::More ? more() : Walked::Unknown;
                if (end - p < 2) return more();
                if (p[1] == '/') {
                    // The end of the section, and of the piece before it.
                    pieceEnd = boundary_;
                    return Walked::Piece;
                }
                ++p;
                std::string_view name;
                if ((step = StartName(p, end, name)) != Step::Done) return step == Step::More ? more() : Walked::Unknown;
                if (!Named(name, "row")) return Walked::Unknown;
                RowRecord row{static_cast<std::uint32_t>(attrs_.size()), 0, static_cast<std::uint32_t>(cells_.size()), 0};
                bool open = false;
                step = Attributes(p, end, open, [&](const char* n, const char* ne, const char* v, const char* ve) {
                    attrs_.push_back(AttrSpan{at(n), at(ne), at(v), at(ve)});
                });
                if (step != Step::Done) return step == Step::More ? more() : Walked::Unknown;
                row.attrCount = static_cast<std::uint32_t>(attrs_.size()) - row.firstAttr;
                while (open) {
                    if ((step = Text(p, end)) != Step::Done) return step == Step::More ? more() : Walked::Unknown;
                    if (end - p < 2) return more();
                    if (p[1] == '/') {
                        if ((step = EndTag(p, end, "row")) != Step::Done) return step == Step::More ? more() : Walked::Unknown;
                        break;
                    }
                    ++p;
                    if ((step = StartName(p, end, name)) != Step::Done) return step == Step::More ? more() : Walked::Unknown;
                    if (!Named(name, "c")) return Walked::Unknown;
                    // Made in place (its fields are written one by one, and a copy would read them back at once).
                    CellRecord& cell = cells_.emplace_back();
                    bool cellOpen = false;
                    step = Step::Done;
                    if (!UsualCellTag(p, end, data, cell, cellOpen)) {
                        step = Attributes(p, end, cellOpen, [&](const char* n, const char* ne, const char* v, const char* ve) {
                            // The first of each name counts, as it does for the events' reader.
                            if (ne - n != 1) return;
                            Span* const span = *n == 'r' ? &cell.r : *n == 's' ? &cell.s : *n == 't' ? &cell.t : nullptr;
                            if (span && span->from == kAbsent) *span = Span{at(v), at(ve)};
                        });
                    }
                    if (step != Step::Done) return step == Step::More ? more() : Walked::Unknown;
                    if (cellOpen && UsualCellContent(p, end, data, cell)) cellOpen = false;
                    while (cellOpen) {
                        if ((step = Text(p, end)) != Step::Done) return step == Step::More ? more() : Walked::Unknown;
                        if (end - p < 2) return more();
                        if (p[1] == '/') {
                            if ((step = EndTag(p, end, "c")) != Step::Done) return step == Step::More ? more() : Walked::Unknown;
                            break;
                        }
                        ++p;
                        if ((step = StartName(p, end, name)) != Step::Done) return step == Step::More ? more() : Walked::Unknown;
                        if (Named(name, "v") && cell.v.from == kAbsent) {
                            // <v>, its text without references, </v>.
                            if (*p != '>') return Walked::Unknown;
                            const char* const from = ++p;
                            while (p < end && !IsPlain(*p, kPlainTextStop)) ++p;
                            if (p == end) return more();
                            if (*p != '<') return Walked::Unknown;
                            cell.v = Span{at(from), at(p)};
                            if (end - p < 2) return more();
                            if (p[1] != '/') return Walked::Unknown;
                            if ((step = EndTag(p, end, "v")) != Step::Done) return step == Step::More ? more() : Walked::Unknown;
                        } else if (Named(name, "is") && cell.is.from == kAbsent) {
                            // An inline string of one text: <is><t>text</t></is>.
                            if (*p != '>') return Walked::Unknown;
                            cell.is = Span{at(++p), 0};
                            for (;;) {
                                if ((step = Text(p, end)) != Step::Done) return step == Step::More ? more() : Walked::Unknown;
                                if (end - p < 2) return more();
                                if (p[1] == '/') {
                                    if ((step = EndTag(p, end, "is")) != Step::Done) return step == Step::More ? more() : Walked::Unknown;
                                    break;
                                }
                                ++p;
                                if ((step = StartName(p, end, name)) != Step::Done) return step == Step::More ? more() : Walked::Unknown;
                                if (!Named(name, "t") || cell.text.from != kAbsent) return Walked::Unknown;
                                bool textOpen = false;
                                step = Attributes(p, end, textOpen, [](const char*, const char*, const char*, const char*) {});
                                if (step != Step::Done) return step == Step::More ? more() : Walked::Unknown;
                                cell.text = Span{at(p), at(p)};
                                if (textOpen) {
                                    const char* const from = p;
                                    if ((step = Text(p, end)) != Step::Done) return step == Step::More ? more() : Walked::Unknown;
                                    cell.text = Span{at(from), at(p)};
                                    cell.escaped = std::find(from, p, '&') != p;
                                    if (end - p < 2) return more();
                                    if (p[1] != '/') return Walked::Unknown;
                                    if ((step = EndTag(p, end, "t")) != Step::Done) return step == Step::More ? more() : Walked::Unknown;
                                }
                            }
                        } else if (Named(name, "f")) {
                            // A formula, which the reader passes over.
                            bool formulaOpen = false;
                            step = Attributes(p, end, formulaOpen, [](const char*, const char*, const char*, const char*) {});
                            if (step != Step::Done) return step == Step::More ? more() : Walked::Unknown;
                            if (formulaOpen) {
                                if ((step = Text(p, end)) != Step::Done) return step == Step::More ? more() : Walked::Unknown;
                                if (end - p < 2) return more();
                                if (p[1] != '/') return Walked::Unknown;
                                if ((step = EndTag(p, end, "f")) != Step::Done) return step == Step::More ? more() : Walked::Unknown;
                            }
                        } else {
                            return Walked::Unknown;
                        }
                    }
                }
                row.cellCount = static_cast<std::uint32_t>(cells_.size()) - row.firstCell;
                rows_.push_back(row);
                boundary_ = at(p);
                if (boundary_ >= cut) {
                    pieceEnd = boundary_;
                    return Walked::Piece;
                }
            }
        }

        void Take(char* data) override
        {
            SheetReader& r = reader_;
            const auto value = [data](const Span& s) {
                return s.from == kAbsent ? AttrValue() : AttrValue(std::string_view(data + s.from, s.to - s.from));
            };
            for (const RowRecord& row : rows_) {
                // A row's attributes as the events hand them over, names and values ended by NUL.
                r.attrList_.clear();
                for (std::uint32_t i = row.firstAttr; i < row.firstAttr + row.attrCount; ++i) {
                    const AttrSpan& a = attrs_[i];
                    data[a.nameEnd] = '\0';
                    data[a.valueEnd] = '\0';
                    r.attrList_.push_back(data + a.name);
                    r.attrList_.push_back(data + a.value);
                }
                r.attrList_.push_back(nullptr);
                r.StartRow(XmlAttrs(r.attrList_.data()));
                for (std::uint32_t i = row.firstCell; i < row.firstCell + row.cellCount; ++i) {
                    const CellRecord& c = cells_[i];
                    r.BeginCell(value(c.r), value(c.s), value(c.t));
                    if (c.is.from != kAbsent) {
                        // As the events of <is> and its <t> build it.
                        r.haveIs_ = true;
                        r.rich_.Clear();
                        if (c.text.from != kAbsent) {
                            const char* none[] = {nullptr};
                            r.rich_.Start("t", XmlAttrs(none), 1, r.reader_, [&r] { return r.CellWhat(); });
                            char* const from = data + c.text.from;
                            char* const to = c.escaped ? DecodePlainReferences(from, data + c.text.to) : data + c.text.to;
                            if (to != from) r.rich_.Text(std::string_view(from, static_cast<std::size_t>(to - from)), 1);
                            r.rich_.End(1);
                        }
                        r.inline_ = r.rich_.Take();
                    }
                    r.haveV_ = c.v.from != kAbsent;
                    r.EndCell(r.haveV_ ? std::string_view(data + c.v.from, c.v.to - c.v.from) : std::string_view());
                }
                r.inRow_ = false;
            }
        }

    private:
        static constexpr std::uint32_t kAbsent = UINT32_MAX;
        // Offsets in the piece.
        struct Span {
            std::uint32_t from = kAbsent, to = kAbsent;
        };
        struct AttrSpan {
            std::uint32_t name, nameEnd, value, valueEnd;
        };
        struct CellRecord {
            Span r, s, t, v;
            Span is, text;        // an inline string, and the text of its <t>
            bool escaped = false; // the text has references
        };
        struct RowRecord {
            std::uint32_t firstAttr, attrCount, firstCell, cellCount;
        };
        enum class Step { Done, More, Unknown };

        // Character data up to the next tag (p then at its '<'); references of the plain kind only.
        static Step Text(const char*& p, const char* end)
        {
            for (;;) {
                while (p < end && !IsPlain(*p, kPlainTextStop)) ++p;
                if (p == end) return Step::More;
                if (*p == '<') return Step::Done;
                if (*p != '&') return Step::Unknown; // CR, NUL
                const std::size_t n = PlainReferenceLength(p, end);
                // The longest reference ("&#1114111;") may be cut short.
                if (n == 0) return end - p < 10 ? Step::More : Step::Unknown;
                p += n;
            }
        }

        // A start tag's name (p just past its '<'); p then after it, with more of the tag to come.
        static Step StartName(const char*& p, const char* end, std::string_view& name)
        {
            const char* const from = p;
            if (p == end) return Step::More;
            if (!IsPlain(*p, kPlainNameFirst)) return Step::Unknown;
            while (p < end && IsPlain(*p, kPlainName)) ++p;
            if (p == end) return Step::More;
            name = std::string_view(from, static_cast<std::size_t>(p - from));
            return Step::Done;
        }

        // An end tag (p at its "</") that must end the element named.
        template <std::size_t N>
        [[gnu::always_inline]] static Step EndTag(const char*& p, const char* end, const char (&named)[N])
        {
            p += 2;
            const char* const from = p;
            while (p < end && IsPlain(*p, kPlainName)) ++p;
            if (p == end) return Step::More;
            if (!Named(std::string_view(from, static_cast<std::size_t>(p - from)), named)) return Step::Unknown;
            while (p < end && IsPlain(*p, kPlainSpace)) ++p;
            if (p == end) return Step::More;
            if (*p != '>') return Step::Unknown;
            ++p;
            return Step::Done;
        }

        // ` name="value"` with a value of letters, digits and '$' at q: its span, q then after it.
        [[gnu::always_inline]] static bool UsualAttribute(const char*& q, const char* end, const char* data, char name, Span& span)
        {
            if (end - q < 5 || q[0] != ' ' || q[1] != name || q[2] != '=' || q[3] != '"') return false;
            const char* v = q + 4;
            while (v < end && ((*v >= '0' && *v <= '9') || (*v >= 'A' && *v <= 'Z') || (*v >= 'a' && *v <= 'z') || *v == '$')) ++v;
            if (v == end || *v != '"') return false;
            span = Span{static_cast<std::uint32_t>(q + 4 - data), static_cast<std::uint32_t>(v - data)};
            q = v + 1;
            return true;
        }

        // A cell's content and end as writers write them (p after its start tag): "</c>", "<v>value</v></c>"
        // or "<is><t>text</t></is></c>", the value without references; p then after it. False, with p where
        // it was, for any other.
        static bool UsualCellContent(const char*& p, const char* end, const char* data, CellRecord& cell)
        {
            const auto at = [data](const char* q) { return static_cast<std::uint32_t>(q - data); };
            const auto literal = [end](const char* q, std::string_view text) {
                return static_cast<std::size_t>(end - q) >= text.size() && std::memcmp(q, text.data(), text.size()) == 0;
            };
            if (literal(p, "</c>")) {
                p += 4;
                return true;
            }
            if (literal(p, "<v>")) {
                const char* q = p + 3;
                while (q < end && !IsPlain(*q, kPlainTextStop)) ++q;
                if (!literal(q, "</v></c>")) return false;
                cell.v = Span{at(p + 3), at(q)};
                p = q + 8;
                return true;
            }
            if (literal(p, "<is><t>")) {
                const char* q = p + 7;
                if (Text(q, end) != Step::Done || !literal(q, "</t></is></c>")) return false;
                cell.is = Span{at(p + 4), 0};
                cell.text = Span{at(p + 7), at(q)};
                cell.escaped = std::find(p + 7, q, '&') != q;
                p = q + 13;
                return true;
            }
            return false;
        }

        // The rest of a cell's start tag as writers write it (p after its name): r, s and t in that order, each
        // of letters, digits and '$' in double quotes after one space, s and t optional, then '>' or "/>".
        // False, with p where it was and cell as new, for any other.
        static bool UsualCellTag(const char*& p, const char* end, const char* data, CellRecord& cell, bool& open)
        {
            const char* q = p;
            if (UsualAttribute(q, end, data, 'r', cell.r)) {
                UsualAttribute(q, end, data, 's', cell.s);
                UsualAttribute(q, end, data, 't', cell.t);
                if (q < end && *q == '>') {
                    open = true, p = q + 1;
                    return true;
                }
                if (end - q >= 2 && q[0] == '/' && q[1] == '>') {
                    open = false, p = q + 2;
                    return true;
                }
            }
            cell = CellRecord{};
            return false;
        }

        // The attributes of a start tag (p after its name), each after a space, handed to on(name, its end,
        // value, its end); then '>' (open true) or "/>". Values with references are left to the events.
        template <class On>
        static Step Attributes(const char*& p, const char* end, bool& open, On&& on)
        {
            for (;;) {
                const char* const gap = p;
                while (p < end && IsPlain(*p, kPlainSpace)) ++p;
                if (p == end) return Step::More;
                if (*p == '>') {
                    ++p;
                    open = true;
                    return Step::Done;
                }
                if (*p == '/') {
                    if (++p == end) return Step::More;
                    if (*p != '>') return Step::Unknown;
                    ++p;
                    open = false;
                    return Step::Done;
                }
                if (p == gap || !IsPlain(*p, kPlainNameFirst)) return Step::Unknown;
                const char* const name = p;
                while (p < end && IsPlain(*p, kPlainName)) ++p;
                const char* const nameEnd = p;
                while (p < end && IsPlain(*p, kPlainSpace)) ++p;
                if (p == end) return Step::More;
                if (*p != '=') return Step::Unknown;
                ++p;
                while (p < end && IsPlain(*p, kPlainSpace)) ++p;
                if (p == end) return Step::More;
                if (*p != '"' && *p != '\'') return Step::Unknown;
                const char quote = *p++;
                const char* const value = p;
                for (;;) {
                    while (p < end && !IsPlain(*p, kPlainValueStop)) ++p;
                    if (p == end) return Step::More;
                    if (*p == quote) break;
                    if (*p != '"' && *p != '\'') return Step::Unknown; // a reference, or < CR LF TAB NUL
                    ++p;                                               // the other quote
                }
                on(name, nameEnd, value, p);
                ++p;
            }
        }

        SheetReader& reader_;
        std::vector<RowRecord> rows_;
        std::vector<CellRecord> cells_;
        std::vector<AttrSpan> attrs_;
        std::uint32_t pos_ = 0;      // where the walk resumes: the start of the row not yet walked whole
        std::uint32_t boundary_ = 0; // the end of the last row walked
    };

    Sheet& sheet_;
    const Workbook& book_;
    const PartReader reader_;
    const std::string where_;
    const std::optional<Area> wanted_;
    const std::string notWorksheet_;

    Section section_ = Section::None;
    bool sectionsSeen_[5] = {};
    bool formatSeen_ = false;

    bool viewSeen_ = false, inView_ = false, paneSeen_ = false, selectionChosen_ = false;
    std::string activePane_ = "topLeft";
    std::vector<std::pair<std::string, std::string>> selections_;

    bool inRow_ = false, rowsInOrder_ = true;
    std::int32_t row_ = 0, lastRow_ = 0, lastCol_ = 0;

    bool inCell_ = false, haveV_ = false, haveIs_ = false, inV_ = false, inIs_ = false;
    std::int32_t cellRow_ = 0, cellCol_ = 0;
    CellType type_ = CellType::Number;
    Cell cell_;
    std::string v_;
    RichStringBuilder rich_;
    RichString inline_;
    RowWalker rowWalker_{*this};
    std::vector<const char*> attrList_; // the attributes of a row the walker hands over
};

Sheet::Sheet(const Workbook& book, const XlsxPackage& package, const std::string& part, std::u16string name,
             std::optional<Area> wanted)
    : book_(book), name_(std::move(name))
{
    SheetReader reader(*this, book, package.DisplayName(), part, wanted);
    StreamXmlPart(package, part, reader);
    reader.Finish();
}

} // namespace gridvane::xlsx
