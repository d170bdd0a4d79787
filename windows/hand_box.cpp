#include "windows/hand_box.h"

#include "core/hand_box_fields.h"
#include "core/messages.h"
#include "core/number_format.h"
#include "core/platform.h"
#include "core/profile_store.h"
#include "core/program.h"
#include "station/hand_box_rules.h"
#include "station/weather_state.h"
#include "windows/tri_state_check_box.h"
#include "windows/hand_box_pictures.h"
#include "windows/seen_on_screen.h"
#include "windows/status_strip.h"
#include "windows/wind_colors.h"

#include <QCloseEvent>
#include <QGraphicsColorizeEffect>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

namespace {
const char *kAscomUrl = "https://ascom-standards.org/";
const char *kLogoUrl = "https://www.gnu.org/licenses/gpl-3.0.html";

QString cssColor(uint32_t vb)
{
    return QStringLiteral("#%1%2%3")
        .arg(vb & 0xFF, 2, 16, QLatin1Char('0'))
        .arg((vb >> 8) & 0xFF, 2, 16, QLatin1Char('0'))
        .arg((vb >> 16) & 0xFF, 2, 16, QLatin1Char('0'));
}
} // namespace

HandBox::HandBox(WeatherState &weather, QWidget *parent)
    : QWidget(parent), m_weather(weather)
{
    setObjectName(QStringLiteral("frmHandBox"));
    setWindowTitle(QStringLiteral("Wind and Rain"));
    buildLayout();
    connect(&m_timer, &QTimer::timeout, this, &HandBox::onTick);
    m_timer.setObjectName(QStringLiteral("timer"));

    // Load
    SetTopMost(this, prog().settings.AlwaysOnTop);
    m_buttons.clear();
    enableProcessingBoxes();
    updateHookButtons();
}

HandBox::~HandBox() = default;

void HandBox::setActions(HandBoxActions actions)
{
    m_actions = std::move(actions);
    updateHookButtons();
}

QLabel *HandBox::addLabel(const QString &name, const QString &caption, const QString &tip, bool courier, bool arial)
{
    auto *l = new QLabel(caption, this);
    l->setObjectName(name);
    l->setToolTip(tip);
    if (courier) {
        QFont f(QStringLiteral("Courier"));
        f.setStyleHint(QFont::TypeWriter);
        f.setBold(true);
        l->setFont(f);
        l->setAlignment(Qt::AlignCenter);
        l->setMinimumWidth(56);
        l->setFrameShape(QFrame::Panel);
        l->setFrameShadow(QFrame::Sunken);
    }
    if (arial) {
        QFont f(QStringLiteral("Arial"));
        f.setStyleHint(QFont::SansSerif);
        l->setFont(f);
    }
    m_controls.insert(name, l);
    return l;
}

QLineEdit *HandBox::addTextBox(const QString &name, const QString &tip)
{
    auto *e = new QLineEdit(this);
    e->setObjectName(name);
    e->setToolTip(tip);
    e->setMinimumWidth(50);
    e->setAlignment(Qt::AlignRight);
    m_controls.insert(name, e);
    return e;
}

QCheckBox *HandBox::addCheckBox(const QString &name, const QString &caption, const QString &tip)
{
    auto *c = new TriStateCheckBox(caption, this);
    c->setObjectName(name);
    c->setToolTip(tip);
    m_controls.insert(name, c);
    return c;
}

QPushButton *HandBox::addButton(const QString &name, const QString &caption, const QString &tip)
{
    auto *b = new QPushButton(caption, this);
    b->setObjectName(name);
    b->setToolTip(tip);
    b->setAutoDefault(false);
    m_controls.insert(name, b);
    return b;
}

