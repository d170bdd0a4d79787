// A hand box that only holds field texts: enough for the PWS report, which
// reads the RH text and the measured sky temperature caption.
#pragma once

#include "core/hand_box_fields.h"

using FakeHandBox = HandBoxFields;
