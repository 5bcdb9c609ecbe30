#ifndef KOLVEX_MAP_VEHICLEPAINTER_H
#define KOLVEX_MAP_VEHICLEPAINTER_H

#include "geo/geodesy.h"

#include <QPoint>
#include <QRect>
#include <QString>

#include <vector>

class QPainter;
class SlippyMap;
struct SimulationData;

/// What is drawn of the vehicles of one frame, copied from the run while the vehicles mutex is
/// held, so that drawing happens after it is released.
struct VehicleSnapshot
{
    enum Kind { CarKind, BusKind, TramKind };

    struct Shape
    {
        Kind kind = CarKind;
        int id = 0;
        int speed = 0;
        size_t firstCell = 0; ///< index of the front cell in `cells`
        size_t cellCount = 0;
        bool hasNext = false; ///< a vehicle of one cell: whether that cell has a next one
        Location next;        ///< …and its location
        QString label;        ///< line name with the stop state, for buses and trams
    };

    std::vector<Shape> shapes;   ///< cars, then buses, then trams (trams drawn on top)
    std::vector<Location> cells; ///< the occupied cells of every shape, front first

    /// Copies the listed kinds from `data`; takes the vehicles mutex for the time of the copy.
    void take(const SimulationData &data, bool cars, bool buses, bool trams);
    const Location *cellsOf(const Shape &shape) const { return cells.data() + shape.firstCell; }
};

/// Draws vehicles simply (every occupied cell marked, with id and speed) or fancily (rotated
/// bodies of real length and width, articulated trams, line labels with the stop state).
class VehiclePainter
{
public:
    /// Body width in metres.
    static constexpr double BODY_WIDTH = 1.75;

    VehiclePainter(QPainter &painter, const SlippyMap &map, const QRect &exposed);

    /// Draws every shape of the snapshot, each kind with its brush.
    void draw(const VehicleSnapshot &snapshot, bool fancy);

    /// The label of a bus or tram: the line name, then " - Loading | s" or " - Waiting | s" with
    /// the remaining seconds (one decimal).
    static QString guidedLabel(const QString &lineName, bool loading, int loadSteps, bool waiting, int waitSteps);
    /// The centre of a run of cells (front first).
    static Location vehicleCenter(const Location *cells, size_t n);
    /// Heading in degrees in the widget's pixel frame, from the back towards the front.
    double vehicleHeading(const Location *cells, size_t n, bool hasNext, const Location &next) const;

private:
    void simple(const VehicleSnapshot &snapshot, const VehicleSnapshot::Shape &shape);
    void fancy(const VehicleSnapshot &snapshot, const VehicleSnapshot::Shape &shape);
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
