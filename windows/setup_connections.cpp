// The setup dialog's Connections page: the MQTT broker link, the one-line
// weather data file and the table of further upload services, with the check
// that refuses OK (in the dialog itself) while one of them cannot be used.
#include "windows/setup_dialog.h"

#include "core/settings.h"
#include "windows/connection_checks.h"
#include "windows/setup_services_table.h"

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
#include <QTabWidget>
#include <QVBoxLayout>

using C = SetupControl;

QWidget *frmSetup::buildConnectionsPage()
{
    m_connectionsPage = new QWidget(this);
    m_connectionsPage->setObjectName(QStringLiteral("connectionsPage"));
    auto *page = new QVBoxLayout(m_connectionsPage);
    m_connectionsError = new QLabel(m_connectionsPage);
    m_connectionsError->setObjectName(QStringLiteral("lblConnectionsError"));
    m_connectionsError->setWordWrap(true);
    // Wrapped, but not height-for-width: that would make the whole scrolled
    // content take its preferred height and scroll on a small screen.
    QSizePolicy policy = m_connectionsError->sizePolicy();
    policy.setHeightForWidth(false);
    m_connectionsError->setSizePolicy(policy);
    m_connectionsError->setStyleSheet(QStringLiteral("color: #b00000; font-weight: bold"));
    m_connectionsError->hide();
    page->addWidget(m_connectionsError);
    page->addWidget(buildMqttFrame());
    page->addWidget(buildDataFileFrame());
    QGroupBox *services = frame("Upload Services");
    services->setToolTip(QStringLiteral("Services sent to besides the main one in the upload window"));
    m_services = new ServicesTable(services);
    auto *servicesLayout = new QVBoxLayout(services);
    servicesLayout->addWidget(m_services);
    page->addWidget(services, 1);
    return m_connectionsPage;
}

QGroupBox *frmSetup::buildMqttFrame()
{
    QGroupBox *mqtt = frame("MQTT");
    auto *grid = new QGridLayout(mqtt);
    auto *left = new QFormLayout;
    left->addRow(addCheck(C::chkMqttEnabled, "Publish to a broker"));
    left->addRow(QStringLiteral("Host"), addBox(C::MqttHost));
    left->addRow(QStringLiteral("Port"), addBox(C::MqttPort));
    left->addRow(QStringLiteral("User"), addBox(C::MqttUser));
    QLineEdit *password = addBox(C::MqttPassword);
    // The password shows as dots unless the user asks to see it.
    password->setEchoMode(QLineEdit::Password);
    auto *show = new QCheckBox(QStringLiteral("Show"), this);
    show->setObjectName(QStringLiteral("chkShowMqttPassword"));
    show->setToolTip(QStringLiteral("Show the password as typed"));
    connect(show, &QCheckBox::toggled, password,
            [password](bool on) { password->setEchoMode(on ? QLineEdit::Normal : QLineEdit::Password); });
    auto *passwordRow = new QHBoxLayout;
    passwordRow->addWidget(password, 1);
    passwordRow->addWidget(show);
    left->addRow(QStringLiteral("Password"), passwordRow);

    auto *right = new QFormLayout;
    right->addRow(QStringLiteral("Topic prefix"), addBox(C::MqttTopicPrefix));
    box(C::MqttTopicPrefix)->setPlaceholderText(QStringLiteral("tarnwick/<station ID>"));
    right->addRow(QStringLiteral("Discovery prefix"), addBox(C::MqttDiscoveryPrefix));
    right->addRow(QStringLiteral("Keep-alive (s)"), addBox(C::MqttKeepAliveSeconds));
    right->addRow(addCheck(C::chkMqttTls, "TLS"));
    right->addRow(QStringLiteral("CA file"), withBrowse(C::MqttCaFile, "cmdBrowseMqttCaFile", false));
    right->addRow(addCheck(C::chkMqttRetain, "Retain values"));
    grid->addLayout(left, 0, 0);
    grid->addLayout(right, 0, 1);

    for (const auto &[control, tip] : std::initializer_list<std::pair<SetupControl, const char *>>{
             {C::MqttPort, "1 to 65535; 1883 is the usual port, 8883 with TLS"},
             {C::MqttTopicPrefix, "Empty: tarnwick/ and the station ID; no + or #"},
             {C::MqttDiscoveryPrefix, "Where Home Assistant looks for its sensors; empty: none announced"},
             {C::MqttKeepAliveSeconds, "6 to 3600; subscribers see the program offline within 1.5 times this"},
             {C::MqttCaFile, "Empty with TLS: the system's certificate authorities"}})
        box(control)->setToolTip(QString::fromLatin1(tip));
    return mqtt;
}

QGroupBox *frmSetup::buildDataFileFrame()
{
    QGroupBox *file = frame("Weather Data File");
    auto *form = new QFormLayout(file);
    form->addRow(QStringLiteral("One-line file"), withBrowse(C::WeatherDataFile, "cmdBrowseWeatherDataFile", true));
    box(C::WeatherDataFile)->setToolTip(QStringLiteral("Rewritten after every reading for roof and automation "
                                                       "programs; empty: not written"));
    return file;
}

QLayout *frmSetup::withBrowse(SetupControl control, const char *buttonName, bool saveFile)
{
    auto *row = new QHBoxLayout;
    QLineEdit *path = addBox(control);
    path->setMinimumWidth(fontMetrics().horizontalAdvance(QLatin1Char('x')) * 32);
    auto *browse = new QPushButton(QStringLiteral("Browse..."), this);
    browse->setObjectName(QLatin1String(buttonName));
    browse->setAutoDefault(false);
    connect(browse, &QPushButton::clicked, this, [this, control, saveFile] { browseFor(control, saveFile); });
    row->addWidget(path, 1);
    row->addWidget(browse);
    return row;
}

