#include "archive/archive.h"

#include "archive/archive_query.h"
#include "archive/archive_schema.h"
#include "archive/archive_logging.h"

#include <QSqlDriver>
#include <QSqlError>
#include <QStringList>
#include <atomic>
#include <cmath>

Q_LOGGING_CATEGORY(lcArchive, "tarnwick.archive", QtInfoMsg)

namespace {

constexpr qint64 kPruneEveryMs = 3600 * 1000;

// Revisions are unique among all archives of the process, so an answer kept
// for one archive is never taken for another's (or a reopened one's).
std::atomic<quint64> g_minutesRevisions{0};

void bindScaled(SqliteStatement &s, int position, double v, int scale)
{
    if (std::isfinite(v))
        s.bindInt(position, std::llround(v * scale));
    else
        s.bindNull(position);
}

int skyCode(SkyClass sky)
{
    return sky == SkyClass::Overcast ? 2 : sky == SkyClass::PartlyCloudy ? 1 : 0;
}

} // namespace

Archive::Archive(Report report)
    : m_report(std::move(report)), m_connection(QStringLiteral("archive-writer-%1").arg(quintptr(this)))
{
}

Archive::~Archive()
{
    // The minute under way is summarized as far as it went; the next run
    // summarizes it again with the rest of its rows.
    if (m_db.isOpen() && m_minute >= 0 && beginBatch()) {
        summarizeMinutes(m_minute * 60000, (m_minute + 1) * 60000);
        if (m_hoursKept && !m_failing)
            m_hours.rollUp(m_minute * 60, m_minute * 60 + 60);
    }
    if (m_db.isOpen())
        flush();
    m_insert.finish();
    m_begin.finish();
    m_commit.finish();
    m_summarize = QSqlQuery();
    m_hours = HourRollup();
    m_db = QSqlDatabase();
    closeArchiveDatabase(m_connection);
}

bool Archive::open(const QString &path)
{
    m_path = path;
    QString error;
    m_db = openArchiveDatabase(path, m_connection, true, error);
    if (!m_db.isOpen()) {
        if (m_report)
            m_report(QStringLiteral("The weather archive %1 cannot be used (%2); the watch goes on without it.")
                         .arg(path, error));
        return false;
    }
    QStringList marks;
    for (int i = 0, n = observationColumns().count(QLatin1Char(',')) + 1; i < n; ++i)
        marks << QStringLiteral("?");
    const QString insert = QStringLiteral("INSERT OR REPLACE INTO observations (%1) VALUES (%2)")
                               .arg(observationColumns(), marks.join(QLatin1Char(',')));
    if (!m_insert.prepare(m_db, insert.toUtf8()) || !m_begin.prepare(m_db, "BEGIN") || !m_commit.prepare(m_db, "COMMIT")) {
        if (m_report)
            m_report(QStringLiteral("The weather archive %1 cannot be used (%2); the watch goes on without it.")
                         .arg(path, m_insert.error() + m_begin.error() + m_commit.error()));
        m_insert.finish();
        m_begin.finish();
        m_commit.finish();
        m_db.close();
        return false;
    }
    m_summarize = QSqlQuery(m_db);
    m_summarize.prepare(summarizeMinutesSql());

    // Minutes the last run had no time to summarize (it was killed, or
    // stopped mid-minute) are summarized from their rows.
    qint64 lastMinute = 0;
    {
        QSqlQuery last(m_db);
        if (last.exec(QStringLiteral("SELECT max(t) FROM minutes")) && last.next())
            lastMinute = last.value(0).toLongLong();
    }
    summarizeMinutes(lastMinute * 1000, std::numeric_limits<qint64>::max());
    QString hoursError;
    m_hoursKept = m_hours.open(m_db, hoursError);
    if (!m_hoursKept)
        qCDebug(lcArchive) << "no hour rows:" << hoursError;
    prune(QDateTime::currentDateTimeUtc());
    loadRecentMinutes();
    return true;
}

void Archive::onWatch(const WatchStatus &status, WatchFeed::Change change)
{
    if (change == WatchFeed::Change::Board) {
        flush();
        return;
    }
    if (change == WatchFeed::Change::Observation && status.latest)
        add(*status.latest, status.board, status.safety);
}

