// A hand box that records what the focuser sets on it.
#pragma once

#include "core/hand_box_api.h"

#include <QMap>
#include <vector>

class FakeHandBox : public HandBoxApi {
public:
    std::vector<int> tempCompStates;
    std::vector<double> windsAvg;
    int unloads = 0;

    void setWindCurrent(double) override {}
    void setWindsGusts(double) override {}
    void setRawWind(double) override {}
    void setWindsAvg(double v) override { windsAvg.push_back(v); }
    void setTempComp(int state) override { tempCompStates.push_back(state); }
    void setAllowAsyncWind(int) override {}
    int16_t buttonState() override { return 0; }
    double aCloudTemp() override { return 0; }
    void setACloudTemp(double) override {}
    double aTPTemp() override { return 0; }
    void setATPTemp(double) override {}
    QString fieldText(const QString &c) const override { return m_text.value(c); }
    void setFieldText(const QString &c, const QString &t) override { m_text[c] = t; }
    uint32_t backColor(const QString &) const override { return 0; }
    void setBackColor(const QString &, uint32_t) override {}
    uint32_t foreColor(const QString &) const override { return 0; }
    void setForeColor(const QString &, uint32_t) override {}
    int checkState(const QString &) const override { return 0; }
    void setCheckState(const QString &, int) override {}
    void setTimerEnabled(bool) override {}
    bool timerEnabled() const override { return true; }
    void setTimerInterval(int) override {}
    void showWindow() override {}
    void hideWindow() override {}
    bool isWindowVisible() const override { return true; }
    void showNormalWindow() override {}
    void showMinimizedWindow() override {}
    int windowLeftPx() const override { return 0; }
    int windowTopPx() const override { return 0; }
    void moveWindowPx(int, int) override {}
    void setTopMost(bool) override {}
    void unload() override { ++unloads; }

private:
    QMap<QString, QString> m_text;
};
