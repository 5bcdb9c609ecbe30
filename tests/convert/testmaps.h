#ifndef KOLVEX_TESTS_CONVERT_TESTMAPS_H
#define KOLVEX_TESTS_CONVERT_TESTMAPS_H

#include "geo/geodesy.h"
#include "model/cell.h"
#include "osm/osmdata.h"
#include "tests/stderrcapture.h"

#include <cmath>
#include <iostream>
#include <sstream>
#include <string>
#include <vector>

#include <gtest/gtest.h>

/// Helpers for building small maps in code, on a local metric plane near Helsinki.
namespace testmaps {

constexpr double ORIGIN_LAT = 60.17;
constexpr double ORIGIN_LON = 24.94;

/// The location x metres east and y metres north of the origin.
inline Location at(double x, double y)
{
    const double lat = ORIGIN_LAT + geo::radToDeg(y / geo::EARTH_RADIUS);
    const double lon = ORIGIN_LON + geo::radToDeg(x / (geo::EARTH_RADIUS * std::cos(geo::degToRad(ORIGIN_LAT))));
    return Location(lat, lon);
}

/// Metres east of the origin.
inline double xOf(const Location &l)
{
    return geo::degToRad(l.lon - ORIGIN_LON) * geo::EARTH_RADIUS * std::cos(geo::degToRad(ORIGIN_LAT));
}

/// Metres north of the origin.
inline double yOf(const Location &l)
{
    return geo::degToRad(l.lat - ORIGIN_LAT) * geo::EARTH_RADIUS;
}

/// Whether `l` lies within `tolerance` metres of the point (x, y) of the plane, on each axis.
inline ::testing::AssertionResult isAt(const Location &l, double x, double y, double tolerance = 0.01)
{
    if (std::fabs(xOf(l) - x) <= tolerance && std::fabs(yOf(l) - y) <= tolerance)
        return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure() << "(" << xOf(l) << ", " << yOf(l) << ") is not (" << x << ", " << y << ")";
}

/// The location at distance r and compass bearing b (degrees) from the point (x, y) of the plane.
inline Location polar(double x, double y, double r, double b)
{
    return at(x + r * std::sin(geo::degToRad(b)), y + r * std::cos(geo::degToRad(b)));
}

struct TestWay
{
    int64_t id;
    std::vector<int64_t> nodes;
    int lanesForward = 1;
    int lanesBackward = 1;
    bool oneway = false;
    bool tram = false;
    bool highway = true;
};

inline void addWay(OSMData &data, const TestWay &w)
{
    data.addWay(w.id, w.nodes, w.tram, w.highway, w.oneway, false, Road, w.lanesForward, w.lanesBackward);
}

inline int countOccurrences(const std::string &s, const std::string &needle)
{
    int n = 0;
    for (size_t pos = s.find(needle); pos != std::string::npos; pos = s.find(needle, pos + 1))
        ++n;
    return n;
}

} // namespace testmaps

/// Whether the links of `c` are sound: mutual along lanes, and at a crossroad one-way as built
/// (the entry lane's last cell has no next link but marks the crossroad, and the exit lane's first
/// cell has no back link to the paths that lead into it).
inline ::testing::AssertionResult linksAreSound(const Cell *c)
{
    if (c->next && c->next->previous != c) {
        const bool pathIntoExit = c->inCrossroad && !c->next->inCrossroad && !c->next->previous;
        if (!pathIntoExit)
            return ::testing::AssertionFailure() << "cell " << c->id << ": next does not lead back";
    }
    if (c->previous && c->previous->next != c) {
        const bool entryIntoPath = c->inCrossroad && !c->previous->next && c->previous->crossroad;
        if (!entryIntoPath)
            return ::testing::AssertionFailure() << "cell " << c->id << ": previous does not lead back";
    }
    return ::testing::AssertionSuccess();
}

#endif
