#include "app/metrics_route.h"

#include "alpaca/alpaca_server.h"
#include "app/app.h"
#include "app/automation_setup.h"
#include "app/program.h"
#include "archive/archive.h"
#include "core/settings.h"
#include "mqtt/mqtt_publisher.h"
#include "notify/notifier.h"
#include "upload/uploads.h"

namespace {
// Read where the HTTP endpoint answers, which is where the watch, the
// archive and the MQTT link run; the notifier's counts are atomic.
MetricsHealth healthOf(const App &app)
{
    MetricsHealth h;
    if (app.mqtt)
        h.mqttConnected = app.mqtt->client().isConnected();
    if (app.archive)
        h.archiveFailing = app.archive->failing();
    if (app.automation && app.automation->notifier) {
        const NotifySender &sender = app.automation->notifier->sender();
        h.notify = MetricsHealth::Notify{sender.attempts(), sender.delivered()};
    }
    h.uploadWired = app.upload != nullptr;
    return h;
}
} // namespace

void addMetricsRoute(App &app)
{
    AlpacaServer *server = app.alpaca.get();
    if (!server)
        return;
    MetricsCounters *counters = &app.metrics;
    app.watch.listen([counters](const WatchStatus &status, WatchFeed::Change change) {
        if (change == WatchFeed::Change::Observation && status.latest)
            counters->countObservation(status.latest->source);
    });
    if (app.upload) {
        UploadForm *form = &app.upload->form();
        QObject::connect(form, &UploadForm::delivered, form, [counters](bool ok) { counters->countUpload(ok); });
    }
    server->addRoute(QStringLiteral("/metrics"), [&app](const HttpRouteRequest &r) {
        return answerMetrics(r, [&app] {
            return metricsText(app.watch.status(), QDateTime::currentDateTimeUtc(), staleLimitSeconds(prog().settings),
                               app.metrics, healthOf(app));
        });
    });
}
