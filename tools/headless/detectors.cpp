#include "detectors.h"

#include "model/bindingrecords.h"
#include "model/bus.h"
#include "model/car.h"
#include "model/cell.h"
#include "model/simulationdata.h"
#include "model/tram.h"
#include "model/units.h"

#include <map>
#include <unordered_map>

namespace {

/// Cells behind the watched cell where a front that passes it in the next step can be: more
/// than any vehicle advances in one step.
constexpr size_t UPSTREAM_CELLS = 40;

/// Direction of a lane against the node order of its way.
const char *directionOf(const LaneBinding *lane)
{
    const WayBinding *way = lane->wayBinding();
    return way && lane->direction == &way->backward ? "backward" : "forward";
}

/// The cells of the crossroad path that starts at `first`, in driving order; none if it does not lead into `lane`.
std::vector<Cell *> pathCells(Cell *first, const LaneBinding *lane)
{
    std::vector<Cell *> cells;
    for (Cell *c = first; c && c->inCrossroad && cells.size() < UPSTREAM_CELLS; c = c->next())
        cells.push_back(c);
    if (cells.empty() || cells.back()->next() != lane->firstCell)
        cells.clear();
    return cells;
}

std::vector<Cell *> upstreamOf(Cell *watched)
{
    std::vector<Cell *> cells;
    Cell *c = watched;
    for (; c && cells.size() < UPSTREAM_CELLS; c = c->previous()) {
        cells.push_back(c);
        if (c->previous() == watched)
            return cells; // a loop shorter than the window
    }
    // A lane that starts at a crossroad: fronts come from the paths into it, which its first
    // cell does not link back to.
    const Cell *start = cells.back();
    const LaneBinding *lane = start->wayLink();
    if (c || !lane || start != lane->firstCell)
        return cells;
    const size_t along = cells.size();
    for (Cell *first : lane->pathsInto) {
        const std::vector<Cell *> path = pathCells(first, lane);
        for (auto it = path.rbegin(); it != path.rend() && cells.size() < along + UPSTREAM_CELLS; ++it)
            cells.push_back(*it);
    }
    return cells;
}

void collectFronts(const Detectors::Site &site, std::unordered_set<int32_t> &fronts)
{
    fronts.clear();
    for (const Cell *c : site.upstream) {
        const Vehicle *v = c->vehicle();
        if (v && v->frontCell() == c)
            fronts.insert(v->id());
    }
}

template <typename V> void index(const std::vector<V *> &list, std::unordered_map<int32_t, const Vehicle *> &byId)
{
    for (const V *v : list)
        byId.emplace(v->id(), v);
}

} // namespace

const char *const Detectors::CSV_HEADER = "time,step,detector,way,direction,kind,lat,lon,seconds,vehicles,flow_veh_h,"
                                          "mean_speed_kmh,occupancy,density_veh_km";

Detectors::Detectors(const std::vector<DetectorPlace> &places, const SimulationData &data) : places(places)
{
    for (int d = 0; d < int(places.size()); ++d) {
        // The nearest cell of each lane, lanes in the order of their first cell within reach.
        std::map<int32_t, Site> nearest;
        std::unordered_map<const LaneBinding *, int32_t> firstCellOf;
        for (Cell *c : data.allCells()) {
            if (!c->wayLink())
                continue;
            const double metres = geo::distance(places[d].point, c->location());
            if (!(metres <= places[d].radiusM))
                continue;
            auto known = firstCellOf.find(c->wayLink());
            if (known == firstCellOf.end()) {
                firstCellOf.emplace(c->wayLink(), c->id);
                nearest.emplace(c->id, Site{d, c, c->wayLink(), metres, {}, {}, {}});
            } else if (metres < nearest.at(known->second).distanceM) {
                Site &site = nearest.at(known->second);
                site.cell = c;
                site.distanceM = metres;
            }
        }
        for (auto &entry : nearest) {
            Site &site = entry.second;
            site.upstream = upstreamOf(site.cell);
            collectFronts(site, site.approaching);
            watched.push_back(std::move(site));
        }
    }
}

