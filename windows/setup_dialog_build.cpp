// The setup dialog's controls and layout: the basic part (wind, focuser type,
// options, port, buttons) above the advanced part (temperature, board
// thresholds and timers, sounds and programs, safety), and their handlers.
#include "windows/setup_dialog.h"

#include "core/platform.h"
#include "screen/window_system.h"
#include "core/settings.h"
#include "windows/setup_pickers.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFormLayout>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTabWidget>
#include <QToolButton>
#include <QVBoxLayout>

namespace {

const char *const kAscomSite = "https://ascom-standards.org/";
const char *const kMakerSite = "https://www.ascom-alpaca.org/";

using Row = std::pair<SetupControl, const char *>;
using C = SetupControl;

// A logo that opens a web site when clicked.
QToolButton *logo(QWidget *parent, const char *name, const QString &caption, const char *site)
{
    auto *b = new QToolButton(parent);
    b->setObjectName(QLatin1String(name));
    b->setText(caption);
    b->setAutoRaise(true);
    b->setCursor(Qt::PointingHandCursor);
    b->setToolTip(QString::fromLatin1(site));
    QObject::connect(b, &QToolButton::clicked, b, [site] { OpenUrl(QString::fromLatin1(site)); });
    return b;
}

} // namespace

QLineEdit *frmSetup::addBox(SetupControl control)
{
    auto *b = new QLineEdit(this);
    b->setObjectName(setupControlName(control));
    // Wide enough for the longest value its format shows.
    const bool coefficient = b->objectName().startsWith(QLatin1String("Thermistor"));
    b->setMinimumWidth(fontMetrics().horizontalAdvance(coefficient ? QStringLiteral("-0.000000000000")
                                                                   : QStringLiteral("-00000.000"))
                       + 12);
    m_controls[size_t(control)] = b;
    return b;
}

QCheckBox *frmSetup::addCheck(SetupControl control, const char *caption)
{
    auto *c = new QCheckBox(QString::fromLatin1(caption), this);
    c->setObjectName(setupControlName(control));
    m_controls[size_t(control)] = c;
    return c;
}

QGroupBox *frmSetup::frame(const char *caption)
{
    auto *g = new QGroupBox(QString::fromLatin1(caption), this);
    g->setObjectName(QStringLiteral("fme") + QString::fromLatin1(caption).remove(QLatin1Char(' ')));
    return g;
}

void frmSetup::addFormRows(QGroupBox *g, std::initializer_list<Row> rows)
{
    auto *f = new QFormLayout(g);
    for (const auto &[control, label] : rows)
        f->addRow(QString::fromLatin1(label), addBox(control));
}

void frmSetup::buildControls()
{
    QLayout *basic = buildBasicPart();
    m_driverInfo = new QLabel(this);
    m_driverInfo->setObjectName(QStringLiteral("lblDriverInfo"));
    buildAdvancedPart();

    // Controls made with the dialog as parent move into the content as they are laid out.
    m_content = new QWidget;
    m_content->setObjectName(QStringLiteral("setupContent"));
    auto *top = new QVBoxLayout(m_content);
    top->addLayout(basic);
    top->addWidget(m_driverInfo);
    top->addWidget(m_advancedArea);
    top->addStretch();
    connectHandlers();
}

