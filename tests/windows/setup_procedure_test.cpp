// The setup procedure through the real modal dialog: fill, OK/Cancel, the
// read-back with its messages and re-showings, the writes, and the finish.
#include "setup_test_support.h"

#include "core/number_format.h"

#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QRegularExpression>

namespace {
void clickOk(frmSetup &d)
{
    QTest::mouseClick(d.findChild<QPushButton *>("cmdOK"), Qt::LeftButton);
}
DialogStep ok()
{
    return [](frmSetup &d) { clickOk(d); };
}
} // namespace

TEST_F(SetupTest, FillsFromSettingsAndFinishesWithTimerAndWindowsRestarted)
{
    Settings &s = prog().settings;
    s.WindSpeedWarn = 10.4;
    s.AlwaysOnTop = false;
    s.WindsAvgCnt = 12;
    weather.WindSpeed = 3.26;
    weather.WindSampleIndex = 7;
    weather.TempSampleIndex = 4;
    handBox.onHide = [this] { EXPECT_TRUE(handBox.timerOn) << "the watch runs on while the dialog shows"; };

    runSetup({[this](frmSetup &d) {
        EXPECT_FALSE(handBox.visible);
        EXPECT_FALSE(d.allowUnload());
        EXPECT_EQ(d.boxText("WindSpeedCloseDTF"), "17");
        EXPECT_EQ(d.boxText("StepTimeTF"), "0.015");
        EXPECT_EQ(d.boxText("WindSpeedWarnTF"), "10");
        EXPECT_EQ(d.boxText("TempCurTF"), "3.3"); // the current wind value, not Temp
        EXPECT_EQ(d.boxText("TempMaxTF"), "5.00");
        EXPECT_EQ(d.boxText("WindsAvgCnt"), "12");
        EXPECT_EQ(d.boxText("PartCloudyDegC"), "22.0");
        EXPECT_EQ(d.boxText("Thermistor_ATF"), "-0.000450152530");
        EXPECT_EQ(d.checkState("chkBacklashDir"), 1);
        EXPECT_EQ(d.checkState("chkAlwaysTop"), 0);
        clickOk(d);
    }});

    EXPECT_EQ(showings, 1);
    EXPECT_TRUE(messages.texts.isEmpty()) << messages.texts.join('|').toStdString();
    // 10.4 was shown as "10", and that is what comes back.
    EXPECT_EQ(s.WindSpeedWarn, 10);
    EXPECT_EQ(stored("WindSpeedWarn"), "10");
    // The default coefficient survives its twelve-decimal box unchanged.
    EXPECT_EQ(s.Thermistor_A, -0.00045015253);
    EXPECT_EQ(stored("Thermistor_A"), "-0.00045015253");
    EXPECT_EQ(s.Temp, 3.3);
    EXPECT_EQ(stored("Temp"), "5.0"); // written at exit, not now

    EXPECT_TRUE(handBox.visible);
    EXPECT_TRUE(handBox.timerOn);
    EXPECT_FALSE(handBox.topMost);
    EXPECT_EQ(weather.WindSampleIndex, 1);
    EXPECT_EQ(weather.TempSampleIndex, 1);
    EXPECT_TRUE(dialog->allowUnload());
    const std::vector<std::string> tail(handBox.calls.end() - 2, handBox.calls.end());
    EXPECT_EQ(tail, (std::vector<std::string>{"notTopMost", "show"}));
    EXPECT_EQ(std::find(handBox.calls.begin(), handBox.calls.end(), "timerOff"), handBox.calls.end());
    EXPECT_NE(std::find(handBox.calls.begin(), handBox.calls.end(), "setTempComp"), handBox.calls.end())
        << "the focuser state is refreshed after OK";
    EXPECT_EQ(deviceChoices, 1) << "the board's device is applied at once";
}

