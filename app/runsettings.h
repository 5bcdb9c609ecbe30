#ifndef KOLVEX_APP_RUNSETTINGS_H
#define KOLVEX_APP_RUNSETTINGS_H

#include <QString>
#include <QTime>

#include <cstdint>

/// What a run is started with: the map, the timetable, the start time and the seed. The start
/// dialog fills it in, the window starts the run from it, and the same figures repeat the run.
struct RunSettings
{
    QString osmFilePath;
    QString scheduleFilePath;
    QTime start = QTime(14, 0);
    uint64_t seed = 1;

    /// The bundled city and its timetable at the default time and seed.
    static RunSettings bundled();
    /// The console command that runs the same figures.
    QString consoleCommand() const;
};

#endif
