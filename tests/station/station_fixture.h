// Fresh program state with the real watch model and a fake port, waits recorded instead of
// slept, messages and alerts recorded.
#pragma once

#include "core/messages.h"
#include "app/program.h"
#include "core/wait.h"
#include "fake_station_port.h"
#include "station/alerts.h"
#include "station/station_context.h"
#include "station/station_cycle.h"
#include "station/station_link.h"
#include "station/watch_model.h"

#include <QStringList>
#include <gtest/gtest.h>
#include <utility>
#include <vector>

class StationFixture : public ::testing::Test {
protected:
    WeatherState state;
    WatchModel handBox{prog().settings, state};
    StationContext ctx{prog().settings, state, handBox};
    FakeStationPort port;
    StationLink link{port, ctx};
    StationCycle cycle{link, ctx};
    QStringList messages;
    std::vector<int> waits;
    std::vector<std::pair<AlertKind, bool>> alerts;
    // The fifth-window consumers: the PWS report, then the log line.
    std::function<void()> onReport;
    std::function<void()> onLogLine;

    void SetUp() override
    {
        resetProgram();
        setMessageHandler([this](const Message &m) { messages << m.text; });
        ctx.pause = [this](int ms) { waits.push_back(ms); };
        ctx.alerts = [this](AlertKind k, bool holds) { alerts.emplace_back(k, holds); };
        ctx.traffic = &trafficFor;
        ctx.fifthWindow = {[this] {
                               if (onReport)
                                   onReport();
                           },
                           [this] {
                               if (onLogLine)
                                   onLogLine();
                           }};
    }
    void TearDown() override
    {
        setMessageHandler({});
        resetProgram();
    }

    WeatherState &weather() { return state; }
    Settings &settings() { return prog().settings; }
    QString field(HandBoxField f) const { return handBox.fieldText(f); }
    uint32_t back(HandBoxField f) const { return handBox.backColor(f); }

    // A connected board that answers every poll with `record`.
    void connectBoard(const QString &record)
    {
        port.isOpen = true;
        port.standingAnswer = FakeStationPort::Answer{PortResult::Ok, record};
    }
    // The last alert raised for a kind.
    bool lastAlert(AlertKind kind) const
    {
        for (auto it = alerts.rbegin(); it != alerts.rend(); ++it)
            if (it->first == kind)
                return it->second;
        ADD_FAILURE() << "no alert of that kind";
        return false;
    }
};

// The test record with one field replaced (1-based position).
inline QString withField(QString record, int pos, const QString &value)
{
    record.replace(pos - 1, value.size(), value);
    return record;
}
