#include "visualization.h"

#include "engine/simulation.h"
#include "model/car.h"
#include "model/cell.h"
#include "model/simulationdata.h"
#include "model/simulationlocks.h"

#include <QPainter>

Visualization::Visualization(QWidget *parent) : QWidget(parent), map(new SlippyMap(this)) {}

void Visualization::setSimulation(Simulation *simulation)
{
    simulationData = simulation->simulationData();
    update();
}

void Visualization::paintEvent(QPaintEvent *)
{
    QPainter p(this);
    p.fillRect(rect(), QColor(232, 228, 220));
    if (!simulationData || simulationData->cells.empty())
        return;
    double minLat = 90, maxLat = -90, minLon = 180, maxLon = -180;
    for (const Cell *c : simulationData->cells) {
        minLat = qMin(minLat, c->location.lat);
        maxLat = qMax(maxLat, c->location.lat);
        minLon = qMin(minLon, c->location.lon);
        maxLon = qMax(maxLon, c->location.lon);
    }
    auto toPixel = [&](const Cell *c) {
        return QPointF((c->location.lon - minLon) / (maxLon - minLon + 1e-9) * width(),
                       (maxLat - c->location.lat) / (maxLat - minLat + 1e-9) * height());
    };
    if (!paintCars)
        return;
    VehiclesLocker lock;
    p.setPen(QPen(Qt::red, 3));
    for (const Car *car : simulationData->cars)
        if (const Cell *front = car->frontCell())
            p.drawPoint(toPixel(front));
}
