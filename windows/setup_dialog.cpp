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
#include "core/settings.h"
#include "windows/mm_control.h"
#include "windows/setup_pickers.h"

#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QFileDialog>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QScrollArea>
#include <QScrollBar>
#include <QVBoxLayout>

#include <algorithm>
#include <stdexcept>

namespace {

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
    QFileDialog dialog(parent, QString(), request.initialFolder);
    dialog.setFileMode(request.saveFile ? QFileDialog::AnyFile : QFileDialog::ExistingFile);
    if (request.saveFile)
        dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setNameFilters(request.nameFilters);
    if (request.selectedFilter >= 0 && request.selectedFilter < request.nameFilters.size())
        dialog.selectNameFilter(request.nameFilters[request.selectedFilter]);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return QString();
    return dialog.selectedFiles().constFirst();
}

} // namespace

QString frmSetup::chooseFile(const PickerRequest &request)
{
    if (m_context.chooseFile)
        return m_context.chooseFile(request, this);
    return m_context.headless ? QString() : realFilePicker(request, this); // headless: nobody to answer, cancelled
}

frmSetup::frmSetup(SetupDialogContext context, QWidget *parent) : QDialog(parent), m_context(std::move(context))
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
    setConnections(Settings{});
}

frmSetup::~frmSetup() = default;

SetupControl frmSetup::named(const QString &name, bool checkBox)
{
    const std::optional<SetupControl> c = setupControlNamed(name);
    if (!c || isCheckBox(*c) != checkBox)
        throw std::invalid_argument(QStringLiteral("the setup dialog has no %1 named \"%2\"")
                                        .arg(checkBox ? QStringLiteral("check box") : QStringLiteral("text box"), name)
                                        .toStdString());
    return *c;
}

QLineEdit *frmSetup::box(SetupControl control) const
{
    return static_cast<QLineEdit *>(m_controls[size_t(control)]);
}

QCheckBox *frmSetup::check(SetupControl control) const
{
    return static_cast<QCheckBox *>(m_controls[size_t(control)]);
}

double frmSetup::get(const char *property)
{
    const FieldRule &rule = fieldRule(QLatin1String(property));
    QLineEdit *b = box(rule.control);
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
    box(rule.control)->setText(fieldText(rule, value));
}

void frmSetup::setWindsAvgCnt(int32_t v)
{
    box(SetupControl::WindsAvgCnt)->setText(QString::number(v));
}

bool frmSetup::Absolute() const
{
    return !m_optRelative->isChecked();
}

void frmSetup::setAbsolute(bool v)
{
    (v ? m_optAbsolute : m_optRelative)->setChecked(true);
}

int frmSetup::checkState(SetupControl control) const
{
    return toProgramState(check(control)->checkState());
}

void frmSetup::setCheckState(SetupControl control, int state)
{
    QCheckBox *c = check(control);
    if (state == Greyed)
        c->setTristate(true);
    c->setCheckState(toQtState(state));
}

QString frmSetup::boxText(SetupControl control) const
{
    return box(control)->text();
}

void frmSetup::setBoxText(SetupControl control, const QString &text)
{
    box(control)->setText(text);
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
    // A little room beyond the computed minimum: the shown pages' metrics can
    // differ by a few pixels, and a scroll bar for those would bring a second.
    constexpr int kSlack = 16;
    const int wanted = std::max(twipsToPx(heightTwips()), needed.height() + (m_advancedMode ? kSlack : 0));
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
    in.canStepSize = checkState(SetupControl::chkCanStepSize);
    in.canTemp = checkState(SetupControl::chkCanTemp);
    in.canTempComp = checkState(SetupControl::chkCanTempComp);
    in.synchronous = checkState(SetupControl::chkSynchronous);
    const EnabledControls e = enabledControls(in);

    box(SetupControl::WindSpeedCloseDTF)->setEnabled(e.windSpeedCloseD);
    box(SetupControl::WindSpeedWarnTF)->setEnabled(e.windSpeedWarn);
    check(SetupControl::chkCanTempComp)->setEnabled(e.canTempComp);
    box(SetupControl::TempCurTF)->setEnabled(e.tempCur);
    box(SetupControl::TempMaxTF)->setEnabled(e.tempMax);
    box(SetupControl::TempAvgCntTF)->setEnabled(e.tempAvgCnt);
    box(SetupControl::BacklashCompTF)->setEnabled(e.backlashComp);
    box(SetupControl::TempStepsTF)->setEnabled(e.tempSteps);
    check(SetupControl::chkCentigrade)->setEnabled(e.centigrade);
    box(SetupControl::TPTempHysteresisTF)->setEnabled(e.tpTempHysteresis);
    box(SetupControl::TPTempOffsetTF)->setEnabled(e.tpTempOffset);
    for (SetupControl c : {SetupControl::Thermistor_ATF, SetupControl::Thermistor_BTF, SetupControl::Thermistor_CTF})
        box(c)->setEnabled(e.thermistors);
    check(SetupControl::chkSynchronous)->setEnabled(e.synchronous);
    check(SetupControl::chkBacklashDir)->setEnabled(e.backlashDir);
}

void frmSetup::cmdOK_Click()
{
    // Refused in the dialog itself: nothing is saved and nothing typed is lost.
    if (refuseConnections())
        return;
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
        setSelectedPortDevice(m_context.profile ? devicePathForPort(*m_context.profile, m_shownPort)
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
            maxStep = realFromText(boxText(SetupControl::WindSpeedCloseDTF));
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
    const bool on = checkState(SetupControl::chkEnableSounds) == Checked;
    runOnFlags([on](Settings &s) { s.g_bchkEnableSounds = on ? 1 : 0; });
    enableSoundBoxes(on);
}

void frmSetup::enableSoundBoxes(bool on)
{
    for (const PickerDef &p : setupPickers())
        if (p.kind == PickerKind::Sound)
            check(p.check)->setEnabled(on);
}

void frmSetup::onPickerClicked(SetupControl control)
{
    const PickerDef *def = nullptr;
    for (const PickerDef &p : setupPickers())
        if (control == p.check)
            def = &p;
    if (!def)
        return;
    int32_t Settings::*member = def->flag;
    PickerStep step;
    const int state = checkState(control);
    runOnFlags([&](Settings &s) {
        step = pickerClick(state, s.*member);
        s.*member = step.flag;
    });
    QLineEdit *file = box(def->fileBox);
    if (step.askForFile) {
        const QString chosen = chooseFile(pickerRequest(def->kind));
        if (!chosen.isEmpty())
            file->setText(chosen);
    }
    file->setEnabled(step.fileBoxEnabled);
}

void frmSetup::runOnFlags(const std::function<void(Settings &)> &step)
{
    if (m_context.onRunningSettings) {
        m_context.onRunningSettings(step);
        return;
    }
    if (!m_ownFlags)
        m_ownFlags = std::make_unique<Settings>();
    step(*m_ownFlags);
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
