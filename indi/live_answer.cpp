#include "live_answer.h"

#include "json.h"

#include <ctime>

using nlohmann::json;

namespace {

// The station's wind unit is the one its upload reports as miles per hour.
constexpr double kKmPerMile = 1.609344;

double number(const json &o, const char *key, double scale = 1)
{
    const auto it = o.find(key);
    return it != o.end() && it->is_number() ? it->get<double>() * scale : NAN;
}

double flag(const json &o, const char *key)
{
    const auto it = o.find(key);
    return it != o.end() && it->is_boolean() ? (it->get<bool>() ? 1 : 0) : NAN;
}

double skyCode(const json &o)
{
    const auto it = o.find("sky");
    if (it == o.end() || !it->is_string())
        return NAN;
    const std::string sky = it->get<std::string>();
    return sky == "clear" ? 0 : sky == "partly cloudy" ? 1 : sky == "overcast" ? 2 : NAN;
}

void readObservation(const json &o, LiveAnswer &a)
{
    a.hasObservation = true;
    a.temperatureC = number(o, "ambient_c");
    a.humidityPercent = number(o, "humidity_pct");
    a.dewPointC = number(o, "dew_point_c");
    a.skyC = number(o, "sky_c");
    a.skyMinusAmbientC = number(o, "amb_minus_sky_c", -1);
    a.windKmh = number(o, "wind_avg", kKmPerMile);
    a.gustKmh = number(o, "gust", kKmPerMile);
    a.cloudCoverPercent = number(o, "cloud_cover_pct");
    a.raining = flag(o, "raining");
    a.daylight = flag(o, "daylight");
    a.skyClass = skyCode(o);
}

} // namespace

// "2026-12-07T22:00:01.250Z" (the program's own form) as ms since 1970.
static std::optional<long long> parseIsoUtcMs(const std::string &text)
{
    std::tm tm{};
    int ms = 0;
    char rest[8] = {};
    const int n = std::sscanf(text.c_str(), "%4d-%2d-%2dT%2d:%2d:%2d%7s", &tm.tm_year, &tm.tm_mon, &tm.tm_mday,
                              &tm.tm_hour, &tm.tm_min, &tm.tm_sec, rest);
    if (n != 7)
        return std::nullopt;
    const std::string tail = rest;
    if (tail != "Z" && !(tail.size() == 5 && tail[0] == '.' && tail[4] == 'Z' && std::sscanf(rest + 1, "%3d", &ms) == 1))
        return std::nullopt;
    tm.tm_year -= 1900;
    tm.tm_mon -= 1;
    return static_cast<long long>(timegm(&tm)) * 1000 + ms;
}

std::optional<LiveAnswer> parseLiveAnswer(const std::string &body, std::string &problem)
{
    const json doc = json::parse(body, nullptr, false);
    if (doc.is_discarded() || !doc.is_object()) {
        problem = "the answer is not JSON";
        return std::nullopt;
    }
    LiveAnswer a;
    const auto now = doc.find("now");
    const std::optional<long long> nowMs = now != doc.end() && now->is_string() ? parseIsoUtcMs(now->get<std::string>()) : std::nullopt;
    const auto safety = doc.find("safety");
    if (!nowMs || safety == doc.end() || !safety->is_object()) {
        problem = "the answer has no time or no safety verdict";
        return std::nullopt;
    }
    a.nowMs = *nowMs;
    a.verdictKnown = safety->value("known", false);
    const auto safe = safety->find("safe");
    a.safe = a.verdictKnown && safe != safety->end() && safe->is_boolean() && safe->get<bool>();
    const auto unsafe = safety->find("unsafe");
    if (unsafe != safety->end() && unsafe->is_array()) {
        for (const json &c : *unsafe) {
            if (!c.is_object())
                continue;
            a.unsafeTexts.push_back(c.value("text", c.value("name", std::string("unsafe"))));
            a.boardHeld = a.boardHeld || c.value("name", std::string()) == "board";
        }
    }
    const auto observation = doc.find("observation");
    if (observation != doc.end() && observation->is_object())
        readObservation(*observation, a);
    return a;
}

ReadOutcome outcomeOf(const std::string &fetchError, const std::optional<LiveAnswer> &answer,
                      const std::string &parseProblem, long long previousNowMs)
{
    ReadOutcome out;
    if (!fetchError.empty()) {
        out.reasons = "No answer from Tarnwick: " + fetchError;
        return out;
    }
    if (!answer) {
        out.reasons = "Tarnwick's answer cannot be read: " + parseProblem;
        return out;
    }
    if (answer->nowMs <= previousNowMs) {
        out.reasons = "Tarnwick's answer is an old one: its clock did not move on";
        return out;
    }
    out.fresh = answer->hasObservation && answer->verdictKnown && !answer->boardHeld;
    if (!answer->verdictKnown) {
        out.reasons = "Tarnwick has not judged the weather yet";
        return out;
    }
    out.safe = answer->safe && answer->unsafeTexts.empty();
    if (out.safe) {
        out.reasons = "Safe";
        return out;
    }
    for (const std::string &text : answer->unsafeTexts)
        out.reasons += (out.reasons.empty() ? "" : "; ") + text;
    if (out.reasons.empty())
        out.reasons = "Unsafe";
    return out;
}
