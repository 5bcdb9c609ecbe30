#include "layerboxes.h"

#include <QBoxLayout>
#include <QCheckBox>

const std::array<LayerBox, Visualization::LayerCount> LAYER_BOXES = {{
    {Visualization::Cars, LayerGroup::Vehicles, "cbCars", "Cars"},
    {Visualization::Trams, LayerGroup::Vehicles, "cbTrams", "Trams"},
    {Visualization::Buses, LayerGroup::Vehicles, "cbBuses", "Buses/Trolley"},
    {Visualization::RoadEdges, LayerGroup::Area, "cbEdges", "Road edges"},
    {Visualization::StopPlatforms, LayerGroup::Area, "cbStopPlatforms", "Stop platforms"},
    {Visualization::Rails, LayerGroup::Area, "cbRails", "Rails"},
    {Visualization::Map, LayerGroup::Area, "cbMap", "Map"},
    {Visualization::Routes, LayerGroup::Area, "cbRoutes", "Routes"},
    {Visualization::Semaphores, LayerGroup::Area, "cbSemaphores", "Semaphores"},
    {Visualization::StopsTram, LayerGroup::Stops, "cbStopsTram", "Stops - tram"},
    {Visualization::StopsBus, LayerGroup::Stops, "cbStopsBus", "Stops - bus"},
    {Visualization::Cells, LayerGroup::Cells, "cbCells", "Cells"},
    {Visualization::CrossCells, LayerGroup::Cells, "cbCellsCrossroad", "Crossroads"},
    {Visualization::CellsConnections, LayerGroup::Cells, "cbCellsConnections", "Connections"},
    {Visualization::VehiclesFancy, LayerGroup::Cells, "cbVehiclesFancy", "Fancy Vehicles"},
    {Visualization::Ways, LayerGroup::Entities, "cbWays", "Ways"},
    {Visualization::Generators, LayerGroup::Entities, "cbGenerators", "Generators"},
    {Visualization::Nodes, LayerGroup::Entities, "cbNodes", "Nodes ID"},
    {Visualization::Crossroads, LayerGroup::Entities, "cbCrossroads", "Crossroads"},
}};

void addLayerBoxes(QBoxLayout *layout, LayerGroup group, Visualization *map)
{
    int at = 0;
    for (const LayerBox &entry : LAYER_BOXES) {
        if (entry.group != group)
            continue;
        auto *box = new QCheckBox(QString::fromLatin1(entry.label));
        box->setObjectName(QLatin1String(entry.objectName));
        box->setChecked(map->layer(entry.layer));
        QObject::connect(box, &QCheckBox::toggled, map,
                         [map, layer = entry.layer](bool on) { map->setLayer(layer, on); });
        layout->insertWidget(at++, box); // the layout owns the box from here on
    }
}
