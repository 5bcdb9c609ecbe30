#ifndef KOLVEX_APP_SIMINFO_H
#define KOLVEX_APP_SIMINFO_H

#include "simstatistics.h"

#include <QWidget>

#include <memory>

class Simulation;
class SimulationThread;
struct SimulationData;

namespace Ui {
class SimInfo;
}

/// The statistics panel: clock, step, vehicle counts and the pace of the step loop, read from the
/// run after every step.
class SimInfo : public QWidget
{
    Q_OBJECT
public:
    explicit SimInfo(QWidget *parent = nullptr);
    ~SimInfo() override;

    /// Reads from this run from now on; null stops reading. The run is not owned.
    void setSimulation(const Simulation *simulation);

signals:
    /// The reading just shown, for the live plot.
    void statisticsRead(const SimStatistics &statistics);

public slots:
    void updateInfo();

private:
    std::unique_ptr<Ui::SimInfo> ui;
    const SimulationData *simulationData = nullptr;
    const SimulationThread *simulationThread = nullptr;
};

#endif
