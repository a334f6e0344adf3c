#include "ResizeHandle.h"

#include <QPainter>

ResizeHandle::ResizeHandle(QWidget* parent) : QWidget(parent) {
    setAttribute(Qt::WA_TransparentForMouseEvents);
    setAccessibleName(QStringLiteral("リサイズ"));
}

void ResizeHandle::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    const QRectF box = rect();
    painter.setPen(Qt::NoPen);
    painter.setBrush(QColor(0, 0, 0, 89));
    painter.drawRoundedRect(box, 4, 4);

    // Two arrow heads on one diagonal: drag this corner to scale the pet.
    const QPointF a = box.topLeft() + QPointF(5, 5);
    const QPointF b = box.bottomRight() - QPointF(5, 5);
    const double head = 4;
    painter.setPen(QPen(Qt::white, 1.6, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    painter.drawLine(a, b);
    painter.drawPolyline(QList<QPointF>{a + QPointF(head, 0), a, a + QPointF(0, head)});
    painter.drawPolyline(QList<QPointF>{b - QPointF(head, 0), b, b - QPointF(0, head)});
}
