#include "filedialogs.h"

#include "usersettings.h"

#include <QFileDialog>
#include <QFileInfo>

namespace {

const char *const LAST_FOLDER_KEY = "files/lastFolder";
const char *const ALL_FILES = ";;All files (*)";

QString remembered(const QString &chosen)
{
    if (!chosen.isEmpty())
        UserSettings().setValue(QLatin1String(LAST_FOLDER_KEY), QFileInfo(chosen).absolutePath());
    return chosen;
}

QString open(QWidget *parent, const QString &title, const char *filter)
{
    return remembered(QFileDialog::getOpenFileName(parent, title, FileDialogs::lastFolder(),
                                                   QLatin1String(filter) + QLatin1String(ALL_FILES)));
}

} // namespace

namespace FileDialogs {

const char *const MAP_FILTER = "OpenStreetMap (*.osm *.osm.pbf *.pbf *.osm.gz *.osm.bz2)";
const char *const SCHEDULE_FILTER = "Schedules (*.xml)";

QString openMap(QWidget *parent)
{
    return open(parent, QStringLiteral("Open Map"), MAP_FILTER);
}

QString openSchedules(QWidget *parent)
{
    return open(parent, QStringLiteral("Open Schedules"), SCHEDULE_FILTER);
}

QString saveSchedules(QWidget *parent)
{
    QString chosen = QFileDialog::getSaveFileName(parent, QStringLiteral("Save Drafted Timetable"), lastFolder(),
                                                  QLatin1String(SCHEDULE_FILTER) + QLatin1String(ALL_FILES));
    if (!chosen.isEmpty() && QFileInfo(chosen).suffix().isEmpty())
        chosen += QStringLiteral(".xml");
    return remembered(chosen);
}

QString lastFolder()
{
    const QString folder = UserSettings().value(QLatin1String(LAST_FOLDER_KEY)).toString();
    return QFileInfo(folder).isDir() ? folder : QString();
}

} // namespace FileDialogs
