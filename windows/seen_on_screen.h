// Whether anybody can see a widget now: its window does not say that nobody
// looks (no display), the widget is shown and its window is not minimised.
// Texts that change every second need not be laid out for widgets nobody sees.
#pragma once

class QWidget;

// The window property that says nobody looks at it.
inline constexpr const char *kNobodyLooks = "nobodyLooks";

bool seenOnScreen(const QWidget *widget);
