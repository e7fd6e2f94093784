#include "ui/Unit2Plotra23.h"

#include <QAbstractButton>
#include <QApplication>
#include <QCheckBox>
#include <QClipboard>
#include <QCloseEvent>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFileDialog>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QLibraryInfo>
#include <QLocale>
#include <QTranslator>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QMessageBox>
#include <QMimeData>
#include <QProgressBar>
#include <QPushButton>
#include <QScreen>
#include <QScrollBar>
#include <QShortcut>
#include <QTabWidget>
#include <QTableView>
#include <QTableWidget>
#include <QTimer>
#include <QToolButton>
#include <QVBoxLayout>

#include "ui/DrawingPage.h"
#include "ui/QtConvert.h"
#include "ui/StringGrid.h"
#include "ui/Unit3.h"

namespace gridvane {

namespace {

QFont Tahoma(int points)
{
    QFont f;
    f.setFamilies({QStringLiteral("Tahoma"), QStringLiteral("Noto Sans CJK JP"), QStringLiteral("Noto Sans")});
    f.setPointSize(points);
    return f;
}

// Sets a line edit's text without it reporting a change of its own.
void Show(QLineEdit* edit, std::u16string_view text)
{
    const QString q = Q(text);
    if (edit->text() != q) edit->setText(q);
}

} // namespace

bool LoadQtJapaneseTexts()
{
    static QTranslator texts; // lives as long as the application
    if (!texts.isEmpty()) return true;
    if (!texts.load(QLocale(QLocale::Japanese, QLocale::Japan), QStringLiteral("qtbase"), QStringLiteral("_"),
                    QLibraryInfo::path(QLibraryInfo::TranslationsPath)))
        return false;
    return QCoreApplication::installTranslator(&texts);
}

Form1View::Form1View(FormPlatform platform, QWidget* parent) : QMainWindow(parent)
{
    // The form first: the widgets show its state from the start.
    form_ = std::make_unique<TForm1>(std::move(platform), *this);
    setObjectName(QStringLiteral("Form1"));
    setFont(Tahoma(8));
    setAcceptDrops(true);

    PageControl1 = new QTabWidget(this);
    PageControl1->setObjectName(QStringLiteral("PageControl1"));
    auto* page1 = new QWidget;
    auto* page2 = new QWidget;
    page1->setObjectName(QStringLiteral("TabSheet1"));
    page2->setObjectName(QStringLiteral("TabSheet2"));
    // The pages never ask for more room than the window has: what does not fit is cut, and the window
    // keeps the size it starts with or the user gives it.
    auto* page3 = new QWidget;
    page3->setObjectName(QStringLiteral("TabSheet3"));
    page1->setMinimumSize(1, 1);
    page2->setMinimumSize(1, 1);
    page3->setMinimumSize(1, 1);
    QWidget* const pages[] = {page1, page2, page3};
    for (std::size_t i = 0; i < kPageTitles.size(); ++i) PageControl1->addTab(pages[i], Q(kPageTitles[i]));
    setCentralWidget(PageControl1);
    BuildFirstPage(page1);
    BuildSecondPage(page2);
    BuildDrawingPage(page3);
    BuildPopupMenu();
    Form3 = new TForm3(this);
    connect(PageControl1, &QTabWidget::currentChanged, this, [this](int index) { form_->PageControl1Change(index); });

    // Esc ends a running import (and only then: the grid's editor takes Esc otherwise).
    escape_ = new QShortcut(QKeySequence(Qt::Key_Escape), this);
    escape_->setContext(Qt::WindowShortcut);
    escape_->setEnabled(false);
    connect(escape_, &QShortcut::activated, this, [this] { form_->CancelImport(); });

    // Client area 432 x 288 in the middle of the screen, or where the window was left; never smaller than
    // that, so every control stays readable. The window never resizes itself afterwards.
    setMinimumSize(kMinClientWidth, kMinClientHeight);
    resize(432, 288);
    if (QScreen* screen = QGuiApplication::primaryScreen()) move(screen->availableGeometry().center() - QPoint(216, 144));
    PlaceAsSaved();
    built_ = true;
    Refresh(~0u);
}

void Form1View::PlaceAsSaved()
{
    const std::optional<TWindowPlacement>& saved = form_->SavedPlacement();
    if (!saved) return;
    resize(std::max(saved->width, kMinClientWidth), std::max(saved->height, kMinClientHeight));
    // Only where a screen still shows it (a monitor may have gone since).
    const QRect place(QPoint(saved->left, saved->top), size());
    for (QScreen* screen : QGuiApplication::screens()) {
        if (screen->availableGeometry().intersected(place).width() >= 100 &&
            screen->availableGeometry().intersected(place).height() >= 50) {
            move(place.topLeft());
            break;
        }
    }
    if (saved->maximized) setWindowState(windowState() | Qt::WindowMaximized);
}

TWindowPlacement Form1View::Placement() const
{
    // The size the window has when not maximized, and where its frame is then.
    const QRect normal = isMaximized() ? normalGeometry() : geometry();
    const QPoint frameOffset = geometry().topLeft() - pos();
    const QPoint frame = isMaximized() ? normal.topLeft() - frameOffset : pos();
    return {frame.x(), frame.y(), normal.width(), normal.height(), isMaximized()};
}

Form1View::~Form1View()
{
    // The widgets read the form while they go: they go first.
    built_ = false;
    delete takeCentralWidget();
    delete PopupMenu1;
    delete Form3;
    delete gridModel_;
}

void Form1View::BuildFirstPage(QWidget* page)
{
    auto* outer = new QVBoxLayout(page);
    outer->setSizeConstraint(QLayout::SetNoConstraint);
    outer->setContentsMargins(0, 0, 0, 0);
    outer->setSpacing(0);
    auto* band = new QWidget(page);
    band->setObjectName(QStringLiteral("Panel1"));
    band->setFixedHeight(99);
    outer->addWidget(band);

    auto* bandLayout = new QGridLayout(band);
    bandLayout->setContentsMargins(6, 4, 6, 4);
    bandLayout->setHorizontalSpacing(4);
    bandLayout->setVerticalSpacing(3);

    // Row 0: the range addresses, and Button3 at the right.
    auto* row0 = new QHBoxLayout;
    Label1 = new QLabel(Q(kLabel1.caption), band);
    Label1->setObjectName(QStringLiteral("Label1"));
    Edit2 = new QLineEdit(band);
    Edit2->setObjectName(QStringLiteral("Edit2"));
    Label2 = new QLabel(Q(kLabel2.caption), band);
    Label2->setObjectName(QStringLiteral("Label2"));
    Edit3 = new QLineEdit(band);
    Edit3->setObjectName(QStringLiteral("Edit3"));
    for (QLineEdit* e : {Edit2, Edit3}) {
        e->setReadOnly(true);
        e->setFocusPolicy(Qt::ClickFocus);
        e->setFont(Tahoma(10));
        e->setFixedWidth(70);
    }
    row0->addWidget(Label1);
    row0->addWidget(Edit2);
    row0->addWidget(Label2);
    row0->addWidget(Edit3);
    row0->addStretch(1);
    Button3 = new QPushButton(Q(kButton3.caption), band);
    Button3->setObjectName(QStringLiteral("Button3"));
    Button3->setToolTip(Q(kButton3.hint));
    row0->addWidget(Button3);
    bandLayout->addLayout(row0, 0, 0, 1, 2);

    // Row 1: the status line, the check box, and Button4 at the right.
    auto* row1 = new QHBoxLayout;
    Label4 = new QLabel(band);
    Label4->setObjectName(QStringLiteral("Label4"));
    // A long status text is cut at the window's edge (its hint holds it whole); it never widens the window.
    Label4->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
    Label4->setMinimumWidth(0);
    row1->addWidget(Label4, 1);
    auto sizeBox = [&](const char* name, const ControlText& text) {
        auto* e = new QLineEdit(band);
        e->setObjectName(QString::fromLatin1(name));
        e->setToolTip(Q(text.hint));
        e->setFixedWidth(56);
        e->setAlignment(Qt::AlignRight);
        e->installEventFilter(this);
        return e;
    };
    Edit11 = sizeBox("Edit11", kEdit11);
    Edit12 = sizeBox("Edit12", kEdit12);
    Edit13 = sizeBox("Edit13", kEdit13);
    QToolButton** const speedButtons[] = {&SpeedButton1, &SpeedButton2, &SpeedButton3};
    for (int i = 0; i < 3; ++i) {
        auto* b = new QToolButton(band);
        b->setObjectName(QStringLiteral("SpeedButton%1").arg(i + 1));
        b->setText(Q(kSpeedButtons[static_cast<std::size_t>(i)].caption));
        b->setToolTip(Q(kSpeedButtons[static_cast<std::size_t>(i)].hint));
        b->setAutoRaise(true);
        b->setFixedWidth(24);
        b->setFocusPolicy(Qt::StrongFocus); // in the tab order, Space clicks it
        const int align = kAlignLeft + i;
        connect(b, &QToolButton::clicked, this, [this, align] { form_->SpeedButton1Click(align); });
        *speedButtons[i] = b;
    }
    CheckBox1 = new QCheckBox(Q(kCheckBox1.caption), band);
    CheckBox1->setObjectName(QStringLiteral("CheckBox1"));
    row1->addWidget(CheckBox1);
    Button4 = new QPushButton(Q(kButton4.caption), band);
    Button4->setObjectName(QStringLiteral("Button4"));
    Button4->setToolTip(Q(kButton4.hint));
    Button4->setEnabled(false);
    row1->addWidget(Button4);
    bandLayout->addLayout(row1, 1, 0, 1, 2);

    // Row 2: the cell text, growing with the window, its character code, the sizes and the alignments.
    auto* row2 = new QHBoxLayout;
    Edit1 = new QLineEdit(band);
    Edit1->setObjectName(QStringLiteral("Edit1"));
    Edit1->setToolTip(Q(kEdit1.hint));
    Edit1->setFont(Tahoma(10));
    Edit1->installEventFilter(this);
    Label13 = new QLabel(band);
    Label13->setObjectName(QStringLiteral("Label13"));
    Label13->setMinimumWidth(48);
    row2->addWidget(Edit1, 1);
    row2->addWidget(Label13);
    row2->addWidget(Edit11);
    row2->addWidget(Edit12);
    row2->addWidget(Edit13);
    row2->addWidget(SpeedButton1);
    row2->addWidget(SpeedButton2);
    row2->addWidget(SpeedButton3);
    bandLayout->addLayout(row2, 2, 0, 1, 2);

    gridModel_ = new StringGridModel(this);
    gridModel_->SetForm(form_.get());
    StringGrid1 = new QTableView(page);
    StringGrid1->setObjectName(QStringLiteral("StringGrid1"));
    StringGrid1->setModel(gridModel_);
    StringGrid1->setItemDelegate(new StringGridDelegate(*form_, StringGrid1));
    StringGrid1->setFont(Tahoma(10));
    StringGrid1->setToolTip(Q(kStringGrid1.hint));
    StringGrid1->setSelectionMode(QAbstractItemView::ContiguousSelection);
    StringGrid1->setSelectionBehavior(QAbstractItemView::SelectItems);
    StringGrid1->setWordWrap(false);
    StringGrid1->setEditTriggers(QAbstractItemView::DoubleClicked | QAbstractItemView::EditKeyPressed |
                                 QAbstractItemView::AnyKeyPressed);
    StringGrid1->verticalHeader()->setDefaultSectionSize(20);
    StringGrid1->verticalHeader()->setMinimumSectionSize(1);
    StringGrid1->horizontalHeader()->setMinimumSectionSize(1);
    StringGrid1->verticalHeader()->setFixedWidth(70);
    StringGrid1->verticalHeader()->setSectionResizeMode(QHeaderView::Interactive);
    StringGrid1->horizontalHeader()->setSectionResizeMode(QHeaderView::Interactive);
    StringGrid1->setContextMenuPolicy(Qt::CustomContextMenu);
    gridViewport_ = StringGrid1->viewport();
    gridViewport_->installEventFilter(this);
    // Fixed cells in the active-caption colour and in the grid's own font.
    for (QHeaderView* header : {StringGrid1->horizontalHeader(), StringGrid1->verticalHeader()}) {
        header->setFont(Tahoma(10));
        header->setStyleSheet(QStringLiteral("QHeaderView::section { background-color: rgb(153, 180, 209); color: black;"
                                             " border: none; border-right: 1px solid rgb(160, 160, 160);"
                                             " border-bottom: 1px solid rgb(160, 160, 160); }"));
    }
    StringGrid1->setStyleSheet(QStringLiteral("QTableCornerButton::section { background-color: rgb(153, 180, 209);"
                                              " border: none; border-right: 1px solid rgb(160, 160, 160);"
                                              " border-bottom: 1px solid rgb(160, 160, 160); }"));
    outer->addWidget(StringGrid1, 1);

    ProgressBar1 = new QProgressBar(page);
    ProgressBar1->setObjectName(QStringLiteral("ProgressBar1"));
    ProgressBar1->setFixedHeight(9);
    ProgressBar1->setTextVisible(false);
    ProgressBar1->setValue(0);
    outer->addWidget(ProgressBar1);

    connect(Button3, &QPushButton::clicked, this, [this] { form_->Button3Click(); });
    connect(Button4, &QPushButton::clicked, this, [this] { form_->Button4Click(); });
    connect(CheckBox1, &QCheckBox::toggled, this, [this](bool on) { form_->CheckBox1Click(on); });
    connect(Edit1, &QLineEdit::textEdited, this, [this](const QString& text) { form_->Edit1Change(text.toStdU16String()); });
    connect(StringGrid1, &QTableView::clicked, this, [this] { form_->StringGrid1Click(); });
    connect(StringGrid1->selectionModel(), &QItemSelectionModel::currentChanged, this, [this] { OnGridSelectionChanged(); });
    connect(StringGrid1->selectionModel(), &QItemSelectionModel::selectionChanged, this, [this] { OnGridSelectionChanged(); });
    // The fixed cells select through the form, not through the view's own header selection.
    QHeaderView* top = StringGrid1->horizontalHeader();
    QHeaderView* left = StringGrid1->verticalHeader();
    // Every receiver of the press, the view's own among them (its selection would scroll the view to the
    // column's first cell before the click is complete).
    for (QHeaderView* header : {top, left}) {
        QObject::disconnect(header, SIGNAL(sectionPressed(int)), nullptr, nullptr);
        QObject::disconnect(header, SIGNAL(sectionEntered(int)), nullptr, nullptr);
    }
    connect(top, &QHeaderView::sectionClicked, this, [this](int section) { form_->StringGrid1FixedCellClick(section + 1, 0); });
    connect(left, &QHeaderView::sectionClicked, this, [this](int section) { form_->StringGrid1FixedCellClick(0, section + 1); });
    connect(top, &QHeaderView::sectionResized, this,
            [this](int section, int, int size) { form_->StringGrid1ColumnResized(section + 1, size); });
    connect(left, &QHeaderView::sectionResized, this,
            [this](int section, int, int size) { form_->StringGrid1RowResized(section + 1, size); });
    if (auto* corner = StringGrid1->findChild<QAbstractButton*>()) {
        disconnect(corner, &QAbstractButton::clicked, StringGrid1, nullptr);
        connect(corner, &QAbstractButton::clicked, this, [this] { form_->StringGrid1FixedCellClick(0, 0); });
    }
    // Top to bottom, left to right; the read-only addresses are passed over.
    QWidget* const order[] = {Button3, CheckBox1, Button4, Edit1, Edit11, Edit12, Edit13,
                              SpeedButton1, SpeedButton2, SpeedButton3, StringGrid1};
    for (std::size_t i = 1; i < std::size(order); ++i) setTabOrder(order[i - 1], order[i]);
}

void Form1View::BuildSecondPage(QWidget* page)
{
    auto* layout = new QHBoxLayout(page);
    layout->setSizeConstraint(QLayout::SetNoConstraint); // the page never makes the window grow
    layout->setContentsMargins(4, 4, 4, 4);
    auto* left = new QVBoxLayout;
    left->setSpacing(2);
    auto number = [&](const char* name) {
        auto* e = new QLineEdit(page);
        e->setObjectName(QString::fromLatin1(name));
        e->setAlignment(Qt::AlignRight);
        e->setFixedSize(64, 19);
        e->installEventFilter(this);
        return e;
    };
    auto label = [](SettingsLabel which) { return new QLabel(Q(kSettingsLabels[which])); };
    // A group box in the settings column, its contents on a compact grid.
    auto group = [&](const char* name, const ControlText& text) {
        auto* box = new QGroupBox(Q(text.caption), page);
        box->setObjectName(QString::fromLatin1(name));
        auto* grid = new QGridLayout(box);
        grid->setContentsMargins(6, 2, 6, 2);
        grid->setVerticalSpacing(1);
        grid->setHorizontalSpacing(4);
        left->addWidget(box);
        return grid;
    };
    // A label and its number box on a row of a group.
    auto numberRow = [&](QGridLayout* grid, int row, SettingsLabel which, const char* name) {
        QLineEdit* e = number(name);
        grid->addWidget(label(which), row, 0);
        grid->addWidget(e, row, 1);
        return e;
    };
    QGridLayout* display = group("GroupBox1", kGroupBox1);
    Edit4 = numberRow(display, 0, kLabelEdit4, "Edit4");
    Edit5 = numberRow(display, 1, kLabelEdit5, "Edit5");
    QGridLayout* cad = group("GroupBox2", kGroupBox2);
    Edit6 = numberRow(cad, 0, kLabelEdit6, "Edit6");
    Edit7 = numberRow(cad, 1, kLabelEdit7, "Edit7");
    Edit8 = numberRow(cad, 2, kLabelEdit8, "Edit8");
    cad->addWidget(label(kLabelInsetHeading), 3, 0, 1, 3);
    Edit9 = numberRow(cad, 4, kLabelInsetBefore, "Edit9");
    cad->addWidget(label(kLabelInsetAfter), 4, 2);
    Edit10 = number("Edit10");
    edit10Labels_ = {label(kLabelEdit10), label(kLabelByLayer)};
    Edit10->setEnabled(form_->State().edit10Enabled);
    for (QLabel* l : edit10Labels_) l->setEnabled(form_->State().edit10Enabled);
    cad->addWidget(edit10Labels_[0], 5, 0, 1, 3);
    cad->addWidget(edit10Labels_[1], 6, 0);
    cad->addWidget(Edit10, 6, 1);
    left->addStretch(1);
    // The settings column keeps its natural size: in a window too low for it, its bottom is cut, never
    // squeezed together.
    auto* column = new QWidget(page);
    left->setContentsMargins(0, 0, 0, 0);
    column->setLayout(left);
    column->setMinimumSize(column->sizeHint());
    layout->addWidget(column, 0, Qt::AlignTop);

    auto* right = new QVBoxLayout;
    StringGrid2 = new QTableWidget(5, 2, page);
    StringGrid2->setObjectName(QStringLiteral("StringGrid2"));
    StringGrid2->horizontalHeader()->hide();
    StringGrid2->verticalHeader()->hide();
    StringGrid2->setColumnWidth(0, 80);
    StringGrid2->setColumnWidth(1, 380);
    StringGrid2->verticalHeader()->setDefaultSectionSize(19);
    StringGrid2->setEditTriggers(QAbstractItemView::NoEditTriggers);
    StringGrid2->setSelectionBehavior(QAbstractItemView::SelectRows);
    StringGrid2->setSelectionMode(QAbstractItemView::SingleSelection);
    StringGrid2->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    StringGrid2->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    StringGrid2->setFocusPolicy(Qt::NoFocus);
    StringGrid2->setMinimumSize(0, 0);
    StringGrid2->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Ignored);
    right->addWidget(StringGrid2, 1);
    Button1 = new QPushButton(Q(kButton1.caption), page);
    Button1->setObjectName(QStringLiteral("Button1"));
    right->addWidget(Button1, 0, Qt::AlignLeft);
    layout->addLayout(right, 1);
    connect(Button1, &QPushButton::clicked, this, [this] { form_->Button1Click(); });
    QLineEdit* settingsEdits[] = {Edit4, Edit5, Edit6, Edit7, Edit8, Edit9, Edit10};
    for (int i = 0; i < 7; ++i) {
        connect(settingsEdits[i], &QLineEdit::textEdited, this,
                [this, i](const QString& text) { form_->SettingsEditChange(i, text.toStdU16String()); });
    }
    const QColor labelColor(185, 209, 234); // the gradient active-caption colour
    for (int r = 0; r < 5; ++r) {
        auto* item = new QTableWidgetItem(Q(kSummaryLabels[static_cast<std::size_t>(r)]));
        item->setBackground(labelColor);
        item->setFlags(Qt::ItemIsEnabled); // a selected row leaves its label as it is
        StringGrid2->setItem(r, 0, item);
        StringGrid2->setItem(r, 1, new QTableWidgetItem);
    }
}

