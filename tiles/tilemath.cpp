#include "tilemath.h"

#include <algorithm>
#include <cmath>

namespace tilemath {

QPointF coordinateToTile(double lat, double lon, int zoom)
{
    const double n = std::ldexp(1.0, zoom);
    const double r = lat * PI / 180.0;
    const double x = (lon + 180.0) / 360.0 * n;
    const double y = (1.0 - std::log(std::tan(r) + 1.0 / std::cos(r)) / PI) * 0.5 * n;
    return QPointF(x, y);
}

double tileXToLongitude(double x, int zoom)
{
    return x / std::ldexp(1.0, zoom) * 360.0 - 180.0;
}

double tileYToLatitude(double y, int zoom)
{
    const double t = PI - 2.0 * PI * y / std::ldexp(1.0, zoom);
    return std::atan((std::exp(t) - std::exp(-t)) * 0.5) * 57.29577951308232;
}

QRect tileRange(double north, double west, double south, double east, int zoom)
{
    const auto clampLat = [](double v) { return std::clamp(v, -MAX_LATITUDE, MAX_LATITUDE); };
    const auto clampLon = [](double v) { return std::clamp(v, -MAX_LONGITUDE, MAX_LONGITUDE); };
    const QPointF nw = coordinateToTile(clampLat(std::max(north, south)), clampLon(std::min(west, east)), zoom);
    const QPointF se = coordinateToTile(clampLat(std::min(north, south)), clampLon(std::max(west, east)), zoom);
    const int last = (1 << zoom) - 1;
    // The east edge at 180° is column 2^zoom, which does not exist: it belongs to the last column.
    const auto index = [last](double v) { return std::clamp(int(std::floor(v)), 0, last); };
    return QRect(QPoint(index(nw.x()), index(nw.y())), QPoint(index(se.x()), index(se.y())));
}

} // namespace tilemath
