// A text box's frame drawn once and then copied: the base style strokes an
// antialiased rounded outline on every repaint, which costs more than the
// text. Boxes whose texts change every second use this style; the pixels
// are the base style's own.
#pragma once

#include <QProxyStyle>

class CachedFrameStyle : public QProxyStyle {
public:
    // Over the application's style.
    CachedFrameStyle() = default;

    void drawPrimitive(PrimitiveElement element, const QStyleOption *option, QPainter *painter,
                       const QWidget *widget = nullptr) const override;
};
