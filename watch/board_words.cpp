#include "watch/board_words.h"

#include <QStringList>

namespace {
const QString kDash = QStringLiteral(" \u2014 ");

QString onDevice(const BoardStatus &b)
{
    return b.device.isEmpty() ? QString() : QStringLiteral(" on ") + b.device;
}
} // namespace

QString durationWords(qint64 seconds)
{
    seconds = std::max<qint64>(0, seconds);
    if (seconds < 60)
        return QString::number(seconds) + QLatin1String(" s");
    if (seconds < 3600)
        return QString::number(seconds / 60) + QLatin1String(" min");
    if (seconds < 2 * 86400)
        return QString::number(seconds / 3600) + QLatin1String(" h");
    return QString::number(seconds / 86400) + QLatin1String(" days");
}

QString boardWords(const BoardStatus &b, const QDateTime &nowUtc)
{
    switch (b.state) {
    case BoardState::Searching:
        return QStringLiteral("Looking for the board") + onDevice(b);
    case BoardState::Live:
        return QStringLiteral("Live") + onDevice(b);
    case BoardState::Simulated:
        return QStringLiteral("Simulated board") + onDevice(b);
    case BoardState::Silent: {
        const QDateTime from = b.lastRecord.isValid() ? b.lastRecord : b.since;
        return QStringLiteral("Board silent for ") + durationWords(from.isValid() ? from.secsTo(nowUtc) : 0)
            + onDevice(b) + kDash + QStringLiteral("retrying");
    }
    case BoardState::Lost: {
        const QString ago = durationWords(b.since.isValid() ? b.since.secsTo(nowUtc) : 0) + QStringLiteral(" ago");
        return QStringLiteral("Board lost ") + ago + onDevice(b) + kDash + QStringLiteral("retrying");
    }
    case BoardState::Absent:
        return QStringLiteral("No board") + onDevice(b) + kDash + QStringLiteral("showing test values");
    }
    return QString();
}

QString ageWords(const QDateTime &lastRecordUtc, const QDateTime &nowUtc)
{
    if (!lastRecordUtc.isValid())
        return QStringLiteral("no reading yet");
    return QStringLiteral("updated ") + durationWords(lastRecordUtc.secsTo(nowUtc)) + QStringLiteral(" ago");
}

QString skyWords(const Observation &o)
{
    if (o.source == ObservationSource::TestRecord)
        return QString();
    QString words;
    if (o.raining)
        words = QStringLiteral("Rain");
    else if (o.daylight)
        words = QStringLiteral("Daylight");
    else if (!o.readings.sky)
        words = QStringLiteral("Sky not measured");
    else if (*o.readings.sky == SkyClass::Clear)
        words = QStringLiteral("Clear");
    else if (*o.readings.sky == SkyClass::PartlyCloudy)
        words = QStringLiteral("Partly cloudy");
    else
        words = QStringLiteral("Overcast");
    if (o.windy && o.readings.has(Quantity::WindAverage))
        words += QStringLiteral(", Windy");
    return words;
}

QString safetyWords(const SafetyVerdict &safety)
{
    if (!safety.known)
        return QString();
    if (safety.safe)
        return QStringLiteral("Safe");
    QStringList names;
    for (const UnsafeCondition &c : safety.unsafe) {
        // The wait after a start says itself when it ends.
        if (c.name == QLatin1String("startup") && !c.text.isEmpty())
            names << c.text.left(1).toLower() + c.text.mid(1);
        else
            names << c.name;
    }
    return names.isEmpty() ? QStringLiteral("Unsafe") : QStringLiteral("Unsafe: ") + names.join(QStringLiteral(", "));
}

QString boardChangeLine(const BoardStatus &b)
{
    QString line = QStringLiteral("board ") + boardStateName(b.state);
    if (!b.reason.contains(b.device))
        line += onDevice(b);
    if (!b.reason.isEmpty())
        line += QStringLiteral(": ") + b.reason;
    return line;
}

QString notLiveReason(const WatchStatus &status, const QDateTime &nowUtc, int staleAfterSeconds)
{
    if (currentObservation(status, nowUtc, staleAfterSeconds))
        return QString();
    if (!status.lastLive)
        return QStringLiteral("no live reading yet");
    return QStringLiteral("no live reading since ") + status.lastLive->utc.toLocalTime().toString(QStringLiteral("HH:mm:ss"));
}
