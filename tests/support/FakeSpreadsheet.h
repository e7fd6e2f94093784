#pragma once
// A spreadsheet held in memory behind the import's automation interface, for tests of the import and of
// the window's form: every cell answers with the values set for it, or with defaults; a range of several
// cells answers as the object model documents it (the value all its cells share, or null); any operation
// can be made to fail, and the reads are counted by kind.
#include <algorithm>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "base/Error.h"
#include "base/Utf.h"
#include "excel/SpreadsheetAutomation.h"
#include "model/CellAddress.h"

namespace gridvane {
namespace {

struct FakeCell {
    double columnWidth = 8.43;
    double rowHeight = 13.5;
    int align = 1; // xlGeneral
    XlValue fontSize = XlValue::Of(11.0);
    std::u16string text;
    XlValue value2;
    // The format the cell is displayed with; none: "General" where text is the text value2 holds (or both
    // are empty), else a format that shows text whatever the value.
    std::optional<std::u16string> numberFormat;
    std::map<int, int> borders; // index -> line style; missing: none
    bool merged = false;
    int areaRows = 1, areaCols = 1; // the merged area from this cell on, where FakeBook::Merge did not set one
    double left = 0, top = 0;
    std::string value2Throws; // Value2 fails with this message, as an automation layer reports it
    bool value2Busy = false;  // Value2 is refused as the spreadsheet is busy for good
    std::u16string value2Message; // Value2 fails with this message for the user (the spreadsheet gone, ...)
};

struct FakeBook {
    std::u16string bookName = u"Book1.xlsx";
    std::u16string sheetName = u"Sheet1";
    int r1 = 1, c1 = 1, rows = 1, cols = 1;
    std::u16string moreAreas;                      // ",$E$5:$F$6": the selection has further areas
    std::map<std::pair<int, int>, FakeCell> cells; // (row, column) from 1
    std::set<std::string> failAt;                  // operations that throw ("Selection", "Value2Array", ...)
    std::vector<bool> screenUpdating;              // every write
    XlValue displayFormulas = XlValue::OfBool(false);
    int rangeCalls = 0;                            // Worksheet.Range
    std::map<std::string, int> calls;              // every read by kind ("Cells", "Rows", "FontSize", ...)
    std::optional<std::pair<int, int>> failCell;   // every read of this cell, alone or in a range, fails
    int failScreenOn = 0;                          // this many ScreenUpdating = true writes fail
    // Replaces the answer of a read over several cells (op as in calls), as a spreadsheet might answer
    // unexpectedly; none: the documented answer.
    std::function<std::optional<XlValue>(const std::string& op)> rangeAnswer;
    struct Area {
        int r1, c1, r2, c2;
    };
    std::vector<Area> merges;

    /// Merges the cells r1..r2 x c1..c2: each is merged, and its MergeArea is the whole area.
    void Merge(int ar1, int ac1, int ar2, int ac2)
    {
        merges.push_back({ar1, ac1, ar2, ac2});
        for (int r = ar1; r <= ar2; ++r)
            for (int c = ac1; c <= ac2; ++c) cells[{r, c}].merged = true;
    }

