#include "osmways.h"

#include <iostream>

void OSMWays::simplifyIds()
{
    std::cerr << "OSMWays: "
              << "Simplifying way IDs..." << std::endl;
    const int64_t first = nextSimpleWayId;
    for (Way *way : list.items())
        way->setId(nextSimpleWayId++);
    reindex();
    std::cerr << "OSMWays: "
              << "    New way IDs range: " << first << " - " << nextSimpleWayId - 1 << std::endl;
}