QLayout *frmSetup::buildBasicPart()
{
    QGroupBox *wind = frame("Wind Settings");
    addFormRows(wind, {{C::WindSpeedCloseDTF, "WindSpeedClose"},
                       {C::WindSpeedWarnTF, "WindSpeedWarn"},
                       {C::StepTimeTF, "Multiplier"},
                       {C::MaxIncTF, "Wind Speed offset"}});

    QGroupBox *type = frame("Focuser Type");
    auto *typeLayout = new QVBoxLayout(type);
    m_optAbsolute = new QRadioButton(QStringLiteral("Absolute"), type);
    m_optAbsolute->setObjectName(QStringLiteral("optType_0"));
    m_optRelative = new QRadioButton(QStringLiteral("Relative"), type);
    m_optRelative->setObjectName(QStringLiteral("optType_1"));
    m_optAbsolute->setChecked(true);
    typeLayout->addWidget(m_optAbsolute);
    typeLayout->addWidget(m_optRelative);
    typeLayout->addWidget(addCheck(C::chkReverse, "Reverse Direc"));
    typeLayout->addWidget(addCheck(C::chkHalfStep, "Half Step"));

    QGroupBox *options = frame("Options");
    auto *optionsLayout = new QVBoxLayout(options);
    optionsLayout->addWidget(addCheck(C::chkCanTemp, "Allow Heater"));
    optionsLayout->addWidget(addCheck(C::chkCanTempComp, "Temperature Compensation"));
    optionsLayout->addWidget(addCheck(C::chkCanHalt, "Halt"));
    optionsLayout->addWidget(addCheck(C::chkCanStepSize, "Step Size"));
    optionsLayout->addWidget(addCheck(C::chkSynchronous, "Appy Backlash on Temp comp"));

    auto *portRow = new QFormLayout;
    m_gPort = new QComboBox(this);
    m_gPort->setObjectName(QStringLiteral("gPort"));
    for (int n = 1; n <= 16; ++n)
        m_gPort->addItem(QStringLiteral("COM %1").arg(n));
    portRow->addRow(QStringLiteral("Serial Port"), m_gPort);
    m_portDevice = new QComboBox(this);
    m_portDevice->setObjectName(QStringLiteral("gPortDevice"));
    m_portDevice->setEditable(true);
    m_portDevice->setInsertPolicy(QComboBox::NoInsert);
    m_portDevice->setToolTip(QStringLiteral("The device this port number opens on this computer: "
                                            "choose a detected serial device or type its path"));
    m_portDevice->setMinimumContentsLength(18);
    portRow->addRow(QStringLiteral("Device"), m_portDevice);
    portRow->addRow(QStringLiteral("# wind readings to average"), addBox(C::WindsAvgCnt));
    // On a narrow screen a field goes under its label rather than off the side.
    portRow->setRowWrapPolicy(QFormLayout::WrapLongRows);

    auto *side = new QVBoxLayout;
    side->addLayout(portRow);
    side->addWidget(addCheck(C::chkAlwaysTop, "Always on Top"));
    side->addWidget(addCheck(C::chkBacklashDir, "Backlash Dir = IN"));
    side->addStretch();

    auto *buttons = new QVBoxLayout;
    auto button = [this, buttons](const char *name, const char *caption) {
        auto *b = new QPushButton(QString::fromLatin1(caption), this);
        b->setObjectName(QLatin1String(name));
        b->setAutoDefault(false);
        buttons->addWidget(b);
        return b;
    };
    m_cmdOK = button("cmdOK", "&OK");
    m_cmdOK->setDefault(true);
    m_cmdCancel = button("cmdCancel", "&Cancel");
    m_cmdAdvanced = button("cmdAdvanced", "Advanced >>");
    m_cmdResetPos = button("cmdResetPos", "Reset Position");
    buttons->addStretch();
    buttons->addWidget(logo(this, "picASCOM", QStringLiteral("ASCOM"), kAscomSite));
    buttons->addWidget(logo(this, "picLogo", QStringLiteral("Tarnwick"), kMakerSite));

    auto *basic = new QHBoxLayout;
    basic->addWidget(wind);
    basic->addWidget(type);
    basic->addWidget(options);
    basic->addLayout(side);
    basic->addLayout(buttons);
    return basic;
}

QGroupBox *frmSetup::buildTemperatureFrame()
{
    QGroupBox *temp = frame("Temperature");
    auto *tempGrid = new QGridLayout(temp);
    auto *tempLeft = new QFormLayout;
    for (const auto &[control, label] : std::initializer_list<Row>{{C::TempCurTF, "Current Temperature:"},
                                                                   {C::TempMaxTF, "Delta T"},
                                                                   {C::TempAvgCntTF, "# reading to average"},
                                                                   {C::BacklashCompTF, "Comp backlash:"},
                                                                   {C::TempStepsTF, "Steps / DeltaT:"}})
        tempLeft->addRow(QString::fromLatin1(label), addBox(control));
    tempLeft->addRow(addCheck(C::chkCentigrade, "Centigrade"));
    auto *tempMid = new QFormLayout;
    for (const auto &[control, label] : std::initializer_list<Row>{{C::TPTempHysteresisTF, "Temp Hysteresis"},
                                                                   {C::TPTempOffsetTF, "Temp Offset"},
                                                                   {C::Joystick_slopeRTF, "TP Base count"},
                                                                   {C::Joystick_interceptRTF, "TP Divisor"}})
        tempMid->addRow(QString::fromLatin1(label), addBox(control));
    auto *coeffs = new QGridLayout;
    coeffs->addWidget(new QLabel(QStringLiteral("Steinhart Thermistor Coeficients:"), temp), 0, 0, 1, 2);
    const SetupControl coeffBoxes[] = {C::Thermistor_ATF, C::ThermistorR_ATF, C::Thermistor_BTF,
                                       C::ThermistorR_BTF, C::Thermistor_CTF, C::ThermistorR_CTF};
    for (int i = 0; i < 6; ++i)
        coeffs->addWidget(addBox(coeffBoxes[i]), 1 + i / 2, i % 2);
    tempGrid->addLayout(tempLeft, 0, 0);
    tempGrid->addLayout(tempMid, 0, 1);
    tempGrid->addLayout(coeffs, 0, 2);
    return temp;
}

