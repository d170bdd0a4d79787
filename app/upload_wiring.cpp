// The upload's place in the program: its settings, the observation it reports
// and the rule for when readings may go out.
#include "app/app.h"
#include "app/watch_thread.h"

#include "archive/archive.h"
#include "core/messages.h"
#include "app/program.h"
#include "station/station_cycle.h"
#include "station/station_link.h"
#include "windows/upload_setup.h"

#include <QJsonObject>
#include <QMutexLocker>
#include <QThread>

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
    upload = std::make_unique<UploadUi>(prog().settings, [](const QString &key) { return saveSettingNow(key); });
    UploadForm &form = upload->form();
    const Settings &s = prog().settings;
    form.setBacklogHours(std::clamp(s.UploadBacklogHours, 0, 24 * 7));
    form.setCaFile(s.UploadCaFile);
    // Missed minutes come back from the archive when there is one.
    if (archive) {
        // Read on the archive's own connection, where the watch runs.
        const MinuteSource minutes = [this](const QDateTime &from, const QDateTime &to) {
            std::vector<ArchiveSummary> rows;
            onWatchThread(*this, [&] {
                if (archive)
                    rows = archive->minutesBetween(from, to);
            });
            return rows;
        };
        form.setMinuteSource(minutes);
        upload->setMinuteSource(minutes, std::clamp(s.UploadBacklogHours, 0, 24 * 7));
    }
    // The report goes with the observation of the record that ended its period.
    QStringList problems;
    upload->setServices(parseServices(s.UploadServices, problems), &QDateTime::currentDateTimeUtc, s.UploadCaFile);
    if (!problems.isEmpty())
        showMessage(QStringLiteral("UploadServices: ") + problems.join(QStringLiteral("; ")));
    // The observer runs where the watch runs; the upload (its form, window and
    // sockets) stays on the window thread and gets a copy there.
    cycle->addObserver([this](const Observation &o) {
        const bool send = std::exchange(m_reportDue, false);
        UploadUi *ui = upload.get();
        // The web page reads the states from a copy only when it is answered on another thread.
        const bool copyStates = ui->form().thread() != QThread::currentThread();
        // Judged here, where the watch runs: the window thread need not wait for it.
        const bool mayGoOut = reportCheckOf(*this).skipReason.isEmpty();
        QMetaObject::invokeMethod(&ui->form(), [this, ui, o, send, copyStates, mayGoOut] {
            ui->form().setObservation(o);
            ui->offerObservation(o, mayGoOut);
            if (send)
                ui->form().cmdSend_Click();
            if (!copyStates)
                return;
            const QJsonArray states = uploadStates();
            const QMutexLocker lock(&m_uploadStatesLock);
            m_uploadStates = states;
        });
    });
    // Asked on the window thread, answered where the watch runs.
    form.setReportCheck([this] {
        ReportCheck c;
        onWatchThread(*this, [this, &c] { c = reportCheckOf(*this); });
        return c;
    });
}

QJsonArray App::uploadStatesSeen() const
{
    if (upload && upload->form().thread() == QThread::currentThread())
        return uploadStates();
    const QMutexLocker lock(&m_uploadStatesLock);
    return m_uploadStates;
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
