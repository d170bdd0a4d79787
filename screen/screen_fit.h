// Keeping windows on the screen: a stored or computed place that would put a
// window (partly) out of sight is moved, and shrunk where it may be, into the
// screen's available area.
#pragma once

#include <QRect>

class QWidget;

// The frame moved (and, when larger than the area, cut to it) so that it lies
// within the area; a frame already inside is returned unchanged.
QRect keptWithin(const QRect &frame, const QRect &area);
// The available area of the screen a window is on, or would be on.
QRect availableAreaFor(const QWidget *window);
// Moves a top-level window into the available area of its screen; a window
// that can be made smaller is, when it is larger than that area.
void keepOnScreen(QWidget *window);
