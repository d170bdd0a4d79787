// The traffic log's append rules and the traffic window around it.
#include "app/program.h"
#include "windows/traffic_setup.h"
#include "windows/traffic_log.h"
#include "windows/traffic_window.h"

#include <QCheckBox>
#include <QCoreApplication>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QThread>
#include <gtest/gtest.h>

TEST(TrafficLog, StartEndLineAndItemsJoinAsTheWindowShowsThem)
{
    TrafficLog log;
    log.start("Link: False -> True");
    log.end(" (done)");
    EXPECT_EQ(log.text(), "Link: False -> True (done)\r\n");
    EXPECT_TRUE(log.atLineStart());

    // A Start left open: the next Start and the next Line begin on new lines.
    log.start("WindCurrent: ");
    log.start("Temperature: ");
    log.line("Absolute: True");
    EXPECT_EQ(log.text(), "Link: False -> True (done)\r\nWindCurrent: \r\nTemperature: \r\nAbsolute: True\r\n");
    EXPECT_TRUE(log.atLineStart());

    log.clear();
    for (int i = 0; i < 3; ++i)
        log.item("IsMoving: False");
    EXPECT_EQ(log.text(), "IsMoving: False IsMoving: False IsMoving: False");
    EXPECT_FALSE(log.atLineStart());
}

TEST(TrafficLog, KeepsOnlyTheNewest2000Characters)
{
    TrafficLog log;
    for (int i = 0; i < 300; ++i)
        log.line(QStringLiteral("line %1").arg(i, 4, 10, QLatin1Char('0')));
    EXPECT_EQ(log.text().size(), TrafficLog::kMaxChars);
    EXPECT_TRUE(log.text().endsWith("line 0299\r\n"));
}

TEST(TrafficLog, DisabledChangesNothingAndEnablingResumes)
{
    TrafficLog log;
    log.start("Halt");
    log.setDisabled(true);
    log.end(" (done)");
    log.line("x");
    log.item("y");
    log.start("z");
    EXPECT_EQ(log.text(), "Halt");
    EXPECT_FALSE(log.atLineStart());
    log.setDisabled(false);
    log.end(" (done)");
    EXPECT_EQ(log.text(), "Halt (done)\r\n");
}

class TrafficWindowTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        resetProgram();
    }
    void TearDown() override
    {
        unloadTrafficWindow(prog().TrafficWindow);
        resetProgram();
    }
    TrafficWindow *window() { return dynamic_cast<TrafficWindow *>(prog().TrafficWindow); }
};

TEST_F(TrafficWindowTest, OpensWithItsControlsAndClearsTheReferenceWhenClosed)
{
    EXPECT_EQ(prog().TrafficWindow, nullptr);
    showTrafficWindow(prog().TrafficWindow);
    TrafficWindow *w = window();
    ASSERT_NE(w, nullptr);
    EXPECT_EQ(w->windowTitle(), "ASCOM API Traffic");
    EXPECT_EQ(w->textOffset(), 1425);
    EXPECT_TRUE(w->groupEnabled(TrafficGroup::MoveHalt));
    EXPECT_FALSE(w->groupEnabled(TrafficGroup::OtherCalls));
    EXPECT_FALSE(w->groupEnabled(TrafficGroup::TempRelated));
    EXPECT_FALSE(w->groupEnabled(TrafficGroup::IsMoving));
    EXPECT_EQ(w->findChild<QCheckBox *>("chkTemp")->text(), "Temp Related");
    EXPECT_EQ(w->findChild<QPushButton *>("cmdDisable")->text(), "Disable");

    // A second click shows the same window.
    showTrafficWindow(prog().TrafficWindow);
    EXPECT_EQ(window(), w);

    w->groupBox(TrafficGroup::OtherCalls)->setChecked(true);
    w->TrafficLine("Absolute: True");
    w->close(); // deletes itself
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_EQ(prog().TrafficWindow, nullptr);
    EXPECT_EQ(trafficFor(TrafficGroup::MoveHalt), nullptr);

    // The next one starts fresh.
    showTrafficWindow(prog().TrafficWindow);
    EXPECT_TRUE(window()->log().text().isEmpty());
    EXPECT_FALSE(window()->groupEnabled(TrafficGroup::OtherCalls));
}

TEST_F(TrafficWindowTest, ButtonsDisableAndClear)
{
    showTrafficWindow(prog().TrafficWindow);
    TrafficWindow *w = window();
    w->TrafficStart("Halt");
    auto *disable = w->findChild<QPushButton *>("cmdDisable");
    disable->click();
    EXPECT_EQ(disable->text(), "Enable");
    w->TrafficEnd(" (done)");
    EXPECT_EQ(w->log().text(), "Halt");
    disable->click();
    EXPECT_EQ(disable->text(), "Disable");
    w->TrafficEnd(" (done)");
    EXPECT_EQ(w->shownText(), "Halt (done)\n");

    w->findChild<QPushButton *>("cmdClear")->click();
    EXPECT_TRUE(w->log().text().isEmpty());
    EXPECT_TRUE(w->shownText().isEmpty());
    EXPECT_TRUE(w->log().atLineStart());
}

TEST_F(TrafficWindowTest, WidthIsFixedAndHeightHasAMinimum)
{
    showTrafficWindow(prog().TrafficWindow);
    TrafficWindow *w = window();
    w->resize(600, 500);
    QCoreApplication::processEvents();
    EXPECT_EQ(w->width(), 361); // 5415 twips
    const int frameExtra = w->frameGeometry().height() - w->geometry().height();
    auto *text = w->findChild<QPlainTextEdit *>("txtTraffic");
    EXPECT_EQ(text->height(), (500 + frameExtra) - 95); // less its 1425-twip offset

    w->resize(200, 40);
    QCoreApplication::processEvents();
    EXPECT_EQ(w->width(), 361); // 5415 twips
    EXPECT_GE((w->height() + frameExtra) * 15, 1425 + 400);
}

// Reports from the watch's thread reach the window on its own thread, in
// order, only for groups that are on; once the window is gone they are dropped.
TEST_F(TrafficWindowTest, ReportsFromAnotherThreadArePostedToTheWindow)
{
    showTrafficWindow(prog().TrafficWindow);
    auto report = [] {
        QThread *watch = QThread::create([] {
            for (TrafficGroup g : {TrafficGroup::MoveHalt, TrafficGroup::OtherCalls})
                if (TrafficApi *t = trafficFor(g)) {
                    t->TrafficStart(g == TrafficGroup::MoveHalt ? "Halt" : "Other");
                    t->TrafficEnd(" (done)");
                }
        });
        watch->start();
        EXPECT_TRUE(watch->wait(3000));
        delete watch;
    };
    report();
    EXPECT_TRUE(window()->log().text().isEmpty()) << "the window was written from another thread";
    QCoreApplication::processEvents();
    EXPECT_EQ(window()->log().text(), "Halt (done)\r\n");

    window()->close();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    report();
    QCoreApplication::processEvents(); // nothing to show them in: dropped
    EXPECT_EQ(prog().TrafficWindow, nullptr);
}
