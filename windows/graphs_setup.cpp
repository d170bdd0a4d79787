#include "windows/graphs_setup.h"

#include "screen/screen_fit.h"
#include "windows/graph_window.h"

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

// First shown side by side along the bottom of the screen, right of the hand
// box, rather than both in the same corner over it; keepOnScreen then pulls
// them in where the screen is narrow.
void placeBeside(QWidget *first, QWidget *second, const QWidget *owner)
{
    const QRect area = availableAreaFor(owner);
    const int left = owner ? owner->frameGeometry().right() + 12 : area.left();
    first->move(left, area.bottom() - first->height());
    second->move(left + first->width() + 12, area.bottom() - second->height());
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

void showGraphs(bool show, const WeatherState &weather, const HandBoxApi *values, QWidget *owner)
{
    if (!show) {
        if (g_temperatures)
            g_temperatures->hide();
        if (g_windHumidity)
            g_windHumidity->hide();
        return;
    }
    if (!g_temperatures && !g_windHumidity) {
        g_temperatures = opened(newTemperaturesWindow(weather, values, owner));
        g_windHumidity = opened(newWindHumidityWindow(weather, values, owner));
        placeBeside(g_temperatures, g_windHumidity, owner);
    }
    if (!g_temperatures)
        g_temperatures = opened(newTemperaturesWindow(weather, values, owner));
    if (!g_windHumidity)
        g_windHumidity = opened(newWindHumidityWindow(weather, values, owner));
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
