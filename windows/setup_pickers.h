// The setup dialog's nine pickers: the check box, its file box, the flag it
// keeps in the settings and the kind of file it chooses.
#pragma once

#include "core/settings.h"
#include "windows/setup_control.h"
#include "windows/setup_fields.h"

#include <array>

struct PickerDef {
    SetupControl check;
    SetupControl fileBox;
    int32_t Settings::*flag;
    PickerKind kind;
    const char *caption;
};

inline const std::array<PickerDef, 9> &setupPickers()
{
    using C = SetupControl;
    static const std::array<PickerDef, 9> pickers = {{
        {C::chkRainSounds, C::RainSounds, &Settings::g_bchkRainSounds, PickerKind::Sound, "Rain Sound"},
        {C::chkWindSounds, C::WindSounds, &Settings::g_bchkWindSounds, PickerKind::Sound, "Wind Sound"},
        {C::chkLightSounds, C::LightSounds, &Settings::g_bchkLightSounds, PickerKind::Sound, "Light Sound"},
        {C::chkCloudSounds, C::CloudSounds, &Settings::g_bchkCloudSounds, PickerKind::Sound, "Cloud Sound"},
        {C::chkRainApp, C::RainApp, &Settings::g_bchkRainApp, PickerKind::Program, "Rain App"},
        {C::chkWindApp, C::WindApp, &Settings::g_bchkWindApp, PickerKind::Program, "WindApp"},
        {C::chkLightApp, C::LightApp, &Settings::g_bchkLightApp, PickerKind::Program, "Light App"},
        {C::chkCloudApp, C::CloudApp, &Settings::g_bchkCloudApp, PickerKind::Program, "CloudApp"},
        {C::chkRelayApp, C::RelayApp, &Settings::g_bchkRelayApp, PickerKind::Program, "RelayApp"},
    }};
    return pickers;
}
