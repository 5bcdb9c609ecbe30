#include "simulationcontrol.h"

#include "model/bus.h"
#include "model/car.h"
#include "model/cell.h"
#include "model/chain.h"
#include "model/crossroad.h"
#include "model/generator.h"
#include "model/rightofway.h"
#include "model/semaphore.h"
#include "model/simulationdata.h"
#include "model/tram.h"
#include "model/units.h"
#include "parallelfor.h"
#include "prefetchahead.h"
#include "timetable/clock.h"

#include <algorithm>
#include <array>

namespace {

/// Deletes the vehicles of one list that are among `finished` (sorted), keeping the order of the
/// others.
template <typename V> int64_t removeFinished(std::vector<V *> &list, const std::vector<const Vehicle *> &finished)
{
    if (finished.empty())
        return 0;
    // Asked by address, for reading every vehicle of a city would cost a cache miss for each.
    auto kept = std::stable_partition(list.begin(), list.end(), [&finished](const V *v) {
        return !std::binary_search(finished.begin(), finished.end(), static_cast<const Vehicle *>(v), std::less<>());
    });
    for (auto it = kept; it != list.end(); ++it) {
        release(*it);
        (*it)->withdrawShownWaits();
        delete *it;
    }
    const int64_t removed = list.end() - kept;
    list.erase(kept, list.end());
    return removed;
}

/// The vehicle of an item of a list decided.
template <typename V> V *vehicleOf(V *vehicle)
{
    return vehicle;
}
template <typename V> V *vehicleOf(const std::pair<const Cell *, V *> &byPlace)
{
    return byPlace.second;
}

/// Runs decide(vehicle, lists) for the vehicle of every item of the list, in parallel, each on
/// lists of `deciders` that no other decision uses meanwhile; a decision writes only its own
/// vehicle. The vehicles whose trip the decision ended join their decider's `finished`.
template <typename List, typename Scratch, typename Decide>
void decideAll(List &list, std::vector<Scratch> &deciders, Decide decide)
{
    forEachInParallelWith(list, deciders, ItemWork::Decision, [&](auto &item, size_t i, size_t end, Scratch &own) {
        // A decision may grow its own route: only the vehicles this thread decides next are read
        // ahead.
        prefetchAhead(list, i, end, [](const auto &ahead) { return vehicleOf(ahead); });
        auto *vehicle = vehicleOf(item);
        decide(vehicle, own.lists);
        if (vehicle->isFinished())
            own.finished.push_back(vehicle);
    });
}

/// The vehicles of `list`, each with the cell its front stands on, in the order of those cells.
/// Decisions read only the picture of the last step and write only their own vehicle, so they may
/// run in any order; in this one a vehicle reads the cells ahead soon after the vehicles standing
/// on them did, while those cells are still in the cache.
template <typename V> void orderByPlace(const std::vector<V *> &list, std::vector<std::pair<const Cell *, V *>> &order)
{
    // Reading every vehicle costs a cache miss or two each, so the keys are gathered on all threads.
    order.resize(list.size());
    forEachInParallel(list, ItemWork::Light, [&order, &list](V *v, size_t i) {
        if (i + OBJECTS_AHEAD < list.size())
            prefetchObject(list[i + OBJECTS_AHEAD]);
        order[i] = {v->frontCell(), v};
    });
    // Sorted in two halves side by side, then merged: any order of equal places will do, for the
    // order of decisions changes only what the cache holds.
    const auto byPlace = [](const auto &a, const auto &b) { return std::less<>()(a.first, b.first); };
    const auto middle = order.begin() + std::ptrdiff_t(order.size() / 2);
    std::array<int, 2> halves{0, 1}; // no allocation at every step
    const bool together = spreadsOverPool(order.size(), ItemWork::Light);
    forEachInParallel(halves, together ? ItemWork::Piece : ItemWork::Light, [&](int half, size_t) {
        if (half == 0)
            std::sort(order.begin(), middle, byPlace);
        else
            std::sort(middle, order.end(), byPlace);
    });
    std::inplace_merge(order.begin(), middle, order.end(), byPlace);
}

template <typename V> void publishAll(const std::vector<V *> &list)
{
    for (V *v : list)
        v->publishDecision();
}

} // namespace

SimulationControl::SimulationControl(SimulationData *data) : m_data(data) {}

void SimulationControl::step()
{
    advanceClock();
    updateSemaphores();
    decideVehicles();
    removeFinishedVehicles();
    commitSpeeds();
    resolveDeadlocks();
    moveVehicles();
    dispatchDepartures();
    runGenerators();
}

void SimulationControl::advanceClock()
{
    m_data->time = m_data->time.addMSecs(units::STEP_MS);
    ++m_data->step;
}

void SimulationControl::updateSemaphores()
{
    for (Semaphore *semaphore : m_data->semaphores)
        semaphore->update();
}

