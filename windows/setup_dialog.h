// frmSetup, "Wind and Rain Setup": one validating property per field, the
// enable rules, Reset Position, the sound/program pickers and the serial port
// with the device it maps to. It holds no settings of its own: the setup
// procedure fills it from Settings and reads it back on OK.
#pragma once

#include "windows/setup_fields.h"

#include <QDialog>
#include <QMap>
#include <QString>
#include <QStringList>
#include <array>
#include <cstdint>
#include <initializer_list>
#include <functional>
#include <memory>
#include <utility>

class QCheckBox;
class QComboBox;
class QGroupBox;
class QLayout;
class QLabel;
class QLineEdit;
class QPushButton;
class QRadioButton;
class QWidget;
class MMControl;
class ProfileStore;
class ServicesTable;
class QTabWidget;
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
    void setContext(SetupDialogContext context) { m_context = std::move(context); }

    // Validating properties: a get reads its box (messages on rejection), a let formats into it.
    double WindSpeedCloseD() { return get("WindSpeedCloseD"); }
    void setWindSpeedCloseD(double v) { let("WindSpeedCloseD", v); }
    double WindSpeedWarn() { return get("WindSpeedWarn"); }
    void setWindSpeedWarn(double v) { let("WindSpeedWarn", v); }
    double StepTime() { return get("StepTime"); }
    void setStepTime(double v) { let("StepTime", v); }
    double MaxInc() { return get("MaxInc"); }
    void setMaxInc(double v) { let("MaxInc", v); }
    double TempCur() { return get("TempCur"); }
    void setTempCur(double v) { let("TempCur", v); }
    double TempMax() { return get("TempMax"); }
    void setTempMax(double v) { let("TempMax", v); }
    double TempAvgCnt() { return get("TempAvgCnt"); }
    void setTempAvgCnt(int32_t v) { let("TempAvgCnt", v); }
    double BacklashComp() { return get("BacklashComp"); }
    void setBacklashComp(int32_t v) { let("BacklashComp", v); }
    double TempSteps() { return get("TempSteps"); }
    void setTempSteps(int32_t v) { let("TempSteps", v); }
    double TPTempHysteresis() { return get("TPTempHysteresis"); }
    void setTPTempHysteresis(double v) { let("TPTempHysteresis", v); }
    double RainThreshold() { return get("RainThreshold"); }
    void setRainThreshold(int32_t v) { let("RainThreshold", v); }
    double WindThreshold() { return get("WindThreshold"); }
    void setWindThreshold(int32_t v) { let("WindThreshold", v); }
    double LightThreshold() { return get("LightThreshold"); }
    void setLightThreshold(int32_t v) { let("LightThreshold", v); }
    double WindTimerL() { return get("WindTimerL"); }
    void setWindTimerL(int32_t v) { let("WindTimerL", v); }
    double RainOnTimeL() { return get("RainOnTimeL"); }
    void setRainOnTimeL(int32_t v) { let("RainOnTimeL", v); }
    double PartCloudyDegCL() { return get("PartCloudyDegCL"); }
    void setPartCloudyDegCL(int32_t v) { let("PartCloudyDegCL", v); }
    double FullCloudyDegCL() { return get("FullCloudyDegCL"); }
    void setFullCloudyDegCL(int32_t v) { let("FullCloudyDegCL", v); }
    double WindMultiplierL() { return get("WindMultiplierL"); }
    void setWindMultiplierL(int32_t v) { let("WindMultiplierL", v); }
    double TPTempOffset() { return get("TPTempOffset"); }
    void setTPTempOffset(double v) { let("TPTempOffset", v); }
    double Thermistor_A() { return get("Thermistor_A"); }
    void setThermistor_A(double v) { let("Thermistor_A", v); }
    double Thermistor_B() { return get("Thermistor_B"); }
    void setThermistor_B(double v) { let("Thermistor_B", v); }
    double Thermistor_C() { return get("Thermistor_C"); }
    void setThermistor_C(double v) { let("Thermistor_C", v); }
    double Joystick_slopeR() { return get("Joystick_slopeR"); }
    void setJoystick_slopeR(double v) { let("Joystick_slopeR", v); }
    double Joystick_interceptR() { return get("Joystick_interceptR"); }
    void setJoystick_interceptR(double v) { let("Joystick_interceptR", v); }
    double ThermistorR_A() { return get("ThermistorR_A"); }
    void setThermistorR_A(double v) { let("ThermistorR_A", v); }
    double ThermistorR_B() { return get("ThermistorR_B"); }
    void setThermistorR_B(double v) { let("ThermistorR_B", v); }
    double ThermistorR_C() { return get("ThermistorR_C"); }
    void setThermistorR_C(double v) { let("ThermistorR_C", v); }
    // The wind average box: whole number 1 to 300 (plain integer text).
    double WindsAvgCnt() { return get("WindsAvgCnt"); }
    void setWindsAvgCnt(int32_t v);

    // Whether the last validating get refused its text. A number typed as
    // -9999 is a value like any other, not a refusal.
    bool lastGetRejected() const { return m_lastGetRejected; }

    bool Absolute() const;
    void setAbsolute(bool v);
    bool Synchronous() const { return checkState(SetupControl::chkSynchronous) == Checked; }
    void setSynchronous(bool v) { setCheckState(SetupControl::chkSynchronous, v ? Checked : Unchecked); }
    bool Centigrade() const { return checkState(SetupControl::chkCentigrade) == Checked; }
    void setCentigrade(bool v) { setCheckState(SetupControl::chkCentigrade, v ? Checked : Unchecked); }
    bool Reverse() const { return checkState(SetupControl::chkReverse) == Checked; }
    void setReverse(bool v) { setCheckState(SetupControl::chkReverse, v ? Checked : Unchecked); }
    bool HalfStep() const { return checkState(SetupControl::chkHalfStep) == Checked; }
    void setHalfStep(bool v) { setCheckState(SetupControl::chkHalfStep, v ? Checked : Unchecked); }

    // Check boxes (0 clear, 1 checked, 2 greyed); setting a new state runs the
    // box's click behaviour.
    int checkState(SetupControl control) const;
    void setCheckState(SetupControl control, int state);
    int GchkEnableSounds() const { return checkState(SetupControl::chkEnableSounds); }
    void LchkEnableSounds(int s) { setCheckState(SetupControl::chkEnableSounds, s); }
    // Text of a text box (file boxes: RainSounds ... RelayApp).
    QString boxText(SetupControl control) const;
    void setBoxText(SetupControl control, const QString &text);
    // The same by control name, for callers that hold a name as text. A name
    // of no control throws std::invalid_argument: it must never read as a
    // clear box or an empty text.
    int checkState(const QString &control) const { return checkState(named(control, true)); }
    void setCheckState(const QString &control, int state) { setCheckState(named(control, true), state); }
    QString boxText(const QString &control) const { return boxText(named(control, false)); }
    void setBoxText(const QString &control, const QString &text) { setBoxText(named(control, false), text); }
    // The widget bound to a control (a QCheckBox or a QLineEdit).
    QWidget *controlWidget(SetupControl control) const { return m_controls[size_t(control)]; }

    // The UploadServices text the services table shows and gives back.
    QString servicesText() const;
    void setServicesText(const QString &text);
    ServicesTable *servicesTable() const { return m_services; }
    // Why OK was refused (empty while it was not); shown in the dialog itself.
    QString connectionsError() const;
    // The MQTT link, the weather data file and the services, from and into settings.
    void setConnections(const Settings &s);
    void readConnections(Settings &s) const;
    // The keys readConnections fills, as saveSetting takes them.
    static const QStringList &connectionKeys();

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
    SetupDialogContext m_context;
    PositionReset m_positionReset;
    double get(const char *property);
    void let(const char *property, double value);
    static SetupControl named(const QString &name, bool checkBox);
    QLineEdit *box(SetupControl control) const;
    QCheckBox *check(SetupControl control) const;

    // Building (setup_dialog_build.cpp)
    void buildControls();
    QLayout *buildBasicPart();
    QGroupBox *buildTemperatureFrame();
    QGroupBox *buildExternalFrame();
    QGroupBox *buildSafetyFrame();
    void buildAdvancedPart();
    void connectHandlers();
    QWidget *buildConnectionsPage();
    QGroupBox *buildMqttFrame();
    QGroupBox *buildDataFileFrame();
    QLayout *withBrowse(SetupControl control, const char *buttonName, bool saveFile);
    void browseFor(SetupControl control, bool saveFile);
    bool refuseConnections(); // true, after showing why, when the connection fields cannot be saved
    void runOnFlags(const std::function<void(Settings &)> &step);
    QString chooseFile(const PickerRequest &request); // empty when cancelled
    QGroupBox *frame(const char *caption);
    void addFormRows(QGroupBox *frame, std::initializer_list<std::pair<SetupControl, const char *>> rows);
    QLineEdit *addBox(SetupControl control);
    QCheckBox *addCheck(SetupControl control, const char *caption);

    void onPickerClicked(SetupControl control);
    void onEnableSoundsClicked();
    void enableSoundBoxes(bool on);
    void onPortChanged(int index);
    void refreshDetectedDevices();
    void loadComPort();
    void savePortChoice();

    bool m_result = false;
    bool m_allowUnload = false;
    bool m_advancedMode = false;
    bool m_lastGetRejected = false;

    std::array<QWidget *, kSetupControlCount> m_controls{};
    QRadioButton *m_optAbsolute = nullptr;
    QRadioButton *m_optRelative = nullptr;
    QComboBox *m_gPort = nullptr;
    QComboBox *m_portDevice = nullptr;
    QPushButton *m_cmdOK = nullptr;
    QPushButton *m_cmdCancel = nullptr;
    QPushButton *m_cmdResetPos = nullptr;
    QPushButton *m_cmdAdvanced = nullptr;
    QLabel *m_driverInfo = nullptr;
    QTabWidget *m_advancedArea = nullptr;
    QWidget *m_connectionsPage = nullptr;
    ServicesTable *m_services = nullptr;
    QLabel *m_connectionsError = nullptr;
    std::unique_ptr<Settings> m_ownFlags; // the flags without running settings to act on
    // Holds every control; scrolls when the dialog is taller than the screen.
    QWidget *m_content = nullptr;
    class QScrollArea *m_scroll = nullptr;

    int m_shownPort = 0;              // port whose device the device box shows
    QMap<int, QString> m_deviceEdits; // device choices not yet confirmed by OK
    QStringList m_failedWrites;       // port choices OK could not save
};
