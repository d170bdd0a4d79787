#include "windows/gui_messages.h"

#include "core/messages.h"

#include <QAbstractButton>
#include <QApplication>
#include <QHash>
#include <QMessageBox>
#include <QPointer>
#include <QTime>
#include <QTimer>

namespace {

constexpr int kMostLinesInText = 12;

struct OpenBox {
    QPointer<QMessageBox> box;
    int count = 1;
};

QString keyOf(const Message &m)
{
    return QString::number(int(m.icon)) + QLatin1Char('\x1f') + m.title + QLatin1Char('\x1f') + m.text;
}

QHash<QString, OpenBox> &openBoxes()
{
    static QHash<QString, OpenBox> boxes;
    return boxes;
}

QMessageBox::Icon iconOf(MsgIcon icon)
{
    switch (icon) {
    case MsgIcon::None: return QMessageBox::NoIcon;
    case MsgIcon::Information: return QMessageBox::Information;
    case MsgIcon::Exclamation: return QMessageBox::Warning;
    case MsgIcon::Critical: return QMessageBox::Critical;
    }
    return QMessageBox::NoIcon;
}

// Shows the box and returns at once: whoever raised it (a station cycle, an
// upload, a client call) goes on. A box already up with the same text counts
// the repeat instead of stacking another one.
void showWithoutWaiting(const Message &m)
{
    const QString key = keyOf(m);
    OpenBox &open = openBoxes()[key];
    if (open.box && !open.box->isVisible()) // hidden with the window that owned it
        open.box->deleteLater();
    else if (open.box) {
        ++open.count;
        open.box->setInformativeText(QStringLiteral("Repeated %1 times, last at %2.")
                                         .arg(open.count)
                                         .arg(QTime::currentTime().toString(QStringLiteral("HH:mm:ss"))));
        return;
    }
    open.count = 1;
    // Owned by a modal dialog when one is up (a box outside it could not be
    // answered), else by the active window so it stays above a top-most one.
    QWidget *owner = QApplication::activeModalWidget();
    if (!owner)
        owner = QApplication::activeWindow();
    auto *box = new QMessageBox(owner);
    box->setAttribute(Qt::WA_DeleteOnClose);
    box->setWindowModality(Qt::NonModal);
    box->setWindowTitle(m.title.isEmpty() ? QApplication::applicationName() : m.title);
    box->setIcon(iconOf(m.icon));
    box->setStandardButtons(QMessageBox::Ok);
    const QStringList lines = m.text.split(QLatin1Char('\n'));
    if (lines.size() <= kMostLinesInText) {
        box->setText(m.text);
    } else {
        // A long list goes below its first line in a box that scrolls, shown
        // at once: the box stays within the screen.
        box->setText(lines.first());
        box->setDetailedText(lines.mid(1).join(QLatin1Char('\n')));
        for (QAbstractButton *b : box->buttons())
            if (box->buttonRole(b) == QMessageBox::ActionRole)
                b->click();
    }
    if (m.autoCloseMs > 0)
        QTimer::singleShot(m.autoCloseMs, box, &QMessageBox::accept);
    // Answered: the next notice with this text opens a fresh box.
    QObject::connect(box, &QDialog::finished, [key, box] {
        auto it = openBoxes().find(key);
        if (it != openBoxes().end() && it->box == box)
            openBoxes().erase(it);
    });
    open.box = box;
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
    setMessageHandler(&showWithoutWaiting);
}
