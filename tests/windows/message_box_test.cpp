#include "windows/gui_messages.h"

#include "core/messages.h"

#include <QAbstractButton>
#include <QApplication>
#include <QMessageBox>
#include <QScreen>
#include <QTextEdit>
#include <QThread>
#include <QTimer>
#include <gtest/gtest.h>

namespace {
QList<QMessageBox *> visibleBoxes()
{
    QList<QMessageBox *> out;
    for (QWidget *w : QApplication::topLevelWidgets())
        if (auto *b = qobject_cast<QMessageBox *>(w); b && b->isVisible())
            out << b;
    return out;
}
} // namespace

class MessageBoxes : public ::testing::Test {
protected:
    void SetUp() override
    {
        installMessageBoxes(false);
        // A box that held its caller would keep this from returning; answer
        // any such box so the test ends, and note that it happened.
        QObject::connect(&rescue, &QTimer::timeout, [this] {
            if (QWidget *modal = QApplication::activeModalWidget()) {
                held = true;
                modal->close();
            }
        });
        rescue.start(200);
    }
    void TearDown() override
    {
        for (QMessageBox *b : visibleBoxes())
            b->close();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        setMessageHandler({});
    }
    QTimer rescue;
    bool held = false;
};

TEST_F(MessageBoxes, ABoxNeverHoldsItsCallerAndRepeatsAreCountedInIt)
{
    showMessage("Invalid Host", "ERROR", MsgIcon::Critical);
    showMessage("Invalid Host", "ERROR", MsgIcon::Critical);
    showMessage("Invalid Host", "ERROR", MsgIcon::Critical);
    showMessage("Manual stepsize must be numeric and >0");
    EXPECT_FALSE(held);

    const QList<QMessageBox *> boxes = visibleBoxes();
    ASSERT_EQ(boxes.size(), 2);
    QMessageBox *host = boxes[0]->text() == "Invalid Host" ? boxes[0] : boxes[1];
    EXPECT_EQ(host->windowTitle(), "ERROR");
    EXPECT_EQ(host->icon(), QMessageBox::Critical);
    EXPECT_TRUE(host->informativeText().startsWith("Repeated 3 times"));

    // Answered, the next one opens afresh.
    host->button(QMessageBox::Ok)->click();
    showMessage("Invalid Host", "ERROR", MsgIcon::Critical);
    int fresh = 0;
    for (QMessageBox *b : visibleBoxes())
        if (b->text() == "Invalid Host") {
            ++fresh;
            EXPECT_TRUE(b->informativeText().isEmpty());
        }
    EXPECT_EQ(fresh, 1);
}

TEST_F(MessageBoxes, ALongListFitsTheScreenAndScrolls)
{
    QStringList lines{"60 setting(s) cannot be used:"};
    for (int i = 0; i < 60; ++i)
        lines << QStringLiteral("Setting \"Key%1\" holds \"x\", which is not a valid number; using its default \"1\".").arg(i);
    showMessage(lines.join('\n'), "Tarnwick", MsgIcon::Exclamation);
    ASSERT_EQ(visibleBoxes().size(), 1);
    QMessageBox *box = visibleBoxes().first();
    box->adjustSize();
    const QRect screen = box->screen()->availableGeometry();
    EXPECT_LE(box->frameGeometry().height(), screen.height());
    EXPECT_LE(box->frameGeometry().width(), screen.width());
    EXPECT_TRUE(box->detailedText().contains("Key59"));
    auto *details = box->findChild<QTextEdit *>();
    ASSERT_NE(details, nullptr);
    EXPECT_TRUE(details->isVisible());
}

// Asked for by the watch's thread, the box is posted to the window thread:
// the caller goes on at once, even while the window thread is busy.
TEST_F(MessageBoxes, ABoxAskedForByAnotherThreadIsPostedToTheWindowThread)
{
    QThread *watch = QThread::create([] { showMessage("Board lost", "Tarnwick", MsgIcon::Exclamation); });
    watch->start();
    EXPECT_TRUE(watch->wait(3000)) << "the caller waited for the window thread";
    delete watch;
    EXPECT_TRUE(visibleBoxes().isEmpty());
    QCoreApplication::processEvents();
    const QList<QMessageBox *> boxes = visibleBoxes();
    ASSERT_EQ(boxes.size(), 1);
    EXPECT_EQ(boxes[0]->text(), "Board lost");
    EXPECT_EQ(boxes[0]->thread(), QApplication::instance()->thread());
}
