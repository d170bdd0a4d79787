// Start-up of the HTTP endpoint: the focuser, observing-conditions and
// safety-monitor devices, the INDI feed routes, the Host check's allowed
// names, and the last-client shutdown under socket activation.
#pragma once

class App;
struct CommandLine;

// Sets App::alpaca when the endpoint is wanted and could start.
void startAlpacaEndpoint(App &app, const CommandLine &cl);