QGroupBox *frmSetup::buildExternalFrame()
{
    QGroupBox *external = frame("External Control");
    auto *ext = new QGridLayout(external);
    ext->addWidget(addCheck(C::chkEnableSounds, "Enable Sound/App"), 0, 0);
    ext->addWidget(addCheck(C::chkRepeatSounds, "Repeat Sounds"), 0, 1);
    ext->addWidget(addCheck(C::chkRepeatApp, "Repeat App"), 0, 2);
    for (int i = 0; i < int(setupPickers().size()); ++i) {
        const PickerDef &p = setupPickers()[size_t(i)];
        const int row = 1 + (i < 4 ? i : i - 4);
        const int col = i < 4 ? 0 : 2;
        ext->addWidget(addCheck(p.check, p.caption), row, col);
        QLineEdit *file = addBox(p.fileBox);
        file->setEnabled(false);
        file->setMinimumWidth(180);
        ext->addWidget(file, row, col + 1);
    }
    check(C::chkRepeatSounds)->setToolTip(QStringLiteral("Allow repeating sound every time criteria met"));
    return external;
}

// The safety monitor that observatory software asks "is it safe?", beside
// the alerts so the dialog stays within a small screen's height.
QGroupBox *frmSetup::buildSafetyFrame()
{
    QGroupBox *safety = frame("Safety");
    auto *safetyForm = new QFormLayout(safety);
    safetyForm->addRow(QStringLiteral("Safe again after (min)"), addBox(C::SafeDelayMinutes));
    safetyForm->addRow(QStringLiteral("Board stale after (s)"), addBox(C::StaleAfterSeconds));
    safetyForm->addRow(addCheck(C::chkUnsafeWhenPartlyCloudy, "Unsafe when partly cloudy"));
    safetyForm->addRow(addCheck(C::chkUnsafeWhenOvercast, "Unsafe when overcast"));
    safetyForm->addRow(addCheck(C::chkUnsafeInDaylight, "Unsafe in daylight"));
    safetyForm->addRow(QStringLiteral("Unsafe program"), addBox(C::UnsafeProgram));
    safetyForm->addRow(QStringLiteral("Safe program"), addBox(C::SafeProgram));
    return safety;
}

namespace {
// One group on a page of its own, at the page's top.
QWidget *pageOf(QGroupBox *group, const char *name)
{
    auto *page = new QWidget;
    page->setObjectName(QString::fromLatin1(name));
    auto *layout = new QVBoxLayout(page);
    layout->addWidget(group);
    layout->addStretch();
    return page;
}
} // namespace

