#ifndef KOLVEX_APP_SIMVISUALIZATIONCONTROL_H
#define KOLVEX_APP_SIMVISUALIZATIONCONTROL_H

#include <QWidget>

#include <memory>

namespace Ui {
class SimVisualizationControl;
}

/// The layer panel: one check box per everyday map layer. The window connects each box to the
/// map widget's switch of the same layer once a run has started.
class SimVisualizationControl : public QWidget
{
    Q_OBJECT
public:
    explicit SimVisualizationControl(QWidget *parent = nullptr);
    ~SimVisualizationControl() override;

private:
    std::unique_ptr<Ui::SimVisualizationControl> ui;
};

#endif
