#include "ui/DrawingPage.h"

#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>
#include <QWheelEvent>

#include <algorithm>
#include <cmath>

#include "ui/QtConvert.h"

namespace gridvane {

DrawingView::DrawingView(TForm1& form, QWidget* parent) : QWidget(parent), form_(form)
{
    setObjectName(QStringLiteral("DrawingView"));
    setMinimumSize(1, 1);
    setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Ignored);
    setAttribute(Qt::WA_OpaquePaintEvent);
    setCursor(Qt::OpenHandCursor);
}

void DrawingView::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.fillRect(rect(), Qt::white);
    const TPreviewState& preview = form_.Preview();
    if (!preview.error.empty()) {
        painter.setPen(QColor(192, 0, 0));
        painter.drawText(rect().adjusted(8, 8, -8, -8), Qt::AlignCenter | Qt::TextWordWrap, Q(preview.error));
        return;
    }
    const DrawingPreview& d = preview.drawing;
    const PreviewViewport& v = preview.view;
    // Lines crisp on the pixel grid, as a table's rules should look; texts smoothed.
    painter.setRenderHint(QPainter::Antialiasing, false);
    painter.setRenderHint(QPainter::TextAntialiasing, true);
    const QRectF visible = QRectF(rect()).adjusted(-2, -2, 2, 2);
    auto at = [&](const TAcadPoint& p) { return QPointF(v.PixelX(p.x), v.PixelY(p.y)); };

    QFont font;
    font.setFamilies({QStringLiteral("Noto Sans CJK JP"), QStringLiteral("Noto Sans"), QStringLiteral("Tahoma")});
    int fontPixels = -1;
    std::uint8_t penLayer = 0xFF;
    for (const PreviewEntity& e : d.entities) {
        const auto points = d.Points(e);
        if (e.layer != penLayer) {
            penLayer = e.layer;
            painter.setPen(QPen(Q(PreviewLayerColor(e.layer)), 0)); // a hairline at every zoom
        }
        if (e.kind == PreviewKind::Text) {
            const double px = e.height * v.scale;
            const QPointF p = at(points[0]);
            if (px < 2) continue; // too small to read
            const int size = static_cast<int>(std::lround(std::min(px, 4096.0)));
            if (size != fontPixels) {
                fontPixels = size;
                font.setPixelSize(size);
                painter.setFont(font);
            }
            const QFontMetricsF fm(painter.font());
            const QString text = Q(e.text);
            const double width = fm.horizontalAdvance(text);
            double x = p.x();
            if (e.horizontal == 1) x -= width / 2;
            else if (e.horizontal == 2) x -= width;
            // The text height is that of a capital or a kanji: its middle lies 0.38 em above the baseline.
            double baseline = p.y();
            if (e.vertical == 2) baseline += 0.38 * size;
            else if (e.vertical == 3) baseline += 0.76 * size;
            const QRectF box(x, baseline - size, width, size * 1.3);
            if (!box.intersects(visible)) continue;
            painter.drawText(QPointF(x, baseline), text);
            continue;
        }
        QRectF box;
        for (const TAcadPoint& p : points) box = box.united(QRectF(at(p), QSizeF(0.01, 0.01)));
        if (!box.intersects(visible)) continue;
        if (e.kind == PreviewKind::Line) {
            painter.drawLine(at(points[0]), at(points[1]));
        } else {
            QPolygonF polygon;
            for (const TAcadPoint& p : points) polygon << at(p);
            if (e.closed) painter.drawPolygon(polygon);
            else painter.drawPolyline(polygon);
        }
    }
}

void DrawingView::resizeEvent(QResizeEvent*)
{
    form_.PreviewResize(width(), height());
}

void DrawingView::wheelEvent(QWheelEvent* event)
{
    form_.PreviewWheel(event->position().x(), event->position().y(), event->angleDelta().y());
    event->accept();
}

void DrawingView::mousePressEvent(QMouseEvent* event)
{
    if (event->button() != Qt::LeftButton) return;
    dragging_ = true;
    dragFrom_ = event->position();
    setCursor(Qt::ClosedHandCursor);
}

void DrawingView::mouseMoveEvent(QMouseEvent* event)
{
    if (!dragging_) return;
    const QPointF delta = event->position() - dragFrom_;
    dragFrom_ = event->position();
    form_.PreviewDrag(delta.x(), delta.y());
}

void DrawingView::mouseReleaseEvent(QMouseEvent* event)
{
    if (event->button() != Qt::LeftButton) return;
    dragging_ = false;
    setCursor(Qt::OpenHandCursor);
}

void DrawingView::mouseDoubleClickEvent(QMouseEvent* event)
{
    if (event->button() == Qt::LeftButton) form_.PreviewFit();
}

} // namespace gridvane
