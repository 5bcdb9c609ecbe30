#include "scheduledrafter.h"

#include "linecreator.h"

#include "geo/geodesy.h"
#include "model/bindingdata.h"
#include "model/random.h"
#include "osm/osmdata.h"
#include "report/diagnostics.h"
#include "timetable/publictransportline.h"
#include "timetable/schedule.h"

#include <QFile>
#include <QXmlStreamWriter>

#include <cmath>
#include <map>
#include <unordered_map>

namespace {

int32_t lineTypeOf(const std::string &route)
{
    if (route == "tram")
        return Schedule::Tram;
    if (route == "trolleybus")
        return Schedule::Trolleybus;
    return Schedule::Bus;
}

const char *typeAttribute(int32_t lineType)
{
    switch (lineType) {
    case Schedule::Tram:
        return "tram";
    case Schedule::Trolleybus:
        return "troj";
    default:
        return "bus";
    }
}

/// The nodes of the route in driving order with their distance from the start, in metres.
std::vector<std::pair<const Node *, double>> nodesAlong(const OSMRoute &route)
{
    std::vector<std::pair<const Node *, double>> result;
    const std::vector<Way *> &ways = route.ways;
    if (ways.size() < 2)
        return result;
    const Node *cur = ways[0]->firstNode() == ways[1]->firstNode() || ways[0]->firstNode() == ways[1]->lastNode()
                          ? ways[0]->lastNode()
                          : ways[0]->firstNode();
    double total = 0.0;
    const auto add = [&](const Node *node) {
        if (!result.empty())
            total += geo::distance(result.back().first->getLocation(), node->getLocation());
        result.emplace_back(node, total);
    };
    for (const Way *way : ways) {
        const std::vector<Node *> &nodes = way->nodes();
        if (cur == way->firstNode()) {
            for (const Node *node : nodes)
                add(node);
            cur = way->lastNode();
        } else if (cur == way->lastNode()) {
            for (auto it = nodes.rbegin(); it != nodes.rend(); ++it)
                add(*it);
            cur = way->firstNode();
        } else {
            break;
        }
    }
    return result;
}

} // namespace

ScheduleDrafter::ScheduleDrafter(OSMData *osm, BindingData *bindings, int32_t headway)
    : osm(osm), bindings(bindings), headway(std::max(headway, 1))
{}

ScheduleDrafter::~ScheduleDrafter()
{
    for (Schedule *schedule : lines)
        delete schedule;
}

const OSMRoute *ScheduleDrafter::chooseRoute(int64_t relationId) const
{
    const OSMRouteRelation *relation = osm->routeRelations()->findById(relationId);
    if (!relation)
        return nullptr;
    std::unordered_map<int64_t, size_t> position;
    for (size_t i = 0; i < relation->stopNodes.size(); ++i)
        position.emplace(relation->stopNodes[i], i);

    const OSMRoute *best = nullptr;
    int bestScore = 0;
    size_t bestStops = 0;
    for (const OSMRoute *route : osm->routes()->routes()) {
        if (route->id != relationId)
            continue;
        std::vector<const OSMStop *> usable;
        for (const OSMStop *stop : route->stops)
            if (bindings->findStopBinding(stop))
                usable.push_back(stop);
        if (usable.size() < 2)
            continue;
        // Agreement with the order in which the relation lists its stops.
        int score = 0;
        for (size_t k = 1; k < usable.size(); ++k) {
            auto a = position.find(usable[k - 1]->getNode()->getId());
            auto b = position.find(usable[k]->getNode()->getId());
            if (a != position.end() && b != position.end())
                score += a->second < b->second ? 1 : a->second > b->second ? -1 : 0;
        }
        if (!best || score > bestScore || (score == bestScore && usable.size() > bestStops)) {
            best = route;
            bestScore = score;
            bestStops = usable.size();
        }
    }
    return best;
}

Schedule *ScheduleDrafter::draftLine(const OSMRoute *route, int32_t index) const
{
    auto *schedule = new Schedule(index);
    schedule->name = route->name;
    schedule->lineType = lineTypeOf(route->type);
    const double metresPerMinute = (schedule->lineType == Schedule::Tram ? TRAM_KMH : BUS_KMH) * 1000.0 / 60.0;

    const auto along = nodesAlong(*route);
    size_t at = 0;
    int32_t previous = -1;
    for (const OSMStop *stop : route->stops) {
        if (!bindings->findStopBinding(stop))
            continue; // a stop without cells cannot be served
        while (at < along.size() && along[at].first != stop->getNode())
            ++at;
        if (at == along.size())
            break;
        const double metres = along[at].second;
        const int32_t tAbs = std::max(previous + 1, int32_t(std::lround(metres / metresPerMinute)));
        schedule->stops.push_back(ScheduleStop{stop->getName(), previous < 0 ? 0 : tAbs - previous, tAbs});
        previous = tAbs;
    }
    if (!schedule->stops.empty()) {
        // The first stop leaves at 0 minutes; later ones count from it.
        const int32_t base = schedule->stops.front().tAbs;
        for (ScheduleStop &stop : schedule->stops)
            stop.tAbs -= base;
        schedule->stops.front().tRel = 0;
    }
    return schedule;
}

