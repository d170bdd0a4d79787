// The calibration as text for the command line, as JSON for the page, and
// the settings it proposes as "config set" lines and as the settings page's
// query string (which fills the form and saves nothing by itself).
#pragma once

#include "sky_history/sky_calibration.h"

#include <QByteArray>
#include <QJsonObject>
#include <QList>
#include <utility>

// [("Sky/Corrected", "True"), ("Sky/K1", "35"), ..., ("PartCloudyDegC", "18"), ("FullCloudyDegC", "15")]
QList<std::pair<QString, QString>> skySettingTexts(const SkySettings &sky);
// "/settings?Sky/Corrected=True&Sky/K1=35&..."
QString settingsLink(const SkySettings &sky);
QByteArray calibrationText(const SkyCalibration &c);
QJsonObject calibrationJson(const SkyCalibration &c);
