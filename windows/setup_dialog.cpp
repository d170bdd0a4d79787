// The setup dialog's window: builds the controls, runs their handlers and
// exposes the validating properties. Rules live in setup_fields.
#include "windows/setup_dialog.h"

#include "core/messages.h"
#include "core/number_format.h"
#include "core/platform.h"
#include "screen/window_system.h"
#include "screen/screen_fit.h"
#include "core/port_mapping.h"
#include "core/profile_store.h"
#include "core/program.h"
#include "windows/mm_control.h"

#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QFileDialog>
#include <QFormLayout>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSerialPortInfo>
#include <QToolButton>
#include <QScrollArea>
#include <QScrollBar>
#include <QVBoxLayout>

#include <algorithm>

namespace {

const char *const kAscomSite = "https://ascom-standards.org/";
const char *const kMakerSite = "https://www.ascom-alpaca.org/";

// The nine pickers: check box, file box, flag and kind.
struct PickerDef {
    const char *check;
    const char *fileBox;
    int32_t Settings::*flag;
    PickerKind kind;
};
const PickerDef kPickers[] = {
    {"chkRainSounds", "RainSounds", &Settings::g_bchkRainSounds, PickerKind::Sound},
    {"chkWindSounds", "WindSounds", &Settings::g_bchkWindSounds, PickerKind::Sound},
    {"chkLightSounds", "LightSounds", &Settings::g_bchkLightSounds, PickerKind::Sound},
    {"chkCloudSounds", "CloudSounds", &Settings::g_bchkCloudSounds, PickerKind::Sound},
    {"chkRainApp", "RainApp", &Settings::g_bchkRainApp, PickerKind::Program},
    {"chkWindApp", "WindApp", &Settings::g_bchkWindApp, PickerKind::Program},
    {"chkLightApp", "LightApp", &Settings::g_bchkLightApp, PickerKind::Program},
    {"chkCloudApp", "CloudApp", &Settings::g_bchkCloudApp, PickerKind::Program},
    {"chkRelayApp", "RelayApp", &Settings::g_bchkRelayApp, PickerKind::Program},
};

int toProgramState(Qt::CheckState s)
{
    return s == Qt::Checked ? Checked : s == Qt::PartiallyChecked ? Greyed : Unchecked;
}
Qt::CheckState toQtState(int s)
{
    return s == Checked ? Qt::Checked : s == Greyed ? Qt::PartiallyChecked : Qt::Unchecked;
}

QString realFilePicker(const PickerRequest &request, QWidget *parent)
{
    if (prog().headless)
        return QString(); // nobody to answer: cancelled
    QFileDialog dialog(parent, QString(), request.initialFolder);
    dialog.setFileMode(QFileDialog::ExistingFile);
    dialog.setNameFilters(request.nameFilters);
    if (request.selectedFilter >= 0 && request.selectedFilter < request.nameFilters.size())
        dialog.selectNameFilter(request.nameFilters[request.selectedFilter]);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return QString();
    return dialog.selectedFiles().constFirst();
}

FilePickerHandler &pickerHandler()
{
    static FilePickerHandler h;
    return h;
}

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

FilePickerHandler setFilePickerHandler(FilePickerHandler handler)
{
    FilePickerHandler old = std::move(pickerHandler());
    pickerHandler() = std::move(handler);
    return old;
}

frmSetup::frmSetup(QWidget *parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("frmSetup"));
    setWindowTitle(QStringLiteral("Wind and Rain Setup"));
    MMControl1 = new MMControl(this);
    MMControl1->setObjectName(QStringLiteral("MMControl1"));
    buildControls();
    m_scroll = new QScrollArea(this);
    m_scroll->setObjectName(QStringLiteral("setupScroll"));
    m_scroll->setFrameShape(QFrame::NoFrame);
    m_scroll->setWidgetResizable(true);
    m_scroll->setWidget(m_content);
    auto *outer = new QVBoxLayout(this);
    outer->setContentsMargins(0, 0, 0, 0);
    outer->addWidget(m_scroll);

    // Load step
    SetTopMost(this, true);
    m_allowUnload = true;
    m_driverInfo->setText(driverInfoText());
    UpdateEnabledControls();
    loadComPort();
    setAdvancedMode(false);
}

