// The settings as the settings page shows them: groups of fields, each with
// its label, unit, kind, limits and value; a secret says only whether it is set.
#pragma once

#include <QJsonObject>

class SettingsService;

QJsonObject describeSettings(SettingsService &service);
