#pragma once
#include <QAbstractTableModel>
#include <QStyledItemDelegate>

#include "form/Form1.h"

namespace gridvane {

/// StringGrid1's texts as a Qt model over the form's grid. The fixed row 0 and column 0 are the view's
/// headers; data cell (c, r) is the model's index (r - 1, c - 1). Typing into a cell goes to the form.
class StringGridModel : public QAbstractTableModel {
    Q_OBJECT
public:
    explicit StringGridModel(QObject* parent = nullptr) : QAbstractTableModel(parent) {}
    /// The form whose grid this shows; set once, before the view shows anything.
    void SetForm(TForm1* form) { form_ = form; }
    /// The grid's shape changed: counts, texts, everything.
    void Reset();
    /// Texts or their look changed: repaint every cell and header.
    void TextsChanged();
    QString CellText(std::int32_t c, std::int32_t r) const;

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    bool setData(const QModelIndex& index, const QVariant& value, int role) override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;

private:
    TForm1* form_ = nullptr;
};

/// StringGrid1DrawCell: the cell's look as the form gives it (TForm1::CellLook: merge shading, alignment,
/// code-page mark), its text from the top with line breaks, 2-pixel margins, clipped.
class StringGridDelegate : public QStyledItemDelegate {
public:
    StringGridDelegate(const TForm1& form, QObject* parent) : QStyledItemDelegate(parent), form_(form) {}
    void paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const override;

private:
    const TForm1& form_;
};

} // namespace gridvane
