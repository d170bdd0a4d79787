#include "windows/graphs_setup.h"

#include "screen/screen_fit.h"
#include "windows/graph_window.h"

namespace {
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

GraphWindows::~GraphWindows()
{
    unload();
}

GraphWindow *GraphWindows::opened(GraphWindow *w) const
{
    if (m_latest)
        w->setObservation(*m_latest);
    w->setHistorySource(m_history);
    w->fillFromHistory();
    return w;
}

void GraphWindows::show(bool show, QWidget *owner)
{
    if (!show) {
        if (m_temperatures)
            m_temperatures->hide();
        if (m_windHumidity)
            m_windHumidity->hide();
        return;
    }
    if (!m_temperatures && !m_windHumidity) {
        m_temperatures = opened(newTemperaturesWindow(owner));
        m_windHumidity = opened(newWindHumidityWindow(owner));
        placeBeside(m_temperatures, m_windHumidity, owner);
    }
    if (!m_temperatures)
        m_temperatures = opened(newTemperaturesWindow(owner));
    if (!m_windHumidity)
        m_windHumidity = opened(newWindHumidityWindow(owner));
    m_temperatures->show();
    m_windHumidity->show();
    keepOnScreen(m_temperatures);
    keepOnScreen(m_windHumidity);
}

void GraphWindows::unload()
{
    delete m_temperatures.data();
    delete m_windHumidity.data();
}

void GraphWindows::offerObservation(const Observation &o)
{
    m_latest = o;
    if (m_temperatures)
        m_temperatures->setObservation(o);
    if (m_windHumidity)
        m_windHumidity->setObservation(o);
}
