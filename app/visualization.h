#ifndef KOLVEX_APP_VISUALIZATION_H
#define KOLVEX_APP_VISUALIZATION_H

// Temporary stand-in for the map widget of map/, with its public interface; it draws the cars as
// dots on a plain background. Goes away when the real widget is merged.

#include <QObject>
#include <QWidget>

class Simulation;
struct SimulationData;

class SlippyMap : public QObject
{
    Q_OBJECT
public:
    using QObject::QObject;
public slots:
    void zoomIn() {}
    void zoomOut() {}
};

class Visualization : public QWidget
{
    Q_OBJECT
public:
    explicit Visualization(QWidget *parent = nullptr);

    void setSimulation(Simulation *simulation);
    SlippyMap *getMap() const { return map; }

#define KOLVEX_LAYER(Name, on)                                                                                         \
public:                                                                                                                \
    bool getPaint##Name() const                                                                                        \
    {                                                                                                                  \
        return paint##Name;                                                                                            \
    }                                                                                                                  \
public slots:                                                                                                          \
    void changePaint##Name(int state)                                                                                  \
    {                                                                                                                  \
        if (state != Qt::PartiallyChecked)                                                                             \
            paint##Name = state == Qt::Checked;                                                                        \
        update();                                                                                                      \
    }                                                                                                                  \
                                                                                                                       \
private:                                                                                                               \
    bool paint##Name = on;
    KOLVEX_LAYER(Cells, false)
    KOLVEX_LAYER(CrossCells, false)
    KOLVEX_LAYER(CellsConnections, false)
    KOLVEX_LAYER(Crossroads, false)
    KOLVEX_LAYER(Generators, false)
    KOLVEX_LAYER(Map, true)
    KOLVEX_LAYER(Nodes, false)
    KOLVEX_LAYER(Rails, true)
    KOLVEX_LAYER(RoadEdges, true)
    KOLVEX_LAYER(StopPlatforms, true)
    KOLVEX_LAYER(StopsBus, false)
    KOLVEX_LAYER(StopsTram, false)
    KOLVEX_LAYER(Cars, true)
    KOLVEX_LAYER(Buses, true)
    KOLVEX_LAYER(Trams, true)
    KOLVEX_LAYER(VehiclesFancy, true)
    KOLVEX_LAYER(Routes, false)
    KOLVEX_LAYER(Semaphores, true)
    KOLVEX_LAYER(Ways, false)
#undef KOLVEX_LAYER

private slots:
    void updateMap()
    {
        update();
    }

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    SlippyMap *map;
    SimulationData *simulationData = nullptr;
};

#endif
