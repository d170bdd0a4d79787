// The setup dialog's own behaviour: load, enable rules, Reset Position, the
// pickers, the sound switches, the advanced toggle, closing and the port choice.
#include "setup_test_support.h"

#include <QScreen>
#include <QScrollArea>
#include <QTabWidget>

#include "core/port_mapping.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QSet>
#include <QLabel>
#include <QRadioButton>

TEST_F(SetupTest, LoadsHiddenWithCaptionsVersionAndStoredPort)
{
    EXPECT_FALSE(dialog->isVisible());
    EXPECT_EQ(dialog->windowTitle(), "Wind and Rain Setup");
    EXPECT_EQ(dialog->findChild<QLabel *>("lblDriverInfo")->text(), "Tarnwick Version 2.0.8");
    EXPECT_TRUE(dialog->allowUnload());
    auto *port = dialog->findChild<QComboBox *>("gPort");
    ASSERT_EQ(port->count(), 16);
    EXPECT_EQ(port->itemText(0), "COM 1");
    EXPECT_EQ(port->itemText(15), "COM 16");
    EXPECT_EQ(port->currentText(), "COM 2"); // nothing stored yet
    EXPECT_EQ(dialog->selectedPortDevice(), "/dev/ttyS1");
    for (const char *name : {"cmdOK", "cmdCancel", "cmdAdvanced", "cmdResetPos"})
        EXPECT_NE(dialog->findChild<QPushButton *>(name), nullptr) << name;
    EXPECT_EQ(dialog->findChild<QPushButton *>("cmdAdvanced")->text(), "Advanced >>");
    EXPECT_NE(dialog->MMControl1, nullptr);

    profile.store->writeValue(kDriverId, kComPortKey, "7");
    setDevicePathForPort(*profile.store, 7, "/dev/ttyUSB0");
    procedure->unload();
    dialog = procedure->dialog();
    EXPECT_EQ(dialog->findChild<QComboBox *>("gPort")->currentText(), "COM 7");
    EXPECT_EQ(dialog->selectedPortDevice(), "/dev/ttyUSB0");

    // A port the list cannot show selects nothing, and OK leaves it stored as it was.
    profile.store->writeValue(kDriverId, kComPortKey, "23");
    procedure->unload();
    dialog = procedure->dialog();
    EXPECT_EQ(dialog->selectedPort(), 0);
    dialog->cmdOK_Click();
    EXPECT_EQ(stored("COM Port"), "23");
}

TEST_F(SetupTest, EveryNamedControlIsBoundToItsOwnWidget)
{
    QSet<QWidget *> seen;
    for (SetupControl c : allSetupControls()) {
        const QString name = setupControlName(c);
        QWidget *w = dialog->controlWidget(c);
        ASSERT_NE(w, nullptr) << name.toStdString();
        EXPECT_EQ(w->objectName(), name);
        EXPECT_EQ(dialog->findChildren<QWidget *>(name), QList<QWidget *>{w}) << name.toStdString();
        EXPECT_EQ(isCheckBox(c), qobject_cast<QCheckBox *>(w) != nullptr) << name.toStdString();
        EXPECT_EQ(!isCheckBox(c), qobject_cast<QLineEdit *>(w) != nullptr) << name.toStdString();
        EXPECT_EQ(setupControlNamed(name), std::optional<SetupControl>(c));
        seen.insert(w);
    }
    EXPECT_EQ(seen.size(), kSetupControlCount);
    // A name of no control is an error, never a clear box or an empty text.
    EXPECT_THROW(dialog->checkState(QStringLiteral("chkUnsafeInDayligth")), std::invalid_argument);
    EXPECT_THROW(dialog->setBoxText(QStringLiteral("chkUnsafeInDaylight"), "x"), std::invalid_argument);
    dialog->setCheckState(QStringLiteral("chkUnsafeInDaylight"), Checked);
    EXPECT_EQ(dialog->checkState(SetupControl::chkUnsafeInDaylight), Checked);
}

TEST_F(SetupTest, MqttPasswordShowsAsDotsUnlessAsked)
{
    QLineEdit *password = qobject_cast<QLineEdit *>(dialog->controlWidget(SetupControl::MqttPassword));
    ASSERT_NE(password, nullptr);
    EXPECT_EQ(password->echoMode(), QLineEdit::Password);
    clickBox(*dialog, "chkShowMqttPassword");
    EXPECT_EQ(password->echoMode(), QLineEdit::Normal);
    clickBox(*dialog, "chkShowMqttPassword");
    EXPECT_EQ(password->echoMode(), QLineEdit::Password);
}

