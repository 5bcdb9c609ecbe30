#include "simvisualizationcontrol.h"

#include "ui_simvisualizationcontrol.h"

SimVisualizationControl::SimVisualizationControl(QWidget *parent) : QWidget(parent), ui(new Ui::SimVisualizationControl)
{
    ui->setupUi(this);
}

SimVisualizationControl::~SimVisualizationControl() = default;
