#pragma once
// A spreadsheet held in memory behind the import's automation interface, for tests of the import and of
// the window's form: every cell answers with the values set for it, or with defaults; any operation can
// be made to fail.
#include <map>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "base/Error.h"
#include "base/Utf.h"
#include "excel/SpreadsheetAutomation.h"

namespace gridvane {
namespace {

struct FakeCell {
    double columnWidth = 8.43;
    double rowHeight = 13.5;
    int align = 1; // xlGeneral
    XlValue fontSize = XlValue::Of(11.0);
    std::u16string text;
    XlValue value2;
    std::map<int, int> borders; // index -> line style; missing: none
    bool merged = false;
    int areaRows = 1, areaCols = 1;
    double left = 0, top = 0;
    std::string value2Throws; // Value2 fails with this message, as an automation layer reports it
    bool value2Busy = false;  // Value2 is refused as the spreadsheet is busy for good
    std::u16string value2Message; // Value2 fails with this message for the user (the spreadsheet gone, ...)
};

struct FakeBook {
    std::u16string bookName = u"Book1.xlsx";
    std::u16string sheetName = u"Sheet1";
    int r1 = 1, c1 = 1, rows = 1, cols = 1;
    std::map<std::pair<int, int>, FakeCell> cells; // (row, column) from 1
    std::set<std::string> failAt;                  // operations that throw
    std::vector<bool> screenUpdating;              // every write
    int rangeCalls = 0;
    std::optional<std::pair<int, int>> failCell; // Range(address) of this cell fails
    int failScreenOn = 0;                        // this many ScreenUpdating = true writes fail

    void MaybeFail(const std::string& op) const
    {
        if (failAt.count(op)) throw Error(op + " refused");
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

class FakeRange : public XlRange {
public:
    FakeRange(FakeBook& book, FakeCell cell, int row, int col, int rows, int cols)
        : book_(book), cell_(std::move(cell)), row_(row), col_(col), rows_(rows), cols_(cols)
    {
    }
    XlValue Row() override { return XlValue::Of(row_); }
    XlValue Column() override { return XlValue::Of(col_); }
    XlValue RowsCount() override { return XlValue::Of(rows_); }
    XlValue ColumnsCount() override { return XlValue::Of(cols_); }
    XlValue ColumnWidth() override { return XlValue::Of(cell_.columnWidth); }
    XlValue RowHeight() override { return XlValue::Of(cell_.rowHeight); }
    XlValue HorizontalAlignment() override { return XlValue::Of(cell_.align); }
    XlValue FontSize() override { return cell_.fontSize; }
    std::u16string Text() override { return cell_.text; }
    XlValue Value2() override
    {
        if (!cell_.value2Throws.empty()) throw Error(cell_.value2Throws);
        if (cell_.value2Busy) throw XlUserMessage(ToUtf8(kExcelBusy));
        if (!cell_.value2Message.empty()) throw XlUserMessage(ToUtf8(cell_.value2Message), cell_.value2Message);
        return cell_.value2;
    }
    XlValue BorderLineStyle(int index) override
    {
        auto it = cell_.borders.find(index);
        return XlValue::Of(it == cell_.borders.end() ? kXlLineStyleNone : it->second);
    }
    XlValue MergeCells() override { return XlValue::OfBool(cell_.merged); }
    std::unique_ptr<XlRange> MergeArea() override
    {
        FakeCell area = cell_;
        return std::make_unique<FakeRange>(book_, area, row_, col_, cell_.areaRows, cell_.areaCols);
    }
    XlValue Left() override { return XlValue::Of(cell_.left); }
    XlValue Top() override { return XlValue::Of(cell_.top); }

private:
    FakeBook& book_;
    FakeCell cell_;
    int row_, col_, rows_, cols_;
};

class FakeSheet : public XlWorksheet {
public:
    explicit FakeSheet(FakeBook& book) : book_(book) {}
    std::u16string Name() override { return book_.sheetName; }
    std::unique_ptr<XlRange> Range(std::u16string_view address) override
    {
        ++book_.rangeCalls;
        const auto [row, col] = ParseAddress(address);
        if (book_.failCell && *book_.failCell == std::make_pair(row, col)) throw Error("Range: refused by the server");
        auto it = book_.cells.find({row, col});
        return std::make_unique<FakeRange>(book_, it == book_.cells.end() ? FakeCell{} : it->second, row, col, 1, 1);
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
        return std::make_unique<FakeRange>(book_, FakeCell{}, book_.r1, book_.c1, book_.rows, book_.cols);
    }

private:
    FakeBook& book_;
};

} // namespace
} // namespace gridvane
