#include "geojsonexport.h"

#include "lanegeometry.h"
#include "model/bindingdata.h"
#include "model/cell.h"
#include "model/crossroad.h"
#include "model/generator.h"
#include "model/semaphore.h"
#include "model/simulationdata.h"
#include "osm/node.h"
#include "osm/osmstop.h"
#include "osm/way.h"
#include "report/diagnostics.h"

#include <QFile>

#include <cmath>
#include <cstdio>
#include <cstring>
#include <string>

namespace {

/// Streams features into a file through a buffer, so that a large network never sits in memory
/// as one document.
class FeatureWriter
{
public:
    explicit FeatureWriter(QFile &file) : file(file) { buffer.reserve(FLUSH_SIZE + 4096); }

    void begin() { buffer += "{\"type\":\"FeatureCollection\",\"features\":["; }
    bool end()
    {
        buffer += "\n]}\n";
        return flush();
    }

    /// Starts a feature: its geometry type, then the coordinates follow through point() (exactly
    /// one for a "Point").
    void beginFeature(const char *geometry)
    {
        buffer += features++ ? ",\n" : "\n";
        buffer += "{\"type\":\"Feature\",\"geometry\":{\"type\":\"";
        buffer += geometry;
        buffer += "\",\"coordinates\":";
        single = std::strcmp(geometry, "Point") == 0;
        if (!single)
            buffer += '[';
        points = 0;
    }
    /// One position, longitude first; non-finite positions are left out.
    void point(const Location &l)
    {
        if (!std::isfinite(l.lat) || !std::isfinite(l.lon))
            return;
        char text[64];
        std::snprintf(text, sizeof text, "%s[%.7f,%.7f]", points++ ? "," : "", l.lon, l.lat);
        buffer += text;
    }
    size_t pointCount() const { return points; }
    void beginProperties() { buffer += single ? "},\"properties\":{" : "]},\"properties\":{"; }
    /// A string property; map texts such as stop names are escaped.
    void property(const char *key, const std::string &value, bool first = false)
    {
        writeKey(key, first);
        buffer += '"';
        for (const char ch : value) {
            const unsigned char c = static_cast<unsigned char>(ch);
            if (c == '"' || c == '\\') {
                buffer += '\\';
                buffer += ch;
            } else if (c < 0x20) {
                char escaped[8];
                std::snprintf(escaped, sizeof escaped, "\\u%04x", unsigned(c));
                buffer += escaped;
            } else {
                buffer += ch;
            }
        }
        buffer += '"';
    }
    void property(const char *key, const char *value, bool first = false) { property(key, std::string(value), first); }
    void flag(const char *key, bool value, bool first = false)
    {
        writeKey(key, first);
        buffer += value ? "true" : "false";
    }
    void property(const char *key, long long value, bool first = false)
    {
        writeKey(key, first);
        buffer += std::to_string(value);
    }
    bool endFeature()
    {
        buffer += "}}";
        return buffer.size() < FLUSH_SIZE || flush();
    }

private:
    static constexpr size_t FLUSH_SIZE = 1 << 20;

    void writeKey(const char *key, bool first)
    {
        if (!first)
            buffer += ',';
        buffer += '"';
        buffer += key;
        buffer += "\":";
    }
    bool flush()
    {
        const bool ok = file.write(buffer.data(), qint64(buffer.size())) == qint64(buffer.size());
        buffer.clear();
        return ok;
    }

