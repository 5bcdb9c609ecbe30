#include "osmroutes.h"

std::vector<OSMRoute *> OSMRoutes::routesByName(const std::string &name) const
{
    std::vector<OSMRoute *> result;
    for (OSMRoute *route : list.items())
        if (route->name == name)
            result.push_back(route);
    return result;
}
