#include "linecreator.h"

#include "linegenerator.h"

#include "model/bindingdata.h"
#include "model/cell.h"
#include "model/crossroad.h"
#include "model/random.h"
#include "model/simulationdata.h"
#include "model/vehicleguided.h"
#include "osm/osmroutes.h"
#include "osm/osmstop.h"
#include "osm/way.h"
#include "report/diagnostics.h"
#include "timetable/clock.h"
#include "timetable/publictransportlines.h"
#include "timetable/scheduleparser.h"

#include <QString>

#include <algorithm>
#include <cmath>
#include <unordered_set>

namespace {

using dayclock::SECONDS_PER_DAY;
constexpr int32_t MINUTES_PER_DAY = 24 * 60;

/// Jitter of a timetable time: 15 − (r mod 30), so −14..+15 seconds.
int32_t jitter(RunRandom &random)
{
    return 15 - random.draw() % 30;
}

QString folded(const std::string &name)
{
    return QString::fromUtf8(name.data(), int(name.size())).toCaseFolded();
}

const char *lineTypeText(int32_t lineType)
{
    switch (lineType) {
    case Schedule::Tram:
        return "tram";
    case Schedule::Trolleybus:
        return "troj";
    case Schedule::Bus:
        return "bus";
    default:
        return "no type";
    }
}

const char *const COMPONENT = "LineCreator";

/// Index of the first schedule stop whose name equals `name` ignoring case; −1 if none.
int firstScheduleStop(const Schedule *schedule, const std::string &name)
{
    for (size_t j = 0; j < schedule->stops.size(); ++j)
        if (LineCreator::namesEqual(schedule->stops[j].name, name))
            return int(j);
    return -1;
}

bool containsNode(const Way *way, const Node *node)
{
    const std::vector<Node *> &nodes = way->nodes();
    return std::find(nodes.begin(), nodes.end(), node) != nodes.end();
}

/// The lane on which a vehicle of `line` leaves `node` along `way`; null if there is none.
LaneBinding *outgoingLane(const PublicTransportLine *line, BindingData *bindings, const Way *way, const Node *node)
{
    const NodeBinding *nodeBinding = bindings->findNodeBinding(node);
    if (!nodeBinding)
        return nullptr;
    for (const WayEnd *end : nodeBinding->wayEnds) {
        if (end->way->way != way)
            continue;
        const DirectionBinding &out = end->outgoing();
        if (line->isTram())
            return out.tramLane;
        return out.lanes.empty() ? nullptr : out.lanes.front();
    }
    return nullptr;
}

/// The lanes a vehicle of `line` drives from `from` to `to`, in order.
std::vector<LaneBinding *> lanesBetween(const PublicTransportLine *line, BindingData *bindings, const OSMStop *from,
                                        const OSMStop *to)
{
    std::vector<LaneBinding *> lanes;
    const std::vector<Way *> &ways = line->ways;
    const Node *fromNode = from->getNode();
    size_t i = 0;
    const Node *current = nullptr;
    for (; i < ways.size(); ++i) {
        if (!ways[i]->isEndNode(fromNode))
            continue;
        // Of two pieces meeting at the stop, the one after it leaves the stop.
        if (i + 1 < ways.size() && ways[i + 1]->isEndNode(fromNode))
            ++i;
        LaneBinding *lane = outgoingLane(line, bindings, ways[i], fromNode);
        if (!lane)
            continue;
        lanes.push_back(lane);
        current = ways[i]->firstNode() == fromNode ? ways[i]->lastNode() : ways[i]->firstNode();
        ++i;
        break;
    }
    for (; current && i < ways.size(); ++i) {
        if (current == to->getNode())
            break;
        const Way *way = ways[i];
        if (!way->isEndNode(current))
            continue;
        if (LaneBinding *lane = outgoingLane(line, bindings, way, current))
            lanes.push_back(lane);
        current = way->firstNode() == current ? way->lastNode() : way->firstNode();
    }
    return lanes;
}

/// Links from the lane's first cell to its last one. Lanes meeting at a node without a crossroad
/// form one chain, so the end of the chain is not the end of the lane.
int32_t laneLinks(const LaneBinding *lane)
{
    int32_t links = 0;
    for (const Cell *c = lane->firstCell; c && c != lane->lastCell; c = c->next()) {
        if (c->next() == lane->firstCell)
            return 0; // a loop without the last cell
        ++links;
    }
    return links;
}

/// The cell `fraction` of the way along `lanes`; null if there is none.
Cell *cellAtFraction(const std::vector<LaneBinding *> &lanes, double fraction)
{
    if (fraction < 0.0 || fraction > 1.0)
        return nullptr;
    std::vector<int32_t> lengths;
    int64_t total = 0;
    for (const LaneBinding *lane : lanes) {
        lengths.push_back(laneLinks(lane));
        total += lengths.back();
    }
    const int64_t target = std::llround(fraction * double(total));
    int64_t start = 0;
    for (size_t i = 0; i < lanes.size(); ++i) {
        if (target >= start && target <= start + lengths[i])
            return lanes[i]->firstCell ? lanes[i]->firstCell->cellAhead(int32_t(target - start)) : nullptr;
        start += lengths[i];
    }
    return nullptr;
}

/// Places a vehicle of `line` that left at `departure` between `from` and `to`.
bool pregenerateVehicle(SimulationData *data, BindingData *bindings, PublicTransportLine *line, const OSMStop *from,
                        const OSMStop *to, double fraction, int32_t departure)
{
    Cell *cell = cellAtFraction(lanesBetween(line, bindings, from, to), fraction);
    if (!cell)
        return false;
    VehicleGuided *vehicle = LineGenerator::createVehicle(*data, line, departure);
    if (!vehicle)
        return false;
    vehicle->setNextStop(to->getId());
    if (!place(cell, vehicle)) {
        delete vehicle;
        return false;
    }
    LineGenerator::append(data, vehicle);
    return true;
}

} // namespace

