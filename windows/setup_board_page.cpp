#include "windows/setup_board_page.h"

#include "core/number_format.h"
#include "core/settings.h"
#include "windows/setup_read_back.h"
#include "windows/setup_widgets.h"

#include <QCheckBox>
#include <QFormLayout>
#include <QGridLayout>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>

using C = SetupControl;

namespace {

// A validating box and the setting it holds.
struct Calibration {
    SetupControl control;
    double Settings::*member;
    const char *key;
};

// In the order they are read back.
const Calibration kCalibrations[] = {
    {C::TPTempHysteresisTF, &Settings::TPTempHysteresis, "TPTempHysteresis"},
    {C::Joystick_slopeRTF, &Settings::Joystick_slopeR, "Joystick_slopeR"},
    {C::TPTempOffsetTF, &Settings::TPTempOffset, "TPTempOffset"},
    {C::Joystick_interceptRTF, &Settings::Joystick_interceptR, "Joystick_interceptR"},
    {C::Thermistor_ATF, &Settings::Thermistor_A, "Thermistor_A"},
    {C::Thermistor_BTF, &Settings::Thermistor_B, "Thermistor_B"},
    {C::Thermistor_CTF, &Settings::Thermistor_C, "Thermistor_C"},
    {C::ThermistorR_ATF, &Settings::ThermistorR_A, "ThermistorR_A"},
    {C::ThermistorR_BTF, &Settings::ThermistorR_B, "ThermistorR_B"},
    {C::ThermistorR_CTF, &Settings::ThermistorR_C, "ThermistorR_C"},
};

} // namespace

SetupBoardPage::SetupBoardPage(SetupWidgets &widgets, QWidget *parent) : QWidget(parent), m_widgets(widgets)
{
    setObjectName(QStringLiteral("boardPage"));
    buildBoardFrames();
    // What the board, the compensation and the heater do with each value.
    m_widgets.setToolTips({
        {C::RainThresh, "When rain counter > this then signal rain, default = 400"},
        {C::LightThresh, "When light threshold > this then signal daylight"},
        {C::WindThresh, "When wind count > this then signal wind"},
        {C::TPTempOffsetTF, "Add to AMB for heater target temp 0.0 - 9.9"},
        {C::TPTempHysteresisTF, "Hysteresis for heater temp changes"},
        {C::WindTimer, "# clock ticks to count wind for, 122 = 1 second"},
        {C::WindMultiplier, "Multiply this by WindTimer to get total time to count wind for"},
        {C::TempMaxTF, "Do temp comp if temp changes by this amount"},
    });
}

void SetupBoardPage::buildBoardFrames()
{
    auto *grid = new QGridLayout(this);
    QGroupBox *relay = SetupWidgets::frame("Thresholds For Relay", this);
    m_widgets.addFormRows(relay, {{C::RainThresh, "Rain Threshhold"}, {C::WindThresh, "Wind Threshold"},
                                  {C::LightThresh, "Light Threshold"}});
    QGroupBox *windControl = SetupWidgets::frame("Wind Control", this);
    m_widgets.addFormRows(windControl, {{C::WindTimer, "Wind Timer"}, {C::WindMultiplier, "Wind Multiplier"}});
    QGroupBox *cloud = SetupWidgets::frame("Cloud Control", this);
    m_widgets.addFormRows(cloud, {{C::PartCloudyDegC, "PartCloudy(degC)"}, {C::FullCloudyDegC, "FullCloudy(degC)"}});
    QGroupBox *heater = SetupWidgets::frame("Heater Hysteresis", this);
    m_widgets.addFormRows(heater, {{C::RainOnTime, "Heater on Time"}});

    grid->addWidget(buildTemperatureFrame(), 0, 0, 1, 4);
    grid->addWidget(relay, 1, 0);
    grid->addWidget(windControl, 1, 1);
    grid->addWidget(cloud, 1, 2);
    grid->addWidget(heater, 1, 3);
}

QGroupBox *SetupBoardPage::buildTemperatureFrame()
{
    QGroupBox *temp = SetupWidgets::frame("Temperature", this);
    auto *tempGrid = new QGridLayout(temp);
    auto *tempLeft = new QFormLayout;
    for (const auto &[control, label] : {SetupWidgets::Row{C::TempCurTF, "Current Temperature:"},
                                         SetupWidgets::Row{C::TempMaxTF, "Delta T"},
                                         SetupWidgets::Row{C::TempAvgCntTF, "# reading to average"},
                                         SetupWidgets::Row{C::BacklashCompTF, "Comp backlash:"},
                                         SetupWidgets::Row{C::TempStepsTF, "Steps / DeltaT:"}})
        tempLeft->addRow(QString::fromLatin1(label), m_widgets.addBox(control, temp));
    tempLeft->addRow(m_widgets.addCheck(C::chkCentigrade, "Centigrade", temp));
    auto *tempMid = new QFormLayout;
    for (const auto &[control, label] : {SetupWidgets::Row{C::TPTempHysteresisTF, "Temp Hysteresis"},
                                         SetupWidgets::Row{C::TPTempOffsetTF, "Temp Offset"},
                                         SetupWidgets::Row{C::Joystick_slopeRTF, "TP Base count"},
                                         SetupWidgets::Row{C::Joystick_interceptRTF, "TP Divisor"}})
        tempMid->addRow(QString::fromLatin1(label), m_widgets.addBox(control, temp));
    auto *coeffs = new QGridLayout;
    coeffs->addWidget(new QLabel(QStringLiteral("Steinhart Thermistor Coeficients:"), temp), 0, 0, 1, 2);
    const SetupControl coeffBoxes[] = {C::Thermistor_ATF, C::ThermistorR_ATF, C::Thermistor_BTF,
                                       C::ThermistorR_BTF, C::Thermistor_CTF, C::ThermistorR_CTF};
    for (int i = 0; i < 6; ++i)
        coeffs->addWidget(m_widgets.addBox(coeffBoxes[i], temp), 1 + i / 2, i % 2);
    tempGrid->addLayout(tempLeft, 0, 0);
    tempGrid->addLayout(tempMid, 0, 1);
    tempGrid->addLayout(coeffs, 0, 2);
    return temp;
}

