// The hand box, the program's main window: live station values, the check
// boxes that switch the board's automatic functions and the program's own
// processing, the buttons that open the other windows, and the main timer.
#pragma once

#include "core/hand_box_api.h"
#include "core/watch_status.h"
#include "windows/button_state.h"

#include <QHash>
#include <QTimer>
#include <QWidget>
#include <array>
#include <functional>
#include <optional>
#include <vector>

class QCheckBox;
class QLabel;
class QLineEdit;
class QPushButton;
class StatusStrip;

struct WeatherState;

// What the hand box's timer, buttons and boxes reach, and what closing it does.
// An empty action leaves its button disabled.
struct HandBoxActions {
    std::function<void()> tick; // the main timer: one station cycle
    std::function<void()> runSetupDialog;
    std::function<void()> showTrafficWindow;
    std::function<void()> showUploadWindow;
    std::function<void(bool)> showGraphs;
    // Closing: each runs in order (other windows unload, settings are saved),
    // one failing does not stop the rest.
    std::vector<std::function<void()>> onUnload;
    // A client-started program lives on while client objects remain.
    std::function<bool()> clientsRemain;
    std::function<void()> quit; // ends the process once windows are gone
};

class HandBox : public QWidget, public HandBoxApi {
    Q_OBJECT
public:
    // The check boxes' handlers set the station's requests and enables in `weather`.
    explicit HandBox(WeatherState &weather, QWidget *parent = nullptr);

    void setActions(HandBoxActions actions);
    ~HandBox() override;

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
    bool timerEnabled() const override { return m_timer.isActive(); }
    void setTimerInterval(int ms) override { m_timer.setInterval(ms); }

    void showWindow() override;
    void hideWindow() override { hide(); }
    bool isWindowVisible() const override { return isVisible(); }
    void showNormalWindow() override;
    void showMinimizedWindow() override;
    int windowLeftPx() const override { return pos().x(); }
    int windowTopPx() const override { return pos().y(); }
    void moveWindowPx(int left, int top) override { move(left, top); }
    void setTopMost(bool on) override;
    void unload() override;

    // Enables the buttons whose windows exist in this build.
    void updateHookButtons();

    // The watch as it stands: the status strip shows it, and the value boxes
    // are greyed while the board delivers no readings.
    void showWatch(const WatchStatus &status);
    StatusStrip *statusStrip() const { return m_strip; }
    bool valuesGreyed() const { return m_greyed; }

protected:
    void closeEvent(QCloseEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;
    void showEvent(QShowEvent *event) override;
    void changeEvent(QEvent *event) override;

private:
    QLabel *addLabel(const QString &name, const QString &caption, const QString &tip, bool courier = false,
                     bool arial = false);
    QLineEdit *addTextBox(const QString &name, const QString &tip);
    QCheckBox *addCheckBox(const QString &name, const QString &caption, const QString &tip);
    QPushButton *addButton(const QString &name, const QString &caption, const QString &tip);
    void buildLayout();
    // Every field's control, from the name table; a field without one stops the program.
    void bindFields();
    QWidget *control(HandBoxField field) const { return m_fields[size_t(field)]; }
    void applyColors(HandBoxField field);
    // A field's text and colours go to its widget now when the window is
    // seen, else when it is shown again.
    void showFieldText(HandBoxField field);
    void showStaleFields();
    // A text box changed by the user (or by code working on the widget itself).
    void onBoxTextChanged(HandBoxField field, const QString &text);
    void runTextHandler(HandBoxField field);
    void setWindValue(HandBoxField label, double v);
    void enableProcessingBoxes();
    void setValuesGreyed(bool greyed);

    // Handlers
    void onTempCompCB();
    void onAllowAsyncWindCB();
    void onGraphCheck();
    void onCloudTempChanged(const QString &text);
    void onTick();

    WeatherState &m_weather;
    HandBoxActions m_actions;
    QHash<QString, QWidget *> m_controls;
    std::array<QWidget *, kHandBoxFieldCount> m_fields{};
    // The label and text box texts: what the program reads back, whether or
    // not the widgets show them yet.
    std::array<QString, kHandBoxFieldCount> m_texts{};
    std::array<bool, kHandBoxFieldCount> m_textStale{};
    std::array<bool, kHandBoxFieldCount> m_colorsStale{};
    bool m_pushingText = false;
    std::array<std::optional<uint32_t>, kHandBoxFieldCount> m_back{};
    std::array<std::optional<uint32_t>, kHandBoxFieldCount> m_fore{};
    ButtonStateTracker m_buttons;
    QTimer m_timer;
    StatusStrip *m_strip = nullptr;
    bool m_greyed = false;
    bool m_unloaded = false;
};