frmSetup::~frmSetup() = default;

QLineEdit *frmSetup::addBox(const char *control)
{
    auto *b = new QLineEdit(this);
    b->setObjectName(QLatin1String(control));
    // Wide enough for the longest value its format shows.
    const bool coefficient = QByteArray(control).startsWith("Thermistor");
    b->setMinimumWidth(fontMetrics().horizontalAdvance(coefficient ? QStringLiteral("-0.000000000000")
                                                                   : QStringLiteral("-00000.000"))
                       + 12);
    m_boxes.insert(QLatin1String(control), b);
    return b;
}

QCheckBox *frmSetup::addCheck(const char *control, const char *caption)
{
    auto *c = new QCheckBox(QString::fromLatin1(caption), this);
    c->setObjectName(QLatin1String(control));
    m_checks.insert(QLatin1String(control), c);
    return c;
}

void frmSetup::buildControls()
{
    auto frame = [this](const char *caption) {
        auto *g = new QGroupBox(QString::fromLatin1(caption), this);
        g->setObjectName(QStringLiteral("fme") + QString::fromLatin1(caption).remove(QLatin1Char(' ')));
        return g;
    };
    auto form = [this](QGroupBox *g, std::initializer_list<std::pair<const char *, const char *>> rows) {
        auto *f = new QFormLayout(g);
        for (const auto &[control, label] : rows)
            f->addRow(QString::fromLatin1(label), addBox(control));
        return f;
    };

    // Basic part
    QGroupBox *wind = frame("Wind Settings");
    form(wind, {{"WindSpeedCloseDTF", "WindSpeedClose"},
                {"WindSpeedWarnTF", "WindSpeedWarn"},
                {"StepTimeTF", "Multiplier"},
                {"MaxIncTF", "Wind Speed offset"}});

    QGroupBox *type = frame("Focuser Type");
    auto *typeLayout = new QVBoxLayout(type);
    m_optAbsolute = new QRadioButton(QStringLiteral("Absolute"), type);
    m_optAbsolute->setObjectName(QStringLiteral("optType_0"));
    m_optRelative = new QRadioButton(QStringLiteral("Relative"), type);
    m_optRelative->setObjectName(QStringLiteral("optType_1"));
    m_optAbsolute->setChecked(true);
    typeLayout->addWidget(m_optAbsolute);
    typeLayout->addWidget(m_optRelative);
    typeLayout->addWidget(addCheck("chkReverse", "Reverse Direc"));
    typeLayout->addWidget(addCheck("chkHalfStep", "Half Step"));

    QGroupBox *options = frame("Options");
    auto *optionsLayout = new QVBoxLayout(options);
    optionsLayout->addWidget(addCheck("chkCanTemp", "Allow Heater"));
    optionsLayout->addWidget(addCheck("chkCanTempComp", "Temperature Compensation"));
    optionsLayout->addWidget(addCheck("chkCanHalt", "Halt"));
    optionsLayout->addWidget(addCheck("chkCanStepSize", "Step Size"));
    optionsLayout->addWidget(addCheck("chkSynchronous", "Appy Backlash on Temp comp"));

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
    portRow->addRow(QStringLiteral("# wind readings to average"), addBox("WindsAvgCnt"));

    auto *side = new QVBoxLayout;
    side->addLayout(portRow);
    side->addWidget(addCheck("chkAlwaysTop", "Always on Top"));
    side->addWidget(addCheck("chkBacklashDir", "Backlash Dir = IN"));
    side->addStretch();

    auto *buttons = new QVBoxLayout;
    auto button = [this, buttons](const char *name, const char *caption) {
        auto *b = new QPushButton(QString::fromLatin1(caption), this);
        b->setObjectName(QLatin1String(name));
        b->setAutoDefault(false);
        buttons->addWidget(b);
        return b;
    };
    QPushButton *ok = button("cmdOK", "&OK");
    ok->setDefault(true);
    QPushButton *cancel = button("cmdCancel", "&Cancel");
    m_cmdAdvanced = button("cmdAdvanced", "Advanced >>");
    QPushButton *resetPos = button("cmdResetPos", "Reset Position");
    buttons->addStretch();
    buttons->addWidget(logo(this, "picASCOM", QStringLiteral("ASCOM"), kAscomSite));
    buttons->addWidget(logo(this, "picLogo", QStringLiteral("Tarnwick"), kMakerSite));

    auto *basic = new QHBoxLayout;
    basic->addWidget(wind);
    basic->addWidget(type);
    basic->addWidget(options);
    basic->addLayout(side);
    basic->addLayout(buttons);

    m_driverInfo = new QLabel(this);
    m_driverInfo->setObjectName(QStringLiteral("lblDriverInfo"));

    // Advanced part, below the basic height
    m_advancedArea = new QWidget(this);
    m_advancedArea->setObjectName(QStringLiteral("advancedArea"));
    auto *adv = new QGridLayout(m_advancedArea);
    adv->setContentsMargins(0, 0, 0, 0);

    QGroupBox *temp = frame("Temperature");
    auto *tempGrid = new QGridLayout(temp);
    auto *tempLeft = new QFormLayout;
    for (const auto &[control, label] : std::initializer_list<std::pair<const char *, const char *>>{
             {"TempCurTF", "Current Temperature:"}, {"TempMaxTF", "Delta T"},
             {"TempAvgCntTF", "# reading to average"}, {"BacklashCompTF", "Comp backlash:"},
             {"TempStepsTF", "Steps / DeltaT:"}})
        tempLeft->addRow(QString::fromLatin1(label), addBox(control));
    tempLeft->addRow(addCheck("chkCentigrade", "Centigrade"));
    auto *tempMid = new QFormLayout;
    for (const auto &[control, label] : std::initializer_list<std::pair<const char *, const char *>>{
             {"TPTempHysteresisTF", "Temp Hysteresis"}, {"TPTempOffsetTF", "Temp Offset"},
             {"Joystick_slopeRTF", "TP Base count"}, {"Joystick_interceptRTF", "TP Divisor"}})
        tempMid->addRow(QString::fromLatin1(label), addBox(control));
    auto *coeffs = new QGridLayout;
    coeffs->addWidget(new QLabel(QStringLiteral("Steinhart Thermistor Coeficients:"), temp), 0, 0, 1, 2);
    const char *coeffBoxes[] = {"Thermistor_ATF", "ThermistorR_ATF", "Thermistor_BTF",
                                "ThermistorR_BTF", "Thermistor_CTF", "ThermistorR_CTF"};
    for (int i = 0; i < 6; ++i)
        coeffs->addWidget(addBox(coeffBoxes[i]), 1 + i / 2, i % 2);
    tempGrid->addLayout(tempLeft, 0, 0);
    tempGrid->addLayout(tempMid, 0, 1);
    tempGrid->addLayout(coeffs, 0, 2);

    QGroupBox *relay = frame("Thresholds For Relay");
    form(relay, {{"RainThresh", "Rain Threshhold"}, {"WindThresh", "Wind Threshold"}, {"LightThresh", "Light Threshold"}});
    QGroupBox *windControl = frame("Wind Control");
    form(windControl, {{"WindTimer", "Wind Timer"}, {"WindMultiplier", "Wind Multiplier"}});
    QGroupBox *cloud = frame("Cloud Control");
    form(cloud, {{"PartCloudyDegC", "PartCloudy(degC)"}, {"FullCloudyDegC", "FullCloudy(degC)"}});
    QGroupBox *heater = frame("Heater Hysteresis");
    form(heater, {{"RainOnTime", "Heater on Time"}});

    QGroupBox *external = frame("External Control");
    auto *ext = new QGridLayout(external);
    ext->addWidget(addCheck("chkEnableSounds", "Enable Sound/App"), 0, 0);
    ext->addWidget(addCheck("chkRepeatSounds", "Repeat Sounds"), 0, 1);
    ext->addWidget(addCheck("chkRepeatApp", "Repeat App"), 0, 2);
    const char *captions[] = {"Rain Sound", "Wind Sound", "Light Sound", "Cloud Sound", "Rain App",
                              "WindApp",    "Light App",  "CloudApp",    "RelayApp"};
    for (int i = 0; i < 9; ++i) {
        const PickerDef &p = kPickers[i];
        const int row = 1 + (i < 4 ? i : i - 4);
        const int col = i < 4 ? 0 : 2;
        ext->addWidget(addCheck(p.check, captions[i]), row, col);
        QLineEdit *file = addBox(p.fileBox);
        file->setEnabled(false);
        file->setMinimumWidth(180);
        ext->addWidget(file, row, col + 1);
    }
    m_checks.value(QStringLiteral("chkRepeatSounds"))->setToolTip(
        QStringLiteral("Allow repeating sound every time criteria met"));
    // What the board and the compensation do with each value.
    for (const auto &[control, tip] : std::initializer_list<std::pair<const char *, const char *>>{
             {"RainThresh", "When rain counter > this then signal rain, default = 400"},
             {"LightThresh", "When light threshold > this then signal daylight"},
             {"WindThresh", "When wind count > this then signal wind"},
             {"TPTempOffsetTF", "Add to AMB for heater target temp 0.0 - 9.9"},
             {"TPTempHysteresisTF", "Hysteresis for heater temp changes"},
             {"WindTimer", "# clock ticks to count wind for, 122 = 1 second"},
             {"WindMultiplier", "Multiply this by WindTimer to get total time to count wind for"},
             {"TempMaxTF", "Do temp comp if temp changes by this amount"}})
        m_boxes.value(QLatin1String(control))->setToolTip(QString::fromLatin1(tip));

    adv->addWidget(temp, 0, 0, 1, 4);
    adv->addWidget(relay, 1, 0);
    adv->addWidget(windControl, 1, 1);
    adv->addWidget(cloud, 1, 2);
    adv->addWidget(heater, 1, 3);
    // The safety monitor that observatory software asks "is it safe?", beside
    // the alerts so the dialog stays within a small screen's height.
    QGroupBox *safety = frame("Safety");
    auto *safetyForm = new QFormLayout(safety);
    safetyForm->addRow(QStringLiteral("Safe again after (min)"), addBox("SafeDelayMinutes"));
    safetyForm->addRow(QStringLiteral("Board stale after (s)"), addBox("StaleAfterSeconds"));
    safetyForm->addRow(addCheck("chkUnsafeWhenPartlyCloudy", "Unsafe when partly cloudy"));
    safetyForm->addRow(addCheck("chkUnsafeWhenOvercast", "Unsafe when overcast"));
    safetyForm->addRow(addCheck("chkUnsafeInDaylight", "Unsafe in daylight"));
    safetyForm->addRow(QStringLiteral("Unsafe program"), addBox("UnsafeProgram"));
    safetyForm->addRow(QStringLiteral("Safe program"), addBox("SafeProgram"));
    m_boxes.value(QStringLiteral("SafeDelayMinutes"))
        ->setToolTip(QStringLiteral("Unsafe turns at once; safe only after the weather stayed safe this long"));
    m_boxes.value(QStringLiteral("UnsafeProgram"))
        ->setToolTip(QStringLiteral("Command line started when the monitor turns unsafe, e.g. to close the roof"));
    m_boxes.value(QStringLiteral("SafeProgram"))
        ->setToolTip(QStringLiteral("Command line started when the monitor turns safe again"));

    adv->addWidget(external, 2, 0, 1, 3);
    adv->addWidget(safety, 2, 3);

    // Controls made with the dialog as parent move into the content as they are laid out.
    m_content = new QWidget;
    m_content->setObjectName(QStringLiteral("setupContent"));
    auto *top = new QVBoxLayout(m_content);
    top->addLayout(basic);
    top->addWidget(m_driverInfo);
    top->addWidget(m_advancedArea);
    top->addStretch();

    // Handlers. State changes made from code run them too, as the window toolkit always has.
    connect(ok, &QPushButton::clicked, this, &frmSetup::cmdOK_Click);
    connect(cancel, &QPushButton::clicked, this, &frmSetup::cmdCancel_Click);
    connect(m_cmdAdvanced, &QPushButton::clicked, this, &frmSetup::cmdAdvanced_Click);
    connect(resetPos, &QPushButton::clicked, this, &frmSetup::cmdResetPos_Click);
    connect(m_optRelative, &QRadioButton::toggled, this, &frmSetup::UpdateEnabledControls);
    for (const char *name : {"chkCanStepSize", "chkCanTemp", "chkCanTempComp", "chkSynchronous"})
        connect(check(QLatin1String(name)), &QCheckBox::stateChanged, this, &frmSetup::UpdateEnabledControls);
    for (const PickerDef &p : kPickers) {
        const QString name = QLatin1String(p.check);
        connect(check(name), &QCheckBox::stateChanged, this, [this, name] { onPickerClicked(name); });
    }
    connect(check(QStringLiteral("chkEnableSounds")), &QCheckBox::stateChanged, this, &frmSetup::onEnableSoundsClicked);
    connect(check(QStringLiteral("chkRepeatSounds")), &QCheckBox::stateChanged, this, [this] {
        prog().settings.g_bchkRepeatSounds = checkState(QStringLiteral("chkRepeatSounds")) == Checked ? 1 : 0;
    });
    connect(check(QStringLiteral("chkRepeatApp")), &QCheckBox::stateChanged, this, [this] {
        prog().settings.g_bchkRepeatApp = checkState(QStringLiteral("chkRepeatApp")) == Checked ? 1 : 0;
    });
    connect(m_gPort, &QComboBox::currentIndexChanged, this, &frmSetup::onPortChanged);
    // The sound boxes start as the switch shows; loading must not touch the
    // stored flag, which the setup procedure puts into the switch later.
    enableSoundBoxes(checkState(QStringLiteral("chkEnableSounds")) == Checked);
}

