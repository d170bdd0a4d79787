#include "windows/setup_basic_page.h"

#include "core/number_format.h"
#include "core/settings.h"
#include "windows/setup_port_choice.h"
#include "windows/setup_read_back.h"
#include "windows/setup_widgets.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLineEdit>
#include <QRadioButton>
#include <QVBoxLayout>

#include <tuple>

using C = SetupControl;

SetupBasicPage::SetupBasicPage(SetupWidgets &widgets, ProfileStore *profile, QWidget *host)
    : QObject(host), m_widgets(widgets), m_host(host)
{
    m_row = new QHBoxLayout;
    m_row->addWidget(buildWindFrame());
    m_row->addWidget(buildTypeFrame());
    m_row->addWidget(buildOptionsFrame());
    m_row->addLayout(buildPortSide(profile));

    // State changes made from code count too, as the window toolkit always has.
    connect(m_optRelative, &QRadioButton::toggled, this, &SetupBasicPage::enablingChanged);
    for (SetupControl c : {C::chkCanStepSize, C::chkCanTemp, C::chkCanTempComp, C::chkSynchronous})
        connect(m_widgets.check(c), &QCheckBox::stateChanged, this, &SetupBasicPage::enablingChanged);
}

QGroupBox *SetupBasicPage::buildWindFrame()
{
    QGroupBox *wind = SetupWidgets::frame("Wind Settings", m_host);
    m_widgets.addFormRows(wind, {{C::WindSpeedCloseDTF, "WindSpeedClose"},
                                 {C::WindSpeedWarnTF, "WindSpeedWarn"},
                                 {C::StepTimeTF, "Multiplier"},
                                 {C::MaxIncTF, "Wind Speed offset"}});
    return wind;
}

QGroupBox *SetupBasicPage::buildTypeFrame()
{
    QGroupBox *type = SetupWidgets::frame("Focuser Type", m_host);
    auto *layout = new QVBoxLayout(type);
    m_optAbsolute = new QRadioButton(QStringLiteral("Absolute"), type);
    m_optAbsolute->setObjectName(QStringLiteral("optType_0"));
    m_optRelative = new QRadioButton(QStringLiteral("Relative"), type);
    m_optRelative->setObjectName(QStringLiteral("optType_1"));
    m_optAbsolute->setChecked(true);
    layout->addWidget(m_optAbsolute);
    layout->addWidget(m_optRelative);
    layout->addWidget(m_widgets.addCheck(C::chkReverse, "Reverse Direc", type));
    layout->addWidget(m_widgets.addCheck(C::chkHalfStep, "Half Step", type));
    return type;
}

QGroupBox *SetupBasicPage::buildOptionsFrame()
{
    QGroupBox *options = SetupWidgets::frame("Options", m_host);
    auto *layout = new QVBoxLayout(options);
    layout->addWidget(m_widgets.addCheck(C::chkCanTemp, "Allow Heater", options));
    layout->addWidget(m_widgets.addCheck(C::chkCanTempComp, "Temperature Compensation", options));
    layout->addWidget(m_widgets.addCheck(C::chkCanHalt, "Halt", options));
    layout->addWidget(m_widgets.addCheck(C::chkCanStepSize, "Step Size", options));
    layout->addWidget(m_widgets.addCheck(C::chkSynchronous, "Appy Backlash on Temp comp", options));
    return options;
}

QLayout *SetupBasicPage::buildPortSide(ProfileStore *profile)
{
    m_port = new SetupPortChoice(profile, m_host);
    auto *portRow = new QFormLayout;
    portRow->addRow(QStringLiteral("Serial Port"), m_port->portBox());
    portRow->addRow(QStringLiteral("Device"), m_port->deviceBox());
    portRow->addRow(QStringLiteral("# wind readings to average"), m_widgets.addBox(C::WindsAvgCnt, m_host));
    // On a narrow screen a field goes under its label rather than off the side.
    portRow->setRowWrapPolicy(QFormLayout::WrapLongRows);

    auto *side = new QVBoxLayout;
    side->addLayout(portRow);
    side->addWidget(m_widgets.addCheck(C::chkAlwaysTop, "Always on Top", m_host));
    side->addWidget(m_widgets.addCheck(C::chkBacklashDir, "Backlash Dir = IN", m_host));
    side->addStretch();
    return side;
}

