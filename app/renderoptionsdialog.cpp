#include "renderoptionsdialog.h"

#include "layerboxes.h"
#include "ui_renderoptionsdialog.h"

RenderOptionsDialog::RenderOptionsDialog(QWidget *parent) : QDialog(parent), ui(new Ui::RenderOptionsDialog)
{
    ui->setupUi(this);
}

RenderOptionsDialog::~RenderOptionsDialog() = default;

void RenderOptionsDialog::showLayers(Visualization *map)
{
    addLayerBoxes(ui->layout_groupBoxStops, LayerGroup::Stops, map);
    addLayerBoxes(ui->layout_groupBoxCells, LayerGroup::Cells, map);
    addLayerBoxes(ui->layout_groupBoxEntities, LayerGroup::Entities, map);
}

void RenderOptionsDialog::on_btnClose_clicked()
{
    close();
}