void HandBox::buildLayout()
{
    auto *grid = new QGridLayout;
    grid->setVerticalSpacing(3);
    grid->setHorizontalSpacing(6);
    int row = 0;
    auto pair = [&](QWidget *caption, QWidget *value) {
        grid->addWidget(caption, row, 0);
        grid->addWidget(value, row, 1, 1, 2);
        ++row;
    };
    const QString avgTip = QStringLiteral("Average wind speed");
    pair(addLabel(QStringLiteral("PositionL"), QStringLiteral("Wind Current"), QStringLiteral("Speed at last reading")),
         addLabel(QStringLiteral("WindCurrentTF"), QString(), QStringLiteral("Speed at last reading"), true));
    pair(addLabel(QStringLiteral("Label1"), QStringLiteral("Wind Max Gust"), QString()),
         addLabel(QStringLiteral("WindsGustsTF"), QString(), avgTip, true));
    pair(addLabel(QStringLiteral("TempL"), QStringLiteral("Wind Average"), avgTip),
         addLabel(QStringLiteral("WindsAvgTF"), QString(), avgTip, true));
    pair(addLabel(QStringLiteral("LRawWind"), QStringLiteral("Raw Wind"), avgTip),
         addLabel(QStringLiteral("RawWindTF"), QString(), avgTip, true));

    grid->addWidget(addLabel(QStringLiteral("Label2"), QStringLiteral("Wind        Rain        Cloud Temp"), QString()),
                    row++, 0, 1, 3);
    grid->addWidget(addLabel(QStringLiteral("LabelWind"), QString(), QString(), true), row, 0);
    grid->addWidget(addLabel(QStringLiteral("LabelRain"), QString(), QStringLiteral("Rain detected off = Green, On = RED"), true),
                    row, 1);
    grid->addWidget(addLabel(QStringLiteral("LabelClouds"), QString(), QString(), true), row, 2);
    ++row;
    pair(addLabel(QStringLiteral("Label6"), QStringLiteral("Calc Sky"), QString()),
         addLabel(QStringLiteral("LabelCloudsNarrow"), QString(), QStringLiteral("Calculated Sky Temp"), true));
    pair(addLabel(QStringLiteral("LCloud_Calc"), QStringLiteral("Amb - Sky ="), QStringLiteral("Sky temp - ambient temp"), false, true),
         addLabel(QStringLiteral("Cloud_Sky"), QStringLiteral("Here"), QStringLiteral("Measured - Calculated sky temp"), false, true));
    pair(addLabel(QStringLiteral("SKyBright"), QStringLiteral("Sky Brightness"), QStringLiteral("Lower = brighter, max 1023")),
         addLabel(QStringLiteral("Label_SkyBright"), QString(), QString(), true));

    auto *states = new QHBoxLayout;
    states->addWidget(addLabel(QStringLiteral("LHeaterOn"), QStringLiteral("HeaterON"), QString()));
    states->addWidget(addLabel(QStringLiteral("HeaterOn"), QString(), QStringLiteral("Heater on indication"), true));
    states->addWidget(addLabel(QStringLiteral("LRelayOn"), QStringLiteral("RelayOn"), QString()));
    states->addWidget(addLabel(QStringLiteral("RelayOn"), QString(), QStringLiteral("Relay indication"), true));
    grid->addLayout(states, row++, 0, 1, 3);

    grid->addWidget(addLabel(QStringLiteral("Label4"), QStringLiteral("Centig         Farenheit"), QString()), row++, 1, 1, 2);
    auto triple = [&](QWidget *caption, QWidget *c, QWidget *f) {
        grid->addWidget(caption, row, 0);
        grid->addWidget(c, row, 1);
        if (f)
            grid->addWidget(f, row, 2);
        ++row;
    };
    triple(addLabel(QStringLiteral("Label3"), QStringLiteral("Amb Temp"), QString()),
           addTextBox(QStringLiteral("TPTemp"), QStringLiteral("Ambient Temp degC")),
           addTextBox(QStringLiteral("Amb_Faren"), QStringLiteral("Ambient Temp degF")));
    triple(addLabel(QStringLiteral("StepSizeL"), QStringLiteral("TP Temp"), QStringLiteral("Averages over this # minutes")),
           addTextBox(QStringLiteral("CloudTemp"), QStringLiteral("Thermopile Temperature degC")),
           addTextBox(QStringLiteral("TP_Faren"), QStringLiteral("Thermopile Temp degF")));
    triple(addLabel(QStringLiteral("LDewPoint"), QStringLiteral("Dew Point"), QString()),
           addTextBox(QStringLiteral("DewPointT"), QStringLiteral("Dew Point degC")),
           addTextBox(QStringLiteral("DP_Faren"), QStringLiteral("Dew Point degF")));
    triple(addLabel(QStringLiteral("LRH"), QStringLiteral("RH"), QString()),
           addTextBox(QStringLiteral("RH"), QStringLiteral("Relative Humidity %")), nullptr);
    triple(addLabel(QStringLiteral("Ambient1_Label"), QStringLiteral("Raw Rain"), QStringLiteral("Raw rain count, lower = dryer")),
           addTextBox(QStringLiteral("Ambient1_TempC"), QStringLiteral("Raw rain count")),
           addTextBox(QStringLiteral("Ambient1_TempF"), QStringLiteral("Ambient Temp degF")));
    triple(addLabel(QStringLiteral("LRaw_RH"), QStringLiteral("Raw Humidity"), QString()),
           addTextBox(QStringLiteral("Raw_RH"), QStringLiteral("Raw Humidity ADC counts")), nullptr);
    triple(addLabel(QStringLiteral("Label5"), QStringLiteral("Raw TP"), QString()),
           addTextBox(QStringLiteral("Raw_TP"), QStringLiteral("Raw Thermopile temperature")), nullptr);

    auto *boxes = new QGridLayout;
    boxes->setVerticalSpacing(2);
    boxes->addWidget(addCheckBox(QStringLiteral("AllowHeater"), QStringLiteral("Allow Heater"), QStringLiteral("Allow Heater automatic")), 0, 0);
    boxes->addWidget(addCheckBox(QStringLiteral("ForceHeater"), QStringLiteral("Force Heater"), QStringLiteral("Force Heater on")), 0, 1);
    boxes->addWidget(addCheckBox(QStringLiteral("AllowRelay"), QStringLiteral("Allow Relay"), QStringLiteral("Allow relay output on/off")), 1, 0);
    boxes->addWidget(addCheckBox(QStringLiteral("ForceRelay"), QStringLiteral("Force Relay"), QStringLiteral("Force relay on")), 1, 1);
    boxes->addWidget(addCheckBox(QStringLiteral("AllowLight"), QStringLiteral("Allow Light"),
                                 QStringLiteral("Allow Light threshold to control relay(requires Allow Relay)")), 2, 0);
    boxes->addWidget(addCheckBox(QStringLiteral("AllowWind"), QStringLiteral("Allow Wind"),
                                 QStringLiteral("Allow wind threshold to control relay(requires Allow Relay)")), 2, 1);
    boxes->addWidget(addCheckBox(QStringLiteral("AllowAsyncWindCB"), QStringLiteral("Allow Wind Speed"), QStringLiteral("Allow reading wind speed")), 3, 0);
    boxes->addWidget(addCheckBox(QStringLiteral("TempCompCB"), QStringLiteral("Allow Temp"), QStringLiteral("Allow temperature collection")), 3, 1);
    boxes->addWidget(addCheckBox(QStringLiteral("GraphCheck1"), QStringLiteral("Graphs"), QStringLiteral("Display graphs")), 4, 0);
    grid->addLayout(boxes, row++, 0, 1, 3);

    auto *focus = new QHBoxLayout;
    focus->addWidget(addButton(QStringLiteral("cmdIn"), QStringLiteral("In"), QStringLiteral("Click to move focuser")));
    focus->addWidget(addButton(QStringLiteral("cmdOut"), QStringLiteral("Out"), QStringLiteral("Click to move focuser")));
    grid->addLayout(focus, row++, 0, 1, 3);
    auto *windowsRow = new QHBoxLayout;
    windowsRow->addWidget(addButton(QStringLiteral("cmdSetup"), QStringLiteral("Setup"), QStringLiteral("Bring up Setup dialog")));
    windowsRow->addWidget(addButton(QStringLiteral("cmdTraffic"), QStringLiteral("Traffic"), QStringLiteral("Bring up Setup dialog")));
    windowsRow->addWidget(addButton(QStringLiteral("Command1"), QStringLiteral("PWS"), QStringLiteral("Bring up Setup dialog")));
    grid->addLayout(windowsRow, row++, 0, 1, 3);

    auto *pictures = new QHBoxLayout;
    auto *ascom = new ClickablePicture(ascomPicture(), QStringLiteral("Click to go to the ASCOM web site"), this);
    ascom->setObjectName(QStringLiteral("picASCOM"));
    auto *logo = new ClickablePicture(logoPicture(), QStringLiteral("Tarnwick is free software: click to read its licence"), this);
    logo->setObjectName(QStringLiteral("imgLogo"));
    m_controls.insert(ascom->objectName(), ascom);
    m_controls.insert(logo->objectName(), logo);
    pictures->addWidget(ascom);
    pictures->addStretch();
    pictures->addWidget(logo);
    grid->addLayout(pictures, row++, 0, 1, 3);
    m_strip = new StatusStrip(this);
    grid->addWidget(m_strip, row++, 0, 1, 3);

    setLayout(grid);
    // The window's client area: 3975 x 8310 twips, and the status strip below.
    resize(twipsToPx(3975), twipsToPx(8310) + m_strip->sizeHint().height());
    // The value labels change every second; at a fixed size a new text does not
    // send the whole window through a new layout.
    grid->activate();
    bindFields();
    using F = HandBoxField;
    for (F f : {F::WindCurrentTF, F::WindsGustsTF, F::WindsAvgTF, F::RawWindTF, F::LabelWind, F::LabelRain,
                F::LabelClouds, F::LabelCloudsNarrow, F::Cloud_Sky, F::Label_SkyBright, F::HeaterOn, F::RelayOn}) {
        QWidget *w = control(f);
        w->setFixedSize(w->size().expandedTo(w->minimumSizeHint()));
    }

    for (F f : {F::WindCurrentTF, F::WindsGustsTF, F::WindsAvgTF, F::RawWindTF}) {
        m_back[size_t(f)] = VbColor::Black;
        m_fore[size_t(f)] = VbColor::White;
        applyColors(f);
    }

    auto box = [this](F f) { return static_cast<QCheckBox *>(control(f)); };
    connect(box(F::TempCompCB), &QCheckBox::stateChanged, this, &HandBox::onTempCompCB);
    connect(box(F::AllowAsyncWindCB), &QCheckBox::stateChanged, this, &HandBox::onAllowAsyncWindCB);
    for (F f : {F::AllowHeater, F::ForceHeater, F::AllowRelay, F::ForceRelay, F::AllowLight, F::AllowWind})
        connect(box(f), &QCheckBox::stateChanged, this, [this, f] { runSwitchBoxHandler(*this, m_weather, f); });
    connect(box(F::GraphCheck1), &QCheckBox::stateChanged, this, &HandBox::onGraphCheck);
    for (F f : allHandBoxFields()) {
        if (auto *e = qobject_cast<QLineEdit *>(control(f)))
            connect(e, &QLineEdit::textChanged, this, [this, f](const QString &text) { onBoxTextChanged(f, text); });
    }

    auto button = [this](const char *name) { return static_cast<QPushButton *>(m_controls[QString::fromLatin1(name)]); };
    // The In/Out state follows the mouse itself (see eventFilter), not the
    // button's pressed/released signals: those also fire for the keyboard and
    // when the pointer slides off a held button.
    button("cmdIn")->installEventFilter(this);
    button("cmdOut")->installEventFilter(this);
    connect(button("cmdSetup"), &QPushButton::clicked, this, [this] {
        if (m_actions.runSetupDialog)
            m_actions.runSetupDialog();
    });
    connect(button("cmdTraffic"), &QPushButton::clicked, this, [this] {
        if (m_actions.showTrafficWindow)
            m_actions.showTrafficWindow();
    });
    connect(button("Command1"), &QPushButton::clicked, this, [this] {
        if (m_actions.showUploadWindow)
            m_actions.showUploadWindow();
    });
    connect(ascom, &ClickablePicture::clicked, this, [] { OpenUrl(QString::fromLatin1(kAscomUrl)); });
    connect(logo, &ClickablePicture::clicked, this, [] { OpenUrl(QString::fromLatin1(kLogoUrl)); });
}