void Form1View::BuildDrawingPage(QWidget* page)
{
    auto* layout = new QVBoxLayout(page);
    layout->setSizeConstraint(QLayout::SetNoConstraint);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(2);
    DrawingView1 = new DrawingView(*form_, page);
    DrawingView1->setToolTip(Q(kDrawingView1.hint));
    CodePageList = new QListWidget(page);
    CodePageList->setObjectName(QStringLiteral("CodePageList"));
    CodePageList->setFont(Tahoma(10));
    CodePageList->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Fixed);
    CodePageList->hide();
    layout->addWidget(DrawingView1, 1);
    layout->addWidget(CodePageList);
}

void Form1View::ShowPreview()
{
    previewQueued_ = false;
    if (PageControl1->currentIndex() != kPageDrawing) return;
    // Laying out a big table takes a moment: the busy cursor says so.
    const bool busy = form_->PreviewStale();
    if (busy) QApplication::setOverrideCursor(Qt::WaitCursor);
    const TPreviewState& p = form_->Preview();
    if (busy) QApplication::restoreOverrideCursor();
    if (p.generation != previewShown_) {
        previewShown_ = p.generation;
        CodePageList->clear();
        for (const std::u16string& line : p.codePageLines) CodePageList->addItem(Q(line));
        // Up to four lines in view; more scroll.
        const int rows = static_cast<int>(std::min<std::size_t>(p.codePageLines.size(), 4));
        const int rowHeight = std::max(CodePageList->sizeHintForRow(0), QFontMetrics(CodePageList->font()).height());
        CodePageList->setFixedHeight(rows * rowHeight + 2 * CodePageList->frameWidth() + 4);
        CodePageList->setVisible(rows > 0);
    }
    DrawingView1->update();
}

