// A text box's panel drawn once and copied has the plain style's pixels.
#include "windows/cached_frame_style.h"

#include <QApplication>
#include <QLineEdit>
#include <QPainter>
#include <QStyleOptionFrame>
#include <gtest/gtest.h>

// Plain, with the focus and disabled, at an offset, and from the cache the second time.
TEST(CachedFrameStyleTest, DrawsThePlainStylesPixels)
{
    CachedFrameStyle cached;
    QLineEdit edit;
    const std::initializer_list<QStyle::State> states = {QStyle::State_Enabled, QStyle::State_Enabled | QStyle::State_HasFocus,
                                                         QStyle::State_None};
    for (const QStyle::State state : states) {
        QStyleOptionFrame o;
        o.initFrom(&edit);
        o.rect = QRect(5, 7, 70, 22);
        o.lineWidth = 2;
        o.state = state;
        auto draw = [&](const QStyle &style) {
            QImage image(90, 40, QImage::Format_ARGB32_Premultiplied);
            image.fill(QColor(239, 239, 239));
            QPainter p(&image);
            style.drawPrimitive(QStyle::PE_PanelLineEdit, &o, &p);
            return image;
        };
        const QImage plain = draw(*QApplication::style());
        EXPECT_EQ(draw(cached), plain) << int(state);
        EXPECT_EQ(draw(cached), plain) << int(state);
    }
}
