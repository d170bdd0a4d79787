#include "windows/graphs_setup.h"

#include "core/hand_box_api.h"
#include "core/program.h"
#include "windows/graph_window.h"

#include <QPointer>

namespace {
// Guarded: the hand box owns them and may delete them first.
QPointer<GraphWindow> g_temperatures;
QPointer<GraphWindow> g_windHumidity;
} // namespace

GraphWindow *temperaturesGraph()
{
    return g_temperatures.data();
}

GraphWindow *windHumidityGraph()
{
    return g_windHumidity.data();
}

void installGraphs()
{
    Program &p = prog();
    p.showGraphs = [](bool show) {
        if (!show) {
            if (g_temperatures)
                g_temperatures->hide();
            if (g_windHumidity)
                g_windHumidity->hide();
            return;
        }
        QWidget *owner = dynamic_cast<QWidget *>(prog().handBox);
        if (!g_temperatures)
            g_temperatures = newTemperaturesWindow(owner);
        if (!g_windHumidity)
            g_windHumidity = newWindHumidityWindow(owner);
        g_temperatures->show();
        g_windHumidity->show();
    };
    p.unloadGraphs = [] {
        delete g_temperatures.data();
        delete g_windHumidity.data();
    };
}