TEST_F(SetupTest, SavedSwitchesAndPickersComeBackAsTheyWereWithoutAFileDialog)
{
    Settings &s = prog().settings;
    s.g_bchkEnableSounds = 1;
    for (int32_t Settings::*flag : {&Settings::g_bchkRainSounds, &Settings::g_bchkWindSounds, &Settings::g_bchkLightSounds,
                                    &Settings::g_bchkCloudSounds, &Settings::g_bchkRainApp, &Settings::g_bchkWindApp,
                                    &Settings::g_bchkLightApp, &Settings::g_bchkCloudApp, &Settings::g_bchkRelayApp})
        s.*flag = 1;
    s.g_sWindApp = "/opt/wind";
    procedure->unload(); // loaded again after the settings, as at start-up
    dialog = procedure->dialog();

    runSetup({[](frmSetup &d) {
        EXPECT_EQ(d.checkState(SetupControl::chkEnableSounds), 1);
        EXPECT_TRUE(d.findChild<QCheckBox *>("chkWindSounds")->isEnabled());
        EXPECT_TRUE(d.findChild<QLineEdit *>("WindApp")->isEnabled());
        EXPECT_EQ(d.boxText("WindApp"), "/opt/wind");
        clickOk(d);
    }});
    EXPECT_TRUE(pickerRequests.empty());
    EXPECT_EQ(stored("g_bchkEnableSounds"), "1");
    EXPECT_EQ(stored("g_bchkRelayApp"), "1");
    EXPECT_EQ(stored("g_bchkCloudSounds"), "1");
    EXPECT_EQ(stored("g_sWindApp"), "/opt/wind");
}

// OK with nothing edited leaves every number in the plain decimal form the
// profile is documented to hold, the small calibration constants included.
TEST_F(SetupTest, OkWithNothingEditedWritesPlainDecimals)
{
    runSetup({ok()});
    EXPECT_EQ(stored("Thermistor_C"), "-0.000000713329");
    EXPECT_EQ(stored("ThermistorR_B"), "0.000034852743");
    QFile file(profile.store->filePath());
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const QString text = QString::fromUtf8(file.readAll());
    static const QRegularExpression exponent(QStringLiteral("=[-+]?[0-9.]+E[-+][0-9]+$"),
                                             QRegularExpression::MultilineOption);
    EXPECT_FALSE(text.contains(exponent)) << qPrintable(exponent.match(text).captured());
}

TEST_F(SetupTest, MinusNineNineNineNineIsKeptWhereAnyNumberGoes)
{
    runSetup({[this](frmSetup &d) {
        d.setBoxText("TPTempOffsetTF", "-9999");
        clickOk(d);
    }});
    EXPECT_EQ(showings, 1);
    EXPECT_TRUE(messages.texts.isEmpty());
    EXPECT_EQ(stored("TPTempOffset"), "-9999");
}

TEST_F(SetupTest, SettingsThatCannotReachTheDiskAreNamedInOneMessage)
{
    // A store whose folder is a plain file: every write fails.
    QFile blocker(profile.dir.path() + "/blocker");
    ASSERT_TRUE(blocker.open(QIODevice::WriteOnly));
    profile.store = std::make_unique<ProfileStore>(blocker.fileName() + "/profile.ini");
    prog().profile = profile.store.get();
    links.profile = profile.store.get();
    reinstall();
    runSetup({[this](frmSetup &d) {
        d.findChild<QComboBox *>("gPort")->setCurrentIndex(4);
        clickOk(d);
    }});
    ASSERT_EQ(messages.texts.size(), 1) << messages.texts.join('|').toStdString();
    const QString text = messages.texts.first();
    for (const char *key : {"WindSpeedCloseD", "TempsAvgCount", "g_bchkRepeatApp", "COM Port"})
        EXPECT_TRUE(text.contains(QLatin1String(key))) << key;
    EXPECT_EQ(text.count("WindSpeedCloseD"), 1);
    EXPECT_EQ(prog().settings.MaxInc, 1); // in memory all the same
}

TEST_F(SetupTest, OkWritesEachKeyUnderItsSubkey)
{
    prog().settings.g_sRelayApp = "/opt/relay";
    runSetup({[this](frmSetup &d) {
        clickButton(d, "cmdAdvanced");
        type(d, "TempAvgCntTF", "300");
        type(d, "WindsAvgCnt", "60");
        type(d, "RainThresh", "5000");
        type(d, "WindTimer", "244");
        d.setBoxText("BacklashCompTF", "7");          // disabled while backlash is not applied
        d.setBoxText("RelayApp", "/somewhere/else");  // not read back
        d.setBoxText("CloudSounds", "/snd/cloud.wav");
        clickBox(d, "chkCanTemp");
        d.findChild<QComboBox *>("gPort")->setCurrentIndex(4);
        clickOk(d);
    }});
    const QString caps = kCapabilities;
    EXPECT_EQ(stored("CanTemp", caps), "False");
    EXPECT_EQ(stored("TempsAvgCount", caps), "300");
    EXPECT_EQ(stored("WindsAvgCnt", caps), "60");
    EXPECT_EQ(stored("BacklashComp", caps), "7");
    EXPECT_EQ(stored("RainThreshold"), "5000");
    EXPECT_EQ(stored("WindTimer"), "244");
    EXPECT_EQ(stored("g_sRelayApp"), "/opt/relay");
    EXPECT_EQ(stored("g_sCloudSounds"), "/snd/cloud.wav");
    EXPECT_EQ(stored("AdvancedSetup"), "True");
    EXPECT_EQ(stored("COM Port"), "5");
    EXPECT_EQ(prog().settings.WindsAvgCnt, 60);
    EXPECT_FALSE(weather.TempEnabled); // no probe any more: compensation off
}

