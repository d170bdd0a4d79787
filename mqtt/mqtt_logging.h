// The MQTT publishing module's diagnostics category ("tarnwick.mqtt"): enable with
// QT_LOGGING_RULES="tarnwick.mqtt.debug=true".
#pragma once

#include <QLoggingCategory>

Q_DECLARE_LOGGING_CATEGORY(lcMqtt)
