#include "archive/archive_schema.h"

#include "archive/archived_observation.h"

#include <QDir>
#include <QFileInfo>
#include <QSqlError>
#include <QSqlQuery>
#include <QStandardPaths>
#include <QStringList>
#include <vector>

namespace {

const char *const kFlags[] = {"raining", "cloudy", "daylight", "windy"};

QString valueColumns(const QString &suffix, const QString &type)
{
    QStringList cols;
    for (const QuantityInfo &v : storedQuantities())
        cols << QString::fromLatin1(v.key) + suffix + QLatin1Char(' ') + type;
    return cols.join(QStringLiteral(", "));
}

// Whole numbers of hundredths keep a row near 60 bytes: a day of one-second
// observations stays well under 10 MB.
QString createObservations()
{
    return QStringLiteral("CREATE TABLE observations (t INTEGER PRIMARY KEY, %1, sky_class INTEGER, "
                          "raining INTEGER, cloudy INTEGER, daylight INTEGER, windy INTEGER, heater INTEGER, "
                          "relay INTEGER, board INTEGER, safe INTEGER, unsafe TEXT)")
        .arg(valueColumns(QString(), QStringLiteral("INTEGER")));
}

QString createMinutes()
{
    return QStringLiteral("CREATE TABLE minutes (t INTEGER PRIMARY KEY, n INTEGER, %1, %2, %3, raining REAL, "
                          "cloudy REAL, daylight REAL, windy REAL, safe REAL)")
        .arg(valueColumns(QStringLiteral("_mean"), QStringLiteral("REAL")),
             valueColumns(QStringLiteral("_min"), QStringLiteral("REAL")),
             valueColumns(QStringLiteral("_max"), QStringLiteral("REAL")));
}

// Steps that bring a database of version i to version i + 1.
std::vector<QStringList> migrations()
{
    return {
        {createObservations(), createMinutes()},
    };
}

bool exec(QSqlDatabase &db, const QString &sql, QString &error)
{
    QSqlQuery q(db);
    if (q.exec(sql))
        return true;
    error = q.lastError().text();
    return false;
}

int storedVersion(QSqlDatabase &db, QString &error)
{
    QSqlQuery q(db);
    if (!q.exec(QStringLiteral("SELECT name FROM sqlite_master WHERE type = 'table' AND name = 'schema_version'"))) {
        error = q.lastError().text();
        return -1;
    }
    if (!q.next())
        return 0;
    if (!q.exec(QStringLiteral("SELECT version FROM schema_version")) || !q.next()) {
        error = QStringLiteral("its schema version cannot be read");
        return -1;
    }
    return q.value(0).toInt();
}

bool migrate(QSqlDatabase &db, QString &error)
{
    int version = storedVersion(db, error);
    if (version < 0)
        return false;
    if (version > kArchiveSchemaVersion) {
        error = QStringLiteral("it was written by a newer program (schema %1, this program knows %2)")
                    .arg(version)
                    .arg(kArchiveSchemaVersion);
        return false;
    }
    const std::vector<QStringList> steps = migrations();
    while (version < kArchiveSchemaVersion) {
        if (!db.transaction()) {
            error = db.lastError().text();
            return false;
        }
        bool ok = version > 0 || exec(db, QStringLiteral("CREATE TABLE schema_version (version INTEGER NOT NULL)"), error);
        ok = ok && (version > 0 || exec(db, QStringLiteral("INSERT INTO schema_version VALUES (0)"), error));
        for (const QString &sql : steps[size_t(version)])
            ok = ok && exec(db, sql, error);
        ok = ok && exec(db, QStringLiteral("UPDATE schema_version SET version = %1").arg(version + 1), error);
        if (!ok || !db.commit()) {
            if (ok)
                error = db.lastError().text();
            db.rollback();
            return false;
        }
        ++version;
    }
    return true;
}

} // namespace

QJsonValue skyClassJson(const std::optional<SkyClass> &sky)
{
    return sky ? QJsonValue(skyClassName(*sky)) : QJsonValue();
}


QString defaultArchivePath()
{
    QString base = qEnvironmentVariable("XDG_DATA_HOME");
    if (base.isEmpty())
        base = QDir::homePath() + QStringLiteral("/.local/share");
    return base + QStringLiteral("/tarnwick/archive.sqlite");
}

