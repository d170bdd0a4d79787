// The graph windows behind the hand box's "Graphs" box, owned by the program.
#pragma once

#include "watch/observation.h"
#include "windows/graph_window.h"

#include <QPointer>
#include <optional>

class QWidget;

class GraphWindows {
public:
    GraphWindows() = default;
    ~GraphWindows();
    GraphWindows(const GraphWindows &) = delete;
    GraphWindows &operator=(const GraphWindows &) = delete;

    // The archive the windows fill their span from when they open (none by default).
    void setHistorySource(GraphHistorySource source) { m_history = std::move(source); }

    // True shows both windows, creating them on first use (owned by `owner`,
    // the hand box); false hides them, and they keep sampling.
    void show(bool show, QWidget *owner);
    void unload();

    // Each observation of the watch, on the windows' thread: what they sample.
    void offerObservation(const Observation &o);

    // The windows, or null while not loaded.
    GraphWindow *temperatures() const { return m_temperatures.data(); }
    GraphWindow *windHumidity() const { return m_windHumidity.data(); }

private:
    GraphWindow *opened(GraphWindow *w) const;

    // Guarded: the hand box owns them and may delete them first.
    QPointer<GraphWindow> m_temperatures;
    QPointer<GraphWindow> m_windHumidity;
    GraphHistorySource m_history;
    std::optional<Observation> m_latest;
};
