#ifndef KOLVEX_OSM_OSMWAYS_H
#define KOLVEX_OSM_OSMWAYS_H

#include "container/owninglist.h"
#include "way.h"

#include <vector>

/// Every way in insertion order; owns them. Pieces of a split way share an id, so the index keeps
/// every way of an id in collection order.
class OSMWays
{
public:
    const std::vector<Way *> &ways() const { return list.items(); }
    /// The first way with this id, null if absent.
    Way *findById(int64_t id) const { return list.find(id); }
    /// Every way with this id, in collection order.
    std::vector<Way *> getAllById(int64_t id) const { return list.findAll(id); }
    /// Takes ownership of `way` and appends it.
    void add(Way *way) { list.add(way); }
    /// Renumbers every way from a process-wide counter starting at 1.
    void simplifyIds();
    /// Rebuilds the id index; needed after ids were changed through Way::setId.
    void reindex() { list.reindex(); }
    size_t size() const { return list.size(); }

private:
    struct IdOf
    {
        int64_t operator()(const Way &way) const { return way.getId(); }
    };
    OwningList<Way, SharedKeys<IdOf>> list;
    int64_t nextSimpleWayId = 1; ///< simplified ids continue from one simplification to the next
};

#endif
