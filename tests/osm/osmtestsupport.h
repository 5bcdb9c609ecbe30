#ifndef KOLVEX_TESTS_OSM_OSMTESTSUPPORT_H
#define KOLVEX_TESTS_OSM_OSMTESTSUPPORT_H

#include "osm/osmdata.h"
#include "osm/osmparser.h"
#include "report/diagnostics.h"
#include "tests/stderrcapture.h"

#include <gtest/gtest.h>

#include <QFile>

#include <algorithm>
#include <string>
#include <tuple>
#include <vector>

namespace osmtest {

inline QString fixture(const char *name)
{
    return QStringLiteral(KOLVEX_TEST_DATA_DIR "/osm/") + QLatin1String(name);
}

inline QString bundled(const char *name)
{
    return QStringLiteral(KOLVEX_SOURCE_DIR "/data/") + QLatin1String(name);
}

inline QByteArray readAll(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

inline bool writeAll(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly | QIODevice::Truncate) && file.write(bytes) == bytes.size();
}

/// The lines the console prints for `diagnostics`, each ended by a newline.
inline std::string printed(const Diagnostics &diagnostics)
{
    std::string lines;
    for (const Diagnostic &diagnostic : diagnostics.all())
        lines += diagnostic.printed() + "\n";
    return lines;
}

/// Reads `path` into `data` and returns the lines of what the reader said.
inline std::string parseCapturing(const QString &path, OSMData *data, bool *complete = nullptr,
                                  const XmlReadLimits &limits = XmlReadLimits())
{
    Diagnostics diagnostics(1000000);
    const bool whole = OSMParser::parseFile(path, data, nullptr, limits, &diagnostics);
    if (complete)
        *complete = whole;
    return printed(diagnostics);
}

inline std::vector<int64_t> nodeIds(const Way *way)
{
    std::vector<int64_t> ids;
    for (const Node *node : way->nodes())
        ids.push_back(node->getId());
    return ids;
}

/// A way's flags, class and lanes in short, such as "highway oneway residential 1/0".
inline std::string describe(const Way *way)
{
    return std::string(way->isHighway() ? "highway " : "") + (way->isTram() ? "tram " : "") +
           (way->isOneway() ? "oneway " : "") + (way->isLink() ? "link " : "") +
           roadClassToString(way->getRoadClass(), false) + " " + std::to_string(way->getLanesForward()) + "/" +
           std::to_string(way->getLanesBackward());
}

/// The (node id, name) pairs of the stops in order.
inline std::vector<std::pair<int64_t, std::string>> stopsOf(const OSMStops *stops)
{
    std::vector<std::pair<int64_t, std::string>> result;
    for (const OSMStop *stop : stops->stops())
        result.emplace_back(stop->getNode()->getId(), stop->getName());
    return result;
}

inline auto relationContent(const OSMRouteRelation *r)
{
    return std::tie(r->id, r->name, r->ref, r->route, r->ways, r->forwardWays, r->backwardWays, r->stopNodes);
}

/// Every element of `part` is also in `whole` with the same content: a cut-off document may lose
/// elements but must never store a changed one.
inline void expectContainedIn(const OSMData &part, const OSMData &whole, const std::string &context)
{
    SCOPED_TRACE(context);
    for (const Node *node : part.nodes()->nodes()) {
        const Node *full = whole.nodes()->findById(node->getId());
        ASSERT_NE(full, nullptr) << "node " << node->getId();
        EXPECT_EQ(std::make_pair(node->getLocation(), node->isTrafficSignals()),
                  std::make_pair(full->getLocation(), full->isTrafficSignals()));
    }
    for (const Way *way : part.ways()->ways()) {
        const Way *full = whole.ways()->findById(way->getId());
        ASSERT_NE(full, nullptr) << "way " << way->getId();
        EXPECT_EQ(describe(way) + ":" + ::testing::PrintToString(nodeIds(way)),
                  describe(full) + ":" + ::testing::PrintToString(nodeIds(full)));
    }
    for (const OSMRouteRelation *relation : part.routeRelations()->relations()) {
        const OSMRouteRelation *full = whole.routeRelations()->findById(relation->id);
        ASSERT_NE(full, nullptr) << "relation " << relation->id;
        EXPECT_EQ(relationContent(relation), relationContent(full));
    }
    for (bool bus : {true, false}) {
        const auto fullStops = stopsOf(bus ? whole.busStops() : whole.tramStops());
        for (const auto &stop : stopsOf(bus ? part.busStops() : part.tramStops()))
            EXPECT_NE(std::find(fullStops.begin(), fullStops.end(), stop), fullStops.end()) << stop.second;
    }
}

/// Both hold the same elements with the same content.
inline void expectSameData(const OSMData &a, const OSMData &b)
{
    EXPECT_EQ(std::make_tuple(a.nodes()->size(), a.ways()->size(), a.routeRelations()->size()),
              std::make_tuple(b.nodes()->size(), b.ways()->size(), b.routeRelations()->size()));
    EXPECT_EQ(stopsOf(a.busStops()), stopsOf(b.busStops()));
    EXPECT_EQ(stopsOf(a.tramStops()), stopsOf(b.tramStops()));
    expectContainedIn(a, b, "same data");
}

} // namespace osmtest

#endif
