#include "osmparser.h"

#include "decompressingdevice.h"
#include "mapassembly.h"
#include "markupbounddevice.h"
#include "osmdata.h"
#include "osmelementrecords.h"
#include "osmfileformat.h"
#include "pbfreader.h"
#include "readerrules.h"
#include "xmlmapreader.h"

#include <QFile>

#include <new>

namespace {

using readerrules::say;

/// Names the file memory ran out on; always false.
bool outOfMemory(const QString &path, QString *problem, Diagnostics &log)
{
    say(log, Severity::Error, "Reading failed! " + path.toStdString() + ": " + readerrules::OUT_OF_MEMORY);
    if (problem)
        *problem = QStringLiteral("cannot read \"%1\": %2").arg(path, QLatin1String(readerrules::OUT_OF_MEMORY));
    return false;
}

void writeCounts(const OSMData *data, Diagnostics &log)
{
    say(log, Severity::Progress, "    Way count: " + std::to_string(data->ways()->size()));
    say(log, Severity::Progress, "    Node count: " + std::to_string(data->nodes()->size()));
    say(log, Severity::Progress, "    Bus stop count: " + std::to_string(data->busStops()->size()));
    say(log, Severity::Progress, "    Tram stop count: " + std::to_string(data->tramStops()->size()));
    say(log, Severity::Progress, "    Route count: " + std::to_string(data->routeRelations()->size()));
}

/// The caller's diagnostics, or ones printed to standard error when the caller passes none.
class LogOrPrint
{
public:
    explicit LogOrPrint(Diagnostics *given) : log(given ? *given : own)
    {
        if (!given)
            own.setListener(Diagnostics::printToStandardError());
    }
    Diagnostics &operator*() { return log; }

private:
    Diagnostics own{0};
    Diagnostics &log;
};

} // namespace

const char *const OSMParser::FILE_FILTER =
    "OpenStreetMap extracts (*.osm *.osm.pbf *.pbf *.osm.gz *.osm.bz2);;All files (*)";

bool OSMParser::parseFile(const QString &path, OSMData *data, QString *problem, const XmlReadLimits &limits,
                          Diagnostics *diagnostics)
{
    LogOrPrint log(diagnostics);
    // Memory running out is an answer about this file, never the end of the program.
    try {
        return readFile(path, data, problem, limits, *log);
    } catch (const std::bad_alloc &) {
        return outOfMemory(path, problem, *log);
    }
}

bool OSMParser::readFile(const QString &path, OSMData *data, QString *problem, const XmlReadLimits &limits,
                         Diagnostics &log)
{
    say(log, Severity::Progress, "Opening file \"" + path.toStdString() + "\"...");
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        say(log, Severity::Error, "Opening failed! Filepath: " + path.toStdString());
        if (problem)
            *problem = QStringLiteral("cannot open \"%1\": %2").arg(path, file.errorString());
        return false;
    }
    say(log, Severity::Progress, "Opening Done");
    say(log, Severity::Progress, "Parsing...");

    // The content decides the format (text mode would drop the carriage returns of binary data); the name
    // only decides whether unrecognised content is an error.
    const OSMFileFormat format = osmFileFormatOf(file);
    MapAssembly map(data, log);
    const bool namedPbf = path.endsWith(QLatin1String(".pbf"), Qt::CaseInsensitive);
    bool complete = true;
    if (format == OSMFileFormat::Pbf) {
        file.close();
        complete = PbfReader::read(path, map, problem, limits.maxDocumentBytes);
    } else if (namedPbf && (format == OSMFileFormat::Empty || format == OSMFileFormat::Unknown)) {
        const char *const what = format == OSMFileFormat::Empty ? "the file is empty" : "no PBF header at its start";
        say(log, Severity::Error, std::string("Not an OSM PBF file (") + what + "): " + path.toStdString());
        if (problem)
            *problem = QStringLiteral("\"%1\" is not an OSM PBF file: %2").arg(path, QLatin1String(what));
        return false;
    } else if (format == OSMFileFormat::Gzip || format == OSMFileFormat::Bzip2) {
        file.close();
        DecompressingDevice device(path, format);
        complete = readXmlGuarded(&device, path, map, problem, limits);
        if (!device.failure().isEmpty()) {
            say(log, Severity::Error, "Reading failed! " + path.toStdString() + ": " + device.failure().toStdString());
            if (problem)
                *problem = QStringLiteral("cannot read \"%1\": %2").arg(path, device.failure());
            complete = false;
        }
    } else {
        if (namedPbf)
            say(log, Severity::Warning, "\"" + path.toStdString() + "\" holds XML, not PBF: reading it as XML");
        file.setTextModeEnabled(true);
        complete = readXmlGuarded(&file, path, map, problem, limits);
        file.close();
    }

    const size_t unused = map.finish();
    say(log, Severity::Progress, "    Nodes shaked: " + std::to_string(unused));
    say(log, Severity::Progress, "File parse done!");
    writeCounts(data, log);
    return complete;
}

bool OSMParser::readXmlGuarded(QIODevice *device, const QString &path, MapAssembly &map, QString *problem,
                               const XmlReadLimits &limits)
{
    try {
        return readXml(device, path, map, problem, limits);
    } catch (const std::bad_alloc &) {
        return outOfMemory(path, problem, map.diagnostics());
    }
}

bool OSMParser::parseXml(QIODevice *device, const QString &path, OSMData *data, QString *problem,
                         const XmlReadLimits &limits, Diagnostics *diagnostics)
{
    LogOrPrint log(diagnostics);
    try {
        MapAssembly map(data, *log);
        const bool complete = readXml(device, path, map, problem, limits);
        map.finish();
        return complete;
    } catch (const std::bad_alloc &) {
        return outOfMemory(path, problem, *log);
    }
}

bool OSMParser::readXml(QIODevice *device, const QString &path, MapAssembly &map, QString *problem,
                        const XmlReadLimits &limits)
{
    MarkupBoundDevice bounded(device, limits.maxMarkupBytes, limits.maxDocumentBytes);
    XmlMapReader elements(&bounded, map, limits);
    if (!elements.read(path, problem))
        return false;
    const ExpatReader &reader = elements.xml();
    if (bounded.overCap() || bounded.overDocumentCap()) {
        const QString what =
            bounded.overCap()
                ? QStringLiteral("at line %1 a tag with its attributes runs past %2 bytes, the most one may take (a "
                                 "value too long, or not an OSM map)")
                      .arg(reader.lineNumber())
                      .arg(limits.maxMarkupBytes)
                : QStringLiteral("the map runs past %1 bytes of XML at line %2, the most the network budget allows "
                                 "to read")
                      .arg(limits.maxDocumentBytes)
                      .arg(reader.lineNumber());
        say(map.diagnostics(), Severity::Error, "Reading failed! " + path.toStdString() + ": " + what.toStdString(),
            reader.lineNumber());
        if (problem)
            *problem = QStringLiteral("cannot read \"%1\": %2").arg(path, what);
        return false;
    }
    if (!reader.hasError())
        return true;
    say(map.diagnostics(), Severity::Error, reader.errorString().toStdString(), reader.lineNumber(),
        reader.columnNumber() + 1);
    if (problem)
        *problem = QStringLiteral("XML error in \"%1\" at line %2, column %3: %4")
                       .arg(path)
                       .arg(reader.lineNumber())
                       .arg(reader.columnNumber() + 1) // counted from 0 like the characters before it
                       .arg(reader.errorString());
    return false;
}
