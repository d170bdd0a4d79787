// The hand box's controls: their names, captions, tips and places, and what
// each button and box reaches.
#include "windows/hand_box.h"

#include "core/platform.h"
#include "screen/window_system.h"
#include "windows/cached_frame_style.h"
#include "windows/hand_box_pictures.h"
#include "windows/status_strip.h"
#include "windows/tri_state_check_box.h"

#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

namespace {
const char *kAscomUrl = "https://ascom-standards.org/";
const char *kLogoUrl = "https://www.gnu.org/licenses/gpl-3.0.html";
} // namespace

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
    addValueRows(grid, row);
    addSwitchRows(grid, row);
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
    // The text boxes repaint as their values change: their frames are copied, not stroked again.
    auto *frames = new CachedFrameStyle;
    frames->setParent(this); // made after the boxes, so deleted after them
    for (QLineEdit *box : findChildren<QLineEdit *>(Qt::FindDirectChildrenOnly))
        box->setStyle(frames);
    connectControls();
}

void HandBox::addValueRows(QGridLayout *grid, int &row)
{
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
}

void HandBox::addSwitchRows(QGridLayout *grid, int &row)
{
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
    connect(ascom, &ClickablePicture::clicked, this, [] { OpenUrl(QString::fromLatin1(kAscomUrl)); });
    connect(logo, &ClickablePicture::clicked, this, [] { OpenUrl(QString::fromLatin1(kLogoUrl)); });
}