QLineEdit *frmSetup::box(const QString &control) const
{
    QLineEdit *b = m_boxes.value(control);
    if (!b)
        qWarning("frmSetup has no text box %s", qPrintable(control));
    return b;
}

QCheckBox *frmSetup::check(const QString &control) const
{
    QCheckBox *c = m_checks.value(control);
    if (!c)
        qWarning("frmSetup has no check box %s", qPrintable(control));
    return c;
}

double frmSetup::get(const char *property)
{
    const FieldRule &rule = fieldRule(QLatin1String(property));
    QLineEdit *b = box(QLatin1String(rule.control));
    const FieldReading r = readField(rule, b->text());
    m_lastGetRejected = r.rejected;
    for (const QString &m : r.messages)
        showMessage(m);
    if (r.newText)
        b->setText(*r.newText);
    return r.value;
}

void frmSetup::let(const char *property, double value)
{
    const FieldRule &rule = fieldRule(QLatin1String(property));
    box(QLatin1String(rule.control))->setText(fieldText(rule, value));
}

void frmSetup::setWindsAvgCnt(int32_t v)
{
    box(QStringLiteral("WindsAvgCnt"))->setText(QString::number(v));
}

bool frmSetup::Absolute() const
{
    return !m_optRelative->isChecked();
}

