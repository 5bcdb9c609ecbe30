#ifndef KOLVEX_OSM_OSMNODES_H
#define KOLVEX_OSM_OSMNODES_H

#include "node.h"

#include <unordered_map>
#include <vector>

/// Every node of an extract in insertion order; owns them. Ids are unique, so lookups use an index.
class OSMNodes
{
public:
    OSMNodes() = default;
    OSMNodes(const OSMNodes &) = delete;
    OSMNodes &operator=(const OSMNodes &) = delete;
    ~OSMNodes();

    const std::vector<Node *> &nodes() const { return list; }
    /// The node with this id, null if absent.
    Node *findById(int64_t id) const;
    /// Takes ownership of `node`, whose id must not be present yet.
    void add(Node *node);
    /// Deletes every node not marked used; returns how many.
    size_t shake();
    size_t size() const { return list.size(); }

private:
    std::vector<Node *> list;
    std::unordered_map<int64_t, Node *> byId;
};

#endif
