#ifndef KOLVEX_TOOLS_HEADLESS_HEADLESSOPTIONS_H
#define KOLVEX_TOOLS_HEADLESS_HEADLESSOPTIONS_H

#include "convert/networkbudget.h"
#include "geo/geodesy.h"
#include "model/simulationdata.h"
#include "osm/boundingbox.h"

#include <QString>
#include <QStringList>
#include <QTime>

#include <cstdint>
#include <optional>
#include <vector>

/// Where a detector of --detector stands and how far it looks for lanes.
struct DetectorPlace
{
    Location point;
    double radiusM = 10.0;
};

/// The command line of kolvex-headless.
struct HeadlessOptions
{
    QString osmPath;
    QString schedulePath;
    QTime start = QTime(14, 0, 0);
    uint64_t seed = 1;
    /// the most cars on the network at once; the generators pause while it is reached
    int64_t maxCars = int64_t(SimulationData::DEFAULT_MAX_CARS);
    /// the part of the map to keep; none keeps it whole
    std::optional<BoundingBox> bbox;
    int64_t steps = 0;          ///< steps to run back to back after preparation
    int64_t statsEvery = 0;     ///< print a statistics line every this many steps (0: never)
    QString csvPath;            ///< one row of statistics per step
    QString fcdPath;            ///< vehicle positions
    int64_t fcdEvery = 1;       ///< steps between two position records
    int threads = 0;            ///< size of the decision thread pool (0: Qt's default)
    int64_t feed = 1;           ///< the generators start cars this many times as often
    QString writeOsmPath;       ///< write the reduced extract after reading, then stop
    QString exportNetworkPath;  ///< GeoJSON of the converted network
    QString draftSchedulesPath; ///< draft a timetable from the map's route relations, then stop
    int64_t draftHeadway = 15;  ///< minutes between two departures of a drafted line
    bool fetchTiles = false;    ///< fill the tile directory for the map's area, then stop
    int tileMinZoom = 0;
    int tileMaxZoom = 0;
    QString tileDir;      ///< the tile directory (default: TileStore::defaultDirectory())
    NetworkBudget budget; ///< a map whose network would cost more is refused

    std::vector<DetectorPlace> detectors;
    QString detectorCsvPath;     ///< readings of the detectors
    int64_t detectorEvery = 240; ///< steps between two readings of the detectors

    bool helpRequested = false;
    bool versionRequested = false;

    /// Reads `arguments` (program name first); false with `error` set for an unknown option, a
    /// missing or malformed value, or an argument that is not an option. A request for help counts
    /// even beside such a fault.
    bool parse(const QStringList &arguments, QString &error);

    /// The two forms of the command line, one bracketed option per value, wrapped to 72 columns
    /// with later lines aligned under the first option; the README shows the same text.
    static QString synopsis();
    /// "usage: " before the synopsis: printed with every fault of the command line.
    static QString usage();
    /// The text of --help: the usage, what the program does, every option once with its default,
    /// the exit statuses, the files and the environment it reads.
    static QString helpText();
};

#endif
