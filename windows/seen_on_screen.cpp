#include "windows/seen_on_screen.h"

#include <QVariant>
#include <QWidget>

bool seenOnScreen(const QWidget *widget)
{
    const QWidget *window = widget->window();
    return !window->property(kNobodyLooks).toBool() && widget->isVisible() && !window->isMinimized();
}
