// The setup dialog's Board page: the temperature compensation and the
// thermistor calibration, the relay thresholds, the wind and cloud control and
// the heater's on time.
#pragma once

#include <QWidget>

class QGroupBox;
class SettingWriter;
class SetupWidgets;
struct Settings;

class SetupBoardPage : public QWidget {
    Q_OBJECT
public:
    SetupBoardPage(SetupWidgets &widgets, QWidget *parent);

    // windNow: the current wind value, shown in the current temperature box.
    void fill(const Settings &s, double windNow);

    // Read back in the stages the OK pass interleaves with the other pages';
    // a stage that can refuse a text returns false at the first refusal.
    void readCentigrade(Settings &s, SettingWriter &write);
    bool readCalibrations(Settings &s, SettingWriter &write);
    bool readDeltaT(Settings &s, SettingWriter &write);
    bool readCompensation(Settings &s, SettingWriter &write);
    // The timers and the thresholds fall back to their defaults instead of being refused.
    void readTimers(Settings &s, SettingWriter &write);
    void readThresholds(Settings &s, SettingWriter &write);
    void readCurrentValue(Settings &s, SettingWriter &write);

private:
    QGroupBox *buildTemperatureFrame();
    void buildBoardFrames();

    SetupWidgets &m_widgets;
};
