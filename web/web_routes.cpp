#include "web/web_routes.h"

#include "archive/archive.h"
#include "archive/archive_query.h"
#include "archive/history_text.h"
#include "core/solar.h"
#include "watch/watch_status.h"
#include "web/route_replies.h"
#include "web/safety_changes.h"
#include "web/sky_route.h"
#include "web/web_logging.h"

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QUrlQuery>
#include <cmath>

Q_LOGGING_CATEGORY(lcWeb, "tarnwick.web", QtInfoMsg)

namespace {

// Points per chart are capped so that no question makes the program's one
// thread busy for long.
constexpr qint64 kMaxPoints = 20000;
// Steps under a minute read observation rows: at most this span of them.
constexpr qint64 kMaxObservationSpan = 6 * 3600;

QJsonValue isoOrNull(const QDateTime &t)
{
    return t.isValid() ? QJsonValue(isoUtc(t)) : QJsonValue();
}

// The smallest usual step that keeps a span near a thousand points or fewer.
int defaultStep(qint64 spanSeconds)
{
    for (int step : {1, 5, 10, 30, 60, 120, 300, 600, 900, 1800, 3600, 7200, 21600})
        if (spanSeconds / step <= 1000)
            return step;
    return 86400;
}

QJsonArray column(const std::vector<ArchiveSummary> &rows, const std::function<double(const ArchiveSummary &)> &get)
{
    QJsonArray out;
    for (const ArchiveSummary &s : rows)
        out.append(jsonNumber(get(s)));
    return out;
}

} // namespace

HttpRouteReply answerPage(const HttpRouteRequest &request)
{
    if (!readOnly(request))
        return error(405, QStringLiteral("the web page is read-only"));
    struct File {
        const char *path;
        const char *resource;
        const char *type;
    };
    static const File files[] = {
        {"/", ":/web/index.html", "text/html; charset=utf-8"},
        {"/app.js", ":/web/app.js", "text/javascript; charset=utf-8"},
        {"/settings", ":/web/settings.html", "text/html; charset=utf-8"},
        {"/settings.js", ":/web/settings.js", "text/javascript; charset=utf-8"},
        {"/style.css", ":/web/style.css", "text/css; charset=utf-8"},
        {"/theme.js", ":/web/theme.js", "text/javascript; charset=utf-8"},
        {"/times.js", ":/web/times.js", "text/javascript; charset=utf-8"},
        {"/charts.js", ":/web/charts.js", "text/javascript; charset=utf-8"},
        {"/sky.js", ":/web/sky.js", "text/javascript; charset=utf-8"},
        {"/changes.js", ":/web/changes.js", "text/javascript; charset=utf-8"},
        {"/vendor/uplot/uPlot.iife.min.js", ":/web/vendor/uplot/uPlot.iife.min.js", "text/javascript; charset=utf-8"},
        {"/vendor/uplot/uPlot.min.css", ":/web/vendor/uplot/uPlot.min.css", "text/css; charset=utf-8"},
        {"/vendor/uplot/LICENSE", ":/web/vendor/uplot/LICENSE", "text/plain; charset=utf-8"},
        {"/favicon.svg", ":/web/favicon.svg", "image/svg+xml"},
        {"/favicon.ico", ":/web/favicon.svg", "image/svg+xml"},
        {"/calendar.js", ":/web/calendar.js", "text/javascript; charset=utf-8"},
        {"/calendar.css", ":/web/calendar.css", "text/css; charset=utf-8"},
        {"/calibrate.html", ":/web/calibrate.html", "text/html; charset=utf-8"},
        {"/calibrate.js", ":/web/calibrate.js", "text/javascript; charset=utf-8"},
    };
    for (const File &f : files) {
        if (request.path != QLatin1String(f.path))
            continue;
        QFile file(QString::fromLatin1(f.resource));
        if (!file.open(QIODevice::ReadOnly))
            return error(500, QStringLiteral("the page file %1 is missing from the program").arg(request.path));
        return {200, f.type, file.readAll()};
    }
    return error(404, QStringLiteral("no page at %1").arg(request.path));
}

