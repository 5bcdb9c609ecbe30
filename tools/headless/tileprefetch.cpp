#include "tileprefetch.h"

#include "osm/osmdata.h"
#include "osm/osmparser.h"
#include "report/diagnostics.h"
#include "tiles/tilefetcher.h"

#include <algorithm>
#include <iostream>

int prefetchTiles(const HeadlessOptions &options)
{
    Diagnostics diagnostics;
    diagnostics.setListener(Diagnostics::printToStandardError());
    OSMData data;
    data.setDiagnostics(&diagnostics);
    const bool read = OSMParser::parseFile(options.osmPath, &data);
    const std::vector<Node *> &nodes = data.nodes()->nodes();
    if (!read || nodes.empty()) {
        std::cerr << "kolvex-headless: no nodes in \"" << options.osmPath.toStdString()
                  << "\", no area to fetch tiles for" << std::endl;
        return 1;
    }
    double north = -90.0, south = 90.0, west = 180.0, east = -180.0;
    for (const Node *node : nodes) {
        const Location &l = node->getLocation();
        north = std::max(north, l.lat);
        south = std::min(south, l.lat);
        west = std::min(west, l.lon);
        east = std::max(east, l.lon);
    }
    if (options.bbox) {
        const BoundingBox &box = *options.bbox;
        north = std::min(north, box.maxLat);
        south = std::max(south, box.minLat);
        west = std::max(west, box.minLon);
        east = std::min(east, box.maxLon);
        if (north < south || east < west) {
            std::cerr << "kolvex-headless: the box " << box.toText().toStdString() << " holds no part of \""
                      << options.osmPath.toStdString() << "\", no area to fetch tiles for" << std::endl;
            return 1;
        }
    }
    const TileServer server = TileServer::fromEnvironment();
    const TileStore store(options.tileDir.isEmpty() ? TileStore::defaultDirectory() : options.tileDir);
    TileFetcher fetcher(server, store);
    const std::vector<TileKey> all =
        TileFetcher::tilesOfBox(north, west, south, east, options.tileMinZoom, options.tileMaxZoom);
    const std::vector<TileKey> missing = fetcher.missing(all);
    std::cout << "Tiles for zoom " << options.tileMinZoom << "-" << options.tileMaxZoom << ": " << all.size()
              << ", missing from " << store.directory().toStdString() << ": " << missing.size() << std::endl;
    if (missing.size() > size_t(MAX_PREFETCH_TILES)) {
        std::cerr << "kolvex-headless: " << missing.size() << " tiles to fetch exceed the limit of "
                  << MAX_PREFETCH_TILES << " per run; choose a smaller zoom range" << std::endl;
        return 1;
    }
    if (missing.empty())
        return 0;
    std::cout << "Fetching from " << server.tileUrl(server.prefixes.value(0), TileKey{0, 0, 0}).toStdString()
              << " and its sibling hosts, one request at a time" << std::endl;
    const TileFetcher::Result result = fetcher.fetch(missing, diagnostics);
    std::cout << "Tiles fetched: " << result.fetched << ", failed: " << result.failed
              << (result.gaveUp ? " (stopped early)" : "") << std::endl;
    return result.failed == 0 && !result.gaveUp ? 0 : 1;
}
