#include "timetable/departurecalendar.h"
#include "report/diagnostics.h"
#include "timetable/publictransportlines.h"

#include <gtest/gtest.h>

TEST(DepartureCalendar, ReleasesEachDepartureOnceInTimeAndLineOrderAlsoPastMidnight)
{
    using Releases = std::vector<std::pair<int32_t, std::string>>;
    const struct
    {
        const char *what;
        QTime start;
        std::vector<std::pair<const char *, std::vector<int32_t>>> lines;
        Releases expected;
        size_t queuedAfter;
    } cases[] = {
        // 07:59:59 is before the start; 24:00 and negative times are never queued.
        {"a morning",
         QTime(8, 0),
         {{"a", {28799, 28800, 32399, 32400, 30000}}, {"b", {30000, 86400, -5}}},
         {{28800, "a"}, {30000, "a"}, {30000, "b"}, {32399, "a"}, {32400, "a"}},
         0},
        // 01:23:20 is queued by the window from 00:30, not yet due at 01:00.
        {"past midnight",
         QTime(23, 30),
         {{"late", {85500, 86399}}, {"night", {600, 2400, 5000}}},
         {{85500, "late"}, {86399, "late"}, {600, "night"}, {2400, "night"}},
         1},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.what);
        PublicTransportLines lines;
        for (const auto &l : c.lines) {
            auto *line = new PublicTransportLine;
            line->name = l.first;
            line->departuresSec = l.second;
            lines.add(line);
        }
        DepartureCalendar calendar(&lines);
        calendar.setTime(c.start);
        // Runs the calendar in steps of 250 ms for 90 minutes, as the step does.
        Releases out;
        QTime now = c.start;
        Diagnostics diagnostics;
        for (int32_t i = 0; i < 90 * 60 * 4; ++i) {
            now = now.addMSecs(250);
            calendar.refresh(now, diagnostics);
            for (const DepartureEntry &due : calendar.takeDue(now)) {
                EXPECT_EQ(due.secondOfDay(), now.msecsSinceStartOfDay() / 1000) << "handed out when due";
                out.emplace_back(due.secondOfDay(), due.line->name);
            }
        }
        EXPECT_EQ(diagnostics.count(Severity::Progress), 2u) << "one per window of an hour begun";
        EXPECT_EQ(out, c.expected);
        EXPECT_EQ(calendar.queue().size(), c.queuedAfter);
    }
}