const char *LineCreationReport::reasonText(LineRejection reason)
{
    switch (reason) {
    case LineRejection::NoRoute:
        return "no route of that name and type";
    case LineRejection::TooFewStops:
        return "fewer than two of its stops matched in route order";
    case LineRejection::StopsNotOnWays:
        return "the route cannot be cut at the matched stops";
    case LineRejection::NoStartCell:
        return "no start platform at the first stop";
    default:
        return "created";
    }
}

bool LineCreator::namesEqual(const std::string &a, const std::string &b)
{
    return a == b || folded(a) == folded(b);
}

bool LineCreator::typeMatches(const std::string &routeType, int32_t lineType)
{
    switch (lineType) {
    case Schedule::Tram:
        return routeType == "tram";
    case Schedule::Trolleybus:
        return routeType == "trolleybus";
    case Schedule::Bus:
        return routeType == "bus";
    default:
        return true;
    }
}

LineCreationReport LineCreator::createLines(OSMRoutes *routes, ScheduleParser *schedules, PublicTransportLines *lines,
                                            BindingData *bindingData, RunRandom &random, Diagnostics &diagnostics)
{
    LineCreationReport report;
    report.schedules = schedules ? int32_t(schedules->schedules().size()) : 0;
    diagnostics.add(Severity::Progress, COMPONENT,
                    "Creating lines | schedule count = " + std::to_string(report.schedules));
    if (!schedules || !lines)
        return report;
    for (const Schedule *schedule : schedules->schedules()) {
        LineRejection reason = LineRejection::None;
        PublicTransportLine *line = createLine(routes, schedule, bindingData, random, &reason, &diagnostics);
        ++report.leftOut[int(reason)];
        if (line) {
            lines->add(line);
            ++report.created;
            continue;
        }
        diagnostics.add(Severity::Warning, COMPONENT,
                        "    line " + schedule->name + " (" + lineTypeText(schedule->lineType) +
                            ") left out: " + LineCreationReport::reasonText(reason));
    }
    report.leftOut[0] = 0;
    if (report.created == 0 && report.schedules > 0)
        diagnostics.add(Severity::Warning, COMPONENT, "No line created: no schedule matches a route of the map");
    return report;
}

