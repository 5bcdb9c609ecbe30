#include "headlessoptions.h"

#include "tileprefetch.h"

#include "engine/bundleddata.h"
#include "model/random.h"
#include "tiles/tileserver.h"
#include "tiles/tilestore.h"

#include <QCommandLineOption>
#include <QCommandLineParser>

#include <cstring>
#include <vector>

namespace {

const char *const PROGRAM = "kolvex-headless";
const int SYNOPSIS_WIDTH = 72;
const char *const FETCH_TILES = "fetch-tiles"; ///< the option that leads the tile form

/// Which form of the command line an option belongs to.
enum class Form { Run, Tiles, Both };

/// Takes the option's value into `options`; false with `error` set when the value is malformed.
using Apply = bool (*)(HeadlessOptions &options, const QString &value, QString &error);

/// One option with a value: its name, the name of the value, what it does and how it is taken.
struct OptionSpec
{
    const char *name;
    const char *valueName;
    QString description;
    Form form;
    Apply apply;
    bool repeatable = false; ///< every occurrence counts, in order, instead of the last
};

bool readCount(const QString &text, const char *option, int64_t minimum, int64_t &out, QString &error)
{
    bool ok = false;
    const qlonglong value = text.toLongLong(&ok);
    if (ok && value >= minimum) {
        out = value;
        return true;
    }
    error = QStringLiteral("malformed value \"%1\" for --%2 (expected an integer of at least %3)")
                .arg(text, QLatin1String(option))
                .arg(minimum);
    return false;
}

bool readZoomRange(HeadlessOptions &o, const QString &text, QString &error)
{
    const QStringList zooms = text.split(QLatin1Char('-'));
    bool ok = zooms.size() == 2;
    if (ok) {
        bool okMin = false, okMax = false;
        o.tileMinZoom = zooms[0].toInt(&okMin);
        o.tileMaxZoom = zooms[1].toInt(&okMax);
        ok = okMin && okMax && o.tileMinZoom >= 0 && o.tileMinZoom <= o.tileMaxZoom && o.tileMaxZoom <= 19;
    }
    if (!ok) {
        error = QStringLiteral("malformed zoom range \"%1\" (expected MINZOOM-MAXZOOM within 0-19)").arg(text);
        return false;
    }
    o.fetchTiles = true;
    return true;
}

bool readDetector(HeadlessOptions &o, const QString &text, QString &error)
{
    const QStringList parts = text.split(QLatin1Char(','));
    bool ok = parts.size() == 2 || parts.size() == 3;
    DetectorPlace place;
    if (ok) {
        bool okLat = false, okLon = false, okRadius = true;
        place.point = Location(parts[0].toDouble(&okLat), parts[1].toDouble(&okLon));
        if (parts.size() == 3)
            place.radiusM = parts[2].toDouble(&okRadius);
        ok = okLat && okLon && okRadius && place.point.lat >= -90.0 && place.point.lat <= 90.0 &&
             place.point.lon >= -180.0 && place.point.lon <= 180.0 && place.radiusM > 0.0 && place.radiusM <= 1000.0;
    }
    if (!ok) {
        error = QStringLiteral("malformed detector \"%1\" (expected LAT,LON or LAT,LON,RADIUS with a radius of "
                               "more than 0 and at most 1000 m)")
                    .arg(text);
        return false;
    }
    o.detectors.push_back(place);
    return true;
}

/// Every option with a value, in the order of the synopsis and the help.
std::vector<OptionSpec> optionSpecs()
{
    const HeadlessOptions defaults;
    const NetworkBudget budget;
    return {
        {"osm", "FILE",
         QStringLiteral("Map: an OpenStreetMap extract as XML, PBF, or XML compressed with gzip or bzip2 (the "
                        "content decides, not the name). Default: the bundled Helsinki centre."),
         Form::Both,
         [](HeadlessOptions &o, const QString &v, QString &) {
             o.osmPath = v;
             return true;
         }},
        {"schedules", "FILE",
         QStringLiteral("Schedule file of the bus, trolleybus and tram lines. Default: the bundled timetable."),
         Form::Run,
         [](HeadlessOptions &o, const QString &v, QString &) {
             o.schedulePath = v;
             return true;
         }},
        {"start", "HH:MM:SS",
         QStringLiteral("Time of day at which the run starts (%1).")
             .arg(defaults.start.toString(QStringLiteral("HH:mm:ss"))),
         Form::Run,
         [](HeadlessOptions &o, const QString &v, QString &error) {
             o.start = QTime::fromString(v, QStringLiteral("HH:mm:ss"));
             if (!o.start.isValid())
                 error = QStringLiteral("malformed start time \"%1\" (expected HH:MM:SS)").arg(v);
             return o.start.isValid();
         }},
        {"seed", "N",
         QStringLiteral("Seed of every random draw; one seed gives one run (%1).").arg(Random::DEFAULT_SEED), Form::Run,
         [](HeadlessOptions &o, const QString &v, QString &error) {
             bool ok = false;
             o.seed = v.toULongLong(&ok);
             if (!ok || v.startsWith(QLatin1Char('-'))) {
                 error = QStringLiteral("malformed seed \"%1\" (expected a non-negative integer)").arg(v);
                 return false;
             }
             return true;
         }},
        {"steps", "N",
         QStringLiteral("Steps of 250 ms to run back to back after the preparation (%1).").arg(defaults.steps),
         Form::Run,
         [](HeadlessOptions &o, const QString &v, QString &error) { return readCount(v, "steps", 0, o.steps, error); }},
        {"stats-every", "K",
         QStringLiteral("Print a statistics line every K steps: vehicles by kind, mean speed, step time, standing "
                        "cars, the longest current standstill and where that car stands."),
         Form::Run,
         [](HeadlessOptions &o, const QString &v, QString &error) {
             return readCount(v, "stats-every", 1, o.statsEvery, error);
         }},
        {"csv", "FILE", QStringLiteral("Write one row of statistics per step, under a header that names the columns."),
         Form::Run,
         [](HeadlessOptions &o, const QString &v, QString &) {
             o.csvPath = v;
             return true;
         }},
        {"fcd", "FILE",
         QStringLiteral("Write the position, speed and standing time of every vehicle every --fcd-every steps, "
                        "under a header that names the columns."),
         Form::Run,
         [](HeadlessOptions &o, const QString &v, QString &) {
             o.fcdPath = v;
             return true;
         }},
        {"fcd-every", "K", QStringLiteral("Steps between two records of --fcd (%1).").arg(defaults.fcdEvery), Form::Run,
         [](HeadlessOptions &o, const QString &v, QString &error) {
             return readCount(v, "fcd-every", 1, o.fcdEvery, error);
         }},
        {"threads", "N",
         QStringLiteral("Threads that decide the vehicles, 1 to 1024 (default: one per core). A seed gives the "
                        "same run on any number."),
         Form::Run,
         [](HeadlessOptions &o, const QString &v, QString &error) {
             int64_t number = 0;
             if (!readCount(v, "threads", 1, number, error) || number > 1024) {
                 error = QStringLiteral("malformed thread count \"%1\"").arg(v);
                 return false;
             }
             o.threads = int(number);
             return true;
         }},
        {"feed", "N", QStringLiteral("Make the generators start cars N times as often (%1).").arg(defaults.feed),
         Form::Run,
         [](HeadlessOptions &o, const QString &v, QString &error) { return readCount(v, "feed", 1, o.feed, error); }},
        {"max-cars", "N",
         QStringLiteral("Cars the network holds at most; the generators pause while it is full (%1).")
             .arg(defaults.maxCars),
         Form::Run,
         [](HeadlessOptions &o, const QString &v, QString &error) {
             return readCount(v, "max-cars", 0, o.maxCars, error);
         }},
        {"bbox", "MINLON,MINLAT,MAXLON,MAXLAT",
         QStringLiteral("Simulate only the part of the map within this box of degrees: the ways reaching into it "
                        "are cut where they cross its edge, stops outside it and route relations with no way "
                        "left go; with --fetch-tiles, fetch the tiles over the part of the map within it. "
                        "Default: the whole map."),
         Form::Both,
         [](HeadlessOptions &o, const QString &v, QString &error) {
             BoundingBox box;
             if (!BoundingBox::parse(v, box, error))
                 return false;
             o.bbox = box;
             return true;
         }},
        {"detector", "LAT,LON[,RADIUS]",
         QStringLiteral("Count the vehicles passing a point: on every lane and tram track within RADIUS metres "
                        "(%1) the cell nearest to it. May be given more than once; needs --detector-csv.")
             .arg(DetectorPlace().radiusM),
         Form::Run, readDetector, true},
        {"detector-csv", "FILE",
         QStringLiteral("Write the readings of the detectors every --detector-every steps: for each watched lane "
                        "the vehicles whose front passed, their flow and mean speed, the share of time the cell "
                        "was covered and the density that gives."),
         Form::Run,
         [](HeadlessOptions &o, const QString &v, QString &) {
             o.detectorCsvPath = v;
             return true;
         }},
        {"detector-every", "K",
         QStringLiteral("Steps between two readings of the detectors (%1, a minute).").arg(defaults.detectorEvery),
         Form::Run,
         [](HeadlessOptions &o, const QString &v, QString &error) {
             return readCount(v, "detector-every", 1, o.detectorEvery, error);
         }},
        {"export-network", "FILE", QStringLiteral("Write the converted network as GeoJSON, for a GIS tool."), Form::Run,
         [](HeadlessOptions &o, const QString &v, QString &) {
             o.exportNetworkPath = v;
             return true;
         }},
        {"write-osm", "FILE",
         QStringLiteral("Write the map as read, reduced to what the simulator keeps and cut to --bbox when given, "
                        "as OSM XML, then stop."),
         Form::Run,
         [](HeadlessOptions &o, const QString &v, QString &) {
             o.writeOsmPath = v;
             return true;
         }},
        {"draft-schedules", "FILE",
         QStringLiteral("Prepare the map and write a timetable drafted from its route relations instead of "
                        "running."),
         Form::Run,
         [](HeadlessOptions &o, const QString &v, QString &) {
             o.draftSchedulesPath = v;
             return true;
         }},
        {"draft-headway", "MINUTES",
         QStringLiteral("Minutes between two departures of a drafted line (%1), more where many lines start "
                        "at one stop.")
             .arg(defaults.draftHeadway),
         Form::Run,
         [](HeadlessOptions &o, const QString &v, QString &error) {
             return readCount(v, "draft-headway", 1, o.draftHeadway, error);
         }},
        {"max-segment-m", "M",
         QStringLiteral("Refuse a map with a straight way segment longer than M metres (%1).")
             .arg(budget.maxSegmentMetres, 0, 'f', 0),
         Form::Run,
         [](HeadlessOptions &o, const QString &v, QString &error) {
             int64_t number = 0;
             if (!readCount(v, "max-segment-m", 1, number, error))
                 return false;
             o.budget.maxSegmentMetres = double(number);
             return true;
         }},
        {"max-way-cells", "N",
         QStringLiteral("Refuse a map with a way of more than N cells of 0.25 m (%1).").arg(budget.maxWayCells),
         Form::Run,
         [](HeadlessOptions &o, const QString &v, QString &error) {
             return readCount(v, "max-way-cells", 1, o.budget.maxWayCells, error);
         }},
        {"max-network-cells", "N",
         QStringLiteral("Refuse a map whose network has more than N cells (%1, about 3 GB).")
             .arg(budget.maxNetworkCells),
         Form::Run,
         [](HeadlessOptions &o, const QString &v, QString &error) {
             return readCount(v, "max-network-cells", 1, o.budget.maxNetworkCells, error);
         }},
        {"max-node-arms", "N",
         QStringLiteral("Refuse a map with more than N way ends meeting at one node, 3 to 1000000 (%1).")
             .arg(budget.maxNodeArms),
         Form::Run,
         [](HeadlessOptions &o, const QString &v, QString &error) {
             int64_t number = 0;
             if (!readCount(v, "max-node-arms", 3, number, error) || number > 1000000) {
                 error = QStringLiteral("malformed arm count \"%1\" (expected 3 to 1000000)").arg(v);
                 return false;
             }
             o.budget.maxNodeArms = int32_t(number);
             return true;
         }},
        {FETCH_TILES, "MINZOOM-MAXZOOM",
         QStringLiteral("Fill the tile directory with the map tiles over the area of the map at these zoom levels "
                        "(0-19), then stop. Tiles present are not fetched again; at most %1 are fetched in one run.")
             .arg(MAX_PREFETCH_TILES),
         Form::Tiles, readZoomRange},
        {"tile-dir", "DIR",
         QStringLiteral("Tile directory of --fetch-tiles. Default: %1 when it exists, otherwise map_tiles/ in the "
                        "user's cache directory (~/.cache/kolvex/).")
             .arg(QLatin1String(TileStore::WORKING_DIRECTORY)),
         Form::Tiles,
         [](HeadlessOptions &o, const QString &v, QString &) {
             o.tileDir = v;
             return true;
         }},
    };
}

/// Makes `parser` know every option.
void addOptions(QCommandLineParser &parser, const std::vector<OptionSpec> &specs)
{
    parser.setSingleDashWordOptionMode(QCommandLineParser::ParseAsCompactedShortOptions);
    parser.addOption(
        QCommandLineOption({QStringLiteral("h"), QStringLiteral("help")}, QStringLiteral("Show this help.")));
    parser.addOption(QCommandLineOption(QStringLiteral("version"), QStringLiteral("Show the version.")));
    for (const OptionSpec &option : specs)
        parser.addOption(
            QCommandLineOption(QLatin1String(option.name), option.description, QLatin1String(option.valueName)));
}

QString plain(const OptionSpec &option)
{
    return QStringLiteral("--%1 %2").arg(QLatin1String(option.name), QLatin1String(option.valueName));
}

/// The words after the program's name in one form of the command line: each option of the form in
/// brackets, except --fetch-tiles, which leads the tile form.
QStringList formWords(Form form)
{
    QStringList words;
    for (const OptionSpec &option : optionSpecs()) {
        if (option.form != form && option.form != Form::Both)
            continue;
        if (QLatin1String(option.name) == QLatin1String(FETCH_TILES))
            words.prepend(plain(option));
        else
            words << QLatin1Char('[') + plain(option) + QLatin1Char(']');
    }
    return words;
}

/// One form of the command line: the program, `words`, wrapped under the first word.
QString wrapped(const QStringList &words)
{
    const QString indent(int(strlen(PROGRAM)) + 1, QLatin1Char(' '));
    QString text = QLatin1String(PROGRAM);
    int lineLength = text.size();
    for (const QString &word : words) {
        const bool fits = lineLength + 1 + word.size() <= SYNOPSIS_WIDTH;
        text += (fits ? QStringLiteral(" ") : QLatin1Char('\n') + indent) + word;
        lineLength = fits ? lineLength + 1 + word.size() : indent.size() + word.size();
    }
    return text;
}

} // namespace

