// The upload window's state without its widgets: the fields that mirror the
// PWS settings, the variable and header rows, the request, reply and error
// texts, the socket exchange, and the send operation cmdSend_Click. The window
// (UploadWindow) is a view of this; the station cycle calls cmdSend_Click here
// whether or not the window is on screen. The form lives where the watch runs;
// a window on another thread mirrors it from the values its signals carry.
#pragma once

#include "watch/observation.h"
#include "upload/catch_up.h"
#include "upload/delivery.h"
#include "upload/http_exchange.h"
#include "upload/http_request.h"
#include "upload/pws_report.h"

#include <QDateTime>
#include <QObject>
#include <QString>
#include <QTimer>
#include <QVector>
#include <deque>
#include <functional>
#include <optional>

struct Settings;

// Asked before each report: whether readings may go out now.
struct ReportCheck {
    QString skipReason; // not empty: the report is skipped and the error lines say why
};

// The fields as the window shows them, taken at once.
struct UploadFields {
    QString url;
    bool allow = false;
    int requestMethod = -1;
    QVector<HeaderRow> variables;
    QVector<HeaderRow> headers;
};

// Everything a window mirrors, taken at once.
struct UploadView {
    UploadFields fields;
    QString request;
    QString response;
    QString errors;
    QString state;
};

// Writes one setting's value to the profile; false when that failed.
using SettingSaver = std::function<bool(const QString &key)>;

class UploadForm : public QObject {
    Q_OBJECT
public:
    static constexpr int kInitialRows = 3;
    // The error list keeps its newest lines only, so a station left reporting to
    // an unreachable service for months does not grow without end.
    static constexpr int kMaxErrorLines = 2000;

    // Records waiting for a second try are kept for at most this long.
    static constexpr int kDefaultBacklogHours = 6;
    // Late records go out no faster than one per this many seconds.
    static constexpr int kCatchUpSpacingSeconds = 2;

    // The fields mirror the upload settings, and each change is saved at once.
    UploadForm(Settings &settings, SettingSaver save, QObject *parent = nullptr);

    // The latest observation: the report reads its values.
    void setObservation(const Observation &o) { m_latest = o; }

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

    UploadFields fields() const { return {m_url, m_allow, m_requestMethod, m_variables, m_headers}; }
    UploadView view() const { return {fields(), m_request, m_response, m_errors, stateText()}; }

    QString requestText() const { return m_request; }
    QString responseText() const { return m_response; }
    QString errorsText() const { return m_errors; }

    HttpExchange &exchange() { return m_exchange; }
    bool Connected() const { return m_exchange.Connected(); }
    bool SendFailed() const { return m_exchange.SendFailed(); }

    // Asked before each report; without one every report goes out whole.
    void setReportCheck(std::function<ReportCheck()> check) { m_reportCheck = std::move(check); }

    // The clock of the report (tests fix it); defaults to UtcNow. The pauses
    // between tries follow the same clock.
    void setUtcClock(std::function<QDateTime()> clock) { m_utcClock = std::move(clock); }
    void setBacklogHours(int hours) { m_backlogHours = hours; }
    // Certificates trusted beside the system's, for an https:// address.
    void setCaFile(const QString &path) { m_caFile = path; }

    // How the service took the reports: its state and the pause before the next try.
    const DeliveryState &delivery() const { return m_delivery; }
    QString stateText() const { return m_delivery.stateText(); }
    int pendingRecords() const { return static_cast<int>(m_pending.size()); }
    // Sends the oldest record still due when its pause is over; run once a second.
    void retryDue();
    // The archive's minute rows: with them, the minutes of an outage are sent
    // afterwards from the archive instead of the records kept in memory.
    void setMinuteSource(MinuteSource source) { m_catchUp.setSource(std::move(source)); }

signals:
    void stateChanged(const QString &text);
    // Each finished exchange: taken (true) or failed and why; a dropped or
    // rate-limited record says neither.
    void delivered(bool ok, const QString &reason);
    void fieldsChanged(const UploadFields &fields); // url, allow box or a row text changed from the model side
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

    void onExchangeEnded(ExchangeEnd end, const QByteArray &reply, const QString &error);
    void queueForRetry(PwsReading reading);
    // Runs the retry tick only while something waits for it.
    void keepRetryTimer();
    void dropExpired();
    void sendReading(const PwsReading &reading, const UrlParts &url);
    // Host, port and TLS of the exchange from the address; false for a scheme it cannot take.
    bool aimExchange(const UrlParts &url);
    static Observation noReadings();
    void settingsChanged();

    Settings &m_settings;
    SettingSaver m_save;
    std::optional<Observation> m_latest;
    HttpExchange m_exchange;
    DeliveryState m_delivery;
    QTimer m_retryTimer;
    std::deque<PwsReading> m_pending; // failed records, oldest first, without realtime
    std::optional<PwsReading> m_inFlight; // the record of the exchange under way
    enum class Origin { Live, Queue, Minute };
    Origin m_inFlightOrigin = Origin::Live;
    QDateTime m_inFlightMinute;
    CatchUp m_catchUp;
    int m_rowsDue = 0; // catch-up rows still due when last looked
    // The next late record: the archive's oldest missed minute, else the
    // oldest record kept in memory.
    bool sendLate(const UrlParts &url);
    int rowsDue() const;
    QDateTime m_lastTry;
    bool m_loading = false;
    QString m_caFile;
    int m_backlogHours = kDefaultBacklogHours;
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
