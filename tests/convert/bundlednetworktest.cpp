// The network conversion on the bundled Helsinki extract: stages up to the way cells must give
// every lane and track sound cells.

#include "convert/lanegeometry.h"
#include "convert/networkconvertor.h"
#include "convert/osmbusstopconvertor.h"
#include "model/bindingdata.h"
#include "model/cell.h"
#include "model/simulationdata.h"
#include "osm/osmdata.h"
#include "osm/osmparser.h"
#include "testmaps.h"

#include <gtest/gtest.h>

#include <QFile>

#include <cmath>
#include <memory>
#include <regex>

namespace {

const char *const EXTRACT = KOLVEX_SOURCE_DIR "/data/helsinki_centre.osm";

/// The extract read and converted once for every test of this file.
class BundledNetwork : public ::testing::Test
{
protected:
    static void SetUpTestSuite()
    {
        if (!QFile::exists(QString::fromUtf8(EXTRACT)))
            return;
        osm = new OSMData;
        sim = new SimulationData;
        bindings = new BindingData;
        testmaps::StderrCapture capture;
        OSMParser::parseFile(QString::fromUtf8(EXTRACT), osm);
        OSMBusStopConvertor::convert(osm);
        NetworkConvertor(osm, sim, bindings).convert();
        log = new std::string(capture.text());
    }
    static void TearDownTestSuite()
    {
        delete log;
        delete bindings;
        delete sim;
        delete osm;
        log = nullptr;
        bindings = nullptr;
        sim = nullptr;
        osm = nullptr;
    }
    void SetUp() override
    {
        if (!osm)
            GTEST_SKIP() << EXTRACT << " is missing";
    }

    /// Every lane and tram track of every way piece.
    static std::vector<const LaneBinding *> allLanes()
    {
        std::vector<const LaneBinding *> lanes;
        for (const WayBinding *w : bindings->wayBindings()) {
            for (const DirectionBinding *d : {&w->forward, &w->backward}) {
                lanes.insert(lanes.end(), d->lanes.begin(), d->lanes.end());
                if (d->tramLane)
                    lanes.push_back(d->tramLane);
            }
        }
        return lanes;
    }

    static OSMData *osm;
    static SimulationData *sim;
    static BindingData *bindings;
    static std::string *log;
};

OSMData *BundledNetwork::osm = nullptr;
SimulationData *BundledNetwork::sim = nullptr;
BindingData *BundledNetwork::bindings = nullptr;
std::string *BundledNetwork::log = nullptr;

/// The number after `label` in the conversion log, −1 if the line is missing.
long long loggedNumber(const std::string &log, const std::string &label)
{
    std::smatch match;
    if (!std::regex_search(log, match, std::regex("NetworkConvertor: " + label + "(-?[0-9]+)\n")))
        return -1;
    return std::stoll(match[1].str());
}

} // namespace

TEST_F(BundledNetwork, LogsSplitAndNodeBindingCounts)
{
    const long long ways = loggedNumber(*log, "    Split count \\(ways\\) = ");
    const long long tramStops = loggedNumber(*log, "    Split count \\(tram stops\\) = ");
    const long long busStops = loggedNumber(*log, "    Split count \\(bus stops\\) = ");
    const long long nodeBindings = loggedNumber(*log, "    NodeBinding count = ");
    std::cout << "split counts: ways " << ways << ", tram stops " << tramStops << ", bus stops " << busStops
              << "; node bindings " << nodeBindings << "; way pieces " << bindings->wayBindings().size() << "; cells "
              << sim->cells.size() << std::endl;
    EXPECT_GT(ways, 0);
    EXPECT_GE(tramStops, 0);
    EXPECT_GE(busStops, 0);
    EXPECT_EQ(nodeBindings, (long long)bindings->nodeBindings().size());
    EXPECT_GT(nodeBindings, 0);
    // Splitting only appends pieces: every piece of the map is one more way.
    EXPECT_GE(osm->ways()->size(), bindings->wayBindings().size());
}

TEST_F(BundledNetwork, EveryLaneAndTrackHasCells)
{
    size_t lanes = 0, tracks = 0;
    for (const LaneBinding *lane : allLanes()) {
        (lane->isTram ? tracks : lanes)++;
        ASSERT_NE(lane->firstCell, nullptr) << "way " << lane->wayId();
        ASSERT_NE(lane->lastCell, nullptr) << "way " << lane->wayId();
        EXPECT_EQ(lane->firstCell->wayLink, lane);
        EXPECT_EQ(lane->lastCell->wayLink, lane);
    }
    EXPECT_GT(lanes, 0u);
    EXPECT_GT(tracks, 0u);
}

TEST_F(BundledNetwork, CellLinksAreMutualAndPositionsSound)
{
    for (const Cell *c : sim->cells) {
        ASSERT_TRUE(std::isfinite(c->location.lat) && std::isfinite(c->location.lon)) << "cell " << c->id;
        ASSERT_FALSE(c->location.lat == 0.0 && c->location.lon == 0.0) << "cell " << c->id;
        ASSERT_TRUE(linksAreSound(c));
    }
}

TEST_F(BundledNetwork, ConsecutiveCellsOfALaneAreAQuarterMetreApart)
{
    // Cells of one segment lie at most 0.25 m apart, and at least 0.1 m when the segment has three
    // cells or more (two cells on a segment of 0.25 to 0.5 m may lie closer). Across the joint of
    // two joined segments they lie at most 0.4 m apart; across a join gap anything goes.
    size_t pairs = 0, close = 0, gaps = 0;
    for (const LaneBinding *lane : allLanes()) {
        const Polyline &line = lane->polyline;
        const Cell *cell = lane->firstCell;
        const Cell *previous = nullptr;
        for (size_t k = 0; 2 * k + 1 < line.size(); ++k) {
            const double length = geo::distance(line[2 * k], line[2 * k + 1]);
            const int count = std::max(1, int(std::ceil(4.0 * length)));
            for (int j = 0; j < count; ++j) {
                ASSERT_NE(cell, nullptr) << "way " << lane->wayId() << " ends early";
                ASSERT_EQ(cell->wayLink, lane);
                if (previous) {
                    const double d = geo::distance(previous->location, cell->location);
                    ++pairs;
                    if (d < 0.1)
                        ++close;
                    if (j > 0) {
                        EXPECT_LE(d, 0.2501) << "way " << lane->wayId() << " segment " << k;
                        if (count >= 3) {
                            EXPECT_GE(d, 0.1) << "way " << lane->wayId() << " segment " << k;
                        }
                    } else if (line[2 * k - 1] == line[2 * k]) {
                        EXPECT_LE(d, 0.4) << "way " << lane->wayId() << " joint before segment " << k;
                    } else {
                        ++gaps;
                    }
                }
                previous = cell;
                cell = cell == lane->lastCell ? nullptr : cell->next;
            }
        }
        EXPECT_EQ(previous, lane->lastCell) << "way " << lane->wayId();
    }
    std::cout << pairs << " neighbouring cells, " << close << " closer than 0.1 m, " << gaps << " join gaps"
              << std::endl;
    EXPECT_GT(pairs, 100000u);
}
