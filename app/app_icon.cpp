#include "app_icon.h"

#include <QPainter>
#include <QPainterPath>
#include <QPixmap>

namespace vellomar {

namespace {

// A green tile crossed by a pulse line that drops out in the middle: a
// connection with an outage.
QPixmap DrawIcon(int size)
{
    QPixmap pixmap(size, size);
    pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);
    painter.setRenderHint(QPainter::Antialiasing);
    const qreal s = size;
    painter.setPen(Qt::NoPen);
    painter.setBrush(QColor(0x1f, 0x7a, 0x4d));
    painter.drawRoundedRect(QRectF(0, 0, s, s), s * 0.18, s * 0.18);

    QPen pulse(Qt::white, qMax<qreal>(1.5, s * 0.08), Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin);
    painter.setPen(pulse);
    QPainterPath left;
    left.moveTo(s * 0.10, s * 0.55);
    left.lineTo(s * 0.25, s * 0.55);
    left.lineTo(s * 0.33, s * 0.25);
    left.lineTo(s * 0.42, s * 0.55);
    painter.drawPath(left);
    painter.drawLine(QPointF(s * 0.62, s * 0.55), QPointF(s * 0.90, s * 0.55));

    painter.setPen(QPen(QColor(0xff, 0xc8, 0x3d), qMax<qreal>(1.0, s * 0.06), Qt::DotLine, Qt::RoundCap));
    painter.drawLine(QPointF(s * 0.46, s * 0.55), QPointF(s * 0.58, s * 0.55));
    return pixmap;
}

}  // namespace

QIcon AppIcon()
{
    QIcon icon;
    for (int size : {16, 32, 48, 256})
        icon.addPixmap(DrawIcon(size));
    return icon;
}

}  // namespace vellomar
