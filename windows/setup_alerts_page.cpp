#include "windows/setup_alerts_page.h"

#include "core/settings.h"
#include "windows/setup_fields.h"
#include "windows/setup_pickers.h"
#include "windows/setup_read_back.h"
#include "windows/setup_widgets.h"

#include <QCheckBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QLineEdit>
#include <QVBoxLayout>

#include <utility>

using C = SetupControl;

SetupAlertsPage::SetupAlertsPage(SetupWidgets &widgets, FlagStep runOnFlags, FileChooser chooseFile)
    : m_widgets(widgets), m_runOnFlags(std::move(runOnFlags)), m_chooseFile(std::move(chooseFile))
{
    setObjectName(QStringLiteral("alertsPage"));
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(buildExternalFrame());
    layout->addStretch();
    connectHandlers();
}

QGroupBox *SetupAlertsPage::buildExternalFrame()
{
    QGroupBox *external = SetupWidgets::frame("External Control", this);
    auto *ext = new QGridLayout(external);
    ext->addWidget(m_widgets.addCheck(C::chkEnableSounds, "Enable Sound/App", external), 0, 0);
    ext->addWidget(m_widgets.addCheck(C::chkRepeatSounds, "Repeat Sounds", external), 0, 1);
    ext->addWidget(m_widgets.addCheck(C::chkRepeatApp, "Repeat App", external), 0, 2);
    // Sounds in the left columns, programs in the right.
    for (int i = 0; i < int(setupPickers().size()); ++i) {
        const PickerDef &p = setupPickers()[size_t(i)];
        const int row = 1 + (i < 4 ? i : i - 4);
        const int col = i < 4 ? 0 : 2;
        ext->addWidget(m_widgets.addCheck(p.check, p.caption, external), row, col);
        QLineEdit *file = m_widgets.addBox(p.fileBox, external);
        file->setEnabled(false);
        file->setMinimumWidth(180);
        ext->addWidget(file, row, col + 1);
    }
    m_widgets.check(C::chkRepeatSounds)->setToolTip(QStringLiteral("Allow repeating sound every time criteria met"));
    return external;
}

void SetupAlertsPage::connectHandlers()
{
    for (const PickerDef &p : setupPickers()) {
        const SetupControl c = p.check;
        connect(m_widgets.check(c), &QCheckBox::stateChanged, this, [this, c] { onPickerClicked(c); });
    }
    connect(m_widgets.check(C::chkEnableSounds), &QCheckBox::stateChanged, this,
            &SetupAlertsPage::onEnableSoundsClicked);
    connect(m_widgets.check(C::chkRepeatSounds), &QCheckBox::stateChanged, this, [this] {
        const int32_t on = m_widgets.isChecked(C::chkRepeatSounds) ? 1 : 0;
        m_runOnFlags([on](Settings &s) { s.g_bchkRepeatSounds = on; });
    });
    connect(m_widgets.check(C::chkRepeatApp), &QCheckBox::stateChanged, this, [this] {
        const int32_t on = m_widgets.isChecked(C::chkRepeatApp) ? 1 : 0;
        m_runOnFlags([on](Settings &s) { s.g_bchkRepeatApp = on; });
    });
    // The sound boxes start as the switch shows; loading must not touch the
    // stored flag, which the setup procedure puts into the switch later.
    enableSoundBoxes(m_widgets.isChecked(C::chkEnableSounds));
}

void SetupAlertsPage::onEnableSoundsClicked()
{
    const bool on = m_widgets.isChecked(C::chkEnableSounds);
    m_runOnFlags([on](Settings &s) { s.g_bchkEnableSounds = on ? 1 : 0; });
    enableSoundBoxes(on);
}

void SetupAlertsPage::enableSoundBoxes(bool on)
{
    for (const PickerDef &p : setupPickers())
        if (p.kind == PickerKind::Sound)
            m_widgets.check(p.check)->setEnabled(on);
}

void SetupAlertsPage::onPickerClicked(SetupControl control)
{
    const PickerDef *def = nullptr;
    for (const PickerDef &p : setupPickers())
        if (control == p.check)
            def = &p;
    if (!def)
        return;
    int32_t Settings::*member = def->flag;
    PickerStep step;
    const int state = m_widgets.checkState(control);
    m_runOnFlags([&](Settings &s) {
        step = pickerClick(state, s.*member);
        s.*member = step.flag;
    });
    QLineEdit *file = m_widgets.box(def->fileBox);
    if (step.askForFile) {
        const QString chosen = m_chooseFile(pickerRequest(def->kind));
        if (!chosen.isEmpty())
            file->setText(chosen);
    }
    file->setEnabled(step.fileBoxEnabled);
}

void SetupAlertsPage::fill(const Settings &s)
{
    m_widgets.setCheckState(C::chkEnableSounds, s.g_bchkEnableSounds);
    m_widgets.setCheckState(C::chkRepeatSounds, s.g_bchkRepeatSounds);
    // Group by group (sounds, programs, the relay program): the flags, then the files.
    const auto &pickers = setupPickers();
    for (const auto &[from, to] : {std::pair{0, 4}, std::pair{4, 8}, std::pair{8, 9}}) {
        for (int i = from; i < to; ++i)
            m_widgets.setCheckState(pickers[size_t(i)].check, s.*pickers[size_t(i)].flag);
        for (int i = from; i < to; ++i)
            m_widgets.setText(pickers[size_t(i)].fileBox, s.*pickers[size_t(i)].file);
    }
    m_widgets.setCheckState(C::chkRepeatApp, s.g_bchkRepeatApp);
}

// The per-condition flags are as the pickers left them on the settings read into.
void SetupAlertsPage::readSounds(Settings &s, SettingWriter &write)
{
    s.g_bchkEnableSounds = m_widgets.checkState(C::chkEnableSounds);
    s.g_bchkRepeatSounds = m_widgets.checkState(C::chkRepeatSounds);
    for (const PickerDef &p : setupPickers())
        if (p.kind == PickerKind::Sound)
            s.*p.file = m_widgets.text(p.fileBox);
    for (const char *key : {"g_bchkEnableSounds", "g_bchkRepeatSounds", "g_bchkRainSounds", "g_bchkWindSounds",
                            "g_bchkLightSounds", "g_bchkCloudSounds", "g_sRainSounds", "g_sWindSounds",
                            "g_sLightSounds", "g_sCloudSounds", "g_bchkCloudSounds"})
        write(key);
}

// The relay program's name is written as it was loaded (its box is not read back).
void SetupAlertsPage::readPrograms(Settings &s, SettingWriter &write)
{
    s.g_bchkRepeatApp = m_widgets.checkState(C::chkRepeatApp);
    for (const PickerDef &p : setupPickers())
        if (p.kind == PickerKind::Program && p.check != C::chkRelayApp)
            s.*p.file = m_widgets.text(p.fileBox);
    for (const char *key : {"g_bchkRainApp", "g_bchkWindApp", "g_bchkLightApp", "g_bchkCloudApp", "g_sRainApp",
                            "g_sWindApp", "g_sLightApp", "g_sCloudApp", "g_bchkRelayApp", "g_sRelayApp",
                            "g_bchkRepeatApp"})
        write(key);
}
