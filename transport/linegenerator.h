#ifndef KOLVEX_TRANSPORT_LINEGENERATOR_H
#define KOLVEX_TRANSPORT_LINEGENERATOR_H

#include "timetable/departurecalendar.h"

#include <cstdint>
#include <vector>

class Cell;
class Diagnostics;
class OSMStop;
class PublicTransportLine;
class Vehicle;
class VehicleGuided;
struct SimulationData;

/// Creates the bus or tram of each due departure at its line's start platform; departures whose
/// vehicle found no room wait in `pending` and are retried every step, so no departure is lost. A
/// vehicle keeps the departure time of its timetable however long it waited, so that its lateness
/// shows.
///
/// Runs in the step thread; it takes no lock (the engine holds the run's own around it).
class LineGenerator
{
public:
    /// Cells behind a new vehicle that must be free of approaching vehicles (30 m).
    static constexpr int32_t CLEAR_BEHIND = 120;
    /// Gap kept behind a vehicle already standing on the platform, in cells.
    static constexpr int32_t GAP_BEHIND_STANDING = 4;

    LineGenerator() = default;
    LineGenerator(const LineGenerator &) = delete;
    LineGenerator &operator=(const LineGenerator &) = delete;
    virtual ~LineGenerator() = default;

    const std::vector<DepartureEntry> &pending() const { return m_pending; }
    /// Trips whose vehicle was placed so far.
    int64_t tripsStarted() const { return m_tripsStarted; }

    /// Tries every pending departure once more, in order; placed ones leave the list.
    void retryPending(SimulationData *data, Diagnostics &diagnostics);
    /// Generates the vehicle of each due departure; one that finds no room joins `pending`.
    void generateDue(const std::vector<DepartureEntry> &due, SimulationData *data, Diagnostics &diagnostics);
    /// A vehicle of the line's kind at its start platform, leaving at the departure's time of day;
    /// false if it found no room. Each vehicle placed is told to `diagnostics`.
    bool generate(const DepartureEntry &departure, SimulationData *data, bool rememberOnFailure,
                  Diagnostics &diagnostics);

    /// Where a vehicle of `length` cells can start on the platform ending at `startCell`: behind
    /// any vehicle standing there, wholly on the platform, with no vehicle closing in behind and
    /// no bus or tram on the lane beside waiting to serve the same stop. Null if nowhere.
    static Cell *startPosition(Cell *startCell, int32_t length);
    /// A new tram for a tram line, else a new bus, for the trip leaving at `departure` seconds.
    static VehicleGuided *createVehicle(SimulationData &run, const PublicTransportLine *line, int32_t departure);
    /// Appends a placed vehicle to the trams or buses.
    static void append(SimulationData *data, VehicleGuided *vehicle);

private:
    /// Whether a bus or tram whose next stop is the platform's stands beside the cells of a new
    /// vehicle with its front on `front`, or on the lane beside within `CLEAR_BEHIND` behind them.
    static bool laneBesideHasWaitingVehicle(const Cell *front, int32_t length);
    static bool waitsFor(const Vehicle *vehicle, const OSMStop *stop);

    std::vector<DepartureEntry> m_pending;
    int64_t m_tripsStarted = 0;
};

#endif
