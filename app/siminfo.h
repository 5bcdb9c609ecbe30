#ifndef KOLVEX_APP_SIMINFO_H
#define KOLVEX_APP_SIMINFO_H

#include <QWidget>

#include <memory>

class Simulation;
struct StepFrame;

namespace Ui {
class SimInfo;
}

/// The statistics panel: clock, step, vehicle counts and the pace of the step loop, as a step's
/// frame gives them, and the figures that repeat the run.
class SimInfo : public QWidget
{
    Q_OBJECT
public:
    explicit SimInfo(QWidget *parent = nullptr);
    ~SimInfo() override;

    /// Shows the figures of `frame`.
    void showFrame(const StepFrame &frame);
    /// Shows what the prepared `run` was started with.
    void showRun(const Simulation &run);
    /// Shows the figures of no run.
    void clear();

private:
    std::unique_ptr<Ui::SimInfo> ui;
};

#endif
