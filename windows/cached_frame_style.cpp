#include "windows/cached_frame_style.h"

#include <QPainter>
#include <QPixmap>
#include <QPixmapCache>
#include <QStyleOptionFrame>

namespace {
// Everything the panel's pixels depend on: size, state, frame width and the colours.
QString panelKey(const QStyleOption &option, int lineWidth)
{
    QString key = QStringLiteral("tarnwick-panel-%1x%2-%3-%4-%5")
                      .arg(option.rect.width())
                      .arg(option.rect.height())
                      .arg(int(option.state))
                      .arg(lineWidth)
                      .arg(int(option.direction));
    const QPalette::ColorGroup group = option.palette.currentColorGroup();
    for (QPalette::ColorRole role : {QPalette::Base, QPalette::Window, QPalette::Highlight, QPalette::Button,
                                     QPalette::Light, QPalette::Mid, QPalette::Dark, QPalette::Shadow})
        key += QLatin1Char('-') + QString::number(option.palette.color(group, role).rgba(), 16);
    return key;
}
} // namespace

void CachedFrameStyle::drawPrimitive(PrimitiveElement element, const QStyleOption *option, QPainter *painter,
                                     const QWidget *widget) const
{
    const auto *frame = qstyleoption_cast<const QStyleOptionFrame *>(option);
    // Only a plain copy is exact: no scaling, no high-DPI device, a plain base
    // brush, and no focus (its translucent ring would round differently).
    const bool copyable = element == PE_PanelLineEdit && frame && !(option->state & State_HasFocus)
                          && painter->transform().type() <= QTransform::TxTranslate
                          && painter->device()->devicePixelRatio() == 1.0
                          && option->palette.base().style() == Qt::SolidPattern && !option->rect.isEmpty();
    if (!copyable) {
        QProxyStyle::drawPrimitive(element, option, painter, widget);
        return;
    }
    const QString key = panelKey(*option, frame->lineWidth);
    QPixmap panel;
    if (!QPixmapCache::find(key, &panel)) {
        panel = QPixmap(option->rect.size());
        panel.fill(Qt::transparent);
        QStyleOptionFrame at(*frame);
        at.rect.moveTo(0, 0);
        QPainter p(&panel);
        QProxyStyle::drawPrimitive(element, &at, &p, widget);
        p.end();
        QPixmapCache::insert(key, panel);
    }
    painter->drawPixmap(option->rect.topLeft(), panel);
}
