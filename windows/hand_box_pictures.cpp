#include "windows/hand_box_pictures.h"

#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>

QPixmap ascomPicture()
{
    QPixmap pm(88, 32);
    pm.fill(Qt::transparent);
    QPainter p(&pm);
    p.setRenderHint(QPainter::Antialiasing);
    p.setBrush(QColor(0x1f, 0x3a, 0x6e));
    p.setPen(Qt::NoPen);
    p.drawRoundedRect(pm.rect().adjusted(0, 0, -1, -1), 5, 5);
    QFont f(QStringLiteral("Sans"));
    f.setBold(true);
    f.setPixelSize(15);
    p.setFont(f);
    p.setPen(Qt::white);
    p.drawText(pm.rect(), Qt::AlignCenter, QStringLiteral("ASCOM"));
    return pm;
}

QPixmap logoPicture()
{
    // A night sky over a wind vane.
    QPixmap pm(88, 32);
    pm.fill(Qt::transparent);
    QPainter p(&pm);
    p.setRenderHint(QPainter::Antialiasing);
    QLinearGradient sky(0, 0, 0, 32);
    sky.setColorAt(0, QColor(0x0b, 0x10, 0x2a));
    sky.setColorAt(1, QColor(0x2c, 0x3e, 0x78));
    p.setBrush(sky);
    p.setPen(Qt::NoPen);
    p.drawRoundedRect(pm.rect().adjusted(0, 0, -1, -1), 5, 5);
    p.setBrush(QColor(0xf5, 0xe6, 0xa1));
    for (const QPointF pt : {QPointF(8, 7), QPointF(18, 14), QPointF(12, 24), QPointF(80, 6)})
        p.drawEllipse(pt, 1.2, 1.2);
    QFont f(QStringLiteral("Serif"));
    f.setItalic(true);
    f.setPixelSize(14);
    p.setFont(f);
    p.setPen(QColor(0xf5, 0xe6, 0xa1));
    p.drawText(pm.rect().adjusted(14, 0, 0, 0), Qt::AlignCenter, QStringLiteral("Tarnwick"));
    return pm;
}

ClickablePicture::ClickablePicture(const QPixmap &pixmap, const QString &tip, QWidget *parent)
    : QLabel(parent)
{
    setPixmap(pixmap);
    setToolTip(tip);
    setCursor(Qt::PointingHandCursor);
}

void ClickablePicture::mouseReleaseEvent(QMouseEvent *event)
{
    if (event->button() == Qt::LeftButton && rect().contains(event->position().toPoint()))
        emit clicked();
    QLabel::mouseReleaseEvent(event);
}
