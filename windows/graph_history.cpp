#include "windows/graph_history.h"

#include <algorithm>

qint64 graphSpanMs(int interval)
{
    return qint64(interval) * kGraphPoints * 1000;
}

qsizetype pointsOutOfView(const QList<QPointF> &points, qint64 newestMs, qint64 spanMs, qsizetype cap)
{
    const double oldest = double(newestMs - spanMs);
    qsizetype drop = 0;
    while (drop < points.size() && points[drop].x() < oldest)
        ++drop;
    return std::max(drop, points.size() - cap);
}

std::vector<QList<QPointF>> historyPoints(const std::vector<Observation> &observations, const QDateTime &end,
                                          int interval, size_t seriesCount,
                                          const std::function<std::vector<double>(const Observation &)> &samples,
                                          const std::function<double(size_t series, double average)> &plotValue)
{
    std::vector<QList<QPointF>> out(seriesCount);
    if (interval <= 0)
        return out;
    const qint64 endMs = end.toMSecsSinceEpoch();
    const qint64 binMs = qint64(interval) * 1000;
    const qint64 startMs = endMs - graphSpanMs(interval);
    std::vector<double> sums(seriesCount, 0.0);
    int count = 0;
    qint64 bin = -1; // index of the bin being summed
    auto close = [&] {
        if (count == 0)
            return;
        const double x = double(startMs + (bin + 1) * binMs);
        for (size_t i = 0; i < seriesCount; ++i)
            out[i].append(QPointF(x, plotValue(i, sums[i] / count)));
        std::fill(sums.begin(), sums.end(), 0.0);
        count = 0;
    };
    // Oldest first, as the bins are closed in order.
    std::vector<const Observation *> ordered;
    ordered.reserve(observations.size());
    for (const Observation &o : observations)
        ordered.push_back(&o);
    std::stable_sort(ordered.begin(), ordered.end(),
                     [](const Observation *a, const Observation *b) { return a->utc < b->utc; });
    for (const Observation *op : ordered) {
        const Observation &o = *op;
        const qint64 t = o.utc.toMSecsSinceEpoch();
        if (t <= startMs || t > endMs)
            continue;
        const qint64 b = (t - startMs - 1) / binMs; // a bin holds (start, end]
        if (b != bin) {
            close();
            bin = b;
        }
        const std::vector<double> s = samples(o);
        for (size_t i = 0; i < seriesCount && i < s.size(); ++i)
            sums[i] += s[i];
        ++count;
    }
    close();
    return out;
}
