#include "app/sky_history_commands.h"

#include "archive/archive_query.h"
#include "archive/history_text.h"
#include "core/profile_store.h"
#include "sky_history/calibration_text.h"
#include "sky_history/night_text.h"

#include <QJsonDocument>

namespace {

int usage(QTextStream &err, const QString &why)
{
    err << "tarnwick: " << why << " (see tarnwick --help)\n";
    return 2;
}

bool openReader(ArchiveReader &reader, const QString &path, QTextStream &err)
{
    QString error;
    if (reader.open(path, error))
        return true;
    err << "tarnwick: the archive cannot be read: " << error << "\n";
    return false;
}

bool siteUsable(const SiteLocation &site, QTextStream &err)
{
    if (site.known)
        return true;
    err << "tarnwick: nights need the site: "
        << (site.problem.isEmpty() ? QStringLiteral("set Latitude and Longitude (tarnwick config set Latitude 52.2)")
                                   : site.problem)
        << "\n";
    return false;
}

} // namespace

Settings storedSettings(const QString &profilePath)
{
    const ProfileStore profile(profilePath);
    Settings settings;
    loadSettings(profile, settings);
    return settings;
}

int runNightsCommand(const QString &archivePath, const SiteLocation &site, const QStringList &args,
                     const QDateTime &nowUtc, QTextStream &out, QTextStream &err)
{
    QString since = QStringLiteral("30d"), path = archivePath;
    bool json = false, csv = false;
    for (int i = 0; i < args.size(); ++i) {
        const QString &a = args[i];
        if (a == QLatin1String("--nights"))
            continue;
        if ((a == QLatin1String("--since") || a == QLatin1String("--archive")) && i + 1 >= args.size())
            return usage(err, QStringLiteral("%1 needs a value").arg(a));
        if (a == QLatin1String("--since"))
            since = args[++i];
        else if (a == QLatin1String("--archive"))
            path = args[++i];
        else if (a == QLatin1String("--json"))
            json = true;
        else if (a == QLatin1String("--csv"))
            csv = true;
        else
            return usage(err, QStringLiteral("history --nights does not know \"%1\"").arg(a));
    }
    if (json && csv)
        return usage(err, QStringLiteral("--csv and --json cannot be used together"));
    const std::optional<QDateTime> from = parseHistoryTime(since, nowUtc);
    if (!from)
        return usage(err, QStringLiteral("--since \"%1\" is not 2d, 30d or an ISO time such as 2026-11-01T12:00").arg(since));
    if (!siteUsable(site, err))
        return 1;
    ArchiveReader reader;
    if (!openReader(reader, path, err))
        return 1;
    const NightsReport report = queryNightsSince(reader.database(), site, *from, nowUtc, kMaxNights);
    out << QString::fromUtf8(json  ? QJsonDocument(nightsJson(report)).toJson(QJsonDocument::Indented)
                             : csv ? nightsCsv(report)
                                   : nightsTable(report));
    out.flush();
    return 0;
}

int runCalibrateSkyCommand(const QString &archivePath, const Settings &settings, const QStringList &args,
                           const QDateTime &nowUtc, QTextStream &out, QTextStream &err)
{
    QString path = archivePath;
    int nights = 60;
    for (int i = 0; i < args.size(); ++i) {
        const QString &a = args[i];
        if ((a == QLatin1String("--nights") || a == QLatin1String("--archive")) && i + 1 >= args.size())
            return usage(err, QStringLiteral("%1 needs a value").arg(a));
        if (a == QLatin1String("--nights")) {
            bool ok = false;
            nights = args[++i].toInt(&ok);
            if (!ok || nights < 1 || nights > kMaxNights)
                return usage(err, QStringLiteral("--nights \"%1\" is not a number of nights from 1 to %2")
                                      .arg(args[i]).arg(kMaxNights));
        } else if (a == QLatin1String("--archive")) {
            path = args[++i];
        } else {
            return usage(err, QStringLiteral("calibrate-sky does not know \"%1\"").arg(a));
        }
    }
    const SiteLocation site = siteLocation(settings);
    if (!siteUsable(site, err))
        return 1;
    ArchiveReader reader;
    if (!openReader(reader, path, err))
        return 1;
    const SkyCalibration c = calibrateFrom(darkSkyMinutes(reader.database(), site, nowUtc, nights),
                                           skySettingsOf(settings), nights);
    out << QString::fromUtf8(calibrationText(c));
    out.flush();
    return c.problem.isEmpty() ? 0 : 1;
}
