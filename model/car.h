#ifndef KOLVEX_MODEL_CAR_H
#define KOLVEX_MODEL_CAR_H

#include "vehicle.h"

class RunRandom;
struct SimulationData;

/// A private car: 3, 4 or 5 m long, turning at random at every crossroad.
class Car : public Vehicle
{
public:
    static constexpr int32_t SHORTEST_M = 3;
    static constexpr int32_t LONGEST_M = 5;

    /// A new car of the run: it takes the run's next vehicle id and draws its length.
    explicit Car(SimulationData &run);
    /// The length in cells of a car drawn from `random`; the constructor's first draw is this one.
    static int32_t drawLength(RunRandom &random);
    ~Car() override = default;

    /// One decision per step, run in parallel with the other cars: looks ahead, plans the route,
    /// asks the crossroad ahead for right of way and leaves the chosen speed in `nextSpeed`. It
    /// works on `lists`, which no other decision uses meanwhile.
    void decide(DecisionLists &lists);

protected:
    /// Only a vehicle pulling out of a bay into this lane, or one indicating that it waits to when
    /// the car can still stop short of it.
    bool heedsBeside(const Event &beside) const override;
};

#endif
