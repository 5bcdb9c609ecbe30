#ifndef KOLVEX_OSM_OSMROUTES_H
#define KOLVEX_OSM_OSMROUTES_H

#include "osmroute.h"

#include <vector>

/// Ordered routes built by route conversion; owns them.
class OSMRoutes
{
public:
    OSMRoutes() = default;
    OSMRoutes(const OSMRoutes &) = delete;
    OSMRoutes &operator=(const OSMRoutes &) = delete;
    virtual ~OSMRoutes();

    const std::vector<OSMRoute *> &routes() const { return list; }
    void add(OSMRoute *route) { list.push_back(route); }
    /// Every route whose name equals `name` byte for byte, in collection order.
    std::vector<OSMRoute *> routesByName(const std::string &name) const;
    size_t size() const { return list.size(); }

private:
    std::vector<OSMRoute *> list;
};

#endif
