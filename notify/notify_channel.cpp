#include "notify/notify_channel.h"

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <deque>
#include <mutex>
#include <thread>

namespace {
using Clock = std::chrono::steady_clock;

struct Pending {
    NotifyEvent event;
    int attempt = 0;          // failed attempts so far
    Clock::time_point notBefore; // the next attempt's time
    bool inFlight = false;    // being transferred: it cannot be replaced
};

// The newer event stands for the older one it replaces and everything that
// one stood for.
void supersede(NotifyEvent &newer, const NotifyEvent &older)
{
    newer.heldBack += older.heldBack + 1;
    const QDateTime first = older.heldSince.isValid() ? older.heldSince : older.utc;
    if (!newer.heldSince.isValid() || first < newer.heldSince)
        newer.heldSince = first;
}
} // namespace

struct NotifyChannel::State {
    QString name;
    Transfer transfer;
    NotifyTiming timing;
    Report report;
    std::mutex mutex;
    std::condition_variable wake;    // the thread: work, or the end
    std::condition_variable settled; // the stopping side: an attempt ended, or the thread did
    std::deque<Pending> queue;
    bool stopping = false;
    bool done = false;
    bool failing = false; // the last attempt failed (told once, and so is the recovery)
    std::atomic<bool> aborting{false};
    std::atomic<int> attempts{0};
    std::atomic<int> delivered{0};
    std::thread thread;
};

NotifyChannel::NotifyChannel(QString name, Transfer transfer, NotifyTiming timing, Report report)
    : m_state(std::make_shared<State>())
{
    m_state->name = std::move(name);
    m_state->transfer = std::move(transfer);
    m_state->timing = timing;
    m_state->report = std::move(report);
    m_state->thread = std::thread([s = m_state] { run(s); });
}

NotifyChannel::~NotifyChannel()
{
    stopTaking();
    abort();
    leave(QDeadlineTimer(1100));
}

void NotifyChannel::post(NotifyEvent e)
{
    {
        std::lock_guard lock(m_state->mutex);
        if (m_state->stopping)
            return;
        std::deque<Pending> &q = m_state->queue;
        // Only while the receiver fails: a working one gets every event.
        if (m_state->failing && groupOf(e.kind) != NotifyGroup::Program) {
            for (auto it = q.begin(); it != q.end();) {
                if (!it->inFlight && groupOf(it->event.kind) == groupOf(e.kind)) {
                    supersede(e, it->event);
                    it = q.erase(it);
                } else {
                    ++it;
                }
            }
        }
        q.push_back({std::move(e)});
    }
    m_state->wake.notify_one();
}

void NotifyChannel::stopTaking()
{
    {
        std::lock_guard lock(m_state->mutex);
        m_state->stopping = true;
        std::erase_if(m_state->queue, [](const Pending &p) { return p.attempt > 0 && !p.inFlight; });
    }
    m_state->wake.notify_one();
}

void NotifyChannel::drain(const QDeadlineTimer &deadline)
{
    std::unique_lock lock(m_state->mutex);
    m_state->settled.wait_until(lock, deadline.deadline<Clock>(),
                                [&] { return m_state->queue.empty() || m_state->done; });
}

void NotifyChannel::abort()
{
    std::lock_guard lock(m_state->mutex);
    m_state->aborting = true;
    m_state->wake.notify_one();
}

void NotifyChannel::leave(const QDeadlineTimer &deadline)
{
    if (!m_state->thread.joinable())
        return;
    {
        std::unique_lock lock(m_state->mutex);
        if (!m_state->settled.wait_until(lock, deadline.deadline<Clock>(), [&] { return m_state->done; })) {
            m_state->thread.detach();
            return;
        }
    }
    m_state->thread.join();
}

int NotifyChannel::attempts() const
{
    return m_state->attempts.load();
}

int NotifyChannel::delivered() const
{
    return m_state->delivered.load();
}

void NotifyChannel::run(const std::shared_ptr<State> &s)
{
    std::unique_lock lock(s->mutex);
    while (!s->aborting) {
        if (s->queue.empty()) {
            s->wake.wait(lock, [&] { return s->aborting || !s->queue.empty(); });
            continue;
        }
        Pending &head = s->queue.front();
        if (Clock::now() < head.notBefore) {
            s->wake.wait_until(lock, head.notBefore);
            continue;
        }
        head.inFlight = true;
        const NotifyEvent event = head.event;
        lock.unlock();
        const QString error = s->transfer(event, s->aborting);
        lock.lock();
        // The head stays in front while in flight: nothing replaces or drops it.
        Pending &tried = s->queue.front();
        tried.inFlight = false;
        ++s->attempts;
        QString news;
        bool drop = true;
        if (error.isEmpty()) {
            ++s->delivered;
            if (s->failing)
                news = QStringLiteral("Notifications by %1 are delivered again.").arg(s->name);
            s->failing = false;
        } else {
            if (!s->failing)
                news = QStringLiteral("A notification by %1 could not be delivered (%2); it is tried again later.")
                           .arg(s->name, error);
            s->failing = true;
            drop = ++tried.attempt >= s->timing.attempts || s->stopping;
            const NotifyTiming &t = s->timing;
            const qint64 pause = std::min<qint64>(qint64(t.firstRetryMs) << std::min(tried.attempt - 1, 20), t.longestRetryMs);
            tried.notBefore = Clock::now() + std::chrono::milliseconds(pause);
        }
        if (drop)
            s->queue.pop_front();
        s->settled.notify_all();
        if (!news.isEmpty() && s->report && !s->aborting) {
            lock.unlock();
            s->report(news);
            lock.lock();
        }
    }
    s->done = true;
    s->settled.notify_all();
}
