#ifndef KOLVEX_OSM_PBFREADER_H
#define KOLVEX_OSM_PBFREADER_H

#include <QString>

#include <cstdint>
#include <limits>

class MapAssembly;

/// Reads the nodes, ways and relations of an OSM PBF file with the element rules of the XML reader.
/// The decoding library stays behind this class: nothing of it shows in the headers of the core.
class PbfReader
{
public:
    /// Reads `path` into `map`, keeping what the XML reader keeps of the same elements, in the same order:
    /// ways and relations first, then only the nodes that those ways and stops use. On a truncated or
    /// corrupt file, writes what is wrong, puts it in `problem` (naming the file) and returns false; the
    /// elements read before the damage stay. The bytes of the elements decoded in both passes may not pass
    /// `maxDecodedBytes`. Writes no counts.
    static bool read(const QString &path, MapAssembly &map, QString *problem = nullptr,
                     int64_t maxDecodedBytes = std::numeric_limits<int64_t>::max());
};

#endif
