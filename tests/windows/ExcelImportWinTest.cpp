#include <gtest/gtest.h>

#include <vector>

#include "base/Error.h"
#include "base/Utf.h"
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
    const ImportResult result = ImportSelection([] { return AttachRunningExcel(); }, view, table, ImportScales{}, u'.');
    EXPECT_FALSE(result.ok);
    EXPECT_EQ(view.messages, (std::vector<std::u16string>{u"クラス名: Excel.Application は無効です.", u"取得に失敗しました."}));
    EXPECT_FALSE(view.button4);
    EXPECT_EQ(table.CellGrid[0].str, u"kept");
}

// A spreadsheet that turns busy after screen updating was switched off, and may refuse to switch it on.
struct FrozenSpreadsheet : XlApplication {
    std::vector<bool>* writes;
    bool refuseOn;
    void SetScreenUpdating(bool on) override
    {
        if (on && refuseOn) throw XlUserMessage(ToUtf8(kExcelBusy));
        writes->push_back(on);
    }
    std::unique_ptr<XlWorksheet> ActiveSheet() override { throw XlUserMessage(ToUtf8(kExcelBusy)); }
    std::u16string ActiveWorkbookName() override { return u"Book1.xlsx"; }
    std::unique_ptr<XlRange> Selection() override { throw Error("not reached"); }
    XlValue DisplayFormulas() override { return XlValue::OfBool(false); }
};

// Busy in the middle: the user reads why, hears that screen updating could not be switched on again,
// and a later attempt (the next import, the close) switches it on.
TEST(ExcelImportWin, ABusySpreadsheetIsNamedAndAScreenLeftFrozenIsToldAndRetried)
{
    std::vector<bool> writes;
    bool refuseOn = true;
    const XlAttach attach = [&] {
        auto app = std::make_unique<FrozenSpreadsheet>();
        app->writes = &writes;
        app->refuseOn = refuseOn;
        return std::unique_ptr<XlApplication>(std::move(app));
    };
    CellTable table;
    MessagesOnly view;
    const ImportResult result = ImportSelection(attach, view, table, ImportScales{}, u'.');
    EXPECT_FALSE(result.ok);
    EXPECT_TRUE(result.screenUpdatingLeftOff);
    EXPECT_EQ(view.messages, (std::vector<std::u16string>{std::u16string(kExcelBusy),
                                                          std::u16string(kExcelScreenUpdatingLeftOff),
                                                          u"取得に失敗しました."}));
    EXPECT_EQ(writes, std::vector<bool>{false});

    EXPECT_FALSE(RestoreScreenUpdating(attach)); // still refused
    refuseOn = false;
    EXPECT_TRUE(RestoreScreenUpdating(attach));
    EXPECT_EQ(writes, (std::vector<bool>{false, true}));
}

} // namespace
} // namespace gridvane
