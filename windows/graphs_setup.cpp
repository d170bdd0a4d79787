#include "windows/graphs_setup.h"

#include "screen/screen_fit.h"
#include "windows/graph_window.h"


namespace {
// First shown side by side along the bottom of the screen, right of the hand
// box, rather than both in the same corner over it. Where the screen is too
// narrow for both beside the hand box, the second goes above the first: the
// hand box and the two charts stay clear of each other.
void placeBeside(QWidget *first, QWidget *second, const QWidget *owner)
{
    const QRect area = availableAreaFor(owner);
    // The window manager's frames are not known before the windows show.
    const int frames = 2 * 8;
    const int titleAndBorders = 40;
    const int left = owner ? owner->frameGeometry().right() + 12 : area.left();
    first->move(left, area.bottom() - first->height());
    if (left + first->width() + 12 + second->width() + frames <= area.right())
        second->move(left + first->width() + 12, area.bottom() - second->height());
    else
        second->move(left, area.bottom() - first->height() - 2 * titleAndBorders - second->height());
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
        m_temperatures->sampleArrival(o);
    if (m_windHumidity)
        m_windHumidity->sampleArrival(o);
}
