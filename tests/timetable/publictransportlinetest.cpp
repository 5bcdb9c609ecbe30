#include "timetable/publictransportline.h"
#include "timetable/schedule.h"

#include <gtest/gtest.h>

TEST(PublicTransportLine, VehicleTypeFollowsTheScheduleLineType)
{
    const std::pair<int32_t, int32_t> cases[] = {{Schedule::Tram, PublicTransportLine::TramLine},
                                                 {Schedule::Trolleybus, PublicTransportLine::TrolleybusLine},
                                                 {Schedule::Bus, PublicTransportLine::BusLine},
                                                 {Schedule::NoType, PublicTransportLine::BusLine}};
    for (const auto &[lineType, vehicleType] : cases) {
        PublicTransportLine line;
        line.vehicleType = PublicTransportLine::vehicleTypeFromLineType(lineType);
        EXPECT_EQ(line.vehicleType, vehicleType) << "line type " << lineType;
        EXPECT_EQ(line.isTram(), lineType == Schedule::Tram) << "line type " << lineType;
    }
}