void frmSetup::buildAdvancedPart()
{
    // Pages, so the dialog stays within a 1024 x 768 screen: the board, its
    // alerts (sounds and programs), the safety monitor, and the links to other
    // programs and services.
    m_advancedArea = new QTabWidget(this);
    m_advancedArea->setObjectName(QStringLiteral("advancedArea"));
    auto *boardPage = new QWidget(m_advancedArea);
    boardPage->setObjectName(QStringLiteral("boardPage"));
    auto *adv = new QGridLayout(boardPage);

    QGroupBox *relay = frame("Thresholds For Relay");
    addFormRows(relay, {{C::RainThresh, "Rain Threshhold"}, {C::WindThresh, "Wind Threshold"},
                        {C::LightThresh, "Light Threshold"}});
    QGroupBox *windControl = frame("Wind Control");
    addFormRows(windControl, {{C::WindTimer, "Wind Timer"}, {C::WindMultiplier, "Wind Multiplier"}});
    QGroupBox *cloud = frame("Cloud Control");
    addFormRows(cloud, {{C::PartCloudyDegC, "PartCloudy(degC)"}, {C::FullCloudyDegC, "FullCloudy(degC)"}});
    QGroupBox *heater = frame("Heater Hysteresis");
    addFormRows(heater, {{C::RainOnTime, "Heater on Time"}});

    adv->addWidget(buildTemperatureFrame(), 0, 0, 1, 4);
    adv->addWidget(relay, 1, 0);
    adv->addWidget(windControl, 1, 1);
    adv->addWidget(cloud, 1, 2);
    adv->addWidget(heater, 1, 3);
    m_advancedArea->addTab(boardPage, QStringLiteral("Board"));
    m_advancedArea->addTab(pageOf(buildExternalFrame(), "alertsPage"), QStringLiteral("Alerts"));
    m_advancedArea->addTab(pageOf(buildSafetyFrame(), "safetyPage"), QStringLiteral("Safety"));
    m_advancedArea->addTab(buildConnectionsPage(), QStringLiteral("Connections"));

    // What the board, the compensation and the safety monitor do with each value.
    for (const auto &[control, tip] : std::initializer_list<Row>{
             {C::RainThresh, "When rain counter > this then signal rain, default = 400"},
             {C::LightThresh, "When light threshold > this then signal daylight"},
             {C::WindThresh, "When wind count > this then signal wind"},
             {C::TPTempOffsetTF, "Add to AMB for heater target temp 0.0 - 9.9"},
             {C::TPTempHysteresisTF, "Hysteresis for heater temp changes"},
             {C::WindTimer, "# clock ticks to count wind for, 122 = 1 second"},
             {C::WindMultiplier, "Multiply this by WindTimer to get total time to count wind for"},
             {C::TempMaxTF, "Do temp comp if temp changes by this amount"},
             {C::SafeDelayMinutes, "Unsafe turns at once; safe only after the weather stayed safe this long"},
             {C::UnsafeProgram, "Command line started when the monitor turns unsafe, e.g. to close the roof"},
             {C::SafeProgram, "Command line started when the monitor turns safe again"}})
        box(control)->setToolTip(QString::fromLatin1(tip));
}

void frmSetup::connectHandlers()
{
    // State changes made from code run them too, as the window toolkit always has.
    connect(m_cmdOK, &QPushButton::clicked, this, &frmSetup::cmdOK_Click);
    connect(m_cmdCancel, &QPushButton::clicked, this, &frmSetup::cmdCancel_Click);
    connect(m_cmdAdvanced, &QPushButton::clicked, this, &frmSetup::cmdAdvanced_Click);
    connect(m_cmdResetPos, &QPushButton::clicked, this, &frmSetup::cmdResetPos_Click);
    connect(m_optRelative, &QRadioButton::toggled, this, &frmSetup::UpdateEnabledControls);
    for (SetupControl c : {C::chkCanStepSize, C::chkCanTemp, C::chkCanTempComp, C::chkSynchronous})
        connect(check(c), &QCheckBox::stateChanged, this, &frmSetup::UpdateEnabledControls);
    for (const PickerDef &p : setupPickers()) {
        const SetupControl c = p.check;
        connect(check(c), &QCheckBox::stateChanged, this, [this, c] { onPickerClicked(c); });
    }
    connect(check(C::chkEnableSounds), &QCheckBox::stateChanged, this, &frmSetup::onEnableSoundsClicked);
    connect(check(C::chkRepeatSounds), &QCheckBox::stateChanged, this, [this] {
        const int32_t on = checkState(C::chkRepeatSounds) == Checked ? 1 : 0;
        runOnFlags([on](Settings &s) { s.g_bchkRepeatSounds = on; });
    });
    connect(check(C::chkRepeatApp), &QCheckBox::stateChanged, this, [this] {
        const int32_t on = checkState(C::chkRepeatApp) == Checked ? 1 : 0;
        runOnFlags([on](Settings &s) { s.g_bchkRepeatApp = on; });
    });
    connect(m_gPort, &QComboBox::currentIndexChanged, this, &frmSetup::onPortChanged);
    // The sound boxes start as the switch shows; loading must not touch the
    // stored flag, which the setup procedure puts into the switch later.
    enableSoundBoxes(checkState(C::chkEnableSounds) == Checked);
}