// The data file may not exist yet: it is chosen as a file to write; the CA file as one to read.
TEST_F(SetupTest, BrowseButtonsFillTheirBoxes)
{
    pickerAnswer = "/srv/dome/weather.txt";
    clickButton(*dialog, "cmdBrowseWeatherDataFile");
    EXPECT_EQ(dialog->boxText(SetupControl::WeatherDataFile), "/srv/dome/weather.txt");
    pickerAnswer = "/etc/ssl/club-ca.pem";
    clickButton(*dialog, "cmdBrowseMqttCaFile");
    EXPECT_EQ(dialog->boxText(SetupControl::MqttCaFile), "/etc/ssl/club-ca.pem");
    ASSERT_EQ(pickerRequests.size(), 2u);
    EXPECT_TRUE(pickerRequests[0].saveFile);
    EXPECT_FALSE(pickerRequests[1].saveFile);
    pickerAnswer.clear(); // cancelled: the box keeps its text
    clickButton(*dialog, "cmdBrowseMqttCaFile");
    EXPECT_EQ(dialog->boxText(SetupControl::MqttCaFile), "/etc/ssl/club-ca.pem");
}

TEST_F(SetupTest, EnabledControlsFollowEveryBoxCombination)
{
    auto enabled = [this](const char *name) { return dialog->findChild<QWidget *>(name)->isEnabled(); };
    for (int bits = 0; bits < 32; ++bits) {
        const bool relative = bits & 1, stepSize = bits & 2, canTemp = bits & 4, comp = bits & 8, sync = bits & 16;
        dialog->setAbsolute(!relative);
        dialog->setCheckState("chkCanStepSize", stepSize);
        dialog->setCheckState("chkCanTempComp", comp);
        dialog->setCheckState("chkSynchronous", sync);
        dialog->setCheckState("chkCanTemp", canTemp);
        SCOPED_TRACE(bits);
        EXPECT_EQ(enabled("WindSpeedCloseDTF"), !relative);
        EXPECT_EQ(enabled("WindSpeedWarnTF"), stepSize);
        for (const char *n : {"chkCanTempComp", "TempCurTF", "TempMaxTF", "TempAvgCntTF", "chkCentigrade",
                              "TPTempHysteresisTF", "TPTempOffsetTF", "Thermistor_ATF", "Thermistor_BTF", "Thermistor_CTF"})
            EXPECT_EQ(enabled(n), canTemp) << n;
        EXPECT_EQ(enabled("TempStepsTF"), canTemp && comp);
        EXPECT_EQ(enabled("chkSynchronous"), canTemp && comp);
        EXPECT_EQ(enabled("BacklashCompTF"), canTemp && comp && sync);
        EXPECT_EQ(enabled("chkBacklashDir"), canTemp && comp && sync);
        // The second thermistor's coefficients are never switched off.
        EXPECT_TRUE(enabled("ThermistorR_ATF"));
    }
}

TEST_F(SetupTest, ResetPositionUsesTheTypedMaximumStep)
{
    prog().settings.Position = 500;
    dialog->setBoxText("WindSpeedCloseDTF", "17");
    dialog->setAbsolute(true);
    clickButton(*dialog, "cmdResetPos");
    EXPECT_EQ(prog().settings.Position, 8);
    dialog->findChild<QRadioButton *>("optType_1")->click();
    clickButton(*dialog, "cmdResetPos");
    EXPECT_EQ(prog().settings.Position, 0);
    EXPECT_TRUE(messages.texts.isEmpty());

    // Unreadable text leaves the position alone and says why.
    prog().settings.Position = 42;
    dialog->setAbsolute(true);
    dialog->setBoxText("WindSpeedCloseDTF", "lots");
    clickButton(*dialog, "cmdResetPos");
    EXPECT_EQ(prog().settings.Position, 42);
    EXPECT_EQ(messages.texts, QStringList({"invalid input in WindSpeedCloseD, must be >= 0"}));
    EXPECT_EQ(stored("Position"), "500"); // reaches the profile only at exit

    // Half the maximum beyond any focuser position: said so, position kept.
    messages.texts.clear();
    dialog->setBoxText("WindSpeedCloseDTF", "1e10");
    clickButton(*dialog, "cmdResetPos");
    EXPECT_EQ(prog().settings.Position, 42);
    EXPECT_EQ(messages.texts.size(), 1);
}

