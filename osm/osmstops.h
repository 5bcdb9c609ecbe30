#ifndef KOLVEX_OSM_OSMSTOPS_H
#define KOLVEX_OSM_OSMSTOPS_H

#include "container/owninglist.h"
#include "osmstop.h"

#include <string>
#include <vector>

/// Stops of one kind in insertion order; owns them. Indexed by node, keeping insertion order per node.
class OSMStops
{
public:
    const std::vector<OSMStop *> &stops() const { return list.items(); }
    /// The first stop on `node`, null if none.
    OSMStop *findByNode(const Node *node) const { return list.find(node); }
    /// Every stop on `node`, in list order.
    std::vector<OSMStop *> stopsOnNode(const Node *node) const { return list.findAll(node); }
    /// The first stop with this name (byte-wise) on `node`, null if none.
    OSMStop *findByNameAndNode(const std::string &name, const Node *node) const;
    /// Erases the first occurrence of `stop` from the list and deletes it.
    void remove(OSMStop *stop) { list.remove(stop); }
    /// Takes ownership of `stop` and appends it.
    void add(OSMStop *stop) { list.add(stop); }
    size_t size() const { return list.size(); }

private:
    struct NodeOf
    {
        const Node *operator()(const OSMStop &stop) const { return stop.getNode(); }
    };
    OwningList<OSMStop, SharedKeys<NodeOf>> list;
};

#endif
