#include "lanechange.h"

#include "cell.h"
#include "vehicle.h"

namespace {

/// Links walked back from the tail's new cell looking for a vehicle behind: farther than the
/// braking distance of the fastest vehicle (14 + 12 + … + 2) no vehicle can be too close.
constexpr int32_t BEHIND_REACH = 57;

Cell *beside(const Cell *cell, LaneChange direction)
{
    return direction == LaneChange::ToSide ? cell->side : cell->sideOf;
}

} // namespace

bool canChangeLane(const Vehicle *vehicle, int32_t direction)
{
    if (direction == int32_t(LaneChange::None))
        return true;
    if (!vehicle || (direction != int32_t(LaneChange::ToSide) && direction != int32_t(LaneChange::ToSideOf)))
        return false;
    const LaneChange to = LaneChange(direction);
    const std::vector<Cell *> &body = vehicle->cells();
    if (body.empty())
        return false;
    const Cell *ahead = nullptr;
    for (const Cell *c : body) {
        const Cell *b = beside(c, to);
        // The cells beside the body must form one run: two bays end to end are two chains.
        if (!b || b->isOccupied() || (ahead && b->next != ahead))
            return false;
        ahead = b;
    }
    ahead = beside(body.front(), to);
    for (int32_t i = 0; i < vehicle->speed(); ++i) {
        ahead = ahead->next;
        if (!ahead || ahead->isOccupied())
            return false;
    }
    const Cell *tailSide = beside(body.back(), to);
    int32_t links = 1;
    for (const Cell *c = tailSide->previous; c && c != tailSide && links <= BEHIND_REACH; c = c->previous, ++links)
        if (const Vehicle *v = c->vehicle())
            return v == vehicle || links >= v->brakingDistance();
    return true;
}
