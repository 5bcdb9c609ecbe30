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

/// The schedules line creation left out, by reason, as "2 no route of that name and type".
QStringList schedulesLeftOut(const LineCreationReport &lines)
{
    QStringList why;
    for (int reason = 1; reason < 5; ++reason)
        if (lines.leftOut[reason] > 0)
            why << QStringLiteral("%1 %2")
                       .arg(lines.leftOut[reason])
                       .arg(QLatin1String(LineCreationReport::reasonText(LineRejection(reason))));
    return why;
}

/// The route relations drafting left out, by reason.
QStringList relationsLeftOut(const ScheduleDrafter::Result &drafted)
{
    QStringList why;
    if (drafted.withoutRef > 0)
        why << QStringLiteral("%1 without ref").arg(drafted.withoutRef);
    if (drafted.withoutRoute > 0)
        why << QStringLiteral("%1 without a route past two stops with cells").arg(drafted.withoutRoute);
    if (drafted.notRunnable > 0)
        why << QStringLiteral("%1 not runnable").arg(drafted.notRunnable);
    return why;
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
            list << QStringLiteral("No line drafted from the %1 route relations of the map: %2.")
                        .arg(drafted->relations)
                        .arg(relationsLeftOut(*drafted).join(QStringLiteral(", ")));
    }
    if (lines.schedules > 0 && lines.created == 0) {
        const QString source = simulation.draftResult() ? QStringLiteral("the drafted timetable")
                                                        : QStringLiteral("\"%1\"").arg(scheduleFilePath);
        list << QStringLiteral("No line created from the %1 schedules of %2: %3.")
                    .arg(lines.schedules)
                    .arg(source, schedulesLeftOut(lines).join(QStringLiteral("; ")));
    }
    return list;
}

QString linesLeftOut(const Simulation &simulation)
{
    QStringList parts;
    if (const ScheduleDrafter::Result *drafted = simulation.draftResult()) {
        QString part = QStringLiteral("Drafted from %1 route relations").arg(drafted->relations);
        const QStringList relations = relationsLeftOut(*drafted);
        if (!relations.isEmpty())
            part += QStringLiteral("; left out %1: %2")
                        .arg(drafted->relations - drafted->drafted)
                        .arg(relations.join(QStringLiteral(", ")));
        parts << part + QLatin1Char('.');
    }
    const LineCreationReport &lines = simulation.lineReport();
    if (lines.leftOutTotal() > 0)
        parts << QStringLiteral("Schedules left out %1: %2.")
                     .arg(lines.leftOutTotal())
                     .arg(schedulesLeftOut(lines).join(QStringLiteral("; ")));
    else if (lines.schedules > 0)
        parts << QStringLiteral("No schedule left out.");
    return parts.join(QLatin1Char(' '));
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
