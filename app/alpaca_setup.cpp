#include "app/alpaca_setup.h"

#include "alpaca/alpaca_server.h"
#include "alpaca/devices/focuser_device.h"
#include "alpaca/devices/observing_conditions_device.h"
#include "alpaca/devices/safety_monitor_device.h"
#include "app/app.h"
#include "app/auth_setup.h"
#include "app/command_line.h"
#include "app/feed_routes.h"
#include "app/program.h"

void startAlpacaEndpoint(App &a, const CommandLine &cl)
{
    if (!cl.alpacaEnabled)
        return;
    std::optional<QSslConfiguration> tls;
    if (!endpointTlsChoice(prog().profile, tls))
        return;
    a.alpaca = startAlpaca(QHostAddress(cl.alpacaAddress), quint16(cl.alpacaPort), tls);
    AlpacaServer *server = a.alpaca.get();
    if (!server)
        return;
    setUpAuth(a, *server);
    Program &p = prog();
    server->hostGuard().setAllowedHosts(p.settings.AllowedHosts);
    FocuserDevice *focuser = server->addDevice(
        std::make_unique<FocuserDevice>(a.focuser, alpacaUniqueId(p.profile, QStringLiteral("UniqueID"))));
    server->addDevice(std::make_unique<ObservingConditionsDevice>(
        a.watch, [&p] { return staleLimitSeconds(p.settings); },
        alpacaUniqueId(p.profile, QStringLiteral("ObservingConditionsUniqueID"))));
    server->addDevice(std::make_unique<SafetyMonitorDevice>(
        a.watch, alpacaUniqueId(p.profile, QStringLiteral("SafetyMonitorUniqueID"))));
    addIndiFeedRoutes(*server, a.watch);
    // Ending at the last client's release is only safe when systemd starts
    // the program again on the next connection; the last client is the last
    // of all three devices.
    if (!server->socketActivated())
        return;
    a.focuser.shutDown = [&a, server, focuser] {
        if (server->endpoint().connectedClients(focuser) > 0) {
            a.focuser.ClientCount = 0; // the others' last release ends it
            return;
        }
        a.shutDownForLastClient();
    };
    server->endpoint().setWhenIdle([&a] {
        if (!a.focuser.startedByUser && a.focuser.ClientCount == 0)
            a.shutDownForLastClient();
    });
}
