#ifndef KOLVEX_OSM_OSMPARSER_H
#define KOLVEX_OSM_OSMPARSER_H

#include <QString>

class OSMData;
class QIODevice;
class QXmlStreamReader;
class XmlPlacement;

/// Streaming reader of OpenStreetMap extracts; keeps roads, tram tracks, stops and routes.
/// Progress and errors go to standard error, each line prefixed "OSMParser: ".
class OSMParser
{
public:
    /// The map files parseFile takes, as a file dialog filter.
    static const char *const FILE_FILTER;

    /// Reads one OSM XML, PBF, gzip- or bzip2-compressed XML file (told apart by content) into `data`;
    /// what was read before an error stays. False when the file could not be opened or read whole;
    /// `problem` then names the file and what is wrong (with the line and column of an XML error).
    static bool parseFile(const QString &path, OSMData *data, QString *problem = nullptr);

    /// Reads an XML document element by element; false after an XML error or when the root element is
    /// not <osm>, which `problem` then describes, naming `path`.
    static bool parseXml(QIODevice *device, const QString &path, OSMData *data, QString *problem);

private:
    // Each reads the element the reader stands on to its end.
    static void parseNode(QXmlStreamReader &reader, OSMData *data, XmlPlacement &placement);
    static void parseWay(QXmlStreamReader &reader, OSMData *data, XmlPlacement &placement);
    static void parseRelation(QXmlStreamReader &reader, OSMData *data, XmlPlacement &placement);
};

#endif
