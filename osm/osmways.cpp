#include "osmways.h"

namespace {}

OSMWays::~OSMWays()
{
    for (Way *way : list)
        delete way;
}

Way *OSMWays::findById(int64_t id) const
{
    auto it = byId.find(id);
    return it == byId.end() || it->second.empty() ? nullptr : it->second.front();
}

std::vector<Way *> OSMWays::getAllById(int64_t id) const
{
    auto it = byId.find(id);
    return it == byId.end() ? std::vector<Way *>() : it->second;
}

void OSMWays::add(Way *way)
{
    list.push_back(way);
    byId[way->getId()].push_back(way);
}

void OSMWays::simplifyIds()
{
    for (Way *way : list)
        way->setId(nextSimpleWayId++);
    reindex();
}

void OSMWays::reindex()
{
    byId.clear();
    for (Way *way : list)
        byId[way->getId()].push_back(way);
}
