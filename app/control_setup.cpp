#include "app/control_setup.h"

#include "alpaca/alpaca_server.h"
#include "alpaca/host_guard.h"
#include "app/app.h"
#include "app/automation_setup.h"
#include "app/mqtt_setup.h"
#include "app/program.h"
#include "app/watch_thread.h"
#include "auth/auth_service.h"
#include "auth/password_hash.h"
#include "control/control_socket.h"
#include "control/settings_service.h"
#include "core/messages.h"
#include "core/profile_store.h"
#include "core/settings.h"
#include "focuser/focuser_routines.h"
#include "station/station_cycle.h"
#include "upload/services.h"
#include "upload/uploads.h"

#include <QDateTime>
#include <QRegularExpression>

SettingsControl::SettingsControl() = default;
SettingsControl::~SettingsControl() = default;

QStringList uploadServicesProblems(const QString &text)
{
    QStringList problems;
    parseServices(text, problems);
    return problems;
}

namespace {
// The upload lives where the watch runs.
void followUploadServices(App &a)
{
    onWatchThread(a, [&a] {
        if (!a.upload)
            return;
        const Settings &s = prog().settings;
        QStringList problems; // checked before they were applied; a kept line was told at start
        a.upload->setServices(parseServices(s.UploadServices, problems), &QDateTime::currentDateTimeUtc, s.UploadCaFile);
    });
}
} // namespace

SettingsFollowers settingsFollowers(App &a)
{
    SettingsFollowers f;
    f.restartWindows = [&a] { a.cycle->restartWindows(); };
    f.refreshFocuser = [&a] { RefreshFocuserState(a.focuser); };
    f.settingsChanged = [&a](const QStringList &keys) {
        if (keys.contains(QStringLiteral("WeatherDataFile")))
            onWatchThread(a, [&a] { useWeatherDataFile(a); });
        // The broker link copies its settings, the staleness and the cloud limits included.
        static const QRegularExpression mqttKeys(
            QStringLiteral("^(Mqtt/.*|StaleAfterSeconds|PartCloudyDegC|FullCloudyDegC)$"));
        if (!keys.filter(mqttKeys).isEmpty())
            onWatchThread(a, [&a] { restartMqtt(a); });
        if (keys.contains(QStringLiteral("UploadServices")) || keys.contains(QStringLiteral("Upload/UploadServices")))
            followUploadServices(a);
        if (keys.contains(QStringLiteral("AllowedHosts")) && a.alpaca)
            onWatchThread(a, [&a] { a.alpaca->hostGuard().setAllowedHosts(prog().settings.AllowedHosts); });
    };
    return f;
}

namespace {
// "config set-password" while the program runs: the hash is checked, saved and
// in force at once, and every session of the old password ends.
ControlServer::PasswordTaker passwordTaker(App &a, ProfileStore &profile)
{
    return [&a, &profile](const QByteArray &hash, const QString &client) {
        if (!a.auth)
            return QStringLiteral("this run has no web endpoint to keep a password for");
        if (!hash.isEmpty() && !isPasswordHash(hash))
            return QStringLiteral("that is no password hash");
        if (!profile.writeValue(kDriverId, kPasswordHashKey, QString::fromLatin1(hash), kWebSubKey))
            return profile.lastWriteError();
        a.auth->setPasswordHash(hash);
        a.log.writeLine(logTimeStamp(QDateTime::currentDateTime()) + QLatin1Char(' ')
                        + QStringLiteral("setting Web/%1 changed by %2").arg(kPasswordHashKey, client));
        return QString();
    };
}
} // namespace

void startSettingsControl(App &a, ProfileStore &profile, SettingsGate gate)
{
    a.control = std::make_unique<SettingsControl>();
    SettingsServiceLinks links;
    links.settings = &prog().settings;
    links.profile = &profile;
    links.onWatch = [&a](const std::function<void()> &step) { onWatchThread(a, step); };
    links.followers = settingsFollowers(a);
    links.extraProblem = [](const QString &key, const QString &text) {
        if (key != QLatin1String("Upload/UploadServices") || uploadServicesProblems(text).isEmpty())
            return QString();
        // The uploads' own words quote the line, which may hold a key.
        return QStringLiteral("Upload services: a line cannot be used as it stands");
    };
    links.log = [&a](const QString &line) {
        a.log.writeLine(logTimeStamp(QDateTime::currentDateTime()) + QLatin1Char(' ') + line);
    };
    a.control->service = std::make_unique<SettingsService>(std::move(links));
    a.control->server = std::make_unique<ControlServer>(*a.control->service);
    a.control->server->setPasswordTaker(passwordTaker(a, profile));
    QString why;
    const QString path = controlSocketPath(profile.filePath(), &why);
    if (path.isEmpty() || !a.control->server->listen(path, &why))
        printNotice(QStringLiteral("\"tarnwick config set\" cannot reach this run (%1); it waits for the program "
                                   "to end").arg(why));
    if (AlpacaServer *server = a.alpaca.get())
        installSettingsRoutes([server](const QString &path, HttpRouteHandler h) { server->addRoute(path, std::move(h)); },
                              *a.control->service, gate ? std::move(gate) : SettingsGate(&loopbackOnlyGate));
}
