#ifndef KOLVEX_OSM_XMLPLACEMENT_H
#define KOLVEX_OSM_XMLPLACEMENT_H

#include "report/diagnostics.h"

#include <QLatin1String>
#include <QString>

#include <cstdint>
#include <vector>

class QXmlStreamReader;

/// Where the OSM XML format puts the elements the reader takes (a node directly inside <osm>, a tag
/// directly inside a node, way, relation or changeset, ...), and the naming of those found elsewhere.
/// Such an element is ignored with all it holds: inside an element the reader does not know, it may
/// mean something else (a wrapper of deleted objects, say). Elements of unknown names are tolerated
/// anywhere without a word, since files from newer tools add their own. The first element out of
/// place is named with its line; the others are counted, so that a wrapper around a whole map costs
/// one line, not one per element.
class XmlPlacement
{
public:
    /// Records what is out of place in `log`, which must outlive this object.
    explicit XmlPlacement(Diagnostics &log) : log(log) {}

    Diagnostics &diagnostics() const { return log; }

    /// Reads the element the reader stands on, named `name` and taken by the caller, to its end;
    /// what it holds is checked and ignored.
    void finish(QXmlStreamReader &reader, QLatin1String name);
    /// The element the reader stands on is not taken inside `parent`: checks its place, then reads it
    /// to its end with all it holds.
    void skip(QXmlStreamReader &reader, QLatin1String parent);
    /// Names the count of elements out of place after the first; call when the document is read.
    void reportRest();

private:
    void check(const QXmlStreamReader &reader, const QString &parent);
    /// `open` holds the names of the elements open inside the one being read, that one first; empty
    /// until an element opens inside it, whose parent is then `bottom`.
    void readToEnd(QXmlStreamReader &reader, std::vector<QString> &open, QLatin1String bottom);

    Diagnostics &log;
    int64_t count = 0;
};

#endif
