// Today's highs and lows, the trends and the night at the site, as the live
// answer gives them. Made from the archive's minutes in memory, and made
// again only when the minutes, the minute of the clock, the local day, the
// solar noon or the site change: a page polling each second costs a lookup,
// whatever the archive's size.
#pragma once

#include "core/settings.h"

#include <QDateTime>
#include <QJsonObject>
#include <optional>

class Archive;

// "today" and "trends" (with an open archive) and "night", added to `out`.
void addDayAndNight(QJsonObject &out, const Archive *archive, const SiteLocation &site, const QDateTime &nowUtc);

class LiveExtrasCache {
public:
    // As addDayAndNight, from the last answer when nothing it depends on has changed.
    void addTo(QJsonObject &out, const Archive *archive, const SiteLocation &site, const QDateTime &nowUtc);

private:
    struct Key {
        const Archive *archive = nullptr;
        quint64 revision = 0;
        qint64 minute = 0, midnight = 0, noon = 0;
        bool siteKnown = false;
        double latitude = 0, longitude = 0;
        QString problem;
        friend bool operator==(const Key &, const Key &) = default;
    };
    std::optional<Key> m_key;
    QJsonObject m_parts;
};
