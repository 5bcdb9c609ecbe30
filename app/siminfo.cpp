#include "siminfo.h"

#include "inputfiles.h"

#include "engine/simulation.h"
#include "engine/stepframe.h"
#include "ui_siminfo.h"

SimInfo::SimInfo(QWidget *parent) : QWidget(parent), ui(new Ui::SimInfo)
{
    ui->setupUi(this);
}

SimInfo::~SimInfo() = default;

void SimInfo::showFrame(const StepFrame &frame)
{
    const TrafficCounts &c = frame.counts;
    ui->lBusCount->setText(QString::number(c.buses));
    ui->lCarCount->setText(QString::number(c.cars));
    ui->lTramCount->setText(QString::number(c.trams));
    ui->lVehicleCount->setText(QString::number(c.vehicles()));
    ui->lSimTime->setText(frame.time.toString(QStringLiteral("hh:mm:ss.zzz")));
    ui->lSimStep->setText(QString::number(uint32_t(frame.step)));
    ui->lIdleTime->setText(QStringLiteral("%1%").arg(frame.idlePercent));
    ui->lOverTime->setText(QStringLiteral("%1 msec").arg(frame.overtime));
}

void SimInfo::showRun(const Simulation &run)
{
    ui->lStartTime->setText(run.simInitTime().toString(QStringLiteral("hh:mm:ss")));
    ui->lSeed->setText(QString::number(run.runSeed()));
    const LineCreationReport &lines = run.lineReport();
    ui->lLines->setText(QStringLiteral("%1 of %2").arg(lines.created).arg(lines.schedules));
    ui->lLinesLeftOut->setText(InputFiles::linesLeftOut(run));
}

void SimInfo::clear()
{
    StepFrame none;
    none.time = QTime(0, 0);
    showFrame(none);
    const QString unknown = QStringLiteral("–");
    ui->lStartTime->setText(unknown);
    ui->lSeed->setText(unknown);
    ui->lLines->setText(unknown);
    ui->lLinesLeftOut->clear();
}
