#pragma once
#include <QString>

class QWidget;

namespace gridvane {

/// The icon of a message box.
enum class DialogIcon { None, Information, Warning, Error, Question };

/// Every message box and file dialog of the window goes through here, so tests can answer them.
class Dialogs {
public:
    virtual ~Dialogs() = default;
    /// An OK box.
    virtual void Message(QWidget* owner, const QString& text, const QString& caption, DialogIcon icon) = 0;
    /// A Yes/No box; true only for Yes.
    virtual bool AskYesNo(QWidget* owner, const QString& text, const QString& caption) = 0;
    /// The workbook to import, or an empty text when the user cancels; opens in startFolder.
    virtual QString OpenWorkbook(QWidget* owner, const QString& startFolder) = 0;
};

/// The real boxes and dialogs.
class QtDialogs : public Dialogs {
public:
    void Message(QWidget* owner, const QString& text, const QString& caption, DialogIcon icon) override;
    bool AskYesNo(QWidget* owner, const QString& text, const QString& caption) override;
    QString OpenWorkbook(QWidget* owner, const QString& startFolder) override;
};

} // namespace gridvane