void Form1View::BuildPopupMenu()
{
    PopupMenu1 = new QMenu(this);
    PopupMenu1->setObjectName(QStringLiteral("PopupMenu1"));
    // The design's names of the items, by their number.
    QAction** const named[] = {nullptr, &N1, &N2, &N3, &N4, &N5, &N6, &N7, &N8, &N9, &N10, nullptr, &N12,
                               nullptr, &N14, &N15, nullptr, &N17, &N18, &N19};
    for (const TMenuItem& item : PopupMenu1Items()) {
        // An item's key is shown after a tab, where menus show keys.
        QString text = Q(item.caption);
        if (!item.key.empty()) text += QLatin1Char('\t') + Q(item.key);
        QAction* a = item.handler != nullptr ? PopupMenu1->addAction(text) : PopupMenu1->addSeparator();
        a->setObjectName(QStringLiteral("N%1").arg(item.number));
        if (item.handler != nullptr) connect(a, &QAction::triggered, this, [this, handler = item.handler] { (form_.get()->*handler)(); });
        if (item.number > 0 && item.number < static_cast<int>(std::size(named)) && named[item.number] != nullptr)
            *named[item.number] = a;
    }
    // The keys: undo and redo wherever the focus is in the window (a text box with typing of its own to take
    // back keeps its Ctrl+Z, see eventFilter); copy, paste and delete on the grid itself.
    N14->setShortcut(QKeySequence::Undo);
    N15->setShortcuts({QKeySequence(Qt::CTRL | Qt::Key_Y), QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_Z)});
    for (QAction* a : {N14, N15}) {
        a->setShortcutContext(Qt::WindowShortcut);
        addAction(a);
    }
    N17->setShortcut(QKeySequence::Copy);
    N18->setShortcut(QKeySequence::Paste);
    N19->setShortcut(QKeySequence::Delete);
    for (QAction* a : {N17, N18, N19}) {
        a->setShortcutContext(Qt::WidgetShortcut);
        StringGrid1->addAction(a);
    }
    connect(StringGrid1, &QWidget::customContextMenuRequested, this,
            [this](const QPoint& pos) { PopupMenu1->popup(StringGrid1->viewport()->mapToGlobal(pos)); });
}

