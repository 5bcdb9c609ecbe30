#include "timetable/departurecalendar.h"
#include "tests/stderrcapture.h"
#include "timetable/publictransportlines.h"

#include <gtest/gtest.h>

#include <utility>

namespace {

PublicTransportLine *lineLeavingAt(PublicTransportLines &lines, const char *name, std::vector<int32_t> seconds)
{
    auto *line = new PublicTransportLine;
    line->name = name;
    line->departuresSec = std::move(seconds);
    lines.add(line);
    return line;
}

/// Runs the calendar from `start` in steps of 250 ms for `seconds`, as the step does, and returns
/// (second of the day at release, line name) for every departure handed out.
std::vector<std::pair<int32_t, std::string>> releases(DepartureCalendar &calendar, QTime start, int32_t seconds)
{
    std::vector<std::pair<int32_t, std::string>> out;
    QTime now = start;
    StderrCapture quiet;
    for (int32_t i = 0; i < seconds * 4; ++i) {
        now = now.addMSecs(250);
        calendar.refresh(now);
        for (const PublicTransportLine *line : calendar.takeDue(now))
            out.emplace_back(now.hour() * 3600 + now.minute() * 60 + now.second(), line->name);
    }
    return out;
}

} // namespace

TEST(DepartureCalendar, ReleasesEachDepartureOnceInTimeAndLineOrder)
{
    PublicTransportLines lines;
    lineLeavingAt(lines, "a", {28799, 28800, 32399, 32400, 30000});
    lineLeavingAt(lines, "b", {30000, 86400, -5});
    DepartureCalendar calendar;
    calendar.setLines(&lines);
    calendar.setTime(QTime(8, 0));

    const auto out = releases(calendar, QTime(8, 0), 2 * 3600);
    const std::vector<std::pair<int32_t, std::string>> expected = {
        {28800, "a"}, {30000, "a"}, {30000, "b"}, {32399, "a"}, {32400, "a"}};
    EXPECT_EQ(out, expected) << "07:59:59 is before the start; 24:00 and negative times are never queued";
    EXPECT_TRUE(calendar.queue().empty());
}

TEST(DepartureCalendar, QueuesOneHourAheadAndRefreshesHourly)
{
    PublicTransportLines lines;
    lineLeavingAt(lines, "a", {28800, 32399, 32400, 35999, 36000});
    DepartureCalendar calendar(&lines);
    calendar.setTime(QTime(8, 0));
    StderrCapture err;
    calendar.refresh(QTime(7, 59, 59));
    EXPECT_TRUE(calendar.queue().empty()) << "nothing before the first window";
    calendar.refresh(QTime(8, 0, 0, 250));
    EXPECT_EQ(calendar.queue().size(), 2u);
    calendar.refresh(QTime(8, 30));
    EXPECT_EQ(calendar.queue().size(), 2u);
    calendar.refresh(QTime(9, 0));
    EXPECT_EQ(calendar.queue().size(), 4u);
    EXPECT_EQ(err.lines().back(), "Calendar refreshed | queue size == 4");
}

TEST(DepartureCalendar, KeepsReleasingPastMidnight)
{
    PublicTransportLines lines;
    lineLeavingAt(lines, "late", {85500, 86399});
    lineLeavingAt(lines, "night", {600, 2400, 5000});
    DepartureCalendar calendar(&lines);
    calendar.setTime(QTime(23, 30));

    const auto out = releases(calendar, QTime(23, 30), 5400);
    const std::vector<std::pair<int32_t, std::string>> expected = {
        {85500, "late"}, {86399, "late"}, {600, "night"}, {2400, "night"}};
    EXPECT_EQ(out, expected);
    EXPECT_EQ(calendar.queue().size(), 1u) << "01:23:20 is queued by the window from 00:30, not yet due at 01:00";
}
