#include "sky_history/night_text.h"

#include "archive/history_text.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <cmath>

namespace {

QString fixed(double v, int decimals)
{
    return QString::number(v, 'f', decimals);
}

// Every night, tonight last.
template <typename Each>
void forEachNight(const NightsReport &report, Each each)
{
    for (const NightStats &n : report.nights)
        each(n, true);
    each(report.tonight, false);
}

} // namespace

QJsonObject nightJson(const NightStats &n)
{
    return {{QStringLiteral("date"), n.date.toString(Qt::ISODate)},
            {QStringLiteral("darkHours"), jsonNumber(n.darkHours)},
            {QStringLiteral("clearDarkHours"), jsonNumber(n.clearDarkHours)},
            {QStringLiteral("safeHours"), jsonNumber(n.safeHours)},
            {QStringLiteral("rainMinutes"), std::round(n.rainMinutes)},
            {QStringLiteral("archivedHours"), jsonNumber(n.archivedHours)}};
}

QJsonObject nightsJson(const NightsReport &report)
{
    QJsonArray nights;
    for (const NightStats &n : report.nights)
        nights.append(nightJson(n));
    QJsonObject tonight = nightJson(report.tonight);
    tonight.insert(QStringLiteral("until"), isoUtc(report.tonight.to));
    return {{QStringLiteral("nights"), nights},
            {QStringLiteral("lastNight"), report.nights.empty() ? QJsonValue() : QJsonValue(nightJson(report.nights.back()))},
            {QStringLiteral("tonight"), tonight}};
}

QByteArray nightsTable(const NightsReport &report)
{
    QString out = QStringLiteral("night       dark h  clear dark h  safe h  rain min  archived h\n");
    forEachNight(report, [&out](const NightStats &n, bool whole) {
        out += QStringLiteral("%1  %2  %3  %4  %5  %6%7\n")
                   .arg(n.date.toString(Qt::ISODate))
                   .arg(fixed(n.darkHours, 1), 6)
                   .arg(fixed(n.clearDarkHours, 1), 12)
                   .arg(fixed(n.safeHours, 1), 6)
                   .arg(fixed(n.rainMinutes, 0), 8)
                   .arg(fixed(n.archivedHours, 1), 10)
                   .arg(whole ? QString() : QStringLiteral("  (tonight so far)"));
    });
    return out.toUtf8();
}

QByteArray nightsCsv(const NightsReport &report)
{
    QString out = QStringLiteral("night,dark (h),clear dark (h),safe (h),rain (min),archived (h),complete\n");
    forEachNight(report, [&out](const NightStats &n, bool whole) {
        out += QStringLiteral("%1,%2,%3,%4,%5,%6,%7\n")
                   .arg(n.date.toString(Qt::ISODate), fixed(n.darkHours, 2), fixed(n.clearDarkHours, 2),
                        fixed(n.safeHours, 2), fixed(n.rainMinutes, 0), fixed(n.archivedHours, 2),
                        whole ? QStringLiteral("1") : QStringLiteral("0"));
    });
    return out.toUtf8();
}
