// The setup dialog's serial port: the port number, the device it maps to on
// this computer, and the choices OK writes to the profile.
#pragma once

#include <QMap>
#include <QObject>
#include <QString>
#include <QStringList>

class ProfileStore;
class QComboBox;
class QWidget;

class SetupPortChoice : public QObject {
    Q_OBJECT
public:
    // No profile: the default port and devices, and nothing is written.
    SetupPortChoice(ProfileStore *profile, QWidget *host);

    QComboBox *portBox() const { return m_gPort; }
    QComboBox *deviceBox() const { return m_portDevice; }

    // Selects the stored port number (2 when none is stored).
    void load();
    // The port number selected (1 to 16), 0 when none is selected.
    int selectedPort() const;
    // The device the selected port number maps to, as shown.
    QString selectedDevice() const;
    void setSelectedDevice(const QString &path);
    // Lists the serial devices found now, keeping the shown one.
    void refreshDetectedDevices();
    // OK: the port number and the changed devices to the profile; the keys
    // that could not be written are added to failed.
    void save(QStringList &failed);
    // Cancel: the device choices are dropped and the stored mapping shown again.
    void dropEdits();

private:
    void onPortChanged(int index);
    QString storedDevice(int port) const;

    ProfileStore *m_profile;
    QComboBox *m_gPort = nullptr;
    QComboBox *m_portDevice = nullptr;
    int m_shownPort = 0;              // port whose device the device box shows
    QMap<int, QString> m_deviceEdits; // device choices not yet confirmed by OK
};
