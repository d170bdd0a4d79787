// A hand box that records what the focuser sets on it.
#pragma once

#include "hand_box_fields.h"

#include <vector>

class FakeHandBox : public HandBoxFields {
public:
    std::vector<int> tempCompStates;
    std::vector<double> windsAvg;
    int unloads = 0;

    void setWindsAvg(double v) override
    {
        windsAvg.push_back(v);
        HandBoxFields::setWindsAvg(v);
    }
    void setTempComp(int state) override
    {
        tempCompStates.push_back(state);
        HandBoxFields::setTempComp(state);
    }
    void unload() override { ++unloads; }
};
