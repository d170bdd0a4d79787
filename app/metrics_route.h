// GET /metrics on the HTTP endpoint: the watch for a Prometheus server,
// behind the endpoint's Host check like every other route.
#pragma once

class App;

// Counts the watch's observations and the weather service's reports from now
// on, and answers /metrics from the watch and the modules' state. Nothing
// without the HTTP endpoint.
void addMetricsRoute(App &app);
