// Whether anybody can see a widget now: the program has a display, the
// widget is shown and its window is not minimised. Texts that change every
// second need not be laid out for widgets nobody sees.
#pragma once

class QWidget;

bool seenOnScreen(const QWidget *widget);
