#ifndef KOLVEX_OSM_NODE_H
#define KOLVEX_OSM_NODE_H

#include "geo/geodesy.h"

#include <cstdint>
#include <vector>

class Way;

/// One map node; `ways` lists the ways of which it is currently an end node.
class Node
{
public:
    Node() = default;
    Node(int64_t id, const Location &location, bool trafficSignals = false)
        : id(id), location(location), trafficSignals(trafficSignals)
    {}

    int64_t getId() const { return id; }
    const Location &getLocation() const { return location; }
    void setLocation(const Location &l) { location = l; }
    bool isTrafficSignals() const { return trafficSignals; }
    bool isUsed() const { return used; }
    void setUsed() { used = true; }
    /// Marks the node used and lists `way` as ending here.
    void addWay(Way *way);
    /// Removes the first occurrence of `way`; false if the node does not list it.
    bool disconnectWay(Way *way);
    const std::vector<Way *> &ways() const { return wayList; }

private:
    int64_t id = 0;
    Location location;
    bool trafficSignals = false;
    bool used = false;
    std::vector<Way *> wayList;
};

#endif
