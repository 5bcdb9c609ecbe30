#include "runsettings.h"

#include "engine/bundleddata.h"
#include "model/random.h"
#include "transport/scheduledrafter.h"

namespace {

/// Quotes a path for a POSIX shell when it needs it.
QString shellWord(const QString &word)
{
    static const QString plain = QStringLiteral("+-./_:=,@");
    bool quote = word.isEmpty();
    for (QChar c : word)
        quote = quote || !(c.isLetterOrNumber() || plain.contains(c));
    if (!quote)
        return word;
    QString quoted = word;
    quoted.replace(QLatin1Char('\''), QStringLiteral("'\\''"));
    return QLatin1Char('\'') + quoted + QLatin1Char('\'');
}

} // namespace

RunSettings RunSettings::bundled()
{
    RunSettings settings;
    settings.osmFilePath = BundledData::mapPath();
    settings.scheduleFilePath = BundledData::schedulePath();
    settings.draftHeadway = ScheduleDrafter::DEFAULT_HEADWAY;
    settings.seed = Random::DEFAULT_SEED;
    return settings;
}

QString RunSettings::consoleCommand() const
{
    const QString map = shellWord(osmFilePath);
    QString schedules = shellWord(scheduleFilePath);
    QString command;
    if (timetable == TimetableSource::Draft) {
        schedules = QStringLiteral("drafted.xml");
        command = QStringLiteral("kolvex-headless --osm %1 --draft-schedules %2 --draft-headway %3 && ")
                      .arg(map, schedules)
                      .arg(draftHeadway);
    }
    return command + QStringLiteral("kolvex-headless --osm %1 --schedules %2 --start %3 --seed %4")
                         .arg(map, schedules, start.toString(QStringLiteral("hh:mm:ss")))
                         .arg(seed);
}
