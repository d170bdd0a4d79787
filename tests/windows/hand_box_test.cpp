#include "windows/hand_box.h"

#include "core/number_format.h"
#include "app/program.h"
#include "message_recorder.h"
#include "temp_profile.h"

#include <QCheckBox>
#include <QLabel>
#include "focuser/focuser_context.h"
#include "focuser/focuser_routines.h"
#include "station/weather_state.h"
#include "windows/status_strip.h"

#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <gtest/gtest.h>

class HandBoxTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        resetProgram();
        prog().profile = profile.store.get();
        focuser.profile = profile.store.get();
        model = std::make_unique<WatchModel>(prog().settings, weather, [](const QString &key) { saveSettingNow(key); });
        box = std::make_unique<HandBox>(*model);
    }
    void TearDown() override
    {
        box.reset();
        model.reset();
        resetProgram();
    }
    WeatherState &ws() { return weather; }
    void click(const char *name) { QTest::mouseClick(box->findChild<QCheckBox *>(name), Qt::LeftButton); }

    TempProfile profile;
    WeatherState weather;
    FocuserContext focuser{weather, prog().settings};
    std::unique_ptr<WatchModel> model;
    std::unique_ptr<HandBox> box;
};

TEST_F(HandBoxTest, EveryControlExistsWithItsCaption)
{
    const char *names[] = {"WindCurrentTF", "PositionL", "WindsGustsTF", "Label1", "WindsAvgTF", "TempL", "RawWindTF",
                           "LRawWind", "Label2", "LabelWind", "LabelRain", "LabelClouds", "LabelCloudsNarrow",
                           "Label6", "Cloud_Sky", "LCloud_Calc", "Label_SkyBright", "SKyBright", "HeaterOn",
                           "LHeaterOn", "RelayOn", "LRelayOn", "Label4", "Label3", "TPTemp", "Amb_Faren",
                           "StepSizeL", "CloudTemp", "TP_Faren", "LDewPoint", "DewPointT", "DP_Faren", "LRH", "RH",
                           "Ambient1_Label", "Ambient1_TempC", "Ambient1_TempF", "LRaw_RH", "Raw_RH", "Label5",
                           "Raw_TP", "AllowHeater", "ForceHeater", "AllowRelay", "ForceRelay", "AllowLight",
                           "AllowWind", "AllowAsyncWindCB", "TempCompCB", "GraphCheck1", "cmdIn", "cmdOut",
                           "cmdSetup", "cmdTraffic", "Command1", "picASCOM", "imgLogo"};
    for (const char *n : names)
        EXPECT_NE(box->findChild<QWidget *>(n), nullptr) << n;
    EXPECT_EQ(box->windowTitle(), "Wind and Rain");
    EXPECT_EQ(model->fieldText(HandBoxField::Cloud_Sky), "Here");
    EXPECT_EQ(box->findChild<QLabel *>("LCloud_Calc")->text(), "Amb - Sky =");
    EXPECT_EQ(box->findChild<QCheckBox *>("AllowLight")->toolTip(),
              "Allow Light threshold to control relay(requires Allow Relay)");
    EXPECT_EQ(box->findChild<QPushButton *>("Command1")->text(), "PWS");
    // Windows that this build does not have keep their buttons disabled.
    EXPECT_FALSE(box->findChild<QPushButton *>("cmdSetup")->isEnabled());
    box->setActions({.runSetupDialog = [] {}});
    EXPECT_TRUE(box->findChild<QPushButton *>("cmdSetup")->isEnabled());
}

