// The upload form (state, socket and send operation) and its window, owned by
// whoever runs the program: the form lives as long as this object, the window
// while it is loaded.
#pragma once

#include "upload/upload_form.h"
#include "windows/upload_window.h"
#include "upload/service_uploader.h"

#include <QPointer>
#include <memory>
#include <vector>



class UploadUi {
public:
    UploadUi(Settings &settings, SettingSaver save);
    ~UploadUi();
    UploadUi(const UploadUi &) = delete;
    UploadUi &operator=(const UploadUi &) = delete;

    UploadForm &form() { return *m_form; }
    // The window while it is loaded, else nullptr.
    UploadWindow *window() const { return m_window; }

    void show();   // loads the form if needed, shows the window modeless
    void unload(); // closes the window (if any) and unloads the form

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

private:
    std::unique_ptr<UploadForm> m_form;
    QPointer<UploadWindow> m_window;
    std::vector<std::unique_ptr<ServiceUploader>> m_services;
    MinuteSource m_minuteSource;
    int m_backlogHours = 6;
};
