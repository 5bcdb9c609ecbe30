// The bundled Helsinki extract and the default map written from it.

#include "osmtestsupport.h"

#include <gtest/gtest.h>

using namespace osmtest;

TEST(BundledMap, TheExtractAndTheDefaultMapHoldWhatWasCountedApart)
{
    // Figures of the extract counted apart from the reader (osmium, see data/README.md): 757 accepted
    // roads and 182 tram ways, 92 bus and 40 tram stop nodes, 20 tram and 161 bus route relations.
    // The default map keeps every one of them but the 35 road or tram ways that the cut at the
    // bounding box left with fewer than two nodes.
    const struct
    {
        const char *file;
        size_t ways;
    } maps[] = {{"helsinki_centre.osm", 939}, {"kesta_center_2014-04-15_compressed_edited.osm", 939 - 35}};
    for (const auto &map : maps) {
        SCOPED_TRACE(map.file);
        OSMData data;
        bool complete = false;
        parseCapturing(bundled(map.file), &data, &complete);
        EXPECT_TRUE(complete);
        EXPECT_EQ(std::make_tuple(data.ways()->size(), data.nodes()->size(), data.busStops()->size(),
                                  data.tramStops()->size(), data.routeRelations()->size()),
                  std::make_tuple(map.ways, size_t(2523), size_t(92), size_t(40), size_t(181)));
    }
}
