// RunSetupDialog and the life of the one setup dialog.
#include "windows/run_setup_dialog.h"

#include "core/hand_box_api.h"
#include "core/messages.h"
#include "core/number_format.h"
#include "screen/window_system.h"
#include "core/profile_store.h"
#include "core/settings.h"
#include "core/reentry_guard.h"
#include "windows/mm_control.h"
#include "windows/setup_dialog.h"
#include "windows/setup_dialog_fill.h"

#include <QPointer>
#include <QThread>
#include <QStringList>

namespace {

QPointer<frmSetup> &dialogRef()
{
    static QPointer<frmSetup> dialog;
    return dialog;
}

SetupLinks &links()
{
    static SetupLinks l;
    return l;
}

bool g_running = false;         // the procedure is showing the dialog
bool g_unloadRequested = false; // unload asked for while it was

// Writes settings of the edited copy to the profile, remembers which were
// read back (they apply to the running program when the dialog closes) and
// any that did not reach the disk.
class SettingWriter {
public:
    explicit SettingWriter(const Settings &edited) : m_edited(edited) {}
    void operator()(const char *key)
    {
        m_read << QLatin1String(key);
        ProfileStore *profile = links().profile;
        if (profile && !saveSetting(*profile, m_edited, QLatin1String(key)))
            m_failed << QLatin1String(key);
    }
    // Read back without a write of its own (written at exit).
    void readOnly(const char *key) { m_read << QLatin1String(key); }
    const QStringList &readKeys() const { return m_read; }
    const QStringList &failedKeys() const { return m_failed; }

private:
    const Settings &m_edited;
    QStringList m_read;
    QStringList m_failed;
};

void reportSaveFailures(QStringList keys)
{
    ProfileStore *profile = links().profile;
    if (keys.isEmpty() || !profile)
        return;
    keys.removeDuplicates(); // a key written on every OK pass is named once
    showMessage(QStringLiteral("These settings could not be saved to %1 (%2) and apply only until the program ends: %3")
                    .arg(profile->filePath(), profile->lastWriteError(), keys.join(QStringLiteral(", "))),
                QStringLiteral("Wind and Rain Setup"), MsgIcon::Exclamation);
}

void onWatch(const std::function<void()> &step)
{
    if (links().onWatch)
        links().onWatch(step);
    else
        step();
}

// The running settings as they stand, copied where the watch runs.
Settings runningSettings()
{
    Settings copy;
    onWatch([&copy] { copy = *links().settings; });
    return copy;
}

void fillDialog(frmSetup &d)
{
    double windNow = 0; // the current wind value
    if (links().currentValue)
        onWatch([&windNow] { windNow = links().currentValue(); });
    fillSetupDialog(d, runningSettings(), windNow);
}

// A whole number of at least `least`; anything else keeps the value in use.
int32_t wholeOrKept(const QString &text, int32_t least, int32_t kept)
{
    try {
        const int32_t v = wholeFromText(text.trimmed());
        return v >= least ? v : kept;
    } catch (const ConversionError &) {
        return kept;
    }
}

void readAlertsAndSafety(frmSetup &d, Settings &s, SettingWriter &write);

// One OK pass. Returns false when a field was rejected and the dialog must be
// shown again; what was read before the rejection stays stored and written.
// The wind values, the motion switches and the calibrations, in that order;
// false at the first rejected field.
bool readWindAndCalibration(frmSetup &d, Settings &s, SettingWriter &write)
{
    double v = 0;
    // Only a refused text shows the dialog again; -9999 typed into a box that takes any number is kept.
    auto rejected = [&v, &d](double value) {
        v = value;
        return v == RejectedValue && d.lastGetRejected();
    };

    s.WindSpeedCloseD = d.WindSpeedCloseD();
    write("WindSpeedCloseD");
    if (rejected(d.StepTime())) return false;
    s.StepTime = v;
    write("StepTime");
    if (rejected(d.WindSpeedWarn())) return false;
    s.WindSpeedWarn = v;
    write("WindSpeedWarn");
    if (rejected(d.MaxInc())) return false;
    s.MaxInc = v;
    write("MaxInc");

    s.Absolute = d.Absolute();
    write("Absolute");
    s.Synchronous = d.Synchronous();
    write("Synchronous");
    s.Centigrade = d.Centigrade();
    write("Centigrade");
    s.Reverse = d.Reverse();
    write("Reverse");
    s.HalfStep = d.HalfStep();
    write("HalfStep");

    struct Calibration {
        double (frmSetup::*get)();
        double Settings::*member;
        const char *key;
    };
    static const Calibration calibrations[] = {
        {&frmSetup::TPTempHysteresis, &Settings::TPTempHysteresis, "TPTempHysteresis"},
        {&frmSetup::Joystick_slopeR, &Settings::Joystick_slopeR, "Joystick_slopeR"},
        {&frmSetup::TPTempOffset, &Settings::TPTempOffset, "TPTempOffset"},
        {&frmSetup::Joystick_interceptR, &Settings::Joystick_interceptR, "Joystick_interceptR"},
        {&frmSetup::Thermistor_A, &Settings::Thermistor_A, "Thermistor_A"},
        {&frmSetup::Thermistor_B, &Settings::Thermistor_B, "Thermistor_B"},
        {&frmSetup::Thermistor_C, &Settings::Thermistor_C, "Thermistor_C"},
        {&frmSetup::ThermistorR_A, &Settings::ThermistorR_A, "ThermistorR_A"},
        {&frmSetup::ThermistorR_B, &Settings::ThermistorR_B, "ThermistorR_B"},
        {&frmSetup::ThermistorR_C, &Settings::ThermistorR_C, "ThermistorR_C"},
    };
    for (const Calibration &c : calibrations) {
        if (rejected((d.*c.get)())) return false;
        s.*c.member = v;
    }
    for (const Calibration &c : calibrations)
        write(c.key);

    return true;
}

bool readBack(frmSetup &d, Settings &s, SettingWriter &write)
{
    double v = 0;
    // Only a refused text shows the dialog again; -9999 typed into a box that takes any number is kept.
    auto rejected = [&v, &d](double value) {
        v = value;
        return v == RejectedValue && d.lastGetRejected();
    };

    if (!readWindAndCalibration(d, s, write))
        return false;
    s.AlwaysOnTop = d.checkState(QStringLiteral("chkAlwaysTop")) == Checked;
    write("AlwaysOnTop");
    s.AdvancedSetup = d.AdvancedMode();
    write("AdvancedSetup");
    s.CanTempComp = d.checkState(QStringLiteral("chkCanTempComp")) == Checked;
    write("CanTempComp");
    s.CanTemp = d.checkState(QStringLiteral("chkCanTemp")) == Checked;
    write("CanTemp");
    s.CanStepSize = d.checkState(QStringLiteral("chkCanStepSize")) == Checked;
    write("CanStepSize");
    s.CanHalt = d.checkState(QStringLiteral("chkCanHalt")) == Checked;
    write("CanHalt");
    s.BacklashDir = d.checkState(QStringLiteral("chkBacklashDir")) == Checked;
    write("BacklashDir");

    if (rejected(d.TempMax())) return false;
    s.TempMax = v;
    write("TempMax");
    if (rejected(d.WindsAvgCnt())) return false;
    s.WindsAvgCnt = toInt32(v);
    write("WindsAvgCnt");
    if (rejected(d.BacklashComp())) return false;
    s.BacklashComp = toInt32(v);
    write.readOnly("BacklashComp");
    if (rejected(d.TempAvgCnt())) return false;
    s.TempsAvgCount = toInt32(v);
    write("TempsAvgCount");
    write("BacklashComp");
    if (rejected(d.TempSteps())) return false;
    s.TempSteps = toInt32(v);
    write("TempSteps");
    readAlertsAndSafety(d, s, write);
    // A rejected current temperature is kept as the rejection value, without showing the dialog again.
    s.Temp = d.TempCur();
    write.readOnly("Temp");
    return true;
}

// The fields read back as they are (no rejection): the alert thresholds,
// sounds and programs, the safety verdict's settings.
void readAlertsAndSafety(frmSetup &d, Settings &s, SettingWriter &write)
{
    // These fall back to their defaults instead of being rejected.
    s.WindMultiplier = toInt32(d.WindMultiplierL());
    s.WindTimer = toInt32(d.WindTimerL());
    s.RainOnTime = toInt32(d.RainOnTimeL());
    s.PartCloudyDegC = toInt32(d.PartCloudyDegCL());
    s.FullCloudyDegC = toInt32(d.FullCloudyDegCL());
    for (const char *key : {"WindTimer", "RainOnTime", "WindMultiplier", "PartCloudyDegC", "FullCloudyDegC"})
        write(key);

    s.g_bchkEnableSounds = d.GchkEnableSounds();
    s.g_bchkRepeatSounds = d.checkState(QStringLiteral("chkRepeatSounds"));
    s.g_bchkRepeatApp = d.checkState(QStringLiteral("chkRepeatApp"));
    s.g_sRainSounds = d.boxText(QStringLiteral("RainSounds"));
    s.g_sWindSounds = d.boxText(QStringLiteral("WindSounds"));
    s.g_sLightSounds = d.boxText(QStringLiteral("LightSounds"));
    s.g_sCloudSounds = d.boxText(QStringLiteral("CloudSounds"));
    s.RainThreshold = toInt32(d.RainThreshold());
    s.WindThreshold = toInt32(d.WindThreshold());
    s.LightThreshold = toInt32(d.LightThreshold());
    s.g_sRainApp = d.boxText(QStringLiteral("RainApp"));
    s.g_sWindApp = d.boxText(QStringLiteral("WindApp"));
    s.g_sLightApp = d.boxText(QStringLiteral("LightApp"));
    s.g_sCloudApp = d.boxText(QStringLiteral("CloudApp"));
    // The per-condition flags are as the pickers left them; the relay program
    // name is written as it was loaded (its box is not read back).
    for (const char *key :
         {"g_bchkEnableSounds", "g_bchkRepeatSounds", "g_bchkRainSounds", "g_bchkWindSounds", "g_bchkLightSounds",
          "g_bchkCloudSounds", "g_sRainSounds", "g_sWindSounds", "g_sLightSounds", "g_sCloudSounds",
          "g_bchkCloudSounds", "RainThreshold", "WindThreshold", "LightThreshold", "g_bchkRainApp", "g_bchkWindApp",
          "g_bchkLightApp", "g_bchkCloudApp", "g_sRainApp", "g_sWindApp", "g_sLightApp", "g_sCloudApp",
          "g_bchkRelayApp", "g_sRelayApp", "g_bchkRepeatApp"})
        write(key);

    s.SafeDelayMinutes = wholeOrKept(d.boxText(QStringLiteral("SafeDelayMinutes")), 0, s.SafeDelayMinutes);
    s.StaleAfterSeconds = wholeOrKept(d.boxText(QStringLiteral("StaleAfterSeconds")), 1, s.StaleAfterSeconds);
    s.UnsafeWhenPartlyCloudy = d.checkState(QStringLiteral("chkUnsafeWhenPartlyCloudy")) == Checked;
    s.UnsafeWhenOvercast = d.checkState(QStringLiteral("chkUnsafeWhenOvercast")) == Checked;
    s.UnsafeInDaylight = d.checkState(QStringLiteral("chkUnsafeInDaylight")) == Checked;
    s.UnsafeProgram = d.boxText(QStringLiteral("UnsafeProgram")).trimmed();
    s.SafeProgram = d.boxText(QStringLiteral("SafeProgram")).trimmed();
    for (const char *key : {"SafeDelayMinutes", "StaleAfterSeconds", "UnsafeWhenPartlyCloudy", "UnsafeWhenOvercast",
                            "UnsafeInDaylight", "UnsafeProgram", "SafeProgram"})
        write(key);
}

} // namespace

