// The stages of a run's preparation as the window follows them: announced in order, and stopped
// between two of them when cancelled.

#include "engine/simulation.h"

#include <QFileInfo>

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

TEST(Preparation, ACancelStopsItBeforeTheNextStageAndItNeverReportsDone)
{
    const QString map = QStringLiteral(KOLVEX_SOURCE_DIR "/data/kesta_center_2014-04-15_compressed_edited.osm");
    if (!QFileInfo(map).isFile())
        GTEST_SKIP() << "the bundled map is missing";
    for (int cancelAt : {0, 3, Simulation::PREPARATION_STAGES}) {
        Simulation simulation(map, QStringLiteral(KOLVEX_SOURCE_DIR "/data/schedules.xml"), QTime(14, 0));
        std::vector<int> stages;
        int cancelled = 0, done = 0;
        // prepData runs in this thread here, so the signals arrive at once.
        QObject::connect(&simulation, &Simulation::stageStarted, [&](int stage, int count, const QString &) {
            EXPECT_EQ(count, Simulation::PREPARATION_STAGES);
            stages.push_back(stage);
            if (stage == cancelAt)
                simulation.cancelPreparation();
        });
        // The conversion to cells, the longest stage, moves the bar on from within.
        std::vector<int> shares;
        QObject::connect(&simulation, &Simulation::stageShare, [&](int stage, int, int percent) {
            EXPECT_EQ(stage, 5);
            shares.push_back(percent);
        });
        QObject::connect(&simulation, &Simulation::prepDataCancelled, [&] { ++cancelled; });
        QObject::connect(&simulation, &Simulation::prepDataDone, [&] { ++done; });
        if (cancelAt == 0)
            simulation.cancelPreparation();
        simulation.prepData();
        std::vector<int> expected;
        for (int stage = 1; stage <= cancelAt; ++stage)
            expected.push_back(stage);
        EXPECT_EQ(stages, expected) << "cancelled at " << cancelAt;
        // A cancel during the last stage comes after the last check: the window drops that run itself.
        const bool last = cancelAt == Simulation::PREPARATION_STAGES;
        EXPECT_EQ(cancelled, last ? 0 : 1);
        EXPECT_EQ(done, last ? 1 : 0);
        EXPECT_EQ(shares.size(), last ? 13u : 0u);
        EXPECT_TRUE(std::is_sorted(shares.begin(), shares.end()));
        EXPECT_EQ(shares.empty() ? 100 : shares.back(), 100);
        EXPECT_EQ(simulation.state(), last ? Simulation::State::Prepared : Simulation::State::Created);
        if (!last)
            continue;
        // Each stage recorded what it had to say, in stage order; the stops that got no cells are
        // named by their map node.
        std::vector<std::string> order;
        size_t droppedStops = 0;
        for (const Diagnostic &d : simulation.diagnostics().all()) {
            if (std::find(order.begin(), order.end(), d.component) == order.end())
                order.push_back(d.component);
            droppedStops += d.severity == Severity::Warning && d.component == "NetworkConvertor" && d.elementId > 0;
        }
        std::vector<size_t> firstSaid;
        for (const char *component : {"Schedule parser", "OSMBusStopConvertor", "TramStopConvertor", "NetworkConvertor",
                                      "RouteConvertor", "LineCreator"})
            firstSaid.push_back(size_t(std::find(order.begin(), order.end(), component) - order.begin()));
        EXPECT_TRUE(std::is_sorted(firstSaid.begin(), firstSaid.end()) && firstSaid.back() < order.size());
        EXPECT_GT(droppedStops, 0u);
    }
}
