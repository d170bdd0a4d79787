// The setup dialog's window: holds the pages, lays them out, runs the
// OK/Cancel flow and the rules that span pages. Field rules live in setup_fields.
#include "windows/setup_dialog.h"

#include "core/messages.h"
#include "core/number_format.h"
#include "core/platform.h"
#include "core/settings.h"
#include "screen/screen_fit.h"
#include "screen/window_system.h"
#include "windows/mm_control.h"
#include "windows/setup_alerts_page.h"
#include "windows/setup_basic_page.h"
#include "windows/setup_board_page.h"
#include "windows/setup_connections_page.h"
#include "windows/setup_port_choice.h"
#include "windows/setup_rules_page.h"
#include "windows/setup_safety_page.h"
#include "windows/setup_services_table.h"

#include <QCheckBox>
#include <QCloseEvent>
#include <QFileDialog>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScrollArea>
#include <QScrollBar>
#include <QTabWidget>
#include <QTimer>
#include <QToolButton>
#include <QVBoxLayout>

#include <algorithm>
#include <stdexcept>

using C = SetupControl;

namespace {

const char *const kAscomSite = "https://ascom-standards.org/";
const char *const kMakerSite = "https://www.ascom-alpaca.org/";
// How long after a change of size the window manager's answers are checked.
constexpr int kSettlingMs = 3000;

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

frmSetup::frmSetup(SetupDialogContext context, QWidget *parent) : QDialog(parent), m_context(std::move(context))
{
    setObjectName(QStringLiteral("frmSetup"));
    setWindowTitle(QStringLiteral("Wind and Rain Setup"));
    MMControl1 = new MMControl(this);
    m_settleCheck.setInterval(100);
    connect(&m_settleCheck, &QTimer::timeout, this, &frmSetup::keepOnScreenWhileSettling);
    MMControl1->setObjectName(QStringLiteral("MMControl1"));
    buildContent();
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
    m_basic->port().load();
    setAdvancedMode(false);
    m_connections->fill(Settings{});
}

frmSetup::~frmSetup() = default;

// The basic part with the buttons beside it, above the advanced pages.
void frmSetup::buildContent()
{
    m_basic = new SetupBasicPage(m_widgets, m_context.profile, this);
    m_basic->row()->addLayout(buildButtons());
    m_driverInfo = new QLabel(this);
    m_driverInfo->setObjectName(QStringLiteral("lblDriverInfo"));
    m_advancedArea = buildAdvancedPages();

    // Controls made with the dialog as parent move into the content as they are laid out.
    m_content = new QWidget;
    m_content->setObjectName(QStringLiteral("setupContent"));
    auto *top = new QVBoxLayout(m_content);
    top->addLayout(m_basic->row());
    top->addWidget(m_driverInfo);
    top->addWidget(m_advancedArea);
    top->addStretch();
    connect(m_basic, &SetupBasicPage::enablingChanged, this, &frmSetup::UpdateEnabledControls);
}

QLayout *frmSetup::buildButtons()
{
    auto *buttons = new QVBoxLayout;
    auto button = [this, buttons](const char *name, const char *caption, void (frmSetup::*handler)()) {
        auto *b = new QPushButton(QString::fromLatin1(caption), this);
        b->setObjectName(QLatin1String(name));
        b->setAutoDefault(false);
        buttons->addWidget(b);
        connect(b, &QPushButton::clicked, this, handler);
        return b;
    };
    button("cmdOK", "&OK", &frmSetup::cmdOK_Click)->setDefault(true);
    button("cmdCancel", "&Cancel", &frmSetup::cmdCancel_Click);
    m_cmdAdvanced = button("cmdAdvanced", "Advanced >>", &frmSetup::cmdAdvanced_Click);
    button("cmdResetPos", "Reset Position", &frmSetup::cmdResetPos_Click);
    buttons->addStretch();
    buttons->addWidget(logo(this, "picASCOM", QStringLiteral("ASCOM"), kAscomSite));
    buttons->addWidget(logo(this, "picLogo", QStringLiteral("Tarnwick"), kMakerSite));
    return buttons;
}

// Pages, so the dialog stays within a 1024 x 768 screen: the board, its
// alerts (sounds and programs), the safety monitor, the links to other
// programs and services, and the site, notifications and sky correction.
QTabWidget *frmSetup::buildAdvancedPages()
{
    auto *pages = new QTabWidget(this);
    pages->setObjectName(QStringLiteral("advancedArea"));
    m_board = new SetupBoardPage(m_widgets, pages);
    pages->addTab(m_board, QStringLiteral("Board"));
    auto chooser = [this](const PickerRequest &request) { return chooseFile(request); };
    m_alerts = new SetupAlertsPage(
        m_widgets, [this](const std::function<void(Settings &)> &step) { runOnFlags(step); }, chooser);
    pages->addTab(m_alerts, QStringLiteral("Alerts"));
    m_safety = new SetupSafetyPage(m_widgets);
    pages->addTab(m_safety, QStringLiteral("Safety"));
    m_connections = new SetupConnectionsPage(m_widgets, chooser, m_context.servicesProblems, this);
    pages->addTab(m_connections, QStringLiteral("Connections"));
    m_site = new SetupRulesPage(QStringLiteral("sitePage"), {QStringLiteral("Site")});
    pages->addTab(m_site, QStringLiteral("Site"));
    m_notify = new SetupRulesPage(QStringLiteral("notifyPage"), {QStringLiteral("Notifications")});
    pages->addTab(m_notify, QStringLiteral("Notifications"));
    m_sky = new SetupRulesPage(QStringLiteral("skyPage"), {QStringLiteral("Sky correction")});
    pages->addTab(m_sky, QStringLiteral("Sky"));
    return pages;
}

SetupControl frmSetup::named(const QString &name, bool checkBox)
{
    const std::optional<SetupControl> c = setupControlNamed(name);
    if (!c || isCheckBox(*c) != checkBox)
        throw std::invalid_argument(QStringLiteral("the setup dialog has no %1 named \"%2\"")
                                        .arg(checkBox ? QStringLiteral("check box") : QStringLiteral("text box"), name)
                                        .toStdString());
    return *c;
}

void frmSetup::fill(const Settings &s, double windNow)
{
    m_basic->fill(s);
    m_board->fill(s, windNow);
    m_alerts->fill(s);
    m_safety->fill(s);
    m_connections->fill(s);
    for (SetupRulesPage *page : {m_site, m_notify, m_sky})
        page->fill(s);
}

QString frmSetup::chooseFile(const PickerRequest &request)
{
    if (m_context.chooseFile)
        return m_context.chooseFile(request, this);
    return m_context.headless ? QString() : realFilePicker(request, this); // headless: nobody to answer, cancelled
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

bool frmSetup::Absolute() const
{
    return !m_basic->isRelative();
}

void frmSetup::setAbsolute(bool v)
{
    m_basic->setAbsolute(v);
}

QString frmSetup::servicesText() const
{
    return m_connections->servicesTable()->text();
}

ServicesTable *frmSetup::servicesTable() const
{
    return m_connections->servicesTable();
}

QString frmSetup::connectionsError() const
{
    return m_connections->error();
}

int frmSetup::selectedPort() const
{
    return m_basic->port().selectedPort();
}

QString frmSetup::selectedPortDevice() const
{
    return m_basic->port().selectedDevice();
}

void frmSetup::setSelectedPortDevice(const QString &path)
{
    m_basic->port().setSelectedDevice(path);
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
    if (isVisible()) {
        keepOnScreen(this);
        m_settling.setRemainingTime(kSettlingMs);
        m_settleCheck.start();
    }
}

void frmSetup::UpdateEnabledControls()
{
    EnabledInputs in;
    in.relative = m_basic->isRelative();
    in.canStepSize = checkState(C::chkCanStepSize);
    in.canTemp = checkState(C::chkCanTemp);
    in.canTempComp = checkState(C::chkCanTempComp);
    in.synchronous = checkState(C::chkSynchronous);
    const EnabledControls e = enabledControls(in);

    const std::pair<SetupControl, bool> rules[] = {
        {C::WindSpeedCloseDTF, e.windSpeedCloseD}, {C::WindSpeedWarnTF, e.windSpeedWarn},
        {C::chkCanTempComp, e.canTempComp},         {C::TempCurTF, e.tempCur},
        {C::TempMaxTF, e.tempMax},                  {C::TempAvgCntTF, e.tempAvgCnt},
        {C::BacklashCompTF, e.backlashComp},        {C::TempStepsTF, e.tempSteps},
        {C::chkCentigrade, e.centigrade},           {C::TPTempHysteresisTF, e.tpTempHysteresis},
        {C::TPTempOffsetTF, e.tpTempOffset},        {C::Thermistor_ATF, e.thermistors},
        {C::Thermistor_BTF, e.thermistors},         {C::Thermistor_CTF, e.thermistors},
        {C::chkSynchronous, e.synchronous},         {C::chkBacklashDir, e.backlashDir},
    };
    for (const auto &[control, enabled] : rules)
        controlWidget(control)->setEnabled(enabled);
}

void frmSetup::cmdOK_Click()
{
    // Refused in the dialog itself: nothing is saved and nothing typed is lost.
    if (m_connections->refuse()) {
        // Shown where the fields are; every typed text stays as it is. The
        // red line makes the content taller: fitted again, with room for the
        // scroll bar that may bring, so nothing scrolls sideways.
        m_advancedArea->setCurrentWidget(m_connections);
        setAdvancedMode(true);
        // Once the pages have taken in the new line.
        QTimer::singleShot(0, this, [this] { setAdvancedMode(true); });
        return;
    }
    m_result = true;
    hide();
    m_basic->port().save(m_failedWrites);
}

void frmSetup::cmdCancel_Click()
{
    m_result = false;
    hide();
    // Device choices are dropped; the box shows the stored mapping again.
    m_basic->port().dropEdits();
}

void frmSetup::cmdAdvanced_Click()
{
    setAdvancedMode(!m_advancedMode);
}

void frmSetup::cmdResetPos_Click()
{
    const bool relative = m_basic->isRelative();
    double maxStep = 0;
    if (!relative) {
        try {
            maxStep = realFromText(boxText(C::WindSpeedCloseDTF));
        } catch (const ConversionError &) {
            // The position stays as it was rather than taking a value from unreadable text.
            showMessage(QString::fromLatin1(fieldRule(C::WindSpeedCloseDTF).conversionMessage));
            return;
        }
    }
    // A maximum whose half is beyond any focuser position leaves the position as it was.
    if (m_positionReset && !m_positionReset(!relative, maxStep))
        showMessage(QStringLiteral("Position not reset: half of WindSpeedClose is too large for a focuser position"));
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
    m_basic->port().refreshDetectedDevices();
    QDialog::showEvent(event);
    emit shown();
}

void frmSetup::keepOnScreenWhileSettling()
{
    if (!isVisible() || m_settling.hasExpired())
        m_settleCheck.stop();
    else
        keepOnScreen(this);
}

void frmSetup::reject()
{
    cmdCancel_Click();
}
