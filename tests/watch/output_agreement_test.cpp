// Every output shows the station's readings alike: the station fills them once
// over a fake port, and each output's own formatting is read back into
// quantities and compared. Outputs that show the last live reading with its
// time (the live page, the webhook, the data file) must give its true time and
// values; the others the readings of now.
#include "alpaca/devices/observing_conditions_device.h"
#include "archive/archived_observation.h"
#include "core/settings.h"
#include "datafile/weather_data_line.h"
#include "feeds/indi_feeds.h"
#include "mqtt/mqtt_payloads.h"
#include "notify/notify_event.h"
#include "safety/safety_monitor.h"
#include "station/record_parser.h"
#include "station/station_fixture.h"
#include "upload/pws_report.h"
#include "watch/board_words.h"
#include "web/web_routes.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <QUrlQuery>
#include <cmath>
#include <map>
#include <set>

namespace {
const QDateTime kT0 = QDateTime(QDate(2026, 12, 7), QTime(20, 0), Qt::UTC);
const std::string kSky = "sky"; // the sky class, beside the quantity keys
const double kNoNumber = std::nan(""); // shown, but not as a comparable number

std::string key(Quantity q) { return quantityInfo(q).key; }
// What one output shows: a value per key it knows (nullopt: left out; NaN:
// shown without a comparable number), with the tolerance of its rounding.
struct Shown {
    std::map<std::string, std::optional<double>> values;
    std::map<std::string, double> tolerance;
    QDateTime asOf;              // invalid: shown as a reading of now
    bool absentReadsZero = false; // the format has no "none": 0 stands for it
    void put(const std::string &k, std::optional<double> v, int decimals = 3)
    {
        values[k] = v;
        tolerance[k] = 0.5 * std::pow(10.0, -decimals) + 1e-9;
    }
};

std::map<std::string, std::optional<double>> asMap(const Readings &r)
{
    std::map<std::string, std::optional<double>> m;
    for (const QuantityInfo &q : quantities())
        m[q.key] = r[q.quantity];
    if (r.sky)
        m[kSky] = double(int(*r.sky));
    m["any"] = r.empty() ? std::nullopt : std::optional(kNoNumber); // some reading at all
    return m;
}

std::optional<double> jsonValue(const QJsonValue &v)
{
    return v.isDouble() ? std::optional(v.toDouble()) : v.isNull() || v.isUndefined() ? std::nullopt : std::optional(kNoNumber);
}
} // namespace

struct Case {
    const char *name;
    std::function<void(class Agreement &)> drive;
    std::set<Quantity> readings; // what the station's readings hold afterwards
    bool skyClass;
};

class Agreement : public StationFixture, public ::testing::WithParamInterface<Case> {
public:
    using StationFixture::cycle;
    using StationFixture::link;
    using StationFixture::port;
    using StationFixture::settings;
    using StationFixture::weather;
    WatchFeed feed;
    QDateTime now = kT0;
    ObservingConditionsDevice device{feed, [] { return staleLimitSeconds(prog().settings); }, "uid", [this] { return now; }};
    bool clearGust = false;         // the station's state before its first wind sample
    bool collectWhenLiveAgain = false;
    std::optional<std::vector<std::pair<const char *, Shown>>> collected;
    std::optional<WatchStatus> collectedStatus;

    void SetUp() override
    {
        StationFixture::SetUp();
        ctx.utcClock = [this] { return now; };
        ctx.boardChanged = [this](const BoardStatus &b) { feed.setBoard(b); };
        cycle.addObserver([this](Observation o) {
            if (clearGust)
                o.readings.set(Quantity::Gust, std::nullopt);
            feed.publish(o);
        });
        // A board found again: what every output says before its first new record.
        feed.listen([this](const WatchStatus &s, WatchFeed::Change c) {
            if (collectWhenLiveAgain && !collected && c == WatchFeed::Change::Board && s.board.state == BoardState::Live)
                collectedStatus = s, collected = collect();
        });
    }
    int stale() const { return staleLimitSeconds(prog().settings); }
    void cycles(int n, const QString &record = kTestRecord)
    {
        connectBoard(record);
        for (int k = 0; k < n; ++k) {
            now = now.addSecs(1);
            cycle.run();
        }
    }
    void loseBoard()
    {
        port.openSucceeds = false;
        port.transmitsBeforeFailure = 0;
        for (int k = 0; k < 2; ++k) // the failed poll, then a cycle without the board
            { now = now.addSecs(1); cycle.run(); }
    }

    std::vector<std::pair<const char *, Shown>> collect();
};

