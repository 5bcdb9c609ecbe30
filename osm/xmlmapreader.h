#ifndef KOLVEX_OSM_XMLMAPREADER_H
#define KOLVEX_OSM_XMLMAPREADER_H

#include "expatreader.h"
#include "osmelementrecords.h"
#include "xmlplacement.h"
#include "xmlreadlimits.h"

#include <QString>

#include <string>
#include <vector>

class MapAssembly;
class QIODevice;

/// Takes the nodes, ways and relations of an OSM XML document as its elements arrive and passes those
/// the simulator uses to a MapAssembly. A node, way or relation cut off by the end of the document or by
/// an XML error is not stored: its tags or references may be incomplete. Every element dropped for a
/// fault is named with its id text and line; elements the simulator has no use for (buildings, paths,
/// other routes) are not.
class XmlMapReader : private XmlElementEvents
{
public:
    /// Reads from `device` into `map` within `limits`; all three must outlive this reader.
    XmlMapReader(QIODevice *device, MapAssembly &map, const XmlReadLimits &limits);

    /// Reads the document; false when its root element is not <osm>, which is then said and described in
    /// `problem`, naming `path`. Otherwise what follows from an XML error is said, and xml() tells the error.
    bool read(const QString &path, QString *problem);
    const ExpatReader &xml() const { return reader; }

private:
    enum class Open { None, Node, Way, Relation, Dropped };

    void startElement(std::string_view name, const char **attributes) override;
    void endElement() override;
    void startTop(std::string_view name, const char **attributes);
    void startChild(std::string_view name, const char **attributes);
    void closeTop(bool closed);
    readerrules::ElementOrigin originOf(const char *kind, std::string_view idText) const;

    MapAssembly &map;
    const XmlReadLimits &limits;
    ExpatReader reader;
    XmlPlacement placement;
    std::vector<std::string> openNames; ///< local names of the open elements, the root first
    size_t depth = 0;
    bool notAMap = false;
    std::string rootName;
    int64_t rootLine = 0;
    int64_t rootColumn = 0;

    // The node, way or relation open directly inside the root.
    Open open = Open::None;
    int64_t start = 0; ///< characters read up to the end of its start tag
    readerrules::ElementOrigin origin;
    int64_t id = 0;
    Location location;
    NodeRecord node;
    WayRecord way;
    RelationRecord relation;
};

#endif
