#ifndef KOLVEX_MODEL_CELL_H
#define KOLVEX_MODEL_CELL_H

#include "convert/geodesy.h"

#include <cstdint>

class Crossroad;
class LaneBinding;
class OSMStop;
class Vehicle;

/// One 0.25 m piece of a lane, track, crossroad path or stop bay. Cells are linked into one-way
/// chains by `next`/`previous`; a chain ends at a crossroad, at a network exit, or loops.
class Cell
{
public:
    Cell();
    Cell(const Cell &) = delete;
    Cell &operator=(const Cell &) = delete;

    int32_t id;
    Cell *next = nullptr;
    Cell *previous = nullptr;
    Cell *sideOf = nullptr; ///< back link of `side`
    Cell *side = nullptr;   ///< a stop bay or platform cell beside this one
    Location location;
    LaneBinding *wayLink = nullptr; ///< null inside crossroads and on bay cells
    Crossroad *crossroad = nullptr; ///< set on the last cell of a chain entering a crossroad
    OSMStop *stop = nullptr;        ///< set on stop platform cells
    Vehicle *vehicle = nullptr;     ///< occupant, null if free
    bool inCrossroad = false;

    /// Follows `next` n times (`previous` for negative n); null as soon as a link is missing.
    Cell *cellAhead(int32_t n) const;
    /// Follows `previous` n times (`next` for negative n); null as soon as a link is missing.
    Cell *cellBehind(int32_t n) const;
    /// The vehicle of the first occupied cell among this one and up to n − 1 cells behind it.
    Vehicle *vehicleUpstream(int32_t n) const;
    /// Links to the end of the chain; 0 if the chain loops back here.
    int32_t cellsToEnd() const;
    /// Links to the start of the chain; 0 if the chain loops back here.
    int32_t cellsFromStart() const;
    /// Last cell along `next`; null if the chain loops.
    Cell *chainEnd() const;
    /// Last cell of the run of stop cells along `next` starting here.
    Cell *platformEnd() const;
    /// First cell of the run of stop cells along `previous` starting here.
    Cell *platformStart() const;
    bool isOccupied() const { return vehicle != nullptr; }
};

/// Sets a.side = b and b.sideOf = a; either may be null.
void linkSide(Cell *a, Cell *b);

#endif