void frmSetup::browseFor(SetupControl control, bool saveFile)
{
    PickerRequest request;
    const QFileInfo current(boxText(control).trimmed());
    request.initialFolder = boxText(control).trimmed().isEmpty() ? QDir::homePath() : current.absolutePath();
    request.nameFilters = {saveFile ? QStringLiteral("Text files (*.txt)") : QStringLiteral("Certificates (*.pem *.crt)"),
                           QStringLiteral("All files (*)")};
    request.saveFile = saveFile;
    const QString chosen = chooseFile(request);
    if (!chosen.isEmpty())
        setBoxText(control, chosen);
}

QString frmSetup::servicesText() const
{
    return m_services->text();
}

void frmSetup::setServicesText(const QString &text)
{
    m_services->setText(text);
}

QString frmSetup::connectionsError() const
{
    return m_connectionsError->isHidden() ? QString() : m_connectionsError->text();
}

bool frmSetup::refuseConnections()
{
    QStringList problems = mqttFieldProblems({boxText(C::MqttPort), boxText(C::MqttKeepAliveSeconds),
                                              boxText(C::MqttTopicPrefix), boxText(C::MqttDiscoveryPrefix)});
    // Row by row, so each problem names its row. The lines kept as they were
    // are the upload's concern, as they were before.
    const ServiceRows rows = m_services->rows();
    for (size_t i = 0; i < rows.rows.size(); ++i) {
        const int number = int(i) + 1;
        if (const QString p = serviceRowProblem(rows.rows[i], number); !p.isEmpty())
            problems << p;
        else if (m_context.servicesProblems)
            for (const QString &p : m_context.servicesProblems(serviceLine(rows.rows[i])))
                problems << QStringLiteral("service row %1: %2").arg(number).arg(p);
    }
    m_connectionsError->setVisible(!problems.isEmpty());
    if (problems.isEmpty())
        return false;
    m_connectionsError->setText(QStringLiteral("Not saved; please correct: ") + problems.join(QStringLiteral("; ")));
    // Shown where the fields are; every typed text stays as it is.
    if (!m_advancedMode)
        setAdvancedMode(true);
    m_advancedArea->setCurrentWidget(m_connectionsPage);
    return true;
}

void frmSetup::setConnections(const Settings &s)
{
    setCheckState(C::chkMqttEnabled, s.MqttEnabled ? Checked : Unchecked);
    setBoxText(C::MqttHost, s.MqttHost);
    setBoxText(C::MqttPort, QString::number(s.MqttPort));
    setBoxText(C::MqttUser, s.MqttUser);
    setBoxText(C::MqttPassword, s.MqttPassword);
    setBoxText(C::MqttTopicPrefix, s.MqttTopicPrefix);
    setCheckState(C::chkMqttTls, s.MqttTls ? Checked : Unchecked);
    setBoxText(C::MqttCaFile, s.MqttCaFile);
    setCheckState(C::chkMqttRetain, s.MqttRetain ? Checked : Unchecked);
    setBoxText(C::MqttDiscoveryPrefix, s.MqttDiscoveryPrefix);
    setBoxText(C::MqttKeepAliveSeconds, QString::number(s.MqttKeepAliveSeconds));
    setBoxText(C::WeatherDataFile, s.WeatherDataFile);
    setServicesText(s.UploadServices);
    m_connectionsError->hide();
}

void frmSetup::readConnections(Settings &s) const
{
    s.MqttEnabled = checkState(C::chkMqttEnabled) == Checked;
    s.MqttHost = boxText(C::MqttHost).trimmed();
    wholeInRange(boxText(C::MqttPort), 1, 65535, &s.MqttPort);
    s.MqttUser = boxText(C::MqttUser);
    s.MqttPassword = boxText(C::MqttPassword);
    s.MqttTopicPrefix = boxText(C::MqttTopicPrefix).trimmed();
    s.MqttTls = checkState(C::chkMqttTls) == Checked;
    s.MqttCaFile = boxText(C::MqttCaFile).trimmed();
    s.MqttRetain = checkState(C::chkMqttRetain) == Checked;
    s.MqttDiscoveryPrefix = boxText(C::MqttDiscoveryPrefix).trimmed();
    wholeInRange(boxText(C::MqttKeepAliveSeconds), 6, 3600, &s.MqttKeepAliveSeconds);
    s.WeatherDataFile = boxText(C::WeatherDataFile).trimmed();
    s.UploadServices = servicesText();
}

const QStringList &frmSetup::connectionKeys()
{
    static const QStringList keys{
        QStringLiteral("Mqtt/Enabled"),         QStringLiteral("Mqtt/Host"),     QStringLiteral("Mqtt/Port"),
        QStringLiteral("Mqtt/User"),            QStringLiteral("Mqtt/Password"), QStringLiteral("Mqtt/TopicPrefix"),
        QStringLiteral("Mqtt/Tls"),             QStringLiteral("Mqtt/CaFile"),   QStringLiteral("Mqtt/Retain"),
        QStringLiteral("Mqtt/DiscoveryPrefix"), QStringLiteral("Mqtt/KeepAliveSeconds"),
        QStringLiteral("WeatherDataFile"),      QStringLiteral("UploadServices")};
    return keys;
}
