// Small window-system routines used across the windows.
#pragma once

#include <QString>

class QWidget;

// Keeps a window above all others, or releases it.
void SetTopMost(QWidget *window, bool on);
// Opens an address in the default browser; says so when that is impossible.
void OpenUrl(const QString &address);
