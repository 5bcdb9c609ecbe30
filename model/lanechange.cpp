#include "lanechange.h"

#include "cell.h"
#include "vehicle.h"

namespace {

/// Links walked back from the tail's new cell looking for a vehicle behind: farther than the
/// braking distance of the fastest vehicle no vehicle can be too close.
constexpr int32_t BEHIND_REACH = Vehicle::brakingDistanceAt(Vehicle::TOP_SPEED) + 1;

Cell *beside(const Cell *cell, LaneChange direction)
{
    return direction == LaneChange::ToSide ? cell->side() : cell->sideOf();
}

} // namespace

namespace {

/// The lane change test, naming in `blocker` (when given) the vehicle that stops the change.
/// With `besideOnly`, only the cells beside the body are looked at.
bool testLaneChange(const Vehicle *vehicle, LaneChange to, const Vehicle **blocker, bool besideOnly)
{
    if (to == LaneChange::None)
        return true;
    if (!vehicle || (to != LaneChange::ToSide && to != LaneChange::ToSideOf))
        return false;
    const std::vector<Cell *> &body = vehicle->cells();
    if (body.empty())
        return false;
    const auto blockedBy = [blocker](const Vehicle *v) {
        if (blocker)
            *blocker = v;
        return false;
    };
    const Cell *ahead = nullptr;
    for (const Cell *c : body) {
        const Cell *b = beside(c, to);
        // The cells beside the body must form one run: two bays end to end are two chains.
        if (!b || (ahead && b->next() != ahead))
            return false;
        if (b->isOccupied())
            return blockedBy(b->vehicle());
        ahead = b;
    }
    if (besideOnly)
        return true;
    ahead = beside(body.front(), to);
    for (int32_t i = 0; i < vehicle->speed(); ++i) {
        ahead = ahead->next();
        if (!ahead)
            return false;
        if (ahead->isOccupied())
            return blockedBy(ahead->vehicle());
    }
    const Cell *tailSide = beside(body.back(), to);
    int32_t links = 1;
    for (const Cell *c = tailSide->previous(); c && c != tailSide && links <= BEHIND_REACH; c = c->previous(), ++links)
        if (const Vehicle *v = c->vehicle())
            return v == vehicle || links >= v->brakingDistance() || blockedBy(v);
    return true;
}

} // namespace

bool canChangeLane(const Vehicle *vehicle, LaneChange direction)
{
    return testLaneChange(vehicle, direction, nullptr, false);
}

const Vehicle *laneChangeBlocker(const Vehicle *vehicle, LaneChange direction)
{
    const Vehicle *blocker = nullptr;
    testLaneChange(vehicle, direction, &blocker, false);
    return blocker;
}

bool cellsBesideAreFree(const Vehicle *vehicle, LaneChange direction)
{
    return testLaneChange(vehicle, direction, nullptr, true);
}
