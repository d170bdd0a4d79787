// The upload's place in the program: its settings, the observation it reports
// and the rule for when readings may go out.
#include "app/app.h"
#include "app/watch_thread.h"

#include "archive/archive.h"
#include "core/messages.h"
#include "app/program.h"
#include "station/station_cycle.h"
#include "station/station_link.h"
#include "upload/uploads.h"

#include <QJsonObject>

#include <utility>

namespace {
// Whether readings may go out now; asked where the watch runs.
ReportCheck reportCheckOf(const App &a)
{
    ReportCheck c;
    c.skipReason = a.notLiveNow();
    // The simulator's weather is made up: it never goes to a public service.
    if (c.skipReason.isEmpty() && a.link->board().state == BoardState::Simulated)
        c.skipReason = QStringLiteral("the simulated board's readings are not sent");
    return c;
}
} // namespace

void App::wireUpload()
{
    upload = std::make_unique<Uploads>(prog().settings, [](const QString &key) { return saveSettingNow(key); });
    UploadForm &form = upload->form();
    const Settings &s = prog().settings;
    form.setBacklogHours(std::clamp(s.UploadBacklogHours, 0, 24 * 7));
    form.setCaFile(s.UploadCaFile);
    // Missed minutes come back from the archive when there is one, read on
    // its own connection where the watch and the upload run.
    if (archive) {
        const MinuteSource minutes = [this](const QDateTime &from, const QDateTime &to) {
            return archive ? archive->minutesBetween(from, to) : std::vector<ArchiveSummary>{};
        };
        form.setMinuteSource(minutes);
        upload->setMinuteSource(minutes, std::clamp(s.UploadBacklogHours, 0, 24 * 7));
    }
    // The report goes with the observation of the record that ended its period.
    QStringList problems;
    upload->setServices(parseServices(s.UploadServices, problems), &QDateTime::currentDateTimeUtc, s.UploadCaFile);
    if (!problems.isEmpty())
        showMessage(QStringLiteral("UploadServices: ") + problems.join(QStringLiteral("; ")));
    // The observer and the upload run where the watch runs; a window only
    // mirrors the upload. The report goes out once the cycle is over.
    cycle->addObserver([this](const Observation &o) {
        const bool send = std::exchange(m_reportDue, false);
        Uploads *uploads = upload.get();
        uploads->form().setObservation(o);
        uploads->offerObservation(o, reportCheckOf(*this).skipReason.isEmpty());
        if (send)
            QMetaObject::invokeMethod(&uploads->form(), [uploads] { uploads->form().cmdSend_Click(); }, Qt::QueuedConnection);
    });
    form.setReportCheck([this] { return reportCheckOf(*this); });
}

QJsonArray App::uploadStatesSeen()
{
    QJsonArray states;
    onWatchThread(*this, [this, &states] { states = uploadStates(); });
    return states;
}

QJsonArray App::uploadStates() const
{
    QJsonArray states;
    if (!upload)
        return states;
    states.append(QJsonObject{{QStringLiteral("service"), QStringLiteral("Weather service")},
                              {QStringLiteral("state"), upload->form().stateText()}});
    for (const auto &service : upload->services())
        states.append(QJsonObject{{QStringLiteral("service"), service->config().name},
                                  {QStringLiteral("state"), service->delivery().stateText()}});
    return states;
}
