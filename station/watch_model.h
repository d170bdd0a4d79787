// The watch as shown: the station's 1 s clock, every hand-box field's text,
// colours and box state with their read-back and colour rules, the switch
// boxes' handlers, and the rule that the sky-temperature mean updates
// MaxCloudTemp. No widget: the station cycle writes here, and the hand box
// window (when there is one) mirrors it through fieldChanged and sends the
// user's clicks and typing back through the slots.
#pragma once

#include "core/hand_box_api.h"
#include "station/button_state.h"

#include <QMutex>
#include <QObject>
#include <QTimer>
#include <array>
#include <functional>
#include <optional>
#include <vector>

struct Settings;
struct WeatherState;

// One field as a window shows it: a copy, so it may cross threads.
struct FieldLook {
    QString text;
    std::optional<uint32_t> back; // unset: the control's own colours
    std::optional<uint32_t> fore;
    int check = 0; // check boxes: 0 clear, 1 checked, 2 greyed
};

// What the window is asked to do with itself.
enum class WindowRequest { Show, Hide, ShowNormal, ShowMinimized, Move, TopMost };

// What closing the watch runs: each step in order (other windows unload,
// settings are saved), one failing does not stop the rest; then quit, unless
// a client-started program still has clients.
struct ClosingSteps {
    std::vector<std::function<void()>> onUnload;
    std::function<bool()> clientsRemain;
    std::function<void()> quit;
};

class WatchModel : public QObject, public HandBoxApi {
    Q_OBJECT
public:
    // `settings` and `weather` are the station's own; `saveSetting` writes one
    // setting's current value to the profile (MaxCloudTemp from the sky mean).
    WatchModel(Settings &settings, WeatherState &weather, std::function<void(const QString &)> saveSetting = {},
               QObject *parent = nullptr);

    // One station cycle per tick of the clock.
    void setTick(std::function<void()> tick) { m_tick = std::move(tick); }
    void setClosing(ClosingSteps steps) { m_closing = std::move(steps); }
    void setStartedByUser(bool byUser) { m_startedByUser = byUser; }
    bool unloaded() const { return m_unloaded; }

    FieldLook look(HandBoxField field) const;

    // HandBoxApi
    void setWindCurrent(double v) override;
    void setWindsGusts(double v) override;
    void setRawWind(double v) override;
    void setWindsAvg(double v) override;
    void setTempComp(int state) override;
    void setAllowAsyncWind(int state) override;
    int16_t buttonState() override { return m_buttons.read(); }
    double aCloudTemp() override;
    void setACloudTemp(double v) override;
    double aTPTemp() override;
    void setATPTemp(double v) override;

    QString fieldText(HandBoxField field) const override;
    void setFieldText(HandBoxField field, const QString &text) override;
    uint32_t backColor(HandBoxField field) const override;
    void setBackColor(HandBoxField field, uint32_t color) override;
    uint32_t foreColor(HandBoxField field) const override;
    void setForeColor(HandBoxField field, uint32_t color) override;
    int checkState(HandBoxField field) const override;
    void setCheckState(HandBoxField field, int state) override;

    void setTimerEnabled(bool on) override;
    bool timerEnabled() const override { return m_clock.isActive(); }
    void setTimerInterval(int ms) override { m_clock.setInterval(ms); }

    void showWindow() override;
    void hideWindow() override;
    bool isWindowVisible() const override { return m_visible; }
    void showNormalWindow() override;
    void showMinimizedWindow() override;
    int windowLeftPx() const override { return m_left; }
    int windowTopPx() const override { return m_top; }
    void moveWindowPx(int left, int top) override;
    void setTopMost(bool on) override;
    // Closes the watch: the closing steps, the clock stops, the window hides.
    void unload() override;

public slots:
    // From the window: what the user did, and where the window is.
    void userEditedText(HandBoxField field, const QString &text);
    void userSetCheck(HandBoxField field, int state);
    void userPressedButton(int direction) { m_buttons.press(int16_t(direction)); }
    void userReleasedButton() { m_buttons.release(); }
    void clearButtons() { m_buttons.clear(); }
    void windowPlaced(int left, int top, bool visible);

signals:
    void fieldChanged(HandBoxField field, const FieldLook &look);
    // After each cycle of the clock (the window's ages move on).
    void ticked();
    void windowRequested(WindowRequest request, int a, int b);
    // A graph box state the window acts on (the graphs are windows).
    void graphsToggled(bool on);

private:
    void setWindValue(HandBoxField label, double v);
    void changed(HandBoxField field) { emit fieldChanged(field, look(field)); }
    void runCheckHandler(HandBoxField field);
    void onCloudTempChanged(const QString &text);
    void onTick();

    Settings &m_settings;
    WeatherState &m_weather;
    std::function<void(const QString &)> m_saveSetting;
    std::function<void()> m_tick;
    ClosingSteps m_closing;
    // The shown fields are written by the watch only and read by windows on
    // another thread (the upload report, the graphs): those reads are locked.
    mutable QMutex m_shown;
    std::array<QString, kHandBoxFieldCount> m_texts{};
    std::array<std::optional<uint32_t>, kHandBoxFieldCount> m_back{};
    std::array<std::optional<uint32_t>, kHandBoxFieldCount> m_fore{};
    std::array<int, kHandBoxFieldCount> m_checks{};
    ButtonStateTracker m_buttons;
    QTimer m_clock;
    int m_left = 0;
    int m_top = 0;
    bool m_visible = false;
    bool m_startedByUser = true;
    bool m_unloaded = false;
};

Q_DECLARE_METATYPE(FieldLook)
