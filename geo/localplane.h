#ifndef KOLVEX_GEO_LOCALPLANE_H
#define KOLVEX_GEO_LOCALPLANE_H

#include "geodesy.h"

#include <cmath>

namespace geo {

/// Metres along a meridian per degree of latitude, as the local planes measure them.
constexpr double METRES_PER_DEGREE = 111319.49;

/// The plane tangent to the globe at an origin, in metres east (x) and north (y) of it: good
/// for the few tens of metres between a stop and the way it is put on.
class LocalPlane
{
public:
    explicit LocalPlane(const Location &origin)
        : origin(origin), metresPerLon(METRES_PER_DEGREE * std::cos(degToRad(origin.lat)))
    {}

    /// Metres east from `from` to `to`.
    double east(const Location &from, const Location &to) const { return (to.lon - from.lon) * metresPerLon; }
    /// Metres north from `from` to `to`.
    double north(const Location &from, const Location &to) const { return (to.lat - from.lat) * METRES_PER_DEGREE; }
    /// The point `east` and `north` metres from the origin.
    Location at(double east, double north) const
    {
        return Location(origin.lat + north / METRES_PER_DEGREE, origin.lon + east / metresPerLon);
    }

private:
    Location origin;
    double metresPerLon;
};

} // namespace geo

#endif
