#ifndef KOLVEX_MAP_NETWORKPAINTER_H
#define KOLVEX_MAP_NETWORKPAINTER_H

#include "model/semaphore.h"

#include <QPointF>
#include <QRect>

#include <vector>

class OSMData;
class QPainter;
class SlippyMap;
struct SimulationData;

/// Paints the layers of the road and rail network of one frame through the map's projection.
/// Each layer saves the painter state first and restores it at the end; geometry outside the
/// painted area is skipped before it reaches the painter.
class NetworkPainter
{
public:
    NetworkPainter(QPainter &painter, const SlippyMap &map, const QRect &exposed);

    /// Antialiasing, the base pen (black, flat cap, round join) and a 12-pixel font.
    static void setupPainter(QPainter &painter);

    void routes(const OSMData &osm);
    void stopPlatforms();
    void roadEdges();
    void rails();
    /// The stop lines of the signals, each in the colour of its light in `lights` (a frame's).
    void semaphores(const std::vector<Semaphore::Light> &lights);
    void cells(bool crossroadCells, bool connections);
    void ways(const OSMData &osm);
    void busStops(const OSMData &osm);
    void tramStops(const OSMData &osm);
    void nodeIds(const OSMData &osm);
    void generators(const SimulationData &data);
    void crossroads(const SimulationData &data);

private:
    /// Draws each line through the widget pixels of its world points, skipping lines off the area.
    void polylines(const std::vector<std::vector<QPointF>> &lines);
    /// Widget pixels of the world points that fall in the area (grown by `margin` pixels).
    const std::vector<QPointF> &visiblePoints(const std::vector<QPointF> &world, int margin);

    QPainter &p;
    const SlippyMap &map;
    QRect exposed;
    QRectF area; ///< the exposed area with a margin for pen widths and marks
    std::vector<QPointF> buffer;
};

#endif