    QFile &file;
    std::string buffer;
    size_t features = 0;
    size_t points = 0;
    bool single = false; ///< the current geometry is a Point: one position, no list
};

/// The path of a polyline of point pairs, with the shared point of joined segments written once.
/// A line of one repeated point is written twice: a LineString needs two positions.
void writeLine(FeatureWriter &out, const Polyline &line)
{
    const Location *last = nullptr;
    for (const Location &l : line) {
        if (last && *last == l)
            continue;
        out.point(l);
        last = &l;
    }
    if (out.pointCount() == 1)
        out.point(*last);
}

struct LaneLabel
{
    int64_t wayId;
    long long piece;
    const char *direction;
    long long index; ///< lane index in its direction, −1 for a tram track
};

void commonProperties(FeatureWriter &out, const char *kind, const LaneLabel &label)
{
    out.beginProperties();
    out.property("kind", kind, true);
    out.property("way_id", label.wayId);
    out.property("piece", label.piece);
    if (label.direction)
        out.property("direction", label.direction);
}

bool writeLane(FeatureWriter &out, const LaneBinding *lane, const LaneLabel &label, size_t cellLimit)
{
    const size_t cells = lanegeometry::countCells(lane->firstCell, lane->lastCell, cellLimit);
    const char *kind = lane->isTram ? "tram_track" : "lane";
    if (lane->polyline.size() >= 2) {
        out.beginFeature("LineString");
        writeLine(out, lane->polyline);
        commonProperties(out, kind, label);
        if (!lane->isTram)
            out.property("lane_index", label.index);
        out.property("cell_count", (long long)cells);
        if (!out.endFeature())
            return false;
    }
    if (cells == 0)
        return true;
    out.beginFeature("MultiPoint");
    size_t written = 0;
    for (const Cell *cell = lane->firstCell; cell && written < cells; cell = cell->next(), ++written)
        out.point(cell->location());
    commonProperties(out, "lane_cells", label);
    out.property("lane_kind", kind);
    if (!lane->isTram)
        out.property("lane_index", label.index);
    out.property("cell_count", (long long)cells);
    return out.endFeature();
}

bool writeEdge(FeatureWriter &out, const char *kind, const Polyline &line, const LaneLabel &label)
{
    if (line.size() < 2)
        return true;
    out.beginFeature("LineString");
    writeLine(out, line);
    commonProperties(out, kind, label);
    return out.endFeature();
}

bool writeWay(FeatureWriter &out, const WayBinding *way, long long piece, size_t cellLimit)
{
    const int64_t id = way->way ? way->way->getId() : -1;
    if (!writeEdge(out, "centre_line", way->centreLine, {id, piece, nullptr, -1}) ||
        !writeEdge(out, "edge", way->rightEdge, {id, piece, "forward", -1}) ||
        !writeEdge(out, "edge", way->leftEdge, {id, piece, "backward", -1}))
        return false;
    const DirectionBinding *directions[] = {&way->forward, &way->backward};
    for (const DirectionBinding *direction : directions) {
        const char *name = direction == &way->forward ? "forward" : "backward";
        for (size_t i = 0; i < direction->lanes.size(); ++i) {
            if (!writeLane(out, direction->lanes[i], {id, piece, name, (long long)i}, cellLimit))
                return false;
        }
        if (direction->tramLane && !writeLane(out, direction->tramLane, {id, piece, name, -1}, cellLimit))
            return false;
    }
    return true;
}

bool isFinite(const Location &l)
{
    return std::isfinite(l.lat) && std::isfinite(l.lon);
}

/// The cells from `first` along `next` up to and including `last` as the positions of a line;
/// a single cell is written twice. Returns the number of cells.
size_t writeCells(FeatureWriter &out, const Cell *first, const Cell *last, size_t cellLimit)
{
    size_t cells = 0;
    for (const Cell *c = first; c && cells < cellLimit; c = c->next()) {
        out.point(c->location());
        ++cells;
        if (c == last)
            break;
    }
    if (out.pointCount() == 1)
        out.point(first->location());
    return cells;
}

bool writeCrossroads(FeatureWriter &out, const SimulationData &data, size_t cellLimit)
{
    for (const Crossroad *crossroad : data.crossroads) {
        const NodeBinding *node = crossroad->junction;
        if (!node)
            continue;
        const long long nodeId = node->node ? (long long)node->node->getId() : -1;
        for (const auto &entry : node->crossroadPaths) {
            for (const CrossroadPath &path : entry.second) {
                if (path.polyline.size() < 2)
                    continue;
                const size_t cells = lanegeometry::countCells(path.firstCell, path.lastCell, cellLimit);
                out.beginFeature("LineString");
                writeLine(out, path.polyline);
                out.beginProperties();
                out.property("kind", "crossroad_path", true);
                out.property("node_id", nodeId);
                out.property("crossroad_kind", (long long)crossroad->kind);
                out.flag("has_semaphore", crossroad->hasSemaphore());
                out.flag("is_tram", path.isTram != 0);
                out.property("cell_count", (long long)cells);
                if (!out.endFeature())
                    return false;
            }
        }
        if (const Semaphore *semaphore = crossroad->semaphore) {
            if (!node->node || !isFinite(node->node->getLocation()))
                continue;
            out.beginFeature("Point");
            out.point(node->node->getLocation());
            out.beginProperties();
            out.property("kind", "semaphore", true);
            out.property("node_id", nodeId);
            out.property("group_count", (long long)semaphore->groups().size());
            if (!out.endFeature())
                return false;
        }
    }
    return true;
}

/// Every platform and bay of the placed stops: the run of stop cells ending at each recorded cell.
bool writeStops(FeatureWriter &out, const BindingData &bindings, size_t cellLimit)
{
    for (const StopBinding *binding : bindings.stopBindings()) {
        const OSMStop *stop = binding->stop;
        for (const Cell *last : binding->cells) {
            if (!last || !stop)
                continue;
            // Bay cells lie beside the lane and belong to no lane; platform cells are track cells.
            const bool bay = !last->wayLink();
            const Cell *first = last;
            for (size_t walked = 0; first->previous() && first->previous()->stop() == stop && walked < cellLimit;
                 ++walked)
                first = first->previous();
            out.beginFeature("LineString");
            const size_t cells = writeCells(out, first, last, cellLimit);
            out.beginProperties();
            out.property("kind", bay ? "bus_bay" : "stop_platform", true);
            out.property("stop_name", stop->nameRef());
            out.property("stop_kind", stop->getKind() == TramStop ? "tram" : "bus");
            out.property("cell_count", (long long)cells);
            if (!out.endFeature())
                return false;
        }
    }
    return true;
}

bool writeGenerators(FeatureWriter &out, const SimulationData &data)
{
    for (const Generator *generator : data.generators) {
        if (!generator->cell || !isFinite(generator->cell->location()))
            continue;
        out.beginFeature("Point");
        out.point(generator->cell->location());
        out.beginProperties();
        out.property("kind", "generator", true);
        out.property("period", (long long)generator->period);
        if (!out.endFeature())
            return false;
    }
    return true;
}

} // namespace

