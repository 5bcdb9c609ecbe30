// GeoJSON export of a converted network, checked against a golden file.
//
// To regenerate the golden file after an intended change of the conversion or the export, run
//     KOLVEX_UPDATE_GOLDEN=1 ./convert_tests --gtest_filter='GeoJsonExport.*'
// which rewrites tests/data/convert/crossroad-n8w5.geojson in the source tree; review the diff
// before committing it.

#include "convert/geojsonexport.h"

#include "convert/lanegeometry.h"
#include "convert/networkconvertor.h"
#include "model/bindingdata.h"
#include "model/cell.h"
#include "model/crossroad.h"
#include "model/generator.h"
#include "model/semaphore.h"
#include "model/simulationdata.h"
#include "osm/osmdata.h"
#include "testmaps.h"

#include <gtest/gtest.h>

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTemporaryDir>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <map>
#include <set>
#include <vector>

using testmaps::at;

namespace {

const QString GOLDEN = QStringLiteral(KOLVEX_TEST_DATA_DIR "/convert/crossroad-n8w5.geojson");

/// Eight nodes, five ways: a four-arm crossroad with traffic signals of a tram street (west–east),
/// a one-way street with two lanes and a bend (north), a two-way street with two lanes up (south)
/// that a bus stop serving both sides splits, and a right-angle continuation of the tram street
/// beyond the east arm, where a tram stop lies.
struct SmallCrossroad
{
    SmallCrossroad()
    {
        osm.addNode(1, at(0, 0), true);
        osm.addNode(2, at(-30, 0));
        osm.addNode(3, at(30, 2));
        osm.addNode(4, at(0, 15));
        osm.addNode(5, at(10, 30));
        osm.addNode(6, at(-2, -25));
        osm.addNode(7, at(30, 25));
        osm.addNode(8, at(-1, -12));
        testmaps::addWay(osm, {100, {2, 1}, 1, 1, false, true});
        testmaps::addWay(osm, {101, {1, 3}, 1, 1, false, true});
        testmaps::addWay(osm, {102, {1, 4, 5}, 2, 0, true});
        testmaps::addWay(osm, {103, {6, 8, 1}, 2, 1});
        testmaps::addWay(osm, {104, {3, 7}, 1, 1, false, true});
        osm.addBusStop("Stop \"8\"", osm.nodes()->findById(8));
        osm.busStops()->stops()[0]->setPlacement(3);
        osm.addTramStop("Corner", osm.nodes()->findById(3));
        testmaps::StderrCapture quiet;
        NetworkConvertor(&osm, &sim, &bindings).convert();
    }
    OSMData osm;
    SimulationData sim;
    BindingData bindings;
};

QJsonDocument readJson(const QString &path, QString &error)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        error = file.errorString();
        return QJsonDocument();
    }
    QJsonParseError parseError;
    QJsonDocument document = QJsonDocument::fromJson(file.readAll(), &parseError);
    if (parseError.error != QJsonParseError::NoError)
        error = parseError.errorString();
    return document;
}

/// The first difference between two JSON values, empty if they agree; numbers within `tolerance`.
std::string difference(const QJsonValue &a, const QJsonValue &b, const std::string &path, double tolerance)
{
    if (a.type() != b.type())
        return path + ": types differ";
    if (a.isDouble()) {
        if (std::fabs(a.toDouble() - b.toDouble()) > tolerance)
            return path + ": " + std::to_string(a.toDouble()) + " != " + std::to_string(b.toDouble());
        return std::string();
    }
    if (a.isArray()) {
        const QJsonArray x = a.toArray(), y = b.toArray();
        if (x.size() != y.size())
            return path + ": " + std::to_string(x.size()) + " elements != " + std::to_string(y.size());
        for (int i = 0; i < x.size(); ++i) {
            const std::string d = difference(x[i], y[i], path + "[" + std::to_string(i) + "]", tolerance);
            if (!d.empty())
                return d;
        }
        return std::string();
    }
    if (a.isObject()) {
        const QJsonObject x = a.toObject(), y = b.toObject();
        if (x.keys() != y.keys())
            return path + ": keys differ";
        for (const QString &key : x.keys()) {
            const std::string d = difference(x[key], y[key], path + "." + key.toStdString(), tolerance);
            if (!d.empty())
                return d;
        }
        return std::string();
    }
    return a == b ? std::string() : path + ": values differ";
}

} // namespace

TEST(GeoJsonExport, SmallCrossroadMatchesGoldenFile)
{
    SmallCrossroad map;
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString path = dir.filePath(QStringLiteral("network.geojson"));
    ASSERT_TRUE(exportNetworkGeoJson(path, &map.osm, &map.sim, &map.bindings));

    if (std::getenv("KOLVEX_UPDATE_GOLDEN")) {
        QFile::remove(GOLDEN);
        ASSERT_TRUE(QFile::copy(path, GOLDEN)) << "cannot write " << GOLDEN.toStdString();
        std::cout << "golden file rewritten: " << GOLDEN.toStdString() << std::endl;
    }
    QString error;
    const QJsonDocument actual = readJson(path, error);
    ASSERT_TRUE(error.isEmpty()) << error.toStdString();
    const QJsonDocument expected = readJson(GOLDEN, error);
    ASSERT_TRUE(error.isEmpty()) << GOLDEN.toStdString() << ": " << error.toStdString();
    // Coordinates are written with 7 decimals; allow a unit or two of the last one.
    const std::string d = difference(actual.object(), expected.object(), "$", 2e-7);
    EXPECT_TRUE(d.empty()) << d << " (set KOLVEX_UPDATE_GOLDEN=1 to regenerate after an intended change)";
}

