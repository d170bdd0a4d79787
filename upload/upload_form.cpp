// The upload window's state and the PWS send operation.
#include "upload/upload_form.h"

#include "core/messages.h"
#include "core/reentry_guard.h"
#include "core/settings.h"
#include "upload/url_helper.h"

UploadForm::UploadForm(Settings &settings, SettingSaver save, QObject *parent)
    : QObject(parent)
    , m_settings(settings)
    , m_save(std::move(save))
    , m_delivery([this] { return m_utcClock(); })
    , m_utcClock(&UtcNow)
{
    // Members go with the form when it moves to the watch's thread.
    m_exchange.setParent(this);
    m_retryTimer.setParent(this);
    resetFields();
    connect(&m_exchange, &HttpExchange::dataArrived, this, [this](const QString &chunk) {
        m_response += chunk;
        emit responseAppended(chunk);
    });
    connect(&m_exchange, &HttpExchange::errorLine, this, &UploadForm::appendError);
    connect(&m_exchange, &HttpExchange::ended, this, &UploadForm::onExchangeEnded);
    m_retryTimer.setInterval(1000);
    connect(&m_retryTimer, &QTimer::timeout, this, &UploadForm::retryDue);
    // It runs only while something waits to be sent again (see keepRetryTimer).
}

void UploadForm::resetFields()
{
    m_url.clear();
    m_allow = false;
    m_requestMethod = -1;
    m_variables = QVector<HeaderRow>(kInitialRows);
    m_headers = QVector<HeaderRow>(kInitialRows);
    m_request.clear();
    m_response.clear();
    m_errors.clear();
    m_errorLineCount = 0;
}

void UploadForm::load()
{
    if (m_loaded)
        return;
    m_loaded = true;
    m_requestMethod = 0;
    m_exchange.abort();
    // Each assignment that changes a field runs its handler, which writes the
    // same value back to the profile.
    ReentryGuard loading(m_loading);
    setUrl(m_settings.g_sPWS_site);
    setVariableName(0, m_settings.g_sPWS_name);
    setVariableValue(0, m_settings.g_sPWS_password);
    setAllowChecked(m_settings.g_bAllow_PWS == 1);
    emit fieldsChanged(fields());
}

void UploadForm::unload()
{
    m_exchange.abort();
    m_inFlight.reset();
    m_loaded = false;
    resetFields();
    emit rowsReset();
    emit fieldsChanged(fields());
    emit requestChanged(m_request);
    emit responseChanged(m_response);
    emit errorsChanged(m_errors);
}

void UploadForm::setUrl(const QString &text)
{
    if (text == m_url)
        return;
    m_url = text;
    m_settings.g_sPWS_site = text;
    m_save(QStringLiteral("g_sPWS_site"));
    settingsChanged();
}

void UploadForm::setAllowChecked(bool on)
{
    if (on == m_allow)
        return;
    m_allow = on;
    m_settings.g_bAllow_PWS = on ? 1 : 0;
    m_save(QStringLiteral("g_bAllow_PWS"));
}

// Whichever name or value row changed, the setting always takes row 0.
void UploadForm::setVariableName(int i, const QString &text)
{
    if (i < 0 || i >= m_variables.size() || m_variables[i].name == text)
        return;
    m_variables[i].name = text;
    m_settings.g_sPWS_name = m_variables[0].name;
    m_save(QStringLiteral("g_sPWS_name"));
    settingsChanged();
}

void UploadForm::setVariableValue(int i, const QString &text)
{
    if (i < 0 || i >= m_variables.size() || m_variables[i].value == text)
        return;
    m_variables[i].value = text;
    m_settings.g_sPWS_password = m_variables[0].value;
    m_save(QStringLiteral("g_sPWS_password"));
    settingsChanged();
}

int UploadForm::addVariableRow()
{
    m_variables.append(HeaderRow{});
    const int index = static_cast<int>(m_variables.size()) - 1;
    emit rowAdded(false, index);
    return index;
}

void UploadForm::setHeaderName(int i, const QString &text)
{
    if (i >= 0 && i < m_headers.size())
        m_headers[i].name = text;
}

void UploadForm::setHeaderValue(int i, const QString &text)
{
    if (i >= 0 && i < m_headers.size())
        m_headers[i].value = text;
}

int UploadForm::addHeaderRow()
{
    m_headers.append(HeaderRow{});
    const int index = static_cast<int>(m_headers.size()) - 1;
    emit rowAdded(true, index);
    return index;
}

void UploadForm::appendError(const QString &line)
{
    m_errors += line;
    emit errorAppended(line);
    if (++m_errorLineCount <= kMaxErrorLines)
        return;
    m_errors.remove(0, m_errors.indexOf(QLatin1String("\r\n")) + 2);
    --m_errorLineCount;
}

void UploadForm::setResponse(const QString &text)
{
    m_response = text;
    emit responseChanged(m_response);
}

void UploadForm::cmdSend_Click()
{
    // A report that comes due while another one is still in its message box or
    // waiting for its connection must not start a second exchange on the socket.
    ReentryGuard sending(m_sending);
    if (!sending.active())
        return;

    if (!m_loaded)
        load();
    if (m_exchange.Connected() && m_inFlightOrigin == Origin::Live)
        return; // the previous exchange is still open
    const ReportCheck check = m_reportCheck ? m_reportCheck() : ReportCheck{};
    if (!check.skipReason.isEmpty()) {
        // Stale or made-up values never go out; the window says why nothing did.
        if (m_settings.g_bAllow_PWS == 1)
            appendError(errorLine(QDateTime::currentDateTime(), QStringLiteral("skipped: ") + check.skipReason));
        return;
    }

    const UrlParts url = SplitUrl(m_url);
    if (url.Host.isEmpty()) {
        showMessage(QStringLiteral("Invalid Host"), QStringLiteral("ERROR"), MsgIcon::Critical);
        return;
    }
    if (!aimExchange(url))
        showMessage(QStringLiteral("Invalid protocol schema")); // keeps the previous port, goes on
    if (!m_loaded)
        return; // the window was closed while its message was up

    PwsReading reading = readingFrom(m_latest.value_or(noReadings()));
    reading.stationId = variableName(0);
    reading.password = variableValue(0);
    reading.utc = m_utcClock();

    setResponse(QString());
    if (m_settings.g_bAllow_PWS != 1)
        return;
    // Refused credentials are tried again hourly, or at once after they change.
    if (m_delivery.last() == Verdict::CredentialsRefused && !m_delivery.mayTryNow())
        return;
    // A late record still on its way: this one waits its turn behind it.
    if (m_exchange.Connected() || m_exchange.waitingForConnection()) {
        queueForRetry(reading);
        return;
    }
    m_inFlightOrigin = Origin::Live;
    sendReading(reading, url);
}
