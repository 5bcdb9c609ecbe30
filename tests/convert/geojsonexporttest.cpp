// GeoJSON export of a converted network, checked against a golden file.
//
// To regenerate the golden file after an intended change of the conversion or the export, run
//     KOLVEX_UPDATE_GOLDEN=1 ./convert_tests --gtest_filter='GeoJsonExport.*'
// which rewrites tests/data/convert/crossroad-n8w5.geojson in the source tree; review the diff
// before committing it.

#include "convert/geojsonexport.h"

#include "convert/networkconvertor.h"
#include "model/bindingdata.h"
#include "model/cell.h"
#include "model/simulationdata.h"
#include "osm/osmdata.h"
#include "testmaps.h"

#include <gtest/gtest.h>

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTemporaryDir>

#include <cmath>
#include <cstdlib>
#include <map>
#include <set>

using testmaps::at;

namespace {

const QString GOLDEN = QStringLiteral(KOLVEX_TEST_DATA_DIR "/convert/crossroad-n8w5.geojson");

/// Eight nodes, five ways: a four-arm crossroad of a tram street (west–east), a one-way street
/// with two lanes and a bend (north), a two-way street with two lanes up (south) that a bus stop
/// splits, and a right-angle continuation of the tram street beyond the east arm.
struct SmallCrossroad
{
    SmallCrossroad()
    {
        osm.addNode(1, at(0, 0));
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
        osm.addBusStop("Stop", osm.nodes()->findById(8));
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
    for (const QJsonValue &value : root["features"].toArray()) {
        const QJsonObject feature = value.toObject();
        const QJsonObject properties = feature["properties"].toObject();
        const QJsonObject geometry = feature["geometry"].toObject();
        const std::string kind = properties["kind"].toString().toStdString();
        ++kinds[kind];
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