Shown archiveRow(const Agreement &a)
{
    const WatchStatus &s = a.feed.status();
    const ArchivedObservation row = archivedFrom(*s.latest, s.board.state, s.safety);
    Shown out;
    for (const QuantityInfo &q : storedQuantities())
        out.put(q.key, row.has(q.quantity) ? std::optional(row.value(q.quantity)) : std::nullopt);
    out.put(kSky, row.sky ? std::optional(double(int(*row.sky))) : std::nullopt);
    return out;
}

Shown liveJson(const Agreement &a)
{
    const HttpRouteReply reply = answerLive({"GET", "/tarnwick/v1/live", {}, {}}, a.feed.status(), a.now);
    const QJsonObject live = QJsonDocument::fromJson(reply.body).object();
    const QJsonObject o = live.value("observation").toObject();
    Shown out;
    for (const QuantityInfo &q : quantities()) // as stored: whole 1/scale units
        out.put(q.key, jsonValue(o.value(q.key)), int(std::log10(q.scale)));
    out.put(kSky, o.value("sky").isString() ? std::optional(kNoNumber) : std::nullopt);
    if (!live.value("freshness").toObject().value("fresh").toBool())
        out.asOf = QDateTime::fromString(o.value("time").toString(), Qt::ISODateWithMs);
    return out;
}

Shown mqtt(const Agreement &a)
{
    Shown out;
    for (const QuantityInfo &q : quantities())
        out.put(q.key, std::nullopt);
    out.put(kSky, std::nullopt);
    const Observation &latest = *a.feed.status().latest;
    if (latest.readings.empty()) // the publisher sends nothing for a record without readings
        return out;
    MqttOptions options;
    options.topicPrefix = "t";
    const std::vector<MqttMessage> messages = observationMessages(options, a.feed.status(), latest);
    for (const MqttMessage &m : messages) {
        const std::string level = m.topic.mid(2).toStdString();
        if (level == "sky_minus_ambient_c")
            out.put(key(Quantity::AmbMinusSky), -m.payload.toDouble());
        else if (level == kSky)
            out.put(kSky, kNoNumber);
        else if (out.values.count(level))
            out.put(level, m.payload.toDouble(), 2);
    }
    const QJsonObject whole = QJsonDocument::fromJson(messages.front().payload).object();
    for (const QuantityInfo &q : quantities()) // the whole-record payload says the same
        EXPECT_EQ(out.values[q.key].has_value(), jsonValue(whole.value(q.key)).has_value()) << q.key;
    return out;
}

Shown observingConditions(Agreement &a)
{
    AlpacaTransactions t;
    a.device.handleMember("PUT", "connected", {{"Connected", "True"}, {"ClientID", "1"}}, t);
    Shown out;
    const double mph = 0.44704; // the device answers in m/s
    const std::pair<const char *, std::pair<Quantity, double>> sensors[] = {
        {"temperature", {Quantity::Ambient, 1}},  {"skytemperature", {Quantity::Sky, 1}},
        {"humidity", {Quantity::Humidity, 1}},    {"dewpoint", {Quantity::DewPoint, 1}},
        {"cloudcover", {Quantity::CloudCover, 1}}, {"windspeed", {Quantity::WindAverage, mph}},
        {"windgust", {Quantity::Gust, mph}}};
    for (const auto &[member, sensor] : sensors) {
        const QJsonObject o = QJsonDocument::fromJson(a.device.handleMember("GET", member, {{"ClientID", "1"}}, t).body).object();
        out.put(key(sensor.first), o.value("ErrorNumber").toInt() ? std::nullopt : std::optional(o.value("Value").toDouble() / sensor.second));
    }
    return out;
}

Shown safetyJudge(const Agreement &a)
{
    Shown out;
    const QList<HeldCondition> held = conditionsNow(a.feed.status(), safetyRulesFrom(prog().settings), a.now);
    const auto holds = [&](const char *text) {
        return std::any_of(held.begin(), held.end(), [&](const HeldCondition &h) { return h.text.startsWith(text); });
    };
    if (holds("The board") || holds("No reading"))
        return out; // nothing judged: the weather is unknown
    out.put(kSky, holds("Sky not measured") ? std::nullopt : std::optional(kNoNumber));
    out.put(key(Quantity::WindAverage), holds("Wind not measured") ? std::nullopt : std::optional(kNoNumber));
    return out;
}

Shown focuser(const Agreement &a)
{
    // The focuser's Temperature answers exactly while a reading of a.now exists.
    Shown out;
    out.put("any", notLiveReason(a.feed.status(), a.now, a.stale()).isEmpty() ? std::optional(kNoNumber) : std::nullopt);
    return out;
}