TEST_F(HandBoxTest, WindColoursUseGreaterThan)
{
    prog().settings.WindSpeedWarn = 10;
    prog().settings.WindSpeedCloseD = 20;
    model->setWindCurrent(12.0);
    EXPECT_EQ(model->fieldText(HandBoxField::WindCurrentTF), "12.0");
    EXPECT_EQ(model->backColor(HandBoxField::WindCurrentTF), VbColor::Yellow);
    EXPECT_EQ(model->foreColor(HandBoxField::WindCurrentTF), VbColor::Black);
    EXPECT_EQ(model->backColor(HandBoxField::LabelWind), VbColor::Yellow);
    model->setWindCurrent(20.0);
    EXPECT_EQ(model->backColor(HandBoxField::WindCurrentTF), VbColor::Yellow);
    model->setWindCurrent(20.1);
    EXPECT_EQ(model->backColor(HandBoxField::WindCurrentTF), VbColor::Red);
    EXPECT_EQ(model->foreColor(HandBoxField::WindCurrentTF), VbColor::White);
    EXPECT_EQ(model->backColor(HandBoxField::LabelWind), VbColor::Red);
    model->setWindCurrent(3);
    EXPECT_EQ(model->backColor(HandBoxField::LabelWind), VbColor::Green);
    EXPECT_EQ(model->backColor(HandBoxField::WindCurrentTF), VbColor::Black);

    prog().settings.WindSpeedWarn = 0;
    model->setWindsAvg(0);
    EXPECT_EQ(model->backColor(HandBoxField::WindsAvgTF), VbColor::Black);
    EXPECT_EQ(model->fieldText(HandBoxField::WindsAvgTF), "0.0");
    model->setWindsGusts(25.25);
    EXPECT_EQ(model->fieldText(HandBoxField::WindsGustsTF), "25.3");
    EXPECT_EQ(model->backColor(HandBoxField::WindsGustsTF), VbColor::Red);
    model->setRawWind(12.5);
    EXPECT_EQ(model->fieldText(HandBoxField::RawWindTF), "13");
}

TEST_F(HandBoxTest, WindSampleAlsoColoursTheRainIndicator)
{
    prog().settings.RainThreshold = 400;
    ws().RainReading = 401;
    model->setWindCurrent(0);
    EXPECT_EQ(model->backColor(HandBoxField::LabelRain), VbColor::Red);
    ws().RainReading = 400;
    model->setWindCurrent(0);
    EXPECT_EQ(model->backColor(HandBoxField::LabelRain), VbColor::Green);
}

TEST_F(HandBoxTest, AllowHeaterWhileForceIsClear)
{
    click("AllowHeater");
    EXPECT_EQ(ws().HeaterAllow, 1);
    EXPECT_EQ(ws().HeaterAllowSent, 0);
    EXPECT_EQ(ws().HeaterForce, 2);
}

TEST_F(HandBoxTest, AllowHeaterWhileForcedClearsBoth)
{
    click("ForceHeater");
    EXPECT_EQ(ws().HeaterForce, 1);
    EXPECT_EQ(ws().HeaterAllowSent, 1);
    click("AllowHeater");
    EXPECT_EQ(model->checkState(HandBoxField::AllowHeater), 0);
    EXPECT_EQ(model->checkState(HandBoxField::ForceHeater), 0);
    EXPECT_EQ(ws().HeaterAllow, 0);
    EXPECT_EQ(ws().HeaterAllowSent, 1);
    EXPECT_EQ(ws().HeaterForce, 2);
}

TEST_F(HandBoxTest, ForceRelayWhileAllowedGivesForcedOn)
{
    click("AllowRelay");
    EXPECT_EQ(ws().RelayAllow, 1);
    click("ForceRelay");
    EXPECT_EQ(model->checkState(HandBoxField::AllowRelay), 0);
    EXPECT_EQ(model->checkState(HandBoxField::ForceRelay), 1);
    EXPECT_EQ(ws().RelayAllow, 0);
    EXPECT_EQ(ws().RelayAllowSent, 1);
    EXPECT_EQ(ws().RelayForce, 1);
}

TEST_F(HandBoxTest, SettingABoxFromCodeRunsItsHandlerOnlyOnChange)
{
    model->setCheckState(HandBoxField::AllowLight, 1);
    EXPECT_EQ(ws().LightAllow, 1);
    ws().LightAllowSent = 1;
    model->setCheckState(HandBoxField::AllowLight, 1); // no change: no handler
    EXPECT_EQ(ws().LightAllowSent, 1);
    model->setCheckState(HandBoxField::AllowWind, 1);
    model->setCheckState(HandBoxField::AllowWind, 0);
    EXPECT_EQ(ws().WindAllow, 0);
    EXPECT_EQ(ws().WindAllowSent, 1);
}

