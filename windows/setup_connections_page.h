// The setup dialog's Connections page: the MQTT broker link, the one-line
// weather data file and the table of further upload services, with the check
// that refuses OK (in the dialog itself) while one of them cannot be used.
#pragma once

#include <QStringList>
#include <QWidget>
#include <functional>

class QGroupBox;
class QLabel;
class QLayout;
class ServicesTable;
class SettingWriter;
class SetupWidgets;
struct PickerRequest;
struct Settings;
enum class SetupControl;

class SetupConnectionsPage : public QWidget {
    Q_OBJECT
public:
    using FileChooser = std::function<QString(const PickerRequest &)>; // empty when cancelled
    // Why an UploadServices text cannot be used (empty: it can); unset: rows are checked on their own.
    using ServicesCheck = std::function<QStringList(const QString &)>;

    SetupConnectionsPage(SetupWidgets &widgets, FileChooser chooseFile, ServicesCheck servicesProblems,
                         QWidget *parent = nullptr);

    void fill(const Settings &s);
    void readBack(Settings &s, SettingWriter &write) const;

    // Shows in the page why its fields cannot be saved; false (and nothing
    // shown) when they can.
    bool refuse();
    // Why OK was refused (empty while it was not).
    QString error() const;

    ServicesTable *servicesTable() const { return m_services; }

private:
    QGroupBox *buildMqttFrame();
    QLayout *buildPasswordRow();
    QGroupBox *buildDataFileFrame();
    QLayout *withBrowse(SetupControl control, const char *buttonName, bool saveFile);
    void browseFor(SetupControl control, bool saveFile);
    QStringList problems() const;

    SetupWidgets &m_widgets;
    FileChooser m_chooseFile;
    ServicesCheck m_servicesProblems;
    ServicesTable *m_services = nullptr;
    QLabel *m_error = nullptr;
};
