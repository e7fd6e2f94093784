#pragma once
#include <QPoint>
#include <QWidget>

#include "form/Form1.h"

namespace gridvane {

/// The drawing page's drawing: paints TForm1::Preview() on a white ground in the layers' colours and hands
/// the wheel, drags, double clicks and its size to the form, which keeps the view.
class DrawingView : public QWidget {
public:
    DrawingView(TForm1& form, QWidget* parent);

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void wheelEvent(QWheelEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;

private:
    TForm1& form_;
    QPointF dragFrom_;
    bool dragging_ = false;
};

} // namespace gridvane
