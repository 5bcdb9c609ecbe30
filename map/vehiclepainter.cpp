#include "vehiclepainter.h"

#include "model/units.h"

#include "slippymap.h"

#include "model/bus.h"
#include "model/car.h"
#include "model/cell.h"
#include "model/simulationdata.h"
#include "model/simulationlocks.h"
#include "model/tram.h"
#include "model/vehicleguided.h"

#include <QPainter>

#include <cmath>

namespace {

/// Length of one cell in metres and of one step in seconds.
constexpr double CELL_METRES = units::CELL_LENGTH_M;
constexpr double STEP_SECONDS = units::STEP_S;

// Buses and trams (guided vehicles) show their line and stop state; cars have no label.
QString labelOf(const Vehicle &)
{
    return QString();
}
QString labelOf(const VehicleGuided &v)
{
    return VehiclePainter::guidedLabel(QString::fromStdString(v.lineName()), v.isLoading(), v.shownLoadCount(),
                                       v.isWaiting(), v.shownWaitCount());
}

template <typename V> void copyList(const std::vector<V *> &list, VehicleSnapshot::Kind kind, VehicleSnapshot &out)
{
    for (const V *v : list) {
        VehicleSnapshot::Shape shape;
        shape.kind = kind;
        shape.id = v->id();
        shape.speed = v->speed();
        shape.firstCell = out.cells.size();
        const std::vector<Cell *> &cells = v->cells();
        shape.cellCount = cells.size();
        for (const Cell *cell : cells)
            out.cells.push_back(cell->location);
        if (cells.size() == 1 && cells[0]->next) {
            shape.hasNext = true;
            shape.next = cells[0]->next->location;
        }
        shape.label = labelOf(*v);
        out.shapes.push_back(std::move(shape));
    }
}

Location average(const Location &a, const Location &b, const Location &c)
{
    return Location((a.lat + b.lat + c.lat) / 3.0, (a.lon + b.lon + c.lon) / 3.0);
}

} // namespace

void VehicleSnapshot::take(const SimulationData &data, bool withCars, bool withBuses, bool withTrams)
{
    shapes.clear();
    cells.clear();
    VehiclesLocker lock;
    if (withCars)
        copyList(data.cars, CarKind, *this);
    if (withBuses)
        copyList(data.buses, BusKind, *this);
    if (withTrams)
        copyList(data.trams, TramKind, *this);
}

VehiclePainter::VehiclePainter(QPainter &painter, const SlippyMap &map, const QRect &exposed)
    : p(painter), map(map), exposed(exposed)
{}

QString VehiclePainter::guidedLabel(const QString &lineName, bool loading, int loadSteps, bool waiting, int waitSteps)
{
    if (loading)
        return lineName + QStringLiteral(" - Loading | %1").arg(loadSteps * STEP_SECONDS, 0, 'f', 1);
    if (waiting)
        return lineName + QStringLiteral(" - Waiting | %1").arg(waitSteps * STEP_SECONDS, 0, 'f', 1);
    return lineName;
}

void VehiclePainter::draw(const VehicleSnapshot &snapshot, bool fancyStyle)
{
    const Qt::GlobalColor brushes[3] = {Qt::red, Qt::blue, Qt::green};
    int currentKind = -1;
    p.save();
    for (const VehicleSnapshot::Shape &shape : snapshot.shapes) {
        if (shape.kind != currentKind) {
            currentKind = shape.kind;
            p.setBrush(brushes[currentKind]);
        }
        if (shape.cellCount == 0)
            continue;
        if (fancyStyle)
            fancy(snapshot, shape);
        else
            simple(snapshot, shape);
    }
    p.restore();
}

void VehiclePainter::simple(const VehicleSnapshot &snapshot, const VehicleSnapshot::Shape &shape)
{
    const Location *cells = snapshot.cellsOf(shape);
    // One square per cell, back to front, then the cells' points over them: one call each.
    rects.clear();
    points.clear();
    for (size_t k = shape.cellCount; k-- > 0;) {
        const QPoint q = map.coordinateToPixel(cells[k]);
        rects.push_back(QRect(QPoint(q.x() - 2, q.y() - 2), QPoint(q.x() + 1, q.y() + 1)));
        points.push_back(q);
    }
    p.save();
    p.setRenderHint(QPainter::Antialiasing, false);
    p.drawRects(rects.data(), int(rects.size()));
    p.restore();
    p.drawPoints(points.data(), int(points.size()));
    const QPoint f = points.back();
    p.drawText(QPoint(f.x() + 5, f.y() - 5), QStringLiteral("%1|%2").arg(shape.id).arg(shape.speed));
}

