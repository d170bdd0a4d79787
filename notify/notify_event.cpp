#include "notify/notify_event.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QUuid>

NotifyGroup groupOf(NotifyKind kind)
{
    switch (kind) {
    case NotifyKind::Unsafe:
    case NotifyKind::Safe:
        return NotifyGroup::Safety;
    case NotifyKind::BoardLost:
    case NotifyKind::BoardSilent:
    case NotifyKind::BoardBack:
        return NotifyGroup::Board;
    case NotifyKind::UploadFailing:
    case NotifyKind::UploadWorking:
        return NotifyGroup::Upload;
    case NotifyKind::ArchiveFailing:
        return NotifyGroup::Archive;
    case NotifyKind::LogFailing:
        return NotifyGroup::Log;
    case NotifyKind::Started:
    case NotifyKind::Stopping:
        break;
    }
    return NotifyGroup::Program;
}

QString eventName(NotifyKind kind)
{
    static const char *const names[] = {"unsafe",         "safe",           "board_lost",      "board_silent",
                                        "board_back",     "upload_failing", "upload_working", "archive_failing",
                                        "log_failing",    "started",        "stopping"};
    return QString::fromLatin1(names[int(kind)]);
}

QString eventTitle(const NotifyEvent &e)
{
    return QStringLiteral("Tarnwick: ") + e.summary;
}

namespace {
QString utcText(const QDateTime &t)
{
    return t.toUTC().toString(QStringLiteral("yyyy-MM-dd HH:mm:ss 'UTC'"));
}

// "Last reading <time>: ambient 5.2 °C, ..., clear, rain": the values that are
// readings, each left out when it is not.
QString latestReadingText(const Observation &o)
{
    const Readings &r = o.readings;
    QStringList parts;
    const auto part = [&parts, &r](Quantity q, const QString &text, int decimals, double sign = 1) {
        if (const std::optional<double> v = r[q])
            parts << text.arg(sign * *v, 0, 'f', decimals);
    };
    part(Quantity::Ambient, QStringLiteral("ambient %1 °C"), 1);
    part(Quantity::AmbMinusSky, QStringLiteral("sky %1 °C below ambient"), 1);
    part(Quantity::Humidity, QStringLiteral("humidity %1 %"), 0);
    part(Quantity::WindAverage, QStringLiteral("wind %1 mph"), 1);
    QString conditions = r.sky ? skyClassName(*r.sky) : QStringLiteral("sky not measured");
    if (o.raining)
        conditions += QStringLiteral(", rain");
    if (o.daylight)
        conditions += QStringLiteral(", daylight");
    parts << conditions;
    return QStringLiteral("Last reading %1: ").arg(utcText(o.utc)) + parts.join(QStringLiteral(", "));
}
} // namespace

QString eventText(const NotifyEvent &e)
{
    QStringList lines{e.summary + QStringLiteral(" (") + utcText(e.utc) + QLatin1Char(')')};
    for (const QString &r : e.reasons)
        lines << QStringLiteral("- ") + r;
    if (e.heldBack > 0)
        lines << QStringLiteral("%1 more event(s) of this kind since %2 were not sent on their own; this is the latest.")
                     .arg(e.heldBack)
                     .arg(utcText(e.heldSince));
    if (e.latest)
        lines << latestReadingText(*e.latest);
    return lines.join(QLatin1Char('\n'));
}

QByteArray webhookBody(const NotifyEvent &e)
{
    QJsonObject root{{"event", eventName(e.kind)},
                     {"time", e.utc.toUTC().toString(Qt::ISODate)},
                     {"summary", e.summary},
                     {"reasons", QJsonArray::fromStringList(e.reasons)},
                     {"held_back", e.heldBack},
                     {"board", boardStateName(e.board)}};
    if (e.heldBack > 0)
        root.insert("held_since", e.heldSince.toUTC().toString(Qt::ISODate));
    if (e.latest) {
        const Observation &o = *e.latest;
        const Readings &r = o.readings;
        QJsonObject latest{{"time", o.utc.toUTC().toString(Qt::ISODate)},
                           {"sky", r.sky ? QJsonValue(skyClassName(*r.sky)) : QJsonValue()},
                           {"raining", o.raining},
                           {"daylight", o.daylight}};
        const auto put = [&latest, &r](const char *key, Quantity q, double sign = 1) {
            const std::optional<double> v = r[q];
            latest.insert(QLatin1String(key), v ? QJsonValue(sign * *v) : QJsonValue());
        };
        put("ambient_c", Quantity::Ambient);
        put("sky_minus_ambient_c", Quantity::AmbMinusSky, -1);
        put("humidity_percent", Quantity::Humidity);
        put("dew_point_c", Quantity::DewPoint);
        put("wind_mph", Quantity::WindAverage);
        put("gust_mph", Quantity::Gust);
        root.insert("latest", latest);
    }
    return QJsonDocument(root).toJson(QJsonDocument::Compact);
}

QByteArray pushPriority(NotifyKind kind)
{
    switch (kind) {
    case NotifyKind::Unsafe:
    case NotifyKind::BoardLost:
    case NotifyKind::BoardSilent:
        return "high";
    case NotifyKind::Started:
    case NotifyKind::Stopping:
        return "low";
    default:
        return "default";
    }
}

QByteArray pushTags(NotifyKind kind)
{
    QByteArray tags = "tarnwick," + eventName(kind).toLatin1();
    if (kind == NotifyKind::Unsafe || kind == NotifyKind::BoardLost || kind == NotifyKind::BoardSilent
        || kind == NotifyKind::UploadFailing || kind == NotifyKind::ArchiveFailing || kind == NotifyKind::LogFailing)
        tags += ",warning";
    return tags;
}

QByteArray mailMessage(const NotifyEvent &e, const QString &from, const QStringList &to, const QDateTime &nowUtc)
{
    // The subject may hold more than ASCII: an encoded word keeps the header plain.
    const QByteArray subject = "=?UTF-8?B?" + eventTitle(e).toUtf8().toBase64() + "?=";
    QByteArray body = eventText(e).toUtf8();
    body.replace("\r\n", "\n");
    body.replace("\n", "\r\n");
    return "Date: " + nowUtc.toUTC().toString(Qt::RFC2822Date).toLatin1() + "\r\n" + "From: " + from.simplified().toUtf8() + "\r\n"
           + "To: " + to.join(QStringLiteral(", ")).simplified().toUtf8() + "\r\n" + "Subject: " + subject + "\r\n" + "Message-ID: <"
           + QUuid::createUuid().toByteArray(QUuid::WithoutBraces) + "@tarnwick>\r\n" + "MIME-Version: 1.0\r\n"
           + "Content-Type: text/plain; charset=utf-8\r\n" + "Content-Transfer-Encoding: 8bit\r\n\r\n" + body + "\r\n";
}