TEST_F(SetupTest, SafetyGroupFillsAndSavesUnderTheSafetySubkey)
{
    prog().settings.SafeDelayMinutes = 15;
    runSetup({[this](frmSetup &d) {
        clickButton(d, "cmdAdvanced");
        EXPECT_EQ(d.boxText("SafeDelayMinutes"), "15");
        EXPECT_EQ(d.checkState("chkUnsafeWhenOvercast"), 1);
        type(d, "SafeDelayMinutes", "soon"); // not a number: the value in use stays
        type(d, "StaleAfterSeconds", "45");
        type(d, "UnsafeProgram", " /usr/local/bin/roof close ");
        clickBox(d, "chkUnsafeInDaylight");
        clickOk(d);
    }});
    EXPECT_EQ(showings, 1);
    EXPECT_EQ(stored("SafeDelayMinutes", kSafetySubKey), "15");
    EXPECT_EQ(stored("StaleAfterSeconds"), "45");
    EXPECT_EQ(stored("UnsafeProgram", kSafetySubKey), "/usr/local/bin/roof close");
    EXPECT_EQ(stored("UnsafeInDaylight", kSafetySubKey), "False");
    EXPECT_EQ(stored("UnsafeWhenOvercast", kSafetySubKey), "True");
}

TEST_F(SetupTest, NonNumericStepTimeShowsBothMessagesAndTheDialogAgain)
{
    runSetup({[this](frmSetup &d) {
                  type(d, "WindSpeedCloseDTF", "20");
                  type(d, "StepTimeTF", "fast");
                  type(d, "MaxIncTF", "2.5");
                  clickOk(d);
              },
              [this](frmSetup &d) {
                  EXPECT_EQ(messages.texts,
                            QStringList({"invalid input in Step Time", "invalid input in Step Time, must be > 0"}));
                  EXPECT_EQ(stored("WindSpeedCloseD"), "20"); // read before the rejection: kept
                  EXPECT_EQ(stored("StepTime"), "0.015");
                  EXPECT_EQ(d.boxText("StepTimeTF"), "fast"); // left as typed
                  EXPECT_EQ(d.boxText("MaxIncTF"), "2.5");
                  type(d, "StepTimeTF", "0.02");
                  clickOk(d);
              }});
    EXPECT_EQ(showings, 2);
    EXPECT_EQ(stored("StepTime"), "0.02");
    EXPECT_EQ(stored("MaxInc"), "2.5");
    EXPECT_TRUE(handBox.timerOn);
}

TEST_F(SetupTest, FieldsWithFallbacksAreSavedWithoutShowingAgain)
{
    runSetup({[this](frmSetup &d) {
        clickButton(d, "cmdAdvanced");
        type(d, "WindSpeedCloseDTF", "-5");
        type(d, "RainThresh", "wet");
        type(d, "WindThresh", "gusty");
        type(d, "LightThresh", "5000");
        type(d, "TempCurTF", "warm");
        type(d, "PartCloudyDegC", "cloudy");
        clickOk(d);
    }});
    EXPECT_EQ(showings, 1);
    EXPECT_EQ(messages.texts, QStringList({"invalid input in WindSpeedCloseD, must be >= 0",
                                           "invalid input in PartCloudyDegC, 1 to 40, defaulted to 22",
                                           "invalid input in RainThreshold, 1 to 1000, defaulted to 400",
                                           "invalid input in WindThreshold, 1 to 1000, defaulted to 300",
                                           "invalid input in Current Temp"}));
    EXPECT_EQ(dialog->boxText("PartCloudyDegC"), "22");
    EXPECT_EQ(stored("PartCloudyDegC"), "22");
    EXPECT_EQ(stored("WindSpeedCloseD"), "0");
    EXPECT_EQ(dialog->boxText("RainThresh"), "400");
    EXPECT_EQ(dialog->boxText("WindThresh"), "gusty");
    EXPECT_EQ(stored("RainThreshold"), "400");
    EXPECT_EQ(stored("WindThreshold"), "300");
    EXPECT_EQ(stored("LightThreshold"), "5000");
    EXPECT_EQ(prog().settings.Temp, RejectedValue);
}

