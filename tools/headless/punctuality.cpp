#include "punctuality.h"

#include "model/bus.h"
#include "model/simulationdata.h"
#include "model/tram.h"
#include "timetable/clock.h"

#include <cstdio>

void Punctuality::observe(const SimulationData &data)
{
    const int32_t second = dayclock::secondOfDay(data.time);
    std::unordered_map<int32_t, bool> seen;
    seen.reserve(data.trams.size() + data.buses.size());
    const auto look = [&](const VehicleGuided *vehicle) {
        const bool loading = vehicle->state() == GuidedState::Loading;
        seen.emplace(vehicle->id(), loading);
        auto before = loadingById.find(vehicle->id());
        const bool arrived = loading && (before == loadingById.end() || !before->second);
        const auto index = size_t(vehicle->stopIndex());
        if (!arrived || index >= vehicle->stopOffsets().size())
            return;
        const int32_t late =
            dayclock::nearestAcrossMidnight(second - (vehicle->departure() + vehicle->stopOffsets()[index]));
        ++count;
        sum += late;
        lateCount += late > 60;
        earlyCount += late < -60;
    };
    for (const Tram *tram : data.trams)
        look(tram);
    for (const Bus *bus : data.buses)
        look(bus);
    loadingById.swap(seen);
}

void Punctuality::writeSummary() const
{
    std::printf("    stop arrivals ..... %lld, mean lateness %.1f s (%lld over a minute late, %lld over a minute "
                "early)\n",
                static_cast<long long>(count), meanLateness(), static_cast<long long>(lateCount),
                static_cast<long long>(earlyCount));
}
