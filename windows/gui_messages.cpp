#include "windows/gui_messages.h"

#include "core/messages.h"

#include <QApplication>
#include <QMessageBox>
#include <QTimer>

void installMessageBoxes(bool headless)
{
    if (headless) {
        setMessageHandler([](const Message &m) {
            printNotice(m.title.isEmpty() ? m.text : m.title + QStringLiteral(": ") + m.text);
        });
        return;
    }
    setMessageHandler([](const Message &m) {
        // Owned by the active window so that it stays above a top-most dialog.
        QMessageBox box(QApplication::activeWindow());
        box.setWindowTitle(m.title.isEmpty() ? QApplication::applicationName() : m.title);
        box.setText(m.text);
        switch (m.icon) {
        case MsgIcon::None: box.setIcon(QMessageBox::NoIcon); break;
        case MsgIcon::Information: box.setIcon(QMessageBox::Information); break;
        case MsgIcon::Exclamation: box.setIcon(QMessageBox::Warning); break;
        case MsgIcon::Critical: box.setIcon(QMessageBox::Critical); break;
        }
        box.setStandardButtons(QMessageBox::Ok);
        if (m.autoCloseMs > 0)
            QTimer::singleShot(m.autoCloseMs, &box, &QMessageBox::accept);
        box.exec();
    });
}
