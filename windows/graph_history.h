// What a graph window keeps and shows, free of widgets: a fixed number of
// points in view, the time span that makes at a given interval, which old
// points to drop, and the points an archive of observations gives for a span.
#pragma once

#include "watch/observation.h"

#include <QDateTime>
#include <QList>
#include <QPointF>
#include <functional>
#include <vector>

// Points in view; the time axis spans this many intervals.
constexpr int kGraphPoints = 180;

// Observations between two UTC times (the archive, when there is one).
using GraphHistorySource = std::function<std::vector<Observation>(QDateTime fromUtc, QDateTime toUtc)>;

// Milliseconds of the time axis at `interval` seconds per point.
qint64 graphSpanMs(int interval);

// How many points at the front of a series (x in ms, oldest first) fall out
// of view once `newestMs` is plotted: those older than the span, and any
// beyond the cap (a change of interval can leave closer-spaced points in view).
qsizetype pointsOutOfView(const QList<QPointF> &points, qint64 newestMs, qint64 spanMs, qsizetype cap);

// The points of each series for the `interval`-second bins that end at `end`
// and reach back over the span: each bin's observations averaged (samples
// turned into plotted values, per series), placed at the bin's end; an empty bin gives none.
std::vector<QList<QPointF>> historyPoints(const std::vector<Observation> &observations, const QDateTime &end,
                                          int interval, size_t seriesCount,
                                          const std::function<std::vector<double>(const Observation &)> &samples,
                                          const std::function<double(size_t series, double average)> &plotValue);
