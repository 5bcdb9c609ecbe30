#ifndef KOLVEX_OSM_OSMNUMBERTEXT_H
#define KOLVEX_OSM_OSMNUMBERTEXT_H

#include <cstdint>
#include <string_view>

/// The numbers of an OSM XML document read from their UTF-8 attribute text. Plain decimal text is converted
/// here, fast and independent of the locale; any other text goes to Qt's conversion, so that exactly the
/// texts the map reader has always accepted are accepted.
namespace osmnumbertext {

/// A 64-bit integer; false when the text is none.
bool toInt64(std::string_view text, int64_t &value);
/// A finite coordinate: NaN or infinity would poison every distance computed later.
bool coordinate(std::string_view text, double &value);
/// A way id, which may be written as a decimal fraction and is truncated toward zero. Integer text is taken
/// exactly, because a double loses ids above 2^53; values outside the 64-bit range are rejected.
bool wayId(std::string_view text, int64_t &value);

} // namespace osmnumbertext

#endif