void HandBox::updateHookButtons()
{
    const HandBoxActions &p = m_actions;
    m_controls[QStringLiteral("cmdSetup")]->setEnabled(bool(p.runSetupDialog));
    m_controls[QStringLiteral("cmdTraffic")]->setEnabled(bool(p.showTrafficWindow));
    m_controls[QStringLiteral("Command1")]->setEnabled(bool(p.showUploadWindow));
    control(HandBoxField::GraphCheck1)->setEnabled(bool(p.showGraphs));
}

// ---- properties -------------------------------------------------------------

void HandBox::setWindValue(HandBoxField label, double v)
{
    setFieldText(label, formatNumber(v, "0.0"));
    const Settings &s = prog().settings;
    const LabelColors c = windValueColors(windLevel(v, s.WindSpeedWarn, s.WindSpeedCloseD));
    setBackColor(label, c.back);
    setForeColor(label, c.fore);
}

void HandBox::setWindCurrent(double v)
{
    setWindValue(HandBoxField::WindCurrentTF, v);
    const Settings &s = prog().settings;
    setBackColor(HandBoxField::LabelWind, windIndicatorColor(windLevel(v, s.WindSpeedWarn, s.WindSpeedCloseD)));
    setBackColor(HandBoxField::LabelRain, rainIndicatorColor(m_weather.RainReading, s.RainThreshold));
}

