// Gridvane23: the window program on Linux.
#include <QApplication>
#include <QFileInfo>

#include "app/FormPlatform.h"
#include "ui/Unit2Plotra23.h"

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    const QFileInfo exe(QCoreApplication::applicationFilePath());
    app.setApplicationName(exe.fileName().section(QLatin1Char('.'), 0, 0));

    // The window speaks Japanese, its standard boxes and the file dialog too.
    gridvane::LoadQtJapaneseTexts();

    // A call into a busy program is shown in the form's status line while it waits.
    gridvane::TForm1* form = nullptr;
    gridvane::Form1View form1(gridvane::MakeFormPlatform(std::filesystem::path(exe.absoluteFilePath().toStdU16String()),
                                                         [&form](gridvane::OutsideProgram program, bool waiting) {
                                                             if (form) form->OutsideCallWaiting(program, waiting);
                                                         }));
    form = &form1.Form();
    form1.show();
    return app.exec();
}