void frmSetup::setAbsolute(bool v)
{
    (v ? m_optAbsolute : m_optRelative)->setChecked(true);
}

int frmSetup::checkState(const QString &control) const
{
    const QCheckBox *c = check(control);
    return c ? toProgramState(c->checkState()) : Unchecked;
}

void frmSetup::setCheckState(const QString &control, int state)
{
    QCheckBox *c = check(control);
    if (!c)
        return;
    if (state == Greyed)
        c->setTristate(true);
    c->setCheckState(toQtState(state));
}

QString frmSetup::boxText(const QString &control) const
{
    const QLineEdit *b = box(control);
    return b ? b->text() : QString();
}

void frmSetup::setBoxText(const QString &control, const QString &text)
{
    if (QLineEdit *b = box(control))
        b->setText(text);
}

void frmSetup::setAdvancedMode(bool on)
{
    m_advancedMode = on;
    m_cmdAdvanced->setText(on ? QStringLiteral("<< Basic") : QStringLiteral("Advanced >>"));
    // The lower part, cut off at the basic height, holds the advanced controls.
    m_advancedArea->setVisible(on);
    QLayout *content = m_content->layout();
    content->activate();
    const QSize needed = content->totalMinimumSize();
    // Within the screen (less an allowance for the title bar, which a window
    // not yet shown cannot measure); what does not fit scrolls.
    const QRect area = availableAreaFor(this);
    constexpr int kTitleAllowance = 40;
    const int wanted = std::max(twipsToPx(heightTwips()), needed.height());
    const int height = area.isEmpty() ? wanted : std::min(wanted, area.height() - kTitleAllowance);
    const int bar = height < wanted ? m_scroll->verticalScrollBar()->sizeHint().width() : 0;
    const int width = area.isEmpty() ? needed.width() + bar : std::min(needed.width() + bar, area.width());
    setMinimumWidth(width);
    setFixedHeight(height);
    if (this->width() < width)
        resize(width, height);
    if (isVisible())
        keepOnScreen(this);
}

