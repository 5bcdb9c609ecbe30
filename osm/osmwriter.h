#ifndef KOLVEX_OSM_OSMWRITER_H
#define KOLVEX_OSM_OSMWRITER_H

#include <QString>

class Diagnostics;
class OSMData;

/// Writes what the simulator keeps of a map (stops, used nodes, kept ways, route relations) as a
/// compact OpenStreetMap XML file that the reader reads back to the same model.
class OSMWriter
{
public:
    static const char *const DEFAULT_DIRECTORY; ///< "./dataOSM/comp/"
    static const char *const DEFAULT_FILE_NAME; ///< "compressed.osm"

    /// Writes to the default directory and file name; the directory must exist.
    static bool createOsm(OSMData *data, Diagnostics &diagnostics);
    /// Writes to `path`, recording its progress in `diagnostics`; false, with an error recorded,
    /// when the file cannot be opened or written.
    static bool createOsm(OSMData *data, const QString &path, Diagnostics &diagnostics);
};

#endif