Shown watcher(const Agreement &a)
{
    Shown out;
    std::map<QByteArray, double> lines;
    for (const QByteArray &line : watcherFeed(a.feed.status(), a.now, {a.stale()}).split('\n'))
        if (const qsizetype eq = line.indexOf('='); eq > 0)
            lines[line.left(eq)] = line.mid(eq + 1).toDouble();
    const double km = 1.609344; // wind in km/h
    const std::tuple<const char *, Quantity, double, int> known[] = {
        {"temperature", Quantity::Ambient, 1, 1},     {"humidity", Quantity::Humidity, 1, 1},
        {"dewpoint", Quantity::DewPoint, 1, 1},       {"sky_minus_ambient", Quantity::AmbMinusSky, -1, 1},
        {"clouds", Quantity::CloudCover, 1, 0},       {"wind", Quantity::WindAverage, km, 1},
        {"gust", Quantity::Gust, km, 1}};
    for (const auto &[name, q, factor, decimals] : known) {
        const auto it = lines.find(name);
        out.put(key(q), it == lines.end() ? std::nullopt : std::optional(it->second / factor), decimals);
    }
    return out;
}

Shown dataFile(const Agreement &a)
{
    const QStringList f = weatherDataLine(a.feed.status(), a.now, {}, {a.stale(), 17}).split(' ');
    Shown out;
    out.absentReadsZero = true;
    const std::tuple<int, Quantity, double, int> fields[] = {{4, Quantity::AmbMinusSky, -1, 1}, {5, Quantity::Ambient, 1, 1},
                                                             {6, Quantity::Thermopile, 1, 1},   {7, Quantity::Wind, 1, 1},
                                                             {8, Quantity::Humidity, 1, 0},     {9, Quantity::DewPoint, 1, 1}};
    for (const auto &[i, q, sign, decimals] : fields)
        out.put(key(q), f[i].toDouble() * sign, decimals);
    // Rain condition 0: not live; the values are the last live ones, as old as the line says.
    if (f[17].toInt() == 0)
        out.asOf = a.now.addSecs(-f[13].toInt());
    else if (f[15].toInt() == 0) // cloud condition "unknown"
        out.put(kSky, std::nullopt);
    else
        out.put(kSky, f[15].toInt() - 1);
    return out;
}

std::optional<Shown> upload(const Agreement &a)
{
    const Observation &latest = *a.feed.status().latest;
    if (!latest.extras.reportDue)
        return std::nullopt; // no report goes with this record
    const QUrlQuery query(UploadQuery(readingFrom(latest)));
    const auto field = [&](const char *name) -> std::optional<double> {
        if (!query.hasQueryItem(name))
            return std::nullopt;
        return query.queryItemValue(name, QUrl::FullyDecoded).trimmed().toDouble();
    };
    Shown out;
    const std::optional<double> f = field("tempf");
    out.put(key(Quantity::Ambient), f ? std::optional((*f - 32) / 1.8) : std::nullopt, 1);
    out.put(key(Quantity::Humidity), field("humidity"), 0);
    out.put(key(Quantity::WindAverage), field("windspeedmph"), 1);
    out.put(key(Quantity::Gust), field("windgustmph"), 1);
    out.put(key(Quantity::Sky), query.hasQueryItem("clouds") ? std::optional(kNoNumber) : std::nullopt);
    return out;
}

Shown webhook(const Agreement &a)
{
    NotifyEvent e;
    e.kind = NotifyKind::BoardBack;
    e.utc = a.now;
    e.latest = a.feed.status().lastLive;
    const QJsonObject latest = QJsonDocument::fromJson(webhookBody(e)).object().value("latest").toObject();
    Shown out;
    if (latest.isEmpty())
        return out;
    out.asOf = QDateTime::fromString(latest.value("time").toString(), Qt::ISODate);
    const std::tuple<const char *, Quantity, double> known[] = {
        {"ambient_c", Quantity::Ambient, 1},    {"sky_minus_ambient_c", Quantity::AmbMinusSky, -1},
        {"humidity_percent", Quantity::Humidity, 1}, {"dew_point_c", Quantity::DewPoint, 1},
        {"wind_mph", Quantity::WindAverage, 1}, {"gust_mph", Quantity::Gust, 1}};
    for (const auto &[name, q, sign] : known) {
        const std::optional<double> v = jsonValue(latest.value(name));
        out.put(key(q), v ? std::optional(*v * sign) : std::nullopt);
    }
    out.put(kSky, latest.value("sky").isString() ? std::optional(kNoNumber) : std::nullopt);
    return out;
}

std::vector<std::pair<const char *, Shown>> Agreement::collect()
{
    std::vector<std::pair<const char *, Shown>> out{
        {"archive row", archiveRow(*this)}, {"live JSON", liveJson(*this)},   {"MQTT", mqtt(*this)},
        {"ObservingConditions", observingConditions(*this)}, {"safety judge", safetyJudge(*this)},
        {"focuser", focuser(*this)},        {"INDI watcher", watcher(*this)}, {"data file", dataFile(*this)},
        {"webhook", webhook(*this)}};
    if (std::optional<Shown> u = upload(*this))
        out.emplace_back("upload query", *u);
    return out;
}