HttpRouteReply answerLive(const HttpRouteRequest &request, const WatchStatus &status, const QDateTime &nowUtc,
                          const Archive *archive, const LiveRules &rules, LiveExtrasCache *cache)
{
    if (!readOnly(request))
        return error(405, QStringLiteral("the web page is read-only"));
    if (!request.query.isEmpty())
        return error(400, QStringLiteral("/tarnwick/v1/live takes no parameters"));
    QJsonObject board{{QStringLiteral("state"), boardStateName(status.board.state)},
                      {QStringLiteral("device"), status.board.device},
                      {QStringLiteral("reason"), status.board.reason},
                      {QStringLiteral("since"), isoOrNull(status.board.since)},
                      {QStringLiteral("last_record"), isoOrNull(status.board.lastRecord)}};
    QJsonArray unsafe;
    for (const UnsafeCondition &u : status.safety.unsafe)
        unsafe.append(QJsonObject{{QStringLiteral("name"), u.name},
                                  {QStringLiteral("text"), u.text},
                                  {QStringLiteral("since"), isoOrNull(u.since)}});
    QJsonObject safety{{QStringLiteral("known"), status.safety.known},
                       {QStringLiteral("safe"), status.safety.known ? QJsonValue(status.safety.safe) : QJsonValue()},
                       {QStringLiteral("unsafe"), unsafe},
                       {QStringLiteral("changed"), isoOrNull(status.safety.changed)}};
    // Only readings a board delivered are shown: never the test record.
    QJsonValue observation;
    if (status.lastLive) {
        QJsonObject o = observationJson(archivedFrom(*status.lastLive, status.board.state, status.safety));
        const Readings &live = status.lastLive->readings;
        o.insert(QStringLiteral("age_s"), std::round(status.lastLive->utc.msecsTo(nowUtc) / 100.0) / 10);
        const std::optional<double> rain = live[Quantity::Rain];
        const std::optional<double> brightness = live[Quantity::Brightness];
        o.insert(QStringLiteral("rain_words"), rain ? QJsonValue(rainWords(int(*rain), live.valueOr(Quantity::RainMean, NAN),
                                                                           rules.rainThreshold))
                                                    : QJsonValue());
        o.insert(QStringLiteral("brightness_words"),
                 brightness ? QJsonValue(brightnessWords(int(*brightness), rules.lightThreshold)) : QJsonValue());
        const QuantityInfo &cover = quantityInfo(Quantity::CloudCover);
        o.insert(QLatin1String(cover.key), jsonNumber(live.valueOr(Quantity::CloudCover, NAN)));
        observation = o;
    }
    QJsonObject units = archiveUnits();
    const QuantityInfo &cover = quantityInfo(Quantity::CloudCover);
    units.insert(QLatin1String(cover.key), QString::fromUtf8(cover.unit));
    QJsonObject out{{QStringLiteral("now"), isoUtc(nowUtc)},
                    {QStringLiteral("board"), board},
                    {QStringLiteral("freshness"), freshnessJson(status, nowUtc, rules.staleAfterSeconds)},
                    {QStringLiteral("safety"), safety},
                    {QStringLiteral("observation"), observation},
                    {QStringLiteral("units"), units},
                    {QStringLiteral("thresholds"), QJsonObject{{QStringLiteral("rain"), rules.rainThreshold},
                                                               {QStringLiteral("light"), rules.lightThreshold}}}};
    if (cache)
        cache->addTo(out, archive, rules.site, nowUtc);
    else
        addDayAndNight(out, archive, rules.site, nowUtc);
    return json(200, out);
}

HttpRouteReply answerHistory(const HttpRouteRequest &request, Archive *archive, const QDateTime &nowUtc,
                             const SiteLocation &site)
{
    if (!readOnly(request))
        return error(405, QStringLiteral("the web page is read-only"));
    const QUrlQuery query(QString::fromUtf8(request.query));
    QString fromText = QStringLiteral("1h"), toText = QStringLiteral("now"), stepText, format = QStringLiteral("json");
    for (const auto &[name, value] : query.queryItems(QUrl::FullyDecoded)) {
        if (name == QLatin1String("from"))
            fromText = value;
        else if (name == QLatin1String("to"))
            toText = value;
        else if (name == QLatin1String("step"))
            stepText = value;
        else if (name == QLatin1String("format"))
            format = value;
        else
            return error(400, QStringLiteral("unknown parameter \"%1\" (from, to, step, format)").arg(name));
    }
    const std::optional<QDateTime> from = parseHistoryTime(fromText, nowUtc);
    const std::optional<QDateTime> to = parseHistoryTime(toText, nowUtc);
    if (!from)
        return error(400, QStringLiteral("from \"%1\" is not a time (ISO 8601 UTC, e.g. 2026-12-07T20:00, or 6h)").arg(fromText));
    if (!to)
        return error(400, QStringLiteral("to \"%1\" is not a time (ISO 8601 UTC, e.g. 2026-12-07T20:00, or now)").arg(toText));
    if (*to < *from)
        return error(400, QStringLiteral("to comes before from"));
    const qint64 span = from->secsTo(*to);
    int step = defaultStep(span);
    if (!stepText.isEmpty()) {
        bool ok = false;
        step = stepText.toInt(&ok);
        if (!ok || step < 1 || step > 86400)
            return error(400, QStringLiteral("step \"%1\" is not a whole number of seconds from 1 to 86400").arg(stepText));
    }
    if (span / step > kMaxPoints)
        return error(400, QStringLiteral("%1 steps of %2 s are too many (at most %3); choose a larger step")
                              .arg(span / step).arg(step).arg(kMaxPoints));
    if (step < 60 && span > kMaxObservationSpan)
        return error(400, QStringLiteral("steps under 60 s cover at most 6 hours; choose a step of 60 s or more"));
    if (format != QLatin1String("json") && format != QLatin1String("csv"))
        return error(400, QStringLiteral("format \"%1\" is neither json nor csv").arg(format));
    if (!archive || !archive->isOpen())
        return error(503, QStringLiteral("this program keeps no archive (started with --no-archive, or it could not be opened)"));

    // A long read (6 h at 2 s steps takes a good part of a second) runs on a
    // connection of its own beside the watch; the open batch is committed
    // first so that it sees every row written so far.
    archive->flush();
    HttpRouteReply reply;
    reply.later = [path = archive->path(), from = *from, to = *to, step, csv = format == QLatin1String("csv"), site] {
        ArchiveReader reader;
        QString why;
        if (!reader.open(path, why))
            return error(503, QStringLiteral("the archive cannot be read: %1").arg(why));
        return summaryReply(querySummaries(reader.database(), from, to, step), from, to, step, csv, site);
    };
    return reply;
}

