#include "trafficcensus.h"

#include "model/bindingrecords.h"
#include "model/bus.h"
#include "model/car.h"
#include "model/cell.h"
#include "model/cellwalk.h"
#include "model/simulationdata.h"
#include "model/tram.h"
#include "parallelfor.h"
#include "prefetchahead.h"

#include <algorithm>
#include <cstdio>
#include <iterator>
#include <numeric>

namespace {

/// Body cells of the vehicles of `list` whose occupant is another vehicle. Reading every body cell
/// of a city's worth of vehicles costs a cache miss or two per cell, so the vehicles are counted
/// at once; `counts` is room for one count per vehicle.
template <typename V> int64_t cellsTakenOver(const std::vector<V *> &list, std::vector<int32_t> &counts)
{
    counts.assign(list.size(), 0);
    forEachInParallel(list, ItemWork::Light, [&counts, &list](const V *v, size_t i) {
        prefetchAhead(list, i);
        forEachPieceOfBody(v->cells(), [v, &count = counts[i]](size_t, size_t cells, const OccupantRun &occupants) {
            for (size_t j = 0; j < cells; ++j)
                count += occupants[j] != v;
            return true;
        });
    });
    return std::accumulate(counts.begin(), counts.end(), int64_t(0));
}

template <typename V> bool holds(const std::vector<V *> &list, int32_t id)
{
    return std::any_of(list.begin(), list.end(), [id](const V *v) { return v->id() == id; });
}

} // namespace

const char *vehicleKindText(VehicleKind kind)
{
    switch (kind) {
    case VehicleKind::Car:
        return "car";
    case VehicleKind::Bus:
        return "bus";
    case VehicleKind::Tram:
        return "tram";
    }
    return "vehicle";
}

std::string standstillText(const Standstill &s)
{
    if (s.id < 0)
        return "none";
    char place[64];
    std::snprintf(place, sizeof place, "%.7f,%.7f", s.at.lat, s.at.lon);
    std::string text = std::string(vehicleKindText(s.kind)) + ' ' + std::to_string(s.id) + " at " + place;
    text += s.wayId >= 0 ? " on way " + std::to_string(s.wayId) : std::string(" in a crossroad or bay");
    text += std::string(": ") + waitCauseText(s.cause);
    if (s.waitingFor >= 0)
        text += std::string(" (") + vehicleKindText(s.waitingForKind) + ' ' + std::to_string(s.waitingFor) + ')';
    return text;
}

template <typename V> void TrafficCensus::observeKind(const std::vector<V *> &list, VehicleKind kind, int64_t now)
{
    for (const V *v : list) {
        // A vehicle that changed lanes without advancing stands in another place.
        if (v->speed() != 0 || v->laneChange() != LaneChange::None)
            continue;
        ++m_standing;
        Stood &stood = m_stood.try_emplace(v->id(), Stood{0, 0}).first->second;
        stood.steps = stood.seenAt == now - 1 ? stood.steps + 1 : 1;
        stood.seenAt = now;
        // The first vehicle in list order wins a tie, so the report does not depend on hashing.
        if (stood.steps > m_longest.steps) {
            const Cell *front = v->frontCell();
            m_longest.steps = stood.steps;
            m_longest.id = v->id();
            m_longest.kind = kind;
            m_longest.at = front ? front->location() : Location();
            m_longest.wayId = front && front->wayLink() ? front->wayLink()->wayId() : -1;
            m_longest.cause = v->waitCause();
            m_longest.waitingFor = v->waitingForId();
        }
    }
}

VehicleKind TrafficCensus::kindOf(const SimulationData &data, int32_t id) const
{
    if (holds(data.trams, id))
        return VehicleKind::Tram;
    return holds(data.buses, id) ? VehicleKind::Bus : VehicleKind::Car;
}

void TrafficCensus::observe(const SimulationData &data)
{
    const int64_t now = ++m_observations;
    m_standing = 0;
    m_longest = Standstill();
    observeKind(data.trams, VehicleKind::Tram, now);
    observeKind(data.buses, VehicleKind::Bus, now);
    observeKind(data.cars, VehicleKind::Car, now);
    if (m_longest.waitingFor >= 0)
        m_longest.waitingForKind = kindOf(data, m_longest.waitingFor);
    if (m_longest.steps > m_longestEver.steps)
        m_longestEver = m_longest;
    // Forget the vehicles that moved or left.
    for (auto it = m_stood.begin(); it != m_stood.end();)
        it = it->second.seenAt == now ? std::next(it) : m_stood.erase(it);
    m_shared = cellsTakenOver(data.trams, m_counts) + cellsTakenOver(data.buses, m_counts) +
               cellsTakenOver(data.cars, m_counts);
    m_sharedTotal += m_shared;
}

int32_t TrafficCensus::standstillOf(int32_t id) const
{
    const auto it = m_stood.find(id);
    return it == m_stood.end() ? 0 : it->second.steps;
}
