// The setup procedure and the life of the one setup dialog.
#include "windows/run_setup_dialog.h"

#include "control/settings_apply.h"
#include "core/hand_box_api.h"
#include "core/messages.h"
#include "core/profile_store.h"
#include "core/reentry_guard.h"
#include "core/settings.h"
#include "screen/window_system.h"
#include "windows/mm_control.h"
#include "windows/setup_dialog.h"
#include "windows/setup_read_back.h"

#include <QThread>

SetupProcedure::SetupProcedure(SetupLinks links) : m_links(std::move(links))
{
    dialog(); // loaded hidden; it stays loaded while the hand box lives
}

SetupProcedure::~SetupProcedure()
{
    delete m_dialog.data();
}

void SetupProcedure::reportSaveFailures(QStringList keys)
{
    ProfileStore *profile = m_links.profile;
    if (keys.isEmpty() || !profile)
        return;
    keys.removeDuplicates(); // a key written on every OK pass is named once
    showMessage(QStringLiteral("These settings could not be saved to %1 (%2) and apply only until the program ends: %3")
                    .arg(profile->filePath(), profile->lastWriteError(), keys.join(QStringLiteral(", "))),
                QStringLiteral("Wind and Rain Setup"), MsgIcon::Exclamation);
}

void SetupProcedure::onWatch(const std::function<void()> &step)
{
    if (m_links.onWatch)
        m_links.onWatch(step);
    else
        step();
}

// The running settings as they stand, copied where the watch runs.
Settings SetupProcedure::runningSettings()
{
    Settings copy;
    onWatch([this, &copy] { copy = *m_links.settings; });
    return copy;
}

void SetupProcedure::fillDialog(frmSetup &d)
{
    double windNow = 0; // the current wind value
    if (m_links.currentValue)
        onWatch([this, &windNow] { windNow = m_links.currentValue(); });
    d.fill(runningSettings(), windNow);
}

SetupDialogContext SetupProcedure::dialogContext()
{
    SetupDialogContext context;
    context.profile = m_links.profile;
    context.headless = m_links.headless;
    context.servicesProblems = m_links.servicesProblems;
    context.chooseFile = m_links.filePicker;
    if (m_links.settings)
        context.onRunningSettings = [this](const std::function<void(Settings &)> &step) {
            onWatch([this, &step] { step(*m_links.settings); });
        };
    return context;
}

frmSetup *SetupProcedure::dialog()
{
    if (!m_dialog)
        m_dialog = new frmSetup(dialogContext()); // the load step runs; the window stays hidden
    m_dialog->setPositionReset(m_links.resetPosition);
    return m_dialog;
}

void SetupProcedure::unload()
{
    frmSetup *d = m_dialog;
    if (!d)
        return;
    d->setAllowUnload(true);
    if (m_running) {
        m_unloadRequested = true;
        d->cmdCancel_Click();
        return;
    }
    m_dialog = nullptr;
    d->close();
    delete d;
}

// One OK pass on a copy of the settings as they stand when OK is pressed; what
// was read back applies to the running program, even before a rejection.
bool SetupProcedure::applyOkPass(frmSetup &d, QStringList &failed, QStringList &changed)
{
    Settings edited = runningSettings();
    SettingWriter write(edited, m_links.profile);
    const bool accepted = readBack(d, edited, write);
    onWatch([this, &edited, &write, &changed] { changed << copyChangedKeys(edited, *m_links.settings, write.readKeys()); });
    failed << write.failedKeys();
    return accepted;
}

void SetupProcedure::sayNotShown()
{
    printNotice(QStringLiteral("Setup dialog not shown: running headless, nobody can answer it. "
                               "Settings unchanged, as after Cancel; use 'tarnwick config set' to change them."));
}

void SetupProcedure::run()
{
    // Headless there is no dialog to show (nor links to it).
    if (m_links.headless || !m_links.settings) {
        sayNotShown();
        return;
    }
    frmSetup *d = dialog();
    ReentryGuard running(m_running);
    if (!running.active()) {
        // Already open (a client asked while the user has it): one dialog, one procedure.
        d->raise();
        d->activateWindow();
        return;
    }
    m_unloadRequested = false;

    // The watch runs on meanwhile with the settings as they stand; the
    // dialog's fields are the copy being edited.
    d->setAllowUnload(false);
    d->setAdvancedMode(runningSettings().AdvancedSetup);
    fillDialog(*d);
    if (HandBoxApi *handBox = m_links.handBox)
        onWatch([handBox] { handBox->hideWindow(); });
    SetTopMost(d, true);

    QStringList failed;
    QStringList changed;
    bool accepted = false;
    for (;;) {
        d->exec();
        if (m_unloadRequested || !d->Result())
            break;
        if ((accepted = applyOkPass(*d, failed, changed)))
            break;
    }
    finish(*d, accepted, failed, changed);
    running.release(); // the unload below must find the procedure over

    if (m_unloadRequested) {
        m_unloadRequested = false;
        unload();
    }
}

// After the dialog closed: the modules follow what OK changed, the hand box
// comes back, the averaging windows start again.
void SetupProcedure::finish(frmSetup &d, bool accepted, QStringList failed, QStringList changed)
{
    changed.removeDuplicates();
    if (!changed.isEmpty() && m_links.settingsChanged)
        m_links.settingsChanged(changed);
    if (accepted && m_links.refreshFocuser)
        onWatch(m_links.refreshFocuser);
    failed << d.takeFailedWrites();
    reportSaveFailures(failed);

    d.setAllowUnload(true);
    if (HandBoxApi *handBox = m_links.handBox)
        onWatch([this, handBox] {
            handBox->setTopMost(m_links.settings->AlwaysOnTop);
            handBox->showWindow();
        });
    if (m_links.restartWindows)
        onWatch(m_links.restartWindows);
    if (accepted && m_links.boardDeviceChosen)
        onWatch(m_links.boardDeviceChosen);
}

bool SetupProcedure::playWaveFile(const QString &path)
{
    // Playing holds up the caller until the sound ends. The player waits in a
    // local event loop, so the main timer is held meanwhile: no station cycle
    // may start inside the one that raised the alert.
    HandBoxApi *handBox = m_links.handBox;
    // A watch on a thread of its own never waits for the sound: nothing to hold.
    const auto *clockOwner = dynamic_cast<const QObject *>(handBox);
    const bool watchHere = !clockOwner || clockOwner->thread() == QThread::currentThread();
    const bool timerWasOn = watchHere && handBox && handBox->timerEnabled();
    if (timerWasOn)
        handBox->setTimerEnabled(false);
    // The player lives on the dialog, which is loaded again if it was unloaded.
    const bool played = dialog()->MMControl1->playWaveFile(path);
    if (timerWasOn && m_links.handBox == handBox)
        handBox->setTimerEnabled(true);
    return played;
}
