#include "web/live_cache.h"

#include "archive/archive.h"
#include "core/solar.h"
#include "web/live_extras.h"

namespace {

// Today: since the program's local midnight.
QDateTime localMidnightUtc(const QDateTime &nowUtc)
{
    return QDateTime(nowUtc.toLocalTime().date(), QTime(0, 0)).toUTC();
}

void addParts(QJsonObject &out, const Archive *archive, const SiteLocation &site, const QDateTime &nowUtc,
              const QDateTime &midnight)
{
    const bool archived = archive && archive->isOpen();
    if (archived) {
        std::vector<ArchiveSummary> read;
        out.insert(QStringLiteral("today"), todayJson(archive->minutesView(midnight, nowUtc, read), midnight));
        out.insert(QStringLiteral("trends"), trendsJson(archive->minutesView(nowUtc.addSecs(-30 * 60), nowUtc, read)));
    }
    const QJsonObject night = nightJson(site, nowUtc, [archive, archived](const QDateTime &from, const QDateTime &to) {
        return archived ? archive->minutesBetween(from, to) : std::vector<ArchiveSummary>{};
    });
    out.insert(QStringLiteral("night"), night.isEmpty() ? QJsonValue() : QJsonValue(night));
}

} // namespace

void addDayAndNight(QJsonObject &out, const Archive *archive, const SiteLocation &site, const QDateTime &nowUtc)
{
    addParts(out, archive, site, nowUtc, localMidnightUtc(nowUtc));
}

void LiveExtrasCache::addTo(QJsonObject &out, const Archive *archive, const SiteLocation &site, const QDateTime &nowUtc)
{
    const QDateTime midnight = localMidnightUtc(nowUtc);
    // The minute rows taken are those that began by now (whole seconds), from
    // a minute's start on: within one minute of the clock they are the same.
    const qint64 ms = nowUtc.toMSecsSinceEpoch();
    Key key{archive, archive ? archive->minutesRevision() : 0, ms / 60000, midnight.toSecsSinceEpoch(), 0,
            site.known, site.latitudeDeg, site.longitudeDeg, site.problem};
    if (site.known)
        key.noon = solarNoonBefore(nowUtc, site.longitudeDeg).toMSecsSinceEpoch();
    // The trends' half hour begins at a minute's start only when now is
    // exactly on one; then the rows taken differ from the rest of the minute.
    if (ms % 60000 == 0 || !(m_key && *m_key == key)) {
        m_parts = {};
        addParts(m_parts, archive, site, nowUtc, midnight);
        m_key = ms % 60000 == 0 ? std::nullopt : std::optional<Key>(key);
    }
    for (auto it = m_parts.begin(); it != m_parts.end(); ++it)
        out.insert(it.key(), it.value());
}
