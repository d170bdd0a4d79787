// The setup procedure: fills the setup dialog from Settings, shows it modally
// while the watch runs on, reads it back on OK into a copy of the settings
// (showing it again while a field is rejected), writes each accepted value and
// applies what was read to the running program, then restarts the averaging
// windows.
#pragma once

#include "windows/setup_fields.h"

#include <QPointer>
#include <QString>
#include <QStringList>
#include <functional>

class HandBoxApi;
class QWidget;
class ProfileStore;
class frmSetup;
struct Settings;
struct SetupDialogContext;

// What the setup procedure reaches around it.
struct SetupLinks {
    Settings *settings = nullptr;          // the running program's, filled in and applied to
    ProfileStore *profile = nullptr;       // accepted values are written here (none: not saved)
    bool headless = false;                 // nobody could answer the dialog: it is not shown
    HandBoxApi *handBox = nullptr;         // its window hides while the dialog is up
    std::function<double()> currentValue;  // shown in "TempCur" (the station's wind value)
    std::function<void()> restartWindows;  // the averaging windows start again after OK
    std::function<bool(bool absolute, double maxStep)> resetPosition; // "Reset Position"
    std::function<void()> refreshFocuser;  // the focuser follows the accepted settings
    std::function<void()> boardDeviceChosen; // after OK: the board's device choice applies at once
    // Why an UploadServices text cannot be used (empty: it can); OK is refused meanwhile.
    std::function<QStringList(const QString &)> servicesProblems;
    // After the dialog closed: the keys ("Mqtt/Port", "WeatherDataFile" ...)
    // whose running values OK changed, for the modules that hold a copy.
    std::function<void(const QStringList &keys)> settingsChanged;
    // Asks for a file for a picker or a Browse button (unset: the file dialog).
    std::function<QString(const PickerRequest &, QWidget *parent)> filePicker;
    // Runs a step where the watch runs and returns when it is done (unset: at
    // once). The running settings, the hand box and the links above are the
    // watch's: the dialog reads and changes them only through this.
    std::function<void(const std::function<void()> &)> onWatch;
};

// The one setup dialog of a run and the procedure that shows it. Made at
// start-up (the dialog loads hidden); its end unloads the dialog.
class SetupProcedure {
public:
    explicit SetupProcedure(SetupLinks links);
    ~SetupProcedure();
    SetupProcedure(const SetupProcedure &) = delete;
    SetupProcedure &operator=(const SetupProcedure &) = delete;

    // Shows the dialog and applies what OK accepts (see above). Headless it
    // only says why nothing is shown; while it is showing, it is raised.
    void run();
    // Why nothing is shown where nobody could answer the dialog.
    static void sayNotShown();

    // Plays a wave file through the dialog's MMControl1 and returns when it has
    // ended (false when it could not be played). The main timer is held meanwhile.
    bool playWaveFile(const QString &path);

    // The loaded dialog, created hidden when it does not exist yet.
    frmSetup *dialog();
    // Unloads the dialog (the hand box's unload handler). While the procedure is
    // showing it, the dialog is closed as by Cancel and removed when the procedure ends.
    void unload();

private:
    void onWatch(const std::function<void()> &step);
    Settings runningSettings();
    SetupDialogContext dialogContext();
    void fillDialog(frmSetup &d);
    bool applyOkPass(frmSetup &d, QStringList &failed, QStringList &changed);
    void finish(frmSetup &d, bool accepted, QStringList failed, QStringList changed);
    void reportSaveFailures(QStringList keys);

    SetupLinks m_links;
    QPointer<frmSetup> m_dialog;
    bool m_running = false;         // the procedure is showing the dialog
    bool m_unloadRequested = false; // unload asked for while it was
};
