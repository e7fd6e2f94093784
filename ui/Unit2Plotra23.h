#pragma once
#include <QMainWindow>
#include <filesystem>
#include <functional>
#include <vector>

#include "excel/ExcelImport.h"
#include "model/CellTable.h"
#include "settings/Settings.h"
#include "textconv/TextCommands.h"
#include "ui/Dialogs.h"

class QCheckBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QMenu;
class QProgressBar;
class QPushButton;
class QTabWidget;
class QTableView;
class QTableWidget;
class QToolButton;
class QAction;

namespace gridvane {

class StringGridModel;
class TForm3;

/// Where the window keeps its files and how it talks to the user.
struct WindowEnvironment {
    std::filesystem::path iniPath;  // the settings file
    std::filesystem::path dxfPath;  // the drawing file
    Dialogs* dialogs = nullptr;
    /// The running spreadsheet for an import; empty: a workbook file chosen in a dialog stands in for it.
    std::function<XlAttach()> attach;
};

/// The main window: import, grid, drawing, settings page.
class TForm1 : public QMainWindow, private ImportView {
    Q_OBJECT
public:
    explicit TForm1(WindowEnvironment environment, QWidget* parent = nullptr);
    ~TForm1() override;

    /// The replace dialog, created after the window.
    void SetReplaceDialog(TForm3* form3) { form3_ = form3; }
    /// Imports the workbook at path (what Button3Click does after its file dialog, and what a drop does).
    void ImportWorkbook(const QString& path);

    const CellTable& Table() const { return table_; }
    CellTable& Table() { return table_; }
    const TSettings& Settings() const { return settings_; }
    StringGridModel* GridModel() const { return gridModel_; }
    char16_t DecimalSeparator() const { return sep_; }

    // Controls, named as in the program's design.
    QTabWidget* PageControl1;
    QPushButton* Button3;
    QPushButton* Button4;
    QLabel* Label1;
    QLineEdit* Edit2;
    QLabel* Label2;
    QLineEdit* Edit3;
    QLabel* Label4;
    QLineEdit* Edit13;
    QToolButton* SpeedButton1;
    QToolButton* SpeedButton2;
    QToolButton* SpeedButton3;
    QLineEdit* Edit11;
    QLineEdit* Edit12;
    QCheckBox* CheckBox1;
    QLineEdit* Edit1;
    QLabel* Label13;
    QTableView* StringGrid1;
    QProgressBar* ProgressBar1;
    QMenu* PopupMenu1;
    QAction *N1, *N12, *N5, *N3, *N2, *N6, *N7, *N8, *N9, *N10, *N4;
    QLineEdit *Edit4, *Edit5, *Edit6, *Edit7, *Edit8, *Edit9, *Edit10;
    QTableWidget* StringGrid2;
    QPushButton* Button1;

    // Handlers.
    void FormCreate();
    void Button1Click();
    void Button3Click();
    void Button4Click();
    void PageControl1Change(int index);
    void StringGrid1Click();
    void StringGrid1FixedCellClick(int col, int row);
    void Edit1Change(const QString& text);
    void SpeedButton1Click(int align);
    void Edit11KeyPress();
    void Edit12KeyPress();
    void Edit13KeyPress();
    void Edit1KeyUp();
    void ShowWHSize();
    void showWhSizeGrid2();
    void N1Click() { RunCommand(TextCommand::N1); }
    void N12Click() { RunCommand(TextCommand::N12); }
    void N5Click() { RunCommand(TextCommand::N5); }
    void N2Click() { RunCommand(TextCommand::N2); }
    void N6Click() { RunCommand(TextCommand::N6); }
    void N7Click() { RunCommand(TextCommand::N7); }
    void N9Click() { RunCommand(TextCommand::N9); }
    void N4Click();

    /// The selected rectangle of StringGrid1 in grid coordinates (the current cell when nothing is selected).
    GridSelection Selection() const;
    /// Makes grid cell (c, r) current (grid coordinates, data cells from 1).
    void SetCurrent(int c, int r);
    /// All texts of the data cells, for the drawing: texts[r * GridColCount + c].
    std::vector<std::u16string> DrawingTexts() const;

protected:
    void closeEvent(QCloseEvent* event) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dropEvent(QDropEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    // ImportView
    void SetButton3Enabled(bool on) override;
    void SetButton4Enabled(bool on) override;
    void SetCaption(std::u16string_view text) override;
    void SetEdit2(std::u16string_view text) override;
    void SetEdit3(std::u16string_view text) override;
    void SetGridRedraw(bool on) override;
    void SetFixedColumnWidth(int pixels) override;
    void SetGridSize(std::int32_t columns, std::int32_t rows) override;
    void SetCurrentCell(std::int32_t c, std::int32_t r) override;
    void SetColumnWidth(std::int32_t c, int pixels) override;
    void SetRowHeight(std::int32_t r, int pixels) override;
    void SetCellText(std::int32_t c, std::int32_t r, std::u16string_view text) override;
    void SetLabel4(std::u16string_view text) override;
    void SetProgressMax(int maximum) override;
    void SetProgress(int position) override;
    void StepProgress() override;
    void ProcessEvents() override;
    void ShowMessage(std::u16string_view text) override;

    void BuildFirstPage(QWidget* page);
    void BuildSecondPage(QWidget* page);
    void BuildPopupMenu();
    void RunImport(const XlAttach& attach);
    void RunCommand(TextCommand command);
    void SizeEdit(QLineEdit* box, int which);
    bool SaveSettingsOnClose();
    const TXlsxCellAttr* ModelCell(int c, int r) const; // grid coordinates; null outside the table

    WindowEnvironment env_;
    CellTable table_;
    TSettings settings_;
    char16_t sep_ = u'.';
    StringGridModel* gridModel_ = nullptr;
    TForm3* form3_ = nullptr;
    QString lastWorkbookFolder_;
    bool importing_ = false;
    bool closePending_ = false;
    bool applyPending_ = false;
    bool fillingEdit1_ = false;
    int fixedColumnWidth_ = 70;
    std::vector<int> pendingColumnWidths_; // grid column -> pixels, applied when the grid redraws
    std::vector<int> pendingRowHeights_;
};

} // namespace gridvane
