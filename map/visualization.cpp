#include "visualization.h"

#include "networkpainter.h"
#include "slippymap.h"
#include "vehiclepainter.h"

#include "engine/simulation.h"
#include "engine/simulationthread.h"
#include "engine/stepframe.h"
#include "osm/osmdata.h"

#include <QMouseEvent>
#include <QPaintEvent>
#include <QPainter>
#include <QTimer>
#include <QWheelEvent>

const QString Visualization::ATTRIBUTION = QStringLiteral("\u00a9 OpenStreetMap contributors");

namespace {

/// One wheel notch.
constexpr int WHEEL_STEP = 120;

} // namespace

Visualization::Visualization(QWidget *parent, MapTileDownloader *tileSource)
    : QWidget(parent), m_map(new SlippyMap(this, tileSource))
{
    setDefaultLayers();
    connect(m_map, &SlippyMap::updated, this, qOverload<QRect>(&Visualization::updateMap));
    sinceFrame.start();
}

Visualization::~Visualization() = default;

void Visualization::setSimulation(Simulation *simulation)
{
    if (!simulation) {
        setData(nullptr, nullptr, nullptr);
        return;
    }
    setData(simulation->osmData(), simulation->simulationData(), simulation->bindingData());
    if (const SimulationThread *loop = simulation->simulationThread())
        m_frame = loop->latestFrame();
}

void Visualization::setData(OSMData *osmData, SimulationData *data, BindingData *bindingData)
{
    m_frame.reset(); // the frames of another run
    osm = osmData;
    simData = data;
    bindings = bindingData;
    if (osm)
        m_map->centerOnNodes(osm->nodes()->nodes());
    m_map->prepareRenderData(simData, bindings);
    update();
}

void Visualization::setDefaultLayers()
{
    switches.fill(false);
    for (Layer on : {Map, Rails, RoadEdges, StopPlatforms, Cars, Buses, Trams, VehiclesFancy, Semaphores})
        switches[on] = true;
    update();
}

void Visualization::setLayer(Layer which, bool on)
{
    switches[which] = on;
    update();
}

void Visualization::purgeTiles()
{
    m_map->dropDistantTiles();
}

void Visualization::showFrame(std::shared_ptr<const StepFrame> frame)
{
    m_frame = std::move(frame);
    if (framePending)
        return;
    const qint64 wait = FRAME_INTERVAL_MS - sinceFrame.elapsed();
    if (wait <= 0) {
        update();
        return;
    }
    // Steps may come every millisecond; the widget follows at the frame rate, not at the step rate.
    framePending = true;
    QTimer::singleShot(int(wait), this, [this] {
        framePending = false;
        update();
    });
}

void Visualization::updateMap()
{
    update();
}

void Visualization::updateMap(QRect r)
{
    update(r);
}

void Visualization::mousePressEvent(QMouseEvent *event)
{
    if (event->buttons() == Qt::LeftButton) {
        pressed = true;
        lastPos = event->pos();
        pressPos = event->pos();
    }
}

void Visualization::mouseReleaseEvent(QMouseEvent *)
{
    pressed = false;
    update();
}

void Visualization::mouseMoveEvent(QMouseEvent *event)
{
    if (event->buttons() == Qt::NoButton || !pressed)
        return;
    const QPoint delta = event->pos() - lastPos;
    lastPos = event->pos();
    m_map->panBy(delta);
}

void Visualization::wheelEvent(QWheelEvent *event)
{
    wheelBy(event->angleDelta().y(), event->position().toPoint());
    event->accept();
}

void Visualization::wheelBy(int delta, const QPoint &position)
{
    wheelAccumulator += delta;
    if (wheelAccumulator > -WHEEL_STEP && wheelAccumulator < WHEEL_STEP)
        return;
    // Move the point under the cursor to the centre, zoom there, and move it back.
    const QPoint d((width() - 1) / 2 - position.x(), (height() - 1) / 2 - position.y());
    m_map->panBy(d);
    if (wheelAccumulator >= WHEEL_STEP)
        m_map->zoomIn();
    else
        m_map->zoomOut();
    m_map->panBy(-d);
    wheelAccumulator = 0;
}

