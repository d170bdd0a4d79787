// The uploads of the watch.
#include "upload/uploads.h"

Uploads::Uploads(Settings &settings, SettingSaver save)
    : m_form(std::make_unique<UploadForm>(settings, std::move(save), this))
{
}

Uploads::~Uploads() = default;

void Uploads::setServices(const std::vector<ServiceConfig> &configs, std::function<QDateTime()> clock,
                          const QString &caFile)
{
    m_services.clear();
    for (const ServiceConfig &config : configs) {
        // A child, so it goes with the uploads to the watch's thread.
        auto service = std::make_unique<ServiceUploader>(config, clock, this);
        service->setCaFile(caFile);
        service->setMinuteSource(m_minuteSource, m_backlogHours);
        connect(service.get(), &ServiceUploader::stateChanged, this, [this] { emit serviceStatesChanged(serviceStates()); });
        service->start();
        m_services.push_back(std::move(service));
    }
    // Changed while a window is up (the setup dialog): it shows the new list.
    emit serviceStatesChanged(serviceStates());
}

void Uploads::offerObservation(const Observation &o, bool mayGoOut)
{
    for (const auto &service : m_services) {
        if (mayGoOut)
            service->setObservation(o);
        else
            service->clearObservation();
    }
}

QStringList Uploads::serviceStates() const
{
    QStringList lines;
    for (const auto &service : m_services)
        lines << service->stateLine();
    return lines;
}