bool HeadlessOptions::parse(const QStringList &arguments, QString &error)
{
    *this = HeadlessOptions();
    osmPath = BundledData::mapPath();
    schedulePath = BundledData::schedulePath();
    seed = Random::DEFAULT_SEED;

    const std::vector<OptionSpec> specs = optionSpecs();
    QCommandLineParser parser;
    addOptions(parser, specs);
    const bool parsed = parser.parse(arguments);
    helpRequested = parser.isSet(QStringLiteral("help"));
    versionRequested = parser.isSet(QStringLiteral("version"));
    if (!parsed) {
        error = parser.errorText();
        return false;
    }
    if (!parser.positionalArguments().isEmpty()) {
        error = QStringLiteral("unexpected argument \"%1\"").arg(parser.positionalArguments().constFirst());
        return false;
    }
    for (const OptionSpec &option : specs) {
        const QString name = QLatin1String(option.name);
        // As on most command lines, the last of a repeated option counts, unless each one adds.
        const QStringList values = parser.values(name);
        for (int i = option.repeatable ? 0 : int(values.size()) - 1; i >= 0 && i < values.size(); ++i)
            if (!option.apply(*this, values[i], error))
                return false;
    }
    if (detectors.empty() != detectorCsvPath.isEmpty()) {
        error = detectors.empty() ? QStringLiteral("--detector-csv needs at least one --detector")
                                  : QStringLiteral("--detector needs --detector-csv");
        return false;
    }
    return true;
}

