#include "geo/geodesy.h"

#include "tests/stderrcapture.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

using namespace geo;

TEST(GeodesyBearing, CardinalDirectionsAndIdenticalPointsAndArithmeticInRangeForAnyFiniteInput)
{
    EXPECT_DOUBLE_EQ(bearing(Location(0, 0), Location(0, 1)), 90.0);
    EXPECT_DOUBLE_EQ(bearing(Location(0, 0), Location(1, 0)), 0.0);
    EXPECT_NEAR(bearing(Location(0, 1), Location(0, 0)), 270.0, 1e-9);
    EXPECT_DOUBLE_EQ(bearing(Location(50, 14), Location(50, 14)), 90.0);
    EXPECT_LT(bearing(Location(60.1, 24.9), Location(60.2, 24.9)), 360.0); // north is 0, never 360
    StderrCapture capture; // the decision threads fold bearings: folding never prints
    const double cases[][2] = {{addToBearing(350, 20), 10},       {subtractFromBearing(10, 20), 350},
                               {addToBearing(360, 0), 0},         {addToBearing(-30, 0), 330},
                               {subtractFromBearing(10, 730), 0}, {addToBearing(-1e-20, 0), 0},
                               {bearingDifference(10, 350), 20},  {bearingDifference(-10, 370), 20}};
    for (size_t i = 0; i < std::size(cases); ++i)
        EXPECT_NEAR(cases[i][0], cases[i][1], 1e-9) << "row " << i;
    // Huge values return at once and in range.
    for (double b : {1e300, -1e18, -std::numeric_limits<double>::denorm_min()})
        for (double d : {0.0, 1e308, -1e308}) {
            const double r = addToBearing(b, d), s = subtractFromBearing(b, d);
            EXPECT_TRUE(r >= 0.0 && r < 360.0 && s >= 0.0 && s < 360.0) << b << " ± " << d << ": " << r << ", " << s;
        }
    const double nan = std::numeric_limits<double>::quiet_NaN(), inf = std::numeric_limits<double>::infinity();
    for (double b : {nan, inf, -inf})
        EXPECT_TRUE(std::isnan(addToBearing(b, 10)) && std::isnan(subtractFromBearing(10, b))) << b;
    EXPECT_EQ(capture.text(), "");
}

TEST(GeodesyDistance, OneDegreeOfLatitudeAndMovesThatRoundTripWithDistanceAndBearing)
{
    for (double lon : {-120.0, 0.0, 24.9})
        EXPECT_NEAR(distance(Location(10, lon), Location(11, lon)), EARTH_RADIUS * PI / 180.0, 1e-6);
    const Location start(60.17, 24.94);
    EXPECT_DOUBLE_EQ(distance(start, start), 0.0);
    const Location east = moveLocation(start, 90.0, 100.0);
    EXPECT_NEAR(distance(start, east), 100.0, 0.01);
    EXPECT_NEAR(distance(east, start), 100.0, 0.01);
    EXPECT_NEAR(bearing(start, east), 90.0, 0.01);
    EXPECT_NEAR(distance(start, intermediateLocation(start, east, 0.5)), 50.0, 0.01);
}

TEST(GeodesyIntersection, CrossingCollinearAndMissingSegments)
{
    bool found = false;
    EXPECT_EQ(segmentsIntersection(Location(0, 0), Location(2, 2), Location(0, 2), Location(2, 0), found),
              Location(1, 1));
    EXPECT_TRUE(found);
    EXPECT_EQ(segmentsIntersection(Location(0, 0), Location(1, 1), Location(2, 2), Location(3, 3), found), Location());
    EXPECT_FALSE(found);
    segmentsIntersection(Location(0, 0), Location(1, 0), Location(2, -1), Location(2, 1), found);
    EXPECT_FALSE(found); // the lines meet at (2, 0), outside the first segment
    // The continuations of two segments that point at each other's ends.
    const Location t = tailsIntersection(Location(0, 0), Location(0, 0.0005), Location(0.0005, 0.0007),
                                         Location(0.0003, 0.0007), found);
    EXPECT_TRUE(found);
    EXPECT_TRUE(std::fabs(t.lat) < 1e-9 && std::fabs(t.lon - 0.0007) < 1e-9) << t;
}
