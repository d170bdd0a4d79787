#include "windows/gui_messages.h"

#include "core/messages.h"

#include <QApplication>
#include <QMessageBox>
#include <QTimer>

namespace {
// A timed notice is shown and left to close by itself: whoever raised it goes
// on at once (the board search and the first reading do not wait for it).
void showWithoutWaiting(const Message &m)
{
    auto *box = new QMessageBox(QApplication::activeWindow());
    box->setAttribute(Qt::WA_DeleteOnClose);
    box->setWindowModality(Qt::NonModal);
    box->setWindowTitle(m.title.isEmpty() ? QApplication::applicationName() : m.title);
    box->setText(m.text);
    box->setStandardButtons(QMessageBox::Ok);
    QTimer::singleShot(m.autoCloseMs, box, &QMessageBox::accept);
    QObject::connect(box, &QMessageBox::finished, box, &QObject::deleteLater);
    box->show();
}
} // namespace

void installMessageBoxes(bool headless)
{
    if (headless) {
        setMessageHandler([](const Message &m) {
            printNotice(m.title.isEmpty() ? m.text : m.title + QStringLiteral(": ") + m.text);
        });
        return;
    }
    setMessageHandler([](const Message &m) {
        if (m.autoCloseMs > 0) {
            showWithoutWaiting(m);
            return;
        }
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
        box.exec();
    });
}
