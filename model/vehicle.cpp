#include "vehicle.h"

#include "cell.h"
#include "cellwalk.h"
#include "chain.h"
#include "crossroad.h"
#include "osm/osmstop.h"
#include "rightofway.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>

namespace {
/// The vehicle whose front is nearest the end of the crossroad path from `pathCell`, with the
/// links from that front to the lane the path leads into; null if no front is on the path or the
/// path ends at `skip` (the last cell of the path of the vehicle asking).
const Vehicle *frontMostOnPath(const Cell *pathCell, const Cell *skip, int32_t &linksToLane)
{
    const Vehicle *found = nullptr;
    int32_t frontIndex = 0;
    const Cell *last = nullptr;
    const int32_t count = forEachTakenCellOnPath(pathCell, last, [&](const Cell *c, const Vehicle *v, int32_t index) {
        if (v->frontCell() == c) {
            found = v;
            frontIndex = index;
        }
        return true;
    });
    linksToLane = count - frontIndex;
    return last == skip ? nullptr : found;
}

/// Cells kept free before the vehicle followed (1.5 m).
constexpr int32_t FOLLOW_MARGIN = units::cells(1.5);

/// Nearest integer, halves away from zero.
int32_t nearest(double x)
{
    return int32_t(std::lround(x));
}

} // namespace

Vehicle::Vehicle(int32_t id, const RunRandom &random) : m_id(id), m_random(random.vehicleSeed(id)) {}

Vehicle::~Vehicle() = default;

void Vehicle::planRoute()
{
    planRandomRoute();
}

int32_t Vehicle::stepsToCover(int32_t distance) const
{
    if (distance < 1)
        return 0;
    int32_t steps = 0;
    int32_t covered = 0;
    int32_t v = m_speed;
    while (covered < distance) {
        covered += v;
        v = v + 2 > m_maxSpeed ? m_maxSpeed : v + 2;
        ++steps;
        // A vehicle whose top speed is not positive never gets farther.
        if (v <= 0 && covered < distance)
            return STEPS_NEVER;
    }
    return steps;
}

bool Vehicle::standsAcrossCrossroad() const
{
    const Cell *front = frontCell();
    return front && !front->inCrossroad &&
           std::any_of(m_cells.begin(), m_cells.end(), [](const Cell *c) { return c->inCrossroad; });
}

void Vehicle::commitSpeed()
{
    m_speed = m_nextSpeed;
    // The last cell of a chain entering a crossroad is the stop line: the front stands on it when
    // it is the end of its own chain, which is known without reading the cell.
    const bool atStopLine = m_crossroadAhead && m_front == m_chainEnd;
    setStoodAtStopLine(m_speed == 0 && atStopLine ? m_stoodAtStopLine + 1 : 0);
    showWaitCause(m_speed == 0 ? m_waitCause : WaitCause::None);
    showRoomLane(m_shownWaitCause == WaitCause::ExitRoom ? m_roomLane : nullptr);
    publishPlan();
}

void Vehicle::showRoomLane(const LaneBinding *lane)
{
    if (lane == m_shownRoomLane)
        return;
    if (m_shownRoomLane)
        m_shownRoomLane->waitersForRoom.fetch_sub(1, std::memory_order_relaxed);
    if (lane)
        lane->waitersForRoom.fetch_add(1, std::memory_order_relaxed);
    m_shownRoomLane = lane;
}

void Vehicle::setStoodAtStopLine(int32_t steps)
{
    countAt(m_crossroadAhead, -1);
    m_stoodAtStopLine = steps;
    countAt(m_crossroadAhead, 1);
}

void Vehicle::showWaitCause(WaitCause cause)
{
    countAt(m_crossroadAhead, -1);
    m_shownWaitCause = cause;
    countAt(m_crossroadAhead, 1);
}

void Vehicle::countAt(const Crossroad *crossroad, int32_t delta) const
{
    if (!crossroad)
        return;
    if (m_stoodAtStopLine >= LONG_WAIT)
        crossroad->longStanders.fetch_add(delta, std::memory_order_relaxed);
    if (m_shownWaitCause == WaitCause::ExitRoom)
        crossroad->roomWaiters.fetch_add(delta, std::memory_order_relaxed);
}

