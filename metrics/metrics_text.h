// The watch in the Prometheus text exposition format (version 0.0.4): every
// current reading, the safety verdict, the board's state, the age of the last
// live observation, the observations processed and the health of the modules
// that send the watch out. Readings come as one family,
//   tarnwick_reading{quantity="ambient_c",unit="°C"} 12.3
// named by the quantity table's key and unit; a quantity that is no reading
// now has no line at all (never 0).
#pragma once

#include "core/http_route.h"
#include "watch/watch_status.h"

#include <QDateTime>
#include <array>
#include <atomic>
#include <functional>
#include <optional>

// Counted where it happens, read where /metrics is answered (any thread).
class MetricsCounters {
public:
    // Observations the watch processed, by source.
    void countObservation(ObservationSource source);
    quint64 observations(ObservationSource source) const;
    // The weather service's reports: taken, or failed (refused, no answer, ...).
    void countUpload(bool accepted);
    quint64 uploads(bool accepted) const;

private:
    std::array<std::atomic<quint64>, 4> m_observations{};
    std::array<std::atomic<quint64>, 2> m_uploads{};
};

// What the sending modules tell of themselves; empty where a module is off.
struct MetricsHealth {
    std::optional<bool> mqttConnected;
    std::optional<bool> archiveFailing;
    struct Notify {
        int attempts = 0;
        int delivered = 0;
    };
    std::optional<Notify> notify;
    bool uploadWired = false; // the weather service's report counts mean something
};

QByteArray metricsText(const WatchStatus &status, const QDateTime &nowUtc, int staleAfterSeconds,
                       const MetricsCounters &counters, const MetricsHealth &health);

inline constexpr const char *kMetricsContentType = "text/plain; version=0.0.4; charset=utf-8";

// GET or HEAD of /metrics answered with text(); 405 for other methods, 404 under it.
HttpRouteReply answerMetrics(const HttpRouteRequest &request, const std::function<QByteArray()> &text);
