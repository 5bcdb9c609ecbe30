#ifndef KOLVEX_GEO_GEODESY_H
#define KOLVEX_GEO_GEODESY_H

#include <ostream>

/// A geographic position in degrees (WGS 84), latitude first.
struct Location
{
    double lat = 0.0;
    double lon = 0.0;

    Location() = default;
    Location(double latitude, double longitude) : lat(latitude), lon(longitude) {}
    bool operator==(const Location &o) const { return lat == o.lat && lon == o.lon; }
    bool operator!=(const Location &o) const { return !(*this == o); }
};

/// A directed piece of straight line from `first` to `second`.
struct Segment
{
    Location first;
    Location second;

    Segment() = default;
    Segment(const Location &a, const Location &b) : first(a), second(b) {}
};

namespace geo {

/// Sphere radius of every distance and destination formula, in metres.
constexpr double EARTH_RADIUS = 6378160.0;
constexpr double PI = 3.141592653589793;
/// Length of the auxiliary lines of perpendicularAt and tailsIntersection, in metres.
constexpr double AUX_LENGTH = 100.0;
/// Below this longitude difference (degrees) a segment counts as vertical.
constexpr double SLOPE_EPSILON = 1e-7;

// Inline: the preparation of a city converts millions of cell bearings.
inline double degToRad(double deg)
{
    return PI * deg / 180.0;
}
inline double radToDeg(double rad)
{
    return 180.0 * rad / PI;
}

/// Equirectangular distance in metres (symmetric in its arguments).
double distance(double lat1, double lon1, double lat2, double lon2);
double distance(const Location &a, const Location &b);

/// Initial bearing from the first point to the second, clockwise from north, in [0, 360).
double bearing(double lat1, double lon1, double lat2, double lon2);
double bearing(const Location &from, const Location &to);

/// Destination on the sphere after `distance` metres on `bearing` degrees; longitude is not wrapped.
Location moveLocation(const Location &start, double bearing, double distance);
/// Point on the chord between a (t = 0) and b (t = 1), projected back to latitude and longitude.
Location intermediateLocation(const Location &a, const Location &b, double t);

/// Bearing arithmetic: the result is in [0, 360) for any finite input, and NaN for NaN or infinite
/// input. A bearing argument outside [0, 360] is reported on standard error.
double addToBearing(double bearing, double delta);
double subtractFromBearing(double bearing, double delta);
/// Smallest angle between two bearings, in [0, 180].
double bearingDifference(double bearing1, double bearing2);
double segmentsBearingDifference(const Location &a, const Location &b, const Location &c, const Location &d);

/// Moves both ends of a→b inward by `distance` metres.
void shortenSegment(Location &a, Location &b, double distance);
/// Shifts a→b sideways, to the right of its direction for a positive distance.
void offsetSegment(Location &a, Location &b, double distance);
/// Moves b away from a by `distance` metres.
void extendLocation(const Location &a, Location &b, double distance);
/// A 200 m line through b at right angles to a→b, `first` on the left of travel.
Segment perpendicularAt(const Location &a, const Location &b);

bool isInBoundingBox(const Location &a, const Location &b, const Location &p);
/// Planar intersection of p1–p2 with p3–p4 (latitude as x); (0, 0) and found = false if none.
Location segmentsIntersection(const Location &p1, const Location &p2, const Location &p3, const Location &p4,
                              bool &found);
/// Intersection of the continuations beyond b of a→b and beyond d of c→d.
Location tailsIntersection(const Location &a, const Location &b, const Location &c, const Location &d, bool &found);
bool segmentCrossesRectangle(const Location &a, const Location &b, const Location &northWest,
                             const Location &southEast);

} // namespace geo

/// "lat: %.7f, lon: %.7f"
std::ostream &operator<<(std::ostream &os, const Location &location);
/// "Loc1 - lat: %.7f, lon: %.7f | Loc2 - lat: %.7f, lon: %.7f"
std::ostream &operator<<(std::ostream &os, const Segment &segment);

#endif