TEST_F(SetupTest, AverageCountsOutOfRangeShowTheDialogAgain)
{
    runSetup({[this](frmSetup &d) {
                  type(d, "TempAvgCntTF", "301");
                  type(d, "WindsAvgCnt", "");
                  clickOk(d);
              },
              [this](frmSetup &d) {
                  EXPECT_EQ(messages.texts, QStringList({"invalid input in wind average count",
                                                         "invalid input in wind average count, must be 1 through 300"}));
                  messages.texts.clear();
                  type(d, "WindsAvgCnt", "5");
                  clickOk(d);
              },
              [this](frmSetup &d) {
                  EXPECT_EQ(messages.texts, QStringList({"invalid input in Temp Avg Count, must be 1 through 300"}));
                  EXPECT_EQ(stored("WindsAvgCnt", kCapabilities), "5");
                  EXPECT_EQ(stored("TempsAvgCount", kCapabilities), "1");
                  type(d, "TempAvgCntTF", "300");
                  clickOk(d);
              }});
    EXPECT_EQ(stored("TempsAvgCount", kCapabilities), "300");
}

TEST_F(SetupTest, CancelWritesNothingButPickerFlagsStayOnInMemory)
{
    const auto before = profile.store->entries();
    pickerAnswer = "/snd/rain.wav";
    runSetup({[this](frmSetup &d) {
        type(d, "WindSpeedCloseDTF", "99");
        clickBox(d, "chkEnableSounds");
        clickBox(d, "chkRainSounds");
        clickButton(d, "cmdCancel");
    }});
    EXPECT_FALSE(dialog->Result());
    const auto after = profile.store->entries();
    ASSERT_EQ(after.size(), before.size());
    for (int i = 0; i < after.size(); ++i)
        EXPECT_EQ(after[i].value, before[i].value) << after[i].name.toStdString();
    EXPECT_EQ(prog().settings.g_bchkRainSounds, 1);
    EXPECT_EQ(prog().settings.g_bchkEnableSounds, 1);
    EXPECT_EQ(prog().settings.WindSpeedCloseD, 17);
    EXPECT_TRUE(handBox.timerOn);
    EXPECT_TRUE(handBox.visible);
    EXPECT_EQ(deviceChoices, 0);
}

TEST_F(SetupTest, ResultIsKeptSoAFrameCloseAfterAnEarlierOkCountsAsOk)
{
    runSetup({ok()});
    runSetup({[this](frmSetup &d) {
        type(d, "MaxIncTF", "4.0");
        d.close(); // the window frame's close button
    }});
    EXPECT_EQ(stored("MaxInc"), "4");
    EXPECT_TRUE(dialog->isHidden());
    EXPECT_TRUE(dialog->allowUnload());
}

TEST_F(SetupTest, SecondRequestWhileOpenReturnsAtOnce)
{
    bool innerReturned = false;
    runSetup({[&](frmSetup &d) {
        procedure->run(); // e.g. a client asks while the user has the dialog open
        innerReturned = true;
        EXPECT_TRUE(d.isVisible());
        EXPECT_TRUE(handBox.timerOn);
        clickOk(d);
    }});
    EXPECT_TRUE(innerReturned);
    EXPECT_EQ(showings, 1);
    EXPECT_TRUE(handBox.timerOn);
}

TEST_F(SetupTest, HeadlessReturnsAsCancelWithoutShowing)
{
    links.headless = true;
    reinstall();
    handBox.calls.clear();
    procedure->run();
    EXPECT_FALSE(dialog->isVisible());
    EXPECT_TRUE(handBox.calls.empty());
    EXPECT_EQ(stored("WindSpeedCloseD"), "17");
}

TEST_F(SetupTest, UnloadWhileShownClosesAsCancelAndRemovesTheDialog)
{
    runSetup({[this](frmSetup &) { procedure->unload(); }});
    EXPECT_TRUE(handBox.timerOn);
    frmSetup *fresh = procedure->dialog(); // loaded again on demand
    EXPECT_NE(fresh, nullptr);
    dialog = fresh;
}
