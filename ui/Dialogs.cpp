#include "ui/Dialogs.h"

#include <QFileDialog>
#include <QMessageBox>

namespace gridvane {

namespace {

QMessageBox::Icon ToQt(DialogIcon icon)
{
    switch (icon) {
    case DialogIcon::Information: return QMessageBox::Information;
    case DialogIcon::Warning: return QMessageBox::Warning;
    case DialogIcon::Error: return QMessageBox::Critical;
    case DialogIcon::Question: return QMessageBox::Question;
    case DialogIcon::None: break;
    }
    return QMessageBox::NoIcon;
}

} // namespace

void QtDialogs::Message(QWidget* owner, const QString& text, const QString& caption, DialogIcon icon)
{
    QMessageBox box(ToQt(icon), caption, text, QMessageBox::Ok, owner);
    box.exec();
}

bool QtDialogs::AskYesNo(QWidget* owner, const QString& text, const QString& caption)
{
    QMessageBox box(QMessageBox::Question, caption, text, QMessageBox::Yes | QMessageBox::No, owner);
    return box.exec() == QMessageBox::Yes;
}

QString QtDialogs::OpenWorkbook(QWidget* owner, const QString& startFolder)
{
    return QFileDialog::getOpenFileName(owner, QStringLiteral("ブックを開く"), startFolder,
                                        QStringLiteral("Excel ブック (*.xlsx *.xlsm);;すべてのファイル (*)"));
}

} // namespace gridvane
