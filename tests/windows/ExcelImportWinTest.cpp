#include <gtest/gtest.h>

#include <vector>

#include "excel/ExcelAutomationWin.h"
#include "excel/ExcelImport.h"

namespace gridvane {
namespace {

struct MessagesOnly : HeadlessImportView {
    std::vector<std::u16string> messages;
    bool button4 = true;
    void SetButton4Enabled(bool on) override { button4 = on; }
    void ShowMessage(std::u16string_view t) override { messages.emplace_back(t); }
};

// No spreadsheet runs here: the import says so twice and keeps the table it had.
TEST(ExcelImportWin, NoRunningSpreadsheetShowsTheClassMessageThenTheFailure)
{
    CellTable table;
    table.CellGrid.resize(1);
    table.GridColCount = table.GridRowCount = 1;
    table.CellGrid[0].str = u"kept";
    MessagesOnly view;
    const ImportResult result = ImportSelection(&AttachRunningExcel, view, table, ImportScales{}, u'.');
    EXPECT_FALSE(result.ok);
    EXPECT_EQ(view.messages, (std::vector<std::u16string>{u"クラス名: Excel.Application は無効です.", u"取得に失敗しました."}));
    EXPECT_FALSE(view.button4);
    EXPECT_EQ(table.CellGrid[0].str, u"kept");
}

} // namespace
} // namespace gridvane
