#ifndef KOLVEX_MODEL_CAR_H
#define KOLVEX_MODEL_CAR_H

#include "units.h"
#include "vehicle.h"

struct SimulationData;

/// A private car: 3, 4 or 5 m long, turning at random at every crossroad.
class Car : public Vehicle
{
public:
    static constexpr int32_t SHORTEST_M = 3;
    static constexpr int32_t LONGEST_M = 5;
    /// The longest car in cells: the room a generator needs before it builds one.
    static constexpr int32_t LONGEST = int32_t(LONGEST_M * units::CELLS_PER_M);

    /// A new car of the run: it takes the run's next vehicle id and draws its length.
    explicit Car(SimulationData &run);
    ~Car() override = default;

    /// One decision per step, run in parallel with the other cars: looks ahead, plans the route,
    /// asks the crossroad ahead for right of way and leaves the chosen speed in `nextSpeed`.
    void decide();
};

#endif
