// The one traffic window.
#include "windows/traffic_setup.h"

#include "core/program.h"
#include "screen/screen_fit.h"
#include "windows/traffic_window.h"

namespace {
TrafficWindow *openWindow()
{
    return dynamic_cast<TrafficWindow *>(prog().TrafficWindow);
}
} // namespace

void showTrafficWindow()
{
    TrafficWindow *window = openWindow();
    if (!window) {
        window = new TrafficWindow();
        window->setTextOffset(1425);
    }
    window->show();
    keepOnScreen(window);
    window->raise();
}

void unloadTrafficWindow()
{
    // Deleted at once, so reporting stops before anything else runs.
    delete openWindow();
}
