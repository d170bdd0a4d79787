// safetymonitor/0: the safety verdict from the watch feed as IsSafe, and the
// current unsafe conditions through the SafetyEvents action.
#pragma once

#include "alpaca/alpaca_device.h"

class WatchFeed;
struct SafetyVerdict;

class SafetyMonitorDevice : public AlpacaDevice {
public:
    SafetyMonitorDevice(const WatchFeed &feed, const QString &uniqueId, Clock clock = {});

    // The SafetyEvents text: a compact JSON array, one object per condition.
    static QString safetyEventsJson(const SafetyVerdict &verdict);

private:
    QJsonArray operationalState() override;
    QStringList supportedActions() const override { return {QStringLiteral("SafetyEvents")}; }
    QString runAction(const QString &name, const QString &parameters) override;
    bool isSafe() const;

    const WatchFeed &m_feed;
};