TEST_F(HandBoxTest, ProcessingEnablesFollowTheirBoxes)
{
    model->setTempComp(0); // already clear at load: no change, no handler
    EXPECT_TRUE(ws().TempEnabled);
    model->setTempComp(1);
    model->setTempComp(0);
    EXPECT_FALSE(ws().TempEnabled);
    model->setTempComp(1);
    EXPECT_TRUE(ws().TempEnabled);
    ws().TempEnabled = false;
    model->setTempComp(2); // greyed leaves the enable as it is
    EXPECT_FALSE(ws().TempEnabled);
    EXPECT_TRUE(box->findChild<QCheckBox *>("TempCompCB")->isEnabled());
    model->setAllowAsyncWind(1);
    model->setAllowAsyncWind(0);
    EXPECT_FALSE(ws().WindEnabled);
    click("AllowAsyncWindCB");
    EXPECT_TRUE(ws().WindEnabled);
    // A user's click never greys a box.
    model->setTempComp(1);
    click("TempCompCB");
    EXPECT_EQ(model->checkState(HandBoxField::TempCompCB), 0);
    click("TempCompCB");
    EXPECT_EQ(model->checkState(HandBoxField::TempCompCB), 1);
}

TEST_F(HandBoxTest, TemperatureBoxes)
{
    EXPECT_EQ(model->aTPTemp(), 0);
    EXPECT_EQ(model->fieldText(HandBoxField::TPTemp), "200");
    model->setATPTemp(26.31);
    EXPECT_EQ(model->fieldText(HandBoxField::TPTemp), "26.3");
    EXPECT_EQ(model->aTPTemp(), 26);
    model->setFieldText(HandBoxField::TPTemp, "warm");
    EXPECT_THROW(model->aTPTemp(), ConversionError);

    MessageRecorder messages;
    model->setACloudTemp(26.5);
    EXPECT_EQ(prog().settings.MaxCloudTemp, 26);
    EXPECT_EQ(profile.store->value(kDriverId, "MaxCloudTemp"), "26");
    EXPECT_EQ(model->aCloudTemp(), 26);
    model->setACloudTemp(-3);
    EXPECT_EQ(prog().settings.MaxCloudTemp, -3); // negatives are stored
    EXPECT_EQ(model->aCloudTemp(), -9999);
    EXPECT_EQ(messages.texts.value(0), "Error in manual step size0, must be >0");
    EXPECT_TRUE(messages.texts.size() == 1);
}

TEST_F(HandBoxTest, TypingIntoCloudTemp)
{
    MessageRecorder messages;
    prog().settings.MaxCloudTemp = 7;
    auto *edit = box->findChild<QLineEdit *>("CloudTemp");
    edit->clear();
    QTest::keyClicks(edit, "-");
    EXPECT_EQ(messages.texts.value(0), "Manual stepsize must be >0");
    EXPECT_EQ(edit->text(), "7");
    edit->clear();
    QTest::keyClicks(edit, "x");
    EXPECT_EQ(messages.texts.value(1), "Manual stepsize must be numeric and >0");
    EXPECT_EQ(edit->text(), "7");
    edit->clear();
    EXPECT_EQ(messages.texts.size(), 2); // an empty text says nothing
}

// Texts that change every second are laid out only for a window someone can
// see; the program reads them back all the same, and a window shown again
// (or restored) shows the latest.
TEST_F(HandBoxTest, WidgetsNobodySeesCatchUpWhenShown)
{
    const QDateTime now = QDateTime::currentDateTimeUtc();
    box->statusStrip()->setClock([now] { return now; });
    auto *ambient = box->findChild<QLineEdit *>("TPTemp");
    auto *gusts = box->findChild<QLabel *>("WindsGustsTF");
    auto *age = box->findChild<QLabel *>("lblReadingAge");
    WatchStatus s;
    s.board.state = BoardState::Live;
    s.board.lastRecord = now.addSecs(-2);
    model->setATPTemp(12.34);
    model->setWindsGusts(3.26);
    model->setBackColor(HandBoxField::WindsGustsTF, VbColor::Red);
    box->showWatch(s);
    EXPECT_EQ(model->fieldText(HandBoxField::TPTemp), "12.3");
    EXPECT_EQ(model->fieldText(HandBoxField::WindsGustsTF), "3.3");
    EXPECT_EQ(box->statusStrip()->detailText(), "updated 2 s ago");
    EXPECT_EQ(model->backColor(HandBoxField::WindsGustsTF), VbColor::Red);
    EXPECT_EQ(ambient->text(), "");
    EXPECT_EQ(age->text(), "");
    EXPECT_EQ(gusts->styleSheet(), "");

    box->show();
    EXPECT_EQ(ambient->text(), "12.3");
    EXPECT_EQ(gusts->text(), "3.3");
    EXPECT_EQ(gusts->styleSheet(), "background-color: #ff0000;color: #ffffff;");
    EXPECT_EQ(age->text(), "updated 2 s ago");
    model->setATPTemp(5);
    EXPECT_EQ(ambient->text(), "5.0");

    box->showMinimized();
    model->setATPTemp(6);
    EXPECT_EQ(ambient->text(), "5.0");
    box->showNormal();
    EXPECT_EQ(ambient->text(), "6.0");

    box->setNobodyLooks(true);
    model->setATPTemp(7);
    EXPECT_EQ(ambient->text(), "6.0");
    EXPECT_EQ(model->fieldText(HandBoxField::TPTemp), "7.0");
}

