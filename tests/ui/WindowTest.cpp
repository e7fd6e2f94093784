#include <gtest/gtest.h>

#include <QAction>
#include <QClipboard>
#include <QElapsedTimer>
#include <QScrollBar>
#include <QApplication>
#include <QCheckBox>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QMessageBox>
#include <QProgressBar>
#include <QPushButton>
#include <QTabBar>
#include <QTabWidget>
#include <QTableView>
#include <QTableWidget>
#include <QTest>
#include <QTimer>
#include <QToolButton>

#include <deque>
#include <filesystem>
#include <fstream>
#include <optional>

#include "app/FormPlatform.h"
#include "settings/SizeSummary.h"
#include "tests/support/CalcOffice.h"
#include "tests/support/GermanLocale.h"
#include "ui/DrawingPage.h"
#include "ui/StringGrid.h"
#include "ui/Unit2Plotra23.h"
#include "ui/Unit3.h"

namespace gridvane {
namespace {

namespace fs = std::filesystem;

// The real window with its boxes answered as the test says; what was shown is remembered.
struct ScriptedWindow : Form1View {
    struct Shown {
        QString text, caption;
        MessageIcon icon;
    };
    std::vector<Shown> shown;
    std::deque<bool> answers;          // Yes/No answers; empty: No
    std::optional<fs::path> workbook;  // the file to pick; empty: cancel
    std::deque<bool> replaceResults;   // the replace dialog: true "実行", false "中止"; empty: 中止

