#include "osmways.h"

#include <iostream>

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
    std::cerr << "OSMWays: "
              << "Simplifying way IDs..." << std::endl;
    const int64_t first = nextSimpleWayId;
    for (Way *way : list)
        way->setId(nextSimpleWayId++);
    reindex();
    std::cerr << "OSMWays: "
              << "    New way IDs range: " << first << " - " << nextSimpleWayId - 1 << std::endl;
}

void OSMWays::reindex()
{
    byId.clear();
    for (Way *way : list)
        byId[way->getId()].push_back(way);
}