// ---- what the form asks of the window ------------------------------------------------------------

QWidget* Form1View::Owner(MessageOwner owner)
{
    return owner == MessageOwner::Grid ? static_cast<QWidget*>(StringGrid1) : static_cast<QWidget*>(this);
}

namespace {

QMessageBox::Icon ToQt(MessageIcon icon)
{
    switch (icon) {
    case MessageIcon::Information: return QMessageBox::Information;
    case MessageIcon::Warning: return QMessageBox::Warning;
    case MessageIcon::Error: return QMessageBox::Critical;
    case MessageIcon::Question: return QMessageBox::Question;
    case MessageIcon::None: break;
    }
    return QMessageBox::NoIcon;
}

// A box wide enough that its caption is read in full: a spacer under its contents as wide as the caption
// and the title bar's buttons need.
void FitCaption(QMessageBox& box, const QString& caption)
{
    auto* grid = qobject_cast<QGridLayout*>(box.layout());
    if (!grid) return;
    const int width = std::min(QFontMetrics(box.font()).horizontalAdvance(caption) + 160, 480);
    grid->addItem(new QSpacerItem(width, 0, QSizePolicy::Minimum, QSizePolicy::Fixed), grid->rowCount(), 0, 1,
                  grid->columnCount());
}

} // namespace

