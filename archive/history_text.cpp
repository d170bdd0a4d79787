#include "archive/history_text.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRegularExpression>
#include <cmath>

namespace {

// Board counts read as whole numbers; everything else with two decimals.
QString csvNumber(double v, int scale = 100)
{
    return std::isnan(v) ? QString() : QString::number(v, 'f', scale == 1 ? 0 : 2);
}

// Quoted when it holds a separator, a quote or a line break.
QString csvField(const QString &text)
{
    if (!text.contains(QLatin1Char(',')) && !text.contains(QLatin1Char('"')) && !text.contains(QLatin1Char('\n')))
        return text;
    QString quoted = text;
    quoted.replace(QLatin1Char('"'), QStringLiteral("\"\""));
    return QLatin1Char('"') + quoted + QLatin1Char('"');
}

int scaleOf(int i)
{
    return archiveValueInfo(archiveValueAt(i)).scale;
}


QString heading(int i, const QString &part = QString())
{
    const ArchiveValueInfo &info = archiveValueInfo(archiveValueAt(i));
    QString label = QString::fromUtf8(info.label);
    if (!part.isEmpty())
        label += QLatin1Char(' ') + part;
    return QStringLiteral("%1 (%2)").arg(label, QString::fromUtf8(info.unit));
}

QString key(int i)
{
    return QString::fromLatin1(archiveValueInfo(archiveValueAt(i)).key);
}

QByteArray lines(const QStringList &rows)
{
    return (rows.join(QLatin1Char('\n')) + QLatin1Char('\n')).toUtf8();
}

} // namespace

QJsonValue jsonNumber(double v)
{
    return std::isnan(v) ? QJsonValue() : QJsonValue(std::round(v * 100) / 100);
}

QString isoUtc(const QDateTime &utc)
{
    const QDateTime t = utc.toUTC();
    // The named formats, not patterns: every record's time goes through here.
    return t.toString(t.time().msec() ? Qt::ISODateWithMs : Qt::ISODate);
}

QString safetyWord(const std::optional<bool> &safe)
{
    return !safe ? QStringLiteral("unknown") : *safe ? QStringLiteral("safe") : QStringLiteral("unsafe");
}

std::optional<QDateTime> parseHistoryTime(const QString &text, const QDateTime &nowUtc)
{
    const QString s = text.trimmed();
    if (s == QLatin1String("now"))
        return nowUtc;
    static const QRegularExpression ago(QStringLiteral("^(\\d{1,6})([smhd])$"));
    if (const QRegularExpressionMatch m = ago.match(s); m.hasMatch()) {
        const qint64 n = m.captured(1).toLongLong();
        const qint64 unit = m.captured(2) == QLatin1String("s")   ? 1
                            : m.captured(2) == QLatin1String("m") ? 60
                            : m.captured(2) == QLatin1String("h") ? 3600
                                                                  : 86400;
        return nowUtc.addSecs(-n * unit);
    }
    static const QRegularExpression iso(
        QStringLiteral("^\\d{4}-\\d\\d-\\d\\d([T ]\\d\\d:\\d\\d(:\\d\\d(\\.\\d{1,3})?)?)?(Z|[+-]\\d\\d:\\d\\d)?$"));
    if (!iso.match(s).hasMatch())
        return std::nullopt;
    QString t = s;
    t.replace(QLatin1Char(' '), QLatin1Char('T'));
    const bool hasZone = t.endsWith(QLatin1Char('Z')) || QRegularExpression(QStringLiteral("[+-]\\d\\d:\\d\\d$")).match(t).hasMatch();
    if (!hasZone)
        t += QLatin1Char('Z');
    if (!t.contains(QLatin1Char('T')))
        t.insert(10, QStringLiteral("T00:00"));
    QDateTime dt = QDateTime::fromString(t, Qt::ISODateWithMs);
    if (!dt.isValid())
        return std::nullopt;
    return dt.toUTC();
}

QByteArray observationsCsv(const std::vector<ArchivedObservation> &rows)
{
    QStringList head{QStringLiteral("time (UTC)")};
    for (int i = 0; i < kArchiveValueCount; ++i)
        head << heading(i);
    head << QStringLiteral("sky") << QStringLiteral("raining") << QStringLiteral("cloudy") << QStringLiteral("daylight")
         << QStringLiteral("windy") << QStringLiteral("heater") << QStringLiteral("relay") << QStringLiteral("board")
         << QStringLiteral("safety") << QStringLiteral("unsafe");
    QStringList out{head.join(QLatin1Char(','))};
    out.reserve(int(rows.size()) + 1);
    for (const ArchivedObservation &r : rows) {
        QStringList f{isoUtc(r.utc)};
        for (int i = 0; i < kArchiveValueCount; ++i)
            f << csvNumber(r.values[size_t(i)], scaleOf(i));
        f << (r.sky ? skyClassName(*r.sky) : QString()) << QString::number(r.raining) << QString::number(r.cloudy)
          << QString::number(r.daylight) << QString::number(r.windy) << QString::number(r.heater)
          << QString::number(r.relay) << boardStateName(r.board) << safetyWord(r.safe)
          << csvField(r.unsafe.join(QLatin1Char(' ')));
        out << f.join(QLatin1Char(','));
    }
    return lines(out);
}

