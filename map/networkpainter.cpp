#include "networkpainter.h"

#include "slippymap.h"

#include "model/bindingrecords.h"
#include "model/cell.h"
#include "model/crossroad.h"
#include "model/generator.h"
#include "model/semaphore.h"
#include "model/simulationdata.h"
#include "osm/osmdata.h"

#include <QPainter>

#include <algorithm>

namespace {

/// Pixels around the painted area within which geometry is still drawn (wide pens, marks, labels).
constexpr int AREA_MARGIN = 64;

/// A rectangle given by its corners as QRect takes them (x2 − x1 + 1 pixels wide).
QRect cornerRect(int x1, int y1, int x2, int y2)
{
    return QRect(QPoint(x1, y1), QPoint(x2, y2));
}

/// drawRects without antialiasing, so the marks keep their exact pixels.
void drawRectsCrisp(QPainter &p, const QVector<QRect> &rects)
{
    p.save();
    p.setRenderHint(QPainter::Antialiasing, false);
    p.drawRects(rects);
    p.restore();
}

} // namespace

NetworkPainter::NetworkPainter(QPainter &painter, const SlippyMap &map, const QRect &exposed)
    : p(painter), map(map), exposed(exposed),
      area(exposed.adjusted(-AREA_MARGIN, -AREA_MARGIN, AREA_MARGIN, AREA_MARGIN))
{}

void NetworkPainter::setupPainter(QPainter &painter)
{
    painter.setRenderHint(QPainter::Antialiasing, true);
    QPen pen = painter.pen();
    pen.setCapStyle(Qt::FlatCap);
    pen.setJoinStyle(Qt::RoundJoin);
    pen.setColor(Qt::black);
    painter.setPen(pen);
    QFont font = painter.font();
    font.setPixelSize(12);
    painter.setFont(font);
}

void NetworkPainter::polylines(const std::vector<std::vector<QPointF>> &lines)
{
    for (const auto &line : lines) {
        if (line.size() < 2)
            continue;
        buffer.resize(line.size());
        double minX = 1e300, minY = 1e300, maxX = -1e300, maxY = -1e300;
        for (size_t i = 0; i < line.size(); ++i) {
            const QPointF q = map.worldToPixel(line[i]);
            buffer[i] = q;
            minX = std::min(minX, q.x());
            maxX = std::max(maxX, q.x());
            minY = std::min(minY, q.y());
            maxY = std::max(maxY, q.y());
        }
        if (maxX < area.left() || minX > area.right() || maxY < area.top() || minY > area.bottom())
            continue;
        p.drawPolyline(buffer.data(), int(buffer.size()));
    }
}

const std::vector<QPointF> &NetworkPainter::visiblePoints(const std::vector<QPointF> &world, int margin)
{
    const QRectF bounds = QRectF(exposed).adjusted(-margin, -margin, margin, margin);
    buffer.clear();
    for (const QPointF &w : world) {
        const QPointF q = map.worldToPixel(w);
        if (bounds.contains(q))
            buffer.push_back(q);
    }
    return buffer;
}

void NetworkPainter::routes(const OSMData &osm)
{
    p.save();
    QPen pen = p.pen();
    pen.setColor(QColor(100, 100, 100));
    pen.setWidthF(2 * map.pixelsPerMetre());
    p.setPen(pen);
    std::vector<QPointF> line;
    for (const OSMRoute *route : osm.routes()->routes())
        for (const Way *way : route->ways) {
            line.clear();
            for (const Node *node : way->nodes())
                line.push_back(map.coordinateToPixelF(node->getLocation()));
            if (line.size() >= 2)
                p.drawPolyline(line.data(), int(line.size()));
        }
    p.restore();
}

void NetworkPainter::stopPlatforms()
{
    p.save();
    QPen pen = p.pen();
    pen.setColor(QColor(150, 150, 150));
    pen.setWidth(int(2.5 * map.pixelsPerMetre()));
    p.setPen(pen);
    polylines(map.renderLists().world.platformLines);
    p.restore();
}

void NetworkPainter::roadEdges()
{
    p.save();
    QPen pen = p.pen();
    pen.setColor(Qt::gray);
    pen.setWidthF(1.5);
    p.setPen(pen);
    polylines(map.renderLists().world.dividerLines);
    p.restore();
    p.save();
    polylines(map.renderLists().world.edgeLines);
    p.restore();
}

void NetworkPainter::rails()
{
    p.save();
    QPen pen = p.pen();
    pen.setColor(QColor(80, 80, 80));
    pen.setWidthF(1.5);
    p.setPen(pen);
    polylines(map.renderLists().world.railLines);
    p.restore();
}

void NetworkPainter::semaphores(const std::vector<Semaphore::Light> &lights)
{
    p.save();
    QPen pens[3];
    const Qt::GlobalColor colours[3] = {Qt::green, Qt::yellow, Qt::red};
    for (int i = 0; i < 3; ++i) {
        pens[i] = QPen(colours[i]);
        pens[i].setCapStyle(Qt::FlatCap);
        pens[i].setWidth(int(map.pixelsPerMetre()));
    }
    for (const SignalLine &line : map.renderLists().signalLines) {
        const QPointF a = map.worldToPixel(line.from), b = map.worldToPixel(line.to);
        if (!area.contains(a) && !area.contains(b))
            continue;
        const Semaphore::Light light = line.light < lights.size() ? lights[line.light] : Semaphore::Light(-1);
        if (light >= Semaphore::Green && light <= Semaphore::Red) // another value keeps the pen
            p.setPen(pens[light]);
        p.drawLine(a, b);
    }
    p.restore();
}

