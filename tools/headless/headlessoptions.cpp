#include "headlessoptions.h"

#include "app/simulation.h"
#include "model/random.h"

bool HeadlessOptions::parse(const QStringList &arguments, QString &error)
{
    osmPath = QString::fromUtf8(Simulation::DEFAULT_OSM_PATH);
    schedulePath = QString::fromUtf8(Simulation::DEFAULT_SCHEDULE_PATH);
    start = QTime(14, 0, 0);
    seed = Random::DEFAULT_SEED;

    for (int i = 1; i < arguments.size(); ++i) {
        const QString &option = arguments[i];
        auto value = [&](QString &out) {
            if (i + 1 >= arguments.size()) {
                error = QStringLiteral("missing value for %1").arg(option);
                return false;
            }
            out = arguments[++i];
            return true;
        };
        QString text;
        if (option == QLatin1String("--osm")) {
            if (!value(osmPath))
                return false;
        } else if (option == QLatin1String("--schedules")) {
            if (!value(schedulePath))
                return false;
        } else if (option == QLatin1String("--start")) {
            if (!value(text))
                return false;
            start = QTime::fromString(text, QStringLiteral("HH:mm:ss"));
            if (!start.isValid()) {
                error = QStringLiteral("malformed start time \"%1\" (expected HH:MM:SS)").arg(text);
                return false;
            }
        } else if (option == QLatin1String("--seed")) {
            if (!value(text))
                return false;
            bool ok = false;
            seed = text.toULongLong(&ok);
            if (!ok) {
                error = QStringLiteral("malformed seed \"%1\" (expected a non-negative integer)").arg(text);
                return false;
            }
        } else {
            error = QStringLiteral("unknown option \"%1\"").arg(option);
            return false;
        }
    }
    return true;
}

QString HeadlessOptions::usage()
{
    return QStringLiteral("usage: kolvex-headless [--osm FILE] [--schedules FILE] [--start HH:MM:SS] [--seed N]");
}
