// The PWS report query: where each value comes from is the caller's business;
// here each value is turned into text and the query is put together in the
// order the service expects.
#pragma once

#include <QDateTime>
#include <QString>

struct Observation;

struct PwsReading {
    QString stationId;   // as typed (see credentialText)
    QString password;    // as typed (see credentialText)
    QDateTime utc;       // time of the report, UTC
    double ambientC = 0; // averaged ambient temperature, degrees Celsius
    double windSpeed = 0;
    double windGust = 0;
    QString humidityText;   // the hand box's RH text
    QString skyTempCaption; // the hand box's measured sky temperature caption
    // False when the observation holds no reading of it: the field is left
    // out, which the service accepts.
    bool hasTemperature = true;
    bool hasHumidity = true;
    bool hasSkyTemperature = true;
    bool hasWindGust = true;
    // A live report asks for real-time processing; a retried or caught-up
    // record goes without it, so no rapid-fire request is ever replayed.
    bool realtime = true;
};

// The report's values from one observation's readings: the humidity as the
// hand box shows it (whole percent), the sky temperature as shown (one
// decimal); a quantity that is not a reading is marked absent.
PwsReading readingFrom(const Observation &o);

// The service's fixed tail: software name and real-time processing.
inline const QString kPwsFixedBlock =
    QStringLiteral("&softwaretype=tarnwick%20v01&action=updateraw&realtime=1&rtfreq=5.0");
// The same without real-time processing, for records sent late.
inline const QString kPwsLateBlock = QStringLiteral("&softwaretype=tarnwick%20v01&action=updateraw");

// The system clock in UTC, rounded to the nearest whole second (500 ms up).
QDateTime UtcNow();
// Rounds a time to the nearest whole second, carrying into minutes, hours and the date.
QDateTime roundToSecond(const QDateTime &t);

// "YYYY-MM-DD+hh:nn.ss.00" of a UTC time (rounded to the nearest second).
QString dateUtcText(const QDateTime &utc);

// "SKC" at or below -5, "SCT" above -5 up to 0, "OVC" above 0.
QString CloudClass(double skyTempC);

// The fields of the query, each already right-aligned as the service expects.
QString tempfText(double ambientC);          // Fahrenheit, "0.0" in 6
QString windText(double speed, int width);   // "0.0" in 5 (speed) or 6 (gust)
QString humidityText(const QString &rhText); // "0.0" in 5; non-numeric text passes through
// Cloud class of the caption; a caption that holds no number gives "" (the
// field is then sent empty rather than guessed).
QString cloudsText(const QString &skyTempCaption);

// Station ID and password go as typed, except the characters that would end
// the field, split the query or break the request line (controls, space, "&",
// "=", "#", "+", "?") and non-ASCII ones, which are percent-encoded. Letters,
// digits and other marks, "%" included, are left alone.
QString credentialText(const QString &typed);

// The whole report query, from "ID=" to the end of the fixed block; fields
// whose value is a placeholder are left out.
QString UploadQuery(const PwsReading &reading);