void Vehicle::accelerate1()
{
    m_nextSpeed = m_nextSpeed + 1 > m_speedLimit ? m_speedLimit : m_nextSpeed + 1;
}

int32_t Vehicle::brakingDistance() const
{
    return brakingDistanceAt(m_speed);
}

int32_t Vehicle::brakingDistanceFromMax() const
{
    return brakingDistanceAt(m_maxSpeed);
}

int32_t Vehicle::slowdownDistance(int32_t v) const
{
    int32_t sum = 0;
    for (int32_t s = m_maxSpeed; s > v; --s)
        sum += s;
    return sum;
}

Cell *Vehicle::cellAfter(const Cell *cell) const
{
    if (Cell *next = cell->next())
        return next;
    // Looked up by key rather than by position in the route: while the body still straddles the
    // crossroad just passed, its entry is the first of the route, but the front is beyond it.
    const RouteEntry *entry = routeEntryAfter(cell);
    return entry ? entry->pathCell : nullptr;
}

void Vehicle::scanAhead(EventList &events) const
{
    events.clear();
    Cell *c = frontCell();
    const int32_t horizon = lookAheadDistance();
    // The vehicle seen last along the path, compared by address: ids would cost a read of each
    // vehicle met, and no two vehicles of a run share one.
    const Vehicle *lastOnPath = this;
    int32_t lastSideId = m_id;
    int64_t lastTramStop = -1;
    const LaneBinding *pathExit = nullptr; // where the planned path being walked leads
    // d: cells from the front to the cell visited, counted; the cells up to one beyond the
    // look-ahead are seen. A chain that loops is walked round again until the look-ahead ends.
    for (int32_t d = 1; c && d <= horizon + 1;) {
        Cell *last = c;
        const auto visit = [&](Cell *cell, const Vehicle *v, bool plain, int32_t index) {
            const int32_t at = d + index;
            if (v && v != this && v != lastOnPath) {
                events.add(EventType::Vehicle, cell, at - 1);
                lastOnPath = v;
            }
            if (!plain)
                scanCell(cell, at, lastSideId, lastTramStop, pathExit, events);
        };
        d += forEachNotableCellAhead(c, horizon + 2 - d, last, visit);
        c = last->next();
        if (c)
            continue;
        const RouteEntry *entry = routeEntryAfter(last);
        c = entry ? entry->pathCell : nullptr;
        pathExit = entry ? entry->exitLane : nullptr;
    }
}

void Vehicle::scanCell(Cell *c, int32_t d, int32_t &lastSideId, int64_t &lastTramStop, const LaneBinding *pathExit,
                       EventList &events) const
{
    Cell *next = c->next();
    if (next && c->inCrossroad && !next->inCrossroad)
        seeMergingTraffic(c, next, pathExit, d, events);
    const Cell *side = c->side();
    if (side && side->vehicle() && side->vehicle()->id() != lastSideId) {
        events.add(EventType::SideVehicle, c, d - 1);
        lastSideId = side->vehicle()->id();
    }
    const bool platformEnds = !next || !next->stop();
    if (c->stop() && c->stop()->getKind() == BusStop && platformEnds)
        events.add(EventType::BusStopEnd, c, d);
    if (side && side->stop() && (!next || !next->side() || !next->side()->stop()))
        events.add(EventType::BayEnd, c, d);
    if (c->stop() && c->stop()->getKind() == TramStop && platformEnds && c->stop()->getId() != lastTramStop) {
        events.add(EventType::TramStopEnd, c, d);
        lastTramStop = c->stop()->getId();
    }
    if (c->crossroad())
        events.add(EventType::Crossroad, c, d);
    else if (!next)
        events.add(EventType::RouteEnd, c, d);
}

