#include "app/mqtt_setup.h"

#include "app/app.h"
#include "core/messages.h"
#include "app/program.h"
#include "core/version.h"
#include "mqtt/mqtt_publisher.h"

#include <QSysInfo>

namespace {
// Never a box that waits: the watch goes on meanwhile.
void tellUser(const QString &text)
{
    showTimedMessage(text, 30000);
}
} // namespace

void startMqtt(App &app)
{
    const Settings &settings = prog().settings;
    if (!settings.MqttEnabled)
        return;
    QString problem;
    const MqttOptions options = mqttOptionsFrom(settings, QSysInfo::machineHostName(), problem);
    if (!problem.isEmpty()) {
        tellUser(QStringLiteral("MQTT is not started: %1.").arg(problem));
        return;
    }
    app.mqtt = std::make_unique<MqttPublisher>(options, app.watch, QString::fromLatin1(programVersion()), &tellUser);
    if (!app.mqtt->start())
        app.mqtt.reset();
}

void restartMqtt(App &app)
{
    app.mqtt.reset();
    startMqtt(app);
}
