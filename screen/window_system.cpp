#include "screen/window_system.h"

#include "core/messages.h"

#include <QDesktopServices>
#include <QUrl>
#include <QWidget>

void SetTopMost(QWidget *window, bool on)
{
    if (!window)
        return;
    const bool wasVisible = window->isVisible();
    const Qt::WindowFlags flags = window->windowFlags();
    if (bool(flags & Qt::WindowStaysOnTopHint) == on)
        return;
    window->setWindowFlag(Qt::WindowStaysOnTopHint, on);
    // Changing a flag hides the window; bring it back as it was.
    if (wasVisible)
        window->show();
}

void OpenUrl(const QString &address)
{
    if (!QDesktopServices::openUrl(QUrl::fromUserInput(address)))
        showMessage(QStringLiteral("It doesn't appear that you have a web browser installed ")
                        + QStringLiteral("on your system."),
                    QStringLiteral("Zirer Uvarudedo"), MsgIcon::Exclamation);
}
