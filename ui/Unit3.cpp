#include "ui/Unit3.h"

#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

namespace gridvane {

TForm3::TForm3(QWidget* parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("Form3"));
    setWindowTitle(QStringLiteral("置換"));
    setFixedSize(218, 117);
    setWindowFlags(windowFlags() & ~Qt::WindowContextHelpButtonHint);

    Label1 = new QLabel(QStringLiteral("検索文字列"), this);
    Label1->setObjectName(QStringLiteral("Label1"));
    Label1->setGeometry(8, 8, 80, 20);
    Edit1 = new QLineEdit(this);
    Edit1->setObjectName(QStringLiteral("Edit1"));
    Edit1->setGeometry(88, 8, 122, 22);
    Label2 = new QLabel(QStringLiteral("置換文字列"), this);
    Label2->setObjectName(QStringLiteral("Label2"));
    Label2->setGeometry(8, 40, 80, 20);
    Edit2 = new QLineEdit(this);
    Edit2->setObjectName(QStringLiteral("Edit2"));
    Edit2->setGeometry(88, 40, 122, 22);
    Button1 = new QPushButton(QStringLiteral("実行"), this);
    Button1->setObjectName(QStringLiteral("Button1"));
    Button1->setGeometry(40, 80, 75, 25);
    Button2 = new QPushButton(QStringLiteral("中止"), this);
    Button2->setObjectName(QStringLiteral("Button2"));
    Button2->setGeometry(128, 80, 75, 25);
    for (QPushButton* b : {Button1, Button2}) {
        b->setAutoDefault(false);
        b->setDefault(false);
    }
    setTabOrder(Edit1, Edit2);
    setTabOrder(Edit2, Button1);
    setTabOrder(Button1, Button2);
    connect(Button1, &QPushButton::clicked, this, &QDialog::accept);
    connect(Button2, &QPushButton::clicked, this, &QDialog::reject);
}

void TForm3::keyPressEvent(QKeyEvent* event)
{
    // Neither button is the default or the cancel button.
    if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter || event->key() == Qt::Key_Escape) {
        event->accept();
        return;
    }
    QDialog::keyPressEvent(event);
}

} // namespace gridvane