void Form1View::Message(std::u16string_view text, std::u16string_view caption, MessageIcon icon, MessageOwner owner)
{
    QMessageBox box(ToQt(icon), Q(caption), Q(text), QMessageBox::Ok, Owner(owner));
    FitCaption(box, Q(caption));
    box.exec();
}

bool Form1View::AskYesNo(std::u16string_view text, std::u16string_view caption, MessageOwner owner)
{
    QMessageBox box(QMessageBox::Question, Q(caption), Q(text), QMessageBox::Yes | QMessageBox::No, Owner(owner));
    FitCaption(box, Q(caption));
    return box.exec() == QMessageBox::Yes;
}

std::optional<std::filesystem::path> Form1View::ChooseWorkbook(const std::filesystem::path& startFolder)
{
    QStringList filters;
    for (const FileKind& kind : kWorkbookKinds) filters << Q(kind.name) + QStringLiteral(" (") + Q(kind.patterns) + QStringLiteral(")");
    const QString path =
        QFileDialog::getOpenFileName(this, Q(kOpenWorkbookTitle), Q(startFolder.u16string()), filters.join(QStringLiteral(";;")));
    if (path.isEmpty()) return std::nullopt;
    return std::filesystem::path(path.toStdU16String());
}

bool Form1View::ShowReplaceDialog(std::u16string& search, std::u16string& replacement)
{
    Form3->Edit1->setText(Q(search));
    Form3->Edit2->setText(Q(replacement));
    // What the user types goes into the search box, replacing the last search.
    Form3->Edit1->setFocus();
    Form3->Edit1->selectAll();
    Form3->adjustSize();
    Form3->move(geometry().center() - QPoint(Form3->width() / 2, Form3->height() / 2));
    const bool ok = Form3->exec() == QDialog::Accepted;
    search = Form3->Edit1->text().toStdU16String();
    replacement = Form3->Edit2->text().toStdU16String();
    return ok;
}

