// Helpers for the setup dialog tests: a hand box that records what the setup
// procedure does to it, and a script that acts on each showing of the modal
// dialog from inside its event loop.
#pragma once

#include "focuser/focuser_context.h"
#include "focuser/focuser_routines.h"
#include "focuser/motion.h"
#include "station/weather_state.h"

#include "hand_box_fields.h"
#include "app/program.h"
#include "message_recorder.h"
#include "temp_profile.h"
#include "windows/run_setup_dialog.h"
#include "windows/setup_dialog.h"

#include <QCheckBox>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <functional>
#include <gtest/gtest.h>
#include <map>
#include <vector>

class RecordingHandBox : public HandBoxFields {
public:
    bool timerOn = true;
    bool visible = true;
    bool topMost = false;
    std::vector<std::string> calls;
    std::function<void()> onHide; // runs when the setup procedure hides the hand box

    void setTempComp(int state) override
    {
        calls.push_back("setTempComp");
        HandBoxFields::setTempComp(state);
    }
    void setAllowAsyncWind(int state) override
    {
        calls.push_back("setAllowAsyncWind");
        HandBoxFields::setAllowAsyncWind(state);
    }
    void setTimerEnabled(bool on) override
    {
        timerOn = on;
        calls.push_back(on ? "timerOn" : "timerOff");
    }
    bool timerEnabled() const override { return timerOn; }
    void showWindow() override
    {
        visible = true;
        calls.push_back("show");
    }
    void hideWindow() override
    {
        visible = false;
        calls.push_back("hide");
        if (onHide)
            onHide();
    }
    bool isWindowVisible() const override { return visible; }
    void showNormalWindow() override { visible = true; }
    void setTopMost(bool on) override
    {
        topMost = on;
        calls.push_back(on ? "topMost" : "notTopMost");
    }
};

using DialogStep = std::function<void(frmSetup &)>;

// Fresh program state, a profile on disk with the defaults, a recording hand
// box and message handler, and a dialog loaded as start-up loads it.
class SetupTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        resetProgram();
        prog().profile = profile.store.get();
        writeDefaultsIfNeeded(*profile.store);
        links.filePicker = [this](const PickerRequest &r, QWidget *) {
            pickerRequests.push_back(r);
            return pickerAnswer;
        };
        links.settings = &prog().settings;
        links.profile = profile.store.get();
        links.handBox = &handBox;
        links.currentValue = [this] { return weather.WindSpeed; };
        links.restartWindows = [this] {
            weather.WindSampleIndex = 1;
            weather.TempSampleIndex = 1;
        };
        links.resetPosition = [](bool absolute, double maxStep) { return ResetPosition(prog().settings, absolute, maxStep); };
        focuser.handBox = &handBox;
        links.refreshFocuser = [this] { RefreshFocuserState(focuser); };
        links.boardDeviceChosen = [this] { ++deviceChoices; };
        reinstall();
    }
    // The procedure made anew with the links as they stand, as start-up makes it.
    void reinstall()
    {
        procedure.reset();
        procedure = std::make_unique<SetupProcedure>(links);
        dialog = procedure->dialog();
    }
    std::unique_ptr<SetupProcedure> procedure;
    int deviceChoices = 0; // the board's device choice applied after OK
    SetupLinks links;

    void TearDown() override
    {
        procedure.reset();
        resetProgram();
    }

    // Runs the setup procedure; each showing of the dialog runs the next step.
    // A showing without a step cancels, so a test that goes wrong cannot hang.
    void runSetup(std::vector<DialogStep> steps)
    {
        std::size_t next = 0;
        showings = 0;
        auto conn = QObject::connect(dialog, &frmSetup::shown, dialog, [&] {
            ++showings;
            QTimer::singleShot(0, dialog, [&] {
                if (next < steps.size())
                    steps[next++](*dialog);
                if (dialog->isVisible())
                    clickButton(*dialog, "cmdCancel");
            });
        });
        procedure->run();
        QObject::disconnect(conn);
        EXPECT_EQ(next, steps.size()) << "the dialog was shown fewer times than the script expects";
    }

    static void clickButton(frmSetup &d, const char *name)
    {
        QPushButton *b = d.findChild<QPushButton *>(QLatin1String(name));
        ASSERT_NE(b, nullptr) << name;
        QTest::mouseClick(b, Qt::LeftButton);
    }
    static void type(frmSetup &d, const char *control, const QString &text)
    {
        QLineEdit *e = d.findChild<QLineEdit *>(QLatin1String(control));
        ASSERT_NE(e, nullptr) << control;
        e->selectAll();
        QTest::keyClick(e, Qt::Key_Delete);
        QTest::keyClicks(e, text);
    }
    static void clickBox(frmSetup &d, const char *control)
    {
        QCheckBox *c = d.findChild<QCheckBox *>(QLatin1String(control));
        ASSERT_NE(c, nullptr) << control;
        c->click();
    }

    QString stored(const char *key, const QString &subKey = QString()) const
    {
        return profile.store->value(kDriverId, QLatin1String(key), subKey);
    }

    TempProfile profile;
    WeatherState weather;
    FocuserContext focuser{weather, prog().settings};
    RecordingHandBox handBox;
    MessageRecorder messages;
    frmSetup *dialog = nullptr;
    int showings = 0;
    std::vector<PickerRequest> pickerRequests;
    QString pickerAnswer;
};