TEST_F(HandBoxTest, ButtonStateProtocol)
{
    auto *in = box->findChild<QPushButton *>("cmdIn");
    auto *out = box->findChild<QPushButton *>("cmdOut");
    QTest::mousePress(in, Qt::LeftButton);
    EXPECT_EQ(model->buttonState(), 0);
    EXPECT_EQ(model->buttonState(), 1);
    QTest::mouseRelease(in, Qt::LeftButton);
    EXPECT_EQ(model->buttonState(), 1);
    EXPECT_EQ(model->buttonState(), 0);

    QTest::mouseClick(out, Qt::LeftButton);
    EXPECT_EQ(model->buttonState(), 2);
    EXPECT_EQ(model->buttonState(), 0);

    // A held button stays held while the pointer slides off it, and the
    // keyboard is no press at all.
    QTest::mousePress(in, Qt::LeftButton);
    QTest::mouseMove(in, QPoint(-20, -20));
    EXPECT_EQ(model->buttonState(), 0);
    EXPECT_EQ(model->buttonState(), 1);
    EXPECT_EQ(model->buttonState(), 1);
    QTest::mouseRelease(in, Qt::LeftButton, {}, QPoint(-20, -20));
    EXPECT_EQ(model->buttonState(), 1);
    EXPECT_EQ(model->buttonState(), 0);
    QTest::keyClick(out, Qt::Key_Space);
    EXPECT_EQ(model->buttonState(), 0);
}

TEST_F(HandBoxTest, UnloadRunsEveryStepEvenWhenOneFails)
{
    QStringList order;
    focuser.handBox = model.get();
    ClosingSteps a;
    a.onUnload = {[&] {
                      order << "setup";
                      throw std::runtime_error("gone");
                  },
                  [&] { order << "upload"; }, [&] { SaveOnExit(focuser); }};
    a.quit = [&] { order << "quit"; };
    model->setClosing(a);
    prog().settings.Position = 321;
    box->show();
    box->move(40, 60);
    model->unload();
    EXPECT_EQ(order, (QStringList{"setup", "upload", "quit"}));
    EXPECT_EQ(profile.store->value(kDriverId, "Position"), "321");
    EXPECT_FALSE(model->timerEnabled());
    model->unload(); // a second close does nothing
    EXPECT_EQ(order.size(), 3);
}

TEST_F(HandBoxTest, ClosingAClientStartedProgramWaitsForItsClients)
{
    int quits = 0;
    ClosingSteps a;
    a.quit = [&] { ++quits; };
    a.clientsRemain = [&] { return focuser.ClientCount > 0; };
    model->setClosing(a);
    model->setStartedByUser(false);
    focuser.ClientCount = 1;
    model->unload();
    EXPECT_EQ(quits, 0); // the last client's release ends the program
    auto other = std::make_unique<WatchModel>(prog().settings, weather);
    other->setClosing(a);
    other->setStartedByUser(false);
    focuser.ClientCount = 0;
    other->unload();
    EXPECT_EQ(quits, 1);
}