    using Form1View::Form1View;
    void Message(std::u16string_view text, std::u16string_view caption, MessageIcon icon, MessageOwner) override
    {
        shown.push_back({QString::fromStdU16String(std::u16string(text)), QString::fromStdU16String(std::u16string(caption)), icon});
    }
    bool AskYesNo(std::u16string_view text, std::u16string_view caption, MessageOwner) override
    {
        shown.push_back({QString::fromStdU16String(std::u16string(text)), QString::fromStdU16String(std::u16string(caption)),
                         MessageIcon::Question});
        if (answers.empty()) return false;
        const bool a = answers.front();
        answers.pop_front();
        return a;
    }
    int dialogs = 0;                   // workbook dialogs shown
    std::optional<fs::path> ChooseWorkbook(const fs::path&) override
    {
        ++dialogs;
        return workbook;
    }
};

// Where the window looks for a running Calc in the tests that do not start one: a profile and a pipe of
// the test's own, which no office uses (this user's own office stays out of the tests).
CalcAttachOptions NoOffice(const fs::path& dir)
{
    CalcAttachOptions options;
    options.userInstallation = "file://" + (dir / "no-office-profile").string();
    options.pipeName = "gridvane_test_no_office_" + std::to_string(getpid());
    return options;
}

fs::path TestDir(const std::string& name)
{
    const fs::path d = fs::path(GRIDVANE_BINARY_DIR) / "test-tmp" / "ui" / name;
    fs::remove_all(d);
    fs::create_directories(d);
    return d;
}

struct Window {
    fs::path dir;
    std::unique_ptr<ScriptedWindow> form;
    explicit Window(const std::string& name, const std::string& ini = {})
    {
        dir = TestDir(name);
        if (!ini.empty()) std::ofstream(dir / "Gridvane23.ini", std::ios::binary) << ini;
        form = std::make_unique<ScriptedWindow>(MakeFormPlatform(dir / "Gridvane23", NoOffice(dir)));
    }
    ScriptedWindow& f() { return *form; }
    void ImportSample()
    {
        form->workbook = fs::path(GRIDVANE_SOURCE_DIR) / "samples" / "parts-list.xlsx";
        form->Button3->click();
    }
    // The sample imported and the window shown at 900 x 600.
    void ShowSample()
    {
        ImportSample();
        form->resize(900, 600);
        form->show();
        QApplication::processEvents();
    }
    QString Cell(int c, int r) const { return form->GridModel()->CellText(c, r); }
};

// Types text into a widget as key presses carrying the characters (also those no key of a US keyboard has).
void Type(QWidget* widget, const QString& text)
{
    for (const QChar ch : text) {
        QKeyEvent press(QEvent::KeyPress, 0, Qt::NoModifier, QString(ch));
        QApplication::sendEvent(widget, &press);
        QKeyEvent release(QEvent::KeyRelease, 0, Qt::NoModifier, QString(ch));
        QApplication::sendEvent(widget, &release);
    }
}

TEST(Window, StartUpState)
{
    Window w("startup", "[PlotraTlsx]\r\ncellLineDraw=0\r\ncadYsc=abc\r\n");
    ScriptedWindow& f = w.f();
    EXPECT_EQ(f.windowTitle(), QStringLiteral("Gridvane 2023.02.11"));
    EXPECT_EQ(f.Button3->text(), QStringLiteral("Excel から取得"));
    EXPECT_EQ(f.Button3->toolTip(), QStringLiteral("アクティブな Excel から選択範囲を取得します"));
    EXPECT_EQ(f.Button4->text(), QStringLiteral("Plotra へ挿入"));
    EXPECT_EQ(f.Button4->toolTip(), QStringLiteral("DXF ファイル作成,、AutoCAD, Bricscad に挿入"));
    EXPECT_TRUE(f.Button3->isEnabled());
    EXPECT_FALSE(f.Button4->isEnabled());
    EXPECT_EQ(f.PageControl1->tabText(0), QStringLiteral(" 取得、描画"));
    EXPECT_EQ(f.PageControl1->tabText(1), QStringLiteral(" 設定、確認"));
    EXPECT_EQ(f.PageControl1->tabText(2), QStringLiteral(" 図面"));
    EXPECT_EQ(f.PageControl1->count(), 3);
    EXPECT_EQ(f.CheckBox1->text(), QStringLiteral("セルを描画"));
    EXPECT_FALSE(f.CheckBox1->isChecked());
    EXPECT_EQ(f.Edit7->text(), QStringLiteral("0.43")); // not a number in the file: the default
    EXPECT_EQ(f.Edit4->text(), QStringLiteral("20"));
    EXPECT_EQ(f.Edit10->text(), QStringLiteral("252"));
    EXPECT_FALSE(f.Edit10->isEnabled());
    EXPECT_TRUE(f.Edit1->text().isEmpty());
    EXPECT_TRUE(f.Label4->text().isEmpty());
    EXPECT_EQ(f.StringGrid1->toolTip(),
              QStringLiteral("範囲選択=固定部クリック or [Shift]+矢印キー. 右クリックで選択範囲の文字変換メニュー"));
    EXPECT_EQ(f.GridModel()->columnCount(), 4);
    EXPECT_EQ(f.GridModel()->rowCount(), 4);
    EXPECT_EQ(f.StringGrid2->item(4, 0)->text(), QStringLiteral("文字"));
    const QStringList captions = {"半角->全角", "半角->全角（数字のみの文字列は除外）", "半角カナ->全角", "",
                                  "全角->半角", "全角数字->半角", "全角アルファベット->半角", "",
                                  "代替文字を含む禁止文字->半角", "", "置換", "",
                                  "元に戻す\tCtrl+Z", "やり直し\tCtrl+Y", "", "コピー\tCtrl+C", "貼り付け\tCtrl+V", "削除\tDel"};
    QStringList actual;
    for (QAction* a : f.PopupMenu1->actions()) actual << (a->isSeparator() ? QString() : a->text());
    EXPECT_EQ(actual, captions);
    EXPECT_FALSE(f.N14->isEnabled()); // nothing to undo yet
    EXPECT_FALSE(f.N15->isEnabled());
    EXPECT_NE(f.findChild<QLabel*>(), nullptr);
    bool byLayer = false;
    for (QLabel* l : f.findChildren<QLabel*>()) byLayer |= l->text() == QStringLiteral("( BYLAYER = 256 )");
    EXPECT_TRUE(byLayer);
    for (const char* name : {"Button3", "Edit2", "Label4", "SpeedButton1", "CheckBox1", "StringGrid1", "ProgressBar1",
                             "PageControl1", "Edit4", "Edit10", "StringGrid2", "Button1", "Edit13", "Label13"}) {
        EXPECT_NE(f.findChild<QObject*>(QString::fromLatin1(name)), nullptr) << name;
    }
    // The client area starts at 432 x 288 and stays so, whatever the status line holds.
    f.show();
    QApplication::processEvents();
    EXPECT_EQ(f.size(), QSize(432, 288));
    f.Label4->setText(QString(300, QLatin1Char('W')));
    f.PageControl1->setCurrentIndex(1);
    QApplication::processEvents();
    EXPECT_EQ(f.size(), QSize(432, 288));
    f.PageControl1->setCurrentIndex(0);
}

TEST(Window, CloseWritesSettingsAndAFailedWriteKeepsTheWindowAndTable)
{
    Window w("close");
    w.form->close();
    std::ifstream in(w.dir / "Gridvane23.ini", std::ios::binary);
    const std::string ini((std::istreambuf_iterator<char>(in)), {});
    EXPECT_EQ(ini, "[PlotraTlsx]\r\ncolXsc=20\r\nrowYsc=3\r\ncadXsc=3\r\ncadYsc=0.43\r\ncadTsc=0.27\r\ncadTof=0.8\r\n"
                   "cellLineColor=252\r\ncellLineDraw=1\r\nxlsVerNum=16\r\n");
    EXPECT_TRUE(w.f().shown.empty());

    Window bad("close-fail");
    bad.ImportSample();
    ASSERT_FALSE(bad.f().Form().Table().Empty());
    fs::create_directories(bad.dir / "Gridvane23.ini"); // a folder where the file should go
    bad.form->show();
    EXPECT_FALSE(bad.form->close());
    ASSERT_FALSE(bad.f().shown.empty());
    EXPECT_TRUE(bad.f().shown.back().text.endsWith(QStringLiteral(" に書き込めません")));
    EXPECT_EQ(bad.f().shown.back().icon, MessageIcon::Error);
    EXPECT_FALSE(bad.f().Form().Table().Empty());
}

TEST(Window, ImportDrivesButtonsGridAndSummary)
{
    Window w("import");
    ScriptedWindow& f = w.f();
    f.workbook.reset(); // cancelled: nothing happens
    f.Button3->click();
    EXPECT_TRUE(f.shown.empty());
    w.ImportSample();
    ASSERT_EQ(f.shown.size(), 1u);
    EXPECT_EQ(f.shown[0].text, QStringLiteral(" 取得しました."));
    EXPECT_EQ(f.shown[0].caption, QStringLiteral("メッセージ"));
    EXPECT_TRUE(f.Button4->isEnabled());
    EXPECT_EQ(f.windowTitle(), QStringLiteral("parts-list.xlsx [部品表]"));
    EXPECT_EQ(f.Edit2->text(), QStringLiteral("B1"));
    EXPECT_EQ(f.Edit3->text(), QStringLiteral("G8"));
    EXPECT_EQ(f.GridModel()->columnCount(), 6);
    EXPECT_EQ(f.GridModel()->rowCount(), 8);
    EXPECT_EQ(f.GridModel()->headerData(0, Qt::Horizontal, Qt::DisplayRole).toString(), QStringLiteral("B"));
    EXPECT_EQ(f.GridModel()->headerData(7, Qt::Vertical, Qt::DisplayRole).toString(), QStringLiteral("8"));
    EXPECT_EQ(w.Cell(2, 3), QStringLiteral("六角ボルト\nM8×20"));
    EXPECT_EQ(w.Cell(5, 3), QStringLiteral("12.50"));
    EXPECT_TRUE(f.Label4->text().startsWith(QStringLiteral("全体: W=")));
    // Cell (1, 1) of the new table is current and shown.
    EXPECT_EQ(f.StringGrid1->currentIndex(), f.GridModel()->index(0, 0));
    EXPECT_EQ(f.Edit1->text(), w.Cell(1, 1));
    EXPECT_FALSE(f.Edit11->text().isEmpty());
    f.PageControl1->setCurrentIndex(1);
    EXPECT_FALSE(f.StringGrid2->item(0, 1)->text().isEmpty());
    f.PageControl1->setCurrentIndex(0);
    f.resize(640, 420);
    f.show();
    QApplication::processEvents();
    f.grab().save(QString::fromStdString(std::string(GRIDVANE_BINARY_DIR) + "/window-imported.png"));

    // A failed import after a success keeps the table, which can still be drawn; the first message is Japanese.
    const std::size_t cells = f.Form().Table().CellGrid.size();
    const fs::path notAWorkbook = w.dir / "notes.xlsx";
    std::ofstream(notAWorkbook, std::ios::binary) << "just some text";
    f.workbook = notAWorkbook;
    f.Button3->click();
    EXPECT_TRUE(f.Button4->isEnabled());
    EXPECT_TRUE(f.Button3->isEnabled());
    ASSERT_GE(f.shown.size(), 3u);
    EXPECT_EQ(f.shown[f.shown.size() - 2].text, QStringLiteral("ブック \"notes.xlsx\" を開けません: zip 形式ではないか、壊れています。"));
    EXPECT_EQ(f.shown.back().text, QStringLiteral("取得に失敗しました."));
    EXPECT_EQ(f.Form().Table().CellGrid.size(), cells);

    // The drawing goes beside the executable.
    f.Form().Button4Click();
    EXPECT_TRUE(fs::exists(w.dir / "Gridvane23.dxf"));

}

// "Excel から取得" while a LibreOffice Calc runs with a spreadsheet in front imports the selection made in
// it, as the workbook file gives the same cells; with a document in front that is not a spreadsheet the
// window says so and offers a workbook file instead; once the office has ended, the file dialog follows
// as it does where none ever ran.
TEST(Window, ExcelButtonImportsTheRunningCalcsSelection)
{
    const fs::path dir = TestDir("calc");
    const fs::path sample = fs::path(GRIDVANE_SOURCE_DIR) / "samples" / "parts-list.xlsx";
    testing::CalcOffice office(dir, "window");
    office.Driver().Open(sample);
    office.Driver().Select(u"B1:G8"); // the workbook's saved selection, which the file route takes
    office.Disconnect();

    ScriptedWindow live(MakeFormPlatform(dir / "Gridvane23", office.Options()));
    live.resize(900, 600);
    live.show();
    QApplication::processEvents();
    live.Button3->click();
    EXPECT_EQ(live.dialogs, 0);
    ASSERT_EQ(live.shown.size(), 1u) << live.shown.back().text.toStdString();
    EXPECT_EQ(live.shown[0].text, QStringLiteral(" 取得しました."));
    EXPECT_TRUE(live.Button4->isEnabled());
    QApplication::processEvents();
    live.grab().save(QString::fromStdString(std::string(GRIDVANE_BINARY_DIR) + "/window-calc.png"));

    Window file("calc-file");
    file.ImportSample();
    const TForm1& a = live.Form();
    const TForm1& b = file.f().Form();
    EXPECT_EQ(live.windowTitle(), QStringLiteral("parts-list.xlsx [部品表]"));
    EXPECT_EQ(live.windowTitle(), file.f().windowTitle());
    EXPECT_EQ(live.Edit2->text(), QStringLiteral("B1"));
    EXPECT_EQ(live.Edit3->text(), file.f().Edit3->text());
    EXPECT_EQ(a.Grid().colCount, b.Grid().colCount);
    EXPECT_EQ(a.Grid().rowCount, b.Grid().rowCount);
    EXPECT_EQ(a.Grid().cells, b.Grid().cells); // the headers and every text
    EXPECT_EQ(a.Grid().colWidths, b.Grid().colWidths);
    EXPECT_EQ(a.Grid().rowHeights, b.Grid().rowHeights);
    EXPECT_TRUE(a.Table().CellGrid == b.Table().CellGrid);
    EXPECT_EQ(live.Label4->text(), file.f().Label4->text());
    for (int r = 0; r < live.GridModel()->rowCount(); ++r)
        for (int c = 0; c < live.GridModel()->columnCount(); ++c)
            EXPECT_EQ(live.GridModel()->CellText(c + 1, r + 1), file.Cell(c + 1, r + 1)) << c << ", " << r;

    // A chart in front: the reason and the offer of a file; No leaves the table as it is.
    const std::vector<std::u16string> cells = a.Grid().cells;
    office.Driver().CloseAll();
    office.Driver().OpenChartDocument();
    office.Disconnect();
    live.shown.clear();
    live.answers = {false};
    live.Button3->click();
    ASSERT_EQ(live.shown.size(), 1u);
    EXPECT_EQ(live.shown[0].icon, MessageIcon::Question);
    EXPECT_EQ(live.shown[0].text, QString::fromStdU16String(std::u16string(kCalcNotSpreadsheet) + u"\n\n" +
                                                            std::u16string(kChooseWorkbookInstead)));
    EXPECT_EQ(live.dialogs, 0);
    EXPECT_EQ(a.Grid().cells, cells);

    // The office ended: the file dialog (cancelled here), nothing else.
    office.Stop();
    live.shown.clear();
    live.Button3->click();
    EXPECT_EQ(live.dialogs, 1);
    EXPECT_TRUE(live.shown.empty());
    EXPECT_EQ(a.Grid().cells, cells);
    EXPECT_TRUE(live.Button3->isEnabled());
}

TEST(Window, SettingsApplyAndSizeSummary)
{
    Window w("apply");
    ScriptedWindow& f = w.f();
    QTest::keyClicks(f.Edit6, QStringLiteral("x")); // typed by the user: "3x"
    EXPECT_EQ(f.Edit6->text(), QStringLiteral("3x"));
    f.Button1->click(); // no table: nothing, no question
    EXPECT_TRUE(f.shown.empty());
    EXPECT_EQ(f.Form().Settings().cadXsc, 3);
    w.ImportSample();
    f.shown.clear();
    const double before = f.Form().Table().CellGrid[0].drawW;
    f.answers = {true};
    f.Button1->click(); // "3x" is not a number: said, not asked, nothing changed
    ASSERT_EQ(f.shown.size(), 1u);
    EXPECT_EQ(f.shown[0].text, QStringLiteral("CAD, DXF の X 尺度 には 0 より大きい数を入力してください: \"3x\"\n設定は変更していません。"));
    EXPECT_EQ(f.Form().Settings().cadXsc, 3);
    // Typed through an input method: full-width digits.
    f.Edit6->selectAll();
    Type(f.Edit6, QStringLiteral("１０"));
    f.answers.clear();
    f.shown.clear();
    f.Button1->click(); // answered No
    ASSERT_EQ(f.shown.size(), 1u);
    EXPECT_EQ(f.shown[0].caption, QStringLiteral("確認"));
    EXPECT_EQ(f.shown[0].text,
              QStringLiteral("尺度を更新すると個別に設定した列幅、列高さ、文字高さがリセット（再計算）されます．\r設定を更新しますか？"));
    EXPECT_EQ(f.Form().Settings().cadXsc, 3);
    EXPECT_EQ(f.Form().Table().CellGrid[0].drawW, before);
    f.answers = {true};
    f.Button1->click();
    EXPECT_EQ(f.Form().Settings().cadXsc, 10);
    EXPECT_EQ(f.Edit6->text(), QStringLiteral("１０"));
    EXPECT_DOUBLE_EQ(f.Form().Table().CellGrid[0].drawW, f.Form().Table().CellGrid[0].colW * 10.0);
    // The total in the status line is the new one.
    EXPECT_EQ(f.Label4->text(), QString::fromStdU16String(ShowWHSizeText(f.Form().Table(), u'.')));
    EXPECT_FALSE(f.StringGrid2->item(2, 1)->text().isEmpty());
    // A selected summary row leaves its label cell alone.
    EXPECT_FALSE(f.StringGrid2->item(2, 0)->flags() & Qt::ItemIsSelectable);
}

// The names of count widgets Tab reaches from the first one on (enabled, shown, taking the focus by Tab).
QStringList TabOrder(QWidget* from, int count)
{
    QStringList order;
    QWidget* at = from;
    for (int i = 0; i < count; ++i) {
        order << at->objectName();
        do at = at->nextInFocusChain();
        while (!(at->isEnabled() && at->isVisible() && (at->focusPolicy() & Qt::TabFocus)));
    }
    return order;
}

TEST(Window, TabGoesThroughTheSettingsInTheirOrder)
{
    Window w("settings-tab");
    ScriptedWindow& f = w.f();
    f.show();
    f.PageControl1->setCurrentIndex(kPageSettings);
    QApplication::processEvents();
    // Edit4 to Edit9 one after another; Edit10 is disabled and passed over.
    EXPECT_EQ(TabOrder(f.Edit4, 7), (QStringList{"Edit4", "Edit5", "Edit6", "Edit7", "Edit8", "Edit9", "Button1"}));
}

// Clicks at the centre of a view cell or a header section, as the user does.
QPoint CellCentre(QTableView* view, int row, int column)
{
    return view->visualRect(view->model()->index(row, column)).center();
}

TEST(Window, RealClicksOnHeadersAndTheRightButton)
{
    Window w("clicks");
    ScriptedWindow& f = w.f();
    w.ShowSample();
    const TForm1& form = f.Form();

    // A click on a cell makes it current and shows it.
    QTest::mouseClick(f.StringGrid1->viewport(), Qt::LeftButton, {}, CellCentre(f.StringGrid1, 1, 1));
    EXPECT_EQ(form.Grid().col, 2);
    EXPECT_EQ(form.Grid().row, 2);
    EXPECT_EQ(f.Edit1->text(), w.Cell(2, 2));

    // A click on the column header C selects the column, makes its last cell current and shows it: typing
    // into Edit1 then changes that cell, and no other. C8 lies in the merged B8:E8: its anchor B8 is current.
    QHeaderView* top = f.StringGrid1->horizontalHeader();
    const QPoint header(top->sectionViewportPosition(1) + top->sectionSize(1) / 2, top->height() / 2);
    QTest::mouseClick(top->viewport(), Qt::LeftButton, {}, header);
    EXPECT_EQ(form.Grid().selection.left, 2);
    EXPECT_EQ(form.Grid().selection.right, 2);
    EXPECT_EQ(form.Grid().selection.top, 1);
    EXPECT_EQ(form.Grid().selection.bottom, 8);
    EXPECT_EQ(form.Grid().col, 1);
    EXPECT_EQ(form.Grid().row, 8);
    const QString last = w.Cell(1, 8), other = w.Cell(2, 2);
    EXPECT_EQ(f.Edit1->text(), last);
    f.Edit1->setFocus();
    f.Edit1->end(false);
    QTest::keyClicks(f.Edit1, QStringLiteral("!"));
    EXPECT_EQ(w.Cell(1, 8), last + QStringLiteral("!"));
    EXPECT_EQ(w.Cell(2, 2), other);

    // The right click opens the menu and moves neither the current cell nor the selection.
    const GridSelection before = form.Grid().selection;
    QTest::mouseClick(f.StringGrid1->viewport(), Qt::RightButton, {}, CellCentre(f.StringGrid1, 2, 4));
    QApplication::processEvents();
    EXPECT_EQ(form.Grid().col, 1);
    EXPECT_EQ(form.Grid().row, 8);
    EXPECT_EQ(form.Grid().selection.left, before.left);
    EXPECT_EQ(form.Grid().selection.bottom, before.bottom);
    EXPECT_EQ(f.StringGrid1->currentIndex(), f.GridModel()->index(7, 0));
    f.PopupMenu1->hide();

    // A popup command acts on the selected column; Edit1 keeps showing the current cell as it is.
    const QString c3 = w.Cell(2, 3);
    f.N1->trigger();
    EXPECT_NE(w.Cell(2, 3), c3); // "M8×20" to full width
    EXPECT_EQ(f.Edit1->text(), w.Cell(1, 8));
    // On the current cell itself ("!" to full width) Edit1 follows the command.
    QTest::mouseClick(f.StringGrid1->viewport(), Qt::LeftButton, {}, CellCentre(f.StringGrid1, 7, 2));
    f.N1->trigger();
    EXPECT_EQ(f.Edit1->text(), last + QStringLiteral("！"));
    f.grab().save(QString::fromStdString(std::string(GRIDVANE_BINARY_DIR) + "/window-clicks.png"));
}

TEST(Window, GridEditing)
{
    Window w("grid");
    ScriptedWindow& f = w.f();
    w.ImportSample();
    TForm1& form = f.Form();

    // A text with a line break turns Edit1 red; clicking the cell leaves it unchanged.
    form.StringGrid1SelectCell(3, 2, false);
    form.StringGrid1SetEditText(3, 2, u"a\r\nb");
    form.StringGrid1SelectCell(2, 2, false);
    form.StringGrid1SelectCell(3, 2, false);
    EXPECT_EQ(w.Cell(3, 2), QStringLiteral("a\r\nb"));
    EXPECT_EQ(f.Edit1->palette().color(QPalette::Text), QColor(255, 0, 0));
    form.StringGrid1SelectCell(2, 2, false);
    EXPECT_EQ(f.Edit1->palette().color(QPalette::Text), QColor(0, 0, 0));
    EXPECT_EQ(f.Edit1->text(), QStringLiteral("品名"));

    // Typing into Edit1 changes the current cell only, not the imported text.
    f.Edit1->selectAll();
    Type(f.Edit1, QStringLiteral("部品名"));
    EXPECT_EQ(w.Cell(2, 2), QStringLiteral("部品名"));
    EXPECT_EQ(form.Table().At(1, 1).str, u"品名");

    // The character after the caret, on the release of an arrow key.
    f.Edit1->selectAll();
    Type(f.Edit1, QStringLiteral("xあ"));
    f.Edit1->setCursorPosition(0);
    QTest::keyClick(f.Edit1, Qt::Key_Right);
    EXPECT_EQ(f.Label13->text(), QStringLiteral("[3042]"));
    QTest::keyClick(f.Edit1, Qt::Key_Right);
    EXPECT_TRUE(f.Label13->text().isEmpty());

    // Column width on columns 2..3 through the real box and Enter.
    form.StringGrid1SelectCell(2, 2, false);
    form.StringGrid1SelectCell(3, 3, true);
    for (const char* bad : {"0", "-1", "abc"}) {
        f.shown.clear();
        f.Edit11->setText(QString::fromLatin1(bad));
        QTest::keyClick(f.Edit11, Qt::Key_Return);
        ASSERT_EQ(f.shown.size(), 1u) << bad; // said, and nothing asked
        EXPECT_EQ(f.shown[0].text, QStringLiteral("列幅には 0 より大きい数を入力してください。"));
        EXPECT_EQ(f.Edit11->text(), QString::fromLatin1(bad));
    }
    f.shown.clear();
    f.Edit11->setText(QStringLiteral("12.5"));
    f.answers = {true};
    QTest::keyClick(f.Edit11, Qt::Key_Return);
    ASSERT_EQ(f.shown.size(), 1u);
    EXPECT_EQ(f.shown[0].text, QStringLiteral("選択範囲の列幅を変更しますか？"));
    EXPECT_EQ(f.Edit11->text(), QStringLiteral("12.500"));
    for (int r = 0; r < form.Table().GridRowCount; ++r) {
        EXPECT_EQ(form.Table().At(r, 1).drawW, 12.5);
        EXPECT_EQ(form.Table().At(r, 2).drawW, 12.5);
    }

    // "右" right-aligns the whole selection.
    f.SpeedButton3->click();
    EXPECT_EQ(form.Table().At(2, 2).txtAlign, kAlignRight);

    // Typing into the grid's own cell editor changes that cell; Edit1 follows when it is the current one.
    f.show();
    QApplication::setActiveWindow(&f);
    ASSERT_TRUE(QTest::qWaitForWindowActive(&f));
    f.StringGrid1->setFocus();
    ASSERT_EQ(f.StringGrid1->currentIndex(), f.GridModel()->index(2, 2));
    QTest::keyClicks(f.StringGrid1, QStringLiteral("t")); // the first key opens the cell's editor
    auto* editor = f.StringGrid1->viewport()->findChild<QLineEdit*>();
    ASSERT_NE(editor, nullptr);
    QTest::keyClicks(editor, QStringLiteral("yped"));
    QTest::keyClick(editor, Qt::Key_Return);
    QApplication::processEvents(); // the editor commits through a queued call
    EXPECT_EQ(w.Cell(3, 3), QStringLiteral("typed"));
    EXPECT_EQ(f.Edit1->text(), QStringLiteral("typed"));

    // Replace through the real dialog: cancelled changes nothing; executed reports the cells it changed.
    f.shown.clear();
    QTimer::singleShot(0, [&] {
        QTest::keyClicks(f.Form3->Edit1, QStringLiteral("y"));
        QTest::keyClicks(f.Form3->Edit2, QStringLiteral("Y"));
        f.Form3->Button2->click();
    });
    f.N4->trigger();
    EXPECT_TRUE(f.shown.empty());
    EXPECT_EQ(w.Cell(3, 3), QStringLiteral("typed"));
    QTimer::singleShot(0, [&] { f.Form3->Button1->click(); }); // the texts typed last time are still there
    f.N4->trigger();
    ASSERT_EQ(f.shown.size(), 1u);
    EXPECT_EQ(f.shown[0].text, QStringLiteral("1 個の文字列を置換しました."));
    EXPECT_EQ(f.shown[0].icon, MessageIcon::None);
    EXPECT_EQ(w.Cell(3, 3), QStringLiteral("tYped"));
    EXPECT_EQ(f.Edit1->text(), QStringLiteral("tYped"));
    EXPECT_EQ(f.Form3->Edit1->text(), QStringLiteral("y")); // the dialog keeps its texts

    f.resize(640, 420);
    f.show();
    QApplication::processEvents();
    f.grab().save(QString::fromStdString(std::string(GRIDVANE_BINARY_DIR) + "/window-grid.png"));
}

// The window made active, as a user's window is (shortcuts and focus need it).
void Activate(QWidget& window)
{
    window.show();
    QApplication::setActiveWindow(&window);
    ASSERT_TRUE(QTest::qWaitForWindowActive(&window));
}

TEST(Window, KeysUndoRedoCopyPasteAndDelete)
{
    Window w("keys");
    ScriptedWindow& f = w.f();
    w.ShowSample();
    Activate(f);
    TForm1& form = f.Form();

    // Typed into the grid's editor, taken back and done again with the keys.
    QTest::mouseClick(f.StringGrid1->viewport(), Qt::LeftButton, {}, CellCentre(f.StringGrid1, 1, 1));
    const QString b2 = w.Cell(2, 2);
    f.StringGrid1->setFocus();
    QTest::keyClicks(f.StringGrid1, QStringLiteral("x"));
    auto* editor = f.StringGrid1->viewport()->findChild<QLineEdit*>();
    ASSERT_NE(editor, nullptr);
    QTest::keyClick(editor, Qt::Key_Return);
    QApplication::processEvents();
    EXPECT_EQ(w.Cell(2, 2), QStringLiteral("x"));
    EXPECT_TRUE(f.N14->isEnabled());
    QTest::keyClick(f.StringGrid1, Qt::Key_Z, Qt::ControlModifier);
    EXPECT_EQ(w.Cell(2, 2), b2);
    EXPECT_TRUE(f.N15->isEnabled());
    QTest::keyClick(f.StringGrid1, Qt::Key_Y, Qt::ControlModifier);
    EXPECT_EQ(w.Cell(2, 2), QStringLiteral("x"));

    // Three keystrokes into Edit1 are one step; Ctrl+Z there takes them back together.
    f.Edit1->setFocus();
    f.Edit1->end(false);
    QTest::keyClicks(f.Edit1, QStringLiteral("abc"));
    EXPECT_EQ(w.Cell(2, 2), QStringLiteral("xabc"));
    QTest::keyClick(f.Edit1, Qt::Key_Z, Qt::ControlModifier);
    EXPECT_EQ(w.Cell(2, 2), QStringLiteral("x"));
    EXPECT_EQ(f.Edit1->text(), QStringLiteral("x"));
    // A size box takes back its own typing first; the table is not touched.
    f.Edit11->setFocus();
    f.Edit11->end(false);
    const QString width = f.Edit11->text();
    QTest::keyClicks(f.Edit11, QStringLiteral("9"));
    QTest::keyClick(f.Edit11, Qt::Key_Z, Qt::ControlModifier);
    EXPECT_EQ(f.Edit11->text(), width);
    EXPECT_EQ(w.Cell(2, 2), QStringLiteral("x"));

    // Copy a range to the clipboard, paste it elsewhere, delete, undo.
    QTest::mouseClick(f.StringGrid1->viewport(), Qt::LeftButton, {}, CellCentre(f.StringGrid1, 1, 0));
    QTest::mouseClick(f.StringGrid1->viewport(), Qt::LeftButton, Qt::ShiftModifier, CellCentre(f.StringGrid1, 2, 1));
    f.StringGrid1->setFocus();
    QTest::keyClick(f.StringGrid1, Qt::Key_C, Qt::ControlModifier);
    const QString copied = QGuiApplication::clipboard()->text();
    EXPECT_EQ(copied, QString::fromStdU16String(form.SelectionText()));
    EXPECT_TRUE(copied.contains(QStringLiteral("\"六角ボルト\nM8×20\""))) << copied.toStdString();
    QTest::mouseClick(f.StringGrid1->viewport(), Qt::LeftButton, {}, CellCentre(f.StringGrid1, 3, 4)); // F4
    const QString e5 = w.Cell(5, 4);
    QTest::keyClick(f.StringGrid1, Qt::Key_V, Qt::ControlModifier);
    EXPECT_EQ(w.Cell(5, 4), w.Cell(1, 2));
    EXPECT_EQ(w.Cell(6, 5), w.Cell(2, 3));
    EXPECT_EQ(form.Grid().selection.right, 6);
    QTest::keyClick(f.StringGrid1, Qt::Key_Delete);
    EXPECT_EQ(w.Cell(5, 4), QString());
    EXPECT_EQ(w.Cell(6, 5), QString());
    QTest::keyClick(f.StringGrid1, Qt::Key_Z, Qt::ControlModifier);
    QTest::keyClick(f.StringGrid1, Qt::Key_Z, Qt::ControlModifier);
    EXPECT_EQ(w.Cell(5, 4), e5);
    // The popup menu's items do the same.
    f.N15->trigger();
    EXPECT_EQ(w.Cell(5, 4), w.Cell(1, 2));
    f.N14->trigger();
    EXPECT_EQ(w.Cell(5, 4), e5);
}

// A workbook of many rows, written by openpyxl.
fs::path LargeWorkbook(const fs::path& dir, int rows)
{
    const fs::path book = dir / "large.xlsx";
    std::ofstream(dir / "large.py") << "import openpyxl\nwb = openpyxl.Workbook(); ws = wb.active\n"
                                       "for r in range(1, " << rows + 1 << "):\n"
                                       "    for c in range(1, 6): ws.cell(row=r, column=c, value=f'R{r}C{c}')\n"
                                       "ws.sheet_view.selection[0].sqref = 'A1:E" << rows << "'\n"
                                       "wb.save(r'''" << book.string() << "''')\n";
    EXPECT_EQ(std::system((std::string(GRIDVANE_PYTHON) + " " + (dir / "large.py").string()).c_str()), 0);
    return book;
}

TEST(Window, EscOrACloseDuringALargeImportKeepsThePreviousTable)
{
    Window w("cancel");
    ScriptedWindow& f = w.f();
    w.ShowSample();
    Activate(f);
    const fs::path large = LargeWorkbook(w.dir, 20000);
    const std::vector<TXlsxCellAttr> sample = f.Form().Table().CellGrid;
    const QString title = f.windowTitle(), status = f.Label4->text(), b2 = w.Cell(1, 1);
    f.shown.clear();

    // Esc while the rows are read: the import stops, nothing is said, the sample stays.
    bool disabledWhileReading = false;
    QTimer::singleShot(0, &f, [&] {
        disabledWhileReading = !f.StringGrid1->isEnabled() && !f.Edit1->isEnabled() && !f.Button3->isEnabled();
        QTest::keyClick(QApplication::focusWidget() ? QApplication::focusWidget() : &f, Qt::Key_Escape);
    });
    f.workbook = large;
    QElapsedTimer clock;
    clock.start();
    f.Button3->click();
    EXPECT_LT(clock.elapsed(), 3000) << "the import went on after Esc";
    EXPECT_TRUE(disabledWhileReading);
    EXPECT_TRUE(f.shown.empty());
    EXPECT_EQ(f.Form().Table().CellGrid, sample);
    EXPECT_EQ(f.windowTitle(), title);
    EXPECT_EQ(f.Label4->text(), status);
    EXPECT_EQ(w.Cell(1, 1), b2);
    EXPECT_TRUE(f.StringGrid1->isEnabled());
    EXPECT_TRUE(f.Button4->isEnabled());

    // A close while the rows are read: the import stops and the window closes without waiting for it.
    QTimer::singleShot(0, &f, [&] { f.close(); });
    clock.restart();
    f.Button3->click();
    QApplication::processEvents();
    EXPECT_LT(clock.elapsed(), 3000);
    EXPECT_FALSE(f.isVisible());
    EXPECT_TRUE(fs::exists(w.dir / "Gridvane23.ini"));
    EXPECT_EQ(f.Form().Table().CellGrid.size(), 0u); // emptied by the close, never replaced by a half-read one
}

TEST(Window, TheWindowComesBackWhereItWasLeftAndIsNeverTooSmallToRead)
{
    Window w("placement");
    ScriptedWindow& f = w.f();
    f.show();
    f.resize(300, 200); // smaller than every control needs
    QApplication::processEvents();
    EXPECT_EQ(f.size(), QSize(kMinClientWidth, kMinClientHeight));
    f.resize(700, 500);
    f.move(30, 40);
    QApplication::processEvents();
    f.close();
    std::ifstream in(w.dir / "Gridvane23.ini", std::ios::binary);
    const std::string ini((std::istreambuf_iterator<char>(in)), {});
    EXPECT_EQ(ini.find("[PlotraTlsx]\r\ncolXsc=20\r\nrowYsc=3\r\ncadXsc=3\r\ncadYsc=0.43\r\ncadTsc=0.27\r\ncadTof=0.8\r\n"
                       "cellLineColor=252\r\ncellLineDraw=1\r\nxlsVerNum=16\r\n[Window]\r\n"),
              0u);
    // The next start.
    ScriptedWindow again(MakeFormPlatform(w.dir / "Gridvane23", NoOffice(w.dir)));
    EXPECT_EQ(again.size(), QSize(700, 500));
    EXPECT_EQ(again.pos(), QPoint(30, 40));
}

TEST(Window, TheBandShowsTheTotalWholeAndTheAddressBoxesAreNotInTheTabOrder)
{
    Window w("band");
    ScriptedWindow& f = w.f();
    w.ImportSample();
    f.show();
    QApplication::processEvents();
    ASSERT_EQ(f.size(), QSize(432, 288));
    // "全体: W=… x H=…" fits its place and no size box lies over it.
    EXPECT_TRUE(f.Label4->text().startsWith(QStringLiteral("全体: W=")));
    EXPECT_GE(f.Label4->width(), f.Label4->fontMetrics().horizontalAdvance(f.Label4->text()));
    const QRect label(f.Label4->mapTo(&f, QPoint(0, 0)), f.Label4->size());
    for (QWidget* box : std::initializer_list<QWidget*>{f.Edit11, f.Edit12, f.Edit13, f.SpeedButton1, f.CheckBox1, f.Button4}) {
        const QRect r(box->mapTo(&f, QPoint(0, 0)), box->size());
        EXPECT_FALSE(label.intersects(r)) << box->objectName().toStdString();
    }
    // Tab: the read-only addresses are passed over, 左 中 右 are reached.
    EXPECT_FALSE(f.Edit2->focusPolicy() & Qt::TabFocus);
    EXPECT_FALSE(f.Edit3->focusPolicy() & Qt::TabFocus);
    EXPECT_EQ(TabOrder(f.Button3, 11), (QStringList{"Button3", "CheckBox1", "Button4", "Edit1", "Edit11", "Edit12", "Edit13", "SpeedButton1",
                                  "SpeedButton2", "SpeedButton3", "StringGrid1"}));

    // "Plotra へ挿入" with no CAD: the status line says where the drawing is, and no box interrupts.
    f.shown.clear();
    f.Button4->click();
    EXPECT_TRUE(f.shown.empty());
    EXPECT_TRUE(f.Label4->text().startsWith(QStringLiteral("Plotra が起動していないため、図面をファイルに保存しました: ")));
    EXPECT_TRUE(f.Label4->text().endsWith(QString::fromStdU16String((w.dir / "Gridvane23.dxf").u16string())));
    EXPECT_EQ(f.Label4->toolTip(), f.Label4->text());
    EXPECT_TRUE(fs::exists(w.dir / "Gridvane23.dxf"));
}

TEST(Window, MergedAreasAreOneCellAndAHeaderClickKeepsTheView)
{
    Window w("merged");
    ScriptedWindow& f = w.f();
    w.ImportSample();
    f.show();
    QApplication::processEvents();
    // B1:G1 and B8:E8 of the sample are merged: each is one cell of the view, as wide as its columns.
    ASSERT_EQ(f.Form().MergedAreas().size(), 2u);
    for (const GridSelection& a : f.Form().MergedAreas()) {
        const int row = a.top - 1, col = a.left - 1;
        EXPECT_EQ(f.StringGrid1->columnSpan(row, col), a.right - a.left + 1);
        EXPECT_EQ(f.StringGrid1->rowSpan(row, col), a.bottom - a.top + 1);
        int width = 0;
        for (int c = a.left - 1; c < a.right; ++c) width += f.StringGrid1->columnWidth(c);
        EXPECT_NEAR(f.StringGrid1->visualRect(f.GridModel()->index(row, col)).width(), width, 1); // less a grid line
    }
    // A click inside the title's area makes its anchor current.
    QTest::mouseClick(f.StringGrid1->viewport(), Qt::LeftButton, {}, CellCentre(f.StringGrid1, 0, 3));
    EXPECT_EQ(f.Form().Grid().col, 1);
    EXPECT_EQ(f.Form().Grid().row, 1);
    EXPECT_EQ(f.Edit1->text(), w.Cell(1, 1));
    f.grab().save(QString::fromStdString(std::string(GRIDVANE_BINARY_DIR) + "/window-merged.png"));

    // In a view that scrolls, a header click selects the column without scrolling to its last cell.
    f.StringGrid1->verticalHeader()->setDefaultSectionSize(60);
    for (int r = 0; r < 8; ++r) f.StringGrid1->verticalHeader()->resizeSection(r, 60);
    QApplication::processEvents();
    ASSERT_GT(f.StringGrid1->verticalScrollBar()->maximum(), 0);
    f.StringGrid1->verticalScrollBar()->setValue(0);
    QHeaderView* top = f.StringGrid1->horizontalHeader();
    QTest::mouseClick(top->viewport(), Qt::LeftButton, {}, QPoint(top->sectionViewportPosition(2) + top->sectionSize(2) / 2, top->height() / 2));
    QApplication::processEvents();
    EXPECT_EQ(f.Form().Grid().selection.left, 3);
    EXPECT_EQ(f.Form().Grid().selection.bottom, 8);
    EXPECT_EQ(f.Form().Grid().col, 1); // D8 lies in B8:E8, whose anchor is current
    EXPECT_EQ(f.Form().Grid().row, 8);
    EXPECT_EQ(f.StringGrid1->verticalScrollBar()->value(), 0);
    // The arrow keys bring the current cell into view again.
    f.StringGrid1->setFocus();
    QTest::keyClick(f.StringGrid1, Qt::Key_Up);
    QTest::keyClick(f.StringGrid1, Qt::Key_Down);
    QApplication::processEvents();
    EXPECT_GT(f.StringGrid1->verticalScrollBar()->value(), 0);
}

TEST(Window, TheReplaceDialogRunsOnReturnClosesOnEscAndTakesTheTyping)
{
    Window w("replace-keys");
    ScriptedWindow& f = w.f();
    w.ShowSample();
    Activate(f);
    QTest::mouseClick(f.StringGrid1->viewport(), Qt::LeftButton, {}, CellCentre(f.StringGrid1, 1, 1));
    const QString b2 = w.Cell(2, 2);
    // Typed at once: into the search box. Return in the second box runs the replace.
    QTimer::singleShot(0, &f, [&] {
        EXPECT_TRUE(QTest::qWaitForWindowActive(f.Form3));
        QWidget* focus = f.Form3->focusWidget();
        EXPECT_EQ(focus, f.Form3->Edit1) << (focus ? focus->objectName().toStdString() : "none");
        Type(focus != nullptr ? focus : f.Form3, b2.left(1));
        QTest::keyClicks(f.Form3->Edit2, QStringLiteral("Z"));
        QTest::keyClick(f.Form3->Edit2, Qt::Key_Return);
    });
    f.shown.clear();
    f.N4->trigger();
    ASSERT_EQ(f.shown.size(), 1u);
    EXPECT_EQ(f.shown[0].text, QStringLiteral("1 個の文字列を置換しました."));
    EXPECT_EQ(w.Cell(2, 2), QStringLiteral("Z") + b2.mid(1));
    // Esc closes it and changes nothing.
    QTimer::singleShot(0, &f, [&] {
        EXPECT_TRUE(QTest::qWaitForWindowActive(f.Form3));
        QTest::keyClick(QApplication::focusWidget() != nullptr ? QApplication::focusWidget() : f.Form3, Qt::Key_Escape);
    });
    f.shown.clear();
    f.N4->trigger();
    EXPECT_TRUE(f.shown.empty());
    EXPECT_FALSE(f.Form3->isVisible());
    for (QLabel* label : {f.Form3->Label1, f.Form3->Label2})
        EXPECT_GE(label->width(), label->fontMetrics().horizontalAdvance(label->text())) << label->text().toStdString();
}

// In a locale whose decimal separator is the comma, the window reads a workbook's fractional sizes in full
// and shows its own numbers with the comma.
TEST(Window, ACommaLocaleReadsFractionalSizesAndShowsCommas)
{
    const fs::path dir = TestDir("comma");
    const fs::path book = dir / "sizes.xlsx";
    std::ofstream(dir / "make.py") << "import openpyxl\nfrom openpyxl.styles import Font\n"
                                      "wb = openpyxl.Workbook(); ws = wb.active\n"
                                      "ws['A1'] = 20.25; ws['B1'] = '品名'\n"
                                      "ws.column_dimensions['A'].width = 12.75\n"
                                      "ws.row_dimensions[1].height = 20.75\n"
                                      "ws['A1'].font = Font(size=11.5)\n"
                                      "ws.sheet_view.selection[0].sqref = 'A1:B2'\n"
                                      "wb.save(r'''" << book.string() << "''')\n";
    ASSERT_EQ(std::system((std::string(GRIDVANE_PYTHON) + " " + (dir / "make.py").string()).c_str()), 0);
    const GermanLocale german;
    if (!german.Unavailable().empty()) GTEST_SKIP() << german.Unavailable();
    setenv("LC_ALL", "de_DE.UTF-8", 1); // the user's locale, as the window reads it
    Window w("comma-window");
    unsetenv("LC_ALL");
    ScriptedWindow& f = w.f();
    ASSERT_EQ(f.Form().DecimalSeparator(), u',');
    f.workbook = book;
    f.Button3->click();
    ASSERT_EQ(f.shown.back().text, QStringLiteral(" 取得しました."));
    const TXlsxCellAttr& a1 = f.Form().Table().CellGrid[0];
    EXPECT_EQ(a1.colW, 12);   // 12.75 characters: 89 pixels, shown as 12; read as 12 it would show as 11
    EXPECT_EQ(a1.rowH, 21);   // 20.75 rounded, not 20
    EXPECT_EQ(a1.txtSize, 12); // 11.5 to the even 12
    EXPECT_EQ(a1.txtAlign, kAlignRight); // the number 20.25 right-aligned, as any number with general alignment
    EXPECT_EQ(f.Edit11->text(), QStringLiteral("36,000"));
    EXPECT_EQ(f.Edit12->text(), QStringLiteral("9,030"));
    EXPECT_EQ(f.Edit4->text(), QStringLiteral("20"));
    EXPECT_EQ(f.Edit7->text(), QStringLiteral("0,43"));
}

TEST(Window, StandardButtonsSpeakJapanese)
{
    ASSERT_TRUE(LoadQtJapaneseTexts());
    QMessageBox box(QMessageBox::Question, QStringLiteral("確認"), QStringLiteral("?"), QMessageBox::Yes | QMessageBox::No);
    EXPECT_TRUE(box.button(QMessageBox::Yes)->text().startsWith(QStringLiteral("はい"))) << box.button(QMessageBox::Yes)->text().toStdString();
    EXPECT_TRUE(box.button(QMessageBox::No)->text().startsWith(QStringLiteral("いいえ"))) << box.button(QMessageBox::No)->text().toStdString();
}

// Pixels of an image by kind: the white ground, the grey of the cell lines (colour 252), dark ink.
struct Ink {
    int white = 0, grey = 0, dark = 0;
    QRect bounds; // of everything that is not white
};

Ink CountInk(const QImage& image)
{
    Ink ink;
    const QColor grey(132, 132, 132);
    for (int y = 0; y < image.height(); ++y) {
        int greyRun = 0;
        for (int x = 0; x < image.width(); ++x) {
            const QColor c = image.pixelColor(x, y);
            // Grey in runs of 20 pixels or more: a cell line, not the smoothed edge of a text.
            greyRun = c == grey ? greyRun + 1 : 0;
            if (greyRun == 20) ink.grey += 20;
            else if (greyRun > 20) ++ink.grey;
            if (c.red() > 250 && c.green() > 250 && c.blue() > 250) {
                ++ink.white;
                continue;
            }
            ink.bounds = ink.bounds.united(QRect(x, y, 1, 1));
            if (c.red() < 60 && c.green() < 60 && c.blue() < 60) ++ink.dark;
        }
    }
    return ink;
}

TEST(Window, DrawingPageAndCodePageMarks)
{
    Window w("drawing-page");
    ScriptedWindow& f = w.f();
    w.ShowSample();

    // A check mark typed into F8, which the drawing's code page lacks: a red corner on the cell, its colour
    // kept.
    f.Form().StringGrid1SetEditText(5, 8, u"✓ 済");
    const QModelIndex f8 = f.GridModel()->index(7, 4);
    f.StringGrid1->scrollTo(f8);
    QApplication::processEvents();
    const QRect cell = f.StringGrid1->visualRect(f8);
    const QImage grid = f.StringGrid1->viewport()->grab().toImage();
    EXPECT_EQ(grid.pixelColor(cell.right() - 1, cell.top() + 1), QColor(255, 0, 0));
    EXPECT_NE(grid.pixelColor(cell.left() + 1, cell.bottom() - 1), QColor(255, 0, 0));
    const QRect e8 = f.StringGrid1->visualRect(f.GridModel()->index(7, 3));
    EXPECT_NE(grid.pixelColor(e8.right() - 1, e8.top() + 1), QColor(255, 0, 0));

    // A real click on the third tab shows the drawing, fitted, and the list under it.
    QTabBar* tabs = f.PageControl1->tabBar();
    QTest::mouseClick(tabs, Qt::LeftButton, {}, tabs->tabRect(2).center());
    QApplication::processEvents();
    ASSERT_EQ(f.PageControl1->currentIndex(), kPageDrawing);
    ASSERT_TRUE(f.CodePageList->isVisible());
    ASSERT_EQ(f.CodePageList->count(), 1);
    EXPECT_EQ(f.CodePageList->item(0)->text(), QStringLiteral("図面で表せない文字: F8 \"✓\" → \"?\""));
    const QImage drawn = f.DrawingView1->grab().toImage();
    const Ink ink = CountInk(drawn);
    EXPECT_GT(ink.white, drawn.width() * drawn.height() / 2);
    EXPECT_GT(ink.grey, 200);  // the cell lines where no border covers them
    EXPECT_GT(ink.dark, 500);  // borders and texts
    // Fitted: the drawing spans the area less the margins one way, and lies in its middle.
    EXPECT_TRUE(ink.bounds.width() >= drawn.width() - 30 || ink.bounds.height() >= drawn.height() - 30)
        << ink.bounds.width() << " x " << ink.bounds.height();
    EXPECT_LE(std::abs(ink.bounds.center().x() - drawn.width() / 2), 4);
    f.grab().save(QString::fromStdString(std::string(GRIDVANE_BINARY_DIR) + "/window-drawing.png"));
    EXPECT_FALSE(fs::exists(w.dir / "Gridvane23.dxf")); // showing the page writes nothing

    // The wheel zooms about the pointer, a drag moves, a double click fits again.
    const double fitted = f.Form().Preview().view.scale;
    const QPointF middle(f.DrawingView1->width() / 2.0, f.DrawingView1->height() / 2.0);
    QWheelEvent wheel(middle, f.DrawingView1->mapToGlobal(middle), {}, QPoint(0, 240), Qt::NoButton, Qt::NoModifier,
                      Qt::NoScrollPhase, false);
    QApplication::sendEvent(f.DrawingView1, &wheel);
    EXPECT_NEAR(f.Form().Preview().view.scale, fitted * 1.44, 1e-9);
    const double originX = f.Form().Preview().view.originX;
    QTest::mousePress(f.DrawingView1, Qt::LeftButton, {}, QPoint(100, 100));
    QTest::mouseMove(f.DrawingView1, QPoint(140, 90));
    QTest::mouseRelease(f.DrawingView1, Qt::LeftButton, {}, QPoint(140, 90));
    EXPECT_DOUBLE_EQ(f.Form().Preview().view.originX, originX + 40);
    QTest::mouseDClick(f.DrawingView1, Qt::LeftButton, {}, QPoint(10, 10));
    EXPECT_DOUBLE_EQ(f.Form().Preview().view.scale, fitted);

    // Without セルを描画 the drawing has no cell lines; a corrected text loses its mark and its list line.
    f.PageControl1->setCurrentIndex(kPageTable);
    f.CheckBox1->click();
    f.Form().StringGrid1SelectCell(5, 8, false);
    f.Edit1->selectAll();
    Type(f.Edit1, QStringLiteral("￥16,268"));
    f.PageControl1->setCurrentIndex(kPageDrawing);
    QApplication::processEvents();
    EXPECT_FALSE(f.CodePageList->isVisible());
    const QImage plainImage = f.DrawingView1->grab().toImage();
    plainImage.save(QString::fromStdString(std::string(GRIDVANE_BINARY_DIR) + "/window-drawing-plain.png"));
    const Ink plain = CountInk(plainImage);
    EXPECT_EQ(plain.grey, 0);
    EXPECT_GT(plain.dark, 500);
    f.PageControl1->setCurrentIndex(kPageTable);
    QApplication::processEvents();
    const QImage after = f.StringGrid1->viewport()->grab().toImage();
    EXPECT_NE(after.pixelColor(cell.right() - 1, cell.top() + 1), QColor(255, 0, 0));
    // The first two pages are as they were.
    EXPECT_EQ(f.PageControl1->widget(0)->objectName(), QStringLiteral("TabSheet1"));
    EXPECT_EQ(f.PageControl1->widget(1)->objectName(), QStringLiteral("TabSheet2"));
}

TEST(Window, DrawingWithoutTableWritesNothing)
{
    Window w("nodraw");
    w.form->Form().Button4Click();
    EXPECT_FALSE(fs::exists(w.dir / "Gridvane23.dxf"));
    w.form->show();
    QApplication::processEvents();
    w.form->grab().save(QString::fromStdString(std::string(GRIDVANE_BINARY_DIR) + "/window-start.png"));
}

} // namespace
} // namespace gridvane

int main(int argc, char** argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
