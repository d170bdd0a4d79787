#include "windows/setup_connections_page.h"

#include "core/settings.h"
#include "windows/connection_checks.h"
#include "windows/setup_fields.h"
#include "windows/setup_read_back.h"
#include "windows/setup_services_table.h"
#include "windows/setup_widgets.h"

#include <QCheckBox>
#include <QDir>
#include <QFileInfo>
#include <QFormLayout>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

using C = SetupControl;

SetupConnectionsPage::SetupConnectionsPage(SetupWidgets &widgets, FileChooser chooseFile,
                                           ServicesCheck servicesProblems, QWidget *parent)
    : QWidget(parent), m_widgets(widgets), m_chooseFile(std::move(chooseFile)),
      m_servicesProblems(std::move(servicesProblems))
{
    setObjectName(QStringLiteral("connectionsPage"));
    auto *page = new QVBoxLayout(this);
    m_error = new QLabel(this);
    m_error->setObjectName(QStringLiteral("lblConnectionsError"));
    m_error->setWordWrap(true);
    // Wrapped, but not height-for-width: that would make the whole scrolled
    // content take its preferred height and scroll on a small screen.
    QSizePolicy policy = m_error->sizePolicy();
    policy.setHeightForWidth(false);
    m_error->setSizePolicy(policy);
    m_error->setStyleSheet(QStringLiteral("color: #b00000; font-weight: bold"));
    m_error->hide();
    page->addWidget(m_error);
    page->addWidget(buildMqttFrame());
    page->addWidget(buildDataFileFrame());
    QGroupBox *services = SetupWidgets::frame("Upload Services", this);
    services->setToolTip(QStringLiteral("Services sent to besides the main one in the upload window"));
    m_services = new ServicesTable(services);
    auto *servicesLayout = new QVBoxLayout(services);
    servicesLayout->addWidget(m_services);
    page->addWidget(services, 1);
}

QGroupBox *SetupConnectionsPage::buildMqttFrame()
{
    QGroupBox *mqtt = SetupWidgets::frame("MQTT", this);
    auto *grid = new QGridLayout(mqtt);
    auto *left = new QFormLayout;
    left->addRow(m_widgets.addCheck(C::chkMqttEnabled, "Publish to a broker", mqtt));
    left->addRow(QStringLiteral("Host"), m_widgets.addBox(C::MqttHost, mqtt));
    left->addRow(QStringLiteral("Port"), m_widgets.addBox(C::MqttPort, mqtt));
    left->addRow(QStringLiteral("User"), m_widgets.addBox(C::MqttUser, mqtt));
    left->addRow(QStringLiteral("Password"), buildPasswordRow());

    auto *right = new QFormLayout;
    right->addRow(QStringLiteral("Topic prefix"), m_widgets.addBox(C::MqttTopicPrefix, mqtt));
    m_widgets.box(C::MqttTopicPrefix)->setPlaceholderText(QStringLiteral("tarnwick/<station ID>"));
    right->addRow(QStringLiteral("Discovery prefix"), m_widgets.addBox(C::MqttDiscoveryPrefix, mqtt));
    right->addRow(QStringLiteral("Keep-alive (s)"), m_widgets.addBox(C::MqttKeepAliveSeconds, mqtt));
    right->addRow(m_widgets.addCheck(C::chkMqttTls, "TLS", mqtt));
    right->addRow(QStringLiteral("CA file"), withBrowse(C::MqttCaFile, "cmdBrowseMqttCaFile", false));
    right->addRow(m_widgets.addCheck(C::chkMqttRetain, "Retain values", mqtt));
    grid->addLayout(left, 0, 0);
    grid->addLayout(right, 0, 1);

    m_widgets.setToolTips({
        {C::MqttPort, "1 to 65535; 1883 is the usual port, 8883 with TLS"},
        {C::MqttTopicPrefix, "Empty: tarnwick/ and the station ID; no + or #"},
        {C::MqttDiscoveryPrefix, "Where Home Assistant looks for its sensors; empty: none announced"},
        {C::MqttKeepAliveSeconds, "6 to 3600; subscribers see the program offline within 1.5 times this"},
        {C::MqttCaFile, "Empty with TLS: the system's certificate authorities"},
    });
    return mqtt;
}

// The password shows as dots unless the user asks to see it.
QLayout *SetupConnectionsPage::buildPasswordRow()
{
    QLineEdit *password = m_widgets.addBox(C::MqttPassword, this);
    password->setEchoMode(QLineEdit::Password);
    auto *show = new QCheckBox(QStringLiteral("Show"), this);
    show->setObjectName(QStringLiteral("chkShowMqttPassword"));
    show->setToolTip(QStringLiteral("Show the password as typed"));
    connect(show, &QCheckBox::toggled, password,
            [password](bool on) { password->setEchoMode(on ? QLineEdit::Normal : QLineEdit::Password); });
    auto *row = new QHBoxLayout;
    row->addWidget(password, 1);
    row->addWidget(show);
    return row;
}

QGroupBox *SetupConnectionsPage::buildDataFileFrame()
{
    QGroupBox *file = SetupWidgets::frame("Weather Data File", this);
    auto *form = new QFormLayout(file);
    form->addRow(QStringLiteral("One-line file"), withBrowse(C::WeatherDataFile, "cmdBrowseWeatherDataFile", true));
    m_widgets.box(C::WeatherDataFile)->setToolTip(QStringLiteral("Rewritten after every reading for roof and "
                                                                 "automation programs; empty: not written"));
    return file;
}

