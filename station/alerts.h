// The weather conditions the station cycle hands to the alerts: each one as
// holding or not at the moment it is evaluated (rain, cloud and light every
// cycle in that order; wind when a wind window completes).
#pragma once

#include <functional>

enum class AlertKind { Rain, Cloud, Light, Wind };

using AlertHandler = std::function<void(AlertKind kind, bool conditionHolds)>;
