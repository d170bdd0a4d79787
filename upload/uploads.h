// The uploads of the watch: the weather service's form (state, socket and
// send operation) and the services beyond it. They live where the watch runs,
// with or without a window; a window mirrors them (windows/upload_setup.h).
#pragma once

#include "upload/upload_form.h"
#include "upload/service_uploader.h"

#include <QObject>
#include <QStringList>
#include <memory>
#include <vector>

class Uploads : public QObject {
    Q_OBJECT
public:
    Uploads(Settings &settings, SettingSaver save);
    ~Uploads() override;
    Uploads(const Uploads &) = delete;
    Uploads &operator=(const Uploads &) = delete;

    UploadForm &form() { return *m_form; }
    const UploadForm &form() const { return *m_form; }

    // Drops the connection and empties the form (closing the program or the window).
    void unload() { m_form->unload(); }

    // The services beyond the main one, each on its own interval; started at once.
    void setServices(const std::vector<ServiceConfig> &configs, std::function<QDateTime()> clock, const QString &caFile);
    const std::vector<std::unique_ptr<ServiceUploader>> &services() const { return m_services; }
    // The archive's minute rows for the services' catch-up after an outage;
    // set before setServices.
    void setMinuteSource(MinuteSource source, int backlogHours)
    {
        m_minuteSource = std::move(source);
        m_backlogHours = backlogHours;
    }
    // The latest observation for the services; when readings may not go out
    // (stale, made up) they get none and send nothing.
    void offerObservation(const Observation &o, bool mayGoOut);
    // "<name>: <state>" of each service beyond the main one.
    QStringList serviceStates() const;

signals:
    // A service's state or the list of services changed.
    void serviceStatesChanged(const QStringList &lines);

private:
    std::unique_ptr<UploadForm> m_form;
    std::vector<std::unique_ptr<ServiceUploader>> m_services;
    MinuteSource m_minuteSource;
    int m_backlogHours = 6;
};
