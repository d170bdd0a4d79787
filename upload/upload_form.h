// The upload window's state without its widgets: the fields that mirror the
// PWS settings, the variable and header rows, the request, reply and error
// texts, the socket exchange, and the send operation cmdSend_Click. The window
// (UploadWindow) is a view of this; the station cycle calls cmdSend_Click here
// whether or not the window is on screen.
#pragma once

#include "core/hand_box_field.h"
#include "upload/http_exchange.h"
#include "upload/http_request.h"

#include <QDateTime>
#include <QObject>
#include <QString>
#include <QVector>
#include <functional>
#include <optional>

class HandBoxApi;
struct WeatherState;

// Asked before each report: whether readings may go out now and which of the
// report's values are readings rather than placeholders.
struct ReportCheck {
    QString skipReason; // not empty: the report is skipped and the error lines say why
    bool temperature = true;
    bool humidity = true;
    bool skyTemperature = true;
    // The readings as they stood where the watch runs, taken with the check
    // (unset: read from the weather state when the report is built).
    std::optional<double> ambientC;
    std::optional<double> windSpeed;
    std::optional<double> windGust;
};

class UploadForm : public QObject {
    Q_OBJECT
public:
    static constexpr int kInitialRows = 3;
    // The error list keeps its newest lines only, so a station left reporting to
    // an unreachable service for months does not grow without end.
    static constexpr int kMaxErrorLines = 2000;

    // The report reads the station's readings and two hand box texts (the
    // humidity and the sky temperature as shown); without a hand box they are empty.
    explicit UploadForm(const WeatherState &weather, const HandBoxApi *handBox = nullptr, QObject *parent = nullptr);

    // Load fills the fields from the settings (each changed field writes its
    // setting back, as its change handler does); unload drops the connection and
    // returns every field, row and text to its empty stored state.
    bool isLoaded() const { return m_loaded; }
    void load();
    void unload();

    // The send operation: reads the fields and readings, builds the report and,
    // when uploads are allowed, runs the exchange. Loads the form first if needed.
    void cmdSend_Click();

    // Fields. Setting one to a new value runs its change handler.
    QString url() const { return m_url; }
    void setUrl(const QString &text);
    bool allowChecked() const { return m_allow; }
    void setAllowChecked(bool on);
    int requestMethodIndex() const { return m_requestMethod; }
    void setRequestMethodIndex(int index) { m_requestMethod = index; }

    int variableRowCount() const { return static_cast<int>(m_variables.size()); }
    QString variableName(int i) const { return m_variables.value(i).name; }
    QString variableValue(int i) const { return m_variables.value(i).value; }
    void setVariableName(int i, const QString &text);
    void setVariableValue(int i, const QString &text);
    int addVariableRow();

    int headerRowCount() const { return static_cast<int>(m_headers.size()); }
    QString headerName(int i) const { return m_headers.value(i).name; }
    QString headerValue(int i) const { return m_headers.value(i).value; }
    void setHeaderName(int i, const QString &text);
    void setHeaderValue(int i, const QString &text);
    int addHeaderRow();

    QString requestText() const { return m_request; }
    QString responseText() const { return m_response; }
    QString errorsText() const { return m_errors; }

    HttpExchange &exchange() { return m_exchange; }
    bool Connected() const { return m_exchange.Connected(); }
    bool SendFailed() const { return m_exchange.SendFailed(); }

    // Asked before each report; without one every report goes out whole.
    void setReportCheck(std::function<ReportCheck()> check) { m_reportCheck = std::move(check); }

    // The clock of the report (tests fix it); defaults to UtcNow.
    void setUtcClock(std::function<QDateTime()> clock) { m_utcClock = std::move(clock); }

signals:
    void fieldsChanged();   // url, allow box or a row text changed from the model side
    void rowAdded(bool headerRow, int index);
    void rowsReset();
    void requestChanged(const QString &text);
    void responseChanged(const QString &text); // replaced (cleared, or set at load/unload)
    void responseAppended(const QString &chunk);
    void errorsChanged(const QString &text);   // replaced
    void errorAppended(const QString &line);

private:
    void setResponse(const QString &text);
    void appendError(const QString &line);
    void resetFields();

    QString handBoxText(HandBoxField control) const;

    const WeatherState &m_weather;
    const HandBoxApi *m_handBox;
    HttpExchange m_exchange;
    std::function<QDateTime()> m_utcClock;
    std::function<ReportCheck()> m_reportCheck;
    bool m_loaded = false;
    bool m_sending = false; // the send operation is running (it may wait inside)
    QString m_url;
    bool m_allow = false;
    int m_requestMethod = -1;
    QVector<HeaderRow> m_variables;
    QVector<HeaderRow> m_headers;
    QString m_request;
    QString m_response;
    QString m_errors;
    int m_errorLineCount = 0;
};