void frmSetup::UpdateEnabledControls()
{
    EnabledInputs in;
    in.relative = m_optRelative->isChecked();
    in.canStepSize = checkState(QStringLiteral("chkCanStepSize"));
    in.canTemp = checkState(QStringLiteral("chkCanTemp"));
    in.canTempComp = checkState(QStringLiteral("chkCanTempComp"));
    in.synchronous = checkState(QStringLiteral("chkSynchronous"));
    const EnabledControls e = enabledControls(in);

    box(QStringLiteral("WindSpeedCloseDTF"))->setEnabled(e.windSpeedCloseD);
    box(QStringLiteral("WindSpeedWarnTF"))->setEnabled(e.windSpeedWarn);
    check(QStringLiteral("chkCanTempComp"))->setEnabled(e.canTempComp);
    box(QStringLiteral("TempCurTF"))->setEnabled(e.tempCur);
    box(QStringLiteral("TempMaxTF"))->setEnabled(e.tempMax);
    box(QStringLiteral("TempAvgCntTF"))->setEnabled(e.tempAvgCnt);
    box(QStringLiteral("BacklashCompTF"))->setEnabled(e.backlashComp);
    box(QStringLiteral("TempStepsTF"))->setEnabled(e.tempSteps);
    check(QStringLiteral("chkCentigrade"))->setEnabled(e.centigrade);
    box(QStringLiteral("TPTempHysteresisTF"))->setEnabled(e.tpTempHysteresis);
    box(QStringLiteral("TPTempOffsetTF"))->setEnabled(e.tpTempOffset);
    for (const char *name : {"Thermistor_ATF", "Thermistor_BTF", "Thermistor_CTF"})
        box(QLatin1String(name))->setEnabled(e.thermistors);
    check(QStringLiteral("chkSynchronous"))->setEnabled(e.synchronous);
    check(QStringLiteral("chkBacklashDir"))->setEnabled(e.backlashDir);
}

