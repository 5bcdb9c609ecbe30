#include "siminfo.h"

#include "engine/simulation.h"
#include "ui_siminfo.h"

SimInfo::SimInfo(QWidget *parent) : QWidget(parent), ui(new Ui::SimInfo)
{
    ui->setupUi(this);
}

SimInfo::~SimInfo() = default;

void SimInfo::setSimulation(const Simulation *simulation)
{
    simulationData = simulation ? simulation->simulationData() : nullptr;
    simulationThread = simulation ? simulation->simulationThread() : nullptr;
}

void SimInfo::updateInfo()
{
    if (!simulationData)
        return;
    const SimStatistics s = SimStatistics::read(simulationData, simulationThread);
    ui->lBusCount->setText(QString::number(s.buses));
    ui->lCarCount->setText(QString::number(s.cars));
    ui->lTramCount->setText(QString::number(s.trams));
    ui->lVehicleCount->setText(QString::number(s.vehicles()));
    ui->lSimTime->setText(s.time.toString(QStringLiteral("hh:mm:ss.zzz")));
    ui->lSimStep->setText(QString::number(uint32_t(s.step)));
    ui->lIdleTime->setText(QStringLiteral("%1%").arg(s.idlePercent));
    ui->lOverTime->setText(QStringLiteral("%1 msec").arg(s.overtime));
    emit statisticsRead(s);
}
