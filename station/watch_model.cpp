#include "station/watch_model.h"

#include "core/messages.h"
#include "core/number_format.h"
#include "core/settings.h"
#include "station/hand_box_rules.h"
#include "station/station_logging.h"
#include "station/weather_state.h"
#include "station/wind_colors.h"

Q_LOGGING_CATEGORY(lcStation, "tarnwick.station", QtInfoMsg) // debug (raw traffic too) when asked for

WatchModel::WatchModel(Settings &settings, WeatherState &weather, std::function<void(const QString &)> saveSetting,
                       QObject *parent)
    : QObject(parent), m_settings(settings), m_weather(weather), m_saveSetting(std::move(saveSetting)), m_clock(this)
{
    qRegisterMetaType<FieldLook>();
    qRegisterMetaType<HandBoxField>();
    qRegisterMetaType<WindowRequest>();
    m_texts[size_t(HandBoxField::Cloud_Sky)] = QStringLiteral("Here");
    for (HandBoxField f : {HandBoxField::WindCurrentTF, HandBoxField::WindsGustsTF, HandBoxField::WindsAvgTF,
                           HandBoxField::RawWindTF}) {
        m_back[size_t(f)] = VbColor::Black;
        m_fore[size_t(f)] = VbColor::White;
    }
    m_clock.setObjectName(QStringLiteral("timer"));
    connect(&m_clock, &QTimer::timeout, this, &WatchModel::onTick);
}

FieldLook WatchModel::look(HandBoxField f) const
{
    QMutexLocker locked(&m_shown);
    return FieldLook{m_texts[size_t(f)], m_back[size_t(f)], m_fore[size_t(f)], m_checks[size_t(f)]};
}

QString WatchModel::fieldText(HandBoxField field) const
{
    QMutexLocker locked(&m_shown);
    return m_texts[size_t(field)];
}

int WatchModel::checkState(HandBoxField field) const
{
    QMutexLocker locked(&m_shown);
    return m_checks[size_t(field)];
}

// ---- values and their colour rules -------------------------------------------

void WatchModel::setWindValue(HandBoxField label, double v)
{
    setFieldText(label, formatNumber(v, "0.0"));
    const LabelColors c = windValueColors(windLevel(v, m_settings.WindSpeedWarn, m_settings.WindSpeedCloseD));
    setBackColor(label, c.back);
    setForeColor(label, c.fore);
}

void WatchModel::setWindCurrent(double v)
{
    setWindValue(HandBoxField::WindCurrentTF, v);
    const WindLevel level = windLevel(v, m_settings.WindSpeedWarn, m_settings.WindSpeedCloseD);
    setBackColor(HandBoxField::LabelWind, windIndicatorColor(level));
    setBackColor(HandBoxField::LabelRain, rainIndicatorColor(m_weather.RainReading, m_settings.RainThreshold));
}

void WatchModel::setWindsGusts(double v)
{
    setWindValue(HandBoxField::WindsGustsTF, v);
}

void WatchModel::setWindsAvg(double v)
{
    setWindValue(HandBoxField::WindsAvgTF, v);
}

void WatchModel::setRawWind(double v)
{
    setFieldText(HandBoxField::RawWindTF, formatNumber(v, "0"));
}

void WatchModel::setTempComp(int state)
{
    setCheckState(HandBoxField::TempCompCB, state);
}

void WatchModel::setAllowAsyncWind(int state)
{
    setCheckState(HandBoxField::AllowAsyncWindCB, state);
}

double WatchModel::aCloudTemp()
{
    try {
        const int32_t v = wholeFromText(fieldText(HandBoxField::CloudTemp));
        if (v < 0) {
            showMessage(QStringLiteral("Error in manual step size0, must be >0"));
            return -9999;
        }
        return v;
    } catch (const ConversionError &) {
        showMessage(QStringLiteral("Error in Get aCloudTemp >0"));
        return -9999;
    }
}

void WatchModel::setACloudTemp(double v)
{
    setFieldText(HandBoxField::CloudTemp, formatNumber(v, "0.0"));
}

double WatchModel::aTPTemp()
{
    return readBackAmbient(*this); // a non-numeric text throws to the caller
}

void WatchModel::setATPTemp(double v)
{
    setFieldText(HandBoxField::TPTemp, formatNumber(v, "0.0"));
}

// ---- fields -------------------------------------------------------------------

void WatchModel::setFieldText(HandBoxField field, const QString &text)
{
    // An unchanged text changes nothing (no handler runs for it either).
    if (m_texts[size_t(field)] == text)
        return;
    {
        QMutexLocker locked(&m_shown);
        m_texts[size_t(field)] = text;
    }
    if (field == HandBoxField::CloudTemp)
        onCloudTempChanged(text);
    changed(field);
}

void WatchModel::userEditedText(HandBoxField field, const QString &text)
{
    if (m_texts[size_t(field)] == text) {
        changed(field); // the window's box still shows the answer
        return;
    }
    setFieldText(field, text);
}

