#include "inputfiles.h"

#include "runsettings.h"

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

QString unreadable(const RunSettings &run)
{
    QStringList problems;
    const QString map = openProblem(run.osmFilePath);
    if (!map.isEmpty())
        problems << QStringLiteral("Cannot read the map file \"%1\": %2.").arg(run.osmFilePath, map);
    const QString schedule =
        run.timetable == TimetableSource::ScheduleFile ? openProblem(run.scheduleFilePath) : QString();
    if (!schedule.isEmpty())
        problems << QStringLiteral("Cannot read the schedule file \"%1\": %2.").arg(run.scheduleFilePath, schedule);
    return problems.join(QLatin1Char('\n'));
}

QStringList problems(const Simulation &simulation, const QString &scheduleFilePath)
{
    QStringList list = simulation.preparationProblems();
    const LineCreationReport &lines = simulation.lineReport();
    if (const ScheduleDrafter::Result *drafted = simulation.draftResult()) {
        if (drafted->drafted == 0)
            list << QStringLiteral(
                        "No line drafted from the %1 route relations of the map: %2 without ref, %3 without a "
                        "route past two stops with cells, %4 not runnable.")
                        .arg(drafted->relations)
                        .arg(drafted->withoutRef)
                        .arg(drafted->withoutRoute)
                        .arg(drafted->notRunnable);
    }
    if (lines.schedules > 0 && lines.created == 0) {
        QStringList why;
        for (int reason = 1; reason < 5; ++reason)
            if (lines.leftOut[reason] > 0)
                why << QStringLiteral("%1 %2")
                           .arg(lines.leftOut[reason])
                           .arg(QLatin1String(LineCreationReport::reasonText(LineRejection(reason))));
        const QString source = simulation.draftResult() ? QStringLiteral("the drafted timetable")
                                                        : QStringLiteral("\"%1\"").arg(scheduleFilePath);
        list << QStringLiteral("No line created from the %1 schedules of %2: %3.")
                    .arg(lines.schedules)
                    .arg(source, why.join(QStringLiteral("; ")));
    }
    return list;
}

QString unusable(const Simulation &simulation, const QString &scheduleFilePath)
{
    QStringList reasons;
    if (!simulation.hasNetwork())
        reasons << QStringLiteral("The map gave no road or tram track to run on.");
    const ScheduleParser *schedules = simulation.scheduleParser();
    if (!simulation.draftResult() && (!schedules || schedules->schedules().empty()))
        reasons << QStringLiteral("No line could be read from the schedule file \"%1\".").arg(scheduleFilePath);
    if (reasons.isEmpty())
        return QString();
    return (reasons + problems(simulation, scheduleFilePath)).join(QLatin1Char('\n'));
}

} // namespace InputFiles