PublicTransportLine *LineCreator::createLine(OSMRoutes *routes, const Schedule *schedule, BindingData *bindingData,
                                             RunRandom &random, LineRejection *reason, Diagnostics *diagnostics)
{
    const auto reject = [reason](LineRejection why) -> PublicTransportLine * {
        if (reason)
            *reason = why;
        return nullptr;
    };
    if (!schedule)
        return reject(LineRejection::NoRoute);
    const OSMRoute *route = findRoute(routes, schedule);
    if (!route) {
        bool named = false;
        if (routes)
            for (const OSMRoute *candidate : routes->routesByName(schedule->name))
                named = named || typeMatches(candidate->type, schedule->lineType);
        return reject(named ? LineRejection::TooFewStops : LineRejection::NoRoute);
    }

    std::vector<size_t> matchedIndex;
    std::vector<OSMStop *> stops = matchStops(route, schedule, &matchedIndex);
    if (stops.size() < 2)
        return reject(LineRejection::TooFewStops);
    std::vector<Way *> ways = trimRouteByStops(route->ways, stops, diagnostics);
    if (ways.empty())
        return reject(LineRejection::StopsNotOnWays);
    if (diagnostics)
        namePassedOver(*route, *schedule, matchedIndex, *diagnostics);

    auto *line = new PublicTransportLine;
    line->name = schedule->name;
    line->vehicleType = PublicTransportLine::vehicleTypeFromLineType(schedule->lineType);
    line->stops = stops;
    line->ways = ways;
    for (const OSMStop *stop : stops)
        line->stopIds.push_back(stop->getId());
    for (const Way *way : ways)
        if (line->wayIds.empty() || line->wayIds.back() != way->getId())
            line->wayIds.push_back(way->getId());

    const int base = firstScheduleStop(schedule, stops.front()->nameRef());
    const int32_t baseAbs = base >= 0 ? schedule->stops[size_t(base)].tAbs : 0;
    for (int32_t start : schedule->startTimes) {
        int32_t departure = start + baseAbs;
        // A trip whose first matched stop comes after midnight leaves on the clock of the next day.
        if (departure >= MINUTES_PER_DAY)
            departure -= MINUTES_PER_DAY;
        else if (departure < 0)
            departure += MINUTES_PER_DAY;
        line->departures.push_back(departure);
    }
    // Seconds of every schedule stop from the first matched one on, jittered and increasing. The
    // offsets end at the first stop named like the last matched stop; the due times of the
    // matched stops are read from the whole walk, so that every matched stop gets its own.
    std::vector<int32_t> secondsFromBase;
    bool offsetsComplete = base < 0;
    for (size_t j = size_t(std::max(base, 0)); base >= 0 && j < schedule->stops.size(); ++j) {
        const int32_t minutes = schedule->stops[j].tAbs - baseAbs;
        int32_t value = minutes * 60;
        if (!secondsFromBase.empty()) {
            value += jitter(random);
            if (value <= secondsFromBase.back())
                value = secondsFromBase.back() + 30;
        }
        secondsFromBase.push_back(value);
        if (offsetsComplete)
            continue;
        line->stopOffsets.push_back(minutes);
        line->stopOffsetsSec.push_back(value);
        offsetsComplete = namesEqual(schedule->stops[j].name, stops.back()->nameRef());
    }
    // A departure at midnight jittered to before it leaves at the end of the day, not never.
    for (int32_t d : line->departures) {
        const int32_t seconds = d * 60 + jitter(random);
        line->departuresSec.push_back(seconds < 0 && d >= 0 ? seconds + SECONDS_PER_DAY : seconds);
    }
    for (size_t index : matchedIndex)
        if (base >= 0 && index >= size_t(base) && index - size_t(base) < secondsFromBase.size())
            line->stopDueSec.push_back(secondsFromBase[index - size_t(base)]);

    line->startCell = findStartCell(line, bindingData);
    if (!line->startCell) {
        delete line;
        return reject(LineRejection::NoStartCell);
    }
    if (reason)
        *reason = LineRejection::None;
    return line;
}

void LineCreator::namePassedOver(const OSMRoute &route, const Schedule &schedule,
                                 const std::vector<size_t> &scheduleIndex, Diagnostics &diagnostics)
{
    if (scheduleIndex.empty())
        return;
    size_t matched = 0;
    for (size_t j = scheduleIndex.front(); j < scheduleIndex.back(); ++j) {
        if (j == scheduleIndex[matched]) {
            ++matched;
            continue;
        }
        Diagnostic diagnostic;
        diagnostic.component = COMPONENT;
        diagnostic.elementId = route.id;
        diagnostic.text = "    line " + schedule.name + " (" + lineTypeText(schedule.lineType) + "): stop \"" +
                          schedule.stops[j].name + "\" is not on route " + std::to_string(route.id) +
                          " in timetable order; the line passes it without stopping";
        diagnostics.add(std::move(diagnostic));
    }
}

OSMRoute *LineCreator::findRoute(OSMRoutes *routes, const Schedule *schedule)
{
    if (!routes || !schedule)
        return nullptr;
    OSMRoute *best = nullptr;
    size_t bestCount = 0;
    for (OSMRoute *candidate : routes->routesByName(schedule->name)) {
        if (!typeMatches(candidate->type, schedule->lineType))
            continue;
        const size_t count = matchStops(candidate, schedule).size();
        if (count >= 2 && count > bestCount) {
            best = candidate;
            bestCount = count;
        }
    }
    return best;
}

