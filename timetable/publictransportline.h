#ifndef KOLVEX_TIMETABLE_PUBLICTRANSPORTLINE_H
#define KOLVEX_TIMETABLE_PUBLICTRANSPORTLINE_H

#include <cstdint>
#include <string>
#include <vector>

class Cell;
class OSMStop;
class Way;

/// The runnable form of one public-transport line: route, stops, timetable and start platform.
class PublicTransportLine
{
public:
    enum VehicleType : int32_t { BusLine = 0, TrolleybusLine = 1, TramLine = 2 };

    /// The vehicle type of a schedule's line type: 1 tram, 2 trolleybus, anything else a bus.
    static int32_t vehicleTypeFromLineType(int32_t lineType);

    bool isTram() const { return vehicleType == TramLine; }

    std::string name;
    int32_t vehicleType = BusLine;
    std::vector<int64_t> wayIds; ///< a run of pieces of one split way is stored once
    std::vector<int64_t> stopIds;
    std::vector<int32_t> stopOffsets;    ///< minutes from the first matched stop
    std::vector<int32_t> stopOffsetsSec; ///< seconds, jittered and strictly increasing
    /// For each matched stop, the entry of stopOffsetsSec of the schedule stop it matched: the
    /// offsets list unmatched schedule stops too, so they do not pair with `stops` by index.
    std::vector<int32_t> stopDueSec;
    std::vector<int32_t> departures;     ///< minutes after midnight
    std::vector<int32_t> departuresSec;  ///< seconds after midnight, jittered
    Cell *startCell = nullptr;
    std::vector<Way *> ways;
    std::vector<OSMStop *> stops;
};

#endif
