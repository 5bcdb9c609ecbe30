#ifndef KOLVEX_MAP_VISUALIZATION_H
#define KOLVEX_MAP_VISUALIZATION_H

#include "layercache.h"

#include <QElapsedTimer>
#include <QPoint>
#include <QWidget>

#include <array>
#include <memory>

class BindingData;
class MapTileDownloader;
class OSMData;
class Simulation;
class SlippyMap;
struct SimulationData;
struct StepFrame;

/// The map widget: map tiles under the road and rail network and the moving vehicles, with one
/// on/off switch per layer, panning with the left mouse button and zooming with the wheel around
/// the cursor.
///
/// Runs in the GUI thread. The network does not change during a run, so its layers are painted
/// once per view (position, zoom, size, switches, tiles) into cached images; each paint draws the
/// signals and the vehicles of the latest step frame over them. What changes during a run is read
/// from the frame only, never from the run itself.
class Visualization : public QWidget
{
    Q_OBJECT
public:
    /// Every layer, in the order of the switches.
    enum Layer {
        Cells,
        CrossCells,
        CellsConnections,
        Crossroads,
        Generators,
        Map,
        Nodes,
        Rails,
        RoadEdges,
        StopPlatforms,
        StopsBus,
        StopsTram,
        Cars,
        Buses,
        Trams,
        VehiclesFancy,
        Routes,
        Semaphores,
        Ways,
        LayerCount
    };

    /// "© OpenStreetMap contributors", shown in a corner while map tiles are drawn.
    static const QString ATTRIBUTION;
    /// Repaints caused by simulation steps are spaced at least this far apart (60 per second).
    static constexpr int FRAME_INTERVAL_MS = 16;

    /// `tileSource`: the tile downloader for the map to own; null for the default server and
    /// tile directory.
    explicit Visualization(QWidget *parent = nullptr, MapTileDownloader *tileSource = nullptr);
    ~Visualization() override;

    /// Shows the prepared network of `simulation` (not owned; it must outlive its display or be
    /// replaced first) with its latest frame: centres the map on it and collects the static
    /// geometry. Null shows tiles only.
    void setSimulation(Simulation *simulation);
    /// The same from the parts of a run, for tools and tests without a Simulation object; the
    /// vehicles and lights come with showFrame.
    void setData(OSMData *osm, SimulationData *data, BindingData *bindings);
    /// The frame whose vehicles and lights are painted; null before a run.
    const StepFrame *frame() const { return m_frame.get(); }

    SlippyMap *map() const { return m_map; }
    bool layer(Layer which) const { return switches[which]; }
    void setLayer(Layer which, bool on);
    /// The switches of a new widget: tiles, rails, road edges, stop platforms, signals and every
    /// vehicle, drawn fancily.
    void setDefaultLayers();

    /// Paints one whole frame into `painter` (what a paint event of the full widget draws).
    void render(QPainter &painter, const QRect &exposed);

public slots:
    /// Drops the cached tiles far from the view.
    void purgeTiles();
    /// Paints the vehicles and lights of `frame` (a step's) from now on; repaints at most once per
    /// FRAME_INTERVAL_MS, however fast the steps come.
    void showFrame(std::shared_ptr<const StepFrame> frame);
    /// Repaints the whole widget (what the step loop's updateVehicles is connected to).
    void updateMap();
    /// Repaints the region `r`.
    void updateMap(QRect r);

protected:
    void mousePressEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;
    void wheelEvent(QWheelEvent *event) override;
    void paintEvent(QPaintEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;

private:
    /// Rotates the wheel by `delta` (120 per notch) with the cursor at `position`.
    void wheelBy(int delta, const QPoint &position);
    /// The switches and view that a cached group of layers depends on.
    quint64 staticKey(std::initializer_list<Layer> layers) const;

    SlippyMap *m_map;
    bool pressed = false;
    QPoint lastPos;
    QPoint pressPos;
    std::array<bool, LayerCount> switches;
    OSMData *osm = nullptr;
    SimulationData *simData = nullptr;
    BindingData *bindings = nullptr;
    std::shared_ptr<const StepFrame> m_frame;
    int wheelAccumulator = 0;
    /// Tiles and the network under the signals; cells under the vehicles; labels and marks over them.
    LayerCache below, cells, above;
    QElapsedTimer sinceFrame;
    bool framePending = false;
};

#endif