void HandBox::setWindsGusts(double v)
{
    setWindValue(HandBoxField::WindsGustsTF, v);
}

void HandBox::setWindsAvg(double v)
{
    setWindValue(HandBoxField::WindsAvgTF, v);
}

void HandBox::setRawWind(double v)
{
    setFieldText(HandBoxField::RawWindTF, formatNumber(v, "0"));
}

void HandBox::setTempComp(int state)
{
    setCheckState(HandBoxField::TempCompCB, state);
    enableProcessingBoxes();
}

void HandBox::setAllowAsyncWind(int state)
{
    setCheckState(HandBoxField::AllowAsyncWindCB, state);
    enableProcessingBoxes();
}

double HandBox::aCloudTemp()
{
    try {
        const int32_t v = wholeFromText(fieldText(HandBoxField::CloudTemp));
        if (v < 0) {
            showMessage(QStringLiteral("Error in manual step size0, must be >0"));
            return -9999;
        }
        return v;
    } catch (const ConversionError &) {
        showMessage(QStringLiteral("Error in Get aCloudTemp >0"));
        return -9999;
    }
}

void HandBox::setACloudTemp(double v)
{
    setFieldText(HandBoxField::CloudTemp, formatNumber(v, "0.0"));
}

double HandBox::aTPTemp()
{
    return readBackAmbient(*this); // a non-numeric text throws to the caller
}

