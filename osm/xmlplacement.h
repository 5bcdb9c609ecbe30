#ifndef KOLVEX_OSM_XMLPLACEMENT_H
#define KOLVEX_OSM_XMLPLACEMENT_H

#include "report/diagnostics.h"

#include <cstdint>
#include <string_view>

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

    /// An element `name` opens directly inside `parent` (both local names), its start tag ending at `line`
    /// and `column` (counted from 1): names or counts it when the format puts it elsewhere. The reader
    /// ignores whatever is out of place, by the element it opens in.
    void check(std::string_view name, std::string_view parent, int64_t line, int64_t column);
    /// Names the count of elements out of place after the first; call when the document is read.
    void reportRest();

private:
    Diagnostics &log;
    int64_t count = 0;
};

#endif
