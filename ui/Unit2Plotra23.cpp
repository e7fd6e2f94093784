#include "ui/Unit2Plotra23.h"

#include <QAbstractButton>
#include <QApplication>
#include <QCheckBox>
#include <QCloseEvent>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFileInfo>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QLocale>
#include <QMenu>
#include <QMimeData>
#include <QProgressBar>
#include <QPushButton>
#include <QScreen>
#include <QTabWidget>
#include <QTableView>
#include <QTableWidget>
#include <QToolButton>
#include <QVBoxLayout>

#include "base/Error.h"
#include "base/Utf.h"
#include "cad/CadInsertion.h"
#include "excel/xlsx/XlsxWorkbook.h"
#include "layout/TableLayout.h"
#include "settings/NumberText.h"
#include "settings/SizeSummary.h"
#include "ui/StringGrid.h"
#include "ui/Unit3.h"

namespace gridvane {

namespace {

QString Q(std::u16string_view s) { return QString::fromUtf16(s.data(), static_cast<qsizetype>(s.size())); }
std::u16string U(const QString& s) { return s.toStdU16String(); }

QFont Tahoma(int points)
{
    QFont f;
    f.setFamilies({QStringLiteral("Tahoma"), QStringLiteral("Noto Sans CJK JP"), QStringLiteral("Noto Sans")});
    f.setPointSize(points);
    return f;
}

const QString kCaption = QStringLiteral("Gridvane 2023.02.11");
const QString kMessageCaption = QStringLiteral("メッセージ");
const QString kConfirmCaption = QStringLiteral("確認");

} // namespace

TForm1::TForm1(WindowEnvironment environment, QWidget* parent) : QMainWindow(parent), env_(std::move(environment))
{
    setObjectName(QStringLiteral("Form1"));
    setWindowTitle(kCaption);
    setFont(Tahoma(8));
    setAcceptDrops(true);
    const QString point = QLocale::system().decimalPoint();
    sep_ = point.isEmpty() ? u'.' : point.at(0).unicode();

    PageControl1 = new QTabWidget(this);
    PageControl1->setObjectName(QStringLiteral("PageControl1"));
    auto* page1 = new QWidget;
    auto* page2 = new QWidget;
    page1->setObjectName(QStringLiteral("TabSheet1"));
    page2->setObjectName(QStringLiteral("TabSheet2"));
    PageControl1->addTab(page1, QStringLiteral(" 取得、描画"));
    PageControl1->addTab(page2, QStringLiteral(" 設定、確認"));
    setCentralWidget(PageControl1);
    BuildFirstPage(page1);
    BuildSecondPage(page2);
    BuildPopupMenu();
    connect(PageControl1, &QTabWidget::currentChanged, this, &TForm1::PageControl1Change);

    resize(432, 288);
    if (QScreen* screen = QGuiApplication::primaryScreen()) {
        const QRect area = screen->availableGeometry();
        move(area.center() - QPoint(216, 144));
    }
    FormCreate();
}

TForm1::~TForm1() = default;

void TForm1::BuildFirstPage(QWidget* page)
{
    auto* outer = new QVBoxLayout(page);
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
    Label1 = new QLabel(QStringLiteral("対象セル："), band);
    Label1->setObjectName(QStringLiteral("Label1"));
    Edit2 = new QLineEdit(band);
    Edit2->setObjectName(QStringLiteral("Edit2"));
    Label2 = new QLabel(QStringLiteral("～"), band);
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
    Button3 = new QPushButton(QStringLiteral("Excel から取得"), band);
    Button3->setObjectName(QStringLiteral("Button3"));
    Button3->setToolTip(QStringLiteral("アクティブな Excel から選択範囲を取得します"));
    row0->addWidget(Button3);
    bandLayout->addLayout(row0, 0, 0, 1, 2);

    // Row 1: the status line, the size boxes, the alignment buttons, and Button4 at the right.
    auto* row1 = new QHBoxLayout;
    Label4 = new QLabel(band);
    Label4->setObjectName(QStringLiteral("Label4"));
    row1->addWidget(Label4, 1);
    auto sizeBox = [&](const char* name, const char* hint) {
        auto* e = new QLineEdit(band);
        e->setObjectName(QString::fromLatin1(name));
        e->setToolTip(QString::fromUtf8(hint));
        e->setFixedWidth(56);
        e->setAlignment(Qt::AlignRight);
        e->installEventFilter(this);
        return e;
    };
    Edit11 = sizeBox("Edit11", "列幅 [Enter]で更新");
    Edit12 = sizeBox("Edit12", "行高さ [Enter]で更新");
    Edit13 = sizeBox("Edit13", "文字高さ [Enter]で更新");
    auto speed = [&](const char* name, const char* caption, const char* hint, int align) {
        auto* b = new QToolButton(band);
        b->setObjectName(QString::fromLatin1(name));
        b->setText(QString::fromUtf8(caption));
        b->setToolTip(QString::fromUtf8(hint));
        b->setAutoRaise(true);
        b->setFixedWidth(24);
        connect(b, &QToolButton::clicked, this, [this, align] { SpeedButton1Click(align); });
        return b;
    };
    SpeedButton1 = speed("SpeedButton1", "左", "文字基点 [左]", kAlignLeft);
    SpeedButton2 = speed("SpeedButton2", "中", "文字基点 [中]", kAlignCenter);
    SpeedButton3 = speed("SpeedButton3", "右", "文字基点 [右]", kAlignRight);
    row1->addWidget(Edit11);
    row1->addWidget(Edit12);
    row1->addWidget(Edit13);
    row1->addWidget(SpeedButton1);
    row1->addWidget(SpeedButton2);
    row1->addWidget(SpeedButton3);
    Button4 = new QPushButton(QStringLiteral("Plotra へ挿入"), band);
    Button4->setObjectName(QStringLiteral("Button4"));
    Button4->setToolTip(QStringLiteral("DXF ファイル作成,、AutoCAD, Bricscad に挿入"));
    Button4->setEnabled(false);
    row1->addWidget(Button4);
    bandLayout->addLayout(row1, 1, 0, 1, 2);

    // Row 2: the cell text, growing with the window, its character code, and the check box.
    auto* row2 = new QHBoxLayout;
    Edit1 = new QLineEdit(band);
    Edit1->setObjectName(QStringLiteral("Edit1"));
    Edit1->setToolTip(QStringLiteral("赤文字の時：改行コードが含まれている"));
    Edit1->setFont(Tahoma(10));
    Edit1->installEventFilter(this);
    Label13 = new QLabel(band);
    Label13->setObjectName(QStringLiteral("Label13"));
    Label13->setMinimumWidth(48);
    CheckBox1 = new QCheckBox(QStringLiteral("セルを描画"), band);
    CheckBox1->setObjectName(QStringLiteral("CheckBox1"));
    row2->addWidget(Edit1, 1);
    row2->addWidget(Label13);
    row2->addWidget(CheckBox1);
    bandLayout->addLayout(row2, 2, 0, 1, 2);

    gridModel_ = new StringGridModel(this);
    StringGrid1 = new QTableView(page);
    StringGrid1->setObjectName(QStringLiteral("StringGrid1"));
    StringGrid1->setModel(gridModel_);
    StringGrid1->setItemDelegate(new StringGridDelegate(table_, StringGrid1));
    StringGrid1->setFont(Tahoma(10));
    StringGrid1->setToolTip(QStringLiteral("範囲選択=固定部クリック or [Shit]+矢印キー. 右クリックで選択範囲の文字変換メニュー"));
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
    outer->addWidget(StringGrid1, 1);

    ProgressBar1 = new QProgressBar(page);
    ProgressBar1->setObjectName(QStringLiteral("ProgressBar1"));
    ProgressBar1->setFixedHeight(9);
    ProgressBar1->setTextVisible(false);
    ProgressBar1->setValue(0);
    outer->addWidget(ProgressBar1);

    connect(Button3, &QPushButton::clicked, this, &TForm1::Button3Click);
    connect(Button4, &QPushButton::clicked, this, &TForm1::Button4Click);
    connect(Edit1, &QLineEdit::textChanged, this, &TForm1::Edit1Change);
    connect(StringGrid1, &QTableView::clicked, this, [this] { StringGrid1Click(); });
    connect(StringGrid1->selectionModel(), &QItemSelectionModel::currentChanged, this, [this] {
        if (!fillingEdit1_) StringGrid1Click();
    });
    connect(StringGrid1->horizontalHeader(), &QHeaderView::sectionClicked, this,
            [this](int section) { StringGrid1FixedCellClick(section + 1, 0); });
    connect(StringGrid1->verticalHeader(), &QHeaderView::sectionClicked, this,
            [this](int section) { StringGrid1FixedCellClick(0, section + 1); });
    if (auto* corner = StringGrid1->findChild<QAbstractButton*>()) {
        connect(corner, &QAbstractButton::clicked, this, [this] { StringGrid1FixedCellClick(0, 0); });
    }
}

void TForm1::BuildSecondPage(QWidget* page)
{
    auto* layout = new QHBoxLayout(page);
    auto* left = new QVBoxLayout;
    auto number = [&](const char* name) {
        auto* e = new QLineEdit(page);
        e->setObjectName(QString::fromLatin1(name));
        e->setAlignment(Qt::AlignRight);
        e->setFixedWidth(64);
        return e;
    };
    auto* display = new QGroupBox(QStringLiteral("表示"), page);
    display->setObjectName(QStringLiteral("GroupBox1"));
    auto* dl = new QGridLayout(display);
    Edit4 = number("Edit4");
    Edit5 = number("Edit5");
    dl->addWidget(new QLabel(QStringLiteral("X 尺度")), 0, 0);
    dl->addWidget(Edit4, 0, 1);
    dl->addWidget(new QLabel(QStringLiteral("Y 尺度")), 1, 0);
    dl->addWidget(Edit5, 1, 1);
    left->addWidget(display);

    auto* cad = new QGroupBox(QStringLiteral("CAD, DXF"), page);
    cad->setObjectName(QStringLiteral("GroupBox2"));
    auto* cl = new QGridLayout(cad);
    Edit6 = number("Edit6");
    Edit7 = number("Edit7");
    Edit8 = number("Edit8");
    Edit9 = number("Edit9");
    Edit10 = number("Edit10");
    cl->addWidget(new QLabel(QStringLiteral("X 尺度")), 0, 0);
    cl->addWidget(Edit6, 0, 1);
    cl->addWidget(new QLabel(QStringLiteral("Y 尺度")), 1, 0);
    cl->addWidget(Edit7, 1, 1);
    cl->addWidget(new QLabel(QStringLiteral("文字尺度")), 2, 0);
    cl->addWidget(Edit8, 2, 1);
    cl->addWidget(new QLabel(QStringLiteral("文字基点オフセット X 尺度")), 3, 0, 1, 3);
    cl->addWidget(new QLabel(QStringLiteral("文字高さの")), 4, 0);
    cl->addWidget(Edit9, 4, 1);
    cl->addWidget(new QLabel(QStringLiteral("倍")), 4, 2);
    auto* colorLabel = new QLabel(QStringLiteral("セル区切り線の色番号"));
    auto* byLayer = new QLabel(QStringLiteral("( BYLAER = 256 )"));
    colorLabel->setEnabled(false);
    byLayer->setEnabled(false);
    Edit10->setEnabled(false);
    cl->addWidget(colorLabel, 5, 0, 1, 3);
    cl->addWidget(byLayer, 6, 0);
    cl->addWidget(Edit10, 6, 1);
    left->addWidget(cad);
    left->addStretch(1);
    layout->addLayout(left);

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
    StringGrid2->setMinimumHeight(5 * 19 + 4);
    right->addWidget(StringGrid2, 1);
    Button1 = new QPushButton(QStringLiteral("変更を反映"), page);
    Button1->setObjectName(QStringLiteral("Button1"));
    right->addWidget(Button1, 0, Qt::AlignLeft);
    layout->addLayout(right, 1);
    connect(Button1, &QPushButton::clicked, this, &TForm1::Button1Click);
}

void TForm1::BuildPopupMenu()
{
    PopupMenu1 = new QMenu(this);
    PopupMenu1->setObjectName(QStringLiteral("PopupMenu1"));
    auto item = [&](const char* name, const char* caption, void (TForm1::*handler)()) {
        QAction* a = PopupMenu1->addAction(QString::fromUtf8(caption));
        a->setObjectName(QString::fromLatin1(name));
        connect(a, &QAction::triggered, this, handler);
        return a;
    };
    auto separator = [&](const char* name) {
        QAction* a = PopupMenu1->addSeparator();
        a->setObjectName(QString::fromLatin1(name));
        return a;
    };
    N1 = item("N1", "半角->全角", &TForm1::N1Click);
    N12 = item("N12", "半角->全角（数字のみの文字列は除外）", &TForm1::N12Click);
    N5 = item("N5", "半角カナ->全角", &TForm1::N5Click);
    N3 = separator("N3");
    N2 = item("N2", "全角->半角", &TForm1::N2Click);
    N6 = item("N6", "全角数字->半角", &TForm1::N6Click);
    N7 = item("N7", "全角アルファベット->半角", &TForm1::N7Click);
    N8 = separator("N8");
    N9 = item("N9", "代替文字を含む禁止文字->半角", &TForm1::N9Click);
    N10 = separator("N10");
    N4 = item("N4", "置換", &TForm1::N4Click);
    connect(StringGrid1, &QWidget::customContextMenuRequested, this,
            [this](const QPoint& pos) { PopupMenu1->popup(StringGrid1->viewport()->mapToGlobal(pos)); });
}

// ---- life cycle -----------------------------------------------------------------------------------

void TForm1::FormCreate()
{
    for (QLineEdit* e : {Edit1, Edit2, Edit3, Edit11, Edit12, Edit13}) e->clear();
    Label4->clear();
    Label13->clear();
    settings_ = LoadSettings(env_.iniPath, sep_);
    CheckBox1->setChecked(settings_.cellLineDraw);
    Edit4->setText(Q(FormatGeneral(settings_.colXsc, sep_)));
    Edit5->setText(Q(FormatGeneral(settings_.rowYsc, sep_)));
    Edit6->setText(Q(FormatGeneral(settings_.cadXsc, sep_)));
    Edit7->setText(Q(FormatGeneral(settings_.cadYsc, sep_)));
    Edit8->setText(Q(FormatGeneral(settings_.cadTsc, sep_)));
    Edit9->setText(Q(FormatGeneral(settings_.cadTof, sep_)));
    Edit10->setText(QString::number(settings_.cellLineColor));
    const char* labels[] = {"全幅", "全高", "列幅", "行高", "文字"};
    const QColor labelColor(185, 209, 234); // the gradient active-caption colour
    for (int r = 0; r < 5; ++r) {
        auto* label = new QTableWidgetItem(QString::fromUtf8(labels[r]));
        label->setBackground(labelColor);
        StringGrid2->setItem(r, 0, label);
        StringGrid2->setItem(r, 1, new QTableWidgetItem);
    }
}

bool TForm1::SaveSettingsOnClose()
{
    settings_.cellLineDraw = CheckBox1->isChecked();
    try {
        SaveSettings(env_.iniPath, settings_, sep_);
    } catch (const Error& e) {
        env_.dialogs->Message(this, QString::fromUtf8(e.what()), QStringLiteral("Gridvane23"), DialogIcon::Error);
        return false;
    }
    return true;
}

void TForm1::closeEvent(QCloseEvent* event)
{
    if (importing_) {
        // The table must not be emptied under a running import: close once it has ended.
        closePending_ = true;
        event->ignore();
        return;
    }
    // The settings first: when they cannot be written the window stays open with the table intact.
    if (!SaveSettingsOnClose()) {
        event->ignore();
        return;
    }
    table_.CellGrid.clear();
    event->accept();
}

// ---- settings page --------------------------------------------------------------------------------

void TForm1::Button1Click()
{
    if (importing_) {
        applyPending_ = true;
        return;
    }
    if (table_.Empty()) return;
    const QString question = QStringLiteral("尺度を更新すると個別に設定した列幅、列高さ、文字高さがリセット（再計算）されます．\r設定を更新しますか？");
    if (!env_.dialogs->AskYesNo(this, question, kConfirmCaption)) return;
    auto number = [&](QLineEdit* e, double fallback) { return ParseNumber(U(e->text()), sep_).value_or(fallback); };
    settings_.colXsc = number(Edit4, TSettingsFallbacks::colXsc);
    settings_.rowYsc = number(Edit5, TSettingsFallbacks::rowYsc);
    settings_.cadXsc = number(Edit6, TSettingsFallbacks::cadXsc);
    settings_.cadYsc = number(Edit7, TSettingsFallbacks::cadYsc);
    settings_.cadTsc = number(Edit8, TSettingsFallbacks::cadTsc);
    settings_.cadTof = number(Edit9, TSettingsFallbacks::cadTof);
    bool ok = false;
    const int color = Edit10->text().trimmed().toInt(&ok);
    settings_.cellLineColor = ok ? color : TSettingsFallbacks::cellLineColor;
    CalcDrawSize(table_, settings_.cadXsc, settings_.cadYsc, settings_.cadTsc);
    showWhSizeGrid2();
    StringGrid1->viewport()->update();
}

void TForm1::showWhSizeGrid2()
{
    if (table_.Empty()) return;
    const auto texts = SizeSummary(table_, sep_);
    for (int r = 0; r < 5; ++r) StringGrid2->item(r, 1)->setText(Q(texts[static_cast<std::size_t>(r)]));
}

void TForm1::PageControl1Change(int index)
{
    if (index == 1) showWhSizeGrid2();
}

void TForm1::ShowWHSize()
{
    Label4->setText(Q(ShowWHSizeText(table_, sep_)));
}

// ---- import ---------------------------------------------------------------------------------------

void TForm1::Button3Click()
{
    if (importing_) return;
    if (env_.attach) {
        RunImport(env_.attach());
        return;
    }
    // Without automation, the workbook file stands in for the running spreadsheet.
    const QString path = env_.dialogs->OpenWorkbook(this, lastWorkbookFolder_);
    if (path.isEmpty()) return;
    ImportWorkbook(path);
}

void TForm1::ImportWorkbook(const QString& path)
{
    if (importing_) return;
    lastWorkbookFolder_ = QFileInfo(path).absolutePath();
    const std::filesystem::path file = std::filesystem::path(path.toStdU16String());
    RunImport([file] { return OpenWorkbookAsApplication(file); });
}

void TForm1::RunImport(const XlAttach& attach)
{
    importing_ = true;
    const ImportScales scales{settings_.colXsc, settings_.rowYsc, settings_.cadXsc, settings_.cadYsc, settings_.cadTsc};
    ImportSelection(attach, *this, table_, scales, sep_);
    importing_ = false;
    StringGrid1->viewport()->update();
    if (closePending_) {
        closePending_ = false;
        close();
        return;
    }
    if (applyPending_) {
        applyPending_ = false;
        Button1Click();
    }
}

void TForm1::dragEnterEvent(QDragEnterEvent* event)
{
    if (event->mimeData()->hasUrls()) event->acceptProposedAction();
}

void TForm1::dropEvent(QDropEvent* event)
{
    const auto urls = event->mimeData()->urls();
    if (urls.isEmpty() || !urls.first().isLocalFile()) return;
    event->acceptProposedAction();
    ImportWorkbook(urls.first().toLocalFile());
}

void TForm1::SetButton3Enabled(bool on) { Button3->setEnabled(on); }
void TForm1::SetButton4Enabled(bool on) { Button4->setEnabled(on); }
void TForm1::SetCaption(std::u16string_view text) { setWindowTitle(Q(text)); }
void TForm1::SetEdit2(std::u16string_view text) { Edit2->setText(Q(text)); }
void TForm1::SetEdit3(std::u16string_view text) { Edit3->setText(Q(text)); }

void TForm1::SetGridRedraw(bool on)
{
    if (!on) {
        StringGrid1->setUpdatesEnabled(false);
        gridModel_->BeginBulk();
        return;
    }
    gridModel_->EndBulk();
    for (std::size_t c = 1; c < pendingColumnWidths_.size(); ++c)
        if (pendingColumnWidths_[c] >= 0) StringGrid1->setColumnWidth(static_cast<int>(c) - 1, pendingColumnWidths_[c]);
    for (std::size_t r = 1; r < pendingRowHeights_.size(); ++r)
        if (pendingRowHeights_[r] >= 0) StringGrid1->setRowHeight(static_cast<int>(r) - 1, pendingRowHeights_[r]);
    pendingColumnWidths_.clear();
    pendingRowHeights_.clear();
    StringGrid1->verticalHeader()->setFixedWidth(fixedColumnWidth_);
    StringGrid1->setUpdatesEnabled(true);
    StringGrid1->viewport()->update();
}

void TForm1::SetFixedColumnWidth(int pixels) { fixedColumnWidth_ = pixels; }

void TForm1::SetGridSize(std::int32_t columns, std::int32_t rows)
{
    gridModel_->SetGridSize(columns, rows);
    pendingColumnWidths_.assign(static_cast<std::size_t>(std::max(columns, 1)), -1);
    pendingRowHeights_.assign(static_cast<std::size_t>(std::max(rows, 1)), -1);
}

void TForm1::SetCurrentCell(std::int32_t c, std::int32_t r)
{
    if (!gridModel_->InBulk()) SetCurrent(c, r);
}

void TForm1::SetColumnWidth(std::int32_t c, int pixels)
{
    if (c > 0 && static_cast<std::size_t>(c) < pendingColumnWidths_.size()) pendingColumnWidths_[static_cast<std::size_t>(c)] = pixels;
}

void TForm1::SetRowHeight(std::int32_t r, int pixels)
{
    if (r > 0 && static_cast<std::size_t>(r) < pendingRowHeights_.size()) pendingRowHeights_[static_cast<std::size_t>(r)] = pixels;
}

void TForm1::SetCellText(std::int32_t c, std::int32_t r, std::u16string_view text) { gridModel_->SetCellText(c, r, Q(text)); }
void TForm1::SetLabel4(std::u16string_view text) { Label4->setText(Q(text)); }
void TForm1::SetProgressMax(int maximum) { ProgressBar1->setMaximum(std::max(maximum, 1)); }
void TForm1::SetProgress(int position) { ProgressBar1->setValue(position); }
void TForm1::StepProgress() { ProgressBar1->setValue(ProgressBar1->value() + 1); }
void TForm1::ProcessEvents() { QApplication::processEvents(); }

void TForm1::ShowMessage(std::u16string_view text)
{
    env_.dialogs->Message(this, Q(text), kMessageCaption, DialogIcon::None);
}

// ---- drawing --------------------------------------------------------------------------------------

std::vector<std::u16string> TForm1::DrawingTexts() const
{
    std::vector<std::u16string> texts;
    if (table_.GridColCount <= 0 || table_.GridRowCount <= 0) return texts;
    texts.reserve(static_cast<std::size_t>(table_.GridColCount) * table_.GridRowCount);
    for (std::int32_t r = 1; r <= table_.GridRowCount; ++r)
        for (std::int32_t c = 1; c <= table_.GridColCount; ++c) texts.push_back(gridModel_->Text(c, r));
    return texts;
}

void TForm1::Button4Click()
{
    if (table_.Empty() || table_.GridColCount <= 0 || table_.GridRowCount <= 0) return;
    const DxfLineList list = LayoutTable(table_, DrawingTexts(), LayoutOptions{CheckBox1->isChecked(), settings_.cadTof});
    if (list.Count() == 0) return;
    SaveDxfLineList(list, env_.dxfPath);
    std::error_code ec;
    if (std::filesystem::exists(env_.dxfPath, ec)) InsertIntoRunningCad(env_.dxfPath);
}

// ---- the grid -------------------------------------------------------------------------------------

const TXlsxCellAttr* TForm1::ModelCell(int c, int r) const
{
    if (table_.Empty() || c < 1 || r < 1 || c > table_.GridColCount || r > table_.GridRowCount) return nullptr;
    const std::size_t i = static_cast<std::size_t>(r - 1) * table_.GridColCount + (c - 1);
    return i < table_.CellGrid.size() ? &table_.CellGrid[i] : nullptr;
}

GridSelection TForm1::Selection() const
{
    const QModelIndex current = StringGrid1->currentIndex();
    const QItemSelection selection = StringGrid1->selectionModel()->selection();
    if (selection.isEmpty()) {
        const int c = current.isValid() ? current.column() + 1 : 1, r = current.isValid() ? current.row() + 1 : 1;
        return {c, r, c, r};
    }
    int left = INT32_MAX, top = INT32_MAX, right = 0, bottom = 0;
    for (const QItemSelectionRange& range : selection) {
        left = std::min(left, range.left() + 1);
        top = std::min(top, range.top() + 1);
        right = std::max(right, range.right() + 1);
        bottom = std::max(bottom, range.bottom() + 1);
    }
    return {left, top, right, bottom};
}

void TForm1::SetCurrent(int c, int r)
{
    const QModelIndex index = gridModel_->index(r - 1, c - 1);
    if (index.isValid()) StringGrid1->selectionModel()->setCurrentIndex(index, QItemSelectionModel::NoUpdate);
}

void TForm1::StringGrid1Click()
{
    const QModelIndex current = StringGrid1->currentIndex();
    const int c = current.isValid() ? current.column() + 1 : 1, r = current.isValid() ? current.row() + 1 : 1;
    const QString text = gridModel_->CellText(c, r);
    fillingEdit1_ = true;
    Edit1->setText(text);
    fillingEdit1_ = false;
    QPalette pal = Edit1->palette();
    pal.setColor(QPalette::Text, text.contains(QLatin1Char('\n')) ? QColor(255, 0, 0) : QColor(0, 0, 0));
    Edit1->setPalette(pal);
    Label13->clear();
    const TXlsxCellAttr* cell = ModelCell(c, r);
    if (!cell) return;
    SpeedButton1->setAutoRaise(cell->txtAlign != kAlignLeft);
    SpeedButton2->setAutoRaise(cell->txtAlign != kAlignCenter);
    SpeedButton3->setAutoRaise(cell->txtAlign != kAlignRight);
    Edit11->setText(Q(FormatFixed3(cell->drawW, sep_)));
    Edit12->setText(Q(FormatFixed3(cell->drawH, sep_)));
    Edit13->setText(Q(FormatFixed3(cell->drawTH, sep_)));
}

void TForm1::StringGrid1FixedCellClick(int col, int row)
{
    const int lastCol = gridModel_->GridColumns() - 1, lastRow = gridModel_->GridRows() - 1;
    if (lastCol < 1 || lastRow < 1) return;
    int left = 1, top = 1, right = lastCol, bottom = lastRow;
    if (row == 0 && col >= 1) left = right = col;
    else if (col == 0 && row >= 1) top = bottom = row;
    const QItemSelection selection(gridModel_->index(top - 1, left - 1), gridModel_->index(bottom - 1, right - 1));
    fillingEdit1_ = true; // the edit boxes are not refreshed
    StringGrid1->selectionModel()->select(selection, QItemSelectionModel::ClearAndSelect);
    StringGrid1->selectionModel()->setCurrentIndex(gridModel_->index(bottom - 1, right - 1), QItemSelectionModel::NoUpdate);
    fillingEdit1_ = false;
}

void TForm1::Edit1Change(const QString& text)
{
    if (fillingEdit1_) return; // showing a cell's text must never rewrite it
    const QModelIndex current = StringGrid1->currentIndex();
    if (!current.isValid()) return;
    gridModel_->SetCellText(current.column() + 1, current.row() + 1, text);
}

void TForm1::Edit1KeyUp()
{
    const int p = Edit1->hasSelectedText() ? Edit1->selectionStart() : Edit1->cursorPosition();
    const QString text = Edit1->text();
    if (p < text.size()) {
        Label13->setText(QStringLiteral("[%1]").arg(text.at(p).unicode(), 4, 16, QLatin1Char('0')).toUpper());
    } else {
        Label13->clear();
    }
}

void TForm1::SpeedButton1Click(int align)
{
    if (!table_.Empty()) {
        const GridSelection s = Selection();
        for (int r = s.top; r <= s.bottom; ++r)
            for (int c = s.left; c <= s.right; ++c)
                if (const TXlsxCellAttr* cell = ModelCell(c, r)) const_cast<TXlsxCellAttr*>(cell)->txtAlign = static_cast<std::uint8_t>(align);
    }
    StringGrid1->viewport()->update();
}

void TForm1::Edit11KeyPress() { SizeEdit(Edit11, 0); }
void TForm1::Edit12KeyPress() { SizeEdit(Edit12, 1); }
void TForm1::Edit13KeyPress() { SizeEdit(Edit13, 2); }

void TForm1::SizeEdit(QLineEdit* box, int which)
{
    const double x = ParseNumber(U(box->text()), sep_).value_or(0);
    if (!(x > 0) || table_.Empty()) return;
    static const char* const kQuestions[] = {"選択範囲の列幅を変更しますか？", "選択範囲の行高さを変更しますか？",
                                             "選択範囲の文字高さを変更しますか？"};
    const GridSelection s = Selection();
    auto field = [which](TXlsxCellAttr& cell) -> double& {
        return which == 0 ? cell.drawW : which == 1 ? cell.drawH : cell.drawTH;
    };
    if (env_.dialogs->AskYesNo(StringGrid1, QString::fromUtf8(kQuestions[which]), kConfirmCaption)) {
        for (std::int32_t r = 1; r <= table_.GridRowCount; ++r) {
            for (std::int32_t c = 1; c <= table_.GridColCount; ++c) {
                const bool inColumns = c >= s.left && c <= s.right, inRows = r >= s.top && r <= s.bottom;
                const bool take = which == 0 ? inColumns : which == 1 ? inRows : inColumns && inRows;
                const std::size_t i = static_cast<std::size_t>(r - 1) * table_.GridColCount + (c - 1);
                if (take && i < table_.CellGrid.size()) field(table_.CellGrid[i]) = x;
            }
        }
        if (which != 2) SumMergeDrawSize(table_);
        ShowWHSize();
        box->setText(Q(FormatFixed3(x, sep_)));
    } else {
        const QModelIndex current = StringGrid1->currentIndex();
        const TXlsxCellAttr* cell = current.isValid() ? ModelCell(current.column() + 1, current.row() + 1) : nullptr;
        if (cell) box->setText(Q(FormatFixed3(field(*const_cast<TXlsxCellAttr*>(cell)), sep_)));
    }
}

bool TForm1::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() == QEvent::KeyPress) {
        const auto* key = static_cast<QKeyEvent*>(event);
        if (key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter) {
            if (watched == Edit11) return Edit11KeyPress(), true;
            if (watched == Edit12) return Edit12KeyPress(), true;
            if (watched == Edit13) return Edit13KeyPress(), true;
        }
    } else if (event->type() == QEvent::KeyRelease && watched == Edit1) {
        const int k = static_cast<QKeyEvent*>(event)->key();
        if (k == Qt::Key_Left || k == Qt::Key_Right || k == Qt::Key_Up || k == Qt::Key_Down) Edit1KeyUp();
    }
    return QMainWindow::eventFilter(watched, event);
}

// ---- text commands --------------------------------------------------------------------------------

void TForm1::RunCommand(TextCommand command)
{
    RunTextCommand(*gridModel_, Selection(), command);
}

void TForm1::N4Click()
{
    if (!form3_) return;
    form3_->adjustSize();
    form3_->move(geometry().center() - QPoint(form3_->width() / 2, form3_->height() / 2));
    if (form3_->exec() != QDialog::Accepted) return;
    const std::int64_t count = ReplaceInSelection(*gridModel_, Selection(), U(form3_->Edit1->text()), U(form3_->Edit2->text()));
    const QString title = QFileInfo(QCoreApplication::applicationFilePath()).fileName().section(QLatin1Char('.'), 0, 0);
    env_.dialogs->Message(this, QString::number(count) + QStringLiteral(" 個の文字列を置換しました."),
                          title.isEmpty() ? QStringLiteral("Gridvane23") : title, DialogIcon::None);
}

} // namespace gridvane