uint32_t WatchModel::backColor(HandBoxField field) const
{
    QMutexLocker locked(&m_shown);
    return m_back[size_t(field)].value_or(VbColor::White);
}

uint32_t WatchModel::foreColor(HandBoxField field) const
{
    QMutexLocker locked(&m_shown);
    return m_fore[size_t(field)].value_or(VbColor::Black);
}

void WatchModel::setBackColor(HandBoxField field, uint32_t color)
{
    if (m_back[size_t(field)] == color)
        return;
    {
        QMutexLocker locked(&m_shown);
        m_back[size_t(field)] = color;
    }
    changed(field);
}

void WatchModel::setForeColor(HandBoxField field, uint32_t color)
{
    if (m_fore[size_t(field)] == color)
        return;
    {
        QMutexLocker locked(&m_shown);
        m_fore[size_t(field)] = color;
    }
    changed(field);
}

void WatchModel::setCheckState(HandBoxField field, int state)
{
    // The handler runs exactly on a change, as a click's would.
    if (m_checks[size_t(field)] == state)
        return;
    {
        QMutexLocker locked(&m_shown);
        m_checks[size_t(field)] = state;
    }
    changed(field);
    runCheckHandler(field);
}

void WatchModel::userSetCheck(HandBoxField field, int state)
{
    setCheckState(field, state);
}

void WatchModel::runCheckHandler(HandBoxField field)
{
    const int s = m_checks[size_t(field)];
    switch (field) {
    case HandBoxField::TempCompCB:
        if (s != 2)
            m_weather.TempEnabled = s == 1; // greyed leaves the enable as it is
        return;
    case HandBoxField::AllowAsyncWindCB:
        if (s != 2)
            m_weather.WindEnabled = s == 1;
        return;
    case HandBoxField::GraphCheck1: emit graphsToggled(s == 1); return;
    default: runSwitchBoxHandler(*this, m_weather, field); return;
    }
}

void WatchModel::onCloudTempChanged(const QString &text)
{
    if (text.isEmpty())
        return;
    if (text == QLatin1String("-")) {
        showMessage(QStringLiteral("Manual stepsize must be >0"));
        setFieldText(HandBoxField::CloudTemp, QString::number(m_settings.MaxCloudTemp));
        return;
    }
    try {
        const int32_t v = wholeFromText(text);
        // The stored value changes only when the number does: no disk write per cycle.
        if (v != m_settings.MaxCloudTemp) {
            m_settings.MaxCloudTemp = v;
            if (m_saveSetting)
                m_saveSetting(QStringLiteral("MaxCloudTemp"));
        }
    } catch (const ConversionError &) {
        showMessage(QStringLiteral("Manual stepsize must be numeric and >0"));
        setFieldText(HandBoxField::CloudTemp, QString::number(m_settings.MaxCloudTemp));
    }
}

// ---- clock --------------------------------------------------------------------

void WatchModel::setTimerEnabled(bool on)
{
    if (on != m_clock.isActive())
        qCDebug(lcStation) << "watch clock" << (on ? "started" : "stopped");
    if (on && !m_clock.isActive())
        m_clock.start();
    else if (!on)
        m_clock.stop();
}

void WatchModel::onTick()
{
    if (m_tick)
        m_tick();
    emit ticked();
}

// ---- window -------------------------------------------------------------------

void WatchModel::showWindow()
{
    m_visible = true;
    emit windowRequested(WindowRequest::Show, 0, 0);
}

void WatchModel::hideWindow()
{
    m_visible = false;
    emit windowRequested(WindowRequest::Hide, 0, 0);
}

void WatchModel::showNormalWindow()
{
    m_visible = true;
    emit windowRequested(WindowRequest::ShowNormal, 0, 0);
}

void WatchModel::showMinimizedWindow()
{
    m_visible = true;
    emit windowRequested(WindowRequest::ShowMinimized, 0, 0);
}

void WatchModel::moveWindowPx(int left, int top)
{
    m_left = left;
    m_top = top;
    emit windowRequested(WindowRequest::Move, left, top);
}

void WatchModel::setTopMost(bool on)
{
    emit windowRequested(WindowRequest::TopMost, on ? 1 : 0, 0);
}

void WatchModel::windowPlaced(int left, int top, bool visible)
{
    m_left = left;
    m_top = top;
    m_visible = visible;
}

void WatchModel::unload()
{
    if (m_unloaded)
        return;
    m_unloaded = true;
    qCDebug(lcStation) << "closing the watch";
    // A copy: a step may replace the steps.
    const ClosingSteps c = m_closing;
    auto step = [](const std::function<void()> &f) {
        try {
            if (f)
                f();
        } catch (...) {
        }
    };
    m_buttons.clear();
    for (const auto &f : c.onUnload)
        step(f);
    m_clock.stop();
    hideWindow();
    m_buttons.clear();
    // A client-started program lives on while client objects remain; the
    // last one's release ends it.
    if (m_startedByUser || !c.clientsRemain || !c.clientsRemain())
        step(c.quit);
}
