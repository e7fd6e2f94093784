#include "ui/StringGrid.h"

#include <QPainter>

#include <algorithm>

#include "ui/QtConvert.h"

namespace gridvane {

namespace {

Qt::Alignment ToQt(CellAlign align)
{
    switch (align) {
    case CellAlign::Center: return Qt::AlignHCenter;
    case CellAlign::Right: return Qt::AlignRight;
    case CellAlign::Left: break;
    }
    return Qt::AlignLeft;
}

} // namespace

void StringGridModel::Reset()
{
    beginResetModel();
    endResetModel();
}

void StringGridModel::TextsChanged()
{
    const int rows = rowCount(), cols = columnCount();
    if (rows > 0 && cols > 0) emit dataChanged(index(0, 0), index(rows - 1, cols - 1));
    if (cols > 0) emit headerDataChanged(Qt::Horizontal, 0, cols - 1);
    if (rows > 0) emit headerDataChanged(Qt::Vertical, 0, rows - 1);
}

QString StringGridModel::CellText(std::int32_t c, std::int32_t r) const
{
    return form_ ? Q(form_->Grid().Text(c, r)) : QString();
}

int StringGridModel::rowCount(const QModelIndex& parent) const
{
    return parent.isValid() || !form_ ? 0 : form_->Grid().rowCount - 1;
}

int StringGridModel::columnCount(const QModelIndex& parent) const
{
    return parent.isValid() || !form_ ? 0 : form_->Grid().colCount - 1;
}

QVariant StringGridModel::data(const QModelIndex& index, int role) const
{
    if (!index.isValid() || (role != Qt::DisplayRole && role != Qt::EditRole)) return {};
    return CellText(index.column() + 1, index.row() + 1);
}

bool StringGridModel::setData(const QModelIndex& index, const QVariant& value, int role)
{
    if (!index.isValid() || role != Qt::EditRole || !form_) return false;
    form_->StringGrid1SetEditText(index.column() + 1, index.row() + 1, value.toString().toStdU16String());
    return true;
}

QVariant StringGridModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    const std::int32_t c = orientation == Qt::Horizontal ? section + 1 : 0, r = orientation == Qt::Horizontal ? 0 : section + 1;
    if (role == Qt::TextAlignmentRole) {
        const Qt::Alignment align = form_ ? ToQt(form_->CellLook(c, r).align) : Qt::AlignHCenter;
        return QVariant(static_cast<int>(align | Qt::AlignVCenter));
    }
    if (role != Qt::DisplayRole) return {};
    return CellText(c, r);
}

Qt::ItemFlags StringGridModel::flags(const QModelIndex& index) const
{
    if (!index.isValid()) return Qt::NoItemFlags;
    return Qt::ItemIsSelectable | Qt::ItemIsEnabled | Qt::ItemIsEditable;
}

void StringGridDelegate::paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const
{
    const TCellLook look = form_.CellLook(index.column() + 1, index.row() + 1);
    const bool selected = option.state & QStyle::State_Selected;
    const bool current = option.state & QStyle::State_HasFocus;
    const QPalette& pal = option.palette;
    QColor background = pal.color(QPalette::Base);
    QColor foreground = pal.color(QPalette::Text);
    if (selected && !current) {
        background = pal.color(QPalette::Highlight);
        foreground = pal.color(QPalette::HighlightedText);
    }
    if (look.merged) {
        background = Q(kMergeShade);
        foreground = pal.color(QPalette::Text);
    }
    painter->save();
    painter->fillRect(option.rect, background);
    if (current) {
        painter->setPen(QPen(pal.color(QPalette::Highlight)));
        painter->drawRect(option.rect.adjusted(0, 0, -1, -1));
    }
    const QRect textRect = option.rect.adjusted(2, 0, -2, 0);
    painter->setClipRect(option.rect);
    painter->setFont(option.font);
    painter->setPen(foreground);
    QString text = index.data(Qt::DisplayRole).toString();
    text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    text.replace(QLatin1Char('\r'), QLatin1Char('\n'));
    painter->drawText(textRect, static_cast<int>(ToQt(look.align) | Qt::AlignTop), text);
    if (look.codePageMark) {
        // A character the drawing cannot carry: a small red corner, over the cell's own colours.
        const QRect r = option.rect;
        const int side = std::max(4, std::min({7, r.width() / 3, r.height() / 3}));
        const QPointF corner[] = {QPointF(r.right() + 1 - side, r.top()), QPointF(r.right() + 1, r.top()),
                                  QPointF(r.right() + 1, r.top() + side)};
        painter->setPen(Qt::NoPen);
        painter->setBrush(Q(kCodePageMarkColor));
        painter->setRenderHint(QPainter::Antialiasing, false);
        painter->drawPolygon(corner, 3);
    }
    painter->restore();
}

} // namespace gridvane