std::vector<OSMStop *> LineCreator::matchStops(const OSMRoute *route, const Schedule *schedule,
                                               std::vector<size_t> *scheduleIndex)
{
    std::vector<OSMStop *> matched;
    if (scheduleIndex)
        scheduleIndex->clear();
    if (!route || !schedule)
        return matched;
    std::vector<QString> names;
    for (const ScheduleStop &stop : schedule->stops)
        names.push_back(folded(stop.name));
    std::vector<QString> stopNames;
    for (const OSMStop *stop : route->stops)
        stopNames.push_back(folded(stop->nameRef()));

    // Matching starts at the first route stop that carries any of the names; from there every
    // schedule stop is looked for further along the route, and one that is not there is passed over
    // so that the stops after it still match.
    size_t i = 0;
    size_t first = names.size();
    for (; i < stopNames.size() && first == names.size(); ++i)
        first = size_t(std::find(names.begin(), names.end(), stopNames[i]) - names.begin());
    if (first == names.size())
        return matched;
    size_t next = i - 1;
    for (size_t j = first; j < names.size() && next < stopNames.size(); ++j) {
        const auto at = std::find(stopNames.begin() + std::ptrdiff_t(next), stopNames.end(), names[j]);
        if (at == stopNames.end())
            continue;
        next = size_t(at - stopNames.begin());
        matched.push_back(route->stops[next]);
        if (scheduleIndex)
            scheduleIndex->push_back(j);
        ++next;
    }
    return matched;
}

std::vector<Way *> LineCreator::trimRouteByStops(const std::vector<Way *> &ways, const std::vector<OSMStop *> &stops,
                                                 Diagnostics *diagnostics)
{
    // These lines have always been printed without a component.
    const auto fail = [diagnostics](const char *text) {
        if (diagnostics)
            diagnostics->add(Severity::Warning, std::string(), text);
        return std::vector<Way *>();
    };
    if (ways.size() < 2 || stops.size() < 2)
        return fail("trimRouteByStops ways.size() < 2 || stops.size() < 2");
    size_t first = 0;
    while (first < ways.size() && !containsNode(ways[first], stops.front()->getNode()))
        ++first;
    if (first == ways.size())
        return fail("trimRouteByStops first stop not found");
    size_t last = first;
    while (last < ways.size() && !containsNode(ways[last], stops.back()->getNode()))
        ++last;
    if (last == ways.size())
        return fail("trimRouteByStops last stop not found");
    return std::vector<Way *>(ways.begin() + std::ptrdiff_t(first), ways.begin() + std::ptrdiff_t(last) + 1);
}

Cell *LineCreator::findStartCell(const PublicTransportLine *line, BindingData *bindingData)
{
    if (!bindingData || line->stops.empty() || line->wayIds.empty())
        return nullptr;
    const StopBinding *binding = bindingData->findStopBinding(line->stops.front());
    if (!binding)
        return nullptr;
    const int64_t firstWay = line->wayIds[0];
    // A route cut to one way piece has no second way: staying on the first one is enough.
    const int64_t secondWay = line->wayIds.size() > 1 ? line->wayIds[1] : firstWay;
    for (Cell *platformCell : binding->cells) {
        if (!platformCell)
            continue;
        Cell *front = platformCell->platformEnd();
        const Cell *laneCell = line->isTram() ? front : front->sideOf();
        if (!laneCell || !laneCell->wayLink())
            continue;
        // Lane by lane to the second way; crossroads may only be crossed onto the first way.
        const LaneBinding *lane = laneCell->wayLink();
        std::unordered_set<const LaneBinding *> seen;
        bool leads = false;
        while (lane && seen.insert(lane).second) {
            const int64_t id = lane->wayId();
            if (id == secondWay) {
                leads = true;
                break;
            }
            if (id != firstWay || !lane->lastCell)
                break;
            const Cell *end = lane->lastCell;
            if (end->next()) {
                lane = end->next()->wayLink();
            } else if (end->crossroad()) {
                const PathPair *path = end->crossroad()->findPath(lane, secondWay);
                if (path) {
                    leads = true;
                    break;
                }
                path = end->crossroad()->findPath(lane, firstWay);
                lane = path ? path->exitLane : nullptr;
            } else {
                break;
            }
        }
        if (leads)
            return front;
    }
    return nullptr;
}

int32_t LineCreator::pregenerateLines(SimulationData *data, BindingData *bindingData, Diagnostics &diagnostics)
{
    diagnostics.add(Severity::Progress, std::string(), "Pre generating lines...");
    if (!data || !bindingData)
        return 0;
    const QTime &start = data->time;
    const int32_t t = dayclock::secondOfDay(start);
    int32_t placed = 0;
    for (PublicTransportLine *line : data->lines.lines()) {
        const std::vector<int32_t> &due = line->stopDueSec;
        for (int32_t d : line->departuresSec) {
            // A trip that left before midnight may still be under way after it.
            for (int32_t now : {t, t + SECONDS_PER_DAY}) {
                bool done = false;
                for (size_t k = 1; k < due.size() && k < line->stops.size(); ++k) {
                    const int32_t from = d + due[k - 1];
                    const int32_t to = d + due[k];
                    if (from <= now && now < to) {
                        placed += pregenerateVehicle(data, bindingData, line, line->stops[k - 1], line->stops[k],
                                                     double(now - from) / double(to - from), d);
                        done = true;
                        break;
                    }
                }
                if (done)
                    break;
            }
        }
    }
    return placed;
}