void Form1View::ProcessEvents() { QApplication::processEvents(); }

void Form1View::CloseWindow() { close(); }

void Form1View::SetClipboardText(std::u16string_view text) { QGuiApplication::clipboard()->setText(Q(text)); }

std::u16string Form1View::ClipboardText() { return QGuiApplication::clipboard()->text().toStdU16String(); }

void Form1View::Refresh(unsigned parts)
{
    if (!built_) return; // the widgets are still being made
    const TForm1State& s = form_->State();
    if (parts & kPartCaption) setWindowTitle(Q(s.caption));
    if (parts & kPartButtons) ShowEnabled();
    if (parts & kPartHistory) {
        N14->setEnabled(s.canUndo);
        N15->setEnabled(s.canRedo);
    }
    if (parts & kPartEdit1) {
        Show(Edit1, s.edit1);
        QPalette pal = Edit1->palette();
        pal.setColor(QPalette::Text, Q(s.edit1Red ? kLineFeedTextColor : kPlainTextColor));
        Edit1->setPalette(pal);
    }
    if (parts & kPartAddresses) {
        Show(Edit2, s.edit2);
        Show(Edit3, s.edit3);
    }
    if (parts & kPartSizeBoxes) {
        Show(Edit11, s.edit11);
        Show(Edit12, s.edit12);
        Show(Edit13, s.edit13);
    }
    if (parts & kPartLabel4) {
        Label4->setText(Q(s.label4));
        Label4->setToolTip(Q(s.label4)); // whole, where the line is cut
    }
    if (parts & kPartLabel13) Label13->setText(Q(s.label13));
    if (parts & kPartSpeedButtons) {
        SpeedButton1->setAutoRaise(!s.speedRaised[0]);
        SpeedButton2->setAutoRaise(!s.speedRaised[1]);
        SpeedButton3->setAutoRaise(!s.speedRaised[2]);
    }
    if (parts & kPartCheckBox) {
        const QSignalBlocker block(CheckBox1);
        CheckBox1->setChecked(s.checkBox1);
    }
    if (parts & kPartProgress) {
        ProgressBar1->setMaximum(std::max(s.progressMax, 1));
        ProgressBar1->setValue(std::clamp(s.progressPosition, 0, std::max(s.progressMax, 1)));
    }
    if (parts & kPartSettingsEdits) {
        QLineEdit* edits[] = {Edit4, Edit5, Edit6, Edit7, Edit8, Edit9, Edit10};
        for (std::size_t i = 0; i < 7; ++i) Show(edits[i], s.settingsEdits[i]);
        Edit10->setEnabled(s.edit10Enabled);
        for (QLabel* l : edit10Labels_) l->setEnabled(s.edit10Enabled);
    }
    if (parts & kPartSummary) {
        for (int r = 0; r < 5; ++r)
            for (int c = 0; c < 2; ++c)
                StringGrid2->item(r, c)->setText(Q(s.summary[static_cast<std::size_t>(r)][static_cast<std::size_t>(c)]));
    }
    if (parts & kPartGrid) ShowGridShape();
    else if (parts & kPartGridTexts) gridModel_->TextsChanged();
    if (parts & (kPartGrid | kPartGridSelection)) ShowGridSelection();
    if (parts & kPartGridScrollHome) StringGrid1->scrollToTop(), StringGrid1->horizontalScrollBar()->setValue(0);
    if ((parts & kPartPreview) && !previewQueued_) {
        // Laid out once the handler that changed the table has ended, not within it.
        previewQueued_ = true;
        QTimer::singleShot(0, this, [this] { ShowPreview(); });
    }
}