TEST(GeoJsonExport, FeaturesDescribeEveryLaneWithItsCells)
{
    SmallCrossroad map;
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("network.geojson"));
    ASSERT_TRUE(exportNetworkGeoJson(path, &map.osm, &map.sim, &map.bindings));
    QString error;
    const QJsonObject root = readJson(path, error).object();
    ASSERT_TRUE(error.isEmpty()) << error.toStdString();
    EXPECT_EQ(root["type"].toString(), QStringLiteral("FeatureCollection"));

    std::map<std::string, int> kinds;
    std::set<std::string> lanesWithCells;
    std::set<std::string> lanes;
    size_t cellPoints = 0;
    const std::set<std::string> notOfWays = {"crossroad_path", "semaphore", "stop_platform", "bus_bay", "generator"};
    for (const QJsonValue &value : root["features"].toArray()) {
        const QJsonObject feature = value.toObject();
        const QJsonObject properties = feature["properties"].toObject();
        const QJsonObject geometry = feature["geometry"].toObject();
        const std::string kind = properties["kind"].toString().toStdString();
        ++kinds[kind];
        if (notOfWays.count(kind))
            continue;
        const QJsonArray coordinates = geometry["coordinates"].toArray();
        ASSERT_FALSE(coordinates.isEmpty()) << kind;
        for (const QJsonValue &c : coordinates) {
            // Longitude first: the map lies at 24.9 E, 60.2 N.
            EXPECT_NEAR(c.toArray()[0].toDouble(), testmaps::ORIGIN_LON, 0.01);
            EXPECT_NEAR(c.toArray()[1].toDouble(), testmaps::ORIGIN_LAT, 0.01);
        }
        EXPECT_GT(properties["way_id"].toInt(), 99);
        const std::string key = std::to_string(properties["piece"].toInt()) + "/" +
                                properties["direction"].toString().toStdString() + "/" +
                                std::to_string(properties["lane_index"].toInt(-1));
        if (kind == "lane" || kind == "tram_track") {
            EXPECT_EQ(geometry["type"].toString(), QStringLiteral("LineString"));
            EXPECT_GE(coordinates.size(), 2);
            EXPECT_GT(properties["cell_count"].toInt(), 0);
            lanes.insert(kind + key);
        } else if (kind == "lane_cells") {
            EXPECT_EQ(geometry["type"].toString(), QStringLiteral("MultiPoint"));
            EXPECT_EQ(coordinates.size(), properties["cell_count"].toInt());
            cellPoints += size_t(coordinates.size());
            lanesWithCells.insert(properties["lane_kind"].toString().toStdString() + key);
        } else {
            EXPECT_TRUE(kind == "centre_line" || kind == "edge") << kind;
            EXPECT_EQ(geometry["type"].toString(), QStringLiteral("LineString"));
        }
        if (kind != "centre_line") {
            const std::string direction = properties["direction"].toString().toStdString();
            EXPECT_TRUE(direction == "forward" || direction == "backward") << kind;
        }
    }
    // Six pieces (the bus stop splits the south street), each with a centre line and two edges.
    EXPECT_EQ(kinds["centre_line"], 6);
    EXPECT_EQ(kinds["edge"], 12);
    EXPECT_EQ(kinds["tram_track"], 6);
    EXPECT_EQ(kinds["lane"], 2 * 3 + 2 + 2 * 3);
    EXPECT_EQ(lanes, lanesWithCells);
    size_t laneCells = 0;
    for (const Cell *cell : map.sim.cells)
        laneCells += cell->wayLink ? 1 : 0;
    EXPECT_EQ(cellPoints, laneCells);
}

TEST(GeoJsonExport, UnwritablePathIsReported)
{
    SmallCrossroad map;
    testmaps::StderrCapture capture;
    EXPECT_FALSE(exportNetworkGeoJson(QStringLiteral("/nonexistent-dir/x.geojson"), &map.osm, &map.sim, &map.bindings));
    EXPECT_NE(capture.text().find("GeoJSON export: cannot write \"/nonexistent-dir/x.geojson\""), std::string::npos);
}

namespace {

/// The features of one kind in an exported file.
std::vector<QJsonObject> featuresOfKind(const QJsonObject &root, const char *kind)
{
    std::vector<QJsonObject> features;
    for (const QJsonValue &value : root["features"].toArray())
        if (value.toObject()["properties"].toObject()["kind"].toString() == QLatin1String(kind))
            features.push_back(value.toObject());
    return features;
}

/// Whether the GeoJSON position `p` is the location `l` (seven decimals written).
bool samePosition(const QJsonValue &p, const Location &l)
{
    return std::fabs(p.toArray()[0].toDouble() - l.lon) < 1e-7 && std::fabs(p.toArray()[1].toDouble() - l.lat) < 1e-7;
}

} // namespace

