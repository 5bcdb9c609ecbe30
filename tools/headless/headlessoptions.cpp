#include "headlessoptions.h"

#include "engine/bundleddata.h"
#include "model/random.h"

namespace {

bool readCount(const QString &text, int64_t minimum, int64_t &out)
{
    bool ok = false;
    const qlonglong value = text.toLongLong(&ok);
    if (!ok || value < minimum)
        return false;
    out = value;
    return true;
}

} // namespace

bool HeadlessOptions::parse(const QStringList &arguments, QString &error)
{
    *this = HeadlessOptions();
    osmPath = BundledData::mapPath();
    schedulePath = BundledData::schedulePath();
    seed = Random::DEFAULT_SEED;

    for (int i = 1; i < arguments.size(); ++i) {
        const QString &option = arguments[i];
        QString text;
        if (!option.startsWith(QLatin1String("--"))) {
            error = QStringLiteral("unexpected argument \"%1\"").arg(option);
            return false;
        }
        if (i + 1 >= arguments.size()) {
            error = QStringLiteral("missing value for %1").arg(option);
            return false;
        }
        text = arguments[++i];
        auto count = [&](int64_t minimum, int64_t &out) {
            if (readCount(text, minimum, out))
                return true;
            error = QStringLiteral("malformed value \"%1\" for %2 (expected an integer of at least %3)")
                        .arg(text, option)
                        .arg(minimum);
            return false;
        };
        int64_t number = 0;
        if (option == QLatin1String("--osm")) {
            osmPath = text;
        } else if (option == QLatin1String("--schedules")) {
            schedulePath = text;
        } else if (option == QLatin1String("--start")) {
            start = QTime::fromString(text, QStringLiteral("HH:mm:ss"));
            if (!start.isValid()) {
                error = QStringLiteral("malformed start time \"%1\" (expected HH:MM:SS)").arg(text);
                return false;
            }
        } else if (option == QLatin1String("--seed")) {
            bool ok = false;
            seed = text.toULongLong(&ok);
            if (!ok || text.startsWith('-')) {
                error = QStringLiteral("malformed seed \"%1\" (expected a non-negative integer)").arg(text);
                return false;
            }
        } else if (option == QLatin1String("--steps")) {
            if (!count(0, steps))
                return false;
        } else if (option == QLatin1String("--stats-every")) {
            if (!count(1, statsEvery))
                return false;
        } else if (option == QLatin1String("--csv")) {
            csvPath = text;
        } else if (option == QLatin1String("--fcd")) {
            fcdPath = text;
        } else if (option == QLatin1String("--fcd-every")) {
            if (!count(1, fcdEvery))
                return false;
        } else if (option == QLatin1String("--threads")) {
            if (!count(1, number) || number > 1024) {
                error = QStringLiteral("malformed thread count \"%1\"").arg(text);
                return false;
            }
            threads = int(number);
        } else if (option == QLatin1String("--feed")) {
            if (!count(1, feed))
                return false;
        } else if (option == QLatin1String("--write-osm")) {
            writeOsmPath = text;
        } else if (option == QLatin1String("--export-network")) {
            exportNetworkPath = text;
        } else if (option == QLatin1String("--draft-schedules")) {
            draftSchedulesPath = text;
        } else if (option == QLatin1String("--draft-headway")) {
            if (!count(1, draftHeadway))
                return false;
        } else if (option == QLatin1String("--fetch-tiles")) {
            const QStringList zooms = text.split(QLatin1Char('-'));
            bool ok = zooms.size() == 2;
            if (ok) {
                bool okMin = false, okMax = false;
                tileMinZoom = zooms[0].toInt(&okMin);
                tileMaxZoom = zooms[1].toInt(&okMax);
                ok = okMin && okMax && tileMinZoom >= 0 && tileMinZoom <= tileMaxZoom && tileMaxZoom <= 19;
            }
            if (!ok) {
                error = QStringLiteral("malformed zoom range \"%1\" (expected MINZOOM-MAXZOOM within 0-19)").arg(text);
                return false;
            }
            fetchTiles = true;
        } else if (option == QLatin1String("--tile-dir")) {
            tileDir = text;
        } else if (option == QLatin1String("--max-segment-m")) {
            if (!count(1, number))
                return false;
            budget.maxSegmentMetres = double(number);
        } else if (option == QLatin1String("--max-way-cells")) {
            if (!count(1, budget.maxWayCells))
                return false;
        } else if (option == QLatin1String("--max-network-cells")) {
            if (!count(1, budget.maxNetworkCells))
                return false;
        } else if (option == QLatin1String("--max-node-arms")) {
            if (!count(3, number) || number > 1000000) {
                error = QStringLiteral("malformed arm count \"%1\" (expected 3 to 1000000)").arg(text);
                return false;
            }
            budget.maxNodeArms = int32_t(number);
        } else {
            error = QStringLiteral("unknown option \"%1\"").arg(option);
            return false;
        }
    }
    return true;
}

QString HeadlessOptions::usage()
{
    return QStringLiteral(
        "usage: kolvex-headless [--osm FILE] [--schedules FILE] [--start HH:MM:SS] [--seed N]\n"
        "                       [--steps N] [--stats-every K] [--csv FILE] [--fcd FILE] [--fcd-every K]\n"
        "                       [--threads N] [--feed N] [--export-network FILE] [--write-osm FILE]\n"
        "                       [--draft-schedules FILE] [--draft-headway MINUTES]\n"
        "                       [--max-segment-m M] [--max-way-cells N] [--max-network-cells N]\n"
        "                       [--max-node-arms N] [--fetch-tiles MINZOOM-MAXZOOM [--tile-dir DIR]]");
}