void Form1View::ShowEnabled()
{
    const TForm1State& s = form_->State();
    Button3->setEnabled(s.button3Enabled);
    Button4->setEnabled(s.button4Enabled);
    // During an import the table takes no input.
    for (QWidget* w : std::initializer_list<QWidget*>{StringGrid1, Edit1, Edit11, Edit12, Edit13, SpeedButton1, SpeedButton2, SpeedButton3})
        w->setEnabled(s.tableInput);
    escape_->setEnabled(form_->Importing());
}

void Form1View::ShowGridShape()
{
    const TStringGridState& g = form_->Grid();
    syncingSelection_ = true;
    StringGrid1->setUpdatesEnabled(false);
    gridModel_->Reset();
    QHeaderView* top = StringGrid1->horizontalHeader();
    QHeaderView* left = StringGrid1->verticalHeader();
    const QSignalBlocker blockTop(top), blockLeft(left); // sizes set here are not the user's drags
    for (std::int32_t c = 1; c < g.colCount; ++c) top->resizeSection(c - 1, g.colWidths[static_cast<std::size_t>(c)]);
    for (std::int32_t r = 1; r < g.rowCount; ++r) left->resizeSection(r - 1, g.rowHeights[static_cast<std::size_t>(r)]);
    left->setFixedWidth(g.colWidths[0]);
    // Each merged area is one cell with its anchor's text, as the drawing shows it.
    StringGrid1->clearSpans();
    for (const GridSelection& a : form_->MergedAreas())
        StringGrid1->setSpan(a.top - 1, a.left - 1, a.bottom - a.top + 1, a.right - a.left + 1);
    StringGrid1->setUpdatesEnabled(true);
    syncingSelection_ = false;
}

