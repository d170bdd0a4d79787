// Parsing the service list and building each service's request.
#include "upload/services.h"

#include "core/number_format.h"
#include "upload/pws_report.h"
#include "upload/url_helper.h"

#include <algorithm>
#include <cmath>

namespace {

constexpr double kMetresPerSecondPerMph = 0.44704;

std::optional<ServiceKind> kindFrom(const QString &word)
{
    if (word == QLatin1String("pws"))
        return ServiceKind::Pws;
    if (word == QLatin1String("windmap"))
        return ServiceKind::WindMap;
    if (word == QLatin1String("get"))
        return ServiceKind::CustomGet;
    if (word == QLatin1String("post"))
        return ServiceKind::CustomPost;
    return std::nullopt;
}

QString number(double v, bool present)
{
    return present && std::isfinite(v) ? PercentEncode(formatNumber(v, "0.0")) : QString();
}

} // namespace

namespace {
// Why a service line cannot be used, in words that never quote the line (it
// may hold a key); empty when it can.
QString lineProblem(const QStringList &f, std::optional<ServiceKind> kind, int fields, bool secondsOk, int seconds)
{
    if (!kind)
        return QStringLiteral("the kind is none of pws, windmap, get, post");
    if (f.size() != fields)
        return QStringLiteral("%1 fields separated by \"|\" where this kind takes %2").arg(f.size()).arg(fields);
    if (f[2].trimmed().isEmpty())
        return QStringLiteral("the address is empty");
    const bool custom = kind == ServiceKind::CustomGet || kind == ServiceKind::CustomPost;
    if (!custom && f[3].trimmed().isEmpty())
        return QStringLiteral("the station ID is empty");
    if (!custom && f[4].trimmed().isEmpty())
        return QStringLiteral("the key is empty");
    if (!secondsOk || seconds < kShortestInterval)
        return QStringLiteral("the interval is not a whole number of seconds of at least %1").arg(kShortestInterval);
    return QString();
}
} // namespace

std::vector<ServiceConfig> parseServices(const QString &text, QStringList &problems)
{
    std::vector<ServiceConfig> configs;
    const QStringList lines = text.split(QLatin1Char('\n'));
    for (int n = 0; n < lines.size(); ++n) {
        const QString line = lines[n].trimmed();
        if (line.isEmpty() || line.startsWith(QLatin1Char('#')))
            continue;
        const QStringList f = line.split(QLatin1Char('|'));
        const auto kind = kindFrom(f.value(0).trimmed());
        const bool custom = kind == ServiceKind::CustomGet || kind == ServiceKind::CustomPost;
        const int fields = kind == ServiceKind::CustomGet ? 4 : 5 + (custom ? 0 : 1);
        bool ok = false;
        const int seconds = f.value(fields - 1).trimmed().toInt(&ok);
        const QString why = lineProblem(f, kind, fields, ok, seconds);
        if (!why.isEmpty()) {
            problems << QStringLiteral("cannot use service line %1: %2").arg(n + 1).arg(why);
            continue;
        }
        ServiceConfig s;
        s.kind = *kind;
        s.name = f[1].trimmed();
        s.address = f[2].trimmed();
        if (s.kind == ServiceKind::CustomPost)
            s.bodyTemplate = f[3];
        if (!custom) {
            s.stationId = f[3].trimmed();
            s.password = f[4].trimmed();
        }
        s.intervalSeconds = s.kind == ServiceKind::WindMap ? std::max(seconds, kWindMapShortestInterval) : seconds;
        configs.push_back(s);
    }
    return configs;
}

