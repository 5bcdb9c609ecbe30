#include "celldetails.h"

void CellDetails::setWayLink(int32_t slot, LaneBinding *lane)
{
    // Cells are given their lanes lane after lane, so the lane sought is nearly always the last one listed.
    for (size_t i = lanes.size(); i-- > 0;) {
        if (lanes[i] == lane) {
            laneIndex[size_t(slot)] = uint16_t(i);
            return;
        }
    }
    if (lanes.size() > 2 * laneIndex.size()) {
        // The cells were given lanes that they no longer have: keep only the lanes still used, at
        // most one a cell, so that the list stays short and every place fits 16 bits whatever the
        // order of the calls.
        std::vector<LaneBinding *> used{nullptr};
        std::vector<uint16_t> placeInUsed(lanes.size(), NO_LANE);
        for (uint16_t &index : laneIndex) {
            if (index != NO_LANE && placeInUsed[index] == NO_LANE) {
                placeInUsed[index] = uint16_t(used.size());
                used.push_back(lanes[index]);
            }
            index = placeInUsed[index];
        }
        lanes.swap(used);
    }
    laneIndex[size_t(slot)] = uint16_t(lanes.size());
    lanes.push_back(lane);
}
