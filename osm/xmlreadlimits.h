#ifndef KOLVEX_OSM_XMLREADLIMITS_H
#define KOLVEX_OSM_XMLREADLIMITS_H

#include <cstdint>
#include <limits>

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
    /// Bytes of the whole document as the XML reader receives them, after any decompression (of a PBF file:
    /// the bytes of its decoded elements). Reading takes time by the text, so a document past the cap ends
    /// the reading as an error; no cap unless set.
    int64_t maxDocumentBytes = std::numeric_limits<int64_t>::max();

    /// Text allowed per cell of the network a map may have: a raw city extract (Helsinki centre) holds
    /// about 40 bytes of XML per cell of its network, six times less, buildings and all.
    static constexpr int64_t DOCUMENT_BYTES_PER_NETWORK_CELL = 256;

    /// The default limits, with the whole document capped for a network of at most `networkCells` cells.
    static XmlReadLimits forNetworkCells(int64_t networkCells)
    {
        XmlReadLimits limits;
        if (networkCells > 0 && networkCells < limits.maxDocumentBytes / DOCUMENT_BYTES_PER_NETWORK_CELL)
            limits.maxDocumentBytes = networkCells * DOCUMENT_BYTES_PER_NETWORK_CELL;
        return limits;
    }
};

#endif