QString fillTemplate(const QString &tmpl, const Observation &o, const QDateTime &utc)
{
    const PwsReading r = readingFrom(o);
    const Readings &v = o.readings;
    const double ambient = v.valueOr(Quantity::Ambient, 0);
    const double dewPoint = v.valueOr(Quantity::DewPoint, 0);
    const bool dew = v.has(Quantity::DewPoint);
    const QList<QPair<QString, QString>> values = {
        {QStringLiteral("{tempc}"), number(ambient, r.hasTemperature)},
        {QStringLiteral("{tempf}"), number(ambient * 1.8 + 32, r.hasTemperature)},
        {QStringLiteral("{humidity}"), r.hasHumidity ? PercentEncode(r.humidityText) : QString()},
        {QStringLiteral("{dewptc}"), number(dewPoint, dew)},
        {QStringLiteral("{dewptf}"), number(dewPoint * 1.8 + 32, dew)},
        {QStringLiteral("{windspeedmph}"), number(r.windSpeed, true)},
        {QStringLiteral("{windgustmph}"), number(r.windGust, r.hasWindGust)},
        {QStringLiteral("{windspeedms}"), number(r.windSpeed * kMetresPerSecondPerMph, true)},
        {QStringLiteral("{windgustms}"), number(r.windGust * kMetresPerSecondPerMph, r.hasWindGust)},
        {QStringLiteral("{clouds}"), r.hasSkyTemperature ? cloudsText(r.skyTempCaption) : QString()},
        {QStringLiteral("{dateutc}"), PercentEncode(dateUtcText(utc))},
    };
    QString out = tmpl;
    for (const auto &[key, value] : values)
        out.replace(key, value);
    return out;
}

namespace {

QString windMapQuery(const ServiceConfig &s, const Observation &o, const QDateTime &utc)
{
    QString q = QStringLiteral("station_id=") + PercentEncode(s.stationId);
    q += fillTemplate(QStringLiteral("&wind={windspeedms}&gust={windgustms}"), o, utc);
    const PwsReading r = readingFrom(o);
    if (r.hasTemperature)
        q += fillTemplate(QStringLiteral("&temperature={tempc}"), o, utc);
    if (r.hasHumidity)
        q += fillTemplate(QStringLiteral("&rh={humidity}"), o, utc);
    if (r.hasTemperature && r.hasHumidity)
        q += fillTemplate(QStringLiteral("&dewpoint={dewptc}"), o, utc);
    if (!r.hasWindGust)
        q.remove(QStringLiteral("&gust="));
    return q;
}

} // namespace

ServiceRequest buildServiceRequest(const ServiceConfig &s, const Observation &o, const QDateTime &utc)
{
    ServiceRequest req;
    QVector<HeaderRow> headers;
    QString query;
    QString method = QStringLiteral("GET");
    QByteArray body;
    switch (s.kind) {
    case ServiceKind::Pws: {
        PwsReading r = readingFrom(o);
        r.utc = utc;
        return buildLateServiceRequest(s, r);
    }
    case ServiceKind::WindMap:
        req.url = SplitUrl(s.address);
        if (!req.url.Path.endsWith(QLatin1String("/api/v2/observation/update")))
            req.url.Path = (req.url.Path == QLatin1String("/") ? QString() : req.url.Path)
                           + QStringLiteral("/api/v2/observation/update");
        query = windMapQuery(s, o, utc);
        headers.append({QStringLiteral("Authorization"), QStringLiteral("Bearer ") + s.password});
        break;
    case ServiceKind::CustomGet:
        req.url = SplitUrl(fillTemplate(s.address, o, utc));
        break;
    case ServiceKind::CustomPost:
        req.url = SplitUrl(s.address);
        method = QStringLiteral("POST");
        body = fillTemplate(s.bodyTemplate, o, utc).toUtf8();
        headers.append({QStringLiteral("Content-Type"), QStringLiteral("application/x-www-form-urlencoded")});
        headers.append({QStringLiteral("Content-Length"), QString::number(body.size())});
        break;
    }
    QString text = requestText(req.url.Host, requestTarget(req.url, query), headers);
    text.replace(0, 3, method); // "GET" at the start
    req.text = text.toUtf8() + body;
    return req;
}

ServiceRequest buildLateServiceRequest(const ServiceConfig &config, PwsReading reading)
{
    ServiceRequest req;
    req.url = SplitUrl(config.address);
    reading.stationId = config.stationId;
    reading.password = config.password;
    req.text = requestText(req.url.Host, requestTarget(req.url, UploadQuery(reading)), {}).toUtf8();
    req.style = ReplyStyle::PwsBody;
    return req;
}