void ScheduleDrafter::timeDepartures()
{
    // Lines that start at one stop share its platform: they leave in turn, one a minute at most,
    // each every `headway` minutes or, where more lines start there than fit in that, as often as
    // the platform allows. Otherwise departures would pile up there waiting for room for good.
    std::map<std::pair<int32_t, std::string>, std::vector<Schedule *>> byFirstStop;
    for (Schedule *schedule : lines)
        byFirstStop[{schedule->lineType, schedule->stops.front().name}].push_back(schedule);
    for (const auto &group : byFirstStop) {
        const std::vector<Schedule *> &sharing = group.second;
        const int32_t n = int32_t(sharing.size());
        const int32_t every = std::max(headway, n * MINUTES_AT_FIRST_STOP);
        for (int32_t k = 0; k < n; ++k) {
            const int32_t offset = k * every / n;
            std::vector<int32_t> &times = sharing[size_t(k)]->startTimes;
            for (int32_t m = offset; m < SERVICE_END_AFTER_MIDNIGHT; m += every)
                times.push_back(m);
            for (int32_t m = FIRST_DEPARTURE + offset; m < 24 * 60; m += every)
                times.push_back(m);
        }
    }
}

ScheduleDrafter::Result ScheduleDrafter::draft(Diagnostics &diagnostics)
{
    Result result;
    if (!osm || !bindings)
        return result;
    RunRandom random; // the trial lines' jitter is thrown away with them
    for (const OSMRouteRelation *relation : osm->routeRelations()->relations()) {
        ++result.relations;
        if (relation->ref.empty()) {
            ++result.withoutRef;
            continue;
        }
        const OSMRoute *route = chooseRoute(relation->id);
        if (!route) {
            ++result.withoutRoute;
            continue;
        }
        Schedule *schedule = draftLine(route, result.drafted);
        PublicTransportLine *line =
            LineCreator::createLine(osm->routes(), schedule, bindings, random, nullptr, &diagnostics);
        if (!line || schedule->stops.size() < 2) {
            ++result.notRunnable;
            delete line;
            delete schedule;
            continue;
        }
        delete line;
        lines.push_back(schedule);
        ++result.drafted;
    }
    timeDepartures();
    return result;
}

bool ScheduleDrafter::write(const QString &path, Diagnostics &diagnostics) const
{
    const char *const component = "ScheduleDrafter";
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate | QIODevice::Text)) {
        diagnostics.add(Severity::Error, component,
                        "cannot write \"" + path.toStdString() + "\": " + file.errorString().toStdString());
        return false;
    }
    QXmlStreamWriter xml(&file);
    xml.setAutoFormatting(true);
    xml.setAutoFormattingIndent(1);
    xml.writeStartDocument();
    // A comment may not hold two hyphens in a row, so the option is not quoted.
    xml.writeComment(QStringLiteral(" Drafted by kolvex-headless from the route relations of the map: "
                                    "not an official timetable. "));
    xml.writeStartElement(QStringLiteral("schedules"));
    for (const Schedule *schedule : lines) {
        xml.writeStartElement(QStringLiteral("line"));
        xml.writeAttribute(QStringLiteral("name"), QString::fromStdString(schedule->name));
        xml.writeAttribute(QStringLiteral("type"), QString::fromLatin1(typeAttribute(schedule->lineType)));
        xml.writeStartElement(QStringLiteral("times"));
        for (int32_t m : schedule->startTimes)
            xml.writeTextElement(QStringLiteral("m"), QString::number(m));
        xml.writeEndElement();
        xml.writeStartElement(QStringLiteral("route"));
        for (const ScheduleStop &stop : schedule->stops) {
            xml.writeEmptyElement(QStringLiteral("stop"));
            xml.writeAttribute(QStringLiteral("name"), QString::fromStdString(stop.name));
            xml.writeAttribute(QStringLiteral("t_rel"), QString::number(stop.tRel));
            xml.writeAttribute(QStringLiteral("t_abs"), QString::number(stop.tAbs));
        }
        xml.writeEndElement();
        xml.writeEndElement();
    }
    xml.writeEndElement();
    xml.writeEndDocument();
    file.close();
    if (xml.hasError() || file.error() != QFileDevice::NoError) {
        diagnostics.add(Severity::Error, component, "error while writing \"" + path.toStdString() + "\"");
        return false;
    }
    return true;
}