void Vehicle::lookAhead(uint32_t ignored)
{
    scanAhead(m_lists->found);
    m_lists->found.copyIf(m_lists->heeded, [this, ignored](const Event &e) {
        return !(ignored & eventBit(e.type)) && (e.type != EventType::SideVehicle || heedsBeside(e));
    });
    m_lists->heeded.copyIf(m_lists->obstacles, [](const Event &e) { return e.type != EventType::Crossroad; });
    m_lists->heeded.copyIf(m_lists->places, [](const Event &e) {
        return e.type != EventType::Vehicle && e.type != EventType::SideVehicle;
    });
}

bool Vehicle::heedsBeside(const Event &) const
{
    return true;
}

void Vehicle::seeMergingTraffic(const Cell *pathEnd, Cell *laneStart, const LaneBinding *pathExit, int32_t d,
                                EventList &events) const
{
    // The route's lane spares the two reads that find the lane of a cell.
    const LaneBinding *lane = pathExit && pathExit->firstCell == laneStart ? pathExit : laneStart->wayLink();
    if (!lane || lane->pathsInto.size() < 2)
        return;
    // Vehicles inside the crossroad on other paths into the same lane are invisible along this
    // vehicle's own path. The one nearer the lane goes first (the lower id on a tie), and the
    // other follows it as if it were already on its path: its tail projected from its front.
    const int32_t ownLinks = d; // laneStart is d cells ahead of the front
    for (const Cell *start : lane->pathsInto) {
        int32_t links = 0;
        const Vehicle *v = frontMostOnPath(start, pathEnd, links);
        if (!v || v == this || links > ownLinks || (links == ownLinks && v->id() > m_id))
            continue;
        const int32_t tail = std::max(1, ownLinks - links - (v->length() - 1));
        events.insert(EventType::Vehicle, v->frontCell(), tail);
    }
}

void Vehicle::curvesAhead(std::vector<Curve> &curves) const
{
    curvesWithin(curves, lookAheadDistance());
}

void Vehicle::curvesWithin(std::vector<Curve> &curves, int32_t limit) const
{
    curves.clear();
    const Cell *p = tailCell();
    if (!p || limit < 2)
        return;
    const Cell *c = cellAfter(p);
    if (!c)
        return;
    for (int32_t count = 2; count <= limit; ++count) {
        // Skip the straight stretch starting here without following its links one by one.
        if (const int32_t run = c->straightRun(); run > 1 && c->previousIs(p)) {
            if (count + run - 1 > limit)
                break;
            p = c + (run - 1);
            c = p->next();
            count += run - 1;
            continue;
        }
        const Cell *n = cellAfter(c);
        if (!n)
            break;
        const double a = c->hasTurn() && c->previousIs(p) && c->nextIs(n)
                             ? c->turn()
                             : turnAngle(linkBearing(p, c), linkBearing(c, n));
        if (int32_t(std::fabs(a)) >= 2)
            curves.push_back(Curve{count, a});
        p = c;
        c = n;
    }
    // A bend spread over two neighbouring cells counts as one curve.
    size_t out = 0;
    for (size_t i = 0; i < curves.size(); ++i) {
        Curve merged = curves[i];
        if (i + 1 < curves.size() && curves[i + 1].distance == merged.distance + 1) {
            merged.angle += curves[i + 1].angle;
            ++i;
        }
        curves[out++] = merged;
    }
    curves.resize(out);
}

double Vehicle::linkBearing(const Cell *a, const Cell *b) const
{
    if (a->nextIs(b))
        return a->bearingToNext();
    if (const RouteEntry *entry = a->next() ? nullptr : routeEntryAfter(a);
        entry && entry->bearingFrom == a && entry->bearingTo == b)
        return entry->bearing;
    return geo::bearing(a->location(), b->location());
}

int32_t Vehicle::curveSpeed(int32_t angle) const
{
    const int32_t a = std::abs(angle);
    if (a > 120)
        return 1;
    if (a < 10)
        return m_maxSpeed;
    return int32_t(std::ceil((120 - a) / 120.0 * m_maxSpeed));
}

