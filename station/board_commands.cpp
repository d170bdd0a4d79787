#include "station/board_commands.h"

#include "core/settings.h"
#include "station/weather_state.h"

#include <cmath>

namespace {
// Remainder keeping the dividend's sign, on whole values of any size.
int mod10(double whole)
{
    if (!std::isfinite(whole))
        return 0;
    return int(std::fmod(whole, 10.0));
}

double intPart(double v)
{
    return std::floor(v);
}

double roundEven(double v)
{
    return std::nearbyint(v); // the default rounding mode sends halves to even
}

QString digit(int d)
{
    return QString::number(d);
}

// A digit may be negative ("-1") for a negative value; it still travels as one transmit.
Request settingRequest(QChar letter, const QStringList &digits)
{
    Request r{QStringLiteral(":"), QStringLiteral("S"), QString(letter)};
    r += digits;
    return r;
}

QStringList thresholdParts(double v)
{
    return {digit(mod10(intPart(v / 100))), digit(mod10(intPart(v / 10))), digit(mod10(v))};
}

QStringList hysteresisParts(double v)
{
    return {digit(mod10(intPart(v))), digit(mod10(roundEven(v * 10)))};
}

QStringList offsetParts(double v)
{
    return {digit(mod10(intPart(v / 10))), digit(mod10(intPart(v))), digit(mod10(roundEven(v * 10)))};
}
} // namespace

QString hysteresisDigits(double v)
{
    return hysteresisParts(v).join(QString());
}

QString offsetDigits(double v)
{
    return offsetParts(v).join(QString());
}

QString thresholdDigits(double v)
{
    return thresholdParts(v).join(QString());
}

Request charRequest(const QString &text)
{
    Request r;
    for (QChar c : text)
        r << QString(c);
    return r;
}

QList<Request> takeSwitchRequest(WeatherState &w, int order)
{
    auto allowText = [](const char *cmd, int allow) {
        return charRequest(QLatin1String(cmd) + (allow == 1 ? QLatin1Char('1') : QLatin1Char('0')));
    };
    switch (order) {
    case 0:
        if (w.HeaterForce == 1) {
            w.HeaterForce = 0;
            return {charRequest(QStringLiteral(":AH0")), charRequest(QStringLiteral(":SH1"))};
        }
        break;
    case 1:
        if (w.HeaterForce == 2) {
            w.HeaterForce = 0;
            return {charRequest(QStringLiteral(":SH0"))};
        }
        break;
    case 2:
        if (w.HeaterAllow != w.HeaterAllowSent) {
            w.HeaterAllowSent = w.HeaterAllow;
            return {allowText(":AH", w.HeaterAllow)};
        }
        break;
    case 3:
        if (w.RelayForce == 1) {
            w.RelayForce = 0;
            return {charRequest(QStringLiteral(":AR0")), charRequest(QStringLiteral(":Sr1"))};
        }
        break;
    case 4:
        if (w.RelayForce == 2) {
            w.RelayForce = 0;
            return {charRequest(QStringLiteral(":Sr0"))};
        }
        break;
    case 5:
        if (w.RelayAllow != w.RelayAllowSent) {
            w.RelayAllowSent = w.RelayAllow;
            return {allowText(":AR", w.RelayAllow)};
        }
        break;
    case 6:
        if (w.LightAllow != w.LightAllowSent) {
            w.LightAllowSent = w.LightAllow;
            return {allowText(":AL", w.LightAllow)};
        }
        break;
    case 7:
        if (w.WindAllow != w.WindAllowSent) {
            w.WindAllowSent = w.WindAllow;
            return {allowText(":AW", w.WindAllow)};
        }
        break;
    default:
        break;
    }
    return {};
}

QList<Request> takeSettingRequest(const Settings &s, SentSettings &sent, int order)
{
    if (order == 0) {
        if (s.TPTempHysteresis == sent.HysteresisSent)
            return {};
        sent.HysteresisSent = s.TPTempHysteresis;
        return {settingRequest(QLatin1Char('h'), hysteresisParts(s.TPTempHysteresis))};
    }
    if (order == 1) {
        if (s.TPTempOffset == sent.OffsetSent)
            return {};
        sent.OffsetSent = s.TPTempOffset;
        return {settingRequest(QLatin1Char('T'), offsetParts(s.TPTempOffset))};
    }
    struct Whole {
        int32_t value;
        int *sentField;
        char letter;
    };
    const Whole wholes[] = {
        {s.WindThreshold, &sent.WindThresholdSent, 'W'},
        {s.RainThreshold, &sent.RainThresholdSent, 'R'},
        {s.LightThreshold, &sent.LightThresholdSent, 'L'},
        {s.WindTimer, &sent.WindTimerSent, 'C'},
        {s.WindMultiplier, &sent.WindMultiplierSent, 'M'},
        {s.RainOnTime, &sent.RainOnTimeSent, 'd'},
    };
    if (order < 2 || order >= kSettingChecks)
        return {};
    const Whole &w = wholes[order - 2];
    if (w.value == *w.sentField)
        return {};
    *w.sentField = w.value;
    if (w.letter == 'M') // the multiplier's digits go as one transmit, however many
        return {settingRequest(QLatin1Char('M'), QStringList{QString::number(w.value)})};
    return {settingRequest(QLatin1Char(w.letter), thresholdParts(w.value))};
}

QList<Request> takeSwitchRequests(WeatherState &w)
{
    QList<Request> out;
    for (int i = 0; i < kSwitchChecks; ++i)
        out += takeSwitchRequest(w, i);
    return out;
}

QList<Request> takeSettingRequests(const Settings &s, SentSettings &sent)
{
    QList<Request> out;
    for (int i = 0; i < kSettingChecks; ++i)
        out += takeSettingRequest(s, sent, i);
    return out;
}
