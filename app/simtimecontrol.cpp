#include "simtimecontrol.h"

#include "ui_simtimecontrol.h"

#include "model/units.h"

SimTimeControl::SimTimeControl(QWidget *parent) : QWidget(parent), ui(new Ui::SimTimeControl)
{
    ui->setupUi(this);
}

SimTimeControl::~SimTimeControl() = default;

void SimTimeControl::setNewStepSize(uint newStepSize, int stepPos)
{
    // A step size of one step's simulated milliseconds, in wall-clock milliseconds, is real time.
    ui->stepSizeLabel->setText(
        QStringLiteral("%1x").arg(double(units::STEP_MS) / double(qMax(newStepSize, 1u)), 0, 'f', 1));
    ui->incStepButton->setEnabled(stepPos != 0);
    ui->decStepButton->setEnabled(stepPos == 0 || stepPos == 1);
}

void SimTimeControl::setStartButtonEnabled(bool enabled)
{
    ui->startButton->setEnabled(enabled);
}

void SimTimeControl::setStopButtonEnabled(bool enabled)
{
    ui->stopButton->setEnabled(enabled);
}

void SimTimeControl::setStepButtonEnabled(bool enabled)
{
    ui->stepButton->setEnabled(enabled);
}

void SimTimeControl::switchEnable()
{
    ui->startButton->setEnabled(!ui->startButton->isEnabled());
    ui->stopButton->setEnabled(!ui->stopButton->isEnabled());
    ui->stepButton->setEnabled(!ui->stepButton->isEnabled());
}

void SimTimeControl::on_startButton_clicked()
{
    emit start();
    setStartButtonEnabled(false);
    setStopButtonEnabled(true);
    setStepButtonEnabled(false);
}

void SimTimeControl::on_stopButton_clicked()
{
    emit stop();
    setStopButtonEnabled(false);
    setStartButtonEnabled(true);
    setStepButtonEnabled(true);
}

void SimTimeControl::on_stepButton_clicked()
{
    emit step();
}

void SimTimeControl::on_incStepButton_clicked()
{
    emit incStep();
}

void SimTimeControl::on_decStepButton_clicked()
{
    emit decStep();
}