void Vehicle::updateSpeedLimit(std::vector<Curve> &curves)
{
    int32_t limit = m_maxSpeed;
    const int32_t reach = 2 * brakingDistanceFromMax();
    // Bends beyond reach + 1 cannot change the limit: the first record past reach ends the loop,
    // and only a record at reach + 1 can still merge into one at reach.
    curvesWithin(curves, std::min(lookAheadDistance(), reach + 1));
    for (const Curve &curve : curves) {
        if (curve.distance > reach)
            break;
        const int32_t t = curveSpeed(int32_t(curve.angle));
        const int32_t need = t < m_maxSpeed ? nearest(1.5 * slowdownDistance(t)) + m_length : m_length;
        if (curve.distance <= need && t < limit)
            limit = t;
    }
    m_speedLimit = limit == 0 ? 1 : limit;
}

void Vehicle::followSpeed(int32_t distance, const Vehicle *leader, int32_t margin)
{
    int32_t b = brakingDistance();
    if (leader) {
        b -= leader->brakingDistance() / 2;
        if (b < 0)
            b = margin;
    }
    if (m_speedLimit < m_speed) {
        m_nextSpeed = std::max(0, m_nextSpeed - 1);
        return;
    }
    const int32_t free = distance - 1 - margin;
    if (b > free) {
        m_nextSpeed = std::max(0, m_nextSpeed - 2);
        return;
    }
    if (free < 2 * b) {
        if (b == 2)
            m_nextSpeed = std::max(0, m_nextSpeed - 1);
        else if (b > 2) // 2·(2b − free) > 0 here, so the integer ceiling is exact
            m_nextSpeed = std::max(0, m_nextSpeed - (2 * (2 * b - free) + b - 1) / b);
        return;
    }
    if (free <= 3 * b)
        return;
    // b > 0 below: free > 3b ≥ 0 and free ≤ 4b.
    const int32_t gain = free > 4 * b ? 2 : (2 * (free - 3 * b) + b - 1) / b;
    m_nextSpeed = std::min(m_speedLimit, m_nextSpeed + gain);
}

void Vehicle::dawdle()
{
    double p = 0.0;
    if (m_nextSpeed > 1)
        p = m_maxSpeed / 2 < m_nextSpeed ? 0.5 : 0.25;
    const int32_t r = m_random.next();
    if (r < p * double(RandomStream::MAX) && m_nextSpeed > 0)
        --m_nextSpeed;
}

void Vehicle::applyMode(const Reaction &reaction)
{
    switch (reaction.mode) {
    case DriveMode::Stop:
        m_nextSpeed = 0;
        break;
    case DriveMode::Approach:
        followSpeed(reaction.distance, reaction.leader, 0);
        break;
    case DriveMode::Follow:
        followSpeed(reaction.distance, reaction.leader, FOLLOW_MARGIN);
        break;
    }
    dawdle();
}

void Vehicle::planRandomRoute()
{
    extendRoute([](Vehicle &v, Crossroad *x, LaneBinding *key) { return x->randomPath(key, v.m_random); });
}

bool Vehicle::extendRoute(PathChooser choose)
{
    Cell *c = frontCell();
    if (distanceToCrossroad(c) < 0)
        return false;
    const int32_t horizon = lookAheadDistance();
    int32_t total = 0;
    for (bool atFront = true;; atFront = false) {
        // What ends the front's chain is noted in the vehicle: the first crossroad is planned
        // however far it lies, and its rare data would be read from beyond the look-ahead.
        Crossroad *x = atFront ? m_crossroadAhead : crossroadAhead(c);
        const Cell *end = atFront ? m_chainEnd : c->chainEnd();
        if (!x || !end)
            return false;
        LaneBinding *key = atFront ? m_chainEndLane : end->wayLink();
        if (const RouteEntry *entry = routeEntry(x, key)) {
            c = entry->pathCell;
        } else {
            const PathPair *pair = choose(*this, x, key);
            if (!pair)
                return true;
            RouteEntry planned{x, pair->pathCell, key, pair->exitLane};
            if (pair->pathCell) {
                planned.bearingFrom = end;
                planned.bearingTo = pair->pathCell;
                planned.bearing = geo::bearing(end->location(), pair->pathCell->location());
            }
            m_route.push_back(planned);
            c = pair->pathCell;
        }
        const int32_t n = distanceToCrossroad(c);
        if (n < 0)
            return false;
        total += n;
        if (total >= horizon)
            return false;
    }
}