TEST_P(Agreement, EveryOutputShowsTheStationsReadings)
{
    const Case &c = GetParam();
    c.drive(*this);
    const auto shown = collected ? *collected : collect();
    const WatchStatus status = collectedStatus ? *collectedStatus : feed.status();
    ASSERT_TRUE(status.latest);

    // The station's readings: what the case says it measures, and no more.
    const Readings current = currentReadings(status, now, stale());
    for (const QuantityInfo &q : quantities())
        EXPECT_EQ(current.has(q.quantity), c.readings.count(q.quantity) > 0) << q.key;
    EXPECT_EQ(current.sky.has_value(), c.skyClass);
    const auto nowMap = asMap(current);
    const auto lastMap = asMap(status.lastLive ? status.lastLive->readings : Readings{});

    for (const auto &[output, s] : shown) {
        SCOPED_TRACE(output);
        // Shown with a time of its own: the last live reading, and never one of now when it is not.
        const bool past = s.asOf.isValid();
        if (past) {
            ASSERT_TRUE(status.lastLive);
            EXPECT_LE(std::abs(s.asOf.secsTo(status.lastLive->utc)), 1) << qPrintable(s.asOf.toString(Qt::ISODate));
        }
        const auto &reference = past ? lastMap : nowMap;
        for (const auto &[k, value] : s.values) {
            SCOPED_TRACE(k);
            const auto it = reference.find(k);
            std::optional<double> expected = it == reference.end() ? std::nullopt : it->second;
            if (!expected && s.absentReadsZero && k != kSky)
                expected = 0.0;
            EXPECT_EQ(value.has_value(), expected.has_value());
            if (value && expected && !std::isnan(*value) && !std::isnan(*expected)) {
                EXPECT_NEAR(*value, *expected, s.tolerance.at(k));
            }
            if (value && k == key(Quantity::Humidity)) {
                EXPECT_TRUE(*value >= 0 && *value <= 100) << *value;
            }
        }
    }
}

std::set<Quantity> allBut(std::set<Quantity> left)
{
    std::set<Quantity> out;
    for (const QuantityInfo &q : quantities())
        if (!left.count(q.quantity))
            out.insert(q.quantity);
    return out;
}

const Case kCases[] = {
    {"Live", [](Agreement &a) { a.cycles(5); }, allBut({}), true},
    {"TemperatureProcessingOff", [](Agreement &a) { a.weather().TempEnabled = false; a.cycles(5); },
     {Quantity::Rain, Quantity::Brightness, Quantity::Wind, Quantity::WindAverage, Quantity::Gust}, false},
    {"NoHumidityMarker", [](Agreement &a) { a.cycles(5, withField(kTestRecord, 5, kNoHumidity)); },
     allBut({Quantity::Humidity, Quantity::DewPoint}), true},
    {"WindWindowNotComplete", [](Agreement &a) { a.settings().WindsAvgCnt = 10; a.cycles(5); },
     allBut({Quantity::WindAverage}), true},
    {"NoGustYet", [](Agreement &a) { a.clearGust = true; a.cycles(5); }, allBut({Quantity::Gust}), true},
    {"WindProcessingOff", [](Agreement &a) { a.weather().WindEnabled = false; a.cycles(5); },
     allBut({Quantity::Wind, Quantity::WindAverage, Quantity::Gust}), true},
    {"BoardLost", [](Agreement &a) { a.cycles(5); a.loseBoard(); }, {}, false},
    {"BoardSilent",
     [](Agreement &a) {
         a.cycles(5);
         a.port.standingAnswer.reset();
         a.now = a.now.addSecs(a.stale() + 1);
         a.cycle.run();
     },
     {}, false},
    // Found again 40 s after the loss: its search record sets the state live
    // before a new observation is processed. The outputs are read right then.
    {"BoardBackAfterAnOutage",
     [](Agreement &a) {
         a.cycles(5);
         a.loseBoard();
         a.now = a.now.addSecs(40);
         a.port.openSucceeds = true;
         a.port.transmitsBeforeFailure = -1;
         a.port.answers.push_back({PortResult::Ok, QStringLiteral("W")}); // the probe's answer
         a.collectWhenLiveAgain = true;
         a.cycle.run();
         ASSERT_TRUE(a.collected) << "the board was not found again";
     },
     {}, false},
    {"Simulator", [](Agreement &a) { a.link.setSimulated(true); a.cycles(5); }, allBut({}), true},
};

INSTANTIATE_TEST_SUITE_P(Cases, Agreement, ::testing::ValuesIn(kCases),
                         [](const auto &info) { return std::string(info.param.name); });
