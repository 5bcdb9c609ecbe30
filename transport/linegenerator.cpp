#include "linegenerator.h"

#include "model/bus.h"
#include "model/cell.h"
#include "model/chain.h"
#include "model/simulationdata.h"
#include "model/tram.h"
#include "osm/osmstop.h"
#include "report/diagnostics.h"
#include "timetable/publictransportline.h"

#include <algorithm>
#include <utility>

void LineGenerator::retryPending(SimulationData *data, Diagnostics &diagnostics)
{
    // Where one line found no room, the next of the same platform and vehicle kind finds none
    // either until some vehicle is placed; skipping those keeps a long backlog cheap.
    std::vector<std::pair<const Cell *, int32_t>> full;
    for (auto it = m_pending.begin(); it != m_pending.end();) {
        const std::pair<const Cell *, int32_t> key(it->line->startCell, it->line->vehicleType);
        if (std::find(full.begin(), full.end(), key) != full.end()) {
            ++it;
        } else if (generate(*it, data, false, diagnostics)) {
            it = m_pending.erase(it);
            full.clear();
        } else {
            full.push_back(key);
            ++it;
        }
    }
}

void LineGenerator::generateDue(const std::vector<DepartureEntry> &due, SimulationData *data, Diagnostics &diagnostics)
{
    for (const DepartureEntry &departure : due)
        generate(departure, data, true, diagnostics);
}

bool LineGenerator::generate(const DepartureEntry &departure, SimulationData *data, bool rememberOnFailure,
                             Diagnostics &diagnostics)
{
    PublicTransportLine *line = departure.line;
    const char *kind = nullptr;
    switch (line ? line->vehicleType : -1) {
    case PublicTransportLine::BusLine:
    case PublicTransportLine::TrolleybusLine:
        kind = "bus";
        break;
    case PublicTransportLine::TramLine:
        kind = "tram";
        break;
    default:
        return true;
    }
    // A vehicle takes an id (and the random stream that goes with it) when it is made: it is made
    // only once there is room, so that a departure waiting for room uses up none.
    Cell *start = startPosition(line->startCell, line->isTram() ? Tram::LENGTH : Bus::LENGTH);
    if (!start) {
        if (rememberOnFailure)
            m_pending.push_back(departure);
        return false;
    }
    VehicleGuided *vehicle = createVehicle(*data, line, departure.secondOfDay());
    const OSMStop *first = line->stops.empty() ? nullptr : line->stops.front();
    Diagnostic placed;
    placed.severity = Severity::Progress;
    placed.elementId = first ? first->getId() : Diagnostic::NO_ELEMENT;
    placed.text = std::string("    generate ") + kind + " | name " + line->name + " | at " +
                  (first ? first->nameRef() : "") + " | stop id: " + std::to_string(first ? first->getId() : -1);
    diagnostics.add(std::move(placed));
    place(start, vehicle);
    append(data, vehicle);
    ++m_tripsStarted;
    return true;
}

Cell *LineGenerator::startPosition(Cell *startCell, int32_t length)
{
    if (!startCell || length < 1)
        return nullptr;
    Cell *lastTaken = nullptr;
    for (Cell *c = startCell; c && c->stop(); c = c->previous()) {
        if (c->vehicle())
            lastTaken = c;
        if (c->previous() == startCell) // a platform that loops
            break;
    }
    Cell *candidate = lastTaken ? lastTaken->cellBehind(GAP_BEHIND_STANDING) : startCell;
    if (!candidate || !candidate->stop())
        return nullptr;
    for (int32_t i = 0; i < length; ++i) {
        const Cell *c = candidate->cellBehind(i);
        if (!c || c->vehicle())
            return nullptr;
    }
    const Cell *tail = candidate->cellBehind(length - 1);
    if (!tail->stop())
        return nullptr;
    const Cell *behind = candidate->cellBehind(length);
    for (int32_t i = 0; behind && i < CLEAR_BEHIND; ++i, behind = behind->previous())
        if (behind->vehicle())
            return nullptr;
    if (laneBesideHasWaitingVehicle(candidate, length))
        return nullptr;
    return candidate;
}

bool LineGenerator::laneBesideHasWaitingVehicle(const Cell *front, int32_t length)
{
    // A bay is reached from the lane beside it. A bus standing there for its turn at the bay would
    // otherwise lose it to every new trip placed in it, and wait for good at a busy terminus.
    const OSMStop *stop = front->stop();
    const Cell *tailBeside = nullptr;
    for (int32_t i = 0; i < length; ++i) {
        const Cell *c = front->cellBehind(i);
        if (!c || !c->sideOf())
            continue;
        tailBeside = c->sideOf();
        if (waitsFor(tailBeside->vehicle(), stop))
            return true;
    }
    const Cell *behind = tailBeside ? tailBeside->previous() : nullptr;
    for (int32_t i = 0; behind && i < CLEAR_BEHIND; ++i, behind = behind->previous())
        if (waitsFor(behind->vehicle(), stop))
            return true;
    return false;
}

bool LineGenerator::waitsFor(const Vehicle *vehicle, const OSMStop *stop)
{
    const auto *guided = dynamic_cast<const VehicleGuided *>(vehicle);
    return guided && guided->isNextStop(stop);
}

VehicleGuided *LineGenerator::createVehicle(SimulationData &run, const PublicTransportLine *line, int32_t departure)
{
    if (line->isTram())
        return new Tram(run, line, departure);
    return new Bus(run, line, departure);
}

void LineGenerator::append(SimulationData *data, VehicleGuided *vehicle)
{
    if (Tram *tram = dynamic_cast<Tram *>(vehicle))
        data->trams.push_back(tram);
    else if (Bus *bus = dynamic_cast<Bus *>(vehicle))
        data->buses.push_back(bus);
}
