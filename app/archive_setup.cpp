#include "app/archive_setup.h"

#include "app/app.h"
#include "app/command_line.h"
#include "app/watch_thread.h"
#include "archive/archive.h"
#include "archive/archive_query.h"
#include "archive/archive_schema.h"
#include "core/messages.h"
#include "core/number_format.h"
#include "core/profile_store.h"
#include "app/program.h"
#include "core/settings.h"
#include "alpaca/alpaca_server.h"
#include "web/web_routes.h"

namespace {
int wholeDaysSetting(const ProfileStore &profile, const QString &key, int fallback, int least, QString &problem)
{
    const QString text = profile.value(kDriverId, key);
    if (text.isEmpty())
        return fallback;
    try {
        const int days = wholeFromText(text);
        if (days >= least)
            return days;
    } catch (const ConversionError &) {
    }
    problem = QStringLiteral("Setting \"%1\" holds \"%2\", which is not a whole number of days from %3; using %4.")
                  .arg(key, text).arg(least).arg(fallback);
    return fallback;
}
} // namespace

int archiveDaysSetting(const ProfileStore &profile, QString &problem)
{
    return wholeDaysSetting(profile, QStringLiteral("ArchiveDays"), 30, 1, problem);
}

void startArchive(App &app, const CommandLine &cl, const ProfileStore &profile)
{
    if (!cl.archiveEnabled)
        return;
    QString problem;
    const int days = archiveDaysSetting(profile, problem);
    if (!problem.isEmpty())
        printNotice(problem);
    app.archive = std::make_unique<Archive>([](const QString &text) { printNotice(text); });
    app.archive->setRetentionDays(days);
    // Minute rows for three years, hour rows for ever: ten years stay within 1 GB.
    QString minuteProblem;
    app.archive->setMinuteRetentionDays(wholeDaysSetting(profile, QStringLiteral("ArchiveMinuteDays"), 1096, 7, minuteProblem));
    if (!minuteProblem.isEmpty())
        printNotice(minuteProblem);
    if (!app.archive->open(cl.archivePath.isEmpty() ? defaultArchivePath() : cl.archivePath)) {
        app.archive.reset();
        return;
    }
    Archive *archive = app.archive.get();
    app.watch.listen([archive](const WatchStatus &status, WatchFeed::Change change) { archive->onWatch(status, change); });
}

std::vector<Observation> archivedObservations(App &app, const QDateTime &fromUtc, const QDateTime &toUtc)
{
    std::vector<Observation> observations;
    if (!app.archive)
        return observations;
    QString path;
    onWatchThread(app, [&app, &path] {
        app.archive->flush();
        path = app.archive->path();
    });
    ArchiveReader reader;
    QString why;
    if (!reader.open(path, why))
        return observations;
    for (const ArchivedObservation &row : queryObservations(reader.database(), fromUtc, toUtc))
        observations.push_back(toObservation(row));
    return observations;
}

void startWebPage(App &app)
{
    AlpacaServer *server = app.alpaca.get();
    if (!server)
        return;
    installWebRoutes([server](const QString &path, HttpRouteHandler handler) { server->addRoute(path, std::move(handler)); },
                     app.watch, app.archive.get(), &prog().settings, [&app] { return app.uploadStatesSeen(); });
}
