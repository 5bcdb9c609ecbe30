#include "linegenerator.h"

#include "model/bus.h"
#include "model/cell.h"
#include "model/chain.h"
#include "model/simulationdata.h"
#include "model/tram.h"
#include "osm/osmstop.h"
#include "timetable/clock.h"
#include "timetable/publictransportline.h"

#include <algorithm>
#include <iostream>
#include <utility>

void LineGenerator::retryPending(SimulationData *data)
{
    // Where one line found no room, the next of the same platform and vehicle kind finds none
    // either until some vehicle is placed; skipping those keeps a long backlog cheap.
    std::vector<std::pair<const Cell *, int32_t>> full;
    for (auto it = m_pending.begin(); it != m_pending.end();) {
        const std::pair<const Cell *, int32_t> key((*it)->startCell, (*it)->vehicleType);
        if (std::find(full.begin(), full.end(), key) != full.end()) {
            ++it;
        } else if (generate(*it, data, false)) {
            it = m_pending.erase(it);
            full.clear();
        } else {
            full.push_back(key);
            ++it;
        }
    }
}

void LineGenerator::generateDue(const std::vector<PublicTransportLine *> &due, SimulationData *data)
{
    for (PublicTransportLine *line : due)
        generate(line, data, true);
}

bool LineGenerator::generate(PublicTransportLine *line, SimulationData *data, bool rememberOnFailure)
{
    switch (line ? line->vehicleType : -1) {
    case PublicTransportLine::BusLine:
    case PublicTransportLine::TrolleybusLine:
        return generateBus(line, data, rememberOnFailure);
    case PublicTransportLine::TramLine:
        return generateTram(line, data, rememberOnFailure);
    default:
        return true;
    }
}

bool LineGenerator::generateBus(PublicTransportLine *line, SimulationData *data, bool rememberOnFailure)
{
    return generateVehicle(line, data, rememberOnFailure, "bus");
}

bool LineGenerator::generateTram(PublicTransportLine *line, SimulationData *data, bool rememberOnFailure)
{
    return generateVehicle(line, data, rememberOnFailure, "tram");
}

bool LineGenerator::generateVehicle(PublicTransportLine *line, SimulationData *data, bool rememberOnFailure,
                                    const char *kind)
{
    const QTime &time = data->time;
    const int32_t t = dayclock::secondOfDay(time);
    VehicleGuided *vehicle = createVehicle(*data, line, t);
    Cell *start = startPosition(line->startCell, vehicle->length());
    if (!start) {
        if (rememberOnFailure)
            m_pending.push_back(line);
        delete vehicle;
        return false;
    }
    const OSMStop *first = line->stops.empty() ? nullptr : line->stops.front();
    std::cerr << "    generate " << kind << " | name " << line->name << " | at " << (first ? first->nameRef() : "")
              << " | stop id: " << (first ? first->getId() : -1) << std::endl;
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
    for (Cell *c = startCell; c && c->stop; c = c->previous) {
        if (c->vehicle())
            lastTaken = c;
        if (c->previous == startCell) // a platform that loops
            break;
    }
    Cell *candidate = lastTaken ? lastTaken->cellBehind(GAP_BEHIND_STANDING) : startCell;
    if (!candidate || !candidate->stop)
        return nullptr;
    for (int32_t i = 0; i < length; ++i) {
        const Cell *c = candidate->cellBehind(i);
        if (!c || c->vehicle())
            return nullptr;
    }
    const Cell *tail = candidate->cellBehind(length - 1);
    if (!tail->stop)
        return nullptr;
    const Cell *behind = candidate->cellBehind(length);
    for (int32_t i = 0; behind && i < CLEAR_BEHIND; ++i, behind = behind->previous)
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
    const OSMStop *stop = front->stop;
    const Cell *tailBeside = nullptr;
    for (int32_t i = 0; i < length; ++i) {
        const Cell *c = front->cellBehind(i);
        if (!c || !c->sideOf)
            continue;
        tailBeside = c->sideOf;
        if (waitsFor(tailBeside->vehicle(), stop))
            return true;
    }
    const Cell *behind = tailBeside ? tailBeside->previous : nullptr;
    for (int32_t i = 0; behind && i < CLEAR_BEHIND; ++i, behind = behind->previous)
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
