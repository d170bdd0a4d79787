#include "notify/notifier.h"

#include "core/settings.h"

#include <algorithm>

NotifyChannels notifyChannels(const Settings &s)
{
    NotifyChannels c;
    c.webhookUrl = s.NotifyWebhookUrl.trimmed();
    c.pushUrl = s.NotifyPushUrl.trimmed();
    c.smtp = SmtpAccount{s.NotifySmtpUrl.trimmed(), s.NotifySmtpUser, s.NotifySmtpPassword, s.NotifySmtpStartTls};
    c.mailFrom = s.NotifyMailFrom.trimmed();
    c.caFile = s.NotifyCaFile.trimmed();
    for (const QString &to : s.NotifyMailTo.split(QLatin1Char(','), Qt::SkipEmptyParts))
        if (!to.trimmed().isEmpty())
            c.mailTo << to.trimmed();
    return c;
}

Notifier::Notifier(WatchFeed &feed, const Settings &settings, std::unique_ptr<NotifySender> sender, Clock clock,
                   QObject *parent)
    : QObject(parent), m_feed(feed), m_settings(settings), m_sender(std::move(sender)), m_clock(std::move(clock))
{
    if (!m_clock)
        m_clock = [] { return QDateTime::currentDateTimeUtc(); };
    m_board = feed.status().board.state;
    m_listening = feed.listen([this](const WatchStatus &status, WatchFeed::Change change) { onWatch(status, change); });
    // The timer and the sender go with this object to another thread.
    m_timer.setParent(this);
    if (m_sender)
        m_sender->setParent(this);
    connect(&m_timer, &QTimer::timeout, this, [this] { checkDue(); });
    m_timer.start(1000);
}

Notifier::~Notifier()
{
    m_feed.unlisten(m_listening);
    programStopping();
    m_sender->finish(3000);
}

void Notifier::raise(NotifyKind kind, const QString &summary, const QStringList &reasons)
{
    NotifyEvent e;
    e.kind = kind;
    e.utc = m_clock();
    e.summary = summary;
    e.reasons = reasons;
    const WatchStatus &status = m_feed.status();
    e.latest = status.lastLive;
    e.board = status.board.state;
    m_limit.setPeriodSeconds(qint64(m_settings.NotifyEveryMinutes) * 60);
    if (std::optional<NotifyEvent> now = m_limit.offer(std::move(e), m_clock()))
        m_sender->send(*now);
}

void Notifier::checkDue()
{
    const QDateTime now = m_clock();
    m_limit.setPeriodSeconds(qint64(m_settings.NotifyEveryMinutes) * 60);
    for (const NotifyEvent &e : m_limit.due(now))
        m_sender->send(e);
    if (m_uploadFailingSince.isValid() && !m_uploadFailNotified
        && m_uploadFailingSince.secsTo(now) >= uploadFailMinutes * 60) {
        m_uploadFailNotified = true;
        raise(NotifyKind::UploadFailing,
              QStringLiteral("Uploads failing for %1 min").arg(m_uploadFailingSince.secsTo(now) / 60),
              m_uploadReason.isEmpty() ? QStringList() : QStringList{m_uploadReason});
    }
}

// No verdict yet, the wait after the start, or a board not heard from since
// the start: the state the watch starts in is still being found, and finding
// it is no turn of the weather.
bool Notifier::startingUp(const WatchStatus &status)
{
    const SafetyVerdict &v = status.safety;
    const auto held = [&](const char *name) {
        return std::any_of(v.unsafe.begin(), v.unsafe.end(), [name](const UnsafeCondition &c) { return c.name == QLatin1String(name); });
    };
    return !v.known || held("startup") || (!status.lastLive && held("board"));
}

void Notifier::onWatch(const WatchStatus &status, WatchFeed::Change change)
{
    if (change == WatchFeed::Change::Board) {
        onBoard(status.board);
        return;
    }
    if (change != WatchFeed::Change::Safety || startingUp(status))
        return;
    const bool wasKnown = m_verdictKnown;
    const bool turned = wasKnown && status.safety.safe != m_safe;
    m_verdictKnown = true;
    m_safe = status.safety.safe;
    if (!turned)
        return;
    if (m_safe) {
        raise(NotifyKind::Safe, QStringLiteral("Safe"));
        return;
    }
    QStringList reasons;
    QStringList names;
    for (const UnsafeCondition &c : status.safety.unsafe) {
        reasons << c.text;
        names << c.name;
    }
    raise(NotifyKind::Unsafe, names.isEmpty() ? QStringLiteral("Unsafe") : QStringLiteral("Unsafe: ") + names.join(QStringLiteral(", ")),
          reasons);
}

void Notifier::onBoard(const BoardStatus &board)
{
    const BoardState before = m_board;
    m_board = board.state;
    if (before == board.state)
        return;
    const QString where = board.device.isEmpty() ? QString() : QStringLiteral(" on ") + board.device;
    const QStringList reason = board.reason.isEmpty() ? QStringList() : QStringList{board.reason};
    switch (board.state) {
    case BoardState::Lost:
        m_boardDown = true;
        raise(NotifyKind::BoardLost, QStringLiteral("Board lost") + where, reason);
        return;
    case BoardState::Silent:
        m_boardDown = true;
        raise(NotifyKind::BoardSilent, QStringLiteral("Board silent") + where, reason);
        return;
    case BoardState::Absent:
        m_boardDown = true;
        raise(NotifyKind::BoardLost, QStringLiteral("No board found") + where, reason);
        return;
    case BoardState::Live:
    case BoardState::Simulated:
        if (m_boardDown)
            raise(NotifyKind::BoardBack, QStringLiteral("Board back") + where);
        m_boardDown = false;
        return;
    case BoardState::Searching:
        return;
    }
}

void Notifier::programStarted()
{
    raise(NotifyKind::Started, QStringLiteral("Started"));
}

void Notifier::programStopping()
{
    if (m_stopSent)
        return;
    m_stopSent = true;
    raise(NotifyKind::Stopping, QStringLiteral("Stopping"));
}

void Notifier::uploadResult(bool ok, const QString &reason)
{
    if (!ok) {
        if (!m_uploadFailingSince.isValid())
            m_uploadFailingSince = m_clock();
        m_uploadReason = reason;
        return;
    }
    if (m_uploadFailNotified)
        raise(NotifyKind::UploadWorking, QStringLiteral("Uploads working again"));
    m_uploadFailingSince = QDateTime();
    m_uploadFailNotified = false;
}

void Notifier::archiveWriteFailed(const QString &reason)
{
    raise(NotifyKind::ArchiveFailing, QStringLiteral("Archive write failing"), {reason});
}

void Notifier::logWriteFailed(const QString &reason)
{
    raise(NotifyKind::LogFailing, QStringLiteral("Log write failing"), {reason});
}