QSqlDatabase openArchiveDatabase(const QString &path, const QString &connection, bool writable, QString &error)
{
    QSqlDatabase db;
    auto fail = [&](const QString &why) {
        error = why;
        db = QSqlDatabase();
        closeArchiveDatabase(connection);
        return QSqlDatabase();
    };
    if (!QSqlDatabase::isDriverAvailable(QStringLiteral("QSQLITE")))
        return fail(QStringLiteral("the Qt SQLite driver is not installed (Debian package libqt6sql6-sqlite)"));
    const QFileInfo info(path);
    if (writable) {
        if (!QDir().mkpath(info.absolutePath()))
            return fail(QStringLiteral("folder %1 cannot be made").arg(info.absolutePath()));
    } else if (!info.isFile()) {
        return fail(QStringLiteral("there is no archive at %1").arg(path));
    }
    db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), connection);
    db.setDatabaseName(path);
    db.setConnectOptions(writable ? QStringLiteral("QSQLITE_BUSY_TIMEOUT=2000")
                                  : QStringLiteral("QSQLITE_OPEN_READONLY;QSQLITE_BUSY_TIMEOUT=2000"));
    if (!db.open())
        return fail(db.lastError().text());
    QString why;
    if (writable) {
        // WAL lets "history" and the web page read while the watch writes; a
        // commit is consistent on disk without waiting for the platter.
        QString mode;
        {
            QSqlQuery q(db);
            if (!q.exec(QStringLiteral("PRAGMA journal_mode = WAL")) || !q.next())
                why = q.lastError().text();
            mode = q.value(0).toString();
        }
        if (!why.isEmpty())
            return fail(why);
        if (mode != QLatin1String("wal"))
            return fail(QStringLiteral("WAL mode is not available on this file system"));
        if (!exec(db, QStringLiteral("PRAGMA synchronous = NORMAL"), why) || !migrate(db, why))
            return fail(why);
    } else {
        const int version = storedVersion(db, why);
        if (version < 0)
            return fail(why);
        if (version != kArchiveSchemaVersion)
            return fail(version == 0 ? QStringLiteral("%1 holds no archive yet").arg(path)
                                     : QStringLiteral("%1 has schema %2; this program reads %3")
                                           .arg(path).arg(version).arg(kArchiveSchemaVersion));
    }
    return db;
}

void closeArchiveDatabase(const QString &connection)
{
    {
        QSqlDatabase db = QSqlDatabase::database(connection, false);
        if (db.isOpen())
            db.close();
    }
    if (QSqlDatabase::contains(connection))
        QSqlDatabase::removeDatabase(connection);
}

QString observationColumns()
{
    QStringList cols{QStringLiteral("t")};
    for (const QuantityInfo &v : storedQuantities())
        cols << QString::fromLatin1(v.key);
    cols << QStringLiteral("sky_class") << QStringLiteral("raining") << QStringLiteral("cloudy")
         << QStringLiteral("daylight") << QStringLiteral("windy") << QStringLiteral("heater")
         << QStringLiteral("relay") << QStringLiteral("board") << QStringLiteral("safe") << QStringLiteral("unsafe");
    return cols.join(QStringLiteral(", "));
}

QString summarizeMinutesSql()
{
    QStringList cols{QStringLiteral("t"), QStringLiteral("n")};
    QStringList exprs{QStringLiteral("(t / 60000) * 60"), QStringLiteral("count(*)")};
    for (const char *agg : {"mean", "min", "max"})
        for (const QuantityInfo &v : storedQuantities()) {
            const QString col = QString::fromLatin1(v.key);
            cols << col + QLatin1Char('_') + QLatin1String(agg);
            exprs << QStringLiteral("%1(%2) / %3.0")
                         .arg(QLatin1String(agg) == QLatin1String("mean") ? QStringLiteral("avg") : QLatin1String(agg))
                         .arg(col)
                         .arg(v.scale);
        }
    for (const char *flag : kFlags) {
        cols << QString::fromLatin1(flag);
        exprs << QStringLiteral("avg(%1)").arg(QLatin1String(flag));
    }
    cols << QStringLiteral("safe");
    exprs << QStringLiteral("avg(safe)");
    return QStringLiteral("INSERT OR REPLACE INTO minutes (%1) SELECT %2 FROM observations "
                          "WHERE t >= :from AND t < :to GROUP BY t / 60000")
        .arg(cols.join(QStringLiteral(", ")), exprs.join(QStringLiteral(", ")));
}

Observation toObservation(const ArchivedObservation &row)
{
    const auto v = [&row](ArchiveValue which) { return row.has(which) ? row.value(which) : 0.0; };
    Observation o;
    o.utc = row.utc;
    o.source = ObservationSource::Live;
    for (const QuantityInfo &q : storedQuantities())
        if (row.has(q.quantity))
            o.readings.set(q.quantity, row.value(q.quantity));
    o.readings.sky = row.sky;
    o.ambientC = v(ArchiveValue::Ambient);
    o.thermopileC = v(ArchiveValue::Thermopile);
    o.skyC = v(ArchiveValue::Sky);
    o.ambientMinusSkyC = v(ArchiveValue::AmbMinusSky);
    o.humidityPercent = v(ArchiveValue::Humidity);
    o.dewPointC = v(ArchiveValue::DewPoint);
    o.rainReading = int(v(ArchiveValue::Rain));
    o.rainMean = v(ArchiveValue::RainMean);
    o.skyBrightness = int(v(ArchiveValue::Brightness));
    o.windOn = row.has(ArchiveValue::Wind);
    o.windCurrent = v(ArchiveValue::Wind);
    o.windAverage = v(ArchiveValue::WindAverage);
    o.windGust = v(ArchiveValue::Gust);
    o.sky = row.sky.value_or(SkyClass::Clear);
    o.raining = row.raining;
    o.cloudy = row.cloudy;
    o.daylight = row.daylight;
    o.windy = row.windy;
    o.heater = row.heater;
    o.relay = row.relay;
    return o;
}
