// The hand box's fields held in memory: what the station cycle writes and
// reads back when no hand box window exists (bench runs, tools). Texts,
// colours and box states by control name; the properties follow the window's
// formats and its aTPTemp read-back rule. No handlers run here.
#pragma once

#include "core/hand_box_api.h"

#include <QHash>

// The ambient as shown in "TPTemp", read back to a whole degree (halves to
// even); an empty box reads 0 and is filled with "200"; a text that is not a
// number throws ConversionError. The window and the in-memory hand box share it.
double readBackAmbient(HandBoxApi &box);

class HandBoxFields : public HandBoxApi {
public:
    void setWindCurrent(double v) override;
    void setWindsGusts(double v) override;
    void setRawWind(double v) override;
    void setWindsAvg(double v) override;
    void setTempComp(int state) override { setCheckState(QStringLiteral("TempCompCB"), state); }
    void setAllowAsyncWind(int state) override { setCheckState(QStringLiteral("AllowAsyncWindCB"), state); }
    int16_t buttonState() override { return 0; }
    double aCloudTemp() override;
    void setACloudTemp(double v) override;
    // The ambient as shown, read back to a whole degree (halves to even); an
    // empty box reads 0 and is filled with "200".
    double aTPTemp() override;
    void setATPTemp(double v) override;

    QString fieldText(const QString &control) const override { return m_texts.value(control); }
    void setFieldText(const QString &control, const QString &text) override { m_texts[control] = text; }
    uint32_t backColor(const QString &control) const override { return m_back.value(control, VbColor::White); }
    void setBackColor(const QString &control, uint32_t color) override { m_back[control] = color; }
    uint32_t foreColor(const QString &control) const override { return m_fore.value(control, VbColor::Black); }
    void setForeColor(const QString &control, uint32_t color) override { m_fore[control] = color; }
    int checkState(const QString &control) const override { return m_checks.value(control, 0); }
    void setCheckState(const QString &control, int state) override { m_checks[control] = state; }

    void setTimerEnabled(bool on) override { m_timerEnabled = on; }
    bool timerEnabled() const override { return m_timerEnabled; }
    void setTimerInterval(int ms) override { m_timerInterval = ms; }

    void showWindow() override {}
    void hideWindow() override {}
    bool isWindowVisible() const override { return false; }
    void showNormalWindow() override {}
    void showMinimizedWindow() override {}
    int windowLeftPx() const override { return 0; }
    int windowTopPx() const override { return 0; }
    void moveWindowPx(int, int) override {}
    void setTopMost(bool) override {}
    void unload() override {}

protected:
    QHash<QString, QString> m_texts;
    QHash<QString, uint32_t> m_back;
    QHash<QString, uint32_t> m_fore;
    QHash<QString, int> m_checks;
    bool m_timerEnabled = false;
    int m_timerInterval = 0;
};