QLayout *SetupConnectionsPage::withBrowse(SetupControl control, const char *buttonName, bool saveFile)
{
    auto *row = new QHBoxLayout;
    QLineEdit *path = m_widgets.addBox(control, this);
    path->setMinimumWidth(m_widgets.owner()->fontMetrics().horizontalAdvance(QLatin1Char('x')) * 32);
    auto *browse = new QPushButton(QStringLiteral("Browse..."), this);
    browse->setObjectName(QLatin1String(buttonName));
    browse->setAutoDefault(false);
    connect(browse, &QPushButton::clicked, this, [this, control, saveFile] { browseFor(control, saveFile); });
    row->addWidget(path, 1);
    row->addWidget(browse);
    return row;
}

void SetupConnectionsPage::browseFor(SetupControl control, bool saveFile)
{
    const QString current = m_widgets.text(control).trimmed();
    PickerRequest request;
    request.initialFolder = current.isEmpty() ? QDir::homePath() : QFileInfo(current).absolutePath();
    request.nameFilters = {saveFile ? QStringLiteral("Text files (*.txt)")
                                    : QStringLiteral("Certificates (*.pem *.crt)"),
                           QStringLiteral("All files (*)")};
    request.saveFile = saveFile;
    const QString chosen = m_chooseFile(request);
    if (!chosen.isEmpty())
        m_widgets.setText(control, chosen);
}

QStringList SetupConnectionsPage::problems() const
{
    QStringList problems = mqttFieldProblems({m_widgets.text(C::MqttPort), m_widgets.text(C::MqttKeepAliveSeconds),
                                              m_widgets.text(C::MqttTopicPrefix),
                                              m_widgets.text(C::MqttDiscoveryPrefix)});
    // Row by row, so each problem names its row. The lines kept as they were
    // are the upload's concern, as they were before.
    const ServiceRows rows = m_services->rows();
    for (size_t i = 0; i < rows.rows.size(); ++i) {
        const int number = int(i) + 1;
        const QStringList found = serviceRowProblems(rows.rows[i], number);
        problems << found;
        // The uploads' own reading of the line as a last check; its words
        // quote the line, which may hold a key, so they are not shown.
        if (found.isEmpty() && m_servicesProblems && !m_servicesProblems(serviceLine(rows.rows[i])).isEmpty())
            problems << QStringLiteral("service row %1 cannot be used as it stands").arg(number);
    }
    return problems;
}

bool SetupConnectionsPage::refuse()
{
    const QStringList found = problems();
    m_error->setVisible(!found.isEmpty());
    if (found.isEmpty())
        return false;
    m_error->setText(QStringLiteral("Not saved; please correct: ") + found.join(QStringLiteral("; ")));
    return true;
}

QString SetupConnectionsPage::error() const
{
    return m_error->isHidden() ? QString() : m_error->text();
}

void SetupConnectionsPage::fill(const Settings &s)
{
    m_widgets.setChecked(C::chkMqttEnabled, s.MqttEnabled);
    m_widgets.setText(C::MqttHost, s.MqttHost);
    m_widgets.setText(C::MqttPort, QString::number(s.MqttPort));
    m_widgets.setText(C::MqttUser, s.MqttUser);
    m_widgets.setText(C::MqttPassword, s.MqttPassword);
    m_widgets.setText(C::MqttTopicPrefix, s.MqttTopicPrefix);
    m_widgets.setChecked(C::chkMqttTls, s.MqttTls);
    m_widgets.setText(C::MqttCaFile, s.MqttCaFile);
    m_widgets.setChecked(C::chkMqttRetain, s.MqttRetain);
    m_widgets.setText(C::MqttDiscoveryPrefix, s.MqttDiscoveryPrefix);
    m_widgets.setText(C::MqttKeepAliveSeconds, QString::number(s.MqttKeepAliveSeconds));
    m_widgets.setText(C::WeatherDataFile, s.WeatherDataFile);
    m_services->setText(s.UploadServices);
    m_error->hide();
}

// Checked before the dialog closed (it refuses OK in place): never refused here.
void SetupConnectionsPage::readBack(Settings &s, SettingWriter &write) const
{
    s.MqttEnabled = m_widgets.isChecked(C::chkMqttEnabled);
    s.MqttHost = m_widgets.text(C::MqttHost).trimmed();
    wholeInRange(m_widgets.text(C::MqttPort), 1, 65535, &s.MqttPort);
    s.MqttUser = m_widgets.text(C::MqttUser);
    s.MqttPassword = m_widgets.text(C::MqttPassword);
    s.MqttTopicPrefix = m_widgets.text(C::MqttTopicPrefix).trimmed();
    s.MqttTls = m_widgets.isChecked(C::chkMqttTls);
    s.MqttCaFile = m_widgets.text(C::MqttCaFile).trimmed();
    s.MqttRetain = m_widgets.isChecked(C::chkMqttRetain);
    s.MqttDiscoveryPrefix = m_widgets.text(C::MqttDiscoveryPrefix).trimmed();
    wholeInRange(m_widgets.text(C::MqttKeepAliveSeconds), 6, 3600, &s.MqttKeepAliveSeconds);
    s.WeatherDataFile = m_widgets.text(C::WeatherDataFile).trimmed();
    s.UploadServices = m_services->text();
    for (const char *key : {"Mqtt/Enabled", "Mqtt/Host", "Mqtt/Port", "Mqtt/User", "Mqtt/Password",
                            "Mqtt/TopicPrefix", "Mqtt/Tls", "Mqtt/CaFile", "Mqtt/Retain", "Mqtt/DiscoveryPrefix",
                            "Mqtt/KeepAliveSeconds", "WeatherDataFile", "UploadServices"})
        write(key);
}