bool Archive::beginBatch()
{
    if (m_inBatch)
        return true;
    if (!m_begin.run()) {
        fail(QStringLiteral("begin"), m_begin.error());
        return false;
    }
    m_inBatch = true;
    m_batchAge.start();
    return true;
}

void Archive::add(const Observation &o, const BoardStatus &board, const SafetyVerdict &safety)
{
    if (!m_db.isOpen() || o.source != ObservationSource::Live || !deliversReadings(board.state) || !o.utc.isValid())
        return;
    const qint64 t = o.utc.toMSecsSinceEpoch();
    const qint64 minute = t / 60000;
    if (!beginBatch())
        return;
    if (m_minute >= 0 && minute != m_minute)
        summarizeMinute(m_minute);
    m_minute = minute;

    const ArchivedObservation r = archivedFrom(o, board.state, safety);
    int c = 1;
    m_insert.bindInt(c++, t);
    for (int i = 0; i < kArchiveValueCount; ++i)
        bindScaled(m_insert, c++, r.values[size_t(i)], archiveValueInfo(archiveValueAt(i)).scale);
    if (r.sky)
        m_insert.bindInt(c++, skyCode(*r.sky));
    else
        m_insert.bindNull(c++);
    m_insert.bindInt(c++, int(r.raining));
    m_insert.bindInt(c++, int(r.cloudy));
    m_insert.bindInt(c++, int(r.daylight));
    m_insert.bindInt(c++, int(r.windy));
    m_insert.bindInt(c++, r.heater);
    m_insert.bindInt(c++, r.relay);
    m_insert.bindInt(c++, boardStateCode(r.board));
    if (r.safe)
        m_insert.bindInt(c++, int(*r.safe));
    else
        m_insert.bindNull(c++);
    if (r.unsafe.isEmpty())
        m_insert.bindNull(c++);
    else
        m_insert.bindText(c++, r.unsafe.join(QLatin1Char(',')));
    if (!m_insert.run()) {
        fail(QStringLiteral("insert"), m_insert.error());
        return;
    }
    if (m_batchAge.elapsed() >= qint64(m_batchSeconds) * 1000)
        flush();
    if (!m_sincePrune.isValid() || m_sincePrune.elapsed() >= kPruneEveryMs)
        prune(QDateTime::currentDateTimeUtc());
}

void Archive::touchMinutes()
{
    m_minutesRevision = ++g_minutesRevisions;
}

void Archive::summarizeMinutes(qint64 fromMs, qint64 toMs)
{
    touchMinutes();
    m_summarize.bindValue(QStringLiteral(":from"), fromMs);
    m_summarize.bindValue(QStringLiteral(":to"), toMs);
    if (!m_summarize.exec())
        fail(QStringLiteral("summary"), m_summarize.lastError().text());
}

// A finished minute: summarized, and its row as written kept in memory too.
void Archive::summarizeMinute(qint64 minute)
{
    summarizeMinutes(minute * 60000, (minute + 1) * 60000);
    // Its hour again; and a day of the hours of an older file's minutes, while there are any.
    const qint64 minuteCutoff = QDateTime::currentSecsSinceEpoch() - qint64(m_minuteRetentionDays) * 86400;
    if (m_hoursKept && !m_failing
        && !(m_hours.rollUp(minute * 60, minute * 60 + 60) && m_hours.rollUpOlderDay()
             && (m_minuteRetentionDays < 1 || m_hours.pruneMinutes(minuteCutoff))))
        fail(QStringLiteral("hour summary"), m_hours.error());
    if (m_failing)
        return;
    const QDateTime start = QDateTime::fromMSecsSinceEpoch(minute * 60000, Qt::UTC);
    for (const ArchiveSummary &row : queryMinutes(m_db, start, start))
        m_recent.put(row);
}

