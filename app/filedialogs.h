#ifndef KOLVEX_APP_FILEDIALOGS_H
#define KOLVEX_APP_FILEDIALOGS_H

#include <QString>

class QWidget;

/// The file choosers of the window: each offers the kinds of file Kolvex reads first and all
/// files last, and opens in the folder of the file last chosen or saved (kept in the user's
/// settings). Each returns the chosen path, or an empty string when the user cancels.
namespace FileDialogs {

extern const char *const MAP_FILTER;
extern const char *const SCHEDULE_FILTER;

QString openMap(QWidget *parent);
QString openSchedules(QWidget *parent);
/// Asks where to save a timetable; ".xml" is added to a name without a suffix.
QString saveSchedules(QWidget *parent);

/// The folder a chooser opens in: the last one used, else none (the working folder).
QString lastFolder();

} // namespace FileDialogs

#endif
