#ifndef KOLVEX_OSM_PBFREADER_H
#define KOLVEX_OSM_PBFREADER_H

#include <QString>

class OSMData;

/// Reads the nodes, ways and relations of an OSM PBF file with the element rules of the XML reader.
/// The decoding library stays behind this class: nothing of it shows in the headers of the core.
class PbfReader
{
public:
    /// Reads `path` into `data`, keeping what the XML reader keeps of the same elements, in the same order.
    /// On a truncated or corrupt file, writes what is wrong, puts it in `problem` (naming the file) and
    /// returns false; the blocks read before the damage stay. Neither shakes the nodes nor writes counts.
    static bool read(const QString &path, OSMData *data, QString *problem = nullptr);
};

#endif
