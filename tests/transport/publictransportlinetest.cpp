#include "transport/publictransportline.h"
#include "transport/schedule.h"

#include <gtest/gtest.h>

TEST(PublicTransportLine, VehicleTypeFollowsTheScheduleLineType)
{
    EXPECT_EQ(PublicTransportLine::vehicleTypeFromLineType(Schedule::Tram), PublicTransportLine::TramLine);
    EXPECT_EQ(PublicTransportLine::vehicleTypeFromLineType(Schedule::Trolleybus), PublicTransportLine::TrolleybusLine);
    EXPECT_EQ(PublicTransportLine::vehicleTypeFromLineType(Schedule::Bus), PublicTransportLine::BusLine);
    EXPECT_EQ(PublicTransportLine::vehicleTypeFromLineType(Schedule::NoType), PublicTransportLine::BusLine);
    PublicTransportLine line;
    line.vehicleType = PublicTransportLine::vehicleTypeFromLineType(Schedule::Tram);
    EXPECT_TRUE(line.isTram());
}

TEST(Schedule, IdsAreConsecutive)
{
    Schedule a, b;
    EXPECT_EQ(b.id, a.id + 1);
}
