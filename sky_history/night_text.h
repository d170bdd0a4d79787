// Nights as text: a table for people, CSV, and the JSON the web page reads
// ({"nights": [...], "lastNight": {...}, "tonight": {...}}).
#pragma once

#include "sky_history/night_stats.h"

#include <QByteArray>
#include <QJsonObject>

QJsonObject nightJson(const NightStats &night);
QJsonObject nightsJson(const NightsReport &report);
// One line per night, tonight last and marked as so far.
QByteArray nightsTable(const NightsReport &report);
QByteArray nightsCsv(const NightsReport &report);
