#ifndef KOLVEX_TESTS_OSM_OSMTESTSUPPORT_H
#define KOLVEX_TESTS_OSM_OSMTESTSUPPORT_H

#include "osm/osmdata.h"
#include "osm/osmparser.h"

#include <gtest/gtest.h>

#include <QByteArray>
#include <QFile>
#include <QString>

#include "tests/stderrcapture.h"
#include <algorithm>
#include <iostream>
#include <map>
#include <set>
#include <sstream>

#include <string>
#include <tuple>
#include <vector>

namespace osmtest {

using ::StderrCapture;

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

/// Reads `path` into `data` and returns the reader's standard error lines.
inline std::vector<std::string> parseCapturing(const QString &path, OSMData *data)
{
    StderrCapture capture;
    OSMParser::parseFile(path, data);
    return capture.lines();
}

/// The numbers of the reader's closing count lines ("OSMParser:     Way count: 3" gives "Way" -> 3).
inline std::map<std::string, long long> countLines(const std::vector<std::string> &lines)
{
    const std::string prefix = "OSMParser:     ";
    std::map<std::string, long long> counts;
    for (const std::string &line : lines) {
        const size_t at = line.find(" count: ");
        if (line.rfind(prefix, 0) == 0 && at != std::string::npos)
            counts[line.substr(prefix.size(), at - prefix.size())] = std::stoll(line.substr(at + 8));
    }
    return counts;
}

inline std::map<std::string, long long> counts(long long ways, long long nodes, long long bus, long long tram,
                                               long long routes)
{
    return {{"Way", ways}, {"Node", nodes}, {"Bus stop", bus}, {"Tram stop", tram}, {"Route", routes}};
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
    std::string text;
    for (const auto &flag : {std::make_pair(way->isHighway(), "highway "), std::make_pair(way->isTram(), "tram "),
                             std::make_pair(way->isOneway(), "oneway "), std::make_pair(way->isLink(), "link ")})
        text += flag.first ? flag.second : "";
    return text + roadClassToString(way->getRoadClass(), false) + " " + std::to_string(way->getLanesForward()) + "/" +
           std::to_string(way->getLanesBackward());
}

/// Everything the reader keeps of a way, in one comparable value.
inline std::pair<std::vector<int64_t>, std::string> wayContent(const Way *way)
{
    return {nodeIds(way), describe(way)};
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
        EXPECT_EQ(node->getLocation(), full->getLocation()) << "node " << node->getId();
        EXPECT_EQ(node->isTrafficSignals(), full->isTrafficSignals()) << "node " << node->getId();
    }
    for (const Way *way : part.ways()->ways()) {
        const Way *full = whole.ways()->findById(way->getId());
        ASSERT_NE(full, nullptr) << "way " << way->getId();
        EXPECT_EQ(wayContent(way), wayContent(full));
    }
    for (const OSMRouteRelation *relation : part.routeRelations()->relations()) {
        const OSMRouteRelation *full = whole.routeRelations()->findById(relation->id);
        ASSERT_NE(full, nullptr) << "relation " << relation->id;
        EXPECT_EQ(relationContent(relation), relationContent(full));
    }
    for (const OSMStops *stops : {part.busStops(), part.tramStops()}) {
        const auto fullStops = stopsOf(stops == part.busStops() ? whole.busStops() : whole.tramStops());
        for (const auto &stop : stopsOf(stops))
            EXPECT_NE(std::find(fullStops.begin(), fullStops.end(), stop), fullStops.end())
                << "stop \"" << stop.second << "\" on node " << stop.first;
    }
}

/// `back` is what reading a written copy of `original` gave: exactly the ways of at least two nodes (a
/// shorter one cannot be written as a way that reads back), the nodes of those ways and of the stops, the
/// stops and the relations, each with the same content.
inline void expectReadBackEqual(const OSMData &original, const OSMData &back)
{
    expectContainedIn(back, original, "read back");
    size_t ways = 0;
    std::set<int64_t> nodes;
    for (const Way *way : original.ways()->ways()) {
        if (way->nodes().size() < 2)
            continue;
        ++ways;
        for (const Node *node : way->nodes())
            nodes.insert(node->getId());
    }
    for (const OSMStops *stops : {original.busStops(), original.tramStops()})
        for (const OSMStop *stop : stops->stops())
            nodes.insert(stop->getNode()->getId());
    std::set<int64_t> readNodes;
    for (const Node *node : back.nodes()->nodes())
        readNodes.insert(node->getId());
    EXPECT_EQ(readNodes, nodes);
    EXPECT_EQ(std::make_pair(back.ways()->size(), back.routeRelations()->size()),
              std::make_pair(ways, original.routeRelations()->size()));
    EXPECT_EQ(stopsOf(back.busStops()), stopsOf(original.busStops()));
    EXPECT_EQ(stopsOf(back.tramStops()), stopsOf(original.tramStops()));
}

} // namespace osmtest

#endif