void HandBox::setATPTemp(double v)
{
    setFieldText(HandBoxField::TPTemp, formatNumber(v, "0.0"));
}

// ---- fields -------------------------------------------------------------------

void HandBox::bindFields()
{
    for (HandBoxField f : allHandBoxFields()) {
        QWidget *w = m_controls.value(fieldName(f));
        if (!w)
            qFatal("hand box: field %s has no control", qPrintable(fieldName(f)));
        m_fields[size_t(f)] = w;
        if (auto *e = qobject_cast<QLineEdit *>(w))
            m_texts[size_t(f)] = e->text();
        else if (auto *l = qobject_cast<QLabel *>(w))
            m_texts[size_t(f)] = l->text();
    }
}

QString HandBox::fieldText(HandBoxField field) const
{
    QWidget *w = control(field);
    if (qobject_cast<QLineEdit *>(w) || qobject_cast<QLabel *>(w))
        return m_texts[size_t(field)];
    if (auto *b = qobject_cast<QAbstractButton *>(w))
        return b->text();
    return QString();
}

void HandBox::setFieldText(HandBoxField field, const QString &text)
{
    QWidget *w = control(field);
    if (!qobject_cast<QLineEdit *>(w) && !qobject_cast<QLabel *>(w))
        return;
    // An unchanged text changes nothing (no handler runs for it either).
    if (m_texts[size_t(field)] == text)
        return;
    m_texts[size_t(field)] = text;
    runTextHandler(field);
    showFieldText(field);
}

void HandBox::showFieldText(HandBoxField field)
{
    if (!seenOnScreen(this)) {
        m_textStale[size_t(field)] = true;
        return;
    }
    m_textStale[size_t(field)] = false;
    const QString &text = m_texts[size_t(field)];
    QWidget *w = control(field);
    m_pushingText = true;
    if (auto *e = qobject_cast<QLineEdit *>(w)) {
        if (e->text() != text)
            e->setText(text);
    } else if (auto *l = qobject_cast<QLabel *>(w)) {
        if (l->text() != text)
            l->setText(text);
    }
    m_pushingText = false;
}

void HandBox::showStaleFields()
{
    if (!seenOnScreen(this))
        return;
    for (HandBoxField f : allHandBoxFields()) {
        if (m_textStale[size_t(f)])
            showFieldText(f);
        if (m_colorsStale[size_t(f)])
            applyColors(f);
    }
}

