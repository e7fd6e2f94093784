#include "ui/Unit3.h"

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

#include "form/WindowTexts.h"
#include "ui/QtConvert.h"

namespace gridvane {

TForm3::TForm3(QWidget* parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("Form3"));
    setWindowTitle(Q(kForm3Caption));
    setFixedSize(218, 117);
    setWindowFlags(windowFlags() & ~Qt::WindowContextHelpButtonHint);

    // A label and its edit box on one line at y; a button at x.
    auto row = [this](int number, const ControlText& text, int y, QLabel*& label, QLineEdit*& edit) {
        label = new QLabel(Q(text.caption), this);
        label->setObjectName(QStringLiteral("Label%1").arg(number));
        label->setGeometry(8, y, 80, 22);
        edit = new QLineEdit(this);
        edit->setObjectName(QStringLiteral("Edit%1").arg(number));
        edit->setGeometry(88, y, 122, 22);
    };
    auto button = [this](int number, const ControlText& text, int x) {
        auto* b = new QPushButton(Q(text.caption), this);
        b->setObjectName(QStringLiteral("Button%1").arg(number));
        b->setGeometry(x, 80, 75, 25);
        b->setAutoDefault(false);
        return b;
    };
    row(1, kForm3Label1, 8, Label1, Edit1);
    row(2, kForm3Label2, 40, Label2, Edit2);
    Button1 = button(1, kForm3Button1, 40);
    Button2 = button(2, kForm3Button2, 128);
    Button1->setDefault(true); // Enter runs the replace; Escape cancels, as in any dialog
    setTabOrder(Edit1, Edit2);
    setTabOrder(Edit2, Button1);
    setTabOrder(Button1, Button2);
    connect(Button1, &QPushButton::clicked, this, &QDialog::accept);
    connect(Button2, &QPushButton::clicked, this, &QDialog::reject);
}

} // namespace gridvane
