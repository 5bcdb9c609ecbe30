#include "transport/linegenerator.h"

#include "model/bus.h"
#include "model/cell.h"
#include "model/chain.h"
#include "model/simulationdata.h"
#include "model/tram.h"
#include "osm/osmstop.h"
#include "report/diagnostics.h"
#include "timetable/publictransportline.h"

#include <gtest/gtest.h>

#include <memory>

namespace {

/// A chain of `approach` plain cells followed by `platform` stop cells, in driving order.
struct Platform
{
    SimulationData data{QTime(10, 0)};
    OSMStop stop{7, "P", BusStop, nullptr};
    std::vector<Cell *> cells;

    Platform(int approach, int platform)
    {
        for (int i = 0; i < approach + platform; ++i) {
            cells.push_back(data.createCell());
            cells[i]->setStop(i >= approach ? &stop : nullptr);
            if (i > 0) {
                cells[i]->setPrevious(cells[i - 1]);
                cells[i - 1]->setNext(cells[i]);
            }
        }
    }
    Cell *end() const { return cells.back(); }
    /// Puts a bus with its front on cell `index`.
    void standingBus(int index)
    {
        Bus *bus = new Bus(data, nullptr, 0);
        ASSERT_TRUE(place(cells[size_t(index)], bus));
        data.buses.push_back(bus);
    }
};

} // namespace

TEST(LineGenerator, StartsBehindStandingVehiclesOnlyWhereTheWholeVehicleFitsAndNothingCloses)
{
    struct Case
    {
        const char *what;
        int approach, platform;
        std::vector<int> standing; ///< fronts of standing buses, indices from the start of the chain
        int expected;              ///< index of the start cell, −1 for none
    };
    // A bus is 32 cells long.
    const std::vector<Case> cases = {
        {"an empty platform: at its end", 200, 81, {}, 280},
        {"behind a bus at the end, four cells back", 200, 81, {280}, 245},
        {"behind two buses the platform is too short", 200, 81, {280, 245}, -1},
        {"a platform shorter than the bus", 200, 20, {}, -1},
        {"a bus closing in 100 cells behind", 200, 81, {150}, -1},
        {"a bus 130 cells behind is far enough", 200, 81, {117}, 280},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        Platform p(c.approach, c.platform);
        for (int front : c.standing)
            p.standingBus(front);
        const Cell *start = LineGenerator::startPosition(p.end(), Bus::LENGTH);
        EXPECT_EQ(start, c.expected < 0 ? nullptr : p.cells[size_t(c.expected)]);
    }
}

TEST(LineGenerator, DepartureWithoutRoomWaitsAndLeavesOnceThereIsRoom)
{
    Platform p(200, 100);
    PublicTransportLine line, tramLine;
    line.startCell = tramLine.startCell = p.end();
    line.stops = {&p.stop};
    tramLine.vehicleType = PublicTransportLine::TramLine;
    LineGenerator generator;
    Diagnostics diagnostics;

    // Due at 09:59:30, 09:59:45 and, on the day after the run's first, 09:59:50.
    const int32_t due = 9 * 3600 + 59 * 60 + 30;
    generator.generateDue({{&line, due}, {&line, due + 15}, {&line, 86400 + due + 20}}, &p.data, diagnostics);
    EXPECT_EQ(p.data.buses.size(), 2u);
    ASSERT_EQ(generator.pending().size(), 1u);
    EXPECT_EQ(generator.pending().front().time, 86400 + due + 20);
    ASSERT_EQ(diagnostics.all().size(), 2u) << "one per vehicle placed";
    EXPECT_EQ(diagnostics.all().front().elementId, 7);
    EXPECT_EQ(diagnostics.all().front().severity, Severity::Progress);

    generator.retryPending(&p.data, diagnostics);
    EXPECT_EQ(generator.pending().size(), 1u) << "still no room";
    for (Bus *bus : p.data.buses) {
        release(bus);
        delete bus;
    }
    p.data.buses.clear();
    generator.retryPending(&p.data, diagnostics);
    EXPECT_TRUE(generator.pending().empty());
    EXPECT_EQ(p.data.buses.size(), 1u);
    EXPECT_EQ(p.data.buses.front()->departure(), due + 20)
        << "placed at 10:00, the trip keeps its timetable time and so shows it is late";
    EXPECT_EQ(p.data.buses.front()->id(), 2) << "the attempts without room used up no vehicle id";

    EXPECT_FALSE(generator.generate({&tramLine, due}, &p.data, false, diagnostics))
        << "a tram does not fit behind the bus";
    EXPECT_TRUE(generator.pending().empty()) << "a retry is not queued again";
    EXPECT_EQ(generator.tripsStarted(), 3);
}
