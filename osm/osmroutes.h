#ifndef KOLVEX_OSM_OSMROUTES_H
#define KOLVEX_OSM_OSMROUTES_H

#include "container/owninglist.h"
#include "osmroute.h"

#include <string>
#include <vector>

/// Ordered routes built by route conversion; owns them.
class OSMRoutes
{
public:
    virtual ~OSMRoutes() = default;

    const std::vector<OSMRoute *> &routes() const { return list.items(); }
    void add(OSMRoute *route) { list.add(route); }
    /// Every route whose name equals `name` byte for byte, in collection order.
    std::vector<OSMRoute *> routesByName(const std::string &name) const;
    size_t size() const { return list.size(); }

private:
    OwningList<OSMRoute> list;
};

#endif
