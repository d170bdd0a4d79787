// What each night was like at the site, from the archive: how long it was
// dark, how much of the dark the sky was clear, how long the verdict was safe
// and how many minutes it rained. A night runs from one local solar noon to
// the next and carries the date of the evening it begins with.
#pragma once

#include "core/settings.h"

#include <QDate>
#include <QDateTime>
#include <QSqlDatabase>
#include <vector>

struct NightStats {
    QDate date;              // the evening's date at the site's mean solar time
    QDateTime from, to;      // the solar noon it follows, and the next one (or now, for tonight)
    QDateTime darkFrom, darkTo; // astronomical darkness within [from, to); invalid: none
    double darkHours = 0;       // the Sun 18° or more below the horizon
    double clearDarkHours = 0;  // of those, archived with a clear sky
    double safeHours = 0;       // archived with a safe verdict, dark or not
    double rainMinutes = 0;     // archived while raining
    double archivedHours = 0;   // archived at all (0: the archive knows nothing of this night)
};

// The night that follows the solar noon noonUtc, its darkness from the Sun
// alone (no archive figures yet).
NightStats nightAt(const QDateTime &noonUtc, const SiteLocation &site);

// The last `count` whole nights before tonight, oldest first, and tonight up
// to nowUtc. Observation rows are counted where the archive still holds them,
// minute summaries before the oldest of them.
struct NightsReport {
    std::vector<NightStats> nights;
    NightStats tonight;
};
NightsReport queryNights(const QSqlDatabase &db, const SiteLocation &site, const QDateTime &nowUtc, int count);

// The whole nights that began at or after sinceUtc (at most maxNights), and tonight.
NightsReport queryNightsSince(const QSqlDatabase &db, const SiteLocation &site, const QDateTime &sinceUtc,
                              const QDateTime &nowUtc, int maxNights);