void VehiclePainter::fancy(const VehicleSnapshot &snapshot, const VehicleSnapshot::Shape &shape)
{
    const Location *cells = snapshot.cellsOf(shape);
    const size_t n = shape.cellCount;
    if (isVehicleExposed(cells, n)) {
        if (shape.kind == VehicleSnapshot::TramKind)
            tram(cells, n);
        else
            body(cells, n, shape.hasNext, shape.next, false);
    }
    if (shape.kind != VehicleSnapshot::CarKind) {
        const QPoint f = map.coordinateToPixel(cells[0]);
        p.drawText(QPoint(f.x() + 5, f.y() - 5), shape.label);
    }
}

bool VehiclePainter::isVehicleExposed(const Location *cells, size_t n) const
{
    return map.isTileExposed(cells[0], exposed) || map.isTileExposed(cells[n / 2], exposed) ||
           map.isTileExposed(cells[n - 1], exposed);
}

void VehiclePainter::tram(const Location *cells, size_t n)
{
    if (n < 6) {
        // Too short for two parts and a joint: one rounded body.
        body(cells, n, false, Location(), true);
        return;
    }
    const size_t h = n / 2;
    p.save();
    QPen pen = p.pen();
    pen.setWidthF(0.5 * map.pixelsPerMetre());
    p.setPen(pen);
    p.drawLine(map.coordinateToPixelF(cells[h - 3]), map.coordinateToPixelF(cells[h + 2]));
    p.restore();
    // Cells h − 1 and h are the gap of the articulation.
    body(cells, h - 1, false, Location(), true);
    body(cells + h + 1, n - h - 1, false, Location(), true);
}

Location VehiclePainter::vehicleCenter(const Location *cells, size_t n)
{
    if (n == 0)
        return Location(0.0, 0.0);
    if (n == 1)
        return cells[0];
    if (n == 2)
        return geo::intermediateLocation(cells[1], cells[0], 0.5);
    const Location a = average(cells[n - 1], cells[n / 2], cells[0]);
    if (n % 2 == 1)
        return a;
    const Location b = average(cells[n - 1], cells[n / 2 - 1], cells[0]);
    return geo::intermediateLocation(a, b, 0.5);
}

double VehiclePainter::vehicleHeading(const Location *cells, size_t n, bool hasNext, const Location &next) const
{
    if (n == 0)
        return 0.0;
    QPointF from, to;
    if (n >= 2) {
        from = map.coordinateToPixelF(cells[n - 1]);
        to = map.coordinateToPixelF(cells[0]);
    } else {
        from = map.coordinateToPixelF(cells[0]);
        to = hasNext ? map.coordinateToPixelF(next) : from;
    }
    const double dx = to.x() - from.x(), dy = to.y() - from.y();
    if (dx == 0.0)
        return dy > 0.0 ? 90.0 : (dy < 0.0 ? 270.0 : 0.0);
    double a = std::atan(dy / dx) * 180.0 / geo::PI;
    if (dx < 0.0)
        a += 180.0;
    return a;
}

void VehiclePainter::body(const Location *cells, size_t n, bool hasNext, const Location &next, bool rounded)
{
    const QPointF m = map.coordinateToPixelF(vehicleCenter(cells, n));
    const double a = vehicleHeading(cells, n, hasNext, next);
    const double ppm = map.pixelsPerMetre();
    const double w = BODY_WIDTH * ppm;
    const double l = n * CELL_METRES * ppm;
    if (l <= 1.0) {
        p.drawPoint(m);
        return;
    }
    p.save();
    p.translate(m);
    p.rotate(a);
    const QRectF box(-l / 2, -w / 2, l, w);
    if (rounded)
        p.drawRoundedRect(box, 40, 40, Qt::RelativeSize);
    else
        p.drawRoundedRect(box, 0.05 * l, 0.05 * l, Qt::AbsoluteSize);
    p.restore();
}