TEST(GeoJsonExport, CrossroadPathsSignalsStopsAndGenerators)
{
    SmallCrossroad map;
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("network.geojson"));
    ASSERT_TRUE(exportNetworkGeoJson(path, &map.osm, &map.sim, &map.bindings));
    QString error;
    const QJsonObject root = readJson(path, error).object();
    ASSERT_TRUE(error.isEmpty()) << error.toStdString();
    ASSERT_EQ(map.sim.crossroads.size(), 1u);
    const Crossroad *crossroad = map.sim.crossroads[0];

    // One line per path, with the crossroad's kind and signal and the path's own cells.
    std::multiset<std::pair<bool, long long>> expectedPaths, writtenPaths;
    for (const auto &entry : crossroad->junction->crossroadPaths)
        for (const CrossroadPath &p : entry.second)
            expectedPaths.insert({p.isTram != 0, (long long)lanegeometry::countCells(p.firstCell, p.lastCell, 10000)});
    for (const QJsonObject &f : featuresOfKind(root, "crossroad_path")) {
        const QJsonObject properties = f["properties"].toObject();
        EXPECT_EQ(f["geometry"].toObject()["type"].toString(), QStringLiteral("LineString"));
        EXPECT_GE(f["geometry"].toObject()["coordinates"].toArray().size(), 2);
        EXPECT_EQ(properties["crossroad_kind"].toInt(), crossroad->kind);
        EXPECT_EQ(properties["node_id"].toInt(), 1);
        EXPECT_TRUE(properties["has_semaphore"].isBool());
        EXPECT_TRUE(properties["has_semaphore"].toBool());
        ASSERT_TRUE(properties["is_tram"].isBool());
        writtenPaths.insert({properties["is_tram"].toBool(), properties["cell_count"].toInt()});
    }
    EXPECT_EQ(writtenPaths, expectedPaths);
    EXPECT_EQ(crossroad->kind, Crossroad::Mixed);

    // The signal, at its node, with one group per arriving arm.
    const std::vector<QJsonObject> semaphores = featuresOfKind(root, "semaphore");
    ASSERT_EQ(semaphores.size(), 1u);
    const QJsonObject signalGeometry = semaphores[0]["geometry"].toObject();
    EXPECT_EQ(signalGeometry["type"].toString(), QStringLiteral("Point"));
    EXPECT_TRUE(samePosition(signalGeometry["coordinates"], map.osm.nodes()->findById(1)->getLocation()));
    EXPECT_EQ(semaphores[0]["properties"].toObject()["group_count"].toInt(),
              int(crossroad->semaphore->groups().size()));
    EXPECT_EQ(crossroad->semaphore->groups().size(), 3u); // the one-way north street only leaves

    // Generators at the two-way dead ends: west, south and beyond the east continuation.
    const std::vector<QJsonObject> generators = featuresOfKind(root, "generator");
    ASSERT_EQ(generators.size(), map.sim.generators.size());
    EXPECT_EQ(generators.size(), 3u);
    for (size_t i = 0; i < generators.size(); ++i) {
        EXPECT_EQ(generators[i]["geometry"].toObject()["type"].toString(), QStringLiteral("Point"));
        EXPECT_TRUE(
            samePosition(generators[i]["geometry"].toObject()["coordinates"], map.sim.generators[i]->cell->location));
        EXPECT_EQ(generators[i]["properties"].toObject()["period"].toInt(), 100);
    }

    // Two bays beside the south street and a platform on each track of the continuation; the
    // lines run through their cells.
    size_t marked = 0;
    for (const Cell *c : map.sim.cells)
        marked += c->stop ? 1 : 0;
    size_t written = 0;
    for (const char *kind : {"bus_bay", "stop_platform"}) {
        const std::vector<QJsonObject> stops = featuresOfKind(root, kind);
        EXPECT_EQ(stops.size(), 2u) << kind;
        for (const QJsonObject &f : stops) {
            const QJsonObject properties = f["properties"].toObject();
            const QJsonArray coordinates = f["geometry"].toObject()["coordinates"].toArray();
            const int cells = properties["cell_count"].toInt();
            EXPECT_GE(cells, 1);
            EXPECT_EQ(coordinates.size(), std::max(cells, 2));
            written += size_t(cells);
            if (std::string(kind) == "bus_bay") {
                EXPECT_EQ(properties["stop_name"].toString(), QStringLiteral("Stop \"8\""));
                EXPECT_EQ(properties["stop_kind"].toString(), QStringLiteral("bus"));
            } else {
                EXPECT_EQ(properties["stop_name"].toString(), QStringLiteral("Corner"));
                EXPECT_EQ(properties["stop_kind"].toString(), QStringLiteral("tram"));
                EXPECT_LE(cells, 181);
            }
        }
    }
    EXPECT_EQ(written, marked);
}
