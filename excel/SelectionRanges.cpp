// The import's reader: the spreadsheet is asked for whole ranges, the selection first, then its columns and
// rows, and single cells only where an answer stays mixed.
//
// A range's answer is taken for its cells only when it is a value of the kind asked for (a number, a
// Boolean false for MergeCells of several cells, a text for NumberFormat); null ("the cells differ"), any
// other kind and a refused read leave the cells to a finer range, and in the end to the cell's own answer,
// which the import's rules take as they take every answer. Borders follow the object model's reading of a
// range's lines: an edge of the outline is that edge of each cell along it; an inside line is the right
// and left (bottom and top) edges of the cells on both sides of it.
#include <cmath>
#include <map>
#include <optional>

#include "excel/CellArea.h"
#include "excel/ExcelImport.h"
#include "model/CellAddress.h"

namespace gridvane {

namespace {

// Value2 is read in blocks of whole rows of about this many cells: one call for a small selection, and
// for a large one neither an array of a million values in one answer nor a long wait before the first row.
constexpr std::int64_t kValueBlockCells = 16384;

// A text value shows as it is under these formats, up to this length (the spreadsheet displays at most
// 1,024 characters of a cell, and its older versions showed a text-formatted cell of more than 255 as ###).
constexpr std::size_t kCertainTextLength = 255;

enum Prop { kAlignment, kFontSize, kFormat, kMerge, kPropCount };

// Borders(index) by index - 5: the diagonals 5 and 6, the edges 7-10, the inside lines 11 and 12.
constexpr int kFirstBorder = 5;
constexpr int kBorderCount = 8;

// What a range's answers fix for its cells.
struct Facts {
    std::optional<XlValue> width, height;
    std::optional<XlValue> property[kPropCount];
    std::optional<XlValue> border[kBorderCount];

    std::optional<XlValue>& Border(int index) { return border[index - kFirstBorder]; }
    const std::optional<XlValue>& Border(int index) const { return border[index - kFirstBorder]; }
};

// Reads an answer of a range; nothing when it is not of the kind wanted or the read was refused. A busy
// or lost spreadsheet (XlUserMessage) ends the import as it would at a cell.
template <class Read>
std::optional<XlValue> Fixing(XlValue::Kind wanted, Read&& read)
{
    try {
        XlValue v = read();
        if (v.kind == wanted) return v;
    } catch (const XlUserMessage&) {
        throw;
    } catch (const Error&) {
    }
    return std::nullopt;
}

template <class Make>
std::unique_ptr<XlRange> RangeOrNone(Make&& make)
{
    try {
        return make();
    } catch (const XlUserMessage&) {
        throw;
    } catch (const Error&) {
        return nullptr;
    }
}

// MergeCells of a range fixes its cells when it is false; true is taken from a range of one cell only (of
// several it may mean that some cells are merged).
std::optional<XlValue> MergeFixing(XlRange& range, bool oneCell)
{
    std::optional<XlValue> v = Fixing(XlValue::Kind::Boolean, [&] { return range.MergeCells(); });
    if (v && v->boolean && !oneCell) return std::nullopt;
    return v;
}

const std::optional<XlValue> kOpen;

// The first of a cell's ranges, from the largest, whose answer fixes it; kOpen when none does.
const std::optional<XlValue>& First(const std::optional<XlValue>& a, const std::optional<XlValue>& b,
                                    const std::optional<XlValue>& c = kOpen)
{
    return a ? a : b ? b : c;
}

class RangeReader;

// The answers of one cell: from the facts of its ranges where they fix them, else from the cell itself.
class RangeCell : public XlCellAnswers {
public:
    explicit RangeCell(RangeReader& reader) : reader_(reader) {}
    void Reset(std::int32_t r, std::int32_t c);

    XlValue ColumnWidth() override;
    XlValue RowHeight() override;
    XlValue HorizontalAlignment() override;
    XlValue FontSize() override;
    std::u16string Text() override;
    XlValue Value2() override;
    XlValue BorderLineStyle(int index) override;
    XlValue MergeCells() override;
    XlValue MergeRowsCount() override;
    XlValue MergeColumnsCount() override;
    XlValue MergeLeft() override;
    XlValue MergeTop() override;

private:
    XlRange& Own();
    XlValue Answer(Prop p, XlValue (XlRange::*read)());
    XlRange& Area();
    std::pair<XlValue, XlValue>& Outside();
    void FindArea();

