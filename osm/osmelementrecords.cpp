#include "osmelementrecords.h"

#include "mapassembly.h"
#include "osmdata.h"

#include <QString>

namespace osmtext {

int32_t lanes(std::string_view text)
{
    // Lane tags are rare: Qt's conversion accepts exactly the texts the readers have always accepted.
    bool ok = false;
    const int count = QString::fromUtf8(text.data(), static_cast<int>(text.size())).toInt(&ok, 10);
    return ok && count >= 0 ? count : 0;
}

} // namespace osmtext

void NodeRecord::store(MapAssembly &map, int64_t id, const Location &location,
                       const readerrules::ElementOrigin &origin) const
{
    map.addNode(id, location, trafficSignals, busStop, tramStop, name, origin);
}

const WayRecord::AcceptedHighway WayRecord::ACCEPTED_HIGHWAYS[12] = {
    {"motorway", false},     {"trunk", false},        {"trunk_link", true},     {"primary", false},
    {"primary_link", true},  {"secondary", false},    {"secondary_link", true}, {"tertiary", false},
    {"tertiary_link", true}, {"unclassified", false}, {"residential", false},   {"road", false},
};

void WayRecord::acceptHighway(const AcceptedHighway &accepted)
{
    isHighway = true;
    isLink = accepted.link;
    roadClass = roadClassFromString(std::string(accepted.value));
}

void WayRecord::store(MapAssembly &map, int64_t id, const readerrules::ElementOrigin &origin)
{
    if (!wanted())
        return;
    const std::string repeats = readerrules::dropRepeats(nodeRefs);
    if (!repeats.empty())
        readerrules::reportTrimmed(map.diagnostics(), origin, repeats);
    if (nodeRefs.size() < 2) {
        readerrules::reportDropped(map.diagnostics(), origin, "fewer than two distinct node references");
        return;
    }
    MapAssembly::WayShape shape = *this;
    if (isHighway) {
        // Road lanes come from the direction only; lane tags count for tram-only ways.
        shape.lanesForward = 1;
        shape.lanesBackward = isOneway ? 0 : 1;
    }
    map.addWay(id, shape, nodeRefs, origin);
}

void RelationRecord::store(MapAssembly &map, int64_t id, const readerrules::ElementOrigin &origin) const
{
    if (!wanted())
        return;
    OSMData *data = map.model();
    if (data->routeRelations()->findById(id)) {
        readerrules::reportDropped(map.diagnostics(), origin, "a relation with this id was read before");
        return;
    }
    data->addRouteRelation(id, name, ref, route, ways, forwardWays, backwardWays, stopNodes);
}
