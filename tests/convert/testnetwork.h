#ifndef KOLVEX_TESTS_CONVERT_TESTNETWORK_H
#define KOLVEX_TESTS_CONVERT_TESTNETWORK_H

#include "convert/networkconvertor.h"
#include "model/bindingdata.h"
#include "model/cell.h"
#include "model/crossroad.h"
#include "model/simulationdata.h"
#include "osm/osmdata.h"
#include "testmaps.h"

#include <string>
#include <vector>

namespace testmaps {

/// A small map built in code and the network converted from it, with lookups by map id.
struct TestNetwork
{
    OSMData osm;
    SimulationData sim;
    BindingData bindings;
    std::string log;

    Node *node(int64_t id, double x, double y, bool trafficSignals = false)
    {
        return osm.addNode(id, at(x, y), trafficSignals);
    }
    void way(const TestWay &w) { addWay(osm, w); }
    /// A road way with the link flag (`isLink`) set as asked.
    void road(int64_t id, const std::vector<int64_t> &nodes, bool oneway, bool link)
    {
        osm.addWay(id, nodes, false, true, oneway, link, Road, 1, oneway ? 0 : 1);
    }

    /// Runs the whole conversion (or the stages `first` to `last`), keeping what it wrote.
    void run(int first = 1, int last = 13)
    {
        StderrCapture capture;
        NetworkConvertor convertor(&osm, &sim, &bindings);
        if (first == 1 && last == 13)
            convertor.convert();
        else
            convertor.runStages(first, last);
        log += capture.text();
    }

    Node *nodeById(int64_t id) const { return osm.nodes()->findById(id); }
    NodeBinding *nodeBinding(int64_t nodeId) const { return bindings.findNodeBinding(nodeById(nodeId)); }

    /// The `piece`-th way binding of the map way `wayId`, null if none.
    WayBinding *binding(int64_t wayId, size_t piece = 0) const
    {
        size_t seen = 0;
        for (WayBinding *w : bindings.wayBindings())
            if (w->way->getId() == wayId && seen++ == piece)
                return w;
        return nullptr;
    }

    /// The end of (any piece of) way `wayId` at node `nodeId`, null if none.
    WayEnd *end(int64_t wayId, int64_t nodeId) const
    {
        const NodeBinding *n = nodeBinding(nodeId);
        if (!n)
            return nullptr;
        for (WayEnd *e : n->wayEnds)
            if (e->way->way->getId() == wayId)
                return e;
        return nullptr;
    }

    /// The crossroad built at node `nodeId`, null if none.
    Crossroad *crossroadAt(int64_t nodeId) const
    {
        const NodeBinding *n = nodeBinding(nodeId);
        for (Crossroad *c : sim.crossroads)
            if (c->junction == n)
                return c;
        return nullptr;
    }
};

} // namespace testmaps

#endif
