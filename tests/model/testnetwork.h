#ifndef KOLVEX_TESTS_MODEL_TESTNETWORK_H
#define KOLVEX_TESTS_MODEL_TESTNETWORK_H

#include "model/bindingrecords.h"
#include "model/car.h"
#include "model/simulationdata.h"
#include "model/vehicle.h"
#include "model/vehicleguided.h"
#include "osm/way.h"

#include <type_traits>
#include <vector>

/// The run that numbers the free-standing vehicles of the tests and seeds their streams.
SimulationData &testRun();

/// A vehicle class with setters for the state the rules read, for tests only; numbered by the
/// tests' run. Buses and trams take their line and departure.
template <class Base> class Exposed : public Base
{
public:
    template <class... Args, class B = Base,
              std::enable_if_t<std::is_constructible_v<B, SimulationData &, Args...>, int> = 0>
    explicit Exposed(Args... args) : Base(testRun(), args...)
    {}
    template <class B = Base, std::enable_if_t<!std::is_constructible_v<B, SimulationData &>, int> = 0>
    Exposed() : Base(testRun().newVehicleId(), testRun().random)
    {}

    using Base::linkBearing;
    using Base::turnElsewhere;

    /// A decision on lists of the vehicle's own, as a step lends each decision its thread's.
    template <class... Args> void decide(Args... args) { Base::decide(args..., lists); }

    Exposed &setLength(int32_t v) { return set(this->m_length, v); }
    /// Sets the committed speed and, as after a commit, the next speed.
    Exposed &setSpeed(int32_t v) { return set(this->m_speed, v).set(this->m_nextSpeed, v); }
    Exposed &setMaxSpeed(int32_t v) { return set(this->m_maxSpeed, v); }
    Exposed &setLaneChange(LaneChange change) { return this->m_laneChange = change, *this; }
    Exposed &setSpeedLimit(int32_t v) { return set(this->m_speedLimit, v); }
    Exposed &setLoadCount(int32_t n) { return set(this->m_loadCount, n).set(this->m_shownLoadCount, n); }
    Exposed &setStopIndex(int32_t i) { return set(this->m_stopIndex, i); }
    Exposed &setWayIndex(int32_t i) { return set(this->m_wayIndex, i); }
    /// Records what a decision found it waits for.
    Exposed &setWaiting(WaitCause cause, const Vehicle *blocker = nullptr)
    {
        this->waitFor(cause, blocker);
        return *this;
    }
    /// Shows it standing at its stop line for `steps` steps, waiting for room on `room`, its path
    /// planned through `path`.
    Exposed &setWaitingForRoom(const LaneBinding *room, Cell *path, int32_t steps)
    {
        this->m_waitCause = WaitCause::ExitRoom;
        this->showWaitCause(WaitCause::ExitRoom);
        this->m_roomLane = room;
        this->showRoomLane(room);
        this->m_plannedPath = path;
        this->setStoodAtStopLine(steps);
        return *this;
    }
    /// Sets the state as decided and published.
    Exposed &setState(GuidedState s) { return this->m_state = this->m_shownState = s, *this; }

private:
    Exposed &set(int32_t &field, int32_t v) { return field = v, *this; }

    DecisionLists lists;
};

using TestVehicle = Exposed<Vehicle>;
using TestCar = Exposed<Car>;

/// Cells 0.25 m apart starting at `start` on the heading `bearing`, linked into one chain and
/// owned by `data`.
std::vector<Cell *> makeChain(SimulationData &data, int count, const Location &start = Location(50.0, 14.0),
                              double bearing = 90.0);
/// Links a.next = b and b.previous = a.
void link(Cell *a, Cell *b);
/// Places the vehicle with its front on `front`; fails the test if it does not fit.
void putAt(Cell *front, Vehicle &vehicle);
/// Moves the vehicle alone as the step's move phase does: one that neither moves nor changes lanes
/// keeps its cells; another leaves them for the cells `speed` ahead along its cells and route, or
/// takes them back when that walk runs out (false then).
bool moveAlone(Vehicle &vehicle);
/// Makes `cells` the cells of `lane`, which belongs to `direction` when one is given.
void bindLane(LaneBinding &lane, const std::vector<Cell *> &cells, DirectionBinding *direction = nullptr);