void NetworkPainter::cells(bool crossroadCells, bool connections)
{
    const RenderLists::World &world = map.renderLists().world;
    p.save();
    p.setPen(QPen(Qt::darkBlue, 1));
    p.setBrush(Qt::darkBlue);
    const std::vector<QPointF> &plain = visiblePoints(world.plainCells, 2);
    p.drawPoints(plain.data(), int(plain.size()));
    if (crossroadCells) {
        QVector<QRect> rects;
        for (const QPointF &w : world.crossroadCells) {
            const QPointF q = map.worldToPixel(w);
            if (area.contains(q))
                rects.push_back(cornerRect(int(q.x()), int(q.y()), int(q.x()), int(q.y())));
        }
        drawRectsCrisp(p, rects);
    }
    if (connections) {
        const std::vector<QPointF> &links = world.cellLinks;
        QVector<QLineF> lines;
        for (size_t i = 0; i + 1 < links.size(); i += 2) {
            const QPointF a = map.worldToPixel(links[i]), b = map.worldToPixel(links[i + 1]);
            if (area.contains(a) || area.contains(b))
                lines.push_back(QLineF(a, b));
        }
        p.drawLines(lines);
    }
    p.setPen(QPen(Qt::black, 1));
    p.setBrush(Qt::black);
    QVector<QRect> stops;
    for (const QPointF &w : world.stopCells) {
        const QPointF q = map.worldToPixel(w);
        if (area.contains(q))
            stops.push_back(cornerRect(int(q.x()) - 1, int(q.y()) - 1, int(q.x()), int(q.y())));
    }
    drawRectsCrisp(p, stops);
    p.restore();
}

void NetworkPainter::ways(const OSMData &osm)
{
    p.save();
    std::vector<QPointF> line;
    for (const Way *way : osm.ways()->ways()) {
        if (way->nodes().size() < 2)
            continue;
        line.clear();
        for (const Node *node : way->nodes())
            line.push_back(map.coordinateToPixelF(node->getLocation()));
        QPen pen(Qt::blue, 2);
        p.setPen(pen);
        p.setBrush(Qt::blue);
        p.drawPolyline(line.data(), int(line.size()));
        for (const Node *end : {way->firstNode(), way->lastNode()}) {
            const QPoint q = map.coordinateToPixel(end->getLocation());
            p.drawEllipse(cornerRect(q.x() - 4, q.y() - 4, q.x() + 3, q.y() + 3));
        }
        p.setPen(Qt::black);
        const Location mid =
            geo::intermediateLocation(way->firstNode()->getLocation(), way->lastNode()->getLocation(), 0.5);
        const QPointF m = map.coordinateToPixelF(mid);
        p.drawText(QPoint(int(m.x()), int(m.y())), QStringLiteral("id: %1").arg(way->getId()));
    }
    p.restore();
}

void NetworkPainter::busStops(const OSMData &osm)
{
    p.save();
    p.setBrush(Qt::red);
    for (const OSMStop *stop : osm.busStops()->stops()) {
        const QPoint q = map.coordinateToPixel(stop->getNode()->getLocation());
        drawRectsCrisp(p, {cornerRect(q.x() - 4, q.y() - 4, q.x() + 3, q.y() + 3)});
        p.drawText(QPoint(q.x() + 5, q.y() - 5),
                   QStringLiteral("%1 %2").arg(stop->getId()).arg(QString::fromStdString(stop->nameRef())));
    }
    p.restore();
}

void NetworkPainter::tramStops(const OSMData &osm)
{
    p.save();
    p.setBrush(Qt::blue);
    for (const OSMStop *stop : osm.tramStops()->stops()) {
        const QPoint q = map.coordinateToPixel(stop->getNode()->getLocation());
        p.drawEllipse(cornerRect(q.x() - 4, q.y() - 4, q.x() + 3, q.y() + 3));
        p.drawText(QPoint(q.x() + 5, q.y() - 5),
                   QStringLiteral("%1 %2").arg(stop->getId()).arg(QString::fromStdString(stop->nameRef())));
    }
    p.restore();
}

void NetworkPainter::nodeIds(const OSMData &osm)
{
    p.save();
    QFont font = p.font();
    font.setPointSize(8);
    p.setFont(font);
    for (const Node *node : osm.nodes()->nodes()) {
        if (!map.isTileExposed(node->getLocation(), exposed))
            continue;
        p.drawText(map.coordinateToPixel(node->getLocation()), QString::number(node->getId()));
    }
    p.restore();
}

void NetworkPainter::generators(const SimulationData &data)
{
    p.save();
    p.setBrush(Qt::red);
    for (const Generator *generator : data.generators) {
        if (!generator->cell)
            continue;
        const QPoint q = map.coordinateToPixel(generator->cell->location());
        drawRectsCrisp(p, {cornerRect(q.x() - 5, q.y() - 5, q.x() + 4, q.y() + 4)});
        p.drawText(QPoint(q.x() + 5, q.y() - 5), QString::number(generator->id));
    }
    p.restore();
}

void NetworkPainter::crossroads(const SimulationData &data)
{
    p.save();
    p.setBrush(Qt::red);
    for (const Crossroad *crossroad : data.crossroads) {
        if (!crossroad->junction || !crossroad->junction->node)
            continue;
        const QPoint q = map.coordinateToPixel(crossroad->junction->node->getLocation());
        drawRectsCrisp(p, {cornerRect(q.x() - 5, q.y() - 5, q.x() + 4, q.y() + 4)});
        if (crossroad->hasSemaphore()) {
            p.setBrush(Qt::blue);
            p.drawEllipse(cornerRect(q.x() - 3, q.y() - 3, q.x() + 2, q.y() + 2));
            p.setBrush(Qt::red);
        }
    }
    p.restore();
}
