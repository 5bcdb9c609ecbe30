#include "testnetwork.h"

#include "model/cell.h"
#include "model/chain.h"
#include "model/crossroad.h"
#include "model/semaphore.h"

#include <gtest/gtest.h>

#include <cmath>

SimulationData &testRun()
{
    static SimulationData run;
    return run;
}

std::vector<Cell *> makeChain(SimulationData &data, int count, const Location &start, double bearing)
{
    std::vector<Cell *> chain;
    Location at = start;
    for (int i = 0; i < count; ++i) {
        Cell *cell = data.createCell();
        cell->setLocation(at);
        if (!chain.empty())
            link(chain.back(), cell);
        chain.push_back(cell);
        at = geo::moveLocation(at, bearing, 0.25);
    }
    return chain;
}

void link(Cell *a, Cell *b)
{
    a->setNext(b);
    b->setPrevious(a);
}

void putAt(Cell *front, Vehicle &vehicle)
{
    ASSERT_TRUE(place(front, &vehicle)) << "vehicle " << vehicle.id() << " does not fit";
}

bool moveAlone(Vehicle &vehicle)
{
    if (vehicle.speed() == 0 && vehicle.laneChange() == LaneChange::None)
        return true;
    release(&vehicle);
    std::vector<Cell *> cells;
    if (!vehicle.cellsAfterMove(vehicle.speed(), cells)) {
        occupy(vehicle.cells(), &vehicle);
        return false;
    }
    occupy(cells, &vehicle);
    vehicle.takeCells(cells, vehicle.speed());
    return true;
}

void bindLane(LaneBinding &lane, const std::vector<Cell *> &cells, DirectionBinding *direction)
{
    for (Cell *c : cells)
        c->setWayLink(&lane);
    lane.firstCell = cells.front();
    lane.lastCell = cells.back();
    lane.direction = direction;
    if (direction)
        direction->lanes.push_back(&lane);
}

namespace {

const Location CENTRE(50.0, 14.0);
/// Bearing from the centre outwards along each arm.
const double ARM_BEARING[4] = {270.0, 180.0, 90.0, 0.0};

/// A point `along` metres out on the arm and `right` metres to the right of the outward direction.
Location armPoint(int arm, double along, double right)
{
    const Location onAxis = geo::moveLocation(CENTRE, ARM_BEARING[arm], along);
    return geo::moveLocation(onAxis, geo::addToBearing(ARM_BEARING[arm], 90.0), right);
}

} // namespace

FourArmCrossroad::FourArmCrossroad(int laneCells, int exitCells)
{
    crossroad = new Crossroad;
    data.crossroads.push_back(crossroad);
    crossroad->setJunction(&node);
    crossroad->setKind(Crossroad::RoadOnly);
    for (int a = 0; a < 4; ++a) {
        ArmData &arm = arms[a];
        arm.osmWay.setId(a + 1);
        arm.end.serial = a;
        arm.binding.startEnd = &arm.end;
        node.wayEnds.push_back(&arm.end);
        arm.in.serial = 10 + 2 * a;
        arm.out.serial = 11 + 2 * a;
        // Right-hand traffic: arriving on the left of the outward direction, leaving on its right.
        arm.inCells = makeChain(data, laneCells, armPoint(a, 6.0 + 0.25 * (laneCells - 1), -1.5),
                                geo::addToBearing(ARM_BEARING[a], 180.0));
        arm.outCells = makeChain(data, exitCells > 0 ? exitCells : laneCells, armPoint(a, 6.0, 1.5), ARM_BEARING[a]);
        bindLane(arm.in, arm.inCells, &arm.binding.backward);
        bindLane(arm.out, arm.outCells, &arm.binding.forward);
        arm.inCells.back()->setCrossroad(crossroad);
    }
    for (int f = 0; f < 4; ++f)
        for (Arm t = next(Arm(f)); t != Arm(f); t = next(t)) {
            Cell *from = arms[f].inCells.back();
            Cell *to = arms[t].outCells.front();
            const int count = std::max(2, int(std::ceil(geo::distance(from->location(), to->location()) / 0.25)) - 1);
            std::vector<Cell *> path;
            for (int i = 1; i <= count; ++i) {
                path.push_back(data.createCell());
                path.back()->setLocation(
                    geo::intermediateLocation(from->location(), to->location(), double(i) / (count + 1)));
                path.back()->inCrossroad = true;
                if (i > 1)
                    link(path[size_t(i - 2)], path.back());
            }
            path.front()->setPrevious(from);
            path.back()->setNext(to);
            crossroad->addPath(in(Arm(f)), out(t), path.front());
            paths[f][t] = path.front();
        }
    for (int f = 0; f < 4; ++f)
        for (Arm t = next(Arm(f)); t != Arm(f); t = next(t))
            addConflicts(Arm(f), t);
}

