#include "windows/setup_port_choice.h"

#include "core/port_mapping.h"
#include "core/profile_store.h"
#include "core/settings.h"

#include <QComboBox>
#include <QSerialPortInfo>

SetupPortChoice::SetupPortChoice(ProfileStore *profile, QWidget *host) : QObject(host), m_profile(profile)
{
    m_gPort = new QComboBox(host);
    m_gPort->setObjectName(QStringLiteral("gPort"));
    for (int n = 1; n <= 16; ++n)
        m_gPort->addItem(QStringLiteral("COM %1").arg(n));
    m_portDevice = new QComboBox(host);
    m_portDevice->setObjectName(QStringLiteral("gPortDevice"));
    m_portDevice->setEditable(true);
    m_portDevice->setInsertPolicy(QComboBox::NoInsert);
    m_portDevice->setToolTip(QStringLiteral("The device this port number opens on this computer: "
                                            "choose a detected serial device or type its path"));
    m_portDevice->setMinimumContentsLength(18);
    connect(m_gPort, &QComboBox::currentIndexChanged, this, &SetupPortChoice::onPortChanged);
}

int SetupPortChoice::selectedPort() const
{
    return m_gPort->currentIndex() + 1;
}

QString SetupPortChoice::selectedDevice() const
{
    return m_portDevice->currentText().trimmed();
}

void SetupPortChoice::setSelectedDevice(const QString &path)
{
    m_portDevice->setEditText(path);
}

QString SetupPortChoice::storedDevice(int port) const
{
    return m_profile ? devicePathForPort(*m_profile, port) : defaultDeviceForPort(port);
}

void SetupPortChoice::load()
{
    QString text;
    if (m_profile)
        text = m_profile->value(kDriverId, kComPortKey).trimmed();
    if (text.isEmpty())
        text = QStringLiteral("2");
    bool ok = false;
    const int port = text.toInt(&ok);
    // A number outside the list selects nothing, so OK leaves the stored value alone.
    m_gPort->setCurrentIndex(ok && port >= 1 && port <= 16 ? port - 1 : -1);
    onPortChanged(m_gPort->currentIndex());
}

void SetupPortChoice::onPortChanged(int index)
{
    if (m_shownPort > 0)
        m_deviceEdits.insert(m_shownPort, selectedDevice());
    m_shownPort = index + 1;
    if (m_shownPort <= 0) {
        setSelectedDevice(QString());
        return;
    }
    setSelectedDevice(m_deviceEdits.contains(m_shownPort) ? m_deviceEdits.value(m_shownPort)
                                                          : storedDevice(m_shownPort));
}

void SetupPortChoice::refreshDetectedDevices()
{
    const QString current = selectedDevice();
    m_portDevice->clear();
    for (const QSerialPortInfo &info : QSerialPortInfo::availablePorts()) {
        m_portDevice->addItem(info.systemLocation());
        QString about = info.description();
        if (!info.manufacturer().isEmpty())
            about += (about.isEmpty() ? QString() : QStringLiteral(", ")) + info.manufacturer();
        m_portDevice->setItemData(m_portDevice->count() - 1, about, Qt::ToolTipRole);
    }
    setSelectedDevice(current);
}

void SetupPortChoice::save(QStringList &failed)
{
    if (m_shownPort > 0)
        m_deviceEdits.insert(m_shownPort, selectedDevice());
    if (m_profile) {
        if (selectedPort() >= 1 && !m_profile->writeValue(kDriverId, kComPortKey, QString::number(selectedPort())))
            failed << kComPortKey;
        for (auto it = m_deviceEdits.cbegin(); it != m_deviceEdits.cend(); ++it) {
            if (it.value() == devicePathForPort(*m_profile, it.key()))
                continue;
            // Choosing the default device again removes the mapping.
            if (!setDevicePathForPort(*m_profile, it.key(),
                                      it.value() == defaultDeviceForPort(it.key()) ? QString() : it.value()))
                failed << QStringLiteral("COM %1").arg(it.key());
        }
    }
    m_deviceEdits.clear();
}

void SetupPortChoice::dropEdits()
{
    m_deviceEdits.clear();
    if (m_shownPort > 0)
        setSelectedDevice(storedDevice(m_shownPort));
}
