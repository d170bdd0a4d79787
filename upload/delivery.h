// What became of one report, and what a service does next: the reply is judged
// (accepted, credentials refused, rate limited, worth another try), failed
// reports wait a growing pause before the next try, refused credentials are
// tried again only hourly or after the settings change. No sockets here: the
// clock is handed in, so the pauses can be checked without waiting them out.
#pragma once

#include <QByteArray>
#include <QDateTime>
#include <QString>
#include <functional>

enum class Verdict {
    Accepted,           // the service took the record
    CredentialsRefused, // wrong station ID or key: hourly tries only
    RateLimited,        // too many requests: this record is dropped
    Retry,              // server fault or no answer: the record is tried again
    Rejected,           // refused for another reason: retrying would not help
};

struct Judgement {
    Verdict verdict = Verdict::Retry;
    QString detail; // for the error lines and the state
};

// How the exchange ended, as far as the judge needs to know.
enum class ExchangeEnd { Replied, TimedOut, Refused, Reset, CertificateRefused, Failed };

// An HTTP reply: the status line's code (0 when there is none) and the body.
struct HttpReply {
    int status = 0;
    QByteArray body;
};
HttpReply parseHttpReply(const QByteArray &raw);

// The personal-weather-station protocol answers "success" in its body;
// other services (custom templates, the wind map) count any 2xx as taken.
enum class ReplyStyle { PwsBody, StatusOnly };
Judgement judgeReply(const QByteArray &raw, ReplyStyle style);
Judgement judgeExchange(ExchangeEnd end, const QByteArray &raw, const QString &error, ReplyStyle style);

class DeliveryState {
public:
    static constexpr int kFirstPauseSeconds = 5;
    static constexpr int kLongestPauseSeconds = 300;
    static constexpr int kCredentialPauseSeconds = 3600;

    explicit DeliveryState(std::function<QDateTime()> clock);

    // False while a pause after a failure or refused credentials runs.
    bool mayTryNow() const;
    // Records the outcome of a try. A retryable one starts (or doubles) the pause.
    void note(const Judgement &j);
    // New credentials or address: refused credentials are worth a try at once.
    void settingsChanged();
    // Rows still to send from the backlog, shown in the state.
    void setBacklog(int rows) { m_backlog = rows; }

    Verdict last() const { return m_last; }
    bool hasTried() const { return m_tried; }
    QDateTime nextTry() const { return m_nextTry; }
    int pauseSeconds() const { return m_pause; }
    QDateTime lastAccepted() const { return m_lastAccepted; }
    // "sent 12:04:05", "credentials refused", "retrying in 40 s", "catching up 37 rows", ...
    QString stateText() const;

private:
    std::function<QDateTime()> m_clock;
    Verdict m_last = Verdict::Accepted;
    bool m_tried = false;
    int m_pause = 0;  // seconds of the current pause, 0 when none
    QDateTime m_nextTry;
    QDateTime m_lastAccepted;
    QString m_detail;
    int m_backlog = 0;
};
