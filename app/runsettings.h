#ifndef KOLVEX_APP_RUNSETTINGS_H
#define KOLVEX_APP_RUNSETTINGS_H

#include "model/simulationdata.h"
#include "osm/boundingbox.h"

#include <QString>
#include <QTime>

#include <cstddef>
#include <cstdint>
#include <optional>

class QSettings;
class Simulation;

/// Where the timetable of a run comes from.
enum class TimetableSource { ScheduleFile, Draft };

/// What a run is started with: the map, the timetable, the start time, the seed, the car cap and
/// the part of the map simulated. The start dialog fills it in, the window starts the run from it,
/// and the same figures repeat the run.
struct RunSettings
{
    QString osmFilePath;
    TimetableSource timetable = TimetableSource::ScheduleFile;
    QString scheduleFilePath;
    int32_t draftHeadway = 15; ///< minutes between two departures of a drafted line
    QTime start = QTime(14, 0);
    uint64_t seed = 1;
    size_t maxCars = SimulationData::DEFAULT_MAX_CARS; ///< the most cars on the network at once
    std::optional<BoundingBox> bbox;                   ///< the part of the map simulated; none: all of it

    /// The bundled city and its timetable at the default time and seed.
    static RunSettings bundled();
    /// The run last remembered in `settings`, or the bundled city if none was. A remembered file
    /// that is gone gives way to the bundled one; a map that is gone, to the bundled city with its
    /// schedule file.
    static RunSettings remembered(const QSettings &settings);
    /// Keeps this run in `settings`, to be offered at the next start.
    void remember(QSettings &settings) const;
    /// Hands `simulation` what its constructor does not take (the drafting, the car cap, the box);
    /// call before its preparation.
    void configure(Simulation &simulation) const;
    /// The console commands that run the same figures: with a drafted timetable, the one that
    /// drafts it into a file first.
    QString consoleCommand() const;
};

#endif
