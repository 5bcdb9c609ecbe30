#ifndef KOLVEX_APP_SIMVISUALIZATIONCONTROL_H
#define KOLVEX_APP_SIMVISUALIZATIONCONTROL_H

#include <QWidget>

#include <memory>

class Visualization;

namespace Ui {
class SimVisualizationControl;
}

/// The layer panel: one check box per everyday map layer, switching that layer of the map widget.
class SimVisualizationControl : public QWidget
{
    Q_OBJECT
public:
    explicit SimVisualizationControl(QWidget *parent = nullptr);
    ~SimVisualizationControl() override;

    /// Adds the boxes of the everyday layers of `map` (not owned; it must outlive the panel).
    void showLayers(Visualization *map);

private:
    std::unique_ptr<Ui::SimVisualizationControl> ui;
};

#endif
