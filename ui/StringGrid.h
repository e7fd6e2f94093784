#pragma once
#include <QAbstractTableModel>
#include <QStyledItemDelegate>
#include <QStringList>
#include <vector>

#include "model/CellTable.h"
#include "textconv/TextCommands.h"

namespace gridvane {

/// The texts of StringGrid1. Grid coordinates follow the grid: column 0 and row 0 are the fixed header
/// cells, shown as the view's header column and row; data cell (c, r) is the view's index (r - 1, c - 1).
class StringGridModel : public QAbstractTableModel, public GridTexts {
    Q_OBJECT
public:
    explicit StringGridModel(QObject* parent = nullptr);

    /// Column and row counts of the grid, header column and row included.
    std::int32_t GridColumns() const { return cols_; }
    std::int32_t GridRows() const { return rows_; }
    /// Starts a bulk fill: no signals until EndBulk, which resets the view once.
    void BeginBulk();
    void EndBulk();
    bool InBulk() const { return bulk_; }
    /// New counts (header included); texts that stay inside keep their place.
    void SetGridSize(std::int32_t cols, std::int32_t rows);
    QString CellText(std::int32_t c, std::int32_t r) const;
    void SetCellText(std::int32_t c, std::int32_t r, const QString& text);

    // GridTexts
    std::u16string Text(std::int32_t col, std::int32_t row) const override;
    void SetText(std::int32_t col, std::int32_t row, std::u16string text) override;

    // QAbstractTableModel
    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    bool setData(const QModelIndex& index, const QVariant& value, int role) override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;

private:
    std::int32_t cols_ = 5, rows_ = 5;
    std::vector<QString> texts_; // rows_ x cols_, headers included
    bool bulk_ = false;
};

/// StringGrid1DrawCell: merge colour, alignment from txtAlign, text from the top with line breaks,
/// 2-pixel margins, clipped.
class StringGridDelegate : public QStyledItemDelegate {
public:
    StringGridDelegate(const CellTable& table, QObject* parent) : QStyledItemDelegate(parent), table_(table) {}
    void paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const override;

private:
    const CellTable& table_;
};

} // namespace gridvane
