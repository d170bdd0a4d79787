// A hand box held in memory, for tests whose subject only writes and reads it
// (the focuser, the setup procedure): texts, colours and box states per field,
// in the watch's own formats and its ambient read-back rule. No handlers run
// here; tests of the station run on the real WatchModel.
#pragma once

#include "core/hand_box_api.h"
#include "core/number_format.h"
#include "station/hand_box_rules.h"

#include <array>

class HandBoxFields : public HandBoxApi {
public:
    void setWindCurrent(double v) override { setFieldText(HandBoxField::WindCurrentTF, formatNumber(v, "0.0")); }
    void setWindsGusts(double v) override { setFieldText(HandBoxField::WindsGustsTF, formatNumber(v, "0.0")); }
    void setRawWind(double v) override { setFieldText(HandBoxField::RawWindTF, formatNumber(v, "0")); }
    void setWindsAvg(double v) override { setFieldText(HandBoxField::WindsAvgTF, formatNumber(v, "0.0")); }
    void setTempComp(int state) override { setCheckState(HandBoxField::TempCompCB, state); }
    void setAllowAsyncWind(int state) override { setCheckState(HandBoxField::AllowAsyncWindCB, state); }
    int16_t buttonState() override { return 0; }
    double aCloudTemp() override
    {
        try {
            const int32_t v = wholeFromText(fieldText(HandBoxField::CloudTemp));
            return v < 0 ? -9999 : v;
        } catch (const ConversionError &) {
            return -9999;
        }
    }
    void setACloudTemp(double v) override { setFieldText(HandBoxField::CloudTemp, formatNumber(v, "0.0")); }
    double aTPTemp() override { return readBackAmbient(*this); }
    void setATPTemp(double v) override { setFieldText(HandBoxField::TPTemp, formatNumber(v, "0.0")); }

    QString fieldText(HandBoxField f) const override { return m_texts[size_t(f)]; }
    void setFieldText(HandBoxField f, const QString &text) override { m_texts[size_t(f)] = text; }
    uint32_t backColor(HandBoxField f) const override { return m_back[size_t(f)]; }
    void setBackColor(HandBoxField f, uint32_t color) override { m_back[size_t(f)] = color; }
    uint32_t foreColor(HandBoxField f) const override { return m_fore[size_t(f)]; }
    void setForeColor(HandBoxField f, uint32_t color) override { m_fore[size_t(f)] = color; }
    int checkState(HandBoxField f) const override { return m_checks[size_t(f)]; }
    void setCheckState(HandBoxField f, int state) override { m_checks[size_t(f)] = state; }

    void setTimerEnabled(bool on) override { m_timerEnabled = on; }
    bool timerEnabled() const override { return m_timerEnabled; }
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

private:
    template <typename T>
    using PerField = std::array<T, kHandBoxFieldCount>;
    static PerField<uint32_t> filled(uint32_t color)
    {
        PerField<uint32_t> a;
        a.fill(color);
        return a;
    }

    PerField<QString> m_texts{};
    PerField<uint32_t> m_back = filled(VbColor::White);
    PerField<uint32_t> m_fore = filled(VbColor::Black);
    PerField<int> m_checks{};
    bool m_timerEnabled = false;
};