    RangeReader& reader_;
    std::int32_t r_ = 0, c_ = 0;
    std::unique_ptr<XlRange> own_;
    XlValue alignment_, merge_;
    bool areaFound_ = false;
    std::unique_ptr<XlRange> area_; // the merged area's object, where its answers are asked of it
    XlArea rect_;                   // the merged area, when known from its address
    std::u16string address_;
    bool rectKnown_ = false;
};

class RangeReader : public XlSelectionReader {
public:
    explicit RangeReader(const XlSelection& s)
        : s_(s), cell_(*this), lefts_(static_cast<std::size_t>(s.cols), std::nan("")),
          tops_(static_cast<std::size_t>(s.rows), std::nan(""))
    {
    }

    void BeginRow(std::int32_t r) override
    {
        if (r == 1) ReadSelection();
        if (r > blockEnd_) ReadValues(r);
        row_ = r;
        rowFacts_ = Facts{};
        rowLo_ = 1, rowHi_ = 0;
        std::unique_ptr<XlRange> own;
        XlRange* range = &s_.range;
        if (s_.rows > 1) {
            own = RangeOrNone([&] { return s_.range.Rows(r); });
            range = own.get();
        }
        if (range) {
            if (auto top = Fixing(XlValue::Kind::Number, [&] { return range->Top(); })) tops_[Index(r)] = top->number;
            if (s_.rows > 1) ReadRow(*range);
        }
    }

    XlCellAnswers& Cell(std::int32_t c) override
    {
        cell_.Reset(row_, c);
        return cell_;
    }

private:
    friend class RangeCell;

    static std::size_t Index(std::int32_t i) { return static_cast<std::size_t>(i - 1); }

    // The selection's answers, then those of its columns where the selection's leave cells open.
    void ReadSelection()
    {
        XlRange& s = s_.range;
        const bool oneCell = s_.rows == 1 && s_.cols == 1;
        displayFormulas_ = Fixing(XlValue::Kind::Boolean, [&] { return s_.app.DisplayFormulas(); });
        all_.width = Fixing(XlValue::Kind::Number, [&] { return s.ColumnWidth(); });
        all_.height = Fixing(XlValue::Kind::Number, [&] { return s.RowHeight(); });
        ReadProperties(s, all_, oneCell, [](Prop) { return true; });
        for (int i = kFirstBorder; i < kFirstBorder + kBorderCount; ++i) {
            if ((i == kXlInsideVertical && s_.cols == 1) || (i == kXlInsideHorizontal && s_.rows == 1)) continue;
            all_.Border(i) = Fixing(XlValue::Kind::Number, [&] { return s.BorderLineStyle(i); });
        }
        columns_.resize(static_cast<std::size_t>(s_.cols));
        if (s_.cols == 1) {
            if (auto left = Fixing(XlValue::Kind::Number, [&] { return s.Left(); })) lefts_[0] = left->number;
            return;
        }
        for (std::int32_t j = 1; j <= s_.cols; ++j) {
            std::unique_ptr<XlRange> column = RangeOrNone([&] { return s.Columns(j); });
            if (!column) continue;
            Facts& f = columns_[Index(j)];
            if (auto left = Fixing(XlValue::Kind::Number, [&] { return column->Left(); })) lefts_[Index(j)] = left->number;
            if (!all_.width) f.width = Fixing(XlValue::Kind::Number, [&] { return column->ColumnWidth(); });
            ReadProperties(*column, f, s_.rows == 1, [&](Prop p) { return !all_.property[p]; });
            const auto open = [&](int index) { return !all_.Border(index); };
            const auto ask = [&](int index) {
                f.Border(index) = Fixing(XlValue::Kind::Number, [&] { return column->BorderLineStyle(index); });
            };
            // The column's left and right edges are those of its every cell; its top and bottom those of
            // its first and last cell; its inside lines the tops and bottoms of the cells between.
            if (open(j == 1 ? kXlEdgeLeft : kXlInsideVertical)) ask(kXlEdgeLeft);
            if (open(j == s_.cols ? kXlEdgeRight : kXlInsideVertical)) ask(kXlEdgeRight);
            if (open(kXlEdgeTop)) ask(kXlEdgeTop);
            if (open(kXlEdgeBottom)) ask(kXlEdgeBottom);
            if (s_.rows > 1 && open(kXlInsideHorizontal)) ask(kXlInsideHorizontal);
            if (open(kXlDiagonalDown)) ask(kXlDiagonalDown);
            if (open(kXlDiagonalUp)) ask(kXlDiagonalUp);
        }
    }

