// The upload window's state and the PWS send operation.
#include "upload/upload_form.h"

#include "core/hand_box_api.h"
#include "core/messages.h"
#include "core/program.h"
#include "core/reentry_guard.h"
#include "station/weather_state.h"
#include "upload/pws_report.h"
#include "upload/url_helper.h"

namespace {


} // namespace

UploadForm::UploadForm(const WeatherState &weather, const HandBoxApi *handBox, QObject *parent)
    : QObject(parent)
    , m_weather(weather)
    , m_handBox(handBox)
    , m_utcClock(&UtcNow)
{
    resetFields();
    connect(&m_exchange, &HttpExchange::dataArrived, this, [this](const QString &chunk) {
        m_response += chunk;
        emit responseAppended(chunk);
    });
    connect(&m_exchange, &HttpExchange::errorLine, this, &UploadForm::appendError);
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
    const Settings &s = prog().settings;
    // Each assignment that changes a field runs its handler, which writes the
    // same value back to the profile.
    setUrl(s.g_sPWS_site);
    setVariableName(0, s.g_sPWS_name);
    setVariableValue(0, s.g_sPWS_password);
    setAllowChecked(s.g_bAllow_PWS == 1);
    emit fieldsChanged();
}

void UploadForm::unload()
{
    m_exchange.abort();
    m_loaded = false;
    resetFields();
    emit rowsReset();
    emit fieldsChanged();
    emit requestChanged(m_request);
    emit responseChanged(m_response);
    emit errorsChanged(m_errors);
}

void UploadForm::setUrl(const QString &text)
{
    if (text == m_url)
        return;
    m_url = text;
    prog().settings.g_sPWS_site = text;
    saveSettingNow(QStringLiteral("g_sPWS_site"));
}

void UploadForm::setAllowChecked(bool on)
{
    if (on == m_allow)
        return;
    m_allow = on;
    prog().settings.g_bAllow_PWS = on ? 1 : 0;
    saveSettingNow(QStringLiteral("g_bAllow_PWS"));
}

// Whichever name or value row changed, the setting always takes row 0.
void UploadForm::setVariableName(int i, const QString &text)
{
    if (i < 0 || i >= m_variables.size() || m_variables[i].name == text)
        return;
    m_variables[i].name = text;
    prog().settings.g_sPWS_name = m_variables[0].name;
    saveSettingNow(QStringLiteral("g_sPWS_name"));
}

void UploadForm::setVariableValue(int i, const QString &text)
{
    if (i < 0 || i >= m_variables.size() || m_variables[i].value == text)
        return;
    m_variables[i].value = text;
    prog().settings.g_sPWS_password = m_variables[0].value;
    saveSettingNow(QStringLiteral("g_sPWS_password"));
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
    if (m_exchange.Connected())
        return; // the previous exchange is still open
    const ReportCheck check = m_reportCheck ? m_reportCheck() : ReportCheck{};
    if (!check.skipReason.isEmpty()) {
        // Stale or made-up values never go out; the window says why nothing did.
        if (prog().settings.g_bAllow_PWS == 1)
            appendError(errorLine(QDateTime::currentDateTime(), QStringLiteral("skipped: ") + check.skipReason));
        return;
    }

    const UrlParts url = SplitUrl(m_url);
    if (url.Host.isEmpty()) {
        showMessage(QStringLiteral("Invalid Host"), QStringLiteral("ERROR"), MsgIcon::Critical);
        return;
    }

    m_exchange.setRemoteHost(url.Host);
    if (const auto port = remotePortFor(url))
        m_exchange.setRemotePort(*port);
    else
        showMessage(QStringLiteral("Invalid protocol schema")); // keeps the previous port, goes on
    if (!m_loaded)
        return; // the window was closed while its message was up

    const WeatherState &w = m_weather;
    PwsReading reading;
    reading.stationId = variableName(0);
    reading.password = variableValue(0);
    reading.utc = m_utcClock();
    reading.ambientC = check.ambientC.value_or(w.AmbientTempAvgC);
    reading.windSpeed = check.windSpeed.value_or(w.WindSpeed);
    reading.windGust = check.windGust.value_or(w.WindGust);
    reading.humidityText = handBoxText(HandBoxField::RH);
    reading.skyTempCaption = handBoxText(HandBoxField::LabelClouds);
    reading.hasTemperature = check.temperature;
    reading.hasHumidity = check.humidity;
    reading.hasSkyTemperature = check.skyTemperature;

    const QString request = ::requestText(url.Host, requestTarget(url, UploadQuery(reading)), m_headers);

    setResponse(QString());
    if (prog().settings.g_bAllow_PWS != 1)
        return;
    // The copy on show carries no password; the server gets the real one.
    PwsReading shown = reading;
    shown.password = QStringLiteral("********");
    m_request = ::requestText(url.Host, requestTarget(url, UploadQuery(shown)), m_headers);
    emit requestChanged(m_request);
    m_exchange.run(request.toUtf8());
}

QString UploadForm::handBoxText(HandBoxField control) const
{
    return m_handBox ? m_handBox->fieldText(control) : QString();
}