void SetupBoardPage::fill(const Settings &s, double windNow)
{
    m_widgets.setChecked(C::chkCentigrade, s.Centigrade);
    for (const Calibration &c : kCalibrations)
        m_widgets.setValue(c.control, s.*c.member);
    m_widgets.setValue(C::WindThresh, s.WindThreshold);
    m_widgets.setValue(C::LightThresh, s.LightThreshold);
    m_widgets.setValue(C::RainThresh, s.RainThreshold);
    m_widgets.setValue(C::WindTimer, s.WindTimer);
    m_widgets.setValue(C::WindMultiplier, s.WindMultiplier);
    m_widgets.setValue(C::PartCloudyDegC, s.PartCloudyDegC);
    m_widgets.setValue(C::FullCloudyDegC, s.FullCloudyDegC);
    m_widgets.setValue(C::RainOnTime, s.RainOnTime);
    m_widgets.setValue(C::TempCurTF, windNow); // the current wind value, not Temp
    m_widgets.setValue(C::TempMaxTF, s.TempMax);
    m_widgets.setValue(C::TempAvgCntTF, s.TempsAvgCount);
    m_widgets.setValue(C::BacklashCompTF, s.BacklashComp);
    m_widgets.setValue(C::TempStepsTF, s.TempSteps);
}

void SetupBoardPage::readCentigrade(Settings &s, SettingWriter &write)
{
    s.Centigrade = m_widgets.isChecked(C::chkCentigrade);
    write("Centigrade");
}

bool SetupBoardPage::readCalibrations(Settings &s, SettingWriter &write)
{
    // All are read before any is written: a refusal writes none of them.
    for (const Calibration &c : kCalibrations) {
        double v = 0;
        if (!m_widgets.readAccepted(c.control, v))
            return false;
        s.*c.member = v;
    }
    for (const Calibration &c : kCalibrations)
        write(c.key);
    return true;
}

bool SetupBoardPage::readDeltaT(Settings &s, SettingWriter &write)
{
    double v = 0;
    if (!m_widgets.readAccepted(C::TempMaxTF, v))
        return false;
    s.TempMax = v;
    write("TempMax");
    return true;
}

bool SetupBoardPage::readCompensation(Settings &s, SettingWriter &write)
{
    double v = 0;
    if (!m_widgets.readAccepted(C::BacklashCompTF, v))
        return false;
    s.BacklashComp = toInt32(v);
    write.readOnly("BacklashComp");
    if (!m_widgets.readAccepted(C::TempAvgCntTF, v))
        return false;
    s.TempsAvgCount = toInt32(v);
    write("TempsAvgCount");
    write("BacklashComp");
    if (!m_widgets.readAccepted(C::TempStepsTF, v))
        return false;
    s.TempSteps = toInt32(v);
    write("TempSteps");
    return true;
}

void SetupBoardPage::readTimers(Settings &s, SettingWriter &write)
{
    s.WindMultiplier = toInt32(m_widgets.read(C::WindMultiplier));
    s.WindTimer = toInt32(m_widgets.read(C::WindTimer));
    s.RainOnTime = toInt32(m_widgets.read(C::RainOnTime));
    s.PartCloudyDegC = toInt32(m_widgets.read(C::PartCloudyDegC));
    s.FullCloudyDegC = toInt32(m_widgets.read(C::FullCloudyDegC));
    for (const char *key : {"WindTimer", "RainOnTime", "WindMultiplier", "PartCloudyDegC", "FullCloudyDegC"})
        write(key);
}

void SetupBoardPage::readThresholds(Settings &s, SettingWriter &write)
{
    s.RainThreshold = toInt32(m_widgets.read(C::RainThresh));
    s.WindThreshold = toInt32(m_widgets.read(C::WindThresh));
    s.LightThreshold = toInt32(m_widgets.read(C::LightThresh));
    for (const char *key : {"RainThreshold", "WindThreshold", "LightThreshold"})
        write(key);
}

void SetupBoardPage::readCurrentValue(Settings &s, SettingWriter &write)
{
    // A refused text is kept as the rejection value, without showing the dialog again.
    s.Temp = m_widgets.read(C::TempCurTF);
    write.readOnly("Temp");
}
