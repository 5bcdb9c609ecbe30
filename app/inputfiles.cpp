#include "inputfiles.h"

#include "engine/simulation.h"
#include "timetable/scheduleparser.h"

#include <QFile>
#include <QFileInfo>

namespace {

QString openProblem(const QString &path)
{
    if (path.isEmpty())
        return QStringLiteral("no file chosen");
    if (QFileInfo(path).isDir())
        return QStringLiteral("it is a folder");
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return file.errorString();
    return QString();
}

} // namespace

namespace InputFiles {

QString unreadable(const QString &osmFilePath, const QString &scheduleFilePath)
{
    QStringList problems;
    const QString map = openProblem(osmFilePath);
    if (!map.isEmpty())
        problems << QStringLiteral("Cannot read the map file \"%1\": %2.").arg(osmFilePath, map);
    const QString schedule = openProblem(scheduleFilePath);
    if (!schedule.isEmpty())
        problems << QStringLiteral("Cannot read the schedule file \"%1\": %2.").arg(scheduleFilePath, schedule);
    return problems.join(QLatin1Char('\n'));
}

QString unusable(const Simulation &simulation, const QString &scheduleFilePath)
{
    QStringList problems;
    if (!simulation.hasNetwork())
        problems << simulation.preparationProblems(); // they say why: the map was not read whole, refused or empty
    const ScheduleParser *schedules = simulation.scheduleParser();
    if (!schedules || schedules->schedules().empty())
        problems << QStringLiteral("No line could be read from the schedule file \"%1\".").arg(scheduleFilePath);
    return problems.join(QLatin1Char('\n'));
}

} // namespace InputFiles
