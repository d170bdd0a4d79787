// One service beyond the main one: on its own interval it sends the latest
// live observation over its own connection, judges the reply, and after a
// failure waits its growing pause. A service that is down never holds the
// others or the station: each has its own socket and timer. A station-protocol
// service gets the minutes of an outage afterwards from the archive.
#pragma once

#include "upload/catch_up.h"
#include "upload/delivery.h"
#include "upload/http_exchange.h"
#include "upload/services.h"

#include <QObject>
#include <QTimer>
#include <functional>
#include <optional>

class ServiceUploader : public QObject {
    Q_OBJECT
public:
    ServiceUploader(ServiceConfig config, std::function<QDateTime()> clock, QObject *parent = nullptr);

    const ServiceConfig &config() const { return m_config; }
    HttpExchange &exchange() { return m_exchange; }
    const DeliveryState &delivery() const { return m_delivery; }
    // "<name>: <state>"
    QString stateLine() const;

    void setCaFile(const QString &path) { m_exchange.setExtraCaFile(path); }
    // The latest observation; only live ones may go out (the caller decides).
    void setObservation(const Observation &o) { m_latest = o; }
    void clearObservation() { m_latest.reset(); }
    // Sends when the interval and any pause are over; run once a second.
    void tick();
    // Starts the once-a-second timer that runs tick().
    void start() { m_timer.start(); }
    // The archive's minute rows, for the catch-up after an outage (none: no catch-up).
    void setMinuteSource(MinuteSource source, int backlogHours);
    // Rows of an outage still to send.
    int rowsDue() const { return m_rowsDue; }

signals:
    void stateChanged(const QString &line);

private:
    void onEnded(ExchangeEnd end, const QByteArray &reply, const QString &error);
    void send(const ServiceRequest &req, const QDateTime &now);
    // Sends the oldest row of an outage when one is due; false when none is.
    bool sendLate(const QDateTime &now);

    ServiceConfig m_config;
    std::function<QDateTime()> m_clock;
    HttpExchange m_exchange;
    DeliveryState m_delivery;
    QTimer m_timer;
    std::optional<Observation> m_latest;
    QDateTime m_lastSent; // the last try, for the interval
    ReplyStyle m_style = ReplyStyle::StatusOnly;
    bool m_busy = false;
    CatchUp m_catchUp;
    int m_backlogHours = 6;
    int m_rowsDue = 0;
    QDateTime m_lastTry;
    QDateTime m_inFlightRecord; // the live record's time, or invalid
    QDateTime m_inFlightMinute; // the late row's minute, or invalid
};
