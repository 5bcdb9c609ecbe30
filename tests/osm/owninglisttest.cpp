#include "osm/osmnodes.h"
#include "osm/osmstops.h"
#include "osm/osmways.h"
#include "tests/stderrcapture.h"

#include <gtest/gtest.h>

TEST(OwningList, FindsByKeyInListOrderAfterRemovalsAndRenumbering)
{
    OSMNodes nodes;
    for (int64_t id : {3, 1, 2})
        nodes.add(new Node(id, Location(0.0, 0.0)));
    nodes.findById(1)->setUsed();
    nodes.findById(2)->setUsed();
    {
        StderrCapture quiet;
        nodes.shake();
    }
    EXPECT_EQ(nodes.findById(3), nullptr);
    ASSERT_EQ(nodes.size(), 2u);
    EXPECT_EQ(nodes.nodes()[0], nodes.findById(1));

    // Two stops on one node: removing the first leaves the second found by the node.
    Node *shared = nodes.findById(1);
    auto *first = new OSMStop(0, "Kauppatori", BusStop, shared);
    auto *second = new OSMStop(1, "Salutorget", BusStop, shared);
    OSMStops stops;
    stops.add(first);
    stops.add(second);
    EXPECT_EQ(stops.findByNode(shared), first);
    EXPECT_EQ(stops.findByNameAndNode("Salutorget", shared), second);
    stops.remove(first);
    EXPECT_EQ(stops.findByNode(shared), second);
    EXPECT_EQ(stops.stopsOnNode(shared), std::vector<OSMStop *>{second});

    // Pieces of a split way share an id until the ids are simplified.
    OSMWays ways;
    std::vector<Way *> pieces;
    for (int64_t id : {7, 5, 7}) {
        pieces.push_back(new Way);
        pieces.back()->setId(id);
        ways.add(pieces.back());
    }
    EXPECT_EQ(ways.getAllById(7), (std::vector<Way *>{pieces[0], pieces[2]}));
    {
        StderrCapture quiet;
        ways.simplifyIds();
    }
    EXPECT_EQ(ways.findById(7), nullptr);
    EXPECT_EQ(ways.findById(3), pieces[2]);
}