    void MaybeFail(const std::string& op) const
    {
        if (failAt.count(op)) throw Error(op + " refused");
    }
    const FakeCell& At(int r, int c) const
    {
        static const FakeCell empty;
        const auto it = cells.find({r, c});
        return it == cells.end() ? empty : it->second;
    }
    int Calls() const
    {
        int n = 0;
        for (const auto& [kind, count] : calls) n += count;
        return n;
    }
};

std::pair<int, int> ParseAddress(std::u16string_view a)
{
    int col = 0;
    std::size_t i = 0;
    while (i < a.size() && a[i] >= u'A' && a[i] <= u'Z') col = col * 26 + (a[i++] - u'A' + 1);
    int row = 0;
    while (i < a.size()) row = row * 10 + (a[i++] - u'0');
    return {row, col};
}

// What a fake cell shows its text with.
std::u16string FakeFormat(const FakeCell& cell)
{
    if (cell.numberFormat) return *cell.numberFormat;
    if (cell.value2.kind == XlValue::Kind::Empty && cell.text.empty()) return u"General";
    if (cell.value2.kind == XlValue::Kind::Text && cell.value2.text == cell.text) return u"General";
    if (cell.value2.kind == XlValue::Kind::Number || cell.value2.kind == XlValue::Kind::Boolean) return u"General";
    return u";;;\"" + cell.text + u"\""; // shows the text whatever the value
}

class FakeRange : public XlRange {
public:
    FakeRange(FakeBook& book, int r1, int c1, int r2, int c2, bool selection = false)
        : book_(book), r1_(r1), c1_(c1), r2_(r2), c2_(c2), selection_(selection)
    {
    }
    XlValue Row() override { return XlValue::Of(r1_); }
    XlValue Column() override { return XlValue::Of(c1_); }
    XlValue RowsCount() override { return XlValue::Of(r2_ - r1_ + 1); }
    XlValue ColumnsCount() override { return XlValue::Of(c2_ - c1_ + 1); }
    XlValue ColumnWidth() override
    {
        return Common("ColumnWidth", r1_, c1_, r2_, c2_, [](const FakeCell& c) { return XlValue::Of(c.columnWidth); });
    }
    XlValue RowHeight() override
    {
        return Common("RowHeight", r1_, c1_, r2_, c2_, [](const FakeCell& c) { return XlValue::Of(c.rowHeight); });
    }
    XlValue HorizontalAlignment() override
    {
        return Common("HorizontalAlignment", r1_, c1_, r2_, c2_, [](const FakeCell& c) { return XlValue::Of(c.align); });
    }
    XlValue FontSize() override
    {
        return Common("FontSize", r1_, c1_, r2_, c2_, [](const FakeCell& c) { return c.fontSize; });
    }
    XlValue NumberFormat() override
    {
        return Common("NumberFormat", r1_, c1_, r2_, c2_, [](const FakeCell& c) { return XlValue::Of(FakeFormat(c)); });
    }
    std::u16string Text() override
    {
        const XlValue v = Common("Text", r1_, c1_, r2_, c2_, [](const FakeCell& c) { return XlValue::Of(c.text); });
        return v.text;
    }
    XlValue Value2() override
    {
        Count("Value2");
        Touch();
        return ValueOf(book_.At(r1_, c1_));
    }
    XlValueArray Value2Array() override
    {
        Count("Value2Array");
        book_.MaybeFail("Value2Array");
        Touch();
        XlValueArray a;
        if (book_.rangeAnswer && book_.rangeAnswer("Value2Array")) return a; // an array of no cells
        a.rows = r2_ - r1_ + 1, a.cols = c2_ - c1_ + 1;
        for (int r = r1_; r <= r2_; ++r) {
            for (int c = c1_; c <= c2_; ++c) a.values.push_back(ValueOf(book_.At(r, c)));
        }
        return a;
    }
    XlValue BorderLineStyle(int index) override
    {
        const auto edge = [](int i) {
            return [i](const FakeCell& c) {
                const auto it = c.borders.find(i);
                return XlValue::Of(it == c.borders.end() ? kXlLineStyleNone : it->second);
            };
        };
        const char* op = "BorderLineStyle";
        Count(op);
        switch (index) {
        case kXlEdgeTop: return Common(op, r1_, c1_, r1_, c2_, edge(kXlEdgeTop));
        case kXlEdgeBottom: return Common(op, r2_, c1_, r2_, c2_, edge(kXlEdgeBottom));
        case kXlEdgeLeft: return Common(op, r1_, c1_, r2_, c1_, edge(kXlEdgeLeft));
        case kXlEdgeRight: return Common(op, r1_, c2_, r2_, c2_, edge(kXlEdgeRight));
        case kXlDiagonalDown:
        case kXlDiagonalUp: return Common(op, r1_, c1_, r2_, c2_, edge(index));
        case kXlInsideVertical:
            if (c1_ == c2_) return XlValue::Null();
            return Agree(Common(op, r1_, c1_, r2_, c2_ - 1, edge(kXlEdgeRight)),
                         Common(op, r1_, c1_ + 1, r2_, c2_, edge(kXlEdgeLeft)));
        case kXlInsideHorizontal:
            if (r1_ == r2_) return XlValue::Null();
            return Agree(Common(op, r1_, c1_, r2_ - 1, c2_, edge(kXlEdgeBottom)),
                         Common(op, r1_ + 1, c1_, r2_, c2_, edge(kXlEdgeTop)));
        default: throw Error("Borders: no such index");
        }
    }
    XlValue MergeCells() override
    {
        return Common("MergeCells", r1_, c1_, r2_, c2_, [](const FakeCell& c) { return XlValue::OfBool(c.merged); });
    }
    std::unique_ptr<XlRange> MergeArea() override
    {
        Count("MergeArea");
        Touch();
        for (const FakeBook::Area& a : book_.merges)
            if (r1_ >= a.r1 && r1_ <= a.r2 && c1_ >= a.c1 && c1_ <= a.c2)
                return std::make_unique<FakeRange>(book_, a.r1, a.c1, a.r2, a.c2);
        const FakeCell& c = book_.At(r1_, c1_);
        return std::make_unique<FakeRange>(book_, r1_, c1_, r1_ + c.areaRows - 1, c1_ + c.areaCols - 1);
    }
    XlValue Left() override
    {
        return Common("Left", r1_, c1_, r2_, c1_, [](const FakeCell& c) { return XlValue::Of(c.left); });
    }
    XlValue Top() override
    {
        return Common("Top", r1_, c1_, r1_, c2_, [](const FakeCell& c) { return XlValue::Of(c.top); });
    }
    std::u16string Address() override
    {
        Count("Address");
        const auto name = [](int c, int r) { return u"$" + ColNoToLetters(c) + u"$" + FromUtf8(std::to_string(r)); };
        std::u16string a = name(c1_, r1_);
        if (r1_ != r2_ || c1_ != c2_) a += u":" + name(c2_, r2_);
        return selection_ ? a + book_.moreAreas : a;
    }
    std::unique_ptr<XlRange> Rows(std::int32_t i) override
    {
        Count("Rows");
        if (i < 1 || i > r2_ - r1_ + 1) throw Error("Rows: no such row");
        return std::make_unique<FakeRange>(book_, r1_ + i - 1, c1_, r1_ + i - 1, c2_);
    }
    std::unique_ptr<XlRange> Columns(std::int32_t i) override
    {
        Count("Columns");
        if (i < 1 || i > c2_ - c1_ + 1) throw Error("Columns: no such column");
        return std::make_unique<FakeRange>(book_, r1_, c1_ + i - 1, r2_, c1_ + i - 1);
    }
    std::unique_ptr<XlRange> Cells(std::int32_t r, std::int32_t c) override
    {
        Count("Cells");
        const int row = r1_ + r - 1, col = c1_ + c - 1;
        if (book_.failCell && *book_.failCell == std::make_pair(row, col)) throw Error("Cells: refused by the server");
        return std::make_unique<FakeRange>(book_, row, col, row, col);
    }

private:
    void Count(const char* op) { ++book_.calls[op]; }
    // A read that meets the refused cell fails.
    void Touch(int r1, int c1, int r2, int c2) const
    {
        if (const auto& f = book_.failCell; f && f->first >= r1 && f->first <= r2 && f->second >= c1 && f->second <= c2)
            throw Error("refused by the server");
    }
    void Touch() const { Touch(r1_, c1_, r2_, c2_); }
    // A cell's Value2, or the failure it is set up to answer with.
    static XlValue ValueOf(const FakeCell& cell)
    {
        if (!cell.value2Throws.empty()) throw Error(cell.value2Throws);
        if (cell.value2Busy) throw XlUserMessage(ToUtf8(kExcelBusy));
        if (!cell.value2Message.empty()) throw XlUserMessage(ToUtf8(cell.value2Message), cell.value2Message);
        return cell.value2;
    }
    template <class Answer>
    XlValue Common(const char* op, int r1, int c1, int r2, int c2, Answer&& answer)
    {
        if (std::string_view(op) != "BorderLineStyle") Count(op); // counted once for its parts
        book_.MaybeFail(op);
        Touch(r1, c1, r2, c2);
        if (book_.rangeAnswer && (r1_ != r2_ || c1_ != c2_))
            if (std::optional<XlValue> spoilt = book_.rangeAnswer(op)) return *spoilt;
        std::optional<XlValue> first;
        for (int r = r1; r <= r2; ++r) {
            for (int c = c1; c <= c2; ++c) {
                XlValue v = answer(book_.At(r, c));
                if (!first) {
                    first = std::move(v);
                } else if (v.kind != first->kind || v.number != first->number || v.text != first->text ||
                           v.boolean != first->boolean) {
                    return XlValue::Null();
                }
            }
        }
        return first ? *first : XlValue::Null();
    }
    static XlValue Agree(const XlValue& a, const XlValue& b)
    {
        if (a.kind == XlValue::Kind::Null || b.kind == XlValue::Kind::Null || a.number != b.number) return XlValue::Null();
        return a;
    }

