#include "osmrouterelations.h"

OSMRouteRelations::~OSMRouteRelations()
{
    for (OSMRouteRelation *relation : list)
        delete relation;
}

OSMRouteRelation *OSMRouteRelations::findById(int64_t id) const
{
    auto it = byId.find(id);
    return it == byId.end() ? nullptr : it->second;
}

void OSMRouteRelations::add(OSMRouteRelation *relation)
{
    list.push_back(relation);
    byId.emplace(relation->id, relation);
}
