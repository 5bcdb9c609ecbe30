#include "osmdata.h"

#include "report/diagnostics.h"

OSMData::OSMData()
    : nodeList(new OSMNodes), relationList(new OSMRouteRelations), routeList(new OSMRoutes), tramStopList(new OSMStops),
      busStopList(new OSMStops), wayList(new OSMWays)
{}

OSMData::~OSMData()
{
    // Stops and routes point at nodes and ways: free them first.
    delete routeList;
    delete tramStopList;
    delete busStopList;
    delete relationList;
    delete wayList;
    delete nodeList;
}

Node *OSMData::addNode(int64_t id, const Location &location, bool trafficSignals)
{
    if (Node *existing = nodeList->findById(id))
        return existing;
    Node *node = new Node(id, location, trafficSignals);
    nodeList->add(node);
    return node;
}

void OSMData::addWay(int64_t id, const std::vector<int64_t> &nodeRefs, bool isTram, bool isHighway, bool isOneway,
                     bool isLink, RoadClass roadClass, int32_t lanesForward, int32_t lanesBackward)
{
    if (wayList->findById(id))
        return;
    if (!isHighway && !isTram)
        return;
    if (nodeRefs.size() < 2)
        return;
    Way *way = new Way;
    way->setId(id);
    way->setHighway(isHighway);
    way->setTram(isTram);
    way->setOneway(isOneway);
    way->setLink(isLink);
    way->setRoadClass(roadClass);
    way->setLanesForward(lanesForward);
    way->setLanesBackward(lanesBackward);
    for (int64_t ref : nodeRefs) {
        if (Node *node = nodeList->findById(ref)) {
            way->addNode(node);
        } else if (diagnostics) {
            Diagnostic missing; // printed without a component, as it always has been
            missing.elementId = id;
            missing.text = "addWay finding Node failed: fromId == " + std::to_string(ref);
            diagnostics->add(std::move(missing));
        }
    }
    wayList->add(way);
}

void OSMData::shakeNodes()
{
    const size_t removed = nodeList->shake();
    if (diagnostics)
        diagnostics->add(Severity::Progress, "OSMParser", "    Nodes shaked: " + std::to_string(removed));
}

void OSMData::addTramStop(const std::string &name, Node *node)
{
    addStop(tramStopList, TramStop, name, node);
}

void OSMData::addBusStop(const std::string &name, Node *node)
{
    addStop(busStopList, BusStop, name, node);
}

void OSMData::addStop(OSMStops *stops, StopKind kind, const std::string &name, Node *node)
{
    if (stops->findByNameAndNode(name, node))
        return;
    node->setUsed();
    stops->add(new OSMStop(nextStopId++, name, kind, node));
}

void OSMData::addRouteRelation(int64_t id, const std::string &name, const std::string &ref, const std::string &route,
                               const std::vector<int64_t> &ways, const std::vector<int64_t> &forwardWays,
                               const std::vector<int64_t> &backwardWays, const std::vector<int64_t> &stopNodes)
{
    if (relationList->findById(id))
        return;
    relationList->add(new OSMRouteRelation{id, name, ref, route, ways, forwardWays, backwardWays, stopNodes});
}
