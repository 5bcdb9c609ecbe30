#include "osmwriter.h"

#include "osmdata.h"

#include "report/diagnostics.h"

#include <QFile>
#include <QXmlStreamWriter>

#include <unordered_set>

const char *const OSMWriter::DEFAULT_DIRECTORY = "./dataOSM/comp/";
const char *const OSMWriter::DEFAULT_FILE_NAME = "compressed.osm";

namespace {

const char *const COMPONENT = "OSMParser"; // the writer has always spoken as the parser

void writeTag(QXmlStreamWriter &writer, const QString &key, const QString &value)
{
    writer.writeEmptyElement(QStringLiteral("tag"));
    writer.writeAttribute(QStringLiteral("k"), key);
    writer.writeAttribute(QStringLiteral("v"), value);
}

void writeNodeStart(QXmlStreamWriter &writer, const Node *node)
{
    writer.writeStartElement(QStringLiteral("node"));
    writer.writeAttribute(QStringLiteral("id"), QString::number(static_cast<qlonglong>(node->getId())));
    writer.writeAttribute(QStringLiteral("lat"), QString::number(node->getLocation().lat, 'f', 7));
    writer.writeAttribute(QStringLiteral("lon"), QString::number(node->getLocation().lon, 'f', 7));
}

/// Writes one node element per stop. A stop node that also carries traffic signals keeps the signal
/// tag, otherwise the flag would be lost, since such a node is not written again as a regular node.
void writeStopNodes(QXmlStreamWriter &writer, const OSMStops *stops, const QString &key, const QString &value,
                    std::unordered_set<const Node *> &written)
{
    for (const OSMStop *stop : stops->stops()) {
        const Node *node = stop->getNode();
        writeNodeStart(writer, node);
        writeTag(writer, QStringLiteral("name"), QString::fromStdString(stop->nameRef()));
        writeTag(writer, key, value);
        if (node->isTrafficSignals())
            writeTag(writer, QStringLiteral("highway"), QStringLiteral("traffic_signals"));
        writer.writeEndElement();
        written.insert(node);
    }
}

void writeWay(QXmlStreamWriter &writer, const Way *way)
{
    writer.writeStartElement(QStringLiteral("way"));
    writer.writeAttribute(QStringLiteral("id"), QString::number(static_cast<qlonglong>(way->getId())));
    for (const Node *node : way->nodes()) {
        writer.writeEmptyElement(QStringLiteral("nd"));
        writer.writeAttribute(QStringLiteral("ref"), QString::number(static_cast<qlonglong>(node->getId())));
    }
    const int32_t forward = way->getLanesForward();
    const int32_t backward = way->getLanesBackward();
    bool directedLanesWritten = false;
    if (way->isHighway())
        writeTag(writer, QStringLiteral("highway"),
                 QString::fromStdString(roadClassToString(way->getRoadClass(), way->isLink())));
    if (way->isTram())
        writeTag(writer, QStringLiteral("railway"), QStringLiteral("tram"));
    if (way->isOneway()) {
        writeTag(writer, QStringLiteral("oneway"), QStringLiteral("yes"));
        if (forward != 1)
            writeTag(writer, QStringLiteral("lanes"), QString::number(forward));
    } else {
        if (forward > 1 || backward > 1)
            writeTag(writer, QStringLiteral("lanes"), QString::number(forward + backward));
        if (forward != backward) {
            writeTag(writer, QStringLiteral("lanes:forward"), QString::number(forward));
            writeTag(writer, QStringLiteral("lanes:backward"), QString::number(backward));
            directedLanesWritten = true;
        }
    }
    // The reader takes lane counts of a tram-only way from lanes:forward and lanes:backward alone (it
    // ignores "lanes"), so those counts are always written for it, or reading back would lose them.
    if (!way->isHighway() && !directedLanesWritten && (forward != 0 || backward != 0)) {
        writeTag(writer, QStringLiteral("lanes:forward"), QString::number(forward));
        writeTag(writer, QStringLiteral("lanes:backward"), QString::number(backward));
    }
    writer.writeEndElement();
}

void writeMembers(QXmlStreamWriter &writer, const std::vector<int64_t> &ids, const QString &type, const QString &role)
{
    for (int64_t id : ids) {
        writer.writeEmptyElement(QStringLiteral("member"));
        writer.writeAttribute(QStringLiteral("type"), type);
        writer.writeAttribute(QStringLiteral("ref"), QString::number(static_cast<qlonglong>(id)));
        writer.writeAttribute(QStringLiteral("role"), role);
    }
}

void writeRelation(QXmlStreamWriter &writer, const OSMRouteRelation *relation)
{
    writer.writeStartElement(QStringLiteral("relation"));
    writer.writeAttribute(QStringLiteral("id"), QString::number(static_cast<qlonglong>(relation->id)));
    const QString way = QStringLiteral("way");
    writeMembers(writer, relation->ways, way, QString());
    writeMembers(writer, relation->forwardWays, way, QStringLiteral("forward"));
    writeMembers(writer, relation->backwardWays, way, QStringLiteral("backward"));
    writeMembers(writer, relation->stopNodes, QStringLiteral("node"), QStringLiteral("stop"));
    writeTag(writer, QStringLiteral("name"), QString::fromStdString(relation->name));
    writeTag(writer, QStringLiteral("ref"), QString::fromStdString(relation->ref));
    writeTag(writer, QStringLiteral("route"), QString::fromStdString(relation->route));
    writeTag(writer, QStringLiteral("type"), QStringLiteral("route"));
    writer.writeEndElement();
}

} // namespace