    // The answers of a row where neither the selection's nor its columns' fix every cell: asked of the
    // part of the row from its first open cell to its last, as one range.
    void ReadRow(XlRange& row)
    {
        const std::int32_t r = row_;
        if (!all_.height) rowFacts_.height = Fixing(XlValue::Kind::Number, [&] { return row.RowHeight(); });
        const auto propertyOpen = [&](std::int32_t c, Prop p) {
            return !all_.property[p] && !columns_[Index(c)].property[p] && (p != kFormat || FormatWanted(c));
        };
        const auto edgeOpen = [&](std::int32_t c, int index) { return !Edge(r, c, index, false); };
        const auto open = [&](std::int32_t c) {
            for (int p = 0; p < kPropCount; ++p)
                if (propertyOpen(c, static_cast<Prop>(p))) return true;
            for (int index : {kXlEdgeTop, kXlEdgeBottom, kXlEdgeLeft, kXlEdgeRight, kXlDiagonalDown, kXlDiagonalUp})
                if (edgeOpen(c, index)) return true;
            return false;
        };
        std::int32_t lo = 1, hi = s_.cols;
        while (lo <= hi && !open(lo)) ++lo;
        while (hi >= lo && !open(hi)) --hi;
        if (lo > hi) return;
        std::unique_ptr<XlRange> part;
        XlRange* span = &row;
        if (lo != 1 || hi != s_.cols) {
            const std::int64_t x = static_cast<std::int64_t>(s_.r1) + r - 1;
            const std::u16string address = CellName(s_.c1 + lo - 1, x) + (lo == hi ? u"" : u":" + CellName(s_.c1 + hi - 1, x));
            part = RangeOrNone([&] { return s_.sheet.Range(address); });
            if (!part) return;
            span = part.get();
        }
        rowLo_ = lo, rowHi_ = hi;
        ReadProperties(*span, rowFacts_, lo == hi, [&](Prop p) {
            for (std::int32_t c = lo; c <= hi; ++c)
                if (propertyOpen(c, p)) return true;
            return false;
        });
        const auto ask = [&](int index) {
            rowFacts_.Border(index) = Fixing(XlValue::Kind::Number, [&] { return span->BorderLineStyle(index); });
        };
        const auto anyOpen = [&](int index) {
            for (std::int32_t c = lo; c <= hi; ++c)
                if (edgeOpen(c, index)) return true;
            return false;
        };
        // The span's top and bottom are those of its every cell, its left and right those of its first and
        // last cell, its inside lines the right and left edges of the cells between.
        if (anyOpen(kXlEdgeTop)) ask(kXlEdgeTop);
        if (anyOpen(kXlEdgeBottom)) ask(kXlEdgeBottom);
        if (edgeOpen(lo, kXlEdgeLeft)) ask(kXlEdgeLeft);
        if (edgeOpen(hi, kXlEdgeRight)) ask(kXlEdgeRight);
        bool inside = false;
        for (std::int32_t c = lo; c <= hi && !inside; ++c)
            inside = (c > lo && edgeOpen(c, kXlEdgeLeft)) || (c < hi && edgeOpen(c, kXlEdgeRight));
        if (inside) ask(kXlInsideVertical);
        if (anyOpen(kXlDiagonalDown)) ask(kXlDiagonalDown);
        if (anyOpen(kXlDiagonalUp)) ask(kXlDiagonalUp);
    }

    // The row's answers for the cell in column c: those of the span it was asked in, if c lies in it.
    const Facts& RowFacts(std::int32_t c) const
    {
        static const Facts none;
        return c >= rowLo_ && c <= rowHi_ ? rowFacts_ : none;
    }