std::vector<int> Detectors::placesWithoutLane() const
{
    std::vector<int> found(places.size(), 0), without;
    for (const Site &site : watched)
        found[size_t(site.detector)] = 1;
    for (int d = 0; d < int(places.size()); ++d)
        if (!found[size_t(d)])
            without.push_back(d);
    return without;
}

void Detectors::observe(const SimulationData &data)
{
    std::unordered_map<int32_t, const Vehicle *> byId; // filled when a front first leaves a window
    std::unordered_set<int32_t> fronts;
    for (Site &site : watched) {
        collectFronts(site, fronts);
        for (int32_t id : site.approaching) {
            if (fronts.count(id))
                continue;
            if (byId.empty()) {
                index(data.trams, byId);
                index(data.buses, byId);
                index(data.cars, byId);
            }
            // Gone from the window: it passed the cell, unless it left the network before it or
            // pulled into a bay beside the lane.
            const auto found = byId.find(id);
            const Cell *front = found != byId.end() ? found->second->frontCell() : nullptr;
            if (front && (front->wayLink() || front->inCrossroad)) {
                site.reading.vehicles += 1;
                site.reading.speedSum += found->second->speed();
            }
        }
        site.approaching.swap(fronts);
        site.reading.steps += 1;
        if (const Vehicle *v = site.cell->vehicle()) {
            site.reading.coveredSteps += 1;
            site.reading.inverseLengths += 1.0 / double(v->length());
        }
    }
}

void Detectors::writeRows(QTextStream &out, const SimulationData &data)
{
    const QString clock = data.time.toString(QStringLiteral("hh:mm:ss.zzz"));
    for (Site &site : watched) {
        const Reading &r = site.reading;
        if (r.steps == 0)
            continue;
        const double seconds = double(r.steps) * units::STEP_S;
        const double perKmPerCell = 1000.0 * units::CELLS_PER_M;
        out << clock << ',' << data.step << ',' << site.detector + 1 << ',' << site.lane->wayId() << ','
            << directionOf(site.lane) << ',' << (site.lane->isTram ? "tram" : "road") << ','
            << QString::number(site.cell->location().lat, 'f', 7) << ','
            << QString::number(site.cell->location().lon, 'f', 7) << ',' << QString::number(seconds, 'f', 2) << ','
            << r.vehicles << ',' << QString::number(double(r.vehicles) * 3600.0 / seconds, 'f', 1) << ','
            << (r.vehicles
                    ? QString::number(double(r.speedSum) / double(r.vehicles) * units::KMH_PER_CELL_PER_STEP, 'f', 2)
                    : QString())
            << ',' << QString::number(double(r.coveredSteps) / double(r.steps), 'f', 4) << ','
            << QString::number(r.inverseLengths / double(r.steps) * perKmPerCell, 'f', 2) << '\n';
        site.reading = Reading();
    }
}

QString Detectors::description() const
{
    QString text;
    for (int d : placesWithoutLane())
        text += QStringLiteral("Detector %1 at %2,%3 finds no lane or track within %4 m\n")
                    .arg(d + 1)
                    .arg(places[size_t(d)].point.lat, 0, 'f', 7)
                    .arg(places[size_t(d)].point.lon, 0, 'f', 7)
                    .arg(places[size_t(d)].radiusM);
    for (const Site &site : watched)
        text += QStringLiteral("Detector %1 watches way %2 %3 (%4) at %5,%6, %7 m from its place\n")
                    .arg(site.detector + 1)
                    .arg(site.lane->wayId())
                    .arg(QLatin1String(directionOf(site.lane)),
                         site.lane->isTram ? QStringLiteral("tram") : QStringLiteral("road"))
                    .arg(site.cell->location().lat, 0, 'f', 7)
                    .arg(site.cell->location().lon, 0, 'f', 7)
                    .arg(site.distanceM, 0, 'f', 1);
    return text;
}
