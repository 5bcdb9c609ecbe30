#ifndef KOLVEX_TOOLS_HEADLESS_TILEPREFETCH_H
#define KOLVEX_TOOLS_HEADLESS_TILEPREFETCH_H

#include "headlessoptions.h"

/// Fills the tile directory with the tiles over the area of the map extract at the requested
/// zoom levels, for use without network. Returns the exit status: 0 when every tile is present
/// afterwards, 1 otherwise (unreadable map, too many tiles, failed requests).
int prefetchTiles(const HeadlessOptions &options);

/// The most tiles one run fetches; the public tile servers forbid bulk downloads.
constexpr int MAX_PREFETCH_TILES = 2500;

#endif
