#include "ui/StringGrid.h"

#include <QApplication>
#include <QPainter>

namespace gridvane {

StringGridModel::StringGridModel(QObject* parent) : QAbstractTableModel(parent), texts_(25) {}

void StringGridModel::BeginBulk()
{
    if (bulk_) return;
    bulk_ = true;
    beginResetModel();
}

void StringGridModel::EndBulk()
{
    if (!bulk_) return;
    bulk_ = false;
    endResetModel();
}

void StringGridModel::SetGridSize(std::int32_t cols, std::int32_t rows)
{
    cols = std::max(cols, 1);
    rows = std::max(rows, 1);
    if (cols == cols_ && rows == rows_) return;
    const bool signal = !bulk_;
    if (signal) beginResetModel();
    std::vector<QString> next(static_cast<std::size_t>(cols) * rows);
    for (std::int32_t r = 0; r < std::min(rows, rows_); ++r)
        for (std::int32_t c = 0; c < std::min(cols, cols_); ++c)
            next[static_cast<std::size_t>(r) * cols + c] = std::move(texts_[static_cast<std::size_t>(r) * cols_ + c]);
    texts_ = std::move(next);
    cols_ = cols;
    rows_ = rows;
    if (signal) endResetModel();
}

QString StringGridModel::CellText(std::int32_t c, std::int32_t r) const
{
    if (c < 0 || r < 0 || c >= cols_ || r >= rows_) return {};
    return texts_[static_cast<std::size_t>(r) * cols_ + c];
}

void StringGridModel::SetCellText(std::int32_t c, std::int32_t r, const QString& text)
{
    if (c < 0 || r < 0 || c >= cols_ || r >= rows_) return;
    texts_[static_cast<std::size_t>(r) * cols_ + c] = text;
    if (bulk_) return;
    if (r == 0 && c > 0) {
        emit headerDataChanged(Qt::Horizontal, c - 1, c - 1);
    } else if (c == 0 && r > 0) {
        emit headerDataChanged(Qt::Vertical, r - 1, r - 1);
    } else if (c > 0 && r > 0) {
        const QModelIndex i = index(r - 1, c - 1);
        emit dataChanged(i, i);
    }
}

std::u16string StringGridModel::Text(std::int32_t col, std::int32_t row) const
{
    return CellText(col, row).toStdU16String();
}

void StringGridModel::SetText(std::int32_t col, std::int32_t row, std::u16string text)
{
    SetCellText(col, row, QString::fromStdU16String(text));
}

int StringGridModel::rowCount(const QModelIndex& parent) const { return parent.isValid() ? 0 : rows_ - 1; }
int StringGridModel::columnCount(const QModelIndex& parent) const { return parent.isValid() ? 0 : cols_ - 1; }

QVariant StringGridModel::data(const QModelIndex& index, int role) const
{
    if (!index.isValid() || (role != Qt::DisplayRole && role != Qt::EditRole)) return {};
    return CellText(index.column() + 1, index.row() + 1);
}

bool StringGridModel::setData(const QModelIndex& index, const QVariant& value, int role)
{
    if (!index.isValid() || role != Qt::EditRole) return false;
    SetCellText(index.column() + 1, index.row() + 1, value.toString());
    return true;
}

QVariant StringGridModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (role == Qt::TextAlignmentRole) return QVariant::fromValue(Qt::AlignCenter);
    if (role != Qt::DisplayRole) return {};
    return orientation == Qt::Horizontal ? CellText(section + 1, 0) : CellText(0, section + 1);
}

Qt::ItemFlags StringGridModel::flags(const QModelIndex& index) const
{
    if (!index.isValid()) return Qt::NoItemFlags;
    return Qt::ItemIsSelectable | Qt::ItemIsEnabled | Qt::ItemIsEditable;
}

void StringGridDelegate::paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const
{
    const std::int32_t c = index.column(), r = index.row(); // model cell (r, c)
    const bool inTable = !table_.Empty() && c < table_.GridColCount && r < table_.GridRowCount &&
                         static_cast<std::size_t>(r) * table_.GridColCount + c < table_.CellGrid.size();
    const bool selected = option.state & QStyle::State_Selected;
    const bool current = option.state & QStyle::State_HasFocus;
    const QPalette& pal = option.palette;
    QColor background = pal.color(QPalette::Base);
    QColor foreground = pal.color(QPalette::Text);
    Qt::Alignment align = Qt::AlignLeft;
    if (selected && !current) {
        background = pal.color(QPalette::Highlight);
        foreground = pal.color(QPalette::HighlightedText);
    }
    if (inTable) {
        const TXlsxCellAttr& cell = table_.At(r, c);
        if (cell.mark || cell.drawMW > 0 || cell.drawMH > 0) {
            background = QColor(240, 255, 255);
            foreground = pal.color(QPalette::Text);
        }
        if (cell.txtAlign == kAlignCenter) align = Qt::AlignHCenter;
        else if (cell.txtAlign == kAlignRight) align = Qt::AlignRight;
    }
    painter->save();
    painter->fillRect(option.rect, background);
    if (current) {
        QPen pen(pal.color(QPalette::Highlight));
        painter->setPen(pen);
        painter->drawRect(option.rect.adjusted(0, 0, -1, -1));
    }
    const QRect textRect = option.rect.adjusted(2, 0, -2, 0);
    painter->setClipRect(option.rect);
    painter->setFont(option.font);
    painter->setPen(foreground);
    QString text = index.data(Qt::DisplayRole).toString();
    text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    text.replace(QLatin1Char('\r'), QLatin1Char('\n'));
    painter->drawText(textRect, static_cast<int>(align | Qt::AlignTop), text);
    painter->restore();
}

} // namespace gridvane