    template <class Wanted>
    void ReadProperties(XlRange& range, Facts& f, bool oneCell, Wanted&& wanted)
    {
        if (wanted(kAlignment)) f.property[kAlignment] = Fixing(XlValue::Kind::Number, [&] { return range.HorizontalAlignment(); });
        if (wanted(kFontSize)) f.property[kFontSize] = Fixing(XlValue::Kind::Number, [&] { return range.FontSize(); });
        if (wanted(kMerge)) f.property[kMerge] = MergeFixing(range, oneCell);
        if (wanted(kFormat) && TextsMayBeCertain()) f.property[kFormat] = Fixing(XlValue::Kind::Text, [&] { return range.NumberFormat(); });
    }

    // Where the sheet shows formulas, no text is certain from the values.
    bool TextsMayBeCertain() const { return displayFormulas_ && !displayFormulas_->boolean; }

    // The cell (r, c)'s answer to Borders(index) as its ranges fix it; withRow: the row's answers too.
    const std::optional<XlValue>* Edge(std::int32_t r, std::int32_t c, int index, bool withRow) const
    {
        const Facts& col = columns_[Index(c)];
        const std::optional<XlValue>* found = nullptr;
        const auto take = [&found](const std::optional<XlValue>& v) {
            if (!found && v) found = &v;
        };
        switch (index) {
        case kXlEdgeTop:
            take(all_.Border(r == 1 ? kXlEdgeTop : kXlInsideHorizontal));
            take(col.Border(r == 1 ? kXlEdgeTop : kXlInsideHorizontal));
            if (withRow) take(RowFacts(c).Border(kXlEdgeTop));
            break;
        case kXlEdgeBottom:
            take(all_.Border(r == s_.rows ? kXlEdgeBottom : kXlInsideHorizontal));
            take(col.Border(r == s_.rows ? kXlEdgeBottom : kXlInsideHorizontal));
            if (withRow) take(RowFacts(c).Border(kXlEdgeBottom));
            break;
        case kXlEdgeLeft:
            take(all_.Border(c == 1 ? kXlEdgeLeft : kXlInsideVertical));
            take(col.Border(kXlEdgeLeft));
            if (withRow) take(RowFacts(c).Border(c == rowLo_ ? kXlEdgeLeft : kXlInsideVertical));
            break;
        case kXlEdgeRight:
            take(all_.Border(c == s_.cols ? kXlEdgeRight : kXlInsideVertical));
            take(col.Border(kXlEdgeRight));
            if (withRow) take(RowFacts(c).Border(c == rowHi_ ? kXlEdgeRight : kXlInsideVertical));
            break;
        default: // the diagonals, of each cell
            take(all_.Border(index));
            take(col.Border(index));
            if (withRow) take(RowFacts(c).Border(index));
            break;
        }
        return found;
    }

    // Whether the cell's text may be certain from its value once its number format is known.
    bool FormatWanted(std::int32_t c) const
    {
        const XlValue* v = Value(row_, c);
        return v && v->kind == XlValue::Kind::Text && v->text.size() <= kCertainTextLength;
    }

    // Value2 of the rows from r on, as one block; a block that cannot be read leaves its cells to themselves.
    void ReadValues(std::int32_t r)
    {
        const std::int64_t rows = std::max<std::int64_t>(1, kValueBlockCells / s_.cols);
        blockStart_ = r;
        blockEnd_ = static_cast<std::int32_t>(std::min<std::int64_t>(s_.rows, r + rows - 1));
        blockOk_ = false;
        try {
            std::unique_ptr<XlRange> part;
            XlRange* range = &s_.range;
            if (blockStart_ != 1 || blockEnd_ != s_.rows) {
                const std::u16string address = CellName(s_.c1, static_cast<std::int64_t>(s_.r1) + blockStart_ - 1) + u":" +
                                               CellName(s_.c1 + s_.cols - 1, static_cast<std::int64_t>(s_.r1) + blockEnd_ - 1);
                part = s_.sheet.Range(address);
                range = part.get();
            }
            block_ = range->Value2Array();
            blockOk_ = block_.rows == blockEnd_ - blockStart_ + 1 && block_.cols == s_.cols &&
                       block_.values.size() == static_cast<std::size_t>(block_.rows) * static_cast<std::size_t>(block_.cols);
        } catch (const XlUserMessage&) {
            throw;
        } catch (const Error&) {
        }
        if (!blockOk_) block_ = XlValueArray{};
    }

