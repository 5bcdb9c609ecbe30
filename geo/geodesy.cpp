#include "geodesy.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <limits>

namespace geo {

namespace {

/// The point a share `t` of the way from (x1, y1, z1) to (x2, y2, z2).
void blend3(double x1, double y1, double z1, double x2, double y2, double z2, double t, double &x, double &y, double &z)
{
    x = x1 + (x2 - x1) * t;
    y = y1 + (y2 - y1) * t;
    z = t * (z2 - z1) + z1;
}

/// Folds a bearing into [0, 360]; NaN for a non-finite bearing. Silent: the decision threads
/// call it, and a caller that needs to know compares the value it passed.
double validBearing(double bearing)
{
    if (!std::isfinite(bearing))
        return std::numeric_limits<double>::quiet_NaN();
    if (bearing < 0.0 || bearing > 360.0) {
        // fmod is exact, so in-range results equal those of repeated steps of 360, in bounded time.
        bearing = std::fmod(bearing, 360.0);
        if (bearing < 0.0)
            bearing += 360.0;
    }
    return bearing;
}

/// Folds a sum of bearing and angle into [0, 360); NaN stays NaN.
double foldIntoCircle(double r)
{
    if (r >= 360.0 || r < 0.0) {
        r = std::fmod(r, 360.0);
        if (r < 0.0)
            r += 360.0;
        // A tiny negative remainder plus 360 rounds up to 360.
        if (r >= 360.0)
            r = 0.0;
    }
    return r;
}

} // namespace

double distance(double lat1, double lon1, double lat2, double lon2)
{
    const double phi1 = degToRad(lat1), phi2 = degToRad(lat2);
    const double x = std::cos((phi1 + phi2) / 2.0) * (degToRad(lon2) - degToRad(lon1));
    const double y = phi2 - phi1;
    return EARTH_RADIUS * std::sqrt(x * x + y * y);
}

double distance(const Location &a, const Location &b)
{
    return distance(a.lat, a.lon, b.lat, b.lon);
}

double bearing(double lat1, double lon1, double lat2, double lon2)
{
    const double phi1 = degToRad(lat1), phi2 = degToRad(lat2);
    const double dLambda = degToRad(lon2 - lon1);
    double theta =
        90.0 -
        radToDeg(std::atan2(std::cos(phi1) * std::sin(phi2) - std::cos(dLambda) * std::cos(phi2) * std::sin(phi1),
                            std::sin(dLambda) * std::cos(phi2)));
    if (theta < 0.0)
        theta += 360.0;
    return theta;
}

double bearing(const Location &from, const Location &to)
{
    return bearing(from.lat, from.lon, to.lat, to.lon);
}

Location moveLocation(const Location &start, double bearingDeg, double dist)
{
    const double delta = dist / EARTH_RADIUS;
    const double theta = degToRad(bearingDeg);
    const double phi1 = degToRad(start.lat), lambda1 = degToRad(start.lon);
    const double phi2 =
        std::asin(std::sin(phi1) * std::cos(delta) + std::cos(phi1) * std::sin(delta) * std::cos(theta));
    const double lambda2 = lambda1 + std::atan2(std::sin(theta) * std::sin(delta) * std::cos(phi1),
                                                std::cos(delta) - std::sin(phi1) * std::sin(phi2));
    return Location(radToDeg(phi2), radToDeg(lambda2));
}

Location intermediateLocation(const Location &a, const Location &b, double t)
{
    const double phi1 = degToRad(a.lat), lambda1 = degToRad(a.lon);
    const double phi2 = degToRad(b.lat), lambda2 = degToRad(b.lon);
    double x, y, z;
    blend3(std::cos(phi1) * std::cos(lambda1), std::cos(phi1) * std::sin(lambda1), std::sin(phi1),
           std::cos(phi2) * std::cos(lambda2), std::cos(phi2) * std::sin(lambda2), std::sin(phi2), t, x, y, z);
    return Location(radToDeg(std::atan2(z, std::sqrt(x * x + y * y))), radToDeg(std::atan2(y, x)));
}

double addToBearing(double bearingDeg, double delta)
{
    return foldIntoCircle(validBearing(bearingDeg) + delta);
}

double subtractFromBearing(double bearingDeg, double delta)
{
    return foldIntoCircle(validBearing(bearingDeg) - delta);
}

double bearingDifference(double bearing1, double bearing2)
{
    const double b1 = validBearing(bearing1);
    const double b2 = validBearing(bearing2);
    double d = std::fabs(b1 - b2);
    if (d > 180.0)
        d = 360.0 - d;
    return d;
}

double segmentsBearingDifference(const Location &a, const Location &b, const Location &c, const Location &d)
{
    return bearingDifference(bearing(a, b), bearing(c, d));
}

void shortenSegment(Location &a, Location &b, double dist)
{
    const double theta = bearing(a, b);
    a = moveLocation(a, theta, dist);
    b = moveLocation(b, addToBearing(theta, 180.0), dist);
}

void offsetSegment(Location &a, Location &b, double dist)
{
    const double theta = addToBearing(bearing(a, b), 90.0);
    a = moveLocation(a, theta, dist);
    b = moveLocation(b, theta, dist);
}

void extendLocation(const Location &a, Location &b, double dist)
{
    b = moveLocation(b, bearing(a, b), dist);
}

Segment perpendicularAt(const Location &a, const Location &b)
{
    const Location r = moveLocation(b, addToBearing(bearing(a, b), 90.0), AUX_LENGTH);
    Location l = b;
    extendLocation(r, l, AUX_LENGTH);
    return Segment(l, r);
}

bool isInBoundingBox(const Location &a, const Location &b, const Location &p)
{
    return p.lat >= std::min(a.lat, b.lat) && p.lat <= std::max(a.lat, b.lat) && p.lon >= std::min(a.lon, b.lon) &&
           p.lon <= std::max(a.lon, b.lon);
}

Location segmentsIntersection(const Location &p1, const Location &p2, const Location &p3, const Location &p4,
                              bool &found)
{
    found = false;
    const double x1 = p1.lat, y1 = p1.lon, x2 = p2.lat, y2 = p2.lon;
    const double x3 = p3.lat, y3 = p3.lon, x4 = p4.lat, y4 = p4.lon;
    const double det = (x2 - x1) * (y3 - y4) - (x4 - x3) * (y1 - y2);
    if (det == 0.0)
        return Location();
    const double c1 = y1 * (x2 - x1) + x1 * (y1 - y2);
    const double c2 = y3 * (x4 - x3) + x3 * (y3 - y4);
    const Location p(((x2 - x1) * c2 - (x4 - x3) * c1) / det, ((y3 - y4) * c1 - (y1 - y2) * c2) / det);
    if (isInBoundingBox(p1, p2, p) && isInBoundingBox(p3, p4, p)) {
        found = true;
        return p;
    }
    return Location();
}

Location tailsIntersection(const Location &a, const Location &b, const Location &c, const Location &d, bool &found)
{
    const Location e1 = moveLocation(a, bearing(a, b), AUX_LENGTH);
    const Location e2 = moveLocation(c, bearing(c, d), AUX_LENGTH);
    return segmentsIntersection(b, e1, d, e2, found);
}

bool segmentCrossesRectangle(const Location &a, const Location &b, const Location &northWest, const Location &southEast)
{
    const double lo = std::max(std::min(a.lon, b.lon), northWest.lon);
    const double hi = std::min(std::max(a.lon, b.lon), southEast.lon);
    if (hi < lo)
        return false;
    double latLo, latHi;
    if (std::fabs(b.lon - a.lon) > SLOPE_EPSILON) {
        const double k = (b.lat - a.lat) / (b.lon - a.lon);
        const double q = a.lat - a.lon * k;
        latLo = k * lo + q;
        latHi = k * hi + q;
    } else {
        latLo = a.lat;
        latHi = b.lat;
    }
    const double upper = std::min(std::max(latLo, latHi), northWest.lat);
    const double lower = std::max(std::min(latLo, latHi), southEast.lat);
    return lower <= upper;
}

} // namespace geo

std::ostream &operator<<(std::ostream &os, const Location &location)
{
    char buffer[96];
    std::snprintf(buffer, sizeof buffer, "lat: %.7f, lon: %.7f", location.lat, location.lon);
    return os << buffer;
}

std::ostream &operator<<(std::ostream &os, const Segment &segment)
{
    char buffer[192];
    std::snprintf(buffer, sizeof buffer, "Loc1 - lat: %.7f, lon: %.7f | Loc2 - lat: %.7f, lon: %.7f", segment.first.lat,
                  segment.first.lon, segment.second.lat, segment.second.lon);
    return os << buffer;
}