void HandBox::onBoxTextChanged(HandBoxField field, const QString &text)
{
    if (m_pushingText || m_texts[size_t(field)] == text)
        return;
    m_texts[size_t(field)] = text;
    runTextHandler(field);
    // The box being worked on shows its answer, seen or not.
    auto *e = static_cast<QLineEdit *>(control(field));
    m_textStale[size_t(field)] = false;
    if (e->text() != m_texts[size_t(field)]) {
        m_pushingText = true;
        e->setText(m_texts[size_t(field)]);
        m_pushingText = false;
    }
}

void HandBox::runTextHandler(HandBoxField field)
{
    if (field == HandBoxField::CloudTemp)
        onCloudTempChanged(m_texts[size_t(field)]);
}

uint32_t HandBox::backColor(HandBoxField field) const
{
    return m_back[size_t(field)].value_or(VbColor::White);
}

uint32_t HandBox::foreColor(HandBoxField field) const
{
    return m_fore[size_t(field)].value_or(VbColor::Black);
}

void HandBox::setBackColor(HandBoxField field, uint32_t color)
{
    if (m_back[size_t(field)] == color)
        return;
    m_back[size_t(field)] = color;
    applyColors(field);
}

void HandBox::setForeColor(HandBoxField field, uint32_t color)
{
    if (m_fore[size_t(field)] == color)
        return;
    m_fore[size_t(field)] = color;
    applyColors(field);
}

void HandBox::applyColors(HandBoxField field)
{
    // A new style sheet re-styles the widget: not for a window nobody sees.
    m_colorsStale[size_t(field)] = !seenOnScreen(this);
    if (m_colorsStale[size_t(field)])
        return;
    QString css;
    if (const auto back = m_back[size_t(field)])
        css += QStringLiteral("background-color: %1;").arg(cssColor(*back));
    if (const auto fore = m_fore[size_t(field)])
        css += QStringLiteral("color: %1;").arg(cssColor(*fore));
    control(field)->setStyleSheet(css);
}

int HandBox::checkState(HandBoxField field) const
{
    auto *c = qobject_cast<QCheckBox *>(control(field));
    if (!c)
        return 0;
    switch (c->checkState()) {
    case Qt::Checked: return 1;
    case Qt::PartiallyChecked: return 2;
    case Qt::Unchecked: break;
    }
    return 0;
}

void HandBox::setCheckState(HandBoxField field, int state)
{
    auto *c = qobject_cast<QCheckBox *>(control(field));
    if (!c)
        return;
    // Qt emits stateChanged only on a real change, so the handler runs exactly then.
    c->setCheckState(state == 1 ? Qt::Checked : state == 2 ? Qt::PartiallyChecked : Qt::Unchecked);
}

void HandBox::enableProcessingBoxes()
{
    control(HandBoxField::TempCompCB)->setEnabled(true);
    control(HandBoxField::AllowAsyncWindCB)->setEnabled(true);
}

// ---- handlers ---------------------------------------------------------------

void HandBox::onTempCompCB()
{
    const int s = checkState(HandBoxField::TempCompCB);
    if (s == 1)
        m_weather.TempEnabled = true;
    else if (s == 0)
        m_weather.TempEnabled = false;
    enableProcessingBoxes();
}

void HandBox::onAllowAsyncWindCB()
{
    const int s = checkState(HandBoxField::AllowAsyncWindCB);
    if (s == 1)
        m_weather.WindEnabled = true;
    else if (s == 0)
        m_weather.WindEnabled = false;
    enableProcessingBoxes();
}

void HandBox::onGraphCheck()
{
    if (m_actions.showGraphs)
        m_actions.showGraphs(checkState(HandBoxField::GraphCheck1) == 1);
}

void HandBox::onCloudTempChanged(const QString &text)
{
    Settings &s = prog().settings;
    if (text.isEmpty())
        return;
    if (text == QLatin1String("-")) {
        showMessage(QStringLiteral("Manual stepsize must be >0"));
        setFieldText(HandBoxField::CloudTemp, QString::number(s.MaxCloudTemp));
        return;
    }
    try {
        const int32_t v = wholeFromText(text);
        // The stored value changes only when the number does: no disk write per cycle.
        if (v != s.MaxCloudTemp) {
            s.MaxCloudTemp = v;
            saveSettingNow(QStringLiteral("MaxCloudTemp"));
        }
    } catch (const ConversionError &) {
        showMessage(QStringLiteral("Manual stepsize must be numeric and >0"));
        setFieldText(HandBoxField::CloudTemp, QString::number(s.MaxCloudTemp));
    }
}

