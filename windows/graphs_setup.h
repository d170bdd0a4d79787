// The graph windows behind the hand box's "Graphs" box.
#pragma once

class GraphWindow;
class HandBox;
struct WeatherState;

// True shows both windows, creating them on first use (owned by the hand box);
// false hides them, and they keep sampling.
void showGraphs(bool show, const WeatherState &weather, HandBox *owner);
void unloadGraphs();

// The windows, or null while not loaded.
GraphWindow *temperaturesGraph();
GraphWindow *windHumidityGraph();
