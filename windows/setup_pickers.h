// The setup dialog's nine pickers: the check box, its file box, the flag and
// the file it keeps in the settings and the kind of file it chooses.
#pragma once

#include "core/settings.h"
#include "windows/setup_control.h"
#include "windows/setup_fields.h"

#include <array>

struct PickerDef {
    SetupControl check;
    SetupControl fileBox;
    int32_t Settings::*flag;
    QString Settings::*file;
    PickerKind kind;
    const char *caption;
};

inline const std::array<PickerDef, 9> &setupPickers()
{
    using C = SetupControl;
    static const std::array<PickerDef, 9> pickers = {{
        {C::chkRainSounds, C::RainSounds, &Settings::g_bchkRainSounds, &Settings::g_sRainSounds,
         PickerKind::Sound, "Rain Sound"},
        {C::chkWindSounds, C::WindSounds, &Settings::g_bchkWindSounds, &Settings::g_sWindSounds,
         PickerKind::Sound, "Wind Sound"},
        {C::chkLightSounds, C::LightSounds, &Settings::g_bchkLightSounds, &Settings::g_sLightSounds,
         PickerKind::Sound, "Light Sound"},
        {C::chkCloudSounds, C::CloudSounds, &Settings::g_bchkCloudSounds, &Settings::g_sCloudSounds,
         PickerKind::Sound, "Cloud Sound"},
        {C::chkRainApp, C::RainApp, &Settings::g_bchkRainApp, &Settings::g_sRainApp,
         PickerKind::Program, "Rain App"},
        {C::chkWindApp, C::WindApp, &Settings::g_bchkWindApp, &Settings::g_sWindApp,
         PickerKind::Program, "WindApp"},
        {C::chkLightApp, C::LightApp, &Settings::g_bchkLightApp, &Settings::g_sLightApp,
         PickerKind::Program, "Light App"},
        {C::chkCloudApp, C::CloudApp, &Settings::g_bchkCloudApp, &Settings::g_sCloudApp,
         PickerKind::Program, "CloudApp"},
        {C::chkRelayApp, C::RelayApp, &Settings::g_bchkRelayApp, &Settings::g_sRelayApp,
         PickerKind::Program, "RelayApp"},
    }};
    return pickers;
}
