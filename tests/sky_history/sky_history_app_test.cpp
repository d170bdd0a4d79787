// "history --nights", "calibrate-sky" and their routes on real archive files.
#include "night_archive.h"

#include "app/command_line.h"
#include "app/sky_history_commands.h"
#include "app/sky_history_routes.h"

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

const SiteLocation kSite = siteAt(45.0, 6.0);
const QDateTime kNow = QDateTime(QDate(2026, 12, 7), QTime(20, 0), Qt::UTC);

struct CommandRun {
    int status = -1;
    QString out, err;
};

Settings siteSettings()
{
    Settings s;
    s.Latitude = QStringLiteral("45.0");
    s.Longitude = QStringLiteral("6,0");
    return s;
}

template <typename Command>
CommandRun run(Command command)
{
    CommandRun r;
    QTextStream out(&r.out), err(&r.err);
    r.status = command(out, err);
    return r;
}

HttpRouteRequest get(const QByteArray &query)
{
    return {"GET", QStringLiteral("/x"), query, {}};
}

QJsonObject later(const HttpRouteReply &reply)
{
    EXPECT_TRUE(bool(reply.later));
    const HttpRouteReply done = reply.later ? reply.later() : reply;
    EXPECT_EQ(done.status, 200) << done.body.toStdString();
    return QJsonDocument::fromJson(done.body).object();
}

class SkyHistoryApp : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(archive.open(dir.path() + "/archive.sqlite"));
        writeSyntheticSky(archive, kSite, kNow, 80, [](double ta) { return 0.7 * ta - 21; }, 0.4);
        archive.flush();
    }
    QTemporaryDir dir;
    Archive archive;
};

} // namespace

TEST_F(SkyHistoryApp, NightsAsTableCsvAndJson)
{
    const QString path = archive.path();
    auto nights = [&](const QStringList &args) {
        return run([&](QTextStream &out, QTextStream &err) { return runNightsCommand(path, kSite, args, kNow, out, err); });
    };
    const CommandRun table = nights({"--nights", "--since", "4d"});
    ASSERT_EQ(table.status, 0) << table.err.toStdString();
    const QStringList lines = table.out.trimmed().split('\n');
    ASSERT_EQ(lines.size(), 5); // heading, three whole nights, tonight
    EXPECT_TRUE(lines[0].startsWith("night       dark h  clear dark h  safe h  rain min"));
    EXPECT_TRUE(lines[3].startsWith("2026-12-06")) << lines[3].toStdString();
    EXPECT_TRUE(lines[4].endsWith("(tonight so far)"));

    const CommandRun csv = nights({"--nights", "--since", "2026-12-01T11:00", "--csv"});
    ASSERT_EQ(csv.status, 0);
    EXPECT_TRUE(csv.out.startsWith("night,dark (h),clear dark (h),safe (h),rain (min),archived (h),complete\n2026-12-01,"))
        << csv.out.toStdString();

    const CommandRun json = nights({"--nights", "--json"});
    ASSERT_EQ(json.status, 0);
    const QJsonObject body = QJsonDocument::fromJson(json.out.toUtf8()).object();
    EXPECT_EQ(body["nights"].toArray().size(), 29); // since 30 days ago at 20:00: the noons of Nov 8 to Dec 6
    const QJsonObject last = body["lastNight"].toObject();
    EXPECT_EQ(last["date"], "2026-12-06");
    EXPECT_NEAR(last["clearDarkHours"].toDouble() / last["darkHours"].toDouble(), 0.6, 0.05);

    struct Bad {
        QStringList args;
        SiteLocation site;
        int status;
        const char *says;
    };
    for (const Bad &b : {Bad{{"--nights", "--since", "yesterday"}, kSite, 2, "--since"},
                         Bad{{"--nights", "--csv", "--json"}, kSite, 2, "cannot be used together"},
                         Bad{{"--nights", "--until", "now"}, kSite, 2, "does not know"},
                         Bad{{"--nights"}, SiteLocation{}, 1, "config set Latitude"}}) {
        const CommandRun r = run([&](QTextStream &out, QTextStream &err) { return runNightsCommand(path, b.site, b.args, kNow, out, err); });
        EXPECT_EQ(r.status, b.status) << b.args.join(' ').toStdString();
        EXPECT_TRUE(r.err.contains(b.says)) << r.err.toStdString();
        EXPECT_TRUE(r.out.isEmpty());
    }
}

