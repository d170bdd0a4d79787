// "tarnwick history" on a real archive file, also while a writer holds a batch open.
#include "app/command_line.h"
#include "app/history_command.h"
#include "app/archive_setup.h"
#include "core/settings.h"
#include "temp_profile.h"
#include "archive/archive.h"
#include "archive/archive_query.h"
#include "archive/history_text.h"
#include "../archive/archive_fixture.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

struct HistoryRun {
    int status = -1;
    QString out, err;
};

HistoryRun history(const QString &path, const QStringList &args, const QDateTime &now)
{
    HistoryRun r;
    QTextStream out(&r.out), err(&r.err);
    r.status = runHistoryCommand(path, args, now, out, err);
    return r;
}

} // namespace

TEST(HistoryCommand, PrintsTheSpanAsCsvOrJsonBesideARunningWriter)
{
    QTemporaryDir dir;
    const QString path = dir.path() + "/archive.sqlite";
    const QDateTime t0 = utcAt("2026-12-07T20:00:00Z");
    Archive archive;
    archive.setRetentionDays(100000);
    archive.setBatchSeconds(1000000); // a writer in the middle of a transaction
    ASSERT_TRUE(archive.open(path));
    for (int s = 0; s < 180; ++s)
        archive.add(observationAt(t0.addSecs(s), s < 120 ? 10 : 20), simulatedBoard(), {});
    archive.flush();
    archive.add(observationAt(t0.addSecs(180), 99), simulatedBoard(), {}); // an open batch: not yet readable

    const QDateTime now = t0.addSecs(200);
    HistoryRun csv = history(path, {"--since", "2026-12-07T20:01", "--until", "2026-12-07T20:01:09"}, now);
    ASSERT_EQ(csv.status, 0) << csv.err.toStdString();
    QStringList lines = csv.out.trimmed().split('\n');
    ASSERT_EQ(lines.size(), 11);
    EXPECT_TRUE(lines[0].startsWith("time (UTC),ambient (°C),thermopile (°C),sky (°C)")) << lines[0].toStdString();
    EXPECT_TRUE(lines[0].contains("humidity (%)"));
    EXPECT_TRUE(lines[0].contains("wind (mph)"));
    EXPECT_TRUE(lines[1].startsWith("2026-12-07T20:01:00Z,10.00,11.00,-10.00,20.00,55.50,5.00,321,320.25,900,")) << lines[1].toStdString();
    EXPECT_TRUE(lines[1].endsWith(",partly cloudy,0,1,0,0,1,0,simulated,unknown,")) << lines[1].toStdString();

    // "6m" ago from 20:03:20 is 19:57:20: everything committed, not the open batch.
    HistoryRun json = history(path, {"--since", "6m", "--json"}, now);
    ASSERT_EQ(json.status, 0) << json.err.toStdString();
    const QJsonObject body = QJsonDocument::fromJson(json.out.toUtf8()).object();
    EXPECT_EQ(body["units"].toObject()["wind"], "mph");
    const QJsonArray rows = body["rows"].toArray();
    ASSERT_EQ(rows.size(), 180);
    EXPECT_EQ(rows[179].toObject()["ambient_c"].toDouble(), 20);
    EXPECT_EQ(rows[0].toObject()["time"].toString(), "2026-12-07T20:00:00Z");

    HistoryRun minutes = history(path, {"--since", "1h", "--minute"}, now);
    ASSERT_EQ(minutes.status, 0);
    lines = minutes.out.trimmed().split('\n');
    ASSERT_EQ(lines.size(), 3); // heading, 20:00 and 20:01; 20:02 is summarized when 20:03 begins
    EXPECT_TRUE(lines[0].contains("ambient mean (°C),ambient min (°C),ambient max (°C)"));
    EXPECT_TRUE(lines[2].startsWith("2026-12-07T20:01:00Z,60,60,10.00,10.00,10.00,")) << lines[2].toStdString();
}

