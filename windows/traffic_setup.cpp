// The one traffic window.
#include "windows/traffic_setup.h"

#include "screen/screen_fit.h"
#include "windows/traffic_window.h"

namespace {
TrafficWindow *openWindow(TrafficApi *slot)
{
    return dynamic_cast<TrafficWindow *>(slot);
}
} // namespace

void showTrafficWindow(TrafficApi *&slot)
{
    TrafficWindow *window = openWindow(slot);
    if (!window) {
        window = new TrafficWindow(slot);
        window->setTextOffset(1425);
    }
    window->show();
    keepOnScreen(window);
    window->raise();
}

void unloadTrafficWindow(TrafficApi *&slot)
{
    // Deleted at once, so reporting stops before anything else runs.
    delete openWindow(slot);
}