bool SetupBasicPage::isRelative() const
{
    return m_optRelative->isChecked();
}

void SetupBasicPage::setAbsolute(bool on)
{
    (on ? m_optAbsolute : m_optRelative)->setChecked(true);
}

void SetupBasicPage::fill(const Settings &s)
{
    m_widgets.setValue(C::WindSpeedCloseDTF, s.WindSpeedCloseD);
    m_widgets.setValue(C::StepTimeTF, s.StepTime);
    m_widgets.setValue(C::WindSpeedWarnTF, s.WindSpeedWarn);
    m_widgets.setValue(C::MaxIncTF, s.MaxInc);
    m_widgets.setChecked(C::chkSynchronous, s.Synchronous);
    setAbsolute(s.Absolute);
    m_widgets.setChecked(C::chkReverse, s.Reverse);
    m_widgets.setChecked(C::chkHalfStep, s.HalfStep);
    m_widgets.setChecked(C::chkAlwaysTop, s.AlwaysOnTop);
    m_widgets.setChecked(C::chkCanTempComp, s.CanTempComp);
    m_widgets.setChecked(C::chkCanTemp, s.CanTemp);
    m_widgets.setChecked(C::chkCanStepSize, s.CanStepSize);
    m_widgets.setChecked(C::chkCanHalt, s.CanHalt);
    m_widgets.setChecked(C::chkBacklashDir, s.BacklashDir);
    // Plain integer text, whatever the rule's format.
    m_widgets.setText(C::WindsAvgCnt, QString::number(s.WindsAvgCnt));
}

bool SetupBasicPage::readWindLimits(Settings &s, SettingWriter &write)
{
    // The maximum step falls back to 0 rather than being refused.
    s.WindSpeedCloseD = m_widgets.read(C::WindSpeedCloseDTF);
    write("WindSpeedCloseD");
    using Limit = std::tuple<SetupControl, double Settings::*, const char *>;
    for (const auto &[control, member, key] : {Limit{C::StepTimeTF, &Settings::StepTime, "StepTime"},
                                               Limit{C::WindSpeedWarnTF, &Settings::WindSpeedWarn, "WindSpeedWarn"},
                                               Limit{C::MaxIncTF, &Settings::MaxInc, "MaxInc"}}) {
        double v = 0;
        if (!m_widgets.readAccepted(control, v))
            return false;
        s.*member = v;
        write(key);
    }
    return true;
}

void SetupBasicPage::readFocuserType(Settings &s, SettingWriter &write)
{
    s.Absolute = !isRelative();
    write("Absolute");
    readChecks({{C::chkSynchronous, &Settings::Synchronous, "Synchronous"}}, s, write);
}

void SetupBasicPage::readDirection(Settings &s, SettingWriter &write)
{
    readChecks({{C::chkReverse, &Settings::Reverse, "Reverse"}, {C::chkHalfStep, &Settings::HalfStep, "HalfStep"}}, s,
               write);
}

void SetupBasicPage::readAlwaysOnTop(Settings &s, SettingWriter &write)
{
    readChecks({{C::chkAlwaysTop, &Settings::AlwaysOnTop, "AlwaysOnTop"}}, s, write);
}

void SetupBasicPage::readOptions(Settings &s, SettingWriter &write)
{
    readChecks({{C::chkCanTempComp, &Settings::CanTempComp, "CanTempComp"},
                {C::chkCanTemp, &Settings::CanTemp, "CanTemp"},
                {C::chkCanStepSize, &Settings::CanStepSize, "CanStepSize"},
                {C::chkCanHalt, &Settings::CanHalt, "CanHalt"},
                {C::chkBacklashDir, &Settings::BacklashDir, "BacklashDir"}},
               s, write);
}

void SetupBasicPage::readChecks(std::initializer_list<CheckSetting> checks, Settings &s, SettingWriter &write) const
{
    for (const CheckSetting &c : checks) {
        s.*c.member = m_widgets.isChecked(c.control);
        write(c.key);
    }
}

bool SetupBasicPage::readWindAverage(Settings &s, SettingWriter &write)
{
    double v = 0;
    if (!m_widgets.readAccepted(C::WindsAvgCnt, v))
        return false;
    s.WindsAvgCnt = toInt32(v);
    write("WindsAvgCnt");
    return true;
}
