// Headless Chromium driven over its DevTools protocol on loopback: open a
// page, evaluate expressions in it, and collect what its console reports
// (errors, warnings, uncaught exceptions, failed loads).
#pragma once

#include <QJsonObject>
#include <QJsonValue>
#include <QProcess>
#include <QStringList>
#include <QTemporaryDir>
#include <QWebSocket>
#include <map>

class DevToolsPage {
public:
    DevToolsPage();
    ~DevToolsPage();

    // Starts the browser at the window size given and opens url. False, with
    // error() telling why, when the browser or its protocol is not there.
    bool open(const QString &url, int width = 1280, int height = 900);
    // The value of a JavaScript expression in the page (promises awaited).
    QJsonValue evaluate(const QString &expression, int timeoutMs = 5000);
    // Reloads the page and waits for its load event.
    bool reload();
    // Shows the page as a device of this size would (a phone: mobile true).
    void setViewport(int width, int height, bool mobile);
    // A PNG of the whole page.
    QByteArray screenshot();
    // The page as a browser set to "light" or "dark" would show it.
    void setColourScheme(const QString &scheme);
    // The browser's time zone, e.g. "Asia/Kolkata" (takes effect for new dates).
    void setTimeZone(const QString &zone);
    QStringList consoleProblems() const { return m_problems; }
    // Requests answered with a status of 400 or more, or not answered at all.
    QStringList failedRequests() const { return m_failedRequests; }
    QString error() const { return m_error; }

private:
    QJsonObject call(const QString &method, const QJsonObject &params = {}, int timeoutMs = 5000);
    void onMessage(const QString &text);
    bool waitForEvent(const QString &method, int timeoutMs);

    QTemporaryDir m_profile;
    QProcess m_browser;
    QWebSocket m_socket;
    int m_nextId = 1;
    std::map<int, QJsonObject> m_replies;
    QStringList m_events;
    QStringList m_problems;
    QStringList m_failedRequests;
    QString m_error;
};
