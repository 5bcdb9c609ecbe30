#include "car.h"

#include "cell.h"
#include "simulationdata.h"
#include "units.h"

#include <algorithm>
#include <cmath>

Car::Car(SimulationData &run) : Vehicle(run.newVehicleId(), run.random)
{
    m_length = drawLength(run.random);
}

int32_t Car::drawLength(RunRandom &random)
{
    return int32_t(std::lround(units::CELLS_PER_M * (random.draw() % (LONGEST_M - SHORTEST_M + 1) + SHORTEST_M)));
}

void Car::decide(DecisionLists &lists)
{
    decideOn(lists, [this] {
        lookAhead(STOP_EVENTS);
        chooseSpeed();
    });
}

bool Car::heedsBeside(const Event &beside) const
{
    // A car lets out a bus indicating in a bay ahead when it can stop short of it; one already
    // beside it, or too close to stop, drives on and so leaves the gap the bus waits for.
    const Vehicle *v = beside.cell && beside.cell->side() ? beside.cell->side()->vehicle() : nullptr;
    if (!v)
        return false;
    const bool letOut = v->signalsPullOut() && beside.distance >= std::max(1, brakingDistance());
    return v->laneChange() == LaneChange::ToSideOf || letOut;
}
