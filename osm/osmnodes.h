#ifndef KOLVEX_OSM_OSMNODES_H
#define KOLVEX_OSM_OSMNODES_H

#include "container/owninglist.h"
#include "node.h"

#include <vector>

/// Every node of an extract in insertion order; owns them. Ids are unique, so lookups use an index.
class OSMNodes
{
public:
    const std::vector<Node *> &nodes() const { return list.items(); }
    /// The node with this id, null if absent.
    Node *findById(int64_t id) const { return list.find(id); }
    /// Takes ownership of `node`, whose id must not be present yet.
    void add(Node *node) { list.add(node); }
    /// Deletes every node not marked used; returns how many.
    size_t shake();
    size_t size() const { return list.size(); }

private:
    struct IdOf
    {
        int64_t operator()(const Node &node) const { return node.getId(); }
    };
    OwningList<Node, IdOf> list;
};

#endif
