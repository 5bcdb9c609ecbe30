#ifndef KOLVEX_APP_SIMTIMECONTROL_H
#define KOLVEX_APP_SIMTIMECONTROL_H

#include <QWidget>

#include <memory>

namespace Ui {
class SimTimeControl;
}

/// The time panel: start, stop and single-step the run, make it faster or slower. It only emits
/// requests; the window connects them to the step loop and feeds the step size back.
class SimTimeControl : public QWidget
{
    Q_OBJECT
public:
    explicit SimTimeControl(QWidget *parent = nullptr);
    ~SimTimeControl() override;

signals:
    void start();
    void stop();
    void step();
    /// Longer steps: slower.
    void incStep();
    /// Shorter steps: faster.
    void decStep();

public slots:
    /// Shows the speed relative to real time; stepPos 0 is the slowest, 2 the fastest pace.
    void setNewStepSize(uint newStepSize, int stepPos);
    void setStartButtonEnabled(bool enabled);
    void setStopButtonEnabled(bool enabled);
    void setStepButtonEnabled(bool enabled);
    void switchEnable();

private slots:
    void on_startButton_clicked();
    void on_stopButton_clicked();
    void on_stepButton_clicked();
    void on_incStepButton_clicked();
    void on_decStepButton_clicked();

private:
    std::unique_ptr<Ui::SimTimeControl> ui;
};

#endif