void Form1View::ShowGridSelection()
{
    const TStringGridState& g = form_->Grid();
    const QModelIndex current = gridModel_->index(g.row - 1, g.col - 1);
    if (!current.isValid()) return;
    syncingSelection_ = true;
    QItemSelectionModel* sm = StringGrid1->selectionModel();
    const QItemSelection range(gridModel_->index(g.selection.top - 1, g.selection.left - 1),
                               gridModel_->index(g.selection.bottom - 1, g.selection.right - 1));
    sm->select(range, QItemSelectionModel::ClearAndSelect);
    // After a header click the view stays where the user clicked.
    const bool scroll = StringGrid1->hasAutoScroll();
    StringGrid1->setAutoScroll(g.scrollToCurrent);
    sm->setCurrentIndex(current, QItemSelectionModel::NoUpdate);
    StringGrid1->setAutoScroll(scroll);
    syncingSelection_ = false;
}

void Form1View::OnGridSelectionChanged()
{
    if (syncingSelection_) return;
    const QModelIndex current = StringGrid1->currentIndex();
    if (!current.isValid()) return;
    const QItemSelection selection = StringGrid1->selectionModel()->selection();
    GridSelection rect{current.column() + 1, current.row() + 1, current.column() + 1, current.row() + 1};
    if (!selection.isEmpty()) {
        rect = {INT32_MAX, INT32_MAX, 0, 0};
        for (const QItemSelectionRange& r : selection) {
            rect.left = std::min(rect.left, r.left() + 1);
            rect.top = std::min(rect.top, r.top() + 1);
            rect.right = std::max(rect.right, r.right() + 1);
            rect.bottom = std::max(rect.bottom, r.bottom() + 1);
        }
    }
    form_->StringGrid1SelectRange(current.column() + 1, current.row() + 1, rect);
}

// ---- window events --------------------------------------------------------------------------------

void Form1View::closeEvent(QCloseEvent* event)
{
    if (isVisible()) form_->WindowPlaced(Placement());
    if (form_->FormCloseQuery()) event->accept();
    else event->ignore();
}

void Form1View::dragEnterEvent(QDragEnterEvent* event)
{
    if (event->mimeData()->hasUrls()) event->acceptProposedAction();
}

void Form1View::dropEvent(QDropEvent* event)
{
    const auto urls = event->mimeData()->urls();
    if (urls.isEmpty() || !urls.first().isLocalFile()) return;
    event->acceptProposedAction();
    form_->ImportWorkbookFile(std::filesystem::path(urls.first().toLocalFile().toStdU16String()));
}

bool Form1View::eventFilter(QObject* watched, QEvent* event)
{
    if (!built_) return QMainWindow::eventFilter(watched, event);
    if (event->type() == QEvent::ShortcutOverride) {
        // Ctrl+Z and Ctrl+Y in Edit1 take back the table's steps (its typing is one); in a size box they
        // take back the box's own typing first, and the table's when it has none.
        const auto* key = static_cast<QKeyEvent*>(event);
        const bool undo = key->matches(QKeySequence::Undo);
        const bool redo = N15->shortcuts().contains(QKeySequence(key->keyCombination()));
        auto* edit = qobject_cast<QLineEdit*>(watched);
        if (edit != nullptr && (undo || redo)) {
            const bool own = edit != Edit1 && (undo ? edit->isUndoAvailable() : edit->isRedoAvailable());
            if (!own) return true; // not taken by the box: the window's key runs
        }
    }
    if (event->type() == QEvent::KeyPress) {
        const auto* key = static_cast<QKeyEvent*>(event);
        if (key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter) {
            if (watched == Edit11) return form_->Edit11KeyPress(Edit11->text().toStdU16String()), true;
            if (watched == Edit12) return form_->Edit12KeyPress(Edit12->text().toStdU16String()), true;
            if (watched == Edit13) return form_->Edit13KeyPress(Edit13->text().toStdU16String()), true;
        }
    } else if (event->type() == QEvent::KeyRelease && watched == Edit1) {
        const int k = static_cast<QKeyEvent*>(event)->key();
        if (k == Qt::Key_Left || k == Qt::Key_Right || k == Qt::Key_Up || k == Qt::Key_Down) {
            const int p = Edit1->hasSelectedText() ? Edit1->selectionStart() : Edit1->cursorPosition();
            form_->Edit1KeyUp(static_cast<std::size_t>(std::max(p, 0)));
        }
    } else if (watched == gridViewport_ && (event->type() == QEvent::MouseButtonPress ||
                                                      event->type() == QEvent::MouseButtonDblClick)) {
        // A press that does not select (the right button's, which only opens the menu) never reaches the view.
        const Qt::MouseButton pressed = static_cast<QMouseEvent*>(event)->button();
        const MouseButton button = pressed == Qt::LeftButton    ? MouseButton::Left
                                   : pressed == Qt::RightButton ? MouseButton::Right
                                                                : MouseButton::Middle;
        if (form_->StringGrid1MouseDown(button) != GridPress::Select) return true;
    }
    return QMainWindow::eventFilter(watched, event);
}

} // namespace gridvane