bool exportNetworkGeoJson(const QString &path, const OSMData *, const SimulationData *simulationData,
                          const BindingData *bindingData, Diagnostics &diagnostics)
{
    const char *const component = "GeoJSON export";
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate)) {
        diagnostics.add(Severity::Error, component,
                        "cannot write \"" + path.toStdString() + "\": " + file.errorString().toStdString());
        return false;
    }
    // No lane has more cells than the network; the bound stops a walk that a bad link would loop.
    const size_t cellLimit = simulationData ? simulationData->cellCount() : 0;
    FeatureWriter out(file);
    out.begin();
    bool ok = true;
    if (bindingData) {
        long long piece = 0;
        for (const WayBinding *way : bindingData->wayBindings()) {
            if (!writeWay(out, way, piece++, cellLimit)) {
                ok = false;
                break;
            }
        }
    }
    ok = ok && (!simulationData || writeCrossroads(out, *simulationData, cellLimit));
    ok = ok && (!bindingData || writeStops(out, *bindingData, cellLimit));
    ok = ok && (!simulationData || writeGenerators(out, *simulationData));
    ok = ok && out.end();
    if (!ok) {
        diagnostics.add(Severity::Error, component,
                        "writing \"" + path.toStdString() + "\" failed: " + file.errorString().toStdString());
        return false;
    }
    return true;
}
