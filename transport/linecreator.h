#ifndef KOLVEX_TRANSPORT_LINECREATOR_H
#define KOLVEX_TRANSPORT_LINECREATOR_H

#include <cstdint>
#include <string>
#include <vector>

class BindingData;
class Cell;
class Diagnostics;
class OSMRoutes;
class OSMStop;
class PublicTransportLine;
class PublicTransportLines;
class RunRandom;
class Schedule;
class ScheduleParser;
class Way;
struct OSMRoute;
struct SimulationData;

/// Why a schedule gave no line.
enum class LineRejection : int32_t {
    None = 0,
    NoRoute,        ///< no ordered route of that name and type
    TooFewStops,    ///< no route of that name and type matches two of its stops in order
    StopsNotOnWays, ///< the route's ways could not be cut between the first and last matched stop
    NoStartCell,    ///< the first stop has no platform from which the route can be driven
};

/// What line creation made of the schedules of a run.
struct LineCreationReport
{
    int32_t schedules = 0;
    int32_t created = 0;
    /// Schedules left out, indexed by LineRejection.
    int32_t leftOut[5] = {0, 0, 0, 0, 0};
    int32_t pregenerated = 0; ///< vehicles under way placed at the start time

    int32_t leftOutTotal() const { return leftOut[1] + leftOut[2] + leftOut[3] + leftOut[4]; }
    static const char *reasonText(LineRejection reason);
};

/// Joins schedules with ordered map routes into runnable lines, and places the vehicles already
/// under way at the start time. Stateless; runs in the preparation thread.
class LineCreator
{
public:
    /// One line per schedule where possible, added to `lines`; every schedule left out is recorded
    /// in `diagnostics` with its reason. Timetable jitter draws from `random`.
    static LineCreationReport createLines(OSMRoutes *routes, ScheduleParser *schedules, PublicTransportLines *lines,
                                          BindingData *bindingData, RunRandom &random, Diagnostics &diagnostics);
    /// The line of `schedule`, or null with `reason` set. Schedule stops the line passes over are
    /// named in `diagnostics`, if given.
    static PublicTransportLine *createLine(OSMRoutes *routes, const Schedule *schedule, BindingData *bindingData,
                                           RunRandom &random, LineRejection *reason = nullptr,
                                           Diagnostics *diagnostics = nullptr);
    /// Places a bus or tram for every trip that is between two of its stops at the start time;
    /// returns how many were placed.
    static int32_t pregenerateLines(SimulationData *data, BindingData *bindingData, Diagnostics &diagnostics);

    /// Whether two stop names are equal ignoring letter case.
    static bool namesEqual(const std::string &a, const std::string &b);
    /// Whether a route of this type (its route tag) can run a schedule of this line type; a
    /// schedule without a type takes any route.
    static bool typeMatches(const std::string &routeType, int32_t lineType);
    /// The route of the schedule's name and type that matches most of its stops (at least two);
    /// the earliest on a tie; null if none.
    static OSMRoute *findRoute(OSMRoutes *routes, const Schedule *schedule);
    /// The route's stops that match the schedule's stop names in order, starting at the first
    /// route stop that carries any of the names; a schedule stop not found further along the route
    /// is passed over. `scheduleIndex`, if given, receives for each matched stop the index of the
    /// schedule stop it matched.
    static std::vector<OSMStop *> matchStops(const OSMRoute *route, const Schedule *schedule,
                                             std::vector<size_t> *scheduleIndex = nullptr);
    /// The ways from the first one holding the first stop's node to the first one after it
    /// holding the last stop's node; empty (with a diagnostic, if `diagnostics` is given) if the cut
    /// is impossible.
    static std::vector<Way *> trimRouteByStops(const std::vector<Way *> &ways, const std::vector<OSMStop *> &stops,
                                               Diagnostics *diagnostics = nullptr);
    /// Names in `diagnostics` every schedule stop between the first and the last matched one that
    /// matched no stop of `route` (`scheduleIndex` as from matchStops).
    static void namePassedOver(const OSMRoute &route, const Schedule &schedule,
                               const std::vector<size_t> &scheduleIndex, Diagnostics &diagnostics);
    /// The platform cell of the line's first stop from which the vehicles can drive onto its
    /// second way; null if there is none.
    static Cell *findStartCell(const PublicTransportLine *line, BindingData *bindingData);
};

#endif
