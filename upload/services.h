// The services beyond the main one, from the profile's UploadServices text
// (one per line, fields split by "|"):
//   pws|name|address|station ID|key|seconds      another service of the PWS protocol
//   windmap|name|address|station ID|password|seconds  the wind map's v2 station API
//   get|name|address template|seconds             a custom GET
//   post|name|address|body template|seconds       a custom form POST
// and the request each one sends for an observation.
#pragma once

#include "watch/observation.h"
#include "upload/delivery.h"
#include "upload/http_request.h"
#include "upload/pws_report.h"

#include <QByteArray>
#include <QStringList>
#include <vector>

enum class ServiceKind { Pws, WindMap, CustomGet, CustomPost };

struct ServiceConfig {
    ServiceKind kind = ServiceKind::Pws;
    QString name;
    QString address; // a URL, or a URL template for a custom GET
    QString stationId;
    QString password;
    QString bodyTemplate;
    int intervalSeconds = 60;
};

// The wind map takes at most one update per 5 minutes.
inline constexpr int kWindMapShortestInterval = 300;
// No service is asked more often than this.
inline constexpr int kShortestInterval = 1;

// Lines that cannot be used are named in problems and left out.
std::vector<ServiceConfig> parseServices(const QString &text, QStringList &problems);

// {tempc} {tempf} {humidity} {dewptc} {dewptf} {windspeedmph} {windgustmph}
// {windspeedms} {windgustms} {clouds} {dateutc}, each percent-encoded; a value
// that is a placeholder gives an empty text.
QString fillTemplate(const QString &tmpl, const Observation &o, const QDateTime &utc);

struct ServiceRequest {
    UrlParts url;
    QByteArray text; // the whole request
    ReplyStyle style = ReplyStyle::StatusOnly;
};
ServiceRequest buildServiceRequest(const ServiceConfig &config, const Observation &o, const QDateTime &utc);
// A late report to a station-protocol service: the reading keeps its own time.
ServiceRequest buildLateServiceRequest(const ServiceConfig &config, PwsReading reading);
// Only the station protocol takes readings of the past (the wind map and the
// templates get the latest only).
inline bool takesLateReadings(const ServiceConfig &config) { return config.kind == ServiceKind::Pws; }