QString HeadlessOptions::synopsis()
{
    return wrapped(formWords(Form::Run)) + QLatin1Char('\n') + wrapped(formWords(Form::Tiles));
}

QString HeadlessOptions::usage()
{
    // Every later line, of either form, stays aligned under the first.
    QStringList lines = synopsis().split(QLatin1Char('\n'));
    for (int i = 0; i < lines.size(); ++i)
        lines[i].prepend(i == 0 ? QStringLiteral("usage: ") : QStringLiteral("       "));
    return lines.join(QLatin1Char('\n'));
}

QString HeadlessOptions::helpText()
{
    QCommandLineParser parser;
    addOptions(parser, optionSpecs());
    // Qt's help starts with its own one-line usage; the options part follows it.
    const QString qtHelp = parser.helpText();
    const int optionsAt = qtHelp.indexOf(QLatin1String("Options:\n"));
    const QString options = optionsAt >= 0 ? qtHelp.mid(optionsAt) : qtHelp;
    // The usage in the form that manual page generators read; the options follow.
    return QStringLiteral("Usage: %1 [options]\n  or:  %1 %2\n\n")
               .arg(QLatin1String(PROGRAM), formWords(Form::Tiles).join(QLatin1Char(' '))) +
           QStringLiteral("Prepares the road network and the public transport of a city from an\n"
                          "OpenStreetMap extract and a schedule file exactly as the Kolvex window does,\n"
                          "then runs --steps steps back to back and prints a summary. The preparation log\n"
                          "goes to standard output, diagnostics to standard error.\n\n") +
           options +
           QStringLiteral("\n"
                          "Exit status:\n"
                          "  0  The run or the task asked for was done.\n"
                          "  1  An input file could not be read whole, the map was refused by the network\n"
                          "     budget, the file of --csv, --fcd, --detector-csv, --export-network or\n"
                          "     --draft-schedules could not be written, or a tile could not be fetched.\n"
                          "  2  The command line is wrong: an unknown option, a missing or malformed value,\n"
                          "     or an argument that is not an option.\n\n"
                          "Files:\n"
                          "  ./data/  The bundled map and schedule file, the defaults of --osm and\n"
                          "           --schedules, when it holds them; otherwise share/kolvex/ beside the\n"
                          "           program's folder (/usr/share/kolvex/ for /usr/bin/kolvex-headless).\n\n"
                          "Environment:\n"
                          "  %1  Tile server of --fetch-tiles, a domain optionally followed by\n"
                          "                    :PORT (%2).\n")
               .arg(QLatin1String(TileServer::HOST_VARIABLE), QLatin1String(TileServer::DEFAULT_HOST));
}
