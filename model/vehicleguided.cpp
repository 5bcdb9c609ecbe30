#include "vehicleguided.h"
#include "units.h"

#include "bindingrecords.h"
#include "cell.h"
#include "chain.h"
#include "crossroad.h"
#include "lanechange.h"
#include "osm/osmstop.h"
#include "simulationdata.h"
#include "timetable/clock.h"
#include "timetable/publictransportline.h"

#include <algorithm>
#include <cmath>

VehicleGuided::VehicleGuided(SimulationData &run, const PublicTransportLine *line, int32_t departure)
    : Vehicle(run.newVehicleId(), run.random), m_loadCount(newLoadCount()), m_departure(departure),
      m_shownLoadCount(m_loadCount)
{
    m_maxSpeed = NORMAL_SPEED;
    if (line) {
        m_lineName = line->name;
        m_wayIds = line->wayIds;
        m_stopIds = line->stopIds;
        // One due time per stop: the line's offsets also list schedule stops it does not serve.
        m_stopOffsets = line->stopDueSec.empty() ? line->stopOffsetsSec : line->stopDueSec;
    }
}

int32_t VehicleGuided::newLoadCount()
{
    return units::steps(20.0) + m_random.next() % units::steps(10.0); // 20 to 29.75 s
}

int32_t VehicleGuided::stepsToCover(int32_t distance) const
{
    int32_t steps = Vehicle::stepsToCover(distance);
    if (steps == STEPS_NEVER)
        return steps;
    if (m_shownState == GuidedState::Loading)
        steps += m_shownLoadCount;
    else if (m_shownState == GuidedState::Waiting)
        steps += m_shownWaitCount;
    return steps;
}

void VehicleGuided::decide(int32_t second, DecisionLists &lists)
{
    decideOn(lists, [this, second] {
        switch (m_state) {
        case GuidedState::Driving:
            drive();
            if (shouldStopHere(frontCell() ? frontCell()->stop() : nullptr))
                m_state = GuidedState::Loading;
            break;
        case GuidedState::Loading:
            waitFor(WaitCause::Loading);
            load(second);
            break;
        case GuidedState::Waiting:
            waitFor(WaitCause::Timetable);
            if (--m_waitCount <= 0)
                m_state = GuidedState::Driving;
            break;
        }
    });
}

void VehicleGuided::load(int32_t second)
{
    if (--m_loadCount > 0)
        return;
    if (isAtTerminus())
        setFinished();
    ++m_stopIndex;
    m_loadCount = newLoadCount();
    m_state = GuidedState::Driving;
    int32_t delta = 0;
    // Off its line's ways (they ran out, or led nowhere) the trip serves the stops of its line it
    // meets, but can no longer keep their times: one met by a shorter way would hold it for long.
    if (pastLastWay() || !secondsEarly(second, delta)) {
        // No time is due at this stop, so the vehicle can be neither early nor late.
        setNormalSpeed();
        return;
    }
    if (delta < 0) {
        if (-delta > LATE_SECONDS)
            setFastSpeed();
        return;
    }
    m_waitCount = int32_t(std::lround(units::STEPS_PER_S * delta));
    m_state = GuidedState::Waiting;
    setNormalSpeed();
}

bool VehicleGuided::secondsEarly(int32_t second, int32_t &delta) const
{
    const int32_t served = m_stopIndex - 1;
    if (served < 0 || served >= int32_t(m_stopOffsets.size()))
        return false;
    delta = dayclock::nearestAcrossMidnight(m_stopOffsets[size_t(served)] + m_departure - second);
    return true;
}

void VehicleGuided::publishDecision()
{
    m_shownState = m_state;
    m_shownLoadCount = m_loadCount;
    m_shownWaitCount = m_waitCount;
    if (m_pendingMaxSpeed > 0) {
        m_maxSpeed = m_pendingMaxSpeed;
        m_pendingMaxSpeed = 0;
    }
    m_laneChange = m_nextLaneChange;
    m_signalsPullOut = m_nextSignalsPullOut;
}

int64_t VehicleGuided::currentWayId() const
{
    const Cell *start = frontCell();
    for (const Cell *c = start; c; c = c->next()) {
        if (c->wayLink())
            return c->wayLink()->wayId();
        if (c->next() == start)
            break;
    }
    return -1;
}

void VehicleGuided::advanceWayIndex(int64_t id)
{
    const int32_t count = int32_t(m_wayIds.size());
    if (m_wayIndex + 1 > count || m_wayIds[size_t(m_wayIndex)] == id)
        return;
    const auto from = m_wayIds.begin() + m_wayIndex + 1;
    m_wayIndex = int32_t(std::find(from, m_wayIds.end(), id) - m_wayIds.begin());
}

int64_t VehicleGuided::nextWayIdAfter(int64_t id) const
{
    const auto from = m_wayIds.begin() + std::min<ptrdiff_t>(m_wayIndex, ptrdiff_t(m_wayIds.size()));
    const auto it = std::find(from, m_wayIds.end(), id);
    if (it == m_wayIds.end() || it + 1 == m_wayIds.end())
        return -1;
    return *(it + 1);
}

