// Gridvane23: the window program on Linux.
#include <QApplication>
#include <QFileInfo>
#include <QLibraryInfo>
#include <QLocale>
#include <QTranslator>

#include "app/FormPlatform.h"
#include "ui/Unit2Plotra23.h"

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    const QFileInfo exe(QCoreApplication::applicationFilePath());
    app.setApplicationName(exe.fileName().section(QLatin1Char('.'), 0, 0));

    // The window speaks Japanese, its standard boxes and the file dialog too.
    QTranslator qtTexts;
    if (qtTexts.load(QLocale(QLocale::Japanese, QLocale::Japan), QStringLiteral("qtbase"), QStringLiteral("_"),
                     QLibraryInfo::path(QLibraryInfo::TranslationsPath)))
        QCoreApplication::installTranslator(&qtTexts);

    gridvane::Form1View form1(gridvane::MakeFormPlatform(std::filesystem::path(exe.absoluteFilePath().toStdU16String())));
    form1.show();
    return app.exec();
}
