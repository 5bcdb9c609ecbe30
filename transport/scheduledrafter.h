#ifndef KOLVEX_TRANSPORT_SCHEDULEDRAFTER_H
#define KOLVEX_TRANSPORT_SCHEDULEDRAFTER_H

#include <QString>

#include <cstdint>
#include <vector>

class BindingData;
class Diagnostics;
class OSMData;
class Schedule;
struct OSMRoute;

/// Drafts a timetable in the schedule file format from the route relations of a prepared map:
/// one line per relation whose ordered route can run a line, named by the relation's ref, with
/// the stops that have cells in route order, minutes between stops from the route's length at a
/// typical speed of the vehicle type, and departures every `headway` minutes over a service day
/// (less often where more lines start at one stop than it can send off in that time).
class ScheduleDrafter
{
public:
    /// Typical speeds including stops, in km/h.
    static constexpr double TRAM_KMH = 15.0;
    static constexpr double BUS_KMH = 18.0;
    /// The service day runs from 05:00 to 01:00 the next morning; times after midnight are written
    /// as minutes of that next day (0 to 59).
    static constexpr int32_t FIRST_DEPARTURE = 5 * 60;
    static constexpr int32_t SERVICE_END_AFTER_MIDNIGHT = 60;
    static constexpr int32_t DEFAULT_HEADWAY = 15;
    /// Minutes a bus or tram holds the platform of the stop its line starts from (placed, loading
    /// for up to half a minute, pulling out): lines starting at one stop leave at least this far apart.
    static constexpr int32_t MINUTES_AT_FIRST_STOP = 1;

    struct Result
    {
        int32_t relations = 0; ///< public-transport route relations of the map
        int32_t drafted = 0;   ///< lines written
        int32_t withoutRef = 0;
        int32_t withoutRoute = 0; ///< no driving direction passes two stops with cells
        int32_t notRunnable = 0;  ///< line creation would not accept the drafted line
    };

    ScheduleDrafter(OSMData *osm, BindingData *bindings, int32_t headway = DEFAULT_HEADWAY);
    ~ScheduleDrafter();
    ScheduleDrafter(const ScheduleDrafter &) = delete;
    ScheduleDrafter &operator=(const ScheduleDrafter &) = delete;

    /// Builds the drafted lines, owned by the drafter; what line creation finds on the way is
    /// recorded in `diagnostics`.
    Result draft(Diagnostics &diagnostics);
    const std::vector<Schedule *> &schedules() const { return lines; }
    /// Writes the drafted lines; false (with an error in `diagnostics`) if the file cannot be written.
    bool write(const QString &path, Diagnostics &diagnostics) const;

    /// The route of the relation that follows the relation's own stop order best; null if none.
    const OSMRoute *chooseRoute(int64_t relationId) const;

private:
    Schedule *draftLine(const OSMRoute *route, int32_t index) const;
    /// Sets the departures of the drafted lines.
    void timeDepartures();

    OSMData *osm;
    BindingData *bindings;
    int32_t headway;
    std::vector<Schedule *> lines;
};

#endif