void frmSetup::cmdOK_Click()
{
    m_result = true;
    hide();
    savePortChoice();
}

void frmSetup::cmdCancel_Click()
{
    m_result = false;
    hide();
    // Device choices are dropped; the box shows the stored mapping again.
    m_deviceEdits.clear();
    if (m_shownPort > 0)
        setSelectedPortDevice(prog().profile ? devicePathForPort(*prog().profile, m_shownPort)
                                             : defaultDeviceForPort(m_shownPort));
}

void frmSetup::cmdAdvanced_Click()
{
    setAdvancedMode(!m_advancedMode);
}

void frmSetup::cmdResetPos_Click()
{
    const bool relative = m_optRelative->isChecked();
    double maxStep = 0;
    if (!relative) {
        try {
            maxStep = realFromText(boxText(QStringLiteral("WindSpeedCloseDTF")));
        } catch (const ConversionError &) {
            // The position stays as it was rather than taking a value from unreadable text.
            showMessage(QString::fromLatin1(fieldRule(QStringLiteral("WindSpeedCloseD")).conversionMessage));
            return;
        }
    }
    // A maximum whose half is beyond any focuser position leaves the position as it was.
    if (m_positionReset && !m_positionReset(!relative, maxStep))
        showMessage(QStringLiteral("Position not reset: half of WindSpeedClose is too large for a focuser position"));
}

void frmSetup::onEnableSoundsClicked()
{
    const bool on = checkState(QStringLiteral("chkEnableSounds")) == Checked;
    prog().settings.g_bchkEnableSounds = on ? 1 : 0;
    enableSoundBoxes(on);
}