QByteArray summariesCsv(const std::vector<ArchiveSummary> &rows)
{
    QStringList head{QStringLiteral("time (UTC)"), QStringLiteral("seconds"), QStringLiteral("count")};
    for (int i = 0; i < kArchiveValueCount; ++i)
        head << heading(i, QStringLiteral("mean")) << heading(i, QStringLiteral("min")) << heading(i, QStringLiteral("max"));
    head << QStringLiteral("raining (share)") << QStringLiteral("cloudy (share)") << QStringLiteral("daylight (share)")
         << QStringLiteral("windy (share)") << QStringLiteral("safe (share)");
    QStringList out{head.join(QLatin1Char(','))};
    for (const ArchiveSummary &s : rows) {
        QStringList f{isoUtc(s.utc), QString::number(s.seconds), QString::number(s.count)};
        for (int i = 0; i < kArchiveValueCount; ++i)
            f << csvNumber(s.mean[size_t(i)]) << csvNumber(s.min[size_t(i)], scaleOf(i))
              << csvNumber(s.max[size_t(i)], scaleOf(i));
        for (double share : {s.raining, s.cloudy, s.daylight, s.windy, s.safe})
            f << csvNumber(share);
        out << f.join(QLatin1Char(','));
    }
    return lines(out);
}

void forEachObservationField(const ArchivedObservation &r, const std::function<void(QLatin1String key, const QJsonValue &value)> &field)
{
    field(QLatin1String("time"), isoUtc(r.utc));
    for (int i = 0; i < kArchiveValueCount; ++i)
        field(QLatin1String(archiveValueInfo(archiveValueAt(i)).key), jsonNumber(r.values[size_t(i)]));
    field(QLatin1String("sky"), skyClassJson(r.sky));
    field(QLatin1String("raining"), r.raining);
    // Without a measured sky there is no saying whether it is cloudy.
    field(QLatin1String("cloudy"), r.sky ? QJsonValue(r.cloudy) : QJsonValue());
    field(QLatin1String("daylight"), r.daylight);
    field(QLatin1String("windy"), r.windy);
    field(QLatin1String("heater"), r.heater);
    field(QLatin1String("relay"), r.relay);
    field(QLatin1String("board"), boardStateName(r.board));
    field(QLatin1String("safety"), safetyWord(r.safe));
    field(QLatin1String("unsafe"), QJsonArray::fromStringList(r.unsafe));
}

QJsonObject observationJson(const ArchivedObservation &r)
{
    QJsonObject o;
    forEachObservationField(r, [&o](QLatin1String key, const QJsonValue &value) { o.insert(key, value); });
    return o;
}

QJsonObject archiveUnits()
{
    QJsonObject units;
    for (int i = 0; i < kArchiveValueCount; ++i)
        units.insert(key(i), QString::fromUtf8(archiveValueInfo(archiveValueAt(i)).unit));
    return units;
}

namespace {
// The rows with the units their numbers are in.
QByteArray withUnits(const QJsonArray &rows)
{
    const QJsonObject out{{QStringLiteral("units"), archiveUnits()}, {QStringLiteral("rows"), rows}};
    return QJsonDocument(out).toJson(QJsonDocument::Compact) + '\n';
}
} // namespace

QByteArray observationsJson(const std::vector<ArchivedObservation> &rows)
{
    QJsonArray out;
    for (const ArchivedObservation &r : rows)
        out.append(observationJson(r));
    return withUnits(out);
}

QByteArray summariesJson(const std::vector<ArchiveSummary> &rows)
{
    QJsonArray out;
    for (const ArchiveSummary &s : rows) {
        QJsonObject o{{QStringLiteral("time"), isoUtc(s.utc)},
                      {QStringLiteral("seconds"), s.seconds},
                      {QStringLiteral("count"), s.count}};
        for (int i = 0; i < kArchiveValueCount; ++i)
            o.insert(key(i), QJsonObject{{QStringLiteral("mean"), jsonNumber(s.mean[size_t(i)])},
                                         {QStringLiteral("min"), jsonNumber(s.min[size_t(i)])},
                                         {QStringLiteral("max"), jsonNumber(s.max[size_t(i)])}});
        o.insert(QStringLiteral("raining"), jsonNumber(s.raining));
        o.insert(QStringLiteral("cloudy"), jsonNumber(s.cloudy));
        o.insert(QStringLiteral("daylight"), jsonNumber(s.daylight));
        o.insert(QStringLiteral("windy"), jsonNumber(s.windy));
        o.insert(QStringLiteral("safe"), jsonNumber(s.safe));
        out.append(o);
    }
    return withUnits(out);
}
