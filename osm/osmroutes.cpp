#include "osmroutes.h"

OSMRoutes::~OSMRoutes()
{
    for (OSMRoute *route : list)
        delete route;
}

std::vector<OSMRoute *> OSMRoutes::routesByName(const std::string &name) const
{
    std::vector<OSMRoute *> result;
    for (OSMRoute *route : list)
        if (route->name == name)
            result.push_back(route);
    return result;
}
