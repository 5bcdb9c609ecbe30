#ifndef KOLVEX_OSM_READERRULES_H
#define KOLVEX_OSM_READERRULES_H

#include "report/diagnostics.h"

#include <cstdint>
#include <string>
#include <vector>

/// What every map reader checks before an element goes into the model, and how it names an element
/// it drops or trims. Shared by the readers of each file format so that they accept the same maps.
namespace readerrules {

/// Where an element was read: its kind ("node", "way", "relation"), its id text exactly as written,
/// and the line of the file where it starts (0 when the format has no lines).
struct ElementOrigin
{
    const char *kind = "";
    std::string idText;
    int64_t line = 0;
};

/// Who the readers' diagnostics name.
extern const char *const COMPONENT;

/// What a reader says when memory ran out while it read a map.
extern const char *const OUT_OF_MEMORY;

/// Why a node at (lat, lon) cannot be kept, empty when it can: both must lie in the WGS 84 range,
/// because distances to a position off the globe are meaningless and can be arbitrarily large.
std::string coordinateProblem(double lat, double lon);

/// Makes a way's node references safe to convert: a reference that repeats the one before it is
/// dropped (a segment of length 0), and the way ends before the first reference that would travel
/// a segment of the way a second time (in either direction), since parallel copies of one segment
/// make a node with as many arms as copies. Returns what was dropped, empty when nothing was.
std::string dropRepeats(std::vector<int64_t> &refs);

/// Records what a reader has to say, printed "OSMParser: text"; `line` and `column` are 0 when unknown.
void say(Diagnostics &log, Severity severity, std::string text, int64_t line = 0, int64_t column = 0);

/// A warning naming the element and why it is not kept, printed
/// "OSMParser:     Dropped way "x1" (line 4): id 0 is taken by an earlier way".
void reportDropped(Diagnostics &log, const ElementOrigin &origin, const std::string &reason);
/// A warning naming the element and what was removed from it while the element itself stays.
void reportTrimmed(Diagnostics &log, const ElementOrigin &origin, const std::string &what);

} // namespace readerrules

#endif