    // The cell's value from its block; null when the block could not be read.
    const XlValue* Value(std::int32_t r, std::int32_t c) const
    {
        if (!blockOk_ || r < blockStart_ || r > blockEnd_) return nullptr;
        return &block_.At(r - blockStart_, c - 1);
    }

    const XlSelection s_;
    RangeCell cell_;
    std::optional<XlValue> displayFormulas_;
    Facts all_;                  // the selection's
    std::vector<Facts> columns_; // each column's (none where the selection has one column)
    Facts rowFacts_;             // the current row's (none where the selection has one row)
    std::int32_t rowLo_ = 1, rowHi_ = 0; // the columns the row's answers were asked of (height: all)
    std::int32_t row_ = 0;
    std::vector<double> lefts_, tops_; // Left of each column, Top of each row read so far; NaN: not known
    XlValueArray block_;
    std::int32_t blockStart_ = 0, blockEnd_ = 0;
    bool blockOk_ = false;
    std::map<std::u16string, std::pair<XlValue, XlValue>> areaPlaces_; // Left and Top of areas reaching out
};

void RangeCell::Reset(std::int32_t r, std::int32_t c)
{
    r_ = r, c_ = c;
    own_.reset();
    area_.reset();
    alignment_ = merge_ = XlValue::Null();
    areaFound_ = rectKnown_ = false;
}

XlRange& RangeCell::Own()
{
    if (!own_) {
        try {
            own_ = reader_.s_.range.Cells(r_, c_);
        } catch (const XlUserMessage&) {
            throw;
        } catch (const std::exception& e) {
            throw XlCellUnreachable(e.what());
        }
        if (!own_) throw XlCellUnreachable("no cell");
    }
    return *own_;
}

XlValue RangeCell::Answer(Prop p, XlValue (XlRange::*read)())
{
    const RangeReader& r = reader_;
    if (const auto& v = First(r.all_.property[p], r.columns_[RangeReader::Index(c_)].property[p], r.RowFacts(c_).property[p]))
        return *v;
    return (Own().*read)();
}

XlValue RangeCell::ColumnWidth()
{
    const RangeReader& r = reader_;
    if (const auto& v = First(r.all_.width, r.columns_[RangeReader::Index(c_)].width)) return *v;
    return Own().ColumnWidth();
}

XlValue RangeCell::RowHeight()
{
    const RangeReader& r = reader_;
    if (const auto& v = First(r.all_.height, r.rowFacts_.height)) return *v;
    return Own().RowHeight();
}

XlValue RangeCell::HorizontalAlignment()
{
    alignment_ = Answer(kAlignment, &XlRange::HorizontalAlignment);
    return alignment_;
}

XlValue RangeCell::FontSize() { return Answer(kFontSize, &XlRange::FontSize); }

std::u16string RangeCell::Text()
{
    const RangeReader& r = reader_;
    if (const XlValue* v = r.Value(r_, c_)) {
        // An empty cell shows nothing, whatever its format; an error value fails the cell at its value.
        if (v->kind == XlValue::Kind::Empty || v->kind == XlValue::Kind::Error) return {};
        if (v->kind == XlValue::Kind::Text && v->text.size() <= kCertainTextLength && r.TextsMayBeCertain() &&
            alignment_.kind == XlValue::Kind::Number && alignment_.number != kXlHAlignFill) {
            const auto& format = First(r.all_.property[kFormat], r.columns_[RangeReader::Index(c_)].property[kFormat],
                                       r.RowFacts(c_).property[kFormat]);
            // General and Text ("@") show a text as it is; any other format may add to it or hide it.
            if (format && (format->text == u"General" || format->text == u"@")) return v->text;
        }
    }
    return Own().Text();
}

XlValue RangeCell::Value2()
{
    if (const XlValue* v = reader_.Value(r_, c_)) return *v;
    return Own().Value2();
}

XlValue RangeCell::BorderLineStyle(int index)
{
    if (const std::optional<XlValue>* v = reader_.Edge(r_, c_, index, true)) return **v;
    return Own().BorderLineStyle(index);
}

XlValue RangeCell::MergeCells()
{
    const RangeReader& r = reader_;
    if (const auto& v = First(r.all_.property[kMerge], r.columns_[RangeReader::Index(c_)].property[kMerge],
                              r.RowFacts(c_).property[kMerge])) {
        merge_ = *v;
    } else {
        merge_ = Own().MergeCells();
    }
    return merge_;
}

// The merged area of the cell: the cell itself where it is not merged, else the area its MergeArea names.
void RangeCell::FindArea()
{
    if (areaFound_) return;
    areaFound_ = true;
    if (merge_.kind == XlValue::Kind::Boolean && !merge_.boolean) {
        rect_ = XlArea{reader_.s_.r1 + r_ - 1, reader_.s_.c1 + c_ - 1, reader_.s_.r1 + r_ - 1, reader_.s_.c1 + c_ - 1};
        rectKnown_ = true;
        return;
    }
    area_ = Own().MergeArea();
    if (!area_) throw Error("MergeArea: no range");
    try {
        address_ = area_->Address();
        rectKnown_ = ParseAddress(address_, rect_);
    } catch (const XlUserMessage&) {
        throw;
    } catch (const Error&) {
        rectKnown_ = false; // the area answers its own questions
    }
}

XlValue RangeCell::MergeRowsCount()
{
    FindArea();
    if (rectKnown_) return XlValue::Of(static_cast<double>(rect_.r2) - rect_.r1 + 1);
    return area_->RowsCount();
}

XlValue RangeCell::MergeColumnsCount()
{
    FindArea();
    if (rectKnown_) return XlValue::Of(static_cast<double>(rect_.c2) - rect_.c1 + 1);
    return area_->ColumnsCount();
}

// The area's own object: the cell's MergeArea, asked as the cell's own sequence asks it.
XlRange& RangeCell::Area()
{
    if (!area_) area_ = Own().MergeArea();
    if (!area_) throw Error("MergeArea: no range");
    return *area_;
}

// Left and Top of an area whose first column or row lies outside the selection: asked once per area.
std::pair<XlValue, XlValue>& RangeCell::Outside()
{
    auto [it, fresh] = reader_.areaPlaces_.try_emplace(address_);
    if (fresh) {
        try {
            it->second = {Area().Left(), Area().Top()};
        } catch (...) {
            reader_.areaPlaces_.erase(it);
            throw;
        }
    }
    return it->second;
}

XlValue RangeCell::MergeLeft()
{
    FindArea();
    const XlSelection& s = reader_.s_;
    if (rectKnown_) {
        if (rect_.c1 >= s.c1 && rect_.c1 < s.c1 + s.cols) {
            const double left = reader_.lefts_[static_cast<std::size_t>(rect_.c1 - s.c1)];
            if (!std::isnan(left)) return XlValue::Of(left);
        } else if (area_) {
            return Outside().first;
        }
    }
    return Area().Left();
}

XlValue RangeCell::MergeTop()
{
    FindArea();
    const XlSelection& s = reader_.s_;
    if (rectKnown_) {
        // Rows up to the current one have been read; an area's first row is never below its cell's.
        if (rect_.r1 >= s.r1 && rect_.r1 <= s.r1 + r_ - 1) {
            const double top = reader_.tops_[static_cast<std::size_t>(rect_.r1 - s.r1)];
            if (!std::isnan(top)) return XlValue::Of(top);
        } else if (area_) {
            return Outside().second;
        }
    }
    return Area().Top();
}

} // namespace

std::unique_ptr<XlSelectionReader> MakeRangeReader(const XlSelection& selection)
{
    return std::make_unique<RangeReader>(selection);
}

std::unique_ptr<XlSelectionReader> MakeSelectionReader(const XlSelection& selection)
{
    if (auto* source = dynamic_cast<XlCellSource*>(&selection.app)) {
        if (std::unique_ptr<XlSelectionReader> cells = source->CellReader(selection)) return cells;
    }
    return MakeRangeReader(selection);
}

} // namespace gridvane
