#include "devtools_page.h"

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QStandardPaths>
#include <QTest>

DevToolsPage::DevToolsPage()
{
    QObject::connect(&m_socket, &QWebSocket::textMessageReceived, [this](const QString &t) { onMessage(t); });
}

DevToolsPage::~DevToolsPage()
{
    m_socket.close();
    m_browser.terminate();
    if (!m_browser.waitForFinished(5000))
        m_browser.kill();
}

bool DevToolsPage::open(const QString &url, int width, int height)
{
    const QString chromium = QStandardPaths::findExecutable(QStringLiteral("chromium"));
    if (chromium.isEmpty()) {
        m_error = QStringLiteral("chromium is not installed (scripts/install-deps.sh installs it)");
        return false;
    }
    m_browser.start(chromium, {"--headless", "--no-sandbox", "--disable-gpu", "--no-first-run",
                               "--user-data-dir=" + m_profile.path(), "--remote-debugging-port=0",
                               QStringLiteral("--window-size=%1,%2").arg(width).arg(height), "about:blank"});
    // The browser writes its port into the profile when it listens.
    QFile portFile(m_profile.path() + QStringLiteral("/DevToolsActivePort"));
    if (!QTest::qWaitFor([&] { return portFile.exists() && portFile.size() > 0; }, 20000)) {
        m_error = QStringLiteral("the browser did not open its DevTools port");
        return false;
    }
    portFile.open(QIODevice::ReadOnly);
    const QString port = QString::fromLatin1(portFile.readLine()).trimmed();
    QNetworkAccessManager net;
    QNetworkReply *list = net.get(QNetworkRequest(QUrl(QStringLiteral("http://127.0.0.1:%1/json/list").arg(port))));
    QTest::qWaitFor([&] { return list->isFinished(); }, 10000);
    QString target;
    for (const QJsonValue &t : QJsonDocument::fromJson(list->readAll()).array())
        if (t.toObject()[QStringLiteral("type")] == QLatin1String("page"))
            target = t.toObject()[QStringLiteral("webSocketDebuggerUrl")].toString();
    list->deleteLater();
    if (target.isEmpty()) {
        m_error = QStringLiteral("the browser lists no page");
        return false;
    }
    m_socket.open(QUrl(target));
    if (!QTest::qWaitFor([&] { return m_socket.state() == QAbstractSocket::ConnectedState; }, 10000)) {
        m_error = QStringLiteral("no DevTools connection: ") + m_socket.errorString();
        return false;
    }
    for (const char *domain : {"Runtime.enable", "Log.enable", "Page.enable", "Network.enable"})
        call(QString::fromLatin1(domain));
    // No scroll bar: a picture of the whole page has the width the page is laid out in.
    call(QStringLiteral("Emulation.setScrollbarsHidden"), {{"hidden", true}});
    call(QStringLiteral("Page.navigate"), {{"url", url}});
    return waitForEvent(QStringLiteral("Page.loadEventFired"), 20000);
}

bool DevToolsPage::reload()
{
    m_events.removeAll(QStringLiteral("Page.loadEventFired"));
    call(QStringLiteral("Page.reload"));
    return waitForEvent(QStringLiteral("Page.loadEventFired"), 20000);
}

QJsonValue DevToolsPage::evaluate(const QString &expression, int timeoutMs)
{
    const QJsonObject r = call(QStringLiteral("Runtime.evaluate"),
                               {{"expression", expression}, {"returnByValue", true}, {"awaitPromise", true}}, timeoutMs);
    return r[QStringLiteral("result")].toObject()[QStringLiteral("value")];
}

void DevToolsPage::setViewport(int width, int height, bool mobile)
{
    call(QStringLiteral("Emulation.setDeviceMetricsOverride"),
         {{"width", width}, {"height", height}, {"deviceScaleFactor", 1}, {"mobile", mobile}});
}

void DevToolsPage::setColourScheme(const QString &scheme)
{
    call(QStringLiteral("Emulation.setEmulatedMedia"),
         {{"features", QJsonArray{QJsonObject{{"name", "prefers-color-scheme"}, {"value", scheme}}}}});
}

void DevToolsPage::setTimeZone(const QString &zone)
{
    call(QStringLiteral("Emulation.setTimezoneOverride"), {{"timezoneId", zone}});
}

QByteArray DevToolsPage::screenshot()
{
    const QJsonObject r = call(QStringLiteral("Page.captureScreenshot"), {{"format", "png"}, {"captureBeyondViewport", true}}, 20000);
    return QByteArray::fromBase64(r[QStringLiteral("data")].toString().toLatin1());
}

QJsonObject DevToolsPage::call(const QString &method, const QJsonObject &params, int timeoutMs)
{
    const int id = m_nextId++;
    m_socket.sendTextMessage(QString::fromUtf8(
        QJsonDocument(QJsonObject{{"id", id}, {"method", method}, {"params", params}}).toJson(QJsonDocument::Compact)));
    QTest::qWaitFor([&] { return m_replies.count(id) > 0; }, timeoutMs);
    const QJsonObject reply = m_replies.count(id) ? m_replies[id] : QJsonObject{};
    m_replies.erase(id);
    return reply[QStringLiteral("result")].toObject();
}

bool DevToolsPage::waitForEvent(const QString &method, int timeoutMs)
{
    return QTest::qWaitFor([&] { return m_events.contains(method); }, timeoutMs);
}

void DevToolsPage::onMessage(const QString &text)
{
    const QJsonObject m = QJsonDocument::fromJson(text.toUtf8()).object();
    if (m.contains(QStringLiteral("id"))) {
        m_replies[m[QStringLiteral("id")].toInt()] = m;
        return;
    }
    const QString method = m[QStringLiteral("method")].toString();
    const QJsonObject p = m[QStringLiteral("params")].toObject();
    m_events << method;
    if (method == QLatin1String("Runtime.consoleAPICalled")) {
        const QString type = p[QStringLiteral("type")].toString();
        if (type == QLatin1String("error") || type == QLatin1String("warning") || type == QLatin1String("assert"))
            m_problems << type + QStringLiteral(": ") + QString::fromUtf8(QJsonDocument(p[QStringLiteral("args")].toArray()).toJson(QJsonDocument::Compact));
    } else if (method == QLatin1String("Runtime.exceptionThrown")) {
        m_problems << QStringLiteral("exception: ") + p[QStringLiteral("exceptionDetails")].toObject()[QStringLiteral("text")].toString()
                + QLatin1Char(' ') + p[QStringLiteral("exceptionDetails")].toObject()[QStringLiteral("exception")].toObject()[QStringLiteral("description")].toString();
    } else if (method == QLatin1String("Network.responseReceived")) {
        const QJsonObject r = p[QStringLiteral("response")].toObject();
        if (r[QStringLiteral("status")].toInt() >= 400)
            m_failedRequests << QString::number(r[QStringLiteral("status")].toInt()) + QLatin1Char(' ') + r[QStringLiteral("url")].toString();
    } else if (method == QLatin1String("Network.loadingFailed") && !p[QStringLiteral("canceled")].toBool()) {
        m_failedRequests << QStringLiteral("failed: ") + p[QStringLiteral("errorText")].toString();
    } else if (method == QLatin1String("Log.entryAdded")) {
        const QJsonObject e = p[QStringLiteral("entry")].toObject();
        if (e[QStringLiteral("level")].toString() == QLatin1String("error") || e[QStringLiteral("level")].toString() == QLatin1String("warning"))
            m_problems << QStringLiteral("log: ") + e[QStringLiteral("text")].toString() + QLatin1Char(' ') + e[QStringLiteral("url")].toString();
    }
}