// Once at start (and after write trouble): the recent minute rows from the file.
void Archive::loadRecentMinutes()
{
    touchMinutes();
    QSqlQuery last(m_db);
    if (!last.exec(QStringLiteral("SELECT max(t) FROM minutes")) || !last.next()) {
        m_recent.clear();
        return;
    }
    if (last.value(0).isNull()) {
        m_recent.load({}, std::numeric_limits<qint64>::min());
        return;
    }
    const qint64 latest = last.value(0).toLongLong();
    const qint64 from = latest - RecentMinutes::kKeptSeconds;
    m_recent.load(queryMinutes(m_db, QDateTime::fromSecsSinceEpoch(from, Qt::UTC), QDateTime::fromSecsSinceEpoch(latest, Qt::UTC)),
                  from);
}

void Archive::moveToThread(QThread *thread)
{
    if (QSqlDriver *driver = m_db.driver())
        driver->moveToThread(thread);
}

void Archive::flush()
{
    if (!m_inBatch)
        return;
    m_inBatch = false;
    if (!m_commit.run()) {
        fail(QStringLiteral("commit"), m_commit.error());
        return;
    }
    recovered();
}

void Archive::prune(const QDateTime &nowUtc)
{
    m_sincePrune.start();
    if (!m_db.isOpen() || m_retentionDays < 1)
        return;
    QSqlQuery q(m_db);
    q.prepare(QStringLiteral("DELETE FROM observations WHERE t < ?"));
    q.addBindValue(nowUtc.addDays(-m_retentionDays).toMSecsSinceEpoch());
    if (!q.exec())
        fail(QStringLiteral("prune"), q.lastError().text());
    if (m_hoursKept && m_minuteRetentionDays > 0 && !m_hours.pruneMinutes(nowUtc.addDays(-m_minuteRetentionDays).toSecsSinceEpoch()))
        fail(QStringLiteral("prune"), m_hours.error());
}

// The batch is dropped; later batches try again. One report per spell of
// trouble: a full disk would otherwise say so every few seconds.
void Archive::fail(const QString &what, const QString &why)
{
    // What the file holds is no longer known here; read it again once written.
    m_recent.clear();
    touchMinutes();
    if (m_inBatch) {
        m_db.rollback();
        m_inBatch = false;
    }
    if (m_failing)
        return;
    m_failing = true;
    qCDebug(lcArchive) << "writing fails:" << what << why;
    if (m_report)
        m_report(QStringLiteral("The weather archive %1 cannot be written (%2: %3); the watch goes on, "
                                "and the archive tries again with the next readings.")
                     .arg(m_path, what, why));
    if (m_writeFailed)
        m_writeFailed(QStringLiteral("%1: %2 failed (%3)").arg(m_path, what, why));
}

void Archive::recovered()
{
    if (!m_failing)
        return;
    m_failing = false;
    loadRecentMinutes();
    if (m_report)
        m_report(QStringLiteral("The weather archive %1 is written again.").arg(m_path));
}

std::vector<ArchivedObservation> Archive::observationsBetween(const QDateTime &fromUtc, const QDateTime &toUtc) const
{
    return m_db.isOpen() ? queryObservations(m_db, fromUtc, toUtc) : std::vector<ArchivedObservation>{};
}

std::vector<ArchiveSummary> Archive::minutesBetween(const QDateTime &fromUtc, const QDateTime &toUtc) const
{
    std::vector<ArchiveSummary> read;
    const std::span<const ArchiveSummary> rows = minutesView(fromUtc, toUtc, read);
    return read.empty() ? std::vector<ArchiveSummary>(rows.begin(), rows.end()) : read;
}

std::span<const ArchiveSummary> Archive::minutesView(const QDateTime &fromUtc, const QDateTime &toUtc,
                                                     std::vector<ArchiveSummary> &read) const
{
    if (!m_db.isOpen())
        return {};
    if (m_recent.covers(fromUtc))
        return m_recent.between(fromUtc, toUtc);
    read = queryMinutes(m_db, fromUtc, toUtc);
    return read;
}

std::vector<ArchiveSummary> Archive::summarize(const QDateTime &fromUtc, const QDateTime &toUtc, int stepSeconds) const
{
    return m_db.isOpen() ? querySummaries(m_db, fromUtc, toUtc, stepSeconds) : std::vector<ArchiveSummary>{};
}