void VehicleGuided::planRoute()
{
    const int64_t id = currentWayId();
    if (id >= 0)
        advanceWayIndex(id);
    if (pastLastWay()) {
        planRandomRoute();
        return;
    }
    const bool stuck = extendRoute([](Vehicle &v, Crossroad *x, LaneBinding *key) {
        const auto &guided = static_cast<const VehicleGuided &>(v);
        const int64_t way = key ? key->wayId() : -1;
        const PathPair *pair = x->findPath(key, guided.nextWayIdAfter(way));
        return pair ? pair : x->findPath(key, way); // the way goes straight through the crossroad
    });
    // The line's ways lead nowhere from here (or have run out): drive on at random rather than
    // stand at the crossroad for good.
    if (stuck)
        planRandomRoute();
}

bool VehicleGuided::isNextStop(const OSMStop *stop) const
{
    return stop && m_stopIndex >= 0 && m_stopIndex < int32_t(m_stopIds.size()) &&
           stop->getId() == m_stopIds[size_t(m_stopIndex)];
}

bool VehicleGuided::servesStop(const OSMStop *stop)
{
    if (!stop)
        return false;
    if (isNextStop(stop))
        return true;
    const int64_t id = stop->getId();
    if (m_stopIndex > 0 && m_stopIndex <= int32_t(m_stopIds.size()) && m_stopIds[size_t(m_stopIndex - 1)] == id)
        return false; // the stop just served, still under or ahead of the body
    if (m_stopIndex < 0 || m_stopIndex >= int32_t(m_stopIds.size()))
        return false;
    const auto later = std::find(m_stopIds.begin() + m_stopIndex + 1, m_stopIds.end(), id);
    if (later == m_stopIds.end())
        return false;
    m_stopIndex = int32_t(later - m_stopIds.begin());
    return true;
}

bool VehicleGuided::fitsOnStop(const Cell *platformEnd) const
{
    const OSMStop *stop = platformEnd->stop();
    int32_t cells = 0;
    for (const Cell *c = platformEnd; c && c->stop() == stop && cells < m_length; c = c->previous())
        ++cells;
    return cells >= m_length;
}

bool VehicleGuided::allCellsOnStop() const
{
    return std::all_of(m_cells.begin(), m_cells.end(), [](const Cell *c) { return c->stop() != nullptr; });
}

bool VehicleGuided::shouldStopHere(const OSMStop *stop) const
{
    return m_nextSpeed == 0 && allCellsOnStop() && isNextStop(stop);
}

bool VehicleGuided::isAtTerminus() const
{
    const Cell *front = frontCell();
    if (!front || !front->stop() || m_stopIds.empty())
        return false;
    // A line that starts where it ends passes its last stop first at the start of the trip.
    const int32_t last = int32_t(m_stopIds.size()) - 1;
    return front->stop()->getId() == m_stopIds.back() && m_stopIndex >= last;
}

void VehicleGuided::setNextStop(int64_t id)
{
    const auto it = std::find(m_stopIds.begin(), m_stopIds.end(), id);
    if (it != m_stopIds.end())
        m_stopIndex = int32_t(it - m_stopIds.begin());
}

Vehicle::StopDecision VehicleGuided::atStopAhead()
{
    const EventList &places = m_lists->places;
    const EventList &heeded = m_lists->heeded;
    const Cell *s = places.firstCell();
    if (places.firstType() != EventType::BayEnd)
        return {fitsOnStop(s) && servesStop(s->stop()) ? StopAction::Approach : StopAction::Pass, {}};
    // A bus with a vehicle in the bay beside its front can no longer get into that bay: it drives
    // on to its next stop rather than stand there and shut the other in.
    const Cell *front = frontCell();
    const bool shutOut = front->side() && front->side()->vehicle() && front->side()->vehicle() != this;
    if (!s->side() || shutOut || !fitsOnStop(s->side()) || !servesStop(s->side()->stop()))
        return {StopAction::Pass, {}};
    // The bus drives up to the end of the bay, so that its whole body comes alongside a bay no
    // longer than itself; following the bay end at a margin would leave its tail short of such a
    // bay, and it could never pull in. What stands before the bay end is followed as usual.
    const bool bayFirst = places.firstDistance() <= heeded.firstDistance();
    const Reaction reaction = bayFirst ? Reaction{DriveMode::Approach, places.firstDistance(), nullptr}
                                       : Reaction{DriveMode::Follow, heeded.firstDistance(), nullptr};
    if (bayFirst)
        waitFor(WaitCause::StopRoom, laneChangeBlocker(this, LaneChange::ToSide));
    else
        waitFor(heeded.firstType() == EventType::Vehicle ? WaitCause::VehicleAhead : WaitCause::VehicleBeside,
                heeded.leader());
    if (front->side() && isNextStop(front->side()->stop()) && canChangeLane(this, LaneChange::ToSide))
        setLaneChange(LaneChange::ToSide);
    return {StopAction::Decided, reaction};
}
