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
#include "windows/setup_read_back.h"

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

} // namespace

namespace {
SetupDialogContext dialogContext()
{
    SetupDialogContext context;
    context.profile = links().profile;
    context.headless = links().headless;
    context.servicesProblems = links().servicesProblems;
    if (links().settings)
        context.onRunningSettings = [](const std::function<void(Settings &)> &step) {
            onWatch([&step] { step(*links().settings); });
        };
    return context;
}
} // namespace

frmSetup *setupDialog()
{
    QPointer<frmSetup> &d = dialogRef();
    if (!d)
        d = new frmSetup(dialogContext()); // the load step runs; the window stays hidden
    else
        d->setContext(dialogContext()); // the links may have changed since it was loaded
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
bool applyOkPass(frmSetup &d, QStringList &failed, QStringList &changed)
{
    Settings edited = runningSettings();
    SettingWriter write(edited, links().profile);
    const bool accepted = readBack(d, edited, write);
    onWatch([&edited, &write, &changed] {
        Settings &running = *links().settings;
        for (const QString &key : write.readKeys()) {
            if (settingText(running, key) != settingText(edited, key))
                changed << key;
            copySetting(edited, running, key);
        }
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
    QStringList changed;
    bool accepted = false;
    for (;;) {
        d->exec();
        if (g_unloadRequested || !d->Result())
            break;
        if ((accepted = applyOkPass(*d, failed, changed)))
            break;
    }
    changed.removeDuplicates();
    if (!changed.isEmpty() && links().settingsChanged)
        links().settingsChanged(changed);
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
