#include "sky_history/calibration_text.h"

#include "archive/history_text.h"

#include <QJsonArray>
#include <QUrlQuery>

namespace {

QString fixed(double v, int decimals = 1)
{
    return QString::number(v, 'f', decimals);
}

QJsonObject hoursJson(const SkyClassHours &h)
{
    return {{QStringLiteral("clear"), jsonNumber(h.clear)},
            {QStringLiteral("partlyCloudy"), jsonNumber(h.partlyCloudy)},
            {QStringLiteral("overcast"), jsonNumber(h.overcast)}};
}

QJsonObject settingsJson(const SkySettings &sky)
{
    QJsonObject out;
    for (const auto &[key, value] : skySettingTexts(sky))
        out.insert(key, value);
    return out;
}

QString hoursLine(const QString &name, const SkyClassHours &h)
{
    return QStringLiteral("  %1 %2 h clear, %3 h partly cloudy, %4 h overcast\n")
        .arg(name, -9)
        .arg(fixed(h.clear), fixed(h.partlyCloudy), fixed(h.overcast));
}

} // namespace

QList<std::pair<QString, QString>> skySettingTexts(const SkySettings &sky)
{
    QList<std::pair<QString, QString>> out{{QStringLiteral("Sky/Corrected"),
                                            sky.corrected ? QStringLiteral("True") : QStringLiteral("False")}};
    for (int i = 0; i < 7; ++i)
        out.append({QStringLiteral("Sky/K%1").arg(i + 1), QString::number(qint64(sky.k[size_t(i)]))});
    out.append({QStringLiteral("PartCloudyDegC"), QString::number(sky.partCloudyDegC)});
    out.append({QStringLiteral("FullCloudyDegC"), QString::number(sky.fullCloudyDegC)});
    return out;
}

QString settingsLink(const SkySettings &sky)
{
    QUrlQuery query;
    for (const auto &[key, value] : skySettingTexts(sky))
        query.addQueryItem(key, value);
    return QStringLiteral("/settings?") + query.toString(QUrl::FullyEncoded);
}

QByteArray calibrationText(const SkyCalibration &c)
{
    QString out = QStringLiteral("Clear-sky baseline from %1 dark hours of the last %2 nights\n\n")
                      .arg(fixed(c.darkMinutes.size() / 60.0))
                      .arg(c.nights);
    out += QStringLiteral("ambient °C  clear sky °C  fitted °C  residual °C  spread °C  minutes\n");
    // A band left out found a cloud layer rather than the clear sky.
    for (const BaselineBin &b : c.bins) {
        const double fitted = c.fit.ok ? fittedClearSkyC(c.fit, b.ambientC) : NAN;
        out += QStringLiteral("%1  %2  %3  %4  %5  %6%7\n")
                   .arg(fixed(b.ambientC), 10)
                   .arg(fixed(b.clearSkyC), 12)
                   .arg(fixed(fitted), 9)
                   .arg(fixed(b.clearSkyC - fitted), 11)
                   .arg(fixed(b.spreadC), 9)
                   .arg(b.points, 7)
                   .arg(b.leftOut ? QStringLiteral("  left out") : QString());
    }
    out += QLatin1Char('\n');
    if (!c.problem.isEmpty())
        return (out + QStringLiteral("No proposal: %1.\n").arg(c.problem)).toUtf8();
    out += QStringLiteral("Fit: rms %1 °C about the bands; a clear sky reads %2 °C corrected\n\n")
               .arg(fixed(c.fit.rmsC, 2), fixed(c.fit.clearDifferenceC));
    out += QStringLiteral("Archived dark hours as each would have called them:\n");
    out += hoursLine(QStringLiteral("current"), c.currentHours);
    out += hoursLine(QStringLiteral("proposed"), c.proposedHours);
    out += QStringLiteral("\nNothing was changed. To use the proposal:\n");
    for (const auto &[key, value] : skySettingTexts(c.proposed))
        out += QStringLiteral("  tarnwick config set %1 %2\n").arg(key, value);
    return out.toUtf8();
}

QJsonObject calibrationJson(const SkyCalibration &c)
{
    QJsonArray bins;
    for (const BaselineBin &b : c.bins)
        bins.append(QJsonObject{{QStringLiteral("ambientC"), jsonNumber(b.ambientC)},
                                {QStringLiteral("clearSkyC"), jsonNumber(b.clearSkyC)},
                                {QStringLiteral("fittedC"), jsonNumber(c.fit.ok ? fittedClearSkyC(c.fit, b.ambientC) : NAN)},
                                {QStringLiteral("spreadC"), jsonNumber(b.spreadC)},
                                {QStringLiteral("minutes"), b.points},
                                {QStringLiteral("leftOut"), b.leftOut}});
    QJsonObject out{{QStringLiteral("nights"), c.nights},
                    {QStringLiteral("darkHours"), jsonNumber(c.darkMinutes.size() / 60.0)},
                    {QStringLiteral("bins"), bins},
                    {QStringLiteral("current"), settingsJson(c.current)},
                    {QStringLiteral("currentHours"), hoursJson(c.currentHours)}};
    if (!c.problem.isEmpty()) {
        out.insert(QStringLiteral("problem"), c.problem);
        return out;
    }
    // The fitted curve across the bands, for the plot.
    QJsonArray curve;
    const double lo = c.bins.front().ambientC, hi = c.bins.back().ambientC;
    for (int i = 0; i <= 50; ++i) {
        const double ta = lo + (hi - lo) * i / 50;
        curve.append(QJsonArray{jsonNumber(ta), jsonNumber(fittedClearSkyC(c.fit, ta))});
    }
    out.insert(QStringLiteral("curve"), curve);
    out.insert(QStringLiteral("rmsC"), jsonNumber(c.fit.rmsC));
    out.insert(QStringLiteral("clearDifferenceC"), jsonNumber(c.fit.clearDifferenceC));
    out.insert(QStringLiteral("proposed"), settingsJson(c.proposed));
    out.insert(QStringLiteral("proposedHours"), hoursJson(c.proposedHours));
    out.insert(QStringLiteral("settingsLink"), settingsLink(c.proposed));
    return out;
}
