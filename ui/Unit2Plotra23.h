#pragma once
#include <QMainWindow>
#include <array>
#include <memory>

#include "form/Form1.h"

class QCheckBox;
class QLabel;
class QLineEdit;
class QListWidget;
class QMenu;
class QProgressBar;
class QPushButton;
class QTabWidget;
class QTableView;
class QTableWidget;
class QToolButton;
class QAction;
class QShortcut;

namespace gridvane {

class DrawingView;
class StringGridModel;
class TForm3;

/// Loads Qt's own Japanese texts (standard buttons, the file dialog) into the application; false when
/// they are not installed.
bool LoadQtJapaneseTexts();

/// The main window on Linux: the widgets of TForm1, laid out, painted and wired to the form's handlers.
/// It decides nothing; what a click or a key does is the form's.
class Form1View : public QMainWindow, public FormFrontEnd {
    Q_OBJECT
public:
    explicit Form1View(FormPlatform platform, QWidget* parent = nullptr);
    ~Form1View() override;

    TForm1& Form() { return *form_; }
    const TForm1& Form() const { return *form_; }
    StringGridModel* GridModel() const { return gridModel_; }

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
    QAction *N14, *N15, *N17, *N18, *N19; // 元に戻す, やり直し, コピー, 貼り付け, 削除
    QLineEdit *Edit4, *Edit5, *Edit6, *Edit7, *Edit8, *Edit9, *Edit10;
    QTableWidget* StringGrid2;
    QPushButton* Button1;
    DrawingView* DrawingView1;   // the drawing page: the drawing
    QListWidget* CodePageList;   // the drawing page: cells with characters the drawing cannot carry
    TForm3* Form3;

    // FormFrontEnd: the real boxes and dialogs (tests answer them by overriding these).
    void Message(std::u16string_view text, std::u16string_view caption, MessageIcon icon, MessageOwner owner) override;
    bool AskYesNo(std::u16string_view text, std::u16string_view caption, MessageOwner owner) override;
    std::optional<std::filesystem::path> ChooseWorkbook(const std::filesystem::path& startFolder) override;
    bool ShowReplaceDialog(std::u16string& search, std::u16string& replacement) override;
    void Refresh(unsigned parts) override;
    void ProcessEvents() override;
    void CloseWindow() override;
    void SetClipboardText(std::u16string_view text) override;
    std::u16string ClipboardText() override;

protected:
    void closeEvent(QCloseEvent* event) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dropEvent(QDropEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void BuildFirstPage(QWidget* page);
    void BuildSecondPage(QWidget* page);
    void BuildDrawingPage(QWidget* page);
    void BuildPopupMenu();
    void ShowPreview();
    void ShowGridShape();
    void ShowGridSelection();
    void OnGridSelectionChanged();
    void ShowEnabled();
    void PlaceAsSaved();
    TWindowPlacement Placement() const;
    QWidget* Owner(MessageOwner owner);

    StringGridModel* gridModel_ = nullptr;
    std::unique_ptr<TForm1> form_;
    QWidget* gridViewport_ = nullptr; // StringGrid1's viewport, whose right clicks are the menu's
    std::array<QLabel*, 2> edit10Labels_{}; // they follow Edit10's enabled state
    QShortcut* escape_ = nullptr;           // Esc cancels a running import
    bool built_ = false;
    bool syncingSelection_ = false; // the view is being set from the form's state
    bool previewQueued_ = false;    // ShowPreview runs once the current handler has ended
    std::uint64_t previewShown_ = 0; // the preview's generation on the page
};

} // namespace gridvane
