#ifndef KOLVEX_OSM_XMLREADLIMITS_H
#define KOLVEX_OSM_XMLREADLIMITS_H

#include <cstdint>

/// What one piece of an XML map may cost while it is read, so that a broken or hostile file is refused
/// or loses the element at fault before it exhausts memory. The defaults are far above what real
/// extracts hold; tests set them small.
struct XmlReadLimits
{
    /// Bytes from one '<' to the next: one tag with its attributes and the text after it, which the XML
    /// reader holds whole. A tag value in OpenStreetMap has at most 255 characters, a node with all its
    /// attributes well under a kilobyte. A piece over the cap ends the reading as an error.
    int64_t maxMarkupBytes = int64_t(1) << 20;
    /// Characters of one node, way or relation with all it holds: a way of the 2000 nodes the format
    /// allows takes about 60,000, a long route relation a few hundred thousand. An element over the cap
    /// is dropped, named, and reading goes on.
    int64_t maxElementChars = int64_t(16) << 20;
};

#endif
