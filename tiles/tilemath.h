#ifndef KOLVEX_TILES_TILEMATH_H
#define KOLVEX_TILES_TILEMATH_H

#include <QPointF>
#include <QRect>

/// The Web-Mercator tile scheme: 2^zoom × 2^zoom square tiles over latitudes ±85.0511°.
namespace tilemath {

constexpr double PI = 3.141592653589793;
constexpr double MAX_LATITUDE = 85.0511;
constexpr double MAX_LONGITUDE = 180.0;

/// Fractional tile coordinates (column, row) of a position at a zoom level.
QPointF coordinateToTile(double lat, double lon, int zoom);
/// Longitude of the west edge of fractional tile column x.
double tileXToLongitude(double x, int zoom);
/// Latitude of the north edge of fractional tile row y.
double tileYToLatitude(double y, int zoom);
/// The tiles (inclusive corners) covering the box from (north, west) to (south, east), clamped to
/// the scheme; latitudes beyond ±85.0511° and longitudes beyond ±180° are clamped first.
QRect tileRange(double north, double west, double south, double east, int zoom);

} // namespace tilemath

#endif
