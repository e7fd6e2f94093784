#pragma once
#include <QDialog>

class QLabel;
class QLineEdit;
class QPushButton;

namespace gridvane {

/// The replace dialog "置換": search text (Edit1) and replacement (Edit2); "実行" and Enter accept, "中止",
/// Escape and the close box cancel. Created once and kept hidden, so it keeps its texts.
class TForm3 : public QDialog {
    Q_OBJECT
public:
    explicit TForm3(QWidget* parent = nullptr);

    QLabel* Label1;
    QLineEdit* Edit1;
    QLabel* Label2;
    QLineEdit* Edit2;
    QPushButton* Button1;
    QPushButton* Button2;
};

} // namespace gridvane
