#ifndef KOLVEX_TOOLS_HEADLESS_PUNCTUALITY_H
#define KOLVEX_TOOLS_HEADLESS_PUNCTUALITY_H

#include <cstdint>
#include <unordered_map>

struct SimulationData;

/// Lateness of buses and trams at their stops, measured on arrival (when a vehicle starts loading)
/// against the time its timetable gives for that stop. Observes the data between steps, in the
/// thread that runs them.
class Punctuality
{
public:
    /// Looks at every bus and tram after a step.
    void observe(const SimulationData &data);
    /// Writes the figures as lines of the headless summary.
    void writeSummary() const;

    int64_t arrivals() const { return count; }
    /// Mean lateness in seconds, negative when early on average.
    double meanLateness() const { return count ? double(sum) / double(count) : 0.0; }

private:
    std::unordered_map<int32_t, bool> loadingById; ///< vehicles seen at the last step: loading or not
    int64_t count = 0;
    int64_t sum = 0;
    int64_t lateCount = 0;  ///< arrivals more than a minute late
    int64_t earlyCount = 0; ///< arrivals more than a minute early
};

#endif
