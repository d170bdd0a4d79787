// End to end with the real program: "config set-password" keeps only a hash,
// a bad certificate keeps the endpoint from serving plain HTTP instead, and
// behind Debian's nginx the page comes through while a change without a
// login does not.
#include "program_fixture.h"

#include "core/profile_lock.h"

#include <QElapsedTimer>
#include <QFile>
#include <QJsonObject>
#include <gtest/gtest.h>
#include <iostream>

#include <fcntl.h>
#include <stdlib.h>
#include <unistd.h>

namespace {

const QByteArray kPassword = "dark sky over the pier";

QByteArray fileText(const QString &path)
{
    QFile f(path);
    f.open(QIODevice::ReadOnly);
    return f.readAll();
}

struct PasswordCommandCase {
    const char *name;
    QStringList args;
    QByteArray input;
    int exitCode;
    const char *said; // on standard output or error
};

TEST(SetPassword, KeepsOnlyAnArgon2idHashAndTheOtherCommandsNeverShowIt)
{
    QTemporaryDir dir;
    const QString profile = dir.filePath("profile.ini");
    QElapsedTimer hashing;
    hashing.start();
    const CommandResult set = runTarnwick({"--profile", profile, "config", "set-password"}, kPassword + "\n");
    const qint64 ms = hashing.elapsed();
    ASSERT_EQ(set.exitCode, 0) << set.err.constData();
    std::cout << "config set-password (argon2id, 2 passes over 19 MiB) took " << ms << " ms\n";
    const QByteArray stored = fileText(profile);
    EXPECT_TRUE(stored.contains("PasswordHash=$argon2id$v=19$m=19456,t=2,p=1$")) << stored.constData();
    EXPECT_FALSE(stored.contains(kPassword));

    const PasswordCommandCase cases[] = {
        {"list shows that it is set", {"config", "list"}, {}, 0, "Web/PasswordHash=(set)"},
        {"get refuses", {"config", "get", "Web/PasswordHash"}, {}, 2, "config set-password"},
        {"set refuses", {"config", "set", "Web/PasswordHash", "$argon2id$x"}, {}, 2, "config set-password"},
        {"set by bare name refuses", {"config", "set", "passwordhash", "x"}, {}, 2, "config set-password"},
        {"too short", {"config", "set-password"}, "short\n", 2, "at least 8 characters"},
        {"nothing on the input", {"config", "set-password"}, {}, 2, "no password"},
        {"a stray word", {"config", "set-password", "secret"}, {}, 2, "only --clear"},
    };
    for (const PasswordCommandCase &c : cases) {
        SCOPED_TRACE(c.name);
        const CommandResult r = runTarnwick(QStringList{"--profile", profile} + c.args, c.input);
        EXPECT_EQ(r.exitCode, c.exitCode);
        EXPECT_TRUE((r.out + r.err).contains(c.said)) << (r.out + r.err).constData();
        EXPECT_FALSE((r.out + r.err).contains("$argon2id"));
    }
    EXPECT_EQ(fileText(profile), stored) << "a refused command changed the profile";

    {
        // A holder of the profile that does not answer on the control socket takes nothing.
        ProfileLock held;
        ASSERT_EQ(held.acquire(profile, 1000), ProfileLock::Outcome::Held);
        const CommandResult busy = runTarnwick({"--profile", profile, "config", "set-password"}, "another passphrase\n");
        EXPECT_EQ(busy.exitCode, 3);
        EXPECT_TRUE(busy.err.contains("does not answer on its control socket")) << busy.err.constData();
    }
    EXPECT_EQ(runTarnwick({"--profile", profile, "config", "set-password", "--clear"}).exitCode, 0);
    EXPECT_FALSE(fileText(profile).contains("$argon2id"));
}

// At a terminal: asked twice, nothing typed is echoed, two different answers change nothing.
TEST(SetPassword, AtATerminalAsksTwiceWithoutEcho)
{
    struct Typed {
        const char *name;
        QByteArray first, second;
        int exitCode;
    };
    const Typed cases[] = {{"the same twice", "terminal passphrase", "terminal passphrase", 0},
                           {"two different", "terminal passphrase", "terminal passphrose", 2}};
    for (const Typed &c : cases) {
        SCOPED_TRACE(c.name);
        QTemporaryDir dir;
        const int master = ::posix_openpt(O_RDWR | O_NOCTTY);
        ASSERT_GE(master, 0);
        ASSERT_EQ(::grantpt(master), 0);
        ASSERT_EQ(::unlockpt(master), 0);
        QProcess p;
        p.setStandardInputFile(QString::fromLocal8Bit(::ptsname(master)));
        p.start(QStringLiteral(TARNWICK_BINARY), {"--profile", dir.filePath("profile.ini"), "config", "set-password"});
        QByteArray err;
        const auto answer = [&](const char *prompt, const QByteArray &typed) {
            EXPECT_TRUE(QTest::qWaitFor([&] { return (err += p.readAllStandardError()).contains(prompt); }, 10000))
                << err.constData();
            EXPECT_EQ(::write(master, typed.constData(), size_t(typed.size())), typed.size());
        };
        answer("New password for the web page: ", c.first + "\n");
        answer("The same again: ", c.second + "\n");
        EXPECT_TRUE(p.waitForFinished(10000));
        EXPECT_EQ(p.exitCode(), c.exitCode) << (err + p.readAllStandardError()).constData();
        char echoed[512];
        ::fcntl(master, F_SETFL, O_NONBLOCK);
        const ssize_t n = ::read(master, echoed, sizeof echoed);
        EXPECT_FALSE(QByteArray(echoed, n > 0 ? int(n) : 0).contains("passphr"));
        ::close(master);
        EXPECT_EQ(fileText(dir.filePath("profile.ini")).contains("$argon2id$"), c.exitCode == 0);
    }
}

HttpAnswer exchange(quint16 port, const QByteArray &method, const QByteArray &target, const QByteArray &extraHeaders = {},
                    const QByteArray &body = {})
{
    return rawExchange(port, method + ' ' + target + " HTTP/1.1\r\nHost: 127.0.0.1:" + QByteArray::number(port)
                                 + "\r\nConnection: close\r\nContent-Type: application/x-www-form-urlencoded\r\n"
                                 + extraHeaders + "Content-Length: " + QByteArray::number(body.size()) + "\r\n\r\n" + body,
                       10000);
}

QByteArray sessionCookie(const HttpAnswer &answer)
{
    for (const QByteArray &line : answer.headers.split('\n')) {
        if (line.toLower().startsWith("set-cookie: tarnwick_session="))
            return "Cookie: " + line.mid(12).split(';').first().trimmed() + "\r\n";
    }
    return {};
}

TEST(ReverseProxy, PagesComeThroughAndAChangeWithoutLoginDoesNot)
{
    QTemporaryDir dir;
    const QString profile = dir.filePath("profile.ini");
    RunningProgram program(profile);
    ASSERT_TRUE(program.serving()) << program.standardError().constData();
    Nginx nginx;
    ASSERT_TRUE(nginx.start(program.port)) << qPrintable(nginx.error);

    const HttpAnswer page = exchange(nginx.port, "GET", "/");
    EXPECT_EQ(page.status, 200);
    EXPECT_TRUE(page.body.contains("<html"));
    EXPECT_EQ(exchange(nginx.port, "GET", "/tarnwick/v1/live").status, 200);
    const QJsonObject proxied = exchange(nginx.port, "GET", "/tarnwick/v1/session").json();
    EXPECT_FALSE(proxied["loopback"].toBool());
    EXPECT_FALSE(proxied.contains("csrf"));

    // Even with this machine's token, through the proxy nothing changes before a password is set.
    const QByteArray token = httpGet(program.port, "/tarnwick/v1/session").json()["csrf"].toString().toLatin1();
    ASSERT_FALSE(token.isEmpty());
    const HttpAnswer refused = exchange(nginx.port, "POST", "/tarnwick/v1/settings", "X-CSRF-Token: " + token + "\r\n",
                                        "Latitude=10");
    EXPECT_EQ(refused.status, 403);
    EXPECT_TRUE(refused.body.contains("never through a proxy")) << refused.body.constData();
    const HttpAnswer direct = exchange(program.port, "POST", "/tarnwick/v1/settings", "X-CSRF-Token: " + token + "\r\n",
                                       "Latitude=10");
    EXPECT_NE(direct.status, 403);
    EXPECT_NE(direct.status, 401);
    EXPECT_TRUE(program.standardError().contains("tarnwick.auth: refused POST /tarnwick/v1/settings from 127.0.0.1 via 127.0.0.1"));
}

// While the program runs it takes a new password at once, and its removal ends the sessions.
TEST(SetPassword, WhileTheProgramRunsItTakesThePasswordAtOnce)
{
    QTemporaryDir dir;
    const QString profile = dir.filePath("profile.ini");
    RunningProgram program(profile);
    ASSERT_TRUE(program.serving()) << program.standardError().constData();
    auto session = [&](const QByteArray &cookie = {}) {
        return exchange(program.port, "GET", "/tarnwick/v1/session", cookie).json();
    };
    EXPECT_FALSE(session()["passwordSet"].toBool());

    const CommandResult set = runTarnwick({"--profile", profile, "config", "set-password"}, kPassword + "\n");
    ASSERT_EQ(set.exitCode, 0) << set.err.constData();
    EXPECT_TRUE(session()["passwordSet"].toBool());
    EXPECT_TRUE(fileText(profile).contains("$argon2id"));
    const HttpAnswer login = exchange(program.port, "POST", "/login", {}, "password=" + kPassword.toPercentEncoding());
    ASSERT_EQ(login.status, 303);
    const QByteArray cookie = sessionCookie(login);
    EXPECT_TRUE(session(cookie)["loggedIn"].toBool());

    ASSERT_EQ(runTarnwick({"--profile", profile, "config", "set-password", "--clear"}).exitCode, 0);
    EXPECT_FALSE(session()["passwordSet"].toBool());
    EXPECT_FALSE(session(cookie)["loggedIn"].toBool()) << "a session of the old password lives on";
    EXPECT_FALSE(program.standardError().contains("$argon2id"));
}

TEST(ReverseProxy, WithAPasswordALoginThroughTheProxyWorksAndAlpacaAsksForBasic)
{
    QTemporaryDir dir;
    const QString profile = dir.filePath("profile.ini");
    ASSERT_EQ(runTarnwick({"--profile", profile, "config", "set-password"}, kPassword + "\n").exitCode, 0);
    RunningProgram program(profile);
    ASSERT_TRUE(program.serving()) << program.standardError().constData();
    Nginx nginx;
    ASSERT_TRUE(nginx.start(program.port)) << qPrintable(nginx.error);

    EXPECT_EQ(exchange(nginx.port, "POST", "/tarnwick/v1/settings", {}, "Latitude=10").status, 401);
    EXPECT_EQ(exchange(nginx.port, "POST", "/login", {}, "password=wrong+guess").status, 401);
    const HttpAnswer login = exchange(nginx.port, "POST", "/login", {}, "password=" + kPassword.toPercentEncoding());
    ASSERT_EQ(login.status, 303);
    const QByteArray cookie = sessionCookie(login);
    ASSERT_FALSE(cookie.isEmpty());
    const QJsonObject session = exchange(nginx.port, "GET", "/tarnwick/v1/session", cookie).json();
    EXPECT_TRUE(session["loggedIn"].toBool());
    const QByteArray csrf = session["csrf"].toString().toLatin1();
    const HttpAnswer change = exchange(nginx.port, "POST", "/tarnwick/v1/settings", cookie + "X-CSRF-Token: " + csrf + "\r\n",
                                       "Latitude=10");
    EXPECT_NE(change.status, 401);
    EXPECT_NE(change.status, 403);

    const QByteArray put = "/api/v1/safetymonitor/0/connected";
    EXPECT_EQ(exchange(nginx.port, "PUT", put, {}, "Connected=true").status, 401);
    EXPECT_EQ(exchange(nginx.port, "PUT", put, "Authorization: Basic " + (":" + kPassword).toBase64() + "\r\n",
                       "Connected=true").status, 200);
    EXPECT_EQ(exchange(program.port, "PUT", put, {}, "Connected=false").status, 200);

    const QByteArray log = program.standardError();
    EXPECT_TRUE(log.contains("tarnwick.auth: login failed from 127.0.0.1 via 127.0.0.1 (1 in a row)")) << log.constData();
    EXPECT_TRUE(log.contains("tarnwick.auth: login from 127.0.0.1 via 127.0.0.1"));
    EXPECT_FALSE(log.contains(kPassword));
    EXPECT_FALSE(log.contains("$argon2id"));
    EXPECT_FALSE(exchange(nginx.port, "GET", "/").body.contains("$argon2id"));
}

TEST(HttpsSettings, ABadCertificateKeepsTheEndpointFromServingPlainHttp)
{
    QTemporaryDir dir;
    const QString profile = dir.filePath("profile.ini");
    ASSERT_EQ(runTarnwick({"--profile", profile, "config", "set", "Web/CertificateFile", dir.filePath("none.pem")}).exitCode, 0);
    ASSERT_EQ(runTarnwick({"--profile", profile, "config", "set", "Web/KeyFile", dir.filePath("none.key")}).exitCode, 0);
    RunningProgram program(profile);
    EXPECT_TRUE(QTest::qWaitFor([&] { return program.standardError().contains("HTTP endpoint was not started"); }, 30000))
        << program.standardError().constData();
    EXPECT_TRUE(program.standardError().contains("none.pem cannot be read"));
    EXPECT_EQ(httpGet(program.port, "/").status, 0);
}

} // namespace
