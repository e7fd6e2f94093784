// Gridvane23: the window program.
#include <QApplication>
#include <QFileInfo>
#include <QMessageBox>

#include <exception>

#include "ui/Dialogs.h"
#include "ui/Unit2Plotra23.h"
#include "ui/Unit3.h"

namespace {

// Shows any error that escapes an event handler in an error box; the program goes on.
class Application : public QApplication {
public:
    using QApplication::QApplication;
    bool notify(QObject* receiver, QEvent* event) override
    {
        try {
            return QApplication::notify(receiver, event);
        } catch (const std::exception& e) {
            ShowError(QString::fromUtf8(e.what()));
        } catch (...) {
            ShowError(QStringLiteral("不明なエラーが発生しました。"));
        }
        return false;
    }

private:
    static void ShowError(const QString& text)
    {
        QMessageBox::critical(QApplication::activeWindow(), QApplication::applicationName(), text);
    }
};

} // namespace

int main(int argc, char** argv)
{
    Application app(argc, argv);
    const QFileInfo exe(QCoreApplication::applicationFilePath());
    app.setApplicationName(exe.fileName().section(QLatin1Char('.'), 0, 0));
    const std::filesystem::path base = std::filesystem::path(exe.absoluteFilePath().toStdU16String());

    gridvane::QtDialogs dialogs;
    gridvane::WindowEnvironment env;
    env.iniPath = std::filesystem::path(base).replace_extension(".ini");
    env.dxfPath = std::filesystem::path(base).replace_extension(".dxf");
    env.dialogs = &dialogs;

    gridvane::TForm1 form1(env);
    gridvane::TForm3 form3(&form1);
    form1.SetReplaceDialog(&form3);
    form1.show();
    return app.exec();
}