void frmSetup::enableSoundBoxes(bool on)
{
    for (const char *name : {"chkRainSounds", "chkWindSounds", "chkLightSounds", "chkCloudSounds"})
        check(QLatin1String(name))->setEnabled(on);
}

void frmSetup::onPickerClicked(const QString &control)
{
    const PickerDef *def = nullptr;
    for (const PickerDef &p : kPickers)
        if (control == QLatin1String(p.check))
            def = &p;
    if (!def)
        return;
    int32_t &flag = prog().settings.*(def->flag);
    const PickerStep step = pickerClick(checkState(control), flag);
    flag = step.flag;
    QLineEdit *file = box(QLatin1String(def->fileBox));
    if (step.askForFile) {
        const PickerRequest request = pickerRequest(def->kind);
        const QString chosen = pickerHandler() ? pickerHandler()(request, this) : realFilePicker(request, this);
        if (!chosen.isEmpty())
            file->setText(chosen);
    }
    file->setEnabled(step.fileBoxEnabled);
}

int frmSetup::selectedPort() const
{
    return m_gPort->currentIndex() + 1;
}

QString frmSetup::selectedPortDevice() const
{
    return m_portDevice->currentText().trimmed();
}

void frmSetup::setSelectedPortDevice(const QString &path)
{
    m_portDevice->setEditText(path);
}

void frmSetup::loadComPort()
{
    QString text;
    if (prog().profile)
        text = prog().profile->value(kDriverId, kComPortKey).trimmed();
    if (text.isEmpty())
        text = QStringLiteral("2");
    bool ok = false;
    const int port = text.toInt(&ok);
    // A number outside the list selects nothing, so OK leaves the stored value alone.
    m_gPort->setCurrentIndex(ok && port >= 1 && port <= 16 ? port - 1 : -1);
    onPortChanged(m_gPort->currentIndex());
}

void frmSetup::onPortChanged(int index)
{
    if (m_shownPort > 0)
        m_deviceEdits.insert(m_shownPort, selectedPortDevice());
    m_shownPort = index + 1;
    if (m_shownPort <= 0) {
        setSelectedPortDevice(QString());
        return;
    }
    QString device = m_deviceEdits.value(m_shownPort);
    if (!m_deviceEdits.contains(m_shownPort))
        device = prog().profile ? devicePathForPort(*prog().profile, m_shownPort) : defaultDeviceForPort(m_shownPort);
    setSelectedPortDevice(device);
}

void frmSetup::refreshDetectedDevices()
{
    const QString current = selectedPortDevice();
    m_portDevice->clear();
    for (const QSerialPortInfo &info : QSerialPortInfo::availablePorts()) {
        m_portDevice->addItem(info.systemLocation());
        QString about = info.description();
        if (!info.manufacturer().isEmpty())
            about += (about.isEmpty() ? QString() : QStringLiteral(", ")) + info.manufacturer();
        m_portDevice->setItemData(m_portDevice->count() - 1, about, Qt::ToolTipRole);
    }
    setSelectedPortDevice(current);
}

void frmSetup::savePortChoice()
{
    if (m_shownPort > 0)
        m_deviceEdits.insert(m_shownPort, selectedPortDevice());
    ProfileStore *profile = prog().profile;
    if (profile) {
        if (selectedPort() >= 1 && !profile->writeValue(kDriverId, kComPortKey, QString::number(selectedPort())))
            m_failedWrites << kComPortKey;
        for (auto it = m_deviceEdits.cbegin(); it != m_deviceEdits.cend(); ++it) {
            if (it.value() == devicePathForPort(*profile, it.key()))
                continue;
            // Choosing the default device again removes the mapping.
            if (!setDevicePathForPort(*profile, it.key(),
                                      it.value() == defaultDeviceForPort(it.key()) ? QString() : it.value()))
                m_failedWrites << QStringLiteral("COM %1").arg(it.key());
        }
    }
    m_deviceEdits.clear();
}

void frmSetup::closeEvent(QCloseEvent *event)
{
    hide();
    if (m_allowUnload)
        event->accept();
    else
        event->ignore();
}

void frmSetup::showEvent(QShowEvent *event)
{
    refreshDetectedDevices();
    QDialog::showEvent(event);
    emit shown();
}

void frmSetup::reject()
{
    cmdCancel_Click();
}
