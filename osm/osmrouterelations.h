#ifndef KOLVEX_OSM_OSMROUTERELATIONS_H
#define KOLVEX_OSM_OSMROUTERELATIONS_H

#include "osmroute.h"

#include <unordered_map>
#include <vector>

/// Route relations as read, in insertion order; owns them.
class OSMRouteRelations
{
public:
    OSMRouteRelations() = default;
    OSMRouteRelations(const OSMRouteRelations &) = delete;
    OSMRouteRelations &operator=(const OSMRouteRelations &) = delete;
    ~OSMRouteRelations();

    const std::vector<OSMRouteRelation *> &relations() const { return list; }
    /// The relation with this id, null if absent.
    OSMRouteRelation *findById(int64_t id) const;
    void add(OSMRouteRelation *relation);
    size_t size() const { return list.size(); }

private:
    std::vector<OSMRouteRelation *> list;
    std::unordered_map<int64_t, OSMRouteRelation *> byId;
};

#endif
