// The request gate on the real endpoint: which state changes pass (session
// and CSRF token, or this machine with its token until a password is set),
// Alpaca PUTs, the login-to-read option and the session answer.
#include "auth_fixture.h"

#include "auth/secrets.h"

namespace {

enum class Session { None, Live, Planted };
enum class Token { None, Right, Wrong, LoopbackOfAnotherRun };
enum class From { NoOrigin, SameOrigin, OtherOrigin, NullOrigin, OtherReferer, ThroughProxy };

struct ChangeCase {
    const char *name;
    bool passwordSet;
    Session session;
    Token token;
    From from;
    bool tokenInForm;
    int status;
};

const ChangeCase kChangeCases[] = {
    {"this machine with its token", false, Session::None, Token::Right, From::NoOrigin, false, 200},
    {"this machine, own origin", false, Session::None, Token::Right, From::SameOrigin, false, 200},
    {"this machine, token in the form", false, Session::None, Token::Right, From::SameOrigin, true, 200},
    {"this machine, another site's page", false, Session::None, Token::Right, From::OtherOrigin, false, 403},
    {"this machine, opaque origin", false, Session::None, Token::Right, From::NullOrigin, false, 403},
    {"this machine, another site's referer", false, Session::None, Token::Right, From::OtherReferer, false, 403},
    {"this machine without a token", false, Session::None, Token::None, From::SameOrigin, false, 403},
    {"this machine, wrong token", false, Session::None, Token::Wrong, From::SameOrigin, false, 403},
    {"this machine, another run's token", false, Session::None, Token::LoopbackOfAnotherRun, From::SameOrigin, false, 403},
    {"through a proxy before a password", false, Session::None, Token::Right, From::ThroughProxy, false, 403},
    {"password set, no login", true, Session::None, Token::Wrong, From::SameOrigin, false, 401},
    {"password set, planted cookie", true, Session::Planted, Token::Wrong, From::SameOrigin, false, 401},
    {"logged in with the token", true, Session::Live, Token::Right, From::SameOrigin, false, 200},
    {"logged in, token in the form", true, Session::Live, Token::Right, From::NoOrigin, true, 200},
    {"logged in, through the proxy", true, Session::Live, Token::Right, From::ThroughProxy, false, 200},
    {"logged in without the token", true, Session::Live, Token::None, From::SameOrigin, false, 403},
    {"logged in, wrong token", true, Session::Live, Token::Wrong, From::SameOrigin, false, 403},
    {"logged in, another site's page", true, Session::Live, Token::Right, From::OtherOrigin, false, 403},
};

TEST(AuthGate, StateChangesPassOnlyWithTheirCredentials)
{
    for (const ChangeCase &c : kChangeCases) {
        SCOPED_TRACE(c.name);
        AuthServer s(c.passwordSet);
        QList<Header> headers;
        QByteArray token;
        if (c.session == Session::Live) {
            const auto [cookie, csrf] = s.loggedIn();
            headers << cookie;
            token = csrf;
        } else {
            if (c.session == Session::Planted)
                headers << Header{"Cookie", QByteArray(kSessionCookie) + '=' + randomToken()};
            token = s.send("GET", "/tarnwick/v1/session").json()["csrf"].toString().toLatin1();
            EXPECT_EQ(token.isEmpty(), c.passwordSet);
        }
        if (c.token == Token::Wrong)
            token = randomToken();
        if (c.token == Token::LoopbackOfAnotherRun)
            token = AuthServer(false).send("GET", "/tarnwick/v1/session").json()["csrf"].toString().toLatin1();
        switch (c.from) {
        case From::SameOrigin: headers << Header{"Origin", "http://" + s.host()}; break;
        case From::OtherOrigin: headers << Header{"Origin", "http://evil.example"}; break;
        case From::NullOrigin: headers << Header{"Origin", "null"}; break;
        case From::OtherReferer: headers << Header{"Referer", "http://127.0.0.1:1/attack.html"}; break;
        case From::ThroughProxy: headers << Header{"X-Forwarded-For", "203.0.113.7"}; break;
        case From::NoOrigin: break;
        }
        QByteArray body = "value=1";
        if (c.tokenInForm && c.token != Token::None)
            body += "&csrf=" + token;
        else if (c.token != Token::None)
            headers << Header{kCsrfHeader, token};
        headers << Header{"Content-Type", "application/x-www-form-urlencoded"};
        const HttpAnswer answer = s.send("POST", "/tarnwick/v1/change", headers, body);
        EXPECT_EQ(answer.status, c.status) << answer.body.constData();
        EXPECT_EQ(s.changes, c.status == 200 ? 1 : 0);
        if (c.status != 200) {
            EXPECT_TRUE(s.eventText().contains("refused POST /tarnwick/v1/change from")) << qPrintable(s.eventText());
        }
    }
}

TEST(AuthGate, AForeignHostChangesNothing)
{
    AuthServer s(false);
    const QByteArray token = s.send("GET", "/tarnwick/v1/session").json()["csrf"].toString().toLatin1();
    const HttpAnswer answer = s.send("POST", "/tarnwick/v1/change",
                                     {{"Host", "attacker.example"}, {kCsrfHeader, token}, {"Content-Type", "text/plain"}},
                                     "x", false);
    EXPECT_EQ(answer.status, 403);
    EXPECT_EQ(s.changes, 0);
    EXPECT_EQ(s.send("GET", "/tarnwick/v1/session", {{"Host", "attacker.example"}}, {}, false).status, 403);
}

struct AlpacaCase {
    const char *name;
    bool passwordSet;
    QList<Header> headers;
    int status;
};

TEST(AuthGate, AlpacaPutsFromElsewhereNeedThePasswordOnceOneIsSet)
{
    const Header proxied{"X-Forwarded-For", "192.0.2.4"};
    const auto basic = [](const QByteArray &password) {
        return Header{"Authorization", "Basic " + ("nina:" + password).toBase64()};
    };
    const AlpacaCase cases[] = {
        {"this machine, no password", false, {}, 200},
        {"elsewhere, no password (as before)", false, {proxied}, 200},
        {"this machine, password set", true, {}, 200},
        {"elsewhere without Basic", true, {proxied}, 401},
        {"elsewhere, wrong Basic", true, {proxied, basic("guess")}, 401},
        {"elsewhere, malformed Basic", true, {proxied, {"Authorization", "Basic %%%"}}, 401},
        {"elsewhere, right Basic", true, {proxied, basic(kPassword)}, 200},
    };
    for (const AlpacaCase &c : cases) {
        SCOPED_TRACE(c.name);
        AuthServer s(c.passwordSet);
        const HttpAnswer answer = s.connectMonitor(c.headers);
        EXPECT_EQ(answer.status, c.status) << answer.body.constData();
        EXPECT_EQ(s.monitorConnected(), c.status == 200);
        if (c.status == 401) {
            EXPECT_TRUE(AuthServer::headerOf(answer, "WWW-Authenticate").startsWith("Basic"));
        }
    }
}

TEST(AuthGate, LoginToReadSendsOthersToTheLoginButKeepsThisMachineAndAlpacaReading)
{
    AuthServer s(true, true);
    const Header proxied{"X-Forwarded-For", "192.0.2.4"};
    EXPECT_EQ(s.send("GET", "/").status, 200);
    const HttpAnswer toLogin = s.send("GET", "/", {proxied});
    EXPECT_EQ(toLogin.status, 303);
    EXPECT_EQ(AuthServer::headerOf(toLogin, "Location"), "/login?next=%2F");
    EXPECT_EQ(s.send("GET", "/tarnwick/v1/live", {proxied}).status, 401);
    EXPECT_EQ(s.send("GET", "/login", {proxied}).status, 200);
    EXPECT_EQ(s.send("GET", "/api/v1/safetymonitor/0/issafe", {proxied}).status, 200);
    const Header basic{"Authorization", "Basic " + (":" + kPassword).toBase64()};
    EXPECT_NE(s.send("GET", "/tarnwick/v1/live", {proxied, basic}).status, 401);
    const auto [cookie, csrf] = s.loggedIn();
    EXPECT_EQ(s.send("GET", "/", {proxied, cookie}).status, 200);
    EXPECT_FALSE(s.eventText().contains(QString::fromLatin1(kPassword)));
}

TEST(AuthGate, TheSessionAnswerGivesATokenOnlyToWhoMayChange)
{
    AuthServer open(false);
    QJsonObject here = open.send("GET", "/tarnwick/v1/session").json();
    EXPECT_TRUE(here["loopback"].toBool());
    EXPECT_FALSE(here["passwordSet"].toBool());
    EXPECT_EQ(here["csrf"].toString().size(), 43);
    QJsonObject proxied = open.send("GET", "/tarnwick/v1/session", {{"Forwarded", "for=192.0.2.4"}}).json();
    EXPECT_FALSE(proxied["loopback"].toBool());
    EXPECT_FALSE(proxied.contains("csrf"));

    AuthServer locked(true);
    here = locked.send("GET", "/tarnwick/v1/session").json();
    EXPECT_TRUE(here["passwordSet"].toBool());
    EXPECT_FALSE(here["loggedIn"].toBool());
    EXPECT_FALSE(here.contains("csrf"));
    const auto [cookie, csrf] = locked.loggedIn();
    here = locked.send("GET", "/tarnwick/v1/session", {cookie}).json();
    EXPECT_TRUE(here["loggedIn"].toBool());
    EXPECT_EQ(here["csrf"].toString().toLatin1(), csrf);
    EXPECT_EQ(locked.send("POST", "/tarnwick/v1/session", {cookie}).status, 405);
}

} // namespace