HttpRouteReply summaryReply(const std::vector<ArchiveSummary> &rows, const QDateTime &from, const QDateTime &to,
                            int step, bool csv, const SiteLocation &site)
{
    if (csv)
        return {200, "text/csv; charset=utf-8", summariesCsv(rows)};
    QJsonObject out{{QStringLiteral("from"), isoUtc(from)},
                    {QStringLiteral("to"), isoUtc(to)},
                    {QStringLiteral("step"), step},
                    {QStringLiteral("units"), archiveUnits()}};
    QJsonArray times;
    for (const ArchiveSummary &s : rows)
        times.append(s.utc.toSecsSinceEpoch());
    out.insert(QStringLiteral("time"), times);
    out.insert(QStringLiteral("count"), column(rows, [](const ArchiveSummary &s) { return double(s.count); }));
    for (int i = 0; i < kArchiveValueCount; ++i)
        out.insert(QString::fromLatin1(archiveValueInfo(archiveValueAt(i)).key),
                   column(rows, [i](const ArchiveSummary &s) { return s.mean[size_t(i)]; }));
    out.insert(QStringLiteral("gust_max"),
               column(rows, [](const ArchiveSummary &s) { return s.max[size_t(ArchiveValue::Gust)]; }));
    out.insert(QStringLiteral("raining"), column(rows, [](const ArchiveSummary &s) { return s.raining; }));
    out.insert(QStringLiteral("cloudy"), column(rows, [](const ArchiveSummary &s) { return s.cloudy; }));
    out.insert(QStringLiteral("daylight"), column(rows, [](const ArchiveSummary &s) { return s.daylight; }));
    out.insert(QStringLiteral("safe"), column(rows, [](const ArchiveSummary &s) { return s.safe; }));
    if (site.known)
        out.insert(QStringLiteral("dark"), column(rows, [&site](const ArchiveSummary &s) {
                       const QDateTime middle = s.utc.addSecs(s.seconds / 2);
                       return isAstronomicallyDark(middle, site.latitudeDeg, site.longitudeDeg) ? 1.0 : 0.0;
                   }));
    return json(200, out);
}

void installWebRoutes(const AddRoute &addRoute, const WatchFeed &watch, Archive *archive, const Settings *settings,
                      UploadStates uploads)
{
    auto rules = [settings] { return settings ? liveRulesFrom(*settings) : LiveRules{}; };
    addRoute(QStringLiteral("/"), &answerPage);
    auto extras = std::make_shared<LiveExtrasCache>();
    addRoute(QStringLiteral("/tarnwick/v1/live"), [&watch, archive, rules, uploads, extras](const HttpRouteRequest &r) {
        HttpRouteReply reply = answerLive(r, watch.status(), QDateTime::currentDateTimeUtc(), archive, rules(), extras.get());
        return uploads ? withUploadStates(std::move(reply), uploads()) : reply;
    });
    addRoute(QStringLiteral("/tarnwick/v1/history"), [archive, rules](const HttpRouteRequest &r) {
        return answerHistory(r, archive, QDateTime::currentDateTimeUtc(), rules().site);
    });
    addRoute(QStringLiteral("/tarnwick/v1/sky"), [archive, settings](const HttpRouteRequest &r) {
        return answerSky(r, QDateTime::currentDateTimeUtc(), settings ? skyRulesFrom(*settings) : SkyRules{},
                         archive && archive->isOpen());
    });
    addRoute(QStringLiteral("/tarnwick/v1/safety-changes"), [archive](const HttpRouteRequest &r) {
        return answerSafetyChanges(r, archive, QDateTime::currentDateTimeUtc());
    });
}

// The upload services' states: added to a good live answer only.
HttpRouteReply withUploadStates(HttpRouteReply live, const QJsonArray &uploads)
{
    if (live.status != 200 || !live.body.endsWith('}'))
        return live;
    // Written keys come in order and "uploads" sorts after every key of the
    // live answer: appended, it stands where a re-written document puts it.
    live.body.chop(1);
    live.body += ",\"uploads\":" + QJsonDocument(uploads).toJson(QJsonDocument::Compact) + '}';
    return live;
}
