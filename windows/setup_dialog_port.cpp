// The setup dialog's serial port: the port number, the device it maps to on
// this computer, and the choices OK writes to the profile.
#include "windows/setup_dialog.h"

#include "core/port_mapping.h"
#include "core/profile_store.h"
#include "core/settings.h"

#include <QComboBox>
#include <QSerialPortInfo>

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
    if (m_context.profile)
        text = m_context.profile->value(kDriverId, kComPortKey).trimmed();
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
        device = m_context.profile ? devicePathForPort(*m_context.profile, m_shownPort) : defaultDeviceForPort(m_shownPort);
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
    ProfileStore *profile = m_context.profile;
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
