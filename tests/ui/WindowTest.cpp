#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QProgressBar>
#include <QPushButton>
#include <QTabWidget>
#include <QTableView>
#include <QTableWidget>
#include <QTest>
#include <QTimer>
#include <QToolButton>

#include <deque>
#include <filesystem>
#include <fstream>

#include "ui/Dialogs.h"
#include "ui/StringGrid.h"
#include "ui/Unit2Plotra23.h"
#include "ui/Unit3.h"

namespace gridvane {
namespace {

namespace fs = std::filesystem;

// Answers every box as the test says and remembers what was shown.
struct ScriptedDialogs : Dialogs {
    struct Shown {
        QString text, caption;
        DialogIcon icon;
    };
    std::vector<Shown> shown;
    std::deque<bool> answers; // Yes/No answers; empty: No
    QString workbook;         // the file to pick; empty: cancel

    void Message(QWidget*, const QString& text, const QString& caption, DialogIcon icon) override
    {
        shown.push_back({text, caption, icon});
    }
    bool AskYesNo(QWidget*, const QString& text, const QString& caption) override
    {
        shown.push_back({text, caption, DialogIcon::Question});
        if (answers.empty()) return false;
        const bool a = answers.front();
        answers.pop_front();
        return a;
    }
    QString OpenWorkbook(QWidget*, const QString&) override { return workbook; }
};

fs::path TestDir(const std::string& name)
{
    const fs::path d = fs::path(GRIDVANE_BINARY_DIR) / "test-tmp" / "ui" / name;
    fs::remove_all(d);
    fs::create_directories(d);
    return d;
}

struct Window {
    ScriptedDialogs dialogs;
    fs::path dir;
    std::unique_ptr<TForm1> form;
    std::unique_ptr<TForm3> form3;
    explicit Window(const std::string& name, const std::string& ini = {})
    {
        dir = TestDir(name);
        if (!ini.empty()) std::ofstream(dir / "Gridvane23.ini", std::ios::binary) << ini;
        WindowEnvironment env;
        env.iniPath = dir / "Gridvane23.ini";
        env.dxfPath = dir / "Gridvane23.dxf";
        env.dialogs = &dialogs;
        form = std::make_unique<TForm1>(env);
        form3 = std::make_unique<TForm3>(form.get());
        form->SetReplaceDialog(form3.get());
    }
    void ImportSample()
    {
        dialogs.workbook = QString::fromStdString(std::string(GRIDVANE_SOURCE_DIR) + "/samples/parts-list.xlsx");
        form->Button3->click();
    }
};

TEST(Window, StartUpState)
{
    Window w("startup", "[PlotraTlsx]\r\ncellLineDraw=0\r\ncadYsc=abc\r\n");
    TForm1& f = *w.form;
    EXPECT_EQ(f.windowTitle(), QStringLiteral("Gridvane 2023.02.11"));
    EXPECT_EQ(f.Button3->text(), QStringLiteral("Excel から取得"));
    EXPECT_EQ(f.Button3->toolTip(), QStringLiteral("アクティブな Excel から選択範囲を取得します"));
    EXPECT_EQ(f.Button4->text(), QStringLiteral("Plotra へ挿入"));
    EXPECT_EQ(f.Button4->toolTip(), QStringLiteral("DXF ファイル作成,、AutoCAD, Bricscad に挿入"));
    EXPECT_TRUE(f.Button3->isEnabled());
    EXPECT_FALSE(f.Button4->isEnabled());
    EXPECT_EQ(f.PageControl1->tabText(0), QStringLiteral(" 取得、描画"));
    EXPECT_EQ(f.PageControl1->tabText(1), QStringLiteral(" 設定、確認"));
    EXPECT_EQ(f.CheckBox1->text(), QStringLiteral("セルを描画"));
    EXPECT_FALSE(f.CheckBox1->isChecked());
    EXPECT_EQ(f.Edit7->text(), QStringLiteral("0.43")); // not a number in the file: the default
    EXPECT_EQ(f.Edit4->text(), QStringLiteral("20"));
    EXPECT_EQ(f.Edit10->text(), QStringLiteral("252"));
    EXPECT_FALSE(f.Edit10->isEnabled());
    EXPECT_TRUE(f.Edit1->text().isEmpty());
    EXPECT_TRUE(f.Label4->text().isEmpty());
    EXPECT_EQ(f.StringGrid1->toolTip(),
              QStringLiteral("範囲選択=固定部クリック or [Shit]+矢印キー. 右クリックで選択範囲の文字変換メニュー"));
    EXPECT_EQ(f.GridModel()->GridColumns(), 5);
    EXPECT_EQ(f.GridModel()->GridRows(), 5);
    EXPECT_EQ(f.StringGrid2->item(4, 0)->text(), QStringLiteral("文字"));
    const QStringList captions = {"半角->全角", "半角->全角（数字のみの文字列は除外）", "半角カナ->全角", "",
                                  "全角->半角", "全角数字->半角", "全角アルファベット->半角", "",
                                  "代替文字を含む禁止文字->半角", "", "置換"};
    QStringList actual;
    for (QAction* a : f.PopupMenu1->actions()) actual << (a->isSeparator() ? QString() : a->text());
    EXPECT_EQ(actual, captions);
    for (const char* name : {"Button3", "Edit2", "Label4", "SpeedButton1", "CheckBox1", "StringGrid1", "ProgressBar1",
                             "PageControl1", "Edit4", "Edit10", "StringGrid2", "Button1", "Edit13", "Label13"}) {
        EXPECT_NE(f.findChild<QObject*>(QString::fromLatin1(name)), nullptr) << name;
    }
}

TEST(Window, CloseWritesSettingsAndAFailedWriteKeepsTheWindowAndTable)
{
    Window w("close");
    w.form->close();
    std::ifstream in(w.dir / "Gridvane23.ini", std::ios::binary);
    const std::string ini((std::istreambuf_iterator<char>(in)), {});
    EXPECT_EQ(ini, "[PlotraTlsx]\r\ncolXsc=20\r\nrowYsc=3\r\ncadXsc=3\r\ncadYsc=0.43\r\ncadTsc=0.27\r\ncadTof=0.8\r\n"
                   "cellLineColor=252\r\ncellLineDraw=1\r\nxlsVerNum=16\r\n");
    EXPECT_TRUE(w.dialogs.shown.empty());

    Window bad("close-fail");
    bad.ImportSample();
    ASSERT_FALSE(bad.form->Table().Empty());
    fs::create_directories(bad.dir / "Gridvane23.ini"); // a folder where the file should go
    bad.form->show();
    EXPECT_FALSE(bad.form->close());
    ASSERT_FALSE(bad.dialogs.shown.empty());
    EXPECT_TRUE(bad.dialogs.shown.back().text.endsWith(QStringLiteral(" に書き込めません")));
    EXPECT_FALSE(bad.form->Table().Empty());
}

TEST(Window, ImportDrivesButtonsGridAndSummary)
{
    Window w("import");
    TForm1& f = *w.form;
    w.dialogs.workbook.clear(); // cancelled: nothing happens
    f.Button3->click();
    EXPECT_TRUE(w.dialogs.shown.empty());
    w.ImportSample();
    ASSERT_EQ(w.dialogs.shown.size(), 1u);
    EXPECT_EQ(w.dialogs.shown[0].text, QStringLiteral(" 取得しました."));
    EXPECT_EQ(w.dialogs.shown[0].caption, QStringLiteral("メッセージ"));
    EXPECT_TRUE(f.Button4->isEnabled());
    EXPECT_EQ(f.windowTitle(), QStringLiteral("parts-list.xlsx [部品表]"));
    EXPECT_EQ(f.Edit2->text(), QStringLiteral("B1"));
    EXPECT_EQ(f.Edit3->text(), QStringLiteral("G8"));
    EXPECT_EQ(f.GridModel()->GridColumns(), 7);
    EXPECT_EQ(f.GridModel()->GridRows(), 9);
    EXPECT_EQ(f.GridModel()->CellText(1, 0), QStringLiteral("B"));
    EXPECT_EQ(f.GridModel()->CellText(0, 8), QStringLiteral("8"));
    EXPECT_EQ(f.GridModel()->CellText(2, 3), QStringLiteral("六角ボルト\nM8×20"));
    EXPECT_EQ(f.GridModel()->CellText(5, 3), QStringLiteral("12.50"));
    EXPECT_TRUE(f.Label4->text().startsWith(QStringLiteral("全体: W=")));
    f.PageControl1->setCurrentIndex(1);
    EXPECT_FALSE(f.StringGrid2->item(0, 1)->text().isEmpty());
    f.PageControl1->setCurrentIndex(0);

    // A failed import after a success disables Button4 and keeps the table.
    const std::size_t cells = f.Table().CellGrid.size();
    w.dialogs.workbook = QString::fromStdString((w.dir / "missing.xlsx").string());
    f.Button3->click();
    EXPECT_FALSE(f.Button4->isEnabled());
    EXPECT_TRUE(f.Button3->isEnabled());
    EXPECT_EQ(w.dialogs.shown.back().text, QStringLiteral("取得に失敗しました."));
    EXPECT_EQ(f.Table().CellGrid.size(), cells);

    // The drawing goes beside the executable.
    f.Button4Click();
    EXPECT_TRUE(fs::exists(w.dir / "Gridvane23.dxf"));

    QTest::qWait(1);
    f.resize(640, 420);
    f.show();
    QApplication::processEvents();
    f.grab().save(QString::fromStdString(std::string(GRIDVANE_BINARY_DIR) + "/window-imported.png"));
}

TEST(Window, SettingsApplyAndSizeSummary)
{
    Window w("apply");
    TForm1& f = *w.form;
    f.Edit6->setText(QStringLiteral("abc"));
    f.Button1->click(); // no table: nothing, no question
    EXPECT_TRUE(w.dialogs.shown.empty());
    EXPECT_EQ(f.Settings().cadXsc, 3);
    w.ImportSample();
    w.dialogs.shown.clear();
    const double before = f.Table().CellGrid[0].drawW;
    f.Button1->click(); // answered No
    ASSERT_EQ(w.dialogs.shown.size(), 1u);
    EXPECT_EQ(w.dialogs.shown[0].caption, QStringLiteral("確認"));
    EXPECT_EQ(w.dialogs.shown[0].text,
              QStringLiteral("尺度を更新すると個別に設定した列幅、列高さ、文字高さがリセット（再計算）されます．\r設定を更新しますか？"));
    EXPECT_EQ(f.Settings().cadXsc, 3);
    EXPECT_EQ(f.Table().CellGrid[0].drawW, before);
    w.dialogs.answers = {true};
    f.Button1->click();
    EXPECT_EQ(f.Settings().cadXsc, 10);
    EXPECT_EQ(f.Edit6->text(), QStringLiteral("abc"));
    EXPECT_DOUBLE_EQ(f.Table().CellGrid[0].drawW, f.Table().CellGrid[0].colW * 10.0);
    EXPECT_FALSE(f.StringGrid2->item(2, 1)->text().isEmpty());
}

TEST(Window, GridEditing)
{
    Window w("grid");
    TForm1& f = *w.form;
    w.ImportSample();
    StringGridModel& m = *f.GridModel();

    // A text with a line break turns Edit1 red and survives the click unchanged.
    m.SetCellText(3, 2, QStringLiteral("a\r\nb"));
    f.SetCurrent(3, 2);
    f.StringGrid1Click();
    EXPECT_EQ(m.CellText(3, 2), QStringLiteral("a\r\nb"));
    EXPECT_EQ(f.Edit1->palette().color(QPalette::Text), QColor(255, 0, 0));
    f.SetCurrent(2, 2);
    f.StringGrid1Click();
    EXPECT_EQ(f.Edit1->palette().color(QPalette::Text), QColor(0, 0, 0));
    EXPECT_EQ(f.Edit1->text(), QStringLiteral("品名"));

    // Typing into Edit1 changes the current cell only, not the imported text.
    f.Edit1->setText(QStringLiteral("部品名"));
    EXPECT_EQ(m.CellText(2, 2), QStringLiteral("部品名"));
    EXPECT_EQ(f.Table().At(1, 1).str, u"品名");

    // The character after the caret.
    f.Edit1->setText(QStringLiteral("xあ"));
    f.Edit1->setCursorPosition(1);
    QTest::keyClick(f.Edit1, Qt::Key_Right);
    f.Edit1->setCursorPosition(1);
    f.Edit1KeyUp();
    EXPECT_EQ(f.Label13->text(), QStringLiteral("[3042]"));
    f.Edit1->setCursorPosition(2);
    f.Edit1KeyUp();
    EXPECT_TRUE(f.Label13->text().isEmpty());

    // Column width on columns 2..3: nothing for 0, -1 and letters; Yes sets whole columns; No restores.
    f.StringGrid1->selectionModel()->select(
        QItemSelection(m.index(1, 1), m.index(2, 2)), QItemSelectionModel::ClearAndSelect);
    for (const char* bad : {"0", "-1", "abc"}) {
        w.dialogs.shown.clear();
        f.Edit11->setText(QString::fromLatin1(bad));
        QTest::keyClick(f.Edit11, Qt::Key_Return);
        EXPECT_TRUE(w.dialogs.shown.empty()) << bad;
    }
    f.Edit11->setText(QStringLiteral("12.5"));
    w.dialogs.answers = {true};
    QTest::keyClick(f.Edit11, Qt::Key_Return);
    ASSERT_EQ(w.dialogs.shown.size(), 1u);
    EXPECT_EQ(w.dialogs.shown[0].text, QStringLiteral("選択範囲の列幅を変更しますか？"));
    EXPECT_EQ(f.Edit11->text(), QStringLiteral("12.500"));
    for (int r = 0; r < f.Table().GridRowCount; ++r) {
        EXPECT_EQ(f.Table().At(r, 1).drawW, 12.5);
        EXPECT_EQ(f.Table().At(r, 2).drawW, 12.5);
    }
    // The merged heading spans these columns: its width is re-totalled.
    const TXlsxCellAttr& anchor = f.Table().At(0, 0);
    double sum = 0;
    for (int c = 0; c < anchor.mergecolXscount; ++c) sum += f.Table().At(0, c).drawW;
    EXPECT_DOUBLE_EQ(anchor.drawMW, sum);
    const QString total = f.Label4->text();
    f.Edit11->setText(QStringLiteral("99"));
    QTest::keyClick(f.Edit11, Qt::Key_Return); // answered No
    EXPECT_EQ(f.Table().At(0, 1).drawW, 12.5);
    EXPECT_EQ(f.Label4->text(), total);

    // "右" right-aligns the whole selection.
    f.SpeedButton3->click();
    EXPECT_EQ(f.Table().At(2, 2).txtAlign, kAlignRight);

    // The corner selects everything and the bottom-right cell becomes current; Edit1 keeps its text.
    const QString edit1 = f.Edit1->text();
    f.StringGrid1FixedCellClick(0, 0);
    const GridSelection all = f.Selection();
    EXPECT_EQ(all.left, 1);
    EXPECT_EQ(all.bottom, 8);
    EXPECT_EQ(f.StringGrid1->currentIndex().row(), 7);
    EXPECT_EQ(f.StringGrid1->currentIndex().column(), 5);
    EXPECT_EQ(f.Edit1->text(), edit1);

    // N12 on a mixed selection.
    m.SetCellText(1, 1, QStringLiteral("123"));
    m.SetCellText(2, 1, QStringLiteral("A-1"));
    m.SetCellText(3, 1, QStringLiteral("ｱｲｳ"));
    m.SetCellText(4, 1, QStringLiteral("abc"));
    f.StringGrid1->selectionModel()->select(QItemSelection(m.index(0, 0), m.index(0, 3)), QItemSelectionModel::ClearAndSelect);
    f.N12->trigger();
    EXPECT_EQ(m.CellText(1, 1), QStringLiteral("123"));
    EXPECT_EQ(m.CellText(2, 1), QStringLiteral("Ａ－１"));
    EXPECT_EQ(m.CellText(3, 1), QStringLiteral("アイウ"));
    EXPECT_EQ(m.CellText(4, 1), QStringLiteral("abc"));

    // Replace: cancelled changes nothing; executed reports every non-empty cell.
    w.form3->Edit1->setText(QStringLiteral("a"));
    w.form3->Edit2->setText(QStringLiteral("b"));
    w.dialogs.shown.clear();
    QTimer::singleShot(0, [&] { w.form3->Button2->click(); });
    f.N4->trigger();
    EXPECT_TRUE(w.dialogs.shown.empty());
    QTimer::singleShot(0, [&] { w.form3->Button1->click(); });
    f.N4->trigger();
    ASSERT_EQ(w.dialogs.shown.size(), 1u);
    EXPECT_EQ(w.dialogs.shown[0].text, QStringLiteral("4 個の文字列を置換しました."));
    EXPECT_EQ(w.dialogs.shown[0].icon, DialogIcon::None);
    EXPECT_EQ(m.CellText(4, 1), QStringLiteral("bbc"));
    EXPECT_EQ(w.form3->Edit1->text(), QStringLiteral("a")); // the dialog keeps its texts

    f.resize(640, 420);
    f.show();
    QApplication::processEvents();
    f.grab().save(QString::fromStdString(std::string(GRIDVANE_BINARY_DIR) + "/window-grid.png"));
}

TEST(Window, DrawingWithoutTableWritesNothing)
{
    Window w("nodraw");
    w.form->Button4Click();
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