TEST_F(SetupTest, LoadingLeavesTheStoredSoundSwitchAlone)
{
    // Start-up loads the settings before the dialog; the dialog must not reset them.
    prog().settings.g_bchkEnableSounds = 1;
    procedure->unload();
    dialog = procedure->dialog();
    EXPECT_EQ(prog().settings.g_bchkEnableSounds, 1);
    EXPECT_FALSE(dialog->findChild<QCheckBox *>("chkRainSounds")->isEnabled()); // the switch shows off until filled
}

TEST_F(SetupTest, PickerAsksForAFileOnlyWhenTickedByTheUser)
{
    Settings &s = prog().settings;
    auto *file = dialog->findChild<QLineEdit *>("RainApp");

    // Set from code to its own flag: no file dialog.
    s.g_bchkRainApp = 1;
    dialog->setCheckState("chkRainApp", 1);
    EXPECT_TRUE(pickerRequests.empty());
    EXPECT_TRUE(file->isEnabled());
    clickBox(*dialog, "chkRainApp");
    EXPECT_EQ(s.g_bchkRainApp, 0);
    EXPECT_FALSE(file->isEnabled());

    // Ticked: program filters, all files preselected; the chosen name goes in the box.
    pickerAnswer = "/usr/local/bin/close-roof";
    clickBox(*dialog, "chkRainApp");
    ASSERT_EQ(pickerRequests.size(), 1u);
    EXPECT_EQ(pickerRequests[0].nameFilters.value(pickerRequests[0].selectedFilter), "All Files (*.*)");
    EXPECT_EQ(s.g_bchkRainApp, 1);
    EXPECT_EQ(file->text(), "/usr/local/bin/close-roof");
    EXPECT_TRUE(file->isEnabled());

    // A cancelled choice keeps the text, and the box stays ticked and usable.
    clickBox(*dialog, "chkRainApp");
    pickerAnswer.clear();
    clickBox(*dialog, "chkRainApp");
    EXPECT_EQ(pickerRequests.size(), 2u);
    EXPECT_EQ(file->text(), "/usr/local/bin/close-roof");
    EXPECT_EQ(s.g_bchkRainApp, 1);
    EXPECT_TRUE(file->isEnabled());

    // Sound pickers preselect wave files.
    dialog->setCheckState("chkEnableSounds", 1);
    clickBox(*dialog, "chkCloudSounds");
    EXPECT_EQ(pickerRequests.back().nameFilters.value(pickerRequests.back().selectedFilter), "Wave Files(*.wav)");
    EXPECT_EQ(s.g_bchkCloudSounds, 1);
}

TEST_F(SetupTest, SoundSwitchAndRepeatBoxesSetTheirFlagsAtOnce)
{
    Settings &s = prog().settings;
    auto *rainSound = dialog->findChild<QCheckBox *>("chkRainSounds");
    EXPECT_FALSE(rainSound->isEnabled());
    clickBox(*dialog, "chkEnableSounds");
    EXPECT_EQ(s.g_bchkEnableSounds, 1);
    EXPECT_TRUE(rainSound->isEnabled());
    EXPECT_TRUE(dialog->findChild<QCheckBox *>("chkCloudSounds")->isEnabled());
    clickBox(*dialog, "chkEnableSounds");
    EXPECT_EQ(s.g_bchkEnableSounds, 0);
    EXPECT_FALSE(rainSound->isEnabled());
    EXPECT_TRUE(dialog->findChild<QCheckBox *>("chkRainApp")->isEnabled()); // programs are not affected

    clickBox(*dialog, "chkRepeatSounds");
    clickBox(*dialog, "chkRepeatApp");
    EXPECT_EQ(s.g_bchkRepeatSounds, 1);
    EXPECT_EQ(s.g_bchkRepeatApp, 1);
    clickBox(*dialog, "chkRepeatApp");
    EXPECT_EQ(s.g_bchkRepeatApp, 0);
}

