// The upload's form and window.
#include "windows/upload_setup.h"

#include "screen/screen_fit.h"

#include "upload/upload_form.h"
#include "windows/upload_window.h"

UploadUi::UploadUi(Settings &settings, SettingSaver save)
    : m_form(std::make_unique<UploadForm>(settings, std::move(save)))
{
}

UploadUi::~UploadUi()
{
    delete m_window.data(); // it is a view of the form
}

void UploadUi::show()
{
    m_form->load();
    if (!m_window)
        m_window = new UploadWindow(*m_form);
    m_window->setOtherServiceStates(serviceStates());
    m_window->show();
    keepOnScreen(m_window);
    m_window->raise();
    m_window->activateWindow();
}

void UploadUi::unload()
{
    if (m_window)
        m_window->close(); // its close unloads the form
    m_form->unload();
}

void UploadUi::setServices(const std::vector<ServiceConfig> &configs, std::function<QDateTime()> clock,
                          const QString &caFile)
{
    m_services.clear();
    for (const ServiceConfig &config : configs) {
        auto service = std::make_unique<ServiceUploader>(config, clock);
        service->setCaFile(caFile);
        service->setMinuteSource(m_minuteSource, m_backlogHours);
        QObject::connect(service.get(), &ServiceUploader::stateChanged, m_form.get(), [this] {
            if (m_window)
                m_window->setOtherServiceStates(serviceStates());
        });
        service->start();
        m_services.push_back(std::move(service));
    }
    // Changed while the window is up (the setup dialog): it shows the new list.
    if (m_window)
        m_window->setOtherServiceStates(serviceStates());
}

void UploadUi::offerObservation(const Observation &o, bool mayGoOut)
{
    for (const auto &service : m_services) {
        if (mayGoOut)
            service->setObservation(o);
        else
            service->clearObservation();
    }
}

QStringList UploadUi::serviceStates() const
{
    QStringList lines;
    for (const auto &service : m_services)
        lines << service->stateLine();
    return lines;
}
