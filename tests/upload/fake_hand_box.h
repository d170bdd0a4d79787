// A hand box that only holds field texts: enough for the PWS report, which
// reads the RH text and the measured sky temperature caption.
#pragma once

#include "core/hand_box_api.h"

#include <QHash>

class FakeHandBox : public HandBoxApi {
public:
    QHash<QString, QString> texts;

    void setWindCurrent(double) override {}
    void setWindsGusts(double) override {}
    void setRawWind(double) override {}
    void setWindsAvg(double) override {}
    void setTempComp(int) override {}
    void setAllowAsyncWind(int) override {}
    int16_t buttonState() override { return 0; }
    double aCloudTemp() override { return 0; }
    void setACloudTemp(double) override {}
    double aTPTemp() override { return 0; }
    void setATPTemp(double) override {}
    QString fieldText(const QString &control) const override { return texts.value(control); }
    void setFieldText(const QString &control, const QString &text) override { texts[control] = text; }
    uint32_t backColor(const QString &) const override { return 0; }
    void setBackColor(const QString &, uint32_t) override {}
    uint32_t foreColor(const QString &) const override { return 0; }
    void setForeColor(const QString &, uint32_t) override {}
    int checkState(const QString &) const override { return 0; }
    void setCheckState(const QString &, int) override {}
    void setTimerEnabled(bool) override {}
    bool timerEnabled() const override { return false; }
    void setTimerInterval(int) override {}
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
};