// The command writes while it reads; its text must be byte for byte the text
// made from the rows: half hundredths, values about zero, missing readings,
// verdicts with names, milliseconds, and an empty span.
TEST(HistoryCommand, WritesTheTextOfTheRowsItReads)
{
    QTemporaryDir dir;
    const QString path = dir.path() + "/archive.sqlite";
    const QDateTime t0 = utcAt("2026-12-07T20:00:00Z");
    Archive archive;
    archive.setRetentionDays(100000);
    ASSERT_TRUE(archive.open(path));
    const double pairs[][2] = {{0.12, 0.13}, {-0.01, 0.0}, {-0.13, -0.12}, {2.5, 3.5}, {-7.25, 1e-3}};
    SafetyVerdict unsafe{true, false, {{"rain", "raining", t0}, {"clouds", "cloudy", t0}}, t0};
    for (int m = 0; m <= 6; ++m)
        for (int half = 0; half < 2; ++half) {
            Observation o = observationAt(t0.addMSecs(m * 60000 + half * 30500), pairs[m % 5][half]);
            o.readings.set(Quantity::Wind, pairs[m % 5][1 - half]);
            o.readings.set(Quantity::Rain, 320 + half);
            if (m == 2)
                clearHumidityReadings(o);
            if (m == 3)
                clearTemperatureReadings(o);
            archive.add(o, boardIn(m == 4 ? BoardState::Lost : BoardState::Live),
                        m == 1 ? unsafe : m == 2 ? SafetyVerdict{true, true, {}, t0} : SafetyVerdict{});
        }
    archive.flush();

    ArchiveReader reader;
    QString error;
    ASSERT_TRUE(reader.open(path, error)) << error.toStdString();
    for (const QDateTime &from : {t0.addSecs(-60), t0.addSecs(-7200)}) {
        const QDateTime to = from == t0.addSecs(-60) ? t0.addSecs(600) : t0.addSecs(-3600);
        const auto rows = queryObservations(reader.database(), from, to);
        const auto minutes = queryMinutes(reader.database(), from, to);
        const std::pair<QStringList, QByteArray> cases[] = {{{}, observationsCsv(rows)},
                                                            {{"--json"}, observationsJson(rows)},
                                                            {{"--minute"}, summariesCsv(minutes)},
                                                            {{"--minute", "--json"}, summariesJson(minutes)}};
        for (const auto &[args, expected] : cases) {
            const QStringList span{"--since", isoUtc(from), "--until", isoUtc(to)};
            const HistoryRun r = history(path, span + args, t0.addSecs(600));
            EXPECT_EQ(r.status, 0) << r.err.toStdString();
            EXPECT_EQ(r.out.toUtf8().toStdString(), expected.toStdString()) << (span + args).join(' ').toStdString();
        }
        if (from == t0.addSecs(-60))
            EXPECT_GE(minutes.size(), 5u);
    }
}

TEST(HistoryCommand, BadInputGetsAClearLine)
{
    QTemporaryDir dir;
    const QDateTime now = utcAt("2026-12-07T20:00:00Z");
    HistoryRun missing = history(dir.path() + "/none.sqlite", {}, now);
    EXPECT_EQ(missing.status, 1);
    EXPECT_TRUE(missing.err.contains("there is no archive at")) << missing.err.toStdString();
    for (const QStringList &bad : {QStringList{"--since", "yesterday"}, QStringList{"--since"},
                                   QStringList{"--csv", "--json"}, QStringList{"--frobnicate"},
                                   QStringList{"--since", "1h", "--until", "2h"}}) {
        HistoryRun r = history(dir.path() + "/none.sqlite", bad, now);
        EXPECT_EQ(r.status, 2) << bad.join(' ').toStdString();
        EXPECT_TRUE(r.err.startsWith("tarnwick: ")) << r.err.toStdString();
    }
}

TEST(HistoryCommand, TheCommandLineHandsOverItsOptions)
{
    const CommandLine cl = parseCommandLine({"tarnwick", "--archive", "/x/a.sqlite", "history", "--since", "6h", "--json"});
    ASSERT_EQ(cl.outcome, CommandLine::Outcome::Run);
    EXPECT_TRUE(cl.isHistory);
    EXPECT_EQ(cl.archivePath, "/x/a.sqlite");
    EXPECT_EQ(cl.historyArgs, QStringList({"--since", "6h", "--json"}));
    EXPECT_FALSE(parseCommandLine({"tarnwick", "--no-archive"}).archiveEnabled);
    EXPECT_EQ(parseCommandLine({"tarnwick", "--archive", "a", "--no-archive"}).outcome, CommandLine::Outcome::ExitUsage);
    EXPECT_EQ(parseCommandLine({"tarnwick", "--archive", ""}).outcome, CommandLine::Outcome::ExitUsage);
}

TEST(ArchiveSetup, ArchiveDaysDefaultsAndRefusesNonsense)
{
    TempProfile p;
    QString problem;
    EXPECT_EQ(archiveDaysSetting(*p.store, problem), 30); // profiles from before the setting
    EXPECT_TRUE(problem.isEmpty());
    p.store->writeValue(kDriverId, "ArchiveDays", "90");
    EXPECT_EQ(archiveDaysSetting(*p.store, problem), 90);
    for (const char *bad : {"0", "-3", "many"}) {
        p.store->writeValue(kDriverId, "ArchiveDays", bad);
        problem.clear();
        EXPECT_EQ(archiveDaysSetting(*p.store, problem), 30) << bad;
        EXPECT_TRUE(problem.contains("ArchiveDays")) << bad;
    }
}