TEST_F(SkyHistoryApp, CalibrateSkyPrintsTheProposalAndChangesNothing)
{
    const Settings settings = siteSettings();
    const CommandRun r = run([&](QTextStream &out, QTextStream &err) {
        return runCalibrateSkyCommand(archive.path(), settings, {"--nights", "80"}, kNow, out, err);
    });
    ASSERT_EQ(r.status, 0) << r.err.toStdString();
    EXPECT_TRUE(r.out.contains("ambient °C  clear sky °C  fitted °C")) << r.out.toStdString();
    EXPECT_TRUE(r.out.contains("  current   ")) << r.out.toStdString();
    EXPECT_TRUE(r.out.contains("tarnwick config set Sky/Corrected True\n"));
    EXPECT_TRUE(r.out.contains("tarnwick config set PartCloudyDegC "));
    const CommandRun bad = run([&](QTextStream &out, QTextStream &err) {
        return runCalibrateSkyCommand(archive.path(), settings, {"--nights", "0"}, kNow, out, err);
    });
    EXPECT_EQ(bad.status, 2);
}

TEST_F(SkyHistoryApp, RoutesAnswerOffTheServingThreadOrRefuseAtOnce)
{
    const QJsonObject nights = later(answerNights(get("days=20"), &archive, kSite, kNow));
    EXPECT_EQ(nights["nights"].toArray().size(), 20);
    EXPECT_EQ(nights["tonight"].toObject()["date"], "2026-12-07");
    EXPECT_EQ(later(answerNights(get(""), &archive, kSite, kNow))["nights"].toArray().size(), 365);

    const QJsonObject cal = later(answerSkyCalibration(get("nights=80"), &archive, siteSettings(), kNow));
    EXPECT_TRUE(cal["settingsLink"].toString().startsWith("/settings?Sky/Corrected=True&Sky/K1="));
    EXPECT_GE(cal["bins"].toArray().size(), 20);
    EXPECT_EQ(cal["curve"].toArray().size(), 51);

    Archive closed;
    struct Refusal {
        HttpRouteReply reply;
        int status;
    };
    HttpRouteRequest post = get("");
    post.method = "POST";
    for (const Refusal &r : {Refusal{answerNights(get("days=x"), &archive, kSite, kNow), 400},
                             Refusal{answerNights(get("weeks=2"), &archive, kSite, kNow), 400},
                             Refusal{answerNights(post, &archive, kSite, kNow), 405},
                             Refusal{answerNights(get(""), nullptr, kSite, kNow), 503},
                             Refusal{answerNights(get(""), &closed, kSite, kNow), 503},
                             Refusal{answerNights(get(""), &archive, SiteLocation{}, kNow), 503},
                             Refusal{answerSkyCalibration(get(""), &archive, Settings{}, kNow), 503}}) {
        EXPECT_EQ(r.reply.status, r.status) << r.reply.body.toStdString();
        EXPECT_FALSE(bool(r.reply.later));
    }
}

TEST(SkyHistoryCommandLine, CalibrateSkyIsASubcommandOfItsOwn)
{
    const CommandLine cl = parseCommandLine({"tarnwick", "--profile", "p.ini", "--archive", "a.sqlite", "calibrate-sky",
                                             "--nights", "30"});
    ASSERT_EQ(cl.outcome, CommandLine::Outcome::Run);
    EXPECT_TRUE(cl.isCalibrateSky);
    EXPECT_FALSE(cl.isHistory);
    EXPECT_EQ(cl.calibrateSkyArgs, QStringList({"--nights", "30"}));
    EXPECT_EQ(cl.profilePath, "p.ini");
}

// The program itself: the site from the profile, which calibrate-sky leaves as it was.
TEST_F(SkyHistoryApp, TheProgramReadsTheSiteFromTheProfileAndWritesNothing)
{
    const QString profile = dir.path() + "/profile.ini";
    auto tarnwick = [&](const QStringList &args) {
        QProcess p;
        p.start(QStringLiteral(TARNWICK_BINARY), QStringList{"--profile", profile, "--archive", archive.path()} + args);
        p.waitForFinished(60000);
        return std::pair{p.exitCode(), QString::fromUtf8(p.readAllStandardOutput() + p.readAllStandardError())};
    };
    EXPECT_EQ(tarnwick({"config", "set", "Latitude", "45"}).first, 0);
    EXPECT_EQ(tarnwick({"config", "set", "Longitude", "6"}).first, 0);
    QFile file(profile);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const QByteArray before = file.readAll();
    file.close();

    const auto [nightsStatus, nights] = tarnwick({"history", "--nights", "--since", "30d", "--csv"});
    EXPECT_EQ(nightsStatus, 0) << nights.toStdString();
    EXPECT_TRUE(nights.startsWith("night,dark (h),")) << nights.toStdString();
    const auto [calStatus, cal] = tarnwick({"calibrate-sky", "--nights", "80"});
    EXPECT_EQ(calStatus, 0) << cal.toStdString();
    EXPECT_TRUE(cal.contains("tarnwick config set Sky/K1 70\n")) << cal.toStdString(); // the baseline 0.7 Ta - 21
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    EXPECT_EQ(file.readAll(), before);
}