TEST_F(SetupTest, AdvancedToggleSwitchesHeightAndCaption)
{
    auto *adv = dialog->findChild<QPushButton *>("cmdAdvanced");
    const int basicHeight = dialog->height();
    EXPECT_EQ(dialog->heightTwips(), 3850);
    EXPECT_GE(basicHeight, 3850 / 15);
    clickButton(*dialog, "cmdAdvanced");
    EXPECT_TRUE(dialog->AdvancedMode());
    EXPECT_EQ(adv->text(), "<< Basic");
    EXPECT_EQ(dialog->heightTwips(), 7300);
    EXPECT_GT(dialog->height(), basicHeight);
    clickButton(*dialog, "cmdAdvanced");
    EXPECT_EQ(adv->text(), "Advanced >>");
    EXPECT_EQ(dialog->height(), basicHeight);
}

// A screen too small for the advanced view (here: a large desktop font): the
// dialog stays within it and every section, the last one included, scrolls into view.
TEST_F(SetupTest, AdvancedViewTallerThanTheScreenScrolls)
{
    const QFont normal = dialog->font();
    QFont large = normal;
    large.setPointSizeF(normal.pointSizeF() * 2);
    dialog->setFont(large);
    clickButton(*dialog, "cmdAdvanced");
    const QRect area = dialog->screen()->availableGeometry();
    EXPECT_LE(dialog->height(), area.height());
    EXPECT_LE(dialog->width(), area.width());
    auto *scroll = dialog->findChild<QScrollArea *>("setupScroll");
    ASSERT_NE(scroll, nullptr);
    ASSERT_GT(scroll->widget()->minimumSizeHint().height(), area.height()); // the case at hand
    dialog->show();
    auto *pages = dialog->findChild<QTabWidget *>("advancedArea");
    ASSERT_NE(pages, nullptr);
    pages->setCurrentWidget(dialog->findChild<QWidget *>("alertsPage"));
    QWidget *last = dialog->findChild<QCheckBox *>("chkRelayApp");
    ASSERT_NE(last, nullptr);
    scroll->ensureWidgetVisible(last);
    const QRect inView(last->mapTo(scroll->viewport(), QPoint(0, 0)), last->size());
    EXPECT_TRUE(scroll->viewport()->rect().contains(inView));
    dialog->hide();
    dialog->setFont(normal);
}

TEST_F(SetupTest, ClosingFromTheFrameOnlyHidesWhileUnloadIsNotAllowed)
{
    dialog->setAllowUnload(false);
    dialog->show();
    EXPECT_FALSE(dialog->close());
    EXPECT_FALSE(dialog->isVisible());
    dialog->setAllowUnload(true);
    dialog->show();
    EXPECT_TRUE(dialog->close());
}

TEST_F(SetupTest, OkStoresPortAndChosenDeviceCancelDropsTheDevice)
{
    auto *port = dialog->findChild<QComboBox *>("gPort");
    port->setCurrentIndex(2);
    dialog->setSelectedPortDevice("/dev/ttyUSB3");
    dialog->cmdCancel_Click();
    EXPECT_EQ(stored("COM Port"), "");
    EXPECT_EQ(dialog->selectedPortDevice(), "/dev/ttyS2");

    dialog->setSelectedPortDevice("/dev/ttyUSB3");
    dialog->cmdOK_Click();
    EXPECT_TRUE(dialog->Result());
    EXPECT_EQ(stored("COM Port"), "3");
    EXPECT_EQ(devicePathForPort(*profile.store, 3), "/dev/ttyUSB3");

    // Back to the default device removes the mapping.
    dialog->setSelectedPortDevice("/dev/ttyS2");
    dialog->cmdOK_Click();
    EXPECT_EQ(profile.store->value(kDriverId, "COM 3", kPortsSubKey), "");
    EXPECT_EQ(devicePathForPort(*profile.store, 3), "/dev/ttyS2");
}

TEST_F(SetupTest, PlayingASoundHoldsTheMainTimerAndRestoresIt)
{
    handBox.calls.clear();
    EXPECT_FALSE(procedure->playWaveFile(profile.dir.filePath("missing.wav")));
    EXPECT_EQ(handBox.calls, (std::vector<std::string>{"timerOff", "timerOn"}));
    handBox.timerOn = false;
    procedure->playWaveFile(profile.dir.filePath("missing.wav"));
    EXPECT_FALSE(handBox.timerOn);
}
