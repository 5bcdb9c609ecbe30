#ifndef KOLVEX_OSM_OSMFILEFORMAT_H
#define KOLVEX_OSM_OSMFILEFORMAT_H

class QIODevice;

/// The kinds of map files the reader tells apart by their first bytes.
enum class OSMFileFormat {
    Xml,     ///< starts with markup (after a byte order mark or blanks)
    Pbf,     ///< starts with the OSMHeader block of the OSM PBF format
    Gzip,    ///< gzip-compressed, taken for compressed XML
    Bzip2,   ///< bzip2-compressed, taken for compressed XML
    Empty,   ///< no bytes at all
    Unknown, ///< anything else
};

/// The format of the data at the current position of an open device; peeks, reads nothing.
OSMFileFormat osmFileFormatOf(QIODevice &device);

#endif
