// GeoJSON export of a converted network, checked against a golden file.
//
// To regenerate the golden file after an intended change of the conversion or the export, run
//     KOLVEX_UPDATE_GOLDEN=1 ./convert_tests --gtest_filter='GeoJsonExport.*'
// which rewrites tests/data/convert/crossroad-n8w5.geojson in the source tree; review the diff
// before committing it.

#include "convert/geojsonexport.h"

#include "testnetwork.h"

#include <gtest/gtest.h>

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTemporaryDir>

#include <cmath>
#include <cstdlib>

namespace {

const QString GOLDEN = QStringLiteral(KOLVEX_TEST_DATA_DIR "/convert/crossroad-n8w5.geojson");

/// Eight nodes, five ways: a four-arm crossroad with traffic signals of a tram street (west–east),
/// a one-way street with two lanes and a bend (north), a two-way street with two lanes up (south)
/// that a bus stop serving both sides splits, and a right-angle continuation of the tram street
/// beyond the east arm, where a tram stop lies.
struct SmallCrossroad : testmaps::TestNetwork
{
    SmallCrossroad()
    {
        const double places[][2] = {{0, 0}, {-30, 0}, {30, 2}, {0, 15}, {10, 30}, {-2, -25}, {30, 25}, {-1, -12}};
        for (int64_t id = 1; id <= 8; ++id)
            node(id, places[id - 1][0], places[id - 1][1], id == 1);
        way({100, {2, 1}, 1, 1, false, true});
        way({101, {1, 3}, 1, 1, false, true});
        way({102, {1, 4, 5}, 2, 0, true});
        way({103, {6, 8, 1}, 2, 1});
        way({104, {3, 7}, 1, 1, false, true});
        osm.addBusStop("Stop \"8\"", nodeById(8));
        osm.busStops()->stops()[0]->setPlacement(StopPlacement::BothDirections);
        osm.addTramStop("Corner", nodeById(3));
        run();
    }
};

QJsonValue readJson(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? QJsonDocument::fromJson(file.readAll()).object() : QJsonValue();
}

/// The first difference between two JSON values, empty if they agree; numbers within `tolerance`.
std::string difference(const QJsonValue &a, const QJsonValue &b, const std::string &path, double tolerance)
{
    if (a.type() != b.type())
        return path + ": types differ";
    if (a.isDouble())
        return std::fabs(a.toDouble() - b.toDouble()) <= tolerance ? "" : path + ": numbers differ";
    if (a.isArray() && a.toArray().size() == b.toArray().size()) {
        for (int i = 0; i < a.toArray().size(); ++i) {
            const std::string d = difference(a[i], b[i], path + "[" + std::to_string(i) + "]", tolerance);
            if (!d.empty())
                return d;
        }
        return "";
    }
    if (a.isObject() && a.toObject().keys() == b.toObject().keys()) {
        for (const QString &key : a.toObject().keys()) {
            const std::string d = difference(a[key], b[key], path + "." + key.toStdString(), tolerance);
            if (!d.empty())
                return d;
        }
        return "";
    }
    return a == b ? "" : path + ": values differ";
}

} // namespace

TEST(GeoJsonExport, SmallCrossroadMatchesGoldenFileAndAnUnwritablePathFails)
{
    SmallCrossroad map;
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString path = dir.filePath(QStringLiteral("network.geojson"));
    Diagnostics diagnostics;
    ASSERT_TRUE(exportNetworkGeoJson(path, &map.osm, &map.sim, &map.bindings, diagnostics));

    if (std::getenv("KOLVEX_UPDATE_GOLDEN")) {
        QFile::remove(GOLDEN);
        ASSERT_TRUE(QFile::copy(path, GOLDEN)) << "cannot write " << GOLDEN.toStdString();
        std::cout << "golden file rewritten: " << GOLDEN.toStdString() << std::endl;
    }
    const QJsonValue expected = readJson(GOLDEN);
    ASSERT_TRUE(expected.isObject()) << "cannot read " << GOLDEN.toStdString();
    // Coordinates are written with 7 decimals; allow a unit or two of the last one.
    const std::string d = difference(readJson(path), expected, "$", 2e-7);
    EXPECT_TRUE(d.empty()) << d << " (set KOLVEX_UPDATE_GOLDEN=1 to regenerate after an intended change)";
    EXPECT_FALSE(exportNetworkGeoJson(dir.filePath(QStringLiteral("missing/x.geojson")), &map.osm, &map.sim,
                                      &map.bindings, diagnostics));
    ASSERT_EQ(diagnostics.all().size(), 1u);
    EXPECT_EQ(diagnostics.all().front().severity, Severity::Error);
    EXPECT_NE(diagnostics.all().front().text.find("missing/x.geojson"), std::string::npos);
}
