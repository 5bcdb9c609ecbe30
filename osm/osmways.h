#ifndef KOLVEX_OSM_OSMWAYS_H
#define KOLVEX_OSM_OSMWAYS_H

#include "way.h"

#include <unordered_map>
#include <vector>

/// Every way in insertion order; owns them. Pieces of a split way share an id, so the index keeps
/// every way of an id in collection order.
class OSMWays
{
public:
    OSMWays() = default;
    OSMWays(const OSMWays &) = delete;
    OSMWays &operator=(const OSMWays &) = delete;
    ~OSMWays();

    const std::vector<Way *> &ways() const { return list; }
    /// The first way with this id, null if absent.
    Way *findById(int64_t id) const;
    /// Every way with this id, in collection order.
    std::vector<Way *> getAllById(int64_t id) const;
    /// Takes ownership of `way` and appends it.
    void add(Way *way);
    /// Renumbers every way from a process-wide counter starting at 1.
    void simplifyIds();
    /// Rebuilds the id index; needed after ids were changed through Way::setId.
    void reindex();
    size_t size() const { return list.size(); }

private:
    std::vector<Way *> list;
    std::unordered_map<int64_t, std::vector<Way *>> byId;
    int64_t nextSimpleWayId = 1; ///< simplified ids continue from one simplification to the next
};

#endif
