#include "ui/app/emblem.h"

#include <QPainter>
#include <QPainterPath>

#include <algorithm>

namespace rv {

void paintEmblem(QPainter& p, const QRectF& area)
{
    // Drawn on a 320 x 220 canvas, scaled and centred into the area.
    const qreal scale = std::min(area.width() / 320.0, area.height() / 220.0);
    if (scale <= 0)
        return;
    p.save();
    p.setRenderHint(QPainter::Antialiasing);
    p.translate(area.center().x() - 160 * scale, area.center().y() - 110 * scale);
    p.scale(scale, scale);

    // Route on a map tile.
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(0xe8, 0xf1, 0xe4));
    p.drawRoundedRect(QRectF(10, 90, 180, 120), 12, 12);
    QPainterPath road;
    road.moveTo(25, 195);
    road.cubicTo(70, 120, 110, 200, 170, 115);
    p.setBrush(Qt::NoBrush);
    p.setPen(QPen(QColor(0x9a, 0xa5, 0xb1), 9, Qt::SolidLine, Qt::RoundCap));
    p.drawPath(road);
    p.setPen(QPen(Qt::white, 2, Qt::DashLine, Qt::RoundCap));
    p.drawPath(road);

    // Position marker.
    QPainterPath pin;
    pin.moveTo(118, 160);
    pin.cubicTo(100, 135, 100, 115, 118, 112);
    pin.cubicTo(136, 115, 136, 135, 118, 160);
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(0xd6, 0x3b, 0x2f));
    p.drawPath(pin);
    p.setBrush(Qt::white);
    p.drawEllipse(QPointF(118, 127), 5.5, 5.5);

    // Satellite with its panels, and signal arcs towards the unit.
    p.save();
    p.translate(255, 40);
    p.rotate(-25);
    p.setBrush(QColor(0x2f, 0x5d, 0x9b));
    p.drawRect(QRectF(-48, -8, 30, 16));
    p.drawRect(QRectF(18, -8, 30, 16));
    p.setBrush(QColor(0xc9, 0xcf, 0xd6));
    p.drawRoundedRect(QRectF(-14, -12, 28, 24), 4, 4);
    p.restore();
    p.setBrush(Qt::NoBrush);
    p.setPen(QPen(QColor(0x2f, 0x5d, 0x9b), 3, Qt::SolidLine, Qt::RoundCap));
    for (int i = 0; i < 3; ++i) {
        const qreal r = 18 + 14 * i;
        p.drawArc(QRectF(230 - r, 95 - r, 2 * r, 2 * r), 30 * 16, 60 * 16);
    }

    // The unit: a dark case with its antenna, indicator lights and connector.
    p.setPen(QPen(QColor(0x55, 0x5d, 0x66), 3));
    p.drawLine(QPointF(250, 125), QPointF(250, 98));
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(0x2b, 0x31, 0x38));
    p.drawRoundedRect(QRectF(195, 125, 110, 75), 10, 10);
    p.setBrush(QColor(0x3c, 0x44, 0x4e));
    p.drawRoundedRect(QRectF(203, 133, 94, 38), 6, 6);
    p.setPen(QColor(0xee, 0xf2, 0xf5));
    QFont f = p.font();
    f.setBold(true);
    f.setPixelSize(22);
    p.setFont(f);
    p.drawText(QRectF(203, 133, 94, 38), Qt::AlignCenter, QStringLiteral("RV"));
    p.setPen(Qt::NoPen);
    const QColor lights[] = {QColor(0x3c, 0xc4, 0x5a), QColor(0xf0, 0xb4, 0x29), QColor(0xd6, 0x3b, 0x2f)};
    for (int i = 0; i < 3; ++i) {
        p.setBrush(lights[i]);
        p.drawEllipse(QPointF(212 + 14 * i, 186), 4, 4);
    }
    p.setBrush(QColor(0x8a, 0x93, 0x9c));
    p.drawRect(QRectF(265, 180, 30, 12));
    p.restore();
}

EmblemWidget::EmblemWidget(QWidget* parent) : QWidget(parent)
{
    setMinimumSize(160, 110);
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Expanding);
}

void EmblemWidget::paintEvent(QPaintEvent*)
{
    QPainter p(this);
    paintEmblem(p, rect());
}

} // namespace rv
