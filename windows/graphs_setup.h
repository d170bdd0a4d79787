// Start-up wiring of the graph windows to the hand box's "Graphs" box.
#pragma once

class GraphWindow;

// Sets prog().showGraphs (true shows both windows, creating them on first use,
// owned by the hand box; false hides them, and they keep sampling) and
// prog().unloadGraphs.
void installGraphs();

// The windows, or null while not loaded.
GraphWindow *temperaturesGraph();
GraphWindow *windHumidityGraph();
