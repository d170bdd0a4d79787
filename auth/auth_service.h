// Who may change what over HTTP. A state change passes when it carries a live
// session's CSRF token, or, until a password is set, when it comes from this
// machine (never through a proxy) with this run's loopback token. Alpaca PUTs
// stay open from this machine and, until a password is set, from anywhere the
// endpoint serves (as before); with a password, other clients send it with
// HTTP Basic. Reading stays open unless LoginToRead asks for a login too.
// Every login, logout and refusal is told to the event sink, never a secret.
// Thread-safe: the login's slow hash check runs beside the serving thread.
#pragma once

#include "auth/login_limiter.h"
#include "auth/monotonic_clock.h"
#include "auth/session_store.h"
#include "core/http_route.h"

#include <QByteArray>
#include <QMutex>
#include <atomic>
#include <functional>
#include <map>
#include <memory>
#include <optional>

inline constexpr char kSessionCookie[] = "tarnwick_session";
inline constexpr char kCsrfHeader[] = "X-CSRF-Token";

// Answers nothing when the request may go on, else the refusal to send.
using RequestGate = std::function<std::optional<HttpRouteReply>(const HttpRouteRequest &)>;

struct AuthOptions {
    QByteArray passwordHash;  // empty: no password set
    bool https = false;       // the endpoint serves TLS: the cookie is Secure
    bool loginToRead = false; // the page, /live and the other program routes need a login too
    SessionTimes sessions = {};
    LoginPolicy logins = {};
    MonotonicClock clock = steadyClock();
};

class AuthService : public std::enable_shared_from_this<AuthService> {
public:
    static std::shared_ptr<AuthService> make(AuthOptions options);

    bool passwordSet() const { return !passwordHash().isEmpty(); }
    QByteArray passwordHash() const;
    // A new password (empty: none) for a running program: every session and
    // remembered Basic password ends with the old one.
    void setPasswordHash(const QByteArray &hash);
    const AuthOptions &options() const { return m_options; }

    // For a route that changes state (the settings): nothing when allowed.
    std::optional<HttpRouteReply> checkChange(const HttpRouteRequest &request);
    // For every request on the endpoint, before its route or device.
    std::optional<HttpRouteReply> checkRequest(const HttpRouteRequest &request);
    RequestGate changeGate();
    RequestGate requestGate();

    // /login (GET: the form; POST: password, next), /logout, /tarnwick/v1/session.
    HttpRouteReply loginRoute(const HttpRouteRequest &request);
    HttpRouteReply logoutRoute(const HttpRouteRequest &request);
    HttpRouteReply sessionRoute(const HttpRouteRequest &request);

    void setEventSink(std::function<void(const QString &)> sink) { m_events = std::move(sink); }
    SessionStore &sessions() { return m_sessions; }
    LoginLimiter &limiter() { return m_limiter; }

private:
    explicit AuthService(AuthOptions options);

    void tell(const QString &event) const;
    std::optional<HttpRouteReply> refuse(const HttpRouteRequest &request, int status, const QString &why);
    // The CSRF token of the request's session, when it has a live one.
    std::optional<QByteArray> sessionCsrf(const HttpRouteRequest &request);
    QByteArray sentCsrf(const HttpRouteRequest &request) const;
    std::optional<HttpRouteReply> checkAlpacaChange(const HttpRouteRequest &request);
    std::optional<HttpRouteReply> checkRead(const HttpRouteRequest &request);
    // The Basic password, checked (and remembered for a while when right).
    enum class Basic { Absent, Right, Wrong, Waiting };
    Basic checkBasic(const HttpRouteRequest &request, qint64 &waitMs);
    HttpRouteReply finishLogin(bool matched, const HttpRouteRequest &request, const QByteArray &next);
    bool secureCookie(const HttpRouteRequest &request) const;
    QByteArray sessionCookie(const QByteArray &id, qint64 maxAgeSeconds, const HttpRouteRequest &request) const;

    const AuthOptions m_options; // its passwordHash is the one at start
    mutable QMutex m_hashLock;
    QByteArray m_passwordHash;
    SessionStore m_sessions;
    LoginLimiter m_limiter;
    // Given to this machine's callers while no password is set: a page
    // elsewhere cannot read it (same-origin rule, Host check).
    const QByteArray m_loopbackToken;
    std::atomic<bool> m_checkingPassword{false}; // one slow hash check at a time
    QMutex m_basicLock;
    std::map<QByteArray, qint64> m_basicGood; // digest of a right Basic password -> until when
    std::function<void(const QString &)> m_events;
};
