#include "testnetwork.h"

#include "model/cell.h"
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
        cell->location = at;
        if (!chain.empty())
            link(chain.back(), cell);
        chain.push_back(cell);
        at = geo::moveLocation(at, bearing, 0.25);
    }
    return chain;
}

void link(Cell *a, Cell *b)
{
    a->next = b;
    b->previous = a;
}

void putAt(Cell *front, Vehicle &vehicle)
{
    ASSERT_TRUE(place(front, &vehicle)) << "vehicle " << vehicle.id() << " does not fit";
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
    const int outCells = exitCells > 0 ? exitCells : laneCells;
    node = std::make_unique<NodeBinding>(nullptr);
    crossroad = new Crossroad;
    data.crossroads.push_back(crossroad);
    crossroad->setJunction(node.get());
    crossroad->setKind(Crossroad::RoadOnly);
    for (int a = 0; a < 4; ++a) {
        ArmData &arm = arms[a];
        arm.osmWay = std::make_unique<Way>();
        arm.osmWay->setId(a + 1);
        arm.binding = std::make_unique<WayBinding>(arm.osmWay.get());
        arm.end = std::make_unique<WayEnd>(arm.binding.get(), true, a);
        arm.binding->startEnd = arm.end.get();
        arm.in = std::make_unique<LaneBinding>(10 + 2 * a);
        arm.out = std::make_unique<LaneBinding>(11 + 2 * a);
        arm.in->direction = &arm.binding->backward;
        arm.out->direction = &arm.binding->forward;
        arm.binding->backward.lanes.push_back(arm.in.get());
        arm.binding->forward.lanes.push_back(arm.out.get());
        node->wayEnds.push_back(arm.end.get());

        // Right-hand traffic: arriving on the left of the outward direction, leaving on its right.
        const double inner = 6.0;
        arm.inCells = makeChain(data, laneCells, armPoint(a, inner + 0.25 * (laneCells - 1), -1.5),
                                geo::addToBearing(ARM_BEARING[a], 180.0));
        arm.outCells = makeChain(data, outCells, armPoint(a, inner, 1.5), ARM_BEARING[a]);
        for (Cell *c : arm.inCells)
            c->wayLink = arm.in.get();
        for (Cell *c : arm.outCells)
            c->wayLink = arm.out.get();
        arm.inCells.back()->crossroad = crossroad;
        arm.in->firstCell = arm.inCells.front();
        arm.in->lastCell = arm.inCells.back();
        arm.out->firstCell = arm.outCells.front();
        arm.out->lastCell = arm.outCells.back();
    }
    for (int f = 0; f < 4; ++f) {
        for (Arm t = next(Arm(f)); t != Arm(f); t = next(t)) {
            Cell *from = arms[f].inCells.back();
            Cell *to = arms[t].outCells.front();
            const double metres = geo::distance(from->location, to->location);
            const int count = std::max(2, int(std::ceil(metres / 0.25)) - 1);
            Cell *first = nullptr;
            Cell *last = nullptr;
            for (int i = 1; i <= count; ++i) {
                Cell *cell = data.createCell();
                cell->location = geo::intermediateLocation(from->location, to->location, double(i) / (count + 1));
                cell->inCrossroad = true;
                if (last)
                    link(last, cell);
                else
                    first = cell;
                last = cell;
            }
            first->previous = from;
            last->next = to;
            crossroad->addPath(in(Arm(f)), out(t), first);
            paths.push_back({{Arm(f), t}, first});
        }
    }
    for (const auto &p : paths)
        addConflicts(p.first.first, p.first.second);
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

Cell *FourArmCrossroad::pathCell(Arm from, Arm to) const
{
    for (const auto &p : paths)
        if (p.first.first == from && p.first.second == to)
            return p.second;
    return nullptr;
}

RouteEntry FourArmCrossroad::entry(Arm from, Arm to) const
{
    return RouteEntry{crossroad, pathCell(from, to), in(from), out(to)};
}

void FourArmCrossroad::arrive(Vehicle &v, Arm from, Arm to, int back) const
{
    v.addRouteEntry(entry(from, to));
    putAt(approach(from, back), v);
}

void FourArmCrossroad::fillExit(Arm arm, std::vector<TestVehicle> &vehicles) const
{
    for (size_t i = 0; i < vehicles.size(); ++i)
        putAt(exitCell(arm, 11 + 12 * int(i)), vehicles[i]);
}

int FourArmCrossroad::pathLength(Arm from, Arm to) const
{
    int cells = 0;
    for (const Cell *c = pathCell(from, to); c->inCrossroad; c = c->next)
        ++cells;
    return cells;
}

Semaphore *FourArmCrossroad::addSemaphore()
{
    auto *semaphore = new Semaphore;
    for (const ArmData &arm : arms)
        semaphore->addGroup(arm.end.get());
    crossroad->setSemaphore(semaphore);
    data.semaphores.push_back(semaphore);
    return semaphore;
}

CrossroadsInARow::CrossroadsInARow(int cellsPerLane, int cellsPerPath)
{
    const std::vector<Cell *> all = makeChain(data, 3 * cellsPerLane + 2 * cellsPerPath);
    size_t at = 0;
    for (int i = 0; i < 3; ++i) {
        lane[i] = std::make_unique<LaneBinding>(i);
        laneCells[i].assign(all.begin() + long(at), all.begin() + long(at) + cellsPerLane);
        at += size_t(cellsPerLane);
        for (Cell *c : laneCells[i])
            c->wayLink = lane[i].get();
        lane[i]->firstCell = laneCells[i].front();
        lane[i]->lastCell = laneCells[i].back();
        if (i == 2)
            break;
        pathCells[i].assign(all.begin() + long(at), all.begin() + long(at) + cellsPerPath);
        at += size_t(cellsPerPath);
        for (Cell *c : pathCells[i])
            c->inCrossroad = true;
        crossroad[i] = new Crossroad;
        crossroad[i]->setKind(Crossroad::RoadOnly);
        data.crossroads.push_back(crossroad[i]);
        // The chain entering a crossroad ends there: the way on is chosen through the route.
        laneCells[i].back()->next = nullptr;
        laneCells[i].back()->crossroad = crossroad[i];
    }
    for (int i = 0; i < 2; ++i)
        crossroad[i]->addPath(lane[i].get(), lane[i + 1].get(), pathCells[i].front());
}
