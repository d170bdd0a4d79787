// "tarnwick history --nights" (dark, clear, safe and rainy hours per night)
// and "tarnwick calibrate-sky" (a proposal of sky coefficients and limits
// from the archive, printed only). Both open the archive read-only and read
// the site and the sky settings from the profile without writing it.
// Return the process exit status.
#pragma once

#include "core/settings.h"

#include <QDateTime>
#include <QStringList>
#include <QTextStream>

// The profile's settings as stored (defaults where it holds none); nothing is written.
Settings storedSettings(const QString &profilePath);

int runNightsCommand(const QString &archivePath, const SiteLocation &site, const QStringList &args,
                     const QDateTime &nowUtc, QTextStream &out, QTextStream &err);
int runCalibrateSkyCommand(const QString &archivePath, const Settings &settings, const QStringList &args,
                           const QDateTime &nowUtc, QTextStream &out, QTextStream &err);

// Most nights a question may ask for (the calendar shows a year).
inline constexpr int kMaxNights = 3660;
