#ifndef KOLVEX_ENGINE_PREFETCHAHEAD_H
#define KOLVEX_ENGINE_PREFETCHAHEAD_H

#include "model/vehicle.h"

#include <cstddef>

/// A pass over a city's vehicles misses the cache for each one, and each read of a vehicle waits
/// for the one before it (the object, then the cells it points to), so the processor cannot
/// overlap one vehicle's reads with the next one's by itself. Called at item `i` of a pass over
/// `list`, this asks the cache for the object of the vehicle OBJECTS_AHEAD items on, and for the
/// cells and route of the one BODIES_AHEAD items on, whose object it asked for a few items ago;
/// only among the items before `end`, whose cells and route no other thread changes meanwhile.
/// `vehicleOf` gives the vehicle of an item. It changes nothing but what the cache holds, and a
/// compiler that sees so may drop a call to it that it has not inlined yet: hence `always_inline`.
constexpr size_t OBJECTS_AHEAD = 8;
constexpr size_t BODIES_AHEAD = 4;

template <typename List, typename VehicleOf>
[[gnu::always_inline]] inline void prefetchAhead(const List &list, size_t i, size_t end, VehicleOf vehicleOf)
{
    if (i + OBJECTS_AHEAD < end)
        prefetchObject(vehicleOf(list[i + OBJECTS_AHEAD]));
    if (i + BODIES_AHEAD < end)
        prefetchBody(vehicleOf(list[i + BODIES_AHEAD]));
}

/// The same for a pass that changes no vehicle's cells or route.
template <typename V> [[gnu::always_inline]] inline void prefetchAhead(const std::vector<V *> &list, size_t i)
{
    prefetchAhead(list, i, list.size(), [](const V *v) { return v; });
}

#endif
