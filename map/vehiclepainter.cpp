#include "vehiclepainter.h"

#include "model/units.h"

#include "slippymap.h"

#include <QPainter>

#include <cmath>

namespace {

/// Length of one cell in metres and of one step in seconds.
constexpr double CELL_METRES = units::CELL_LENGTH_M;
constexpr double STEP_SECONDS = units::STEP_S;

Location average(const Location &a, const Location &b, const Location &c)
{
    return Location((a.lat + b.lat + c.lat) / 3.0, (a.lon + b.lon + c.lon) / 3.0);
}

} // namespace

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

void VehiclePainter::draw(const StepFrame &frame, bool cars, bool buses, bool trams, bool fancyStyle)
{
    const std::pair<VehicleKind, Qt::GlobalColor> kinds[3] = {
        {VehicleKind::Car, Qt::red}, {VehicleKind::Bus, Qt::blue}, {VehicleKind::Tram, Qt::green}};
    const bool on[3] = {cars, buses, trams};
    p.save();
    for (int k = 0; k < 3; ++k) {
        if (!on[k])
            continue;
        p.setBrush(kinds[k].second);
        for (const StepFrame::Vehicle *v = frame.begin(kinds[k].first); v != frame.end(kinds[k].first); ++v) {
            if (v->cellCount == 0)
                continue;
            if (fancyStyle)
                fancy(frame, *v);
            else
                simple(frame, *v);
        }
    }
    p.restore();
}

void VehiclePainter::simple(const StepFrame &frame, const StepFrame::Vehicle &shape)
{
    const Location *cells = frame.cellsOf(shape);
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

void VehiclePainter::fancy(const StepFrame &frame, const StepFrame::Vehicle &shape)
{
    const Location *cells = frame.cellsOf(shape);
    const size_t n = shape.cellCount;
    if (isVehicleExposed(cells, n)) {
        if (shape.kind == VehicleKind::Tram)
            tram(cells, n);
        else
            body(cells, n, shape.hasNext, shape.next, false);
    }
    if (shape.kind != VehicleKind::Car) {
        // Buses and trams show their line and stop state, whether or not the body is in view.
        const QPoint f = map.coordinateToPixel(cells[0]);
        p.drawText(QPoint(f.x() + 5, f.y() - 5),
                   guidedLabel(shape.line, shape.stopState == GuidedState::Loading, shape.stopSteps,
                               shape.stopState == GuidedState::Waiting, shape.stopSteps));
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
