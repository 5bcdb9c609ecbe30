#ifndef KOLVEX_OSM_OSMPARSER_H
#define KOLVEX_OSM_OSMPARSER_H

#include <QString>

class OSMData;
class QXmlStreamReader;

/// Streaming reader of OpenStreetMap XML extracts; keeps roads, tram tracks, stops and routes.
/// Progress and errors go to standard error, each line prefixed "OSMParser: ".
class OSMParser
{
public:
    /// Reads one file into `data`; what was read before an error stays. False when the file could
    /// not be opened or reading stopped at an XML error; `problem` then names the file (and the line
    /// and column of the error).
    static bool parseFile(const QString &path, OSMData *data, QString *problem = nullptr);
    /// Reads every "*.osm" file of a directory into `data`; false when one could not be read whole.
    static bool parseTramStopsDir(const QString &dirPath, OSMData *data);

    static void parseNode(QXmlStreamReader &reader, OSMData *data);
    static void parseWay(QXmlStreamReader &reader, OSMData *data);
    static void parseRelation(QXmlStreamReader &reader, OSMData *data);
};

#endif
