// The graph windows behind the hand box's "Graphs" box.
#pragma once

#include "windows/graph_history.h"

class GraphWindow;
class HandBoxApi;
class QWidget;
struct WeatherState;

// True shows both windows, creating them on first use (owned by `owner`, the
// hand box); false hides them, and they keep sampling. They read the shown
// values from `values`.
void showGraphs(bool show, const WeatherState &weather, const HandBoxApi *values, QWidget *owner);
void unloadGraphs();

// The archive the windows fill their span from when they open (none by default).
void setGraphHistorySource(GraphHistorySource source);

// The windows, or null while not loaded.
GraphWindow *temperaturesGraph();
GraphWindow *windHumidityGraph();
