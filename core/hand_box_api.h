// What the rest of the program may do with the hand box: its public properties,
// and its fields (HandBoxField). The station cycle writes values here
// and reads some back, since display rounding takes part in its computations.
#pragma once

#include "core/hand_box_field.h"

#include <QString>
#include <cstdint>

// Windows colour values, 0x00BBGGRR.
namespace VbColor {
constexpr uint32_t Red = 255;
constexpr uint32_t Yellow = 65535;
constexpr uint32_t Green = 65280;
constexpr uint32_t White = 16777215;
constexpr uint32_t Black = 0;
} // namespace VbColor

class HandBoxApi {
public:
    virtual ~HandBoxApi() = default;

    // Public properties
    virtual void setWindCurrent(double v) = 0;
    virtual void setWindsGusts(double v) = 0;
    virtual void setRawWind(double v) = 0;
    virtual void setWindsAvg(double v) = 0;
    virtual void setTempComp(int state) = 0;
    virtual void setAllowAsyncWind(int state) = 0;
    virtual int16_t buttonState() = 0;
    virtual double aCloudTemp() = 0;
    virtual void setACloudTemp(double v) = 0;
    virtual double aTPTemp() = 0; // throws ConversionError for a non-numeric text
    virtual void setATPTemp(double v) = 0;

    // Fields: the text of a text box or the caption of a label. Setting a text
    // box's text runs its change handler when the text changes.
    virtual QString fieldText(HandBoxField field) const = 0;
    virtual void setFieldText(HandBoxField field, const QString &text) = 0;
    virtual uint32_t backColor(HandBoxField field) const = 0;
    virtual void setBackColor(HandBoxField field, uint32_t color) = 0;
    virtual uint32_t foreColor(HandBoxField field) const = 0;
    virtual void setForeColor(HandBoxField field, uint32_t color) = 0;
    // Check boxes: 0 clear, 1 checked, 2 greyed. Setting a new state runs the box's handler.
    virtual int checkState(HandBoxField field) const = 0;
    virtual void setCheckState(HandBoxField field, int state) = 0;

    // The main timer
    virtual void setTimerEnabled(bool on) = 0;
    virtual bool timerEnabled() const = 0;
    virtual void setTimerInterval(int ms) = 0;

    // Window
    virtual void showWindow() = 0;
    virtual void hideWindow() = 0;
    virtual bool isWindowVisible() const = 0;
    virtual void showNormalWindow() = 0;      // visible and restored
    virtual void showMinimizedWindow() = 0;
    virtual int windowLeftPx() const = 0;
    virtual int windowTopPx() const = 0;
    virtual void moveWindowPx(int left, int top) = 0;
    virtual void setTopMost(bool on) = 0;
    virtual void unload() = 0;
};