TEST_F(HandBoxTest, StatusStripShowsTheWatchAndValuesGreyWhileNoBoardDelivers)
{
    const QDateTime now = QDateTime::currentDateTimeUtc();
    StatusStrip *strip = box->statusStrip();
    strip->setClock([now] { return now; });
    WatchStatus s;
    s.board.state = BoardState::Absent;
    s.board.device = QStringLiteral("/dev/ttyS1");
    box->showWatch(s);
    EXPECT_TRUE(box->valuesGreyed());
    EXPECT_NE(box->findChild<QWidget *>("RH")->graphicsEffect(), nullptr);
    EXPECT_EQ(strip->boardText(), QStringLiteral("No board on /dev/ttyS1 \u2014 showing test values"));
    EXPECT_EQ(box->findChild<QLabel *>("lblSafety")->text(), QString()); // no verdict yet

    s.board.state = BoardState::Live;
    s.board.lastRecord = now.addSecs(-1);
    Observation o;
    o.readings.sky = SkyClass::Overcast;
    s.latest = o;
    s.safety.known = true;
    s.safety.unsafe = {{QStringLiteral("rain"), QStringLiteral("Rain"), now}, {QStringLiteral("wind"), QStringLiteral("Windy"), now}};
    box->showWatch(s);
    EXPECT_FALSE(box->valuesGreyed());
    EXPECT_EQ(box->findChild<QWidget *>("RH")->graphicsEffect(), nullptr);
    EXPECT_EQ(strip->detailText(), QStringLiteral("updated 1 s ago \u00b7 Overcast"));
    QLabel *safety = box->findChild<QLabel *>("lblSafety");
    EXPECT_EQ(strip->safetyText(), QStringLiteral("Unsafe: rain, wind"));
    EXPECT_TRUE(safety->styleSheet().contains(QStringLiteral("#c00000")));
}

// A verdict with its reasons and the time it ends is read whole at the hand
// box's own size; one too long even for that keeps its beginning.
TEST_F(HandBoxTest, VerdictReadsWholeInTheStrip)
{
    const QDateTime now = QDateTime::currentDateTimeUtc();
    box->statusStrip()->setClock([now] { return now; });
    box->show();
    QLabel *safety = box->findChild<QLabel *>("lblSafety");
    const QString wait = QStringLiteral("Waiting 10 min after start \u2014 safe at 22:12 UTC if nothing changes");
    struct Case {
        QStringList reasons;
        QString shown; // empty: the whole verdict
    } cases[] = {
        {{QStringLiteral("daylight"), wait}, {}},
        {{QStringLiteral("rain")}, {}},
        {{QStringLiteral("daylight"), QStringLiteral("rain"), QStringLiteral("wind"), QStringLiteral("clouds"),
          QStringLiteral("humidity"), QStringLiteral("stale"), wait, wait},
         QStringLiteral("Unsafe: daylight, rain")},
    };
    for (const Case &c : cases) {
        WatchStatus s;
        s.board.state = BoardState::Live;
        s.board.lastRecord = now;
        s.safety.known = true;
        for (const QString &r : c.reasons)
            s.safety.unsafe.push_back({r.startsWith(QLatin1String("Waiting")) ? QStringLiteral("startup") : r, r, now});
        box->showWatch(s);
        const QString full = box->statusStrip()->safetyText();
        const QRect room = safety->contentsRect();
        const QRect needed = safety->fontMetrics().boundingRect(room, Qt::TextWordWrap, safety->text());
        EXPECT_LE(needed.height(), room.height()) << qPrintable(safety->text());
        EXPECT_LE(needed.width(), room.width()) << qPrintable(safety->text());
        EXPECT_EQ(safety->toolTip(), full);
        if (c.shown.isEmpty())
            EXPECT_EQ(safety->text(), full) << qPrintable(safety->text()) << " in " << room.width() << "x" << room.height();
        else
            EXPECT_TRUE(safety->text().startsWith(c.shown) && safety->text().endsWith(QChar(0x2026)))
                << qPrintable(safety->text());
    }
}

// The text boxes' frames are copied from a picture: the pixels must be the
// plain style's, plain and in a colour of their own.
TEST_F(HandBoxTest, TextBoxesLookAsWithThePlainStyle)
{
    auto *copied = box->findChild<QLineEdit *>("TPTemp");
    ASSERT_NE(copied->style(), box->style());
    QLineEdit plain;
    plain.setAlignment(copied->alignment());
    plain.setFixedSize(copied->size());
    for (const QString &css : {QString(), QStringLiteral("background-color: #ffff00;")}) {
        copied->setStyleSheet(css);
        plain.setStyleSheet(css);
        copied->setText(QStringLiteral("12.5"));
        plain.setText(copied->text());
        for (int twice = 0; twice < 2; ++twice) // drawn, then copied
            EXPECT_EQ(copied->grab().toImage().convertToFormat(QImage::Format_RGB32),
                      plain.grab().toImage().convertToFormat(QImage::Format_RGB32))
                << qPrintable(css);
    }
}
