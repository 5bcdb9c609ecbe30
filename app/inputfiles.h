#ifndef KOLVEX_APP_INPUTFILES_H
#define KOLVEX_APP_INPUTFILES_H

#include <QString>
#include <QStringList>

class Simulation;
struct RunSettings;

/// Checks of the input files of a run, worded for the user; an empty text means no problem.
namespace InputFiles {

/// Before preparation: whether the map and, unless the timetable is drafted, the schedule file
/// can be opened for reading.
QString unreadable(const RunSettings &run);

/// After preparation: what went wrong, as the console tells it (the file, line and column of an
/// XML error, the limit a refused map exceeds, why no line was created or drafted); empty if nothing.
QStringList problems(const Simulation &simulation, const QString &scheduleFilePath);

/// After preparation: the route relations drafting left out and the schedules line creation left
/// out, by reason, as the console summary counts them.
QString linesLeftOut(const Simulation &simulation);

/// After preparation: whether the files gave a road network and at least one schedule (a drafted
/// timetable may have none: the run then goes on with cars only); when not, why, followed by every
/// problem.
QString unusable(const Simulation &simulation, const QString &scheduleFilePath);

} // namespace InputFiles

#endif