void SimulationControl::decideVehicles()
{
    const int second = dayclock::secondOfDay(m_data->time);
    // Each map returns when every vehicle of its list has decided; a decision writes only its own vehicle.
    // A guided decision becomes visible only once its whole map is done, so that no decision
    // depends on which of its peers happened to run first; the next kind sees it.
    // A frame reads the published state (and the committed speed) under the vehicles lock.
    decideAll(m_data->trams, m_deciders, [second](Tram *tram, DecisionLists &lists) { tram->decide(second, lists); });
    {
        VehiclesLock lock(m_vehiclesMutex);
        publishAll(m_data->trams);
    }
    decideAll(m_data->buses, m_deciders, [second](Bus *bus, DecisionLists &lists) { bus->decide(second, lists); });
    {
        VehiclesLock lock(m_vehiclesMutex);
        publishAll(m_data->buses);
    }
    orderByPlace(m_data->cars, m_carsByPlace);
    decideAll(m_carsByPlace, m_deciders, [](Car *car, DecisionLists &lists) { car->decide(lists); });
}

void SimulationControl::removeFinishedVehicles()
{
    m_finished.clear();
    for (DeciderScratch &decider : m_deciders) {
        m_finished.insert(m_finished.end(), decider.finished.begin(), decider.finished.end());
        decider.finished.clear();
    }
    std::sort(m_finished.begin(), m_finished.end(), std::less<>());
    VehiclesLock lock(m_vehiclesMutex);
    const int64_t trips = removeFinished(m_data->trams, m_finished) + removeFinished(m_data->buses, m_finished);
    m_tripsFinished += trips;
    m_vehiclesRemoved += trips + removeFinished(m_data->cars, m_finished);
}

void SimulationControl::commitSpeeds()
{
    if (!approaches.isBuilt())
        approaches.build(m_data->crossroads);
    m_data->listVehicles(m_vehicles);
    m_approachOf.resize(m_vehicles.size());
    m_waiters.resize(m_vehicles.size());
    VehiclesLock lock(m_vehiclesMutex);
    // Reading a vehicle costs a cache miss or two, so the same pass also finds what the deadlock
    // tests read of it: where it stands before a stop line, and whom it stands and waits for.
    // Nothing moves until after those tests.
    forEachInParallel(m_vehicles, ItemWork::Light, [this](Vehicle *v, size_t i) {
        prefetchAhead(m_vehicles, i);
        v->commitSpeed();
        m_approachOf[i] = approaches.approachOf(v);
        m_waiters[i] = WaitCycles::waiterOf(v);
    });
}

void SimulationControl::resolveDeadlocks()
{
    // Where each vehicle stands before a stop line, found as its speed was committed, gathered in
    // the order of the lists.
    approaches.update(m_approachOf);
    const auto upstream = [this](const Cell *stopLine) { return approaches.upstream(stopLine); };
    VehiclesLock lock(m_vehiclesMutex); // a released vehicle commits its new speed
    const std::vector<Crossroad *> &crossroads = m_data->crossroads;
    m_released.clear();
    // The count of approaches, kept side by side for all crossroads, is read before the crossroad.
    for (size_t i = 0; i < crossroads.size(); ++i)
        if (approaches.occupiedApproaches(i) > 2 && !crossroads[i]->hasSemaphore())
            if (Vehicle *released = resolveDeadlock(crossroads[i], upstream))
                m_released.push_back(released);
    // The few vehicles released above no longer stand.
    if (!m_released.empty())
        for (WaitCycles::Waiter &w : m_waiters)
            if (w.vehicle && std::find(m_released.begin(), m_released.end(), w.vehicle) != m_released.end())
                w = WaitCycles::Waiter();
    // Whatever locks the crossroad rule above does not see: waits that close a cycle anywhere.
    m_waitsBroken += waitCycles.breakAll(m_waiters);
}

void SimulationControl::moveVehicles()
{
    // A frame copies every vehicle's cell list under this lock; a move replaces that list.
    VehiclesLock lock(m_vehiclesMutex);
    movePhase.run(*m_data);
}

void SimulationControl::dispatchDepartures()
{
    DepartureCalendar &calendar = m_data->calendar;
    calendar.refresh(m_data->time, m_diagnostics);
    const std::vector<DepartureEntry> due = calendar.takeDue(m_data->time);
    // Departures that waited for room go before the ones falling due now.
    VehiclesLock lock(m_vehiclesMutex); // buses and trams join the lists
    lineGenerator.retryPending(m_data, m_diagnostics);
    lineGenerator.generateDue(due, m_data, m_diagnostics);
}

void SimulationControl::runGenerators()
{
    for (Generator *generator : m_data->generators) {
        // The cars only grow during this loop: once the cap is reached, no later generator acts.
        if (m_data->cars.size() >= m_data->maxCars)
            break;
        if (generator->countdown > 0) {
            --generator->countdown;
            continue;
        }
        // The next car's length is the run's next draw. Building the car takes an id and that draw,
        // so it is built only once a car of that length fits; until then the generator tries again
        // at every step with the same car.
        RunRandom ahead = m_data->random;
        const int32_t length = Car::drawLength(ahead);
        Cell *front = generator->cell ? generator->cell->cellAhead(length - 1) : nullptr;
        if (!canPlace(front, length))
            continue;
        Car *car = new Car(*m_data);
        {
            VehiclesLock lock(m_vehiclesMutex);
            place(front, car); // fits: the car has the length drawn ahead
            m_data->cars.push_back(car);
        }
        ++m_carsCreated;
        generator->countdown = m_data->random.draw() % std::max(generator->period, 1);
    }
}