frmSetup *setupDialog()
{
    QPointer<frmSetup> &d = dialogRef();
    if (!d)
        d = new frmSetup(nullptr); // the load step runs; the window stays hidden
    d->setPositionReset(links().resetPosition);
    return d;
}

void unloadSetupDialog()
{
    frmSetup *d = dialogRef();
    if (!d)
        return;
    d->setAllowUnload(true);
    if (g_running) {
        g_unloadRequested = true;
        d->cmdCancel_Click();
        return;
    }
    dialogRef() = nullptr;
    d->close();
    delete d;
}

namespace {
// One OK pass on a copy of the settings as they stand when OK is pressed; what
// was read back applies to the running program, even before a rejection.
bool applyOkPass(frmSetup &d, QStringList &failed)
{
    Settings edited = runningSettings();
    SettingWriter write(edited);
    const bool accepted = readBack(d, edited, write);
    onWatch([&edited, &write] {
        Settings &running = *links().settings;
        for (const QString &key : write.readKeys())
            copySetting(edited, running, key);
    });
    failed << write.failedKeys();
    return accepted;
}
} // namespace

void RunSetupDialog()
{
    HandBoxApi *handBox = links().handBox;
    // Headless there is no dialog to show (nor links to it).
    if (links().headless || !links().settings) {
        printNotice(QStringLiteral("Setup dialog not shown: running headless, nobody can answer it. "
                                   "Settings unchanged, as after Cancel; use 'tarnwick config set' to change them."));
        return;
    }
    frmSetup *d = setupDialog();
    ReentryGuard running(g_running);
    if (!running.active()) {
        // Already open (a client asked while the user has it): one dialog, one procedure.
        d->raise();
        d->activateWindow();
        return;
    }
    g_unloadRequested = false;

    // The watch runs on meanwhile with the settings as they stand; the
    // dialog's fields are the copy being edited.
    d->setAllowUnload(false);
    d->setAdvancedMode(runningSettings().AdvancedSetup);
    fillDialog(*d);
    if (handBox)
        onWatch([handBox] { handBox->hideWindow(); });
    SetTopMost(d, true);

    QStringList failed;
    bool accepted = false;
    for (;;) {
        d->exec();
        if (g_unloadRequested || !d->Result())
            break;
        if ((accepted = applyOkPass(*d, failed)))
            break;
    }
    if (accepted && links().refreshFocuser)
        onWatch(links().refreshFocuser);
    failed << d->takeFailedWrites();
    reportSaveFailures(failed);

    d->setAllowUnload(true);
    if (handBox)
        onWatch([handBox] {
            handBox->setTopMost(links().settings->AlwaysOnTop);
            handBox->showWindow();
        });
    if (links().restartWindows)
        onWatch(links().restartWindows);
    if (accepted && links().boardDeviceChosen)
        onWatch(links().boardDeviceChosen);
    running.release(); // the unload below must find the procedure over

    if (g_unloadRequested) {
        g_unloadRequested = false;
        unloadSetupDialog();
    }
}

void installSetup(SetupLinks l)
{
    links() = std::move(l);
    setupDialog(); // loaded hidden; it stays loaded while the hand box lives
}

bool playWaveFile(const QString &path)
{
    // Playing holds up the caller until the sound ends. The player waits in a
    // local event loop, so the main timer is held meanwhile: no station cycle
    // may start inside the one that raised the alert.
    HandBoxApi *handBox = links().handBox;
    // A watch on a thread of its own never waits for the sound: nothing to hold.
    const auto *clockOwner = dynamic_cast<const QObject *>(handBox);
    const bool watchHere = !clockOwner || clockOwner->thread() == QThread::currentThread();
    const bool timerWasOn = watchHere && handBox && handBox->timerEnabled();
    if (timerWasOn)
        handBox->setTimerEnabled(false);
    // The player lives on the dialog, which is loaded again if it was unloaded.
    const bool played = setupDialog()->MMControl1->playWaveFile(path);
    if (timerWasOn && links().handBox == handBox)
        handBox->setTimerEnabled(true);
    return played;
}