bool Vehicle::cellsAfterMove(int32_t advance, std::vector<Cell *> &out) const
{
    if (m_cells.empty())
        return false;
    const size_t count = m_cells.size();
    out.resize(count);
    // Body cells linkedFrom .. count − 1 each follow the next one along its link. Moving along its
    // lane, such a cell ends up where the cell `advance` ahead of it stands now, so only the front
    // of the body walks on into cells it does not hold.
    const size_t linkedFrom = m_laneChange == LaneChange::None ? count - linkedCellsFromTail() : count - 1;
    const size_t shift = size_t(std::max(advance, 0));
    const Cell *behind = nullptr; // the source cell of the previous (rearer) body cell
    // The cells from `runStart` up to `runEnd` (not included) are each followed by the next one in
    // memory, as the plain run of the last cell the walk read tells: the walk steps over them
    // without reading them, which the move's next pass does when it takes them.
    const Cell *runStart = nullptr;
    const Cell *runEnd = nullptr;
    const auto stepFrom = [this, &runStart, &runEnd](Cell *c) {
        if (runStart && !std::less<>()(c, runStart) && std::less<>()(c, runEnd))
            return c + 1;
        if (const int32_t run = c->plainRun(); run > 1) {
            runStart = c;
            runEnd = c + (run - 1);
        }
        return cellAfter(c);
    };
    size_t k = count;
    if (m_laneChange == LaneChange::None && linkedFrom + shift < count) {
        // The rear of the body moves into cells its own front part holds now.
        k = linkedFrom + shift;
        std::copy(m_cells.begin() + std::ptrdiff_t(linkedFrom), m_cells.end() - std::ptrdiff_t(shift),
                  out.begin() + std::ptrdiff_t(k));
        behind = m_cells[k];
    }
    while (k-- > 0) {
        Cell *cell = m_cells[k];
        if (m_laneChange == LaneChange::ToSideOf)
            cell = cell->sideOf();
        else if (m_laneChange == LaneChange::ToSide)
            cell = cell->side();
        if (!cell)
            return false;
        Cell *target;
        // Past `linkedFrom` the rearer body cell is known to lead to this one.
        if (behind && ((m_laneChange == LaneChange::None && k >= linkedFrom) || behind->nextIs(cell))) {
            // One cell ahead of the rearer cell's target: the walk with route continuation is
            // the same from either start, so this equals walking `advance` cells from `cell`.
            target = stepFrom(out[k + 1]);
        } else {
            target = cell;
            for (int32_t i = 0; i < advance && target; ++i)
                target = stepFrom(target);
        }
        if (!target)
            return false;
        out[k] = target;
        behind = cell;
    }
    return true;
}

size_t Vehicle::linkedCellsFromTail() const
{
    // A piece lies along its links; only where two pieces meet is a link read.
    size_t linked = 0;
    forEachPieceOfBody(m_cells, [this, &linked](size_t rear, size_t count, const OccupantRun &) {
        if (linked > 0 && !m_cells[rear + 1]->nextIs(m_cells[rear]))
            return false;
        linked += count;
        return true;
    });
    return linked;
}

void Vehicle::takeCells(std::vector<Cell *> &cells, int32_t advance)
{
    const bool tailWasInCrossroad = m_tailInCrossroad;
    m_cells.swap(cells);
    noteBodyEnds(m_laneChange == LaneChange::None ? advance : NOT_ALONG_CHAIN);
    // The whole body has just come out of a crossroad: the way through it is done with. Dropped
    // here, for a lane that leads back into the same crossroad (a loop) would keep its entry, and
    // the vehicle would take the same way round for good.
    const Cell *tail = tailCell();
    if (tailWasInCrossroad && tail && !tail->inCrossroad && !m_route.empty() &&
        m_route.front().exitLane == tail->wayLink())
        m_route.erase(m_route.begin());
    trimRoute();
    publishPlan();
}

void Vehicle::limitSpeed(int32_t speed)
{
    m_speed = std::min(m_speed, speed);
    m_nextSpeed = std::min(m_nextSpeed, speed);
}

