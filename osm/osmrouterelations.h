#ifndef KOLVEX_OSM_OSMROUTERELATIONS_H
#define KOLVEX_OSM_OSMROUTERELATIONS_H

#include "container/owninglist.h"
#include "osmroute.h"

#include <vector>

/// Route relations as read, in insertion order; owns them.
class OSMRouteRelations
{
public:
    const std::vector<OSMRouteRelation *> &relations() const { return list.items(); }
    /// The relation with this id, null if absent.
    OSMRouteRelation *findById(int64_t id) const { return list.find(id); }
    void add(OSMRouteRelation *relation) { list.add(relation); }
    size_t size() const { return list.size(); }

private:
    struct IdOf
    {
        int64_t operator()(const OSMRouteRelation &relation) const { return relation.id; }
    };
    OwningList<OSMRouteRelation, IdOf> list;
};

#endif
