#ifndef KOLVEX_OSM_OSMPARSER_H
#define KOLVEX_OSM_OSMPARSER_H

#include "xmlreadlimits.h"

#include <QString>

class Diagnostics;
class MapAssembly;
class OSMData;
class QIODevice;

/// Streaming reader of OpenStreetMap extracts; keeps roads, tram tracks, stops and routes.
/// Progress, warnings and errors are recorded in the diagnostics the caller passes (component
/// "OSMParser"); without them they go to standard error, each line prefixed "OSMParser: ".
class OSMParser
{
public:
    /// The map files parseFile takes, as a file dialog filter.
    static const char *const FILE_FILTER;

    /// Reads one OSM XML, PBF, gzip- or bzip2-compressed XML file (told apart by content) into `data`;
    /// what was read before an error stays. False when the file could not be opened or read whole, or
    /// memory ran out while reading it; `problem` then names the file and what is wrong (with the line
    /// and column of an XML error). XML is read within `limits`.
    static bool parseFile(const QString &path, OSMData *data, QString *problem = nullptr,
                          const XmlReadLimits &limits = XmlReadLimits(), Diagnostics *diagnostics = nullptr);

    /// Reads an XML document element by element within `limits`, keeping the nodes that kept ways and
    /// stops use; false after an XML error, a piece of markup over the cap, when memory ran out or when the
    /// root element is not <osm>, which `problem` then describes, naming `path`.
    static bool parseXml(QIODevice *device, const QString &path, OSMData *data, QString *problem,
                         const XmlReadLimits &limits = XmlReadLimits(), Diagnostics *diagnostics = nullptr);

private:
    static bool readFile(const QString &path, OSMData *data, QString *problem, const XmlReadLimits &limits,
                         Diagnostics &log);
    static bool readXmlGuarded(QIODevice *device, const QString &path, MapAssembly &map, QString *problem,
                               const XmlReadLimits &limits);
    static bool readXml(QIODevice *device, const QString &path, MapAssembly &map, QString *problem,
                        const XmlReadLimits &limits);
};

#endif