void Vehicle::trimRoute()
{
    // Drop the crossroads the whole body has passed: keep the route from the first crossroad
    // still ahead of some cell, searched from the tail forward. The cells of a piece lie along one
    // chain, so they share its end; most bodies lie on the front's chain, whose end the vehicle
    // noted.
    int32_t index = -1;
    forEachPieceOfBody(m_cells, [this, &index](size_t rear, size_t, const OccupantRun &) {
        const Cell *end = m_cells[rear]->chainEnd();
        const RouteEntry *entry = end ? routeEntryAfter(end) : nullptr;
        index = entry ? int32_t(entry - m_route.data()) : -1;
        return index < 0;
    });
    if (index >= 0)
        m_route.erase(m_route.begin(), m_route.begin() + index);
    else
        m_route.clear();
}

void Vehicle::noteBodyEnds(int32_t advance)
{
    m_front = m_cells.empty() ? nullptr : m_cells.front();
    m_tailInCrossroad = !m_cells.empty() && m_cells.back()->inCrossroad;
    // Most moves stay on the chain they were on, whose end is known already: then not even the
    // front cell need be read.
    if (m_chainEnd && advance >= 0 && advance <= m_frontToChainEnd) {
        m_frontToChainEnd -= advance;
        return;
    }
    const Cell *front = m_front;
    Cell *end = front ? front->chainEnd() : nullptr;
    m_frontToChainEnd = end ? front->cellsToEnd() : 0;
    if (end != m_chainEnd) {
        m_chainEnd = end;
        Crossroad *ahead = end ? end->crossroad() : nullptr;
        // What the vehicle shows is counted at the crossroad ahead, wherever its front is.
        if (ahead != m_crossroadAhead) {
            countAt(m_crossroadAhead, -1);
            countAt(ahead, 1);
        }
        m_crossroadAhead = ahead;
        m_chainEndLane = end ? end->wayLink() : nullptr;
    }
}

LaneBinding *Vehicle::entryKey() const
{
    return m_chainEndLane;
}

const RouteEntry *Vehicle::nextRouteEntry() const
{
    if (m_route.empty())
        return nullptr;
    if (m_crossroadAhead)
        if (const RouteEntry *entry = routeEntry(m_crossroadAhead, m_chainEndLane))
            return entry;
    return &m_route.front();
}

LaneBinding *Vehicle::nextExitLane() const
{
    const RouteEntry *entry = nextRouteEntry();
    return entry ? entry->exitLane : nullptr;
}

Cell *Vehicle::nextPathCell() const
{
    const RouteEntry *entry = nextRouteEntry();
    return entry ? entry->pathCell : nullptr;
}

const RouteEntry *Vehicle::routeEntry(const Crossroad *crossroad, const LaneBinding *key) const
{
    if (!crossroad || !key)
        return nullptr;
    for (const RouteEntry &entry : m_route)
        if (entry.crossroad == crossroad && entry.entryKey == key)
            return &entry;
    return nullptr;
}

const RouteEntry *Vehicle::routeEntryAfter(const Cell *end) const
{
    // What ends the front's chain is noted in the vehicle: the end cell's rare data would be read.
    if (end == m_chainEnd)
        return m_crossroadAhead ? routeEntry(m_crossroadAhead, m_chainEndLane) : nullptr;
    const Crossroad *crossroad = end->crossroad();
    return crossroad ? routeEntry(crossroad, end->wayLink()) : nullptr;
}

void Vehicle::addRouteEntry(const RouteEntry &entry)
{
    if (!routeEntry(entry.crossroad, entry.entryKey))
        m_route.push_back(entry);
}

bool place(Cell *cell, Vehicle *vehicle)
{
    if (!canPlace(cell, vehicle))
        return false;
    std::vector<Cell *> body;
    body.reserve(size_t(vehicle->length()));
    for (Cell *c = cell; int32_t(body.size()) < vehicle->length(); c = c->previous())
        body.push_back(c);
    vehicle->setCells(body);
    occupy(body, vehicle);
    return true;
}
