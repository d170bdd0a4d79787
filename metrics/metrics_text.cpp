#include "metrics/metrics_text.h"

#include <QLocale>

namespace {

constexpr ObservationSource kSources[] = {ObservationSource::Live, ObservationSource::Reprocessed,
                                          ObservationSource::TestRecord, ObservationSource::Stale};

const char *sourceName(ObservationSource source)
{
    switch (source) {
    case ObservationSource::Live:
        return "live";
    case ObservationSource::Reprocessed:
        return "reprocessed";
    case ObservationSource::TestRecord:
        return "test_record";
    case ObservationSource::Stale:
        return "stale";
    }
    return "unknown";
}

QByteArray number(double v)
{
    return QString::number(v, 'g', QLocale::FloatingPointShortest).toLatin1();
}

QByteArray labelValue(const QString &text)
{
    QByteArray out;
    for (const char c : text.toUtf8()) {
        if (c == '\\' || c == '"')
            out += '\\';
        out += c == '\n' ? QByteArray("\\n") : QByteArray(1, c);
    }
    return out;
}

// Writes one family: its HELP and TYPE once, then the samples added.
class Family {
public:
    Family(QByteArray &out, const char *name, const char *type, const char *help)
        : m_out(out), m_name(name)
    {
        m_out += "# HELP " + m_name + ' ' + help + "\n# TYPE " + m_name + ' ' + type + '\n';
    }
    Family &sample(double value, const QByteArray &labels = {})
    {
        m_out += m_name;
        if (!labels.isEmpty())
            m_out += '{' + labels + '}';
        m_out += ' ' + number(value) + '\n';
        return *this;
    }

private:
    QByteArray &m_out;
    QByteArray m_name;
};

QByteArray label(const char *name, const QString &value)
{
    return QByteArray(name) + "=\"" + labelValue(value) + '"';
}

void writeReadings(QByteArray &out, const Readings &readings)
{
    Family reading(out, "tarnwick_reading", "gauge",
                   "The current reading of each quantity, named by its key and unit; no line while it is no reading.");
    for (const QuantityInfo &q : quantities())
        if (const std::optional<double> v = readings[q.quantity])
            reading.sample(*v, label("quantity", QString::fromLatin1(q.key)) + ',' + label("unit", QString::fromUtf8(q.unit)));
    Family sky(out, "tarnwick_sky_class", "gauge", "1 for the sky's current class; no line while the sky is no reading.");
    if (readings.sky)
        for (SkyClass c : {SkyClass::Clear, SkyClass::PartlyCloudy, SkyClass::Overcast})
            sky.sample(c == *readings.sky ? 1 : 0, label("class", skyClassName(c)));
}

void writeWatch(QByteArray &out, const WatchStatus &status, const QDateTime &nowUtc)
{
    const SafetyVerdict &safety = status.safety;
    Family(out, "tarnwick_safety_known", "gauge", "1 once the safety monitor has judged.").sample(safety.known ? 1 : 0);
    Family safe(out, "tarnwick_safe", "gauge", "1 when safe, 0 when unsafe; no line before the first verdict.");
    if (safety.known)
        safe.sample(safety.safe ? 1 : 0);
    Family unsafe(out, "tarnwick_unsafe_condition", "gauge", "1 for each condition that makes it unsafe now.");
    for (const UnsafeCondition &u : safety.unsafe)
        unsafe.sample(1, label("condition", u.name));
    Family board(out, "tarnwick_board_state", "gauge", "1 for the board's current state, 0 for the others.");
    for (int s = 0; s <= int(BoardState::Simulated); ++s)
        board.sample(BoardState(s) == status.board.state ? 1 : 0, label("state", boardStateName(BoardState(s))));
    Family age(out, "tarnwick_observation_age_seconds", "gauge",
               "Age of the last observation from a board that delivers readings; no line before the first.");
    if (status.lastLive)
        age.sample(status.lastLive->utc.msecsTo(nowUtc) / 1000.0);
}

void writeHealth(QByteArray &out, const MetricsCounters &counters, const MetricsHealth &health)
{
    Family observations(out, "tarnwick_observations_total", "counter", "Observations the watch processed, by source.");
    for (ObservationSource s : kSources)
        observations.sample(double(counters.observations(s)), label("source", QString::fromLatin1(sourceName(s))));
    if (health.uploadWired) {
        Family uploads(out, "tarnwick_upload_reports_total", "counter",
                       "The weather service's reports, by result (accepted, failed).");
        uploads.sample(double(counters.uploads(true)), label("result", QStringLiteral("accepted")));
        uploads.sample(double(counters.uploads(false)), label("result", QStringLiteral("failed")));
    }
    if (health.mqttConnected)
        Family(out, "tarnwick_mqtt_connected", "gauge", "1 while the link to the MQTT broker is up.")
            .sample(*health.mqttConnected ? 1 : 0);
    if (health.archiveFailing)
        Family(out, "tarnwick_archive_failing", "gauge", "1 while writes to the archive fail.")
            .sample(*health.archiveFailing ? 1 : 0);
    if (health.notify) {
        Family(out, "tarnwick_notify_attempts_total", "counter", "Notification deliveries tried, over all channels.")
            .sample(health.notify->attempts);
        Family(out, "tarnwick_notify_delivered_total", "counter", "Notifications delivered, over all channels.")
            .sample(health.notify->delivered);
    }
}

} // namespace

void MetricsCounters::countObservation(ObservationSource source)
{
    ++m_observations[size_t(source)];
}

quint64 MetricsCounters::observations(ObservationSource source) const
{
    return m_observations[size_t(source)].load();
}

void MetricsCounters::countUpload(bool accepted)
{
    ++m_uploads[accepted ? 1 : 0];
}

quint64 MetricsCounters::uploads(bool accepted) const
{
    return m_uploads[accepted ? 1 : 0].load();
}

QByteArray metricsText(const WatchStatus &status, const QDateTime &nowUtc, int staleAfterSeconds,
                       const MetricsCounters &counters, const MetricsHealth &health)
{
    QByteArray out;
    writeReadings(out, currentReadings(status, nowUtc, staleAfterSeconds));
    writeWatch(out, status, nowUtc);
    writeHealth(out, counters, health);
    return out;
}

HttpRouteReply answerMetrics(const HttpRouteRequest &request, const std::function<QByteArray()> &text)
{
    if (request.path != QLatin1String("/metrics"))
        return {404, "text/plain; charset=utf-8", "No metrics at " + request.path.toUtf8() + '\n'};
    if (request.method != "GET" && request.method != "HEAD")
        return {405, "text/plain; charset=utf-8", "Only GET and HEAD are served here\n"};
    return {200, kMetricsContentType, text()};
}
