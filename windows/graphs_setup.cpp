#include "windows/graphs_setup.h"

#include "core/screen_fit.h"
#include "windows/graph_window.h"
#include "windows/hand_box.h"

#include <QPointer>

namespace {
// Guarded: the hand box owns them and may delete them first.
QPointer<GraphWindow> g_temperatures;
QPointer<GraphWindow> g_windHumidity;
GraphHistorySource g_history;

GraphWindow *opened(GraphWindow *w)
{
    w->setHistorySource(g_history);
    w->fillFromHistory();
    return w;
}
} // namespace

void setGraphHistorySource(GraphHistorySource source)
{
    g_history = std::move(source);
}

GraphWindow *temperaturesGraph()
{
    return g_temperatures.data();
}

GraphWindow *windHumidityGraph()
{
    return g_windHumidity.data();
}

void showGraphs(bool show, const WeatherState &weather, HandBox *owner)
{
    if (!show) {
        if (g_temperatures)
            g_temperatures->hide();
        if (g_windHumidity)
            g_windHumidity->hide();
        return;
    }
    if (!g_temperatures)
        g_temperatures = opened(newTemperaturesWindow(weather, owner, owner));
    if (!g_windHumidity)
        g_windHumidity = opened(newWindHumidityWindow(weather, owner, owner));
    g_temperatures->show();
    g_windHumidity->show();
    keepOnScreen(g_temperatures);
    keepOnScreen(g_windHumidity);
}

void unloadGraphs()
{
    delete g_temperatures.data();
    delete g_windHumidity.data();
}
