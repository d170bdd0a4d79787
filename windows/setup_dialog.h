// frmSetup, "Wind and Rain Setup": the basic part above the advanced pages
// (Board, Alerts, Safety, Connections), the OK/Cancel flow, Reset Position
// and the advanced toggle. Each page builds its controls, fills them from the
// settings and reads them back; the dialog holds no settings of its own: the
// setup procedure fills it from Settings and reads it back on OK.
#pragma once

#include "windows/setup_fields.h"
#include "windows/setup_widgets.h"

#include <QDeadlineTimer>
#include <QDialog>
#include <QTimer>
#include <QString>
#include <QStringList>
#include <functional>
#include <memory>
#include <utility>

class QLabel;
class QLayout;
class QPushButton;
class QScrollArea;
class QTabWidget;
class QWidget;
class MMControl;
class ProfileStore;
class ServicesTable;
class SetupAlertsPage;
class SetupBasicPage;
class SetupBoardPage;
class SetupConnectionsPage;
class SetupSafetyPage;
class SetupRulesPage;
struct Settings;

// Chooses a file for a picker; returns the full name, or empty when cancelled.
using FilePickerHandler = std::function<QString(const PickerRequest &, QWidget *parent)>;

// What the dialog is handed by whoever shows it.
struct SetupDialogContext {
    ProfileStore *profile = nullptr; // the port choice and its device are read and written here
    bool headless = false;           // nobody could answer a file dialog
    // Runs a step on the running settings where the watch runs (unset: on a
    // copy of the dialog's own): the sound switch, the repeat boxes and the
    // pickers' flags take effect as they are clicked.
    std::function<void(const std::function<void(Settings &)> &)> onRunningSettings;
    // Why an UploadServices text cannot be used (empty: it can).
    std::function<QStringList(const QString &)> servicesProblems;
    // Asks for a file (unset: the file dialog, or nothing when headless).
    FilePickerHandler chooseFile;
};

class frmSetup : public QDialog {
    Q_OBJECT
public:
    // Builds the window and runs its load step (kept hidden).
    explicit frmSetup(SetupDialogContext context = {}, QWidget *parent = nullptr);
    ~frmSetup() override;

    // "Reset Position": sets the focuser position from the relative/absolute
    // choice and the typed maximum step; false when that value does not fit.
    using PositionReset = std::function<bool(bool absolute, double maxStep)>;
    void setPositionReset(PositionReset reset) { m_positionReset = std::move(reset); }

    bool Result() const { return m_result; }

    // Every page filled from the settings; windNow is the current wind value.
    void fill(const Settings &s, double windNow);
    SetupBasicPage &basicPage() const { return *m_basic; }
    SetupBoardPage &boardPage() const { return *m_board; }
    SetupAlertsPage &alertsPage() const { return *m_alerts; }
    SetupSafetyPage &safetyPage() const { return *m_safety; }
    SetupConnectionsPage &connectionsPage() const { return *m_connections; }
    // Built from the settings' rule table: the site, the notifications, the sky correction.
    SetupRulesPage &sitePage() const { return *m_site; }
    SetupRulesPage &notifyPage() const { return *m_notify; }
    SetupRulesPage &skyPage() const { return *m_sky; }

    // Check boxes (0 clear, 1 checked, 2 greyed); setting a new state runs the
    // box's click behaviour.
    int checkState(SetupControl control) const { return m_widgets.checkState(control); }
    void setCheckState(SetupControl control, int state) { m_widgets.setCheckState(control, state); }
    // Text of a text box (file boxes: RainSounds ... RelayApp).
    QString boxText(SetupControl control) const { return m_widgets.text(control); }
    void setBoxText(SetupControl control, const QString &text) { m_widgets.setText(control, text); }
    // The same by control name, for callers that hold a name as text. A name
    // of no control throws std::invalid_argument: it must never read as a
    // clear box or an empty text.
    int checkState(const QString &control) const { return checkState(named(control, true)); }
    void setCheckState(const QString &control, int state) { setCheckState(named(control, true), state); }
    QString boxText(const QString &control) const { return boxText(named(control, false)); }
    void setBoxText(const QString &control, const QString &text) { setBoxText(named(control, false), text); }
    // The widget bound to a control (a QCheckBox or a QLineEdit).
    QWidget *controlWidget(SetupControl control) const { return m_widgets.widget(control); }

    bool Absolute() const;
    void setAbsolute(bool v);

    // The UploadServices text the services table shows and gives back.
    QString servicesText() const;
    ServicesTable *servicesTable() const;
    // Why OK was refused (empty while it was not); shown in the dialog itself.
    QString connectionsError() const;

    void setAllowUnload(bool on) { m_allowUnload = on; }
    bool allowUnload() const { return m_allowUnload; }
    bool AdvancedMode() const { return m_advancedMode; }
    void setAdvancedMode(bool on);
    int heightTwips() const { return m_advancedMode ? 7300 : 3850; }

    // The serial port number selected in gPort (1 to 16), 0 when none is selected.
    int selectedPort() const;
    // Device the selected port number maps to, as shown beside the list.
    QString selectedPortDevice() const;
    void setSelectedPortDevice(const QString &path);
    // Profile keys that OK could not save to disk since the last call (the port choice).
    QStringList takeFailedWrites() { return std::exchange(m_failedWrites, {}); }

    MMControl *MMControl1 = nullptr;

    // The controls' handlers, also reachable by tests.
    void UpdateEnabledControls();
    void cmdOK_Click();
    void cmdCancel_Click();
    void cmdAdvanced_Click();
    void cmdResetPos_Click();

signals:
    void shown(); // each time the window is shown

protected:
    void closeEvent(QCloseEvent *event) override;
    void showEvent(QShowEvent *event) override;
    void reject() override; // Escape acts as Cancel

private:
    static SetupControl named(const QString &name, bool checkBox);
    void buildContent();
    QTabWidget *buildAdvancedPages();
    QLayout *buildButtons();
    void runOnFlags(const std::function<void(Settings &)> &step);
    void keepOnScreenWhileSettling();
    QString chooseFile(const PickerRequest &request); // empty when cancelled

    SetupDialogContext m_context;
    PositionReset m_positionReset;
    SetupWidgets m_widgets{this};
    bool m_result = false;
    bool m_allowUnload = false;
    bool m_advancedMode = false;
    // After a change of size the place is checked against the screen a few
    // times a second until then: the window manager's frame and its answer to
    // the new size can come late, carrying the place from before.
    QDeadlineTimer m_settling;
    QTimer m_settleCheck;

    SetupBasicPage *m_basic = nullptr;
    SetupBoardPage *m_board = nullptr;
    SetupAlertsPage *m_alerts = nullptr;
    SetupSafetyPage *m_safety = nullptr;
    SetupConnectionsPage *m_connections = nullptr;
    SetupRulesPage *m_site = nullptr;
    SetupRulesPage *m_notify = nullptr;
    SetupRulesPage *m_sky = nullptr;
    QPushButton *m_cmdAdvanced = nullptr;
    QLabel *m_driverInfo = nullptr;
    QTabWidget *m_advancedArea = nullptr;
    std::unique_ptr<Settings> m_ownFlags; // the flags without running settings to act on
    // Holds every control; scrolls when the dialog is taller than the screen.
    QWidget *m_content = nullptr;
    QScrollArea *m_scroll = nullptr;
    QStringList m_failedWrites; // port choices OK could not save
};