void Visualization::resizeEvent(QResizeEvent *)
{
    m_map->setViewWidth(width());
    m_map->setViewHeight(height());
    m_map->recomputeView();
}

void Visualization::paintEvent(QPaintEvent *event)
{
    QPainter painter(this);
    render(painter, event->rect());
    sinceFrame.restart();
}

quint64 Visualization::staticKey(std::initializer_list<Layer> layers) const
{
    quint64 bits = 0;
    for (Layer l : layers)
        bits = (bits << 1) | (switches[l] ? 1u : 0u);
    // The map's revision changes with every view change, tile arrival and data set.
    return (m_map->revision() << 20) ^ bits;
}

void Visualization::render(QPainter &painter, const QRect &exposed)
{
    const QSize size(width(), height());
    if (size.isEmpty())
        return;
    const qreal dpr = devicePixelRatioF();
    const QRect all(QPoint(0, 0), size);
    NetworkPainter::setupPainter(painter);

    below.draw(painter, exposed, size, dpr, staticKey({Map, Routes, StopPlatforms, RoadEdges, Rails}), false,
               [&](QPainter &p) {
                   NetworkPainter::setupPainter(p);
                   p.fillRect(all, SlippyMap::BACKGROUND);
                   if (switches[Map])
                       m_map->renderTiles(&p, all);
                   NetworkPainter layers(p, *m_map, all);
                   if (switches[Routes] && osm)
                       layers.routes(*osm);
                   if (switches[StopPlatforms])
                       layers.stopPlatforms();
                   if (switches[RoadEdges])
                       layers.roadEdges();
                   if (switches[Rails])
                       layers.rails();
               });

    NetworkPainter layers(painter, *m_map, exposed);
    if (switches[Semaphores] && simData && m_frame)
        layers.semaphores(m_frame->lights);
    if (switches[Cells] && simData)
        cells.draw(painter, exposed, size, dpr, staticKey({CrossCells, CellsConnections}), true, [&](QPainter &p) {
            NetworkPainter::setupPainter(p);
            NetworkPainter(p, *m_map, all).cells(switches[CrossCells], switches[CellsConnections]);
        });

    if (m_frame && (switches[Cars] || switches[Buses] || switches[Trams]))
        VehiclePainter(painter, *m_map, exposed)
            .draw(*m_frame, switches[Cars], switches[Buses], switches[Trams], switches[VehiclesFancy]);

    const bool anyAbove = (osm && (switches[Ways] || switches[StopsBus] || switches[StopsTram] || switches[Nodes])) ||
                          (simData && (switches[Generators] || switches[Crossroads]));
    if (anyAbove)
        above.draw(painter, exposed, size, dpr, staticKey({Ways, StopsBus, StopsTram, Nodes, Generators, Crossroads}),
                   true, [&](QPainter &p) {
                       NetworkPainter::setupPainter(p);
                       NetworkPainter top(p, *m_map, all);
                       if (osm && switches[Ways])
                           top.ways(*osm);
                       if (osm && switches[StopsBus])
                           top.busStops(*osm);
                       if (osm && switches[StopsTram])
                           top.tramStops(*osm);
                       if (osm && switches[Nodes])
                           top.nodeIds(*osm);
                       if (simData && switches[Generators])
                           top.generators(*simData);
                       if (simData && switches[Crossroads])
                           top.crossroads(*simData);
                   });

    if (switches[Map]) {
        // The tiles' licence asks for this wherever they are shown.
        painter.save();
        const QRect box = painter.fontMetrics().boundingRect(ATTRIBUTION).adjusted(-4, -2, 4, 2);
        const QRect corner(QPoint(width() - box.width(), height() - box.height()), box.size());
        painter.fillRect(corner, QColor(255, 255, 255, 190));
        painter.setPen(Qt::black);
        painter.drawText(corner, Qt::AlignCenter, ATTRIBUTION);
        painter.restore();
    }
}
