#include "windows/seen_on_screen.h"

#include "core/program.h"

#include <QWidget>

bool seenOnScreen(const QWidget *widget)
{
    return !prog().headless && widget->isVisible() && !widget->window()->isMinimized();
}
