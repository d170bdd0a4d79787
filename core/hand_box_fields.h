// The hand box's fields held in memory: what the station cycle writes and
// reads back when no hand box window exists (bench runs, tools). Texts,
// colours and box states per field; the properties follow the window's
// formats and its aTPTemp read-back rule. No handlers run here.
#pragma once

#include "core/hand_box_api.h"

#include <array>

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
    void setTempComp(int state) override { setCheckState(HandBoxField::TempCompCB, state); }
    void setAllowAsyncWind(int state) override { setCheckState(HandBoxField::AllowAsyncWindCB, state); }
    int16_t buttonState() override { return 0; }
    double aCloudTemp() override;
    void setACloudTemp(double v) override;
    // The ambient as shown, read back to a whole degree (halves to even); an
    // empty box reads 0 and is filled with "200".
    double aTPTemp() override;
    void setATPTemp(double v) override;

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
    int m_timerInterval = 0;
};
