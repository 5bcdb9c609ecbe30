#ifndef KOLVEX_MODEL_LANECHANGE_H
#define KOLVEX_MODEL_LANECHANGE_H

#include <cstdint>

class Vehicle;

/// Sideways moves of a vehicle's whole body.
enum class LaneChange : int32_t {
    None = 0,
    ToSideOf = 1, ///< back onto the cells the current ones lie beside (out of a bay)
    ToSide = 2    ///< onto the cells beside the current ones (into a bay)
};

/// Whether `vehicle` may shift its body sideways in `direction` in the coming move: the cells
/// beside the body exist, are free and form one run along `next`, so are the `speed` cells ahead of the front's new
/// cell, and the first vehicle behind on the new lane is at least its braking distance away. `None` is always allowed.
/// Reads committed speeds only, so it may run in parallel decisions.
bool canChangeLane(const Vehicle *vehicle, LaneChange direction);
/// The vehicle that makes `canChangeLane` fail: one beside the body, ahead of it on the new lane,
/// or too close behind; null when the change may be made or when the cells for it do not exist.
const Vehicle *laneChangeBlocker(const Vehicle *vehicle, LaneChange direction);
/// Whether the cells beside the body in `direction` exist, are free and form one run: the body
/// fits there, whatever comes along the new lane.
bool cellsBesideAreFree(const Vehicle *vehicle, LaneChange direction);

#endif
