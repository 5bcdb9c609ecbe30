#include "runsettings.h"

#include "engine/bundleddata.h"
#include "engine/simulation.h"
#include "model/random.h"
#include "transport/scheduledrafter.h"

#include <QFileInfo>
#include <QSettings>

namespace {

const QString TIME_FORMAT = QStringLiteral("hh:mm:ss");
const char *const MAP_KEY = "lastRun/map";
const char *const TIMETABLE_KEY = "lastRun/timetable";
const char *const SCHEDULES_KEY = "lastRun/schedules";
const char *const HEADWAY_KEY = "lastRun/draftHeadway";
const char *const START_KEY = "lastRun/start";
const char *const SEED_KEY = "lastRun/seed";
const char *const MAX_CARS_KEY = "lastRun/maxCars";
const char *const BOX_KEY = "lastRun/bbox";

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

RunSettings RunSettings::remembered(const QSettings &settings)
{
    RunSettings run = bundled();
    const auto text = [&settings](const char *key) { return settings.value(QLatin1String(key)).toString(); };
    if (QFileInfo(text(MAP_KEY)).isFile()) {
        run.osmFilePath = text(MAP_KEY);
        // A timetable drafted from a map that is gone would not be the bundled city's own.
        if (text(TIMETABLE_KEY) == QLatin1String("draft"))
            run.timetable = TimetableSource::Draft;
    }
    if (QFileInfo(text(SCHEDULES_KEY)).isFile())
        run.scheduleFilePath = text(SCHEDULES_KEY);
    bool ok = false;
    const int headway = settings.value(QLatin1String(HEADWAY_KEY)).toInt(&ok);
    if (ok && headway > 0)
        run.draftHeadway = headway;
    const QTime start = QTime::fromString(text(START_KEY), TIME_FORMAT);
    if (start.isValid())
        run.start = start;
    const qulonglong seed = settings.value(QLatin1String(SEED_KEY)).toULongLong(&ok);
    if (ok)
        run.seed = seed;
    const qulonglong maxCars = settings.value(QLatin1String(MAX_CARS_KEY)).toULongLong(&ok);
    if (ok)
        run.maxCars = size_t(maxCars);
    BoundingBox box;
    QString malformed;
    if (BoundingBox::parse(text(BOX_KEY), box, malformed))
        run.bbox = box;
    return run;
}

void RunSettings::remember(QSettings &settings) const
{
    settings.setValue(QLatin1String(MAP_KEY), osmFilePath);
    settings.setValue(QLatin1String(TIMETABLE_KEY),
                      timetable == TimetableSource::Draft ? QStringLiteral("draft") : QStringLiteral("file"));
    settings.setValue(QLatin1String(SCHEDULES_KEY), scheduleFilePath);
    settings.setValue(QLatin1String(HEADWAY_KEY), draftHeadway);
    settings.setValue(QLatin1String(START_KEY), start.toString(TIME_FORMAT));
    settings.setValue(QLatin1String(SEED_KEY), qulonglong(seed));
    settings.setValue(QLatin1String(MAX_CARS_KEY), qulonglong(maxCars));
    settings.setValue(QLatin1String(BOX_KEY), bbox ? bbox->toText() : QString());
}

void RunSettings::configure(Simulation &simulation) const
{
    if (timetable == TimetableSource::Draft)
        simulation.setDraftHeadway(draftHeadway);
    simulation.setMaxCars(maxCars);
    simulation.setBoundingBox(bbox);
}

QString RunSettings::consoleCommand() const
{
    const QString map = shellWord(osmFilePath);
    QString schedules = shellWord(scheduleFilePath);
    // The timetable is drafted from the part of the map within the box, as the window drafts it.
    const QString box = bbox ? QStringLiteral(" --bbox ") + bbox->toText() : QString();
    QString command;
    if (timetable == TimetableSource::Draft) {
        schedules = QStringLiteral("drafted.xml");
        command = QStringLiteral("kolvex-headless --osm %1%2 --draft-schedules %3 --draft-headway %4 && ")
                      .arg(map, box, schedules)
                      .arg(draftHeadway);
    }
    // The console's own default cap is left unsaid, so that the usual command stays short.
    const QString cars =
        maxCars == SimulationData::DEFAULT_MAX_CARS ? QString() : QStringLiteral(" --max-cars %1").arg(maxCars);
    return command + QStringLiteral("kolvex-headless --osm %1 --schedules %2 --start %3 --seed %4%5%6")
                         .arg(map, schedules, start.toString(TIME_FORMAT))
                         .arg(seed)
                         .arg(cars, box);
}