/// Four two-way single-lane arms meeting at one node, with road paths from every incoming lane
/// to the three other arms (right turn, straight on, left turn, in that order) and the conflicts
/// of priority to the right: a path yields to road traffic entering from its right and a left
/// turn to oncoming traffic.
class FourArmCrossroad
{
public:
    /// The arms in their angular order: the next arm of W is S, of S is E, of E is N, of N is W.
    enum Arm { W = 0, S = 1, E = 2, N = 3 };

    /// `laneCells` cells per incoming and outgoing lane; `exitCells` overrides the length of the
    /// outgoing lanes when positive.
    explicit FourArmCrossroad(int laneCells = 60, int exitCells = 0);

    SimulationData data;
    Crossroad *crossroad = nullptr;

    LaneBinding *in(Arm arm) { return &arms[arm].in; }
    LaneBinding *out(Arm arm) { return &arms[arm].out; }
    WayEnd *end(Arm arm) { return &arms[arm].end; }
    WayBinding *way(Arm arm) { return &arms[arm].binding; }
    /// Last cell of the incoming lane of `arm`.
    Cell *stopLine(Arm arm) { return arms[arm].inCells.back(); }
    /// The `i`-th cell of the incoming lane of `arm` counted back from the stop line (0 = stop line).
    Cell *approach(Arm arm, int i) { return arms[arm].inCells[arms[arm].inCells.size() - 1 - size_t(i)]; }
    Cell *exitCell(Arm arm, int i) { return arms[arm].outCells[size_t(i)]; }
    /// First cell of the path from `from` to `to`.
    Cell *pathCell(Arm from, Arm to) { return paths[from][to]; }
    /// The route entry of a vehicle coming from `from` and leaving towards `to`.
    RouteEntry entry(Arm from, Arm to);
    /// Adds a semaphore with one group per arm in arm order; owned by `data`.
    Semaphore *addSemaphore();
    /// Puts the vehicle with its front `back` cells before the stop line of `from`, heading for `to`.
    void arrive(Vehicle &v, Arm from, Arm to, int back = 0);
    /// Puts standing vehicles 12 cells apart from the start of the exit lane of `arm` on.
    void fillExit(Arm arm, std::vector<TestVehicle> &vehicles);
    /// Cells of the path from `from` to `to`.
    int pathLength(Arm from, Arm to);

    static Arm next(Arm a) { return Arm((a + 1) % 4); }
    static Arm previous(Arm a) { return Arm((a + 3) % 4); }

private:
    struct ArmData
    {
        Way osmWay;
        WayBinding binding{&osmWay};
        WayEnd end{&binding, true, 0};
        LaneBinding in, out;
        std::vector<Cell *> inCells, outCells;
    };
    ArmData arms[4];
    NodeBinding node{nullptr};
    Cell *paths[4][4] = {}; ///< first cells by arm from and arm to

    void addConflicts(Arm from, Arm to);
};

/// Three lanes on a straight line joined by two crossroads with one path each:
/// lane 0 → crossroad 0 → lane 1 → crossroad 1 → lane 2, which ends at a network exit.
class CrossroadsInARow
{
public:
    CrossroadsInARow(int laneCells, int pathCells);

    SimulationData data;
    Crossroad *crossroad[2] = {nullptr, nullptr};
    LaneBinding lane[3];
    std::vector<Cell *> laneCells[3];
    std::vector<Cell *> pathCells[2];

    /// The route entry through crossroad i.
    RouteEntry entry(int i) { return RouteEntry{crossroad[i], pathCells[i].front(), &lane[i], &lane[i + 1]}; }
};

#endif
