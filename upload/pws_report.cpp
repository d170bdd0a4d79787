// Text of the PWS report query.
#include "upload/pws_report.h"

#include "core/number_format.h"
#include "watch/observation.h"
#include "upload/url_helper.h"

#include <algorithm>
#include <cmath>

QDateTime roundToSecond(const QDateTime &t)
{
    const QDateTime shifted = t.addMSecs(500);
    return shifted.addMSecs(-shifted.time().msec());
}

QDateTime UtcNow()
{
    return roundToSecond(QDateTime::currentDateTimeUtc());
}

QString dateUtcText(const QDateTime &utc)
{
    const QDateTime t = roundToSecond(utc.toUTC());
    const QDate d = t.date();
    const QTime h = t.time();
    return QString::asprintf("%04d-%02d-%02d+%02d:%02d.%02d.00", d.year(), d.month(), d.day(), h.hour(), h.minute(),
                             h.second());
}

QString CloudClass(double skyTempC)
{
    if (skyTempC <= -5)
        return QStringLiteral("SKC");
    if (skyTempC <= 0)
        return QStringLiteral("SCT");
    return QStringLiteral("OVC");
}

QString tempfText(double ambientC)
{
    return rightAlign(formatNumber(ambientC * 1.8 + 32, "0.0"), 6);
}

QString windText(double speed, int width)
{
    return rightAlign(formatNumber(speed, "0.0"), width);
}

QString humidityText(const QString &rhText)
{
    QString text = rhText;
    try {
        text = formatNumber(realFromText(rhText), "0.0");
    } catch (const ConversionError &) {
        // shown as it stands
    }
    return rightAlign(text, 5);
}

QString cloudsText(const QString &skyTempCaption)
{
    try {
        return CloudClass(realFromText(skyTempCaption));
    } catch (const ConversionError &) {
        return QString();
    }
}

QString credentialText(const QString &typed)
{
    static const char hex[] = "0123456789ABCDEF";
    QString out;
    for (const char c : typed.toUtf8()) {
        const auto b = static_cast<unsigned char>(c);
        const bool breaksRequest = b <= 0x20 || b >= 0x7F || b == '&' || b == '=' || b == '#' || b == '+' || b == '?';
        if (breaksRequest) {
            out += QLatin1Char('%');
            out += QLatin1Char(hex[b >> 4]);
            out += QLatin1Char(hex[b & 0x0F]);
        } else {
            out += QLatin1Char(c);
        }
    }
    return out;
}

QString UploadQuery(const PwsReading &r)
{
    QString q = QStringLiteral("ID=") + credentialText(r.stationId);
    q += QStringLiteral("&PASSWORD=") + credentialText(r.password);
    q += QStringLiteral("&dateutc=") + PercentEncode(dateUtcText(r.utc));
    if (r.hasTemperature)
        q += QStringLiteral("&tempf=") + PercentEncode(tempfText(r.ambientC));
    q += QStringLiteral("&windspeedmph=") + PercentEncode(windText(r.windSpeed, 5));
    if (r.hasWindGust)
        q += QStringLiteral("&windgustmph=") + PercentEncode(windText(r.windGust, 6));
    if (r.hasHumidity)
        q += QStringLiteral("&humidity=") + PercentEncode(humidityText(r.humidityText));
    if (r.hasSkyTemperature)
        q += QStringLiteral("&clouds=") + cloudsText(r.skyTempCaption);
    q += r.realtime ? kPwsFixedBlock : kPwsLateBlock;
    return q;
}

PwsReading readingFrom(const Observation &o)
{
    const Readings &v = o.readings;
    PwsReading r;
    r.utc = o.utc;
    r.hasTemperature = v.has(Quantity::Ambient);
    r.hasHumidity = v.has(Quantity::Humidity);
    r.hasSkyTemperature = v.has(Quantity::Sky);
    r.hasWindGust = v.has(Quantity::Gust);
    r.ambientC = v.valueOr(Quantity::Ambient, 0);
    // The speed field is always sent; the report comes at a completed wind window.
    r.windSpeed = v.valueOr(Quantity::WindAverage, 0);
    r.windGust = v.valueOr(Quantity::Gust, 0);
    // The shown texts: the hand box shows whole percent, the sky with one decimal.
    if (r.hasHumidity)
        r.humidityText = formatNumber(*v[Quantity::Humidity], "0");
    if (r.hasSkyTemperature)
        r.skyTempCaption = formatNumber(*v[Quantity::Sky], "0.0");
    return r;
}