void HandBox::onTick()
{
    if (m_actions.tick)
        m_actions.tick();
    if (m_strip)
        m_strip->refresh(); // the ages move on once a second
}

// ---- watch --------------------------------------------------------------------

void HandBox::showWatch(const WatchStatus &status)
{
    m_strip->showStatus(status);
    setValuesGreyed(!deliversReadings(status.board.state));
}

void HandBox::setValuesGreyed(bool greyed)
{
    if (greyed == m_greyed)
        return;
    m_greyed = greyed;
    using F = HandBoxField;
    for (F f : {F::WindCurrentTF, F::WindsGustsTF, F::WindsAvgTF, F::RawWindTF, F::LabelWind, F::LabelRain,
                F::LabelClouds, F::LabelCloudsNarrow, F::Cloud_Sky, F::Label_SkyBright, F::HeaterOn, F::RelayOn,
                F::TPTemp, F::Amb_Faren, F::CloudTemp, F::TP_Faren, F::DewPointT, F::DP_Faren, F::RH,
                F::Ambient1_TempC, F::Ambient1_TempF, F::Raw_RH, F::Raw_TP}) {
        QWidget *w = control(f);
        if (!greyed) {
            w->setGraphicsEffect(nullptr);
            continue;
        }
        // Colours and all: a greyed box cannot be taken for a reading.
        auto *grey = new QGraphicsColorizeEffect(w);
        grey->setColor(QColor(150, 150, 150));
        grey->setStrength(1.0);
        w->setGraphicsEffect(grey);
    }
}

// ---- window -----------------------------------------------------------------

void HandBox::setTimerEnabled(bool on)
{
    if (on && !m_timer.isActive())
        m_timer.start();
    else if (!on)
        m_timer.stop();
}

void HandBox::showWindow()
{
    updateHookButtons();
    show();
}

void HandBox::showNormalWindow()
{
    setWindowState(windowState() & ~Qt::WindowMinimized);
    show();
}

void HandBox::showMinimizedWindow()
{
    updateHookButtons();
    showMinimized();
}

void HandBox::setTopMost(bool on)
{
    SetTopMost(this, on);
}

bool HandBox::eventFilter(QObject *watched, QEvent *event)
{
    const int16_t direction = watched == m_controls.value(QStringLiteral("cmdIn"))    ? 1
                              : watched == m_controls.value(QStringLiteral("cmdOut")) ? 2
                                                                                      : 0;
    if (direction != 0) {
        switch (event->type()) {
        case QEvent::MouseButtonPress:
        case QEvent::MouseButtonDblClick: m_buttons.press(direction); break;
        case QEvent::MouseButtonRelease: m_buttons.release(); break;
        default: break;
        }
    }
    return QWidget::eventFilter(watched, event);
}

void HandBox::showEvent(QShowEvent *event)
{
    QWidget::showEvent(event);
    showStaleFields();
    m_strip->refresh();
}

void HandBox::changeEvent(QEvent *event)
{
    QWidget::changeEvent(event);
    if (event->type() == QEvent::WindowStateChange && !isMinimized()) {
        showStaleFields();
        m_strip->refresh();
    }
}

void HandBox::closeEvent(QCloseEvent *event)
{
    unload();
    event->accept();
}

void HandBox::unload()
{
    if (m_unloaded)
        return;
    m_unloaded = true;
    // A copy: an unload step may replace the actions.
    const HandBoxActions a = m_actions;
    // Each step runs even when an earlier one fails.
    auto step = [](const std::function<void()> &f) {
        try {
            if (f)
                f();
        } catch (...) {
        }
    };
    step([this] { m_buttons.clear(); });
    for (const auto &f : a.onUnload)
        step(f);
    step([this] {
        m_timer.stop();
        hide();
        m_buttons.clear();
    });
    // A client-started program lives on while client objects remain; the
    // last one's release ends it.
    if (prog().StartedByUser || !a.clientsRemain || !a.clientsRemain())
        step(a.quit);
}
