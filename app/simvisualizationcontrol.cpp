#include "simvisualizationcontrol.h"

#include "layerboxes.h"
#include "ui_simvisualizationcontrol.h"

SimVisualizationControl::SimVisualizationControl(QWidget *parent) : QWidget(parent), ui(new Ui::SimVisualizationControl)
{
    ui->setupUi(this);
}

SimVisualizationControl::~SimVisualizationControl() = default;

void SimVisualizationControl::showLayers(Visualization *map)
{
    addLayerBoxes(ui->layout_groupBoxVehicles, LayerGroup::Vehicles, map);
    addLayerBoxes(ui->layout_groupBoxArea, LayerGroup::Area, map);
}
