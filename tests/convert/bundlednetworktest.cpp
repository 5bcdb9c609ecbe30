// The network conversion on the bundled Helsinki extract: every lane and track gets sound cells.

#include "testnetwork.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <regex>

using testmaps::ConvertedMap;

namespace {

/// The extract read and converted once for every test of this file.
class BundledNetwork : public ::testing::Test
{
protected:
    static void SetUpTestSuite() { map = ConvertedMap::load(KOLVEX_SOURCE_DIR "/data/helsinki_centre.osm").release(); }
    static void TearDownTestSuite()
    {
        delete map;
        map = nullptr;
    }
    void SetUp() override
    {
        if (!map)
            GTEST_SKIP() << "helsinki_centre.osm is missing";
    }
    static ConvertedMap *map;
};

ConvertedMap *BundledNetwork::map = nullptr;

/// The number after `label` in the conversion log, −1 if the line is missing.
long long loggedNumber(const std::string &log, const std::string &label)
{
    std::smatch match;
    if (!std::regex_search(log, match, std::regex("NetworkConvertor: " + label + "(-?[0-9]+)\n")))
        return -1;
    return std::stoll(match[1].str());
}

} // namespace

TEST_F(BundledNetwork, LogsSplitAndNodeBindingCountsAndGivesASoundNetwork)
{
    EXPECT_GT(loggedNumber(map->log, "    Split count \\(ways\\) = "), 0);
    EXPECT_GE(loggedNumber(map->log, "    Split count \\(tram stops\\) = "), 0);
    EXPECT_GE(loggedNumber(map->log, "    Split count \\(bus stops\\) = "), 0);
    const long long nodeBindings = loggedNumber(map->log, "    NodeBinding count = ");
    EXPECT_EQ(nodeBindings, (long long)map->bindings.nodeBindings().size());
    EXPECT_GT(nodeBindings, 0);
    // Splitting only appends pieces: every piece of the map is one more way.
    EXPECT_GE(map->osm.ways()->size(), map->bindings.wayBindings().size());
    const std::vector<const LaneBinding *> lanes = testmaps::allLanes(map->bindings);
    const auto tracks = std::count_if(lanes.begin(), lanes.end(), [](const LaneBinding *l) { return l->isTram; });
    EXPECT_GT(tracks, 0);
    EXPECT_GT(lanes.size(), size_t(tracks));
    testmaps::expectSoundNetwork(map->bindings, map->sim);
}

TEST_F(BundledNetwork, ConsecutiveCellsOfALaneAreAQuarterMetreApart)
{
    // Cells of one segment lie at most 0.25 m apart, and at least 0.1 m when the segment has three
    // cells or more (two cells on a segment of 0.25 to 0.5 m may lie closer). Across the joint of
    // two joined segments they lie at most 0.4 m apart; across a join gap anything goes.
    size_t pairs = 0;
    for (const LaneBinding *lane : testmaps::allLanes(map->bindings)) {
        const Polyline &line = lane->polyline;
        const Cell *cell = lane->firstCell;
        const Cell *previous = nullptr;
        for (size_t k = 0; 2 * k + 1 < line.size(); ++k) {
            const int count = std::max(1, int(std::ceil(4.0 * geo::distance(line[2 * k], line[2 * k + 1]))));
            for (int j = 0; j < count; ++j) {
                ASSERT_NE(cell, nullptr) << "way " << lane->wayId() << " ends early";
                ASSERT_EQ(cell->wayLink, lane);
                if (previous) {
                    const double d = geo::distance(previous->location, cell->location);
                    ++pairs;
                    if (j > 0) {
                        EXPECT_LE(d, 0.2501) << "way " << lane->wayId() << " segment " << k;
                        if (count >= 3) {
                            EXPECT_GE(d, 0.1) << "way " << lane->wayId() << " segment " << k;
                        }
                    } else if (line[2 * k - 1] == line[2 * k]) {
                        EXPECT_LE(d, 0.4) << "way " << lane->wayId() << " joint before segment " << k;
                    }
                }
                previous = cell;
                cell = cell == lane->lastCell ? nullptr : cell->next;
            }
        }
        EXPECT_EQ(previous, lane->lastCell) << "way " << lane->wayId();
    }
    EXPECT_GT(pairs, 100000u);
}