bool OSMWriter::createOsm(OSMData *data, Diagnostics &diagnostics)
{
    return createOsm(data,
                     QStringLiteral("%1%2").arg(QLatin1String(DEFAULT_DIRECTORY), QLatin1String(DEFAULT_FILE_NAME)),
                     diagnostics);
}

bool OSMWriter::createOsm(OSMData *data, const QString &path, Diagnostics &diagnostics)
{
    const auto progress = [&diagnostics](const std::string &text) {
        diagnostics.add(Severity::Progress, COMPONENT, text);
    };
    const std::string pathText = path.toStdString();
    progress("Creating OSM file from osmData... (Filepath: " + pathText + ")");
    QFile file(path);
    if (!file.open(QIODevice::ReadWrite)) {
        diagnostics.add(Severity::Error, COMPONENT,
                        "ERROR: could not open \"" + pathText + "\" for writting! Canceling createOsm()");
        return false;
    }
    file.resize(0);

    QXmlStreamWriter writer(&file);
    writer.setAutoFormatting(true);
    writer.setAutoFormattingIndent(1);
    writer.writeStartDocument();
    writer.writeStartElement(QStringLiteral("osm"));

    std::unordered_set<const Node *> stopNodes;
    progress("    writting bus stop nodes... " + std::to_string(data->busStops()->size()));
    writeStopNodes(writer, data->busStops(), QStringLiteral("highway"), QStringLiteral("bus_stop"), stopNodes);
    progress("    writting tram stop nodes... " + std::to_string(data->tramStops()->size()));
    writeStopNodes(writer, data->tramStops(), QStringLiteral("railway"), QStringLiteral("tram_stop"), stopNodes);

    progress("    writting regular nodes..." + std::to_string(data->nodes()->size()));
    for (const Node *node : data->nodes()->nodes()) {
        if (!node->isUsed() || stopNodes.count(node))
            continue;
        writeNodeStart(writer, node);
        if (node->isTrafficSignals())
            writeTag(writer, QStringLiteral("highway"), QStringLiteral("traffic_signals"));
        writer.writeEndElement();
    }

    progress("    writting ways... " + std::to_string(data->ways()->size()));
    for (const Way *way : data->ways()->ways()) {
        if (way->nodes().empty()) {
            Diagnostic empty;
            empty.component = COMPONENT;
            empty.elementId = way->getId();
            empty.text = "oops something is NULL | continue;";
            diagnostics.add(std::move(empty));
            continue;
        }
        writeWay(writer, way);
    }

    progress("    writting routes... " + std::to_string(data->routeRelations()->size()));
    for (const OSMRouteRelation *relation : data->routeRelations()->relations())
        writeRelation(writer, relation);

    writer.writeEndElement();
    writer.writeEndDocument();
    file.close();
    const bool written = !writer.hasError() && file.error() == QFileDevice::NoError;
    if (!written)
        diagnostics.add(Severity::Error, COMPONENT,
                        "ERROR: writing \"" + pathText + "\" failed: " + file.errorString().toStdString());
    progress("Creating OMS file done!");
    return written;
}
