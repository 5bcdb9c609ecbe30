#include "osmways.h"

void OSMWays::simplifyIds()
{
    for (Way *way : list.items())
        way->setId(nextSimpleWayId++);
    reindex();
}
