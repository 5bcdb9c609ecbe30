#ifndef KOLVEX_OSM_OSMDATA_H
#define KOLVEX_OSM_OSMDATA_H

#include "osmnodes.h"
#include "osmrouterelations.h"
#include "osmroutes.h"
#include "osmstops.h"
#include "osmways.h"

class Diagnostics;

/// The in-memory model of one map extract; owns its six collections.
class OSMData
{
public:
    OSMData();
    OSMData(const OSMData &) = delete;
    OSMData &operator=(const OSMData &) = delete;
    ~OSMData();

    OSMNodes *nodes() const { return nodeList; }
    OSMRouteRelations *routeRelations() const { return relationList; }
    OSMRoutes *routes() const { return routeList; }
    OSMStops *tramStops() const { return tramStopList; }
    OSMStops *busStops() const { return busStopList; }
    OSMWays *ways() const { return wayList; }

    /// The node with this id; an existing node is returned unchanged.
    Node *addNode(int64_t id, const Location &location, bool trafficSignals = false);
    /// Where the data's own findings (missing way nodes, unused nodes let go) are recorded; none
    /// when null. Not owned: it must outlive the data or be replaced first.
    void setDiagnostics(Diagnostics *value) { diagnostics = value; }
    /// Adds a road or tram way; missing node references are recorded and skipped.
    void addWay(int64_t id, const std::vector<int64_t> &nodeRefs, bool isTram, bool isHighway, bool isOneway,
                bool isLink, RoadClass roadClass, int32_t lanesForward, int32_t lanesBackward);
    void addTramStop(const std::string &name, Node *node);
    void addBusStop(const std::string &name, Node *node);
    void addRouteRelation(int64_t id, const std::string &name, const std::string &ref, const std::string &route,
                          const std::vector<int64_t> &ways, const std::vector<int64_t> &forwardWays,
                          const std::vector<int64_t> &backwardWays, const std::vector<int64_t> &stopNodes);
    /// Deletes the nodes that no way or stop uses, and records how many.
    void shakeNodes();

private:
    void addStop(OSMStops *stops, StopKind kind, const std::string &name, Node *node);

    OSMNodes *nodeList;
    OSMRouteRelations *relationList;
    OSMRoutes *routeList;
    OSMStops *tramStopList;
    OSMStops *busStopList;
    OSMWays *wayList;
    int64_t nextStopId = 0; ///< tram and bus stops share one numbering, in reading order
    Diagnostics *diagnostics = nullptr;
};

#endif
