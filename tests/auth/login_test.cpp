// Logins against the real endpoint: the growing delay after wrong passwords,
// sessions that never take a client's ID and that end, malformed forms, and
// no password or hash in any answer or log line.
#include "auth_fixture.h"

#include "auth/secrets.h"

namespace {

constexpr qint64 kMinute = 60 * 1000;

bool sessionLive(AuthServer &s, const QByteArray &id)
{
    return s.send("GET", "/tarnwick/v1/session", {{"Cookie", QByteArray(kSessionCookie) + '=' + id}})
        .json()["loggedIn"]
        .toBool();
}

// Neither the password nor any part of its hash was ever sent or logged.
void expectNoSecrets(AuthServer &s)
{
    const QByteArray hash = testPasswordHash();
    const QByteArray salt = hash.split('$').value(4), digest = hash.split('$').value(5);
    for (const QByteArray &secret : {kPassword, kPassword.toPercentEncoding(), hash, salt, digest}) {
        ASSERT_FALSE(secret.isEmpty());
        EXPECT_FALSE(s.answers.contains(secret)) << secret.constData();
        EXPECT_FALSE(s.eventText().toUtf8().contains(secret)) << secret.constData();
    }
}

TEST(Login, AHundredWrongPasswordsMakeTheWaitGrowAndTheRightOneStillWorks)
{
    AuthServer s(true);
    QList<qint64> waits;
    for (int i = 0; i < 100; ++i) {
        HttpAnswer answer = s.login("guess-" + QByteArray::number(i));
        if (answer.status == 429) {
            // Too early: nothing is checked until the wait is over.
            const qint64 wait = AuthServer::headerOf(answer, "Retry-After").toLongLong();
            ASSERT_GT(wait, 0);
            waits << wait;
            s.nowMs += wait * 1000;
            answer = s.login("guess-" + QByteArray::number(i));
        }
        ASSERT_EQ(answer.status, 401) << i;
        EXPECT_TRUE(AuthServer::cookieOf(answer).isEmpty());
    }
    // The first four failures are free; the 100th one's wait is the right password's.
    ASSERT_EQ(waits.size(), 95);
    EXPECT_EQ(waits.first(), 1);
    EXPECT_EQ(waits.mid(0, 10), (QList<qint64>{1, 2, 4, 8, 16, 32, 64, 128, 256, 300}));
    EXPECT_EQ(waits.last(), 300); // the cap
    EXPECT_EQ(s.auth->limiter().failuresOf("127.0.0.1"), 100);

    // Another client is not held up by this one.
    EXPECT_EQ(s.login(kPassword, {{"X-Forwarded-For", "198.51.100.20"}}).status, 303);
    // The right password waits its turn, then works and clears the count.
    const HttpAnswer early = s.login(kPassword);
    EXPECT_EQ(early.status, 429);
    s.nowMs += AuthServer::headerOf(early, "Retry-After").toLongLong() * 1000;
    const HttpAnswer right = s.login(kPassword);
    EXPECT_EQ(right.status, 303);
    EXPECT_EQ(AuthServer::headerOf(right, "Location"), "/settings");
    EXPECT_TRUE(sessionLive(s, AuthServer::cookieOf(right)));
    EXPECT_EQ(s.auth->limiter().failuresOf("127.0.0.1"), 0);
    const QString log = s.eventText();
    EXPECT_TRUE(log.contains("login failed from 127.0.0.1 (100 in a row, next try in 300 s)")) << qPrintable(log);
    EXPECT_TRUE(log.contains("login from 198.51.100.20 via 127.0.0.1"));
    EXPECT_TRUE(log.contains("refused POST /login from 127.0.0.1: login tried again too soon"));
    expectNoSecrets(s);
}

TEST(Login, TheCookieIsStrictHttpOnlyAndSecureOnlyOverHttps)
{
    AuthServer s(true);
    const QByteArray plain = AuthServer::headerOf(s.login(kPassword), "Set-Cookie");
    for (const char *part : {"; Path=/", "; HttpOnly", "; SameSite=Strict", "; Max-Age=43200"})
        EXPECT_TRUE(plain.contains(part)) << part;
    EXPECT_FALSE(plain.contains("Secure"));
    const QByteArray behindTls =
        AuthServer::headerOf(s.login(kPassword, {{"X-Forwarded-Proto", "https"}, {"X-Forwarded-For", "192.0.2.1"}}),
                             "Set-Cookie");
    EXPECT_TRUE(behindTls.endsWith("; Secure"));
}

TEST(Login, APlantedSessionIsNeverPromotedAndALoginEndsTheOldOne)
{
    AuthServer s(true);
    const QByteArray planted = "attacker-chosen-session-id";
    const HttpAnswer answer = s.login(kPassword, {{"Cookie", QByteArray(kSessionCookie) + '=' + planted}});
    ASSERT_EQ(answer.status, 303);
    const QByteArray given = AuthServer::cookieOf(answer);
    EXPECT_NE(given, planted);
    EXPECT_EQ(given.size(), 43);
    EXPECT_FALSE(sessionLive(s, planted));
    EXPECT_TRUE(sessionLive(s, given));

    const HttpAnswer again = s.login(kPassword, {{"Cookie", QByteArray(kSessionCookie) + '=' + given}});
    EXPECT_FALSE(sessionLive(s, given));
    EXPECT_TRUE(sessionLive(s, AuthServer::cookieOf(again)));
}

TEST(Login, SessionsEndWhenIdleAndAfterTheirLifetime)
{
    AuthServer s(true);
    const QByteArray idle = AuthServer::cookieOf(s.login(kPassword));
    const QByteArray busy = AuthServer::cookieOf(s.login(kPassword));
    s.nowMs += 59 * kMinute;
    EXPECT_TRUE(sessionLive(s, busy));
    s.nowMs += 2 * kMinute;
    EXPECT_FALSE(sessionLive(s, idle)) << "an hour without a request";
    // Used every 50 minutes it lasts until twelve hours after the login.
    for (int i = 0; i < 14; ++i) {
        EXPECT_TRUE(sessionLive(s, busy)) << i;
        s.nowMs += 50 * kMinute;
    }
    EXPECT_FALSE(sessionLive(s, busy));
}

TEST(Login, LogoutNeedsTheTokenAndEndsTheSession)
{
    AuthServer s(true);
    const auto [cookie, csrf] = s.loggedIn();
    const QList<Header> form{cookie, {"Content-Type", "application/x-www-form-urlencoded"}};
    EXPECT_EQ(s.send("POST", "/logout", form, "x=1").status, 403);
    EXPECT_TRUE(s.send("GET", "/tarnwick/v1/session", {cookie}).json()["loggedIn"].toBool());
    EXPECT_TRUE(s.send("GET", "/logout", {cookie}).body.contains(csrf));
    const HttpAnswer out = s.send("POST", "/logout", form, "csrf=" + csrf);
    EXPECT_EQ(out.status, 303);
    EXPECT_TRUE(AuthServer::headerOf(out, "Set-Cookie").contains("Max-Age=0"));
    EXPECT_FALSE(s.send("GET", "/tarnwick/v1/session", {cookie}).json()["loggedIn"].toBool());
}

struct BadForm {
    const char *name;
    QByteArray contentType;
    QByteArray body;
    int status;
};

TEST(Login, MalformedAndOversizedFormsAreRefusedAndTheServerGoesOn)
{
    const BadForm cases[] = {
        {"no content type", "", "password=x", 415},
        {"JSON", "application/json", R"({"password":"x"})", 415},
        {"no password field", "application/x-www-form-urlencoded", "user=admin", 400},
        {"empty password", "application/x-www-form-urlencoded", "password=", 400},
        {"bare key", "application/x-www-form-urlencoded", "password", 400},
        {"password over 1 KiB", "application/x-www-form-urlencoded", "password=" + QByteArray(2000, 'a'), 400},
        {"form over 4 KiB", "application/x-www-form-urlencoded", "password=x&pad=" + QByteArray(5000, 'b'), 413},
        {"body over the request limit", "application/x-www-form-urlencoded", "password=" + QByteArray(70000, 'c'), 400},
        {"broken escapes and bytes", "application/x-www-form-urlencoded", QByteArray("password=%ZZ%00%FF\xff\x01&&=="), 401},
        {"a script as the next page", "application/x-www-form-urlencoded", "password=x&next=%22%3E%3Cscript%3E", 401},
    };
    AuthServer s(true);
    for (const BadForm &c : cases) {
        SCOPED_TRACE(c.name);
        QList<Header> headers;
        if (!c.contentType.isEmpty())
            headers << Header{"Content-Type", c.contentType};
        const HttpAnswer answer = s.send("POST", "/login", headers, c.body);
        EXPECT_EQ(answer.status, c.status) << answer.body.left(200).constData();
        EXPECT_TRUE(AuthServer::cookieOf(answer).isEmpty());
        EXPECT_FALSE(answer.body.contains("<script>"));
    }
    // Only the two real tries counted; the form still logs in.
    EXPECT_EQ(s.auth->limiter().failuresOf("127.0.0.1"), 2);
    EXPECT_EQ(s.login(kPassword).status, 303);
    // The next page is one of ours only.
    const HttpAnswer away = s.send("POST", "/login", {{"Content-Type", "application/x-www-form-urlencoded"}},
                                   "password=" + kPassword.toPercentEncoding() + "&next=%2F%2Fevil.example%2F");
    EXPECT_EQ(AuthServer::headerOf(away, "Location"), "/");
    EXPECT_FALSE(s.send("GET", "/login?next=%22%3E%3Cscript%3Ealert(1)%3C/script%3E").body.contains("<script>"));
    expectNoSecrets(s);
}

TEST(Login, WithoutAPasswordTheFormSaysHowToSetOne)
{
    AuthServer s(false);
    EXPECT_TRUE(s.send("GET", "/login").body.contains("tarnwick config set-password"));
    EXPECT_EQ(s.login("anything").status, 409);
}

} // namespace
