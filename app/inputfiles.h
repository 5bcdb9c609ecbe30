#ifndef KOLVEX_APP_INPUTFILES_H
#define KOLVEX_APP_INPUTFILES_H

#include <QString>

class Simulation;

/// Checks of the two input files of a run, worded for the user; an empty text means no problem.
namespace InputFiles {

/// Before preparation: whether the map and the schedule file can be opened for reading.
QString unreadable(const QString &osmFilePath, const QString &scheduleFilePath);

/// After preparation: whether the files gave a road network and at least one line.
QString unusable(const Simulation &simulation, const QString &scheduleFilePath);

} // namespace InputFiles

#endif
