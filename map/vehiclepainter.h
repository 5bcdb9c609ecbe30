#ifndef KOLVEX_MAP_VEHICLEPAINTER_H
#define KOLVEX_MAP_VEHICLEPAINTER_H

#include "engine/stepframe.h"
#include "geo/geodesy.h"

#include <QPoint>
#include <QRect>
#include <QString>

#include <vector>

class QPainter;
class SlippyMap;

/// Draws the vehicles of a frame simply (every occupied cell marked, with id and speed) or fancily (rotated
/// bodies of real length and width, articulated trams, line labels with the stop state).
class VehiclePainter
{
public:
    /// Body width in metres.
    static constexpr double BODY_WIDTH = 1.75;

    VehiclePainter(QPainter &painter, const SlippyMap &map, const QRect &exposed);

    /// Draws the vehicles of the kinds switched on (cars, then buses, then trams), each kind with its brush.
    void draw(const StepFrame &frame, bool cars, bool buses, bool trams, bool fancy);

    /// The label of a bus or tram: the line name, then " - Loading | s" or " - Waiting | s" with
    /// the remaining seconds (one decimal).
    static QString guidedLabel(const QString &lineName, bool loading, int loadSteps, bool waiting, int waitSteps);
    /// The centre of a run of cells (front first).
    static Location vehicleCenter(const Location *cells, size_t n);
    /// Heading in degrees in the widget's pixel frame, from the back towards the front.
    double vehicleHeading(const Location *cells, size_t n, bool hasNext, const Location &next) const;

private:
    void simple(const StepFrame &frame, const StepFrame::Vehicle &vehicle);
    void fancy(const StepFrame &frame, const StepFrame::Vehicle &vehicle);
    void body(const Location *cells, size_t n, bool hasNext, const Location &next, bool rounded);
    void tram(const Location *cells, size_t n);
    bool isVehicleExposed(const Location *cells, size_t n) const;

    QPainter &p;
    const SlippyMap &map;
    QRect exposed;
    std::vector<QRect> rects;   ///< scratch of the simple style
    std::vector<QPoint> points; ///< scratch of the simple style
};

#endif