void FourArmCrossroad::addConflicts(Arm from, Arm to)
{
    // Road traffic entering from the right of the path, heading for the arms on its left, the
    // arm it came from or the arm this path leaves by.
    std::vector<Arm> right, left;
    for (Arm a = previous(to); a != from; a = previous(a))
        right.push_back(a);
    for (Arm a = next(to); a != from; a = next(a))
        left.push_back(a);
    left.push_back(from);
    left.push_back(to);
    for (Arm x : right)
        for (Arm y : left)
            crossroad->addConflict(in(from), out(to), in(x), out(y));
}

RouteEntry FourArmCrossroad::entry(Arm from, Arm to)
{
    return RouteEntry{crossroad, pathCell(from, to), in(from), out(to)};
}

void FourArmCrossroad::arrive(Vehicle &v, Arm from, Arm to, int back)
{
    v.addRouteEntry(entry(from, to));
    putAt(approach(from, back), v);
}

void FourArmCrossroad::fillExit(Arm arm, std::vector<TestVehicle> &vehicles)
{
    for (size_t i = 0; i < vehicles.size(); ++i)
        putAt(exitCell(arm, 11 + 12 * int(i)), vehicles[i]);
}

int FourArmCrossroad::pathLength(Arm from, Arm to)
{
    int cells = 0;
    for (const Cell *c = pathCell(from, to); c->inCrossroad; c = c->next())
        ++cells;
    return cells;
}

Semaphore *FourArmCrossroad::addSemaphore()
{
    auto *semaphore = new Semaphore;
    for (ArmData &arm : arms)
        semaphore->addGroup(&arm.end);
    crossroad->setSemaphore(semaphore);
    data.semaphores.push_back(semaphore);
    return semaphore;
}

CrossroadsInARow::CrossroadsInARow(int cellsPerLane, int cellsPerPath)
{
    const std::vector<Cell *> all = makeChain(data, 3 * cellsPerLane + 2 * cellsPerPath);
    auto at = all.begin();
    for (int i = 0; i < 3; ++i) {
        lane[i].serial = i;
        laneCells[i].assign(at, at + cellsPerLane);
        at += cellsPerLane;
        bindLane(lane[i], laneCells[i]);
        if (i == 2)
            break;
        pathCells[i].assign(at, at + cellsPerPath);
        at += cellsPerPath;
        for (Cell *c : pathCells[i])
            c->inCrossroad = true;
        crossroad[i] = new Crossroad;
        crossroad[i]->setKind(Crossroad::RoadOnly);
        data.crossroads.push_back(crossroad[i]);
        // The chain entering a crossroad ends there: the way on is chosen through the route.
        laneCells[i].back()->setNext(nullptr);
        laneCells[i].back()->setCrossroad(crossroad[i]);
    }
    for (int i = 0; i < 2; ++i)
        crossroad[i]->addPath(&lane[i], &lane[i + 1], pathCells[i].front());
}