    FakeBook& book_;
    int r1_, c1_, r2_, c2_;
    bool selection_;
};

class FakeSheet : public XlWorksheet {
public:
    explicit FakeSheet(FakeBook& book) : book_(book) {}
    std::u16string Name() override { return book_.sheetName; }
    std::unique_ptr<XlRange> Range(std::u16string_view address) override
    {
        ++book_.rangeCalls;
        ++book_.calls["Range"];
        const std::size_t colon = address.find(u':');
        const auto [row, col] = ParseAddress(address.substr(0, colon));
        const auto [row2, col2] = colon == std::u16string_view::npos ? std::make_pair(row, col) : ParseAddress(address.substr(colon + 1));
        if (row == row2 && col == col2 && book_.failCell && *book_.failCell == std::make_pair(row, col))
            throw Error("Range: refused by the server");
        return std::make_unique<FakeRange>(book_, row, col, row2, col2);
    }

private:
    FakeBook& book_;
};

class FakeApp : public XlApplication {
public:
    explicit FakeApp(FakeBook& book) : book_(book) {}
    void SetScreenUpdating(bool on) override
    {
        book_.screenUpdating.push_back(on);
        if (!on) book_.MaybeFail("ScreenUpdating");
        if (on && book_.failScreenOn > 0) {
            --book_.failScreenOn;
            throw Error("ScreenUpdating refused");
        }
    }
    std::unique_ptr<XlWorksheet> ActiveSheet() override
    {
        book_.MaybeFail("ActiveSheet");
        return std::make_unique<FakeSheet>(book_);
    }
    std::u16string ActiveWorkbookName() override
    {
        book_.MaybeFail("ActiveWorkbook");
        return book_.bookName;
    }
    std::unique_ptr<XlRange> Selection() override
    {
        book_.MaybeFail("Selection");
        return std::make_unique<FakeRange>(book_, book_.r1, book_.c1, book_.r1 + book_.rows - 1,
                                           book_.c1 + book_.cols - 1, true);
    }
    XlValue DisplayFormulas() override
    {
        book_.MaybeFail("DisplayFormulas");
        return book_.displayFormulas;
    }

private:
    FakeBook& book_;
};

} // namespace
} // namespace gridvane
