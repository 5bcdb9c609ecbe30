#include "timetable/clock.h"

#include <gtest/gtest.h>

TEST(DayClock, DifferencesAreTakenTheNearerWayRoundMidnight)
{
    EXPECT_EQ(dayclock::secondOfDay(QTime(23, 59, 50)), 86390);
    const struct
    {
        int32_t difference;
        int32_t nearest;
    } cases[] = {
        // Due just past midnight, the clock just before it, read either way.
        {86410 - 86390, 20},
        {10 - 86390, 20},
        {86400, 0},
        {-20, -20},
        // Half a day stays positive.
        {43200, 43200},
        {-43200, 43200},
        {43201, -43199},
        // A trip that counts on over two days.
        {2 * 86400 + 5, 5},
    };
    for (const auto &c : cases)
        EXPECT_EQ(dayclock::nearestAcrossMidnight(c.difference), c.nearest) << c.difference;
}
