#include "osmelementrecords.h"

#include "osmdata.h"

namespace osmtext {

namespace {

int32_t laneCount(bool converted, int count)
{
    return converted && count >= 0 ? count : 0;
}

} // namespace

int32_t lanes(const QStringRef &text)
{
    bool ok = false;
    const int count = text.toInt(&ok, 10);
    return laneCount(ok, count);
}

int32_t lanes(std::string_view text)
{
    // Lane tags are rare: Qt's conversion here too accepts exactly the texts the XML reader accepts.
    bool ok = false;
    const int count = QString::fromUtf8(text.data(), static_cast<int>(text.size())).toInt(&ok, 10);
    return laneCount(ok, count);
}

} // namespace osmtext

void NodeRecord::store(OSMData *data, int64_t id, const Location &location) const
{
    Node *node = data->addNode(id, location, trafficSignals);
    if (busStop)
        data->addBusStop(name, node);
    if (tramStop)
        data->addTramStop(name, node);
}

const WayRecord::AcceptedHighway WayRecord::ACCEPTED_HIGHWAYS[12] = {
    {QLatin1String("motorway"), false},      {QLatin1String("trunk"), false},
    {QLatin1String("trunk_link"), true},     {QLatin1String("primary"), false},
    {QLatin1String("primary_link"), true},   {QLatin1String("secondary"), false},
    {QLatin1String("secondary_link"), true}, {QLatin1String("tertiary"), false},
    {QLatin1String("tertiary_link"), true},  {QLatin1String("unclassified"), false},
    {QLatin1String("residential"), false},   {QLatin1String("road"), false},
};

void WayRecord::acceptHighway(const AcceptedHighway &accepted)
{
    isHighway = true;
    isLink = accepted.link;
    roadClass = roadClassFromString(std::string(accepted.value.data(), static_cast<size_t>(accepted.value.size())));
}

const char *WayRecord::dropReason() const
{
    if (nodeRefs.size() < 2)
        return "fewer than two node references";
    if (!isHighway && !isTram)
        return "neither a road of an accepted class nor a tram track";
    return nullptr;
}

void WayRecord::store(OSMData *data, int64_t id) const
{
    if (dropReason())
        return;
    if (isHighway) {
        // Road lanes come from the direction only; lane tags count for tram-only ways.
        data->addWay(id, nodeRefs, isTram, isHighway, isOneway, isLink, roadClass, 1, isOneway ? 0 : 1);
    } else {
        data->addWay(id, nodeRefs, isTram, isHighway, isOneway, isLink, roadClass, lanesForward, lanesBackward);
    }
}

const char *RelationRecord::dropReason() const
{
    if (!isRoute)
        return "not a route";
    if (route != "tram" && route != "bus" && route != "trolleybus")
        return "not a tram, bus or trolleybus route";
    return nullptr;
}

void RelationRecord::store(OSMData *data, int64_t id) const
{
    if (!dropReason())
        data->addRouteRelation(id, name, ref, route, ways, forwardWays, backwardWays, stopNodes);
}
