// Painting the bundled city at the car cap: a full 1280 × 800 frame of the map widget with every
// layer on and tiles from disk, each layer on its own, and the pace of the step loop at 1 ms per
// step while the widget repaints after every step.

#include "engine/simulation.h"
#include "engine/simulationcontrol.h"
#include "engine/simulationthread.h"
#include "map/maptiledownloader.h"
#include "map/networkpainter.h"
#include "map/slippymap.h"
#include "map/vehiclepainter.h"
#include "map/visualization.h"
#include "model/simulationdata.h"
#include "osm/osmdata.h"
#include "tests/stderrcapture.h"

#include <benchmark/benchmark.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QPainter>
#include <QTemporaryDir>
#include <QThread>
#include <QTimer>

#include <algorithm>
#include <array>
#include <ctime>
#include <functional>
#include <memory>
#include <vector>

namespace {

constexpr int WIDTH = 1280;
constexpr int HEIGHT = 800;

std::unique_ptr<Simulation> prepareCity()
{
    auto simulation = std::make_unique<Simulation>(
        QStringLiteral(KOLVEX_SOURCE_DIR "/data/kesta_center_2014-04-15_compressed_edited.osm"),
        QStringLiteral(KOLVEX_SOURCE_DIR "/data/schedules.xml"), QTime(14, 0, 0));
    StderrCapture quiet;
    simulation->prepData();
    simulation->startSim();
    return simulation;
}

/// Waits with events processed until `done` holds or `ms` pass.
bool processUntil(const std::function<bool()> &done, int ms)
{
    QElapsedTimer timer;
    timer.start();
    while (!done() && timer.elapsed() < ms) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
        QThread::msleep(1);
    }
    return done();
}

/// The bundled city at the car cap shown by a 1280 × 800 map widget with tiles from a directory.
struct CityView
{
    std::unique_ptr<Simulation> simulation = prepareCity();
    SimulationData *data = simulation->simulationData();
    QTemporaryDir tiles;
    std::unique_ptr<Visualization> view;
    int tilesWanted = 0;

    CityView()
    {
        while (data->cars.size() < 667 && data->step < 20000)
            simulation->simulationControl()->step();
        fillTileDirectory();
        TileServer server;
        server.host = QStringLiteral("tiles.invalid"); // every tile is on disk: no request is made
        view = std::make_unique<Visualization>(nullptr, new MapTileDownloader(server, TileStore(tiles.path()), {}));
        view->resize(WIDTH, HEIGHT);
        view->map()->setViewWidth(WIDTH);
        view->map()->setViewHeight(HEIGHT);
        view->setSimulation(simulation.get());
        for (int l = 0; l < Visualization::LayerCount; ++l)
            view->setLayer(Visualization::Layer(l), true);
        const QRect r = view->map()->tilesRect();
        tilesWanted = (r.width() + 1) * (r.height() + 1);
        processUntil([this] { return view->map()->cachedTileCount() >= tilesWanted; }, 10000);
    }

    std::array<bool, Visualization::LayerCount> switches() const
    {
        std::array<bool, Visualization::LayerCount> on;
        for (int l = 0; l < Visualization::LayerCount; ++l)
            on[l] = view->layer(Visualization::Layer(l));
        return on;
    }
    void restore(const std::array<bool, Visualization::LayerCount> &on)
    {
        for (int l = 0; l < Visualization::LayerCount; ++l)
            view->setLayer(Visualization::Layer(l), on[l]);
    }

    /// Synthetic tiles over the city at zoom 15 to 18 (the benchmark must not load a tile server).
    void fillTileDirectory()
    {
        const TileStore store(tiles.path());
        double north = -90, south = 90, west = 180, east = -180;
        for (const Node *node : simulation->osmData()->nodes()->nodes()) {
            north = std::max(north, node->getLocation().lat);
            south = std::min(south, node->getLocation().lat);
            west = std::min(west, node->getLocation().lon);
            east = std::max(east, node->getLocation().lon);
        }
        for (int zoom = 15; zoom <= 17; ++zoom) {
            const QPointF a = SlippyMap::coordinateToTile(north, west, zoom);
            const QPointF b = SlippyMap::coordinateToTile(south, east, zoom);
            for (int x = int(a.x()) - 4; x <= int(b.x()) + 4; ++x)
                for (int y = int(a.y()) - 4; y <= int(b.y()) + 4; ++y) {
                    QImage tile(256, 256, QImage::Format_RGB32);
                    tile.fill(QColor(230 - (x % 7) * 5, 226, 218 - (y % 5) * 6));
                    QPainter p(&tile);
                    p.setPen(QColor(200, 200, 200));
                    for (int k = 0; k < 256; k += 32)
                        p.drawLine(0, k, 255, 255 - k);
                    p.end();
                    tile.save(store.filePath(TileKey{x, y, zoom}), "PNG");
                }
        }
    }
};

CityView &city()
{
    static CityView instance;
    return instance;
}

void reportMedian(benchmark::State &state, std::vector<double> &ms)
{
    std::sort(ms.begin(), ms.end());
    state.counters["median_ms"] = ms.empty() ? 0.0 : ms[ms.size() / 2];
    state.counters["cars"] = double(city().data->cars.size());
    state.counters["buses"] = double(city().data->buses.size());
    state.counters["trams"] = double(city().data->trams.size());
}

/// A frame while the simulation runs: the view stands still, so the network comes from the cached
/// images and the signals and vehicles are drawn anew. Every layer on, or (argument 0) the
/// layers a new window shows.
void BM_FullFrame(benchmark::State &state)
{
    CityView &c = city();
    const std::array<bool, Visualization::LayerCount> before = c.switches();
    if (state.range(0) == 0)
        c.view->setDefaultLayers();
    QImage frame(WIDTH, HEIGHT, QImage::Format_ARGB32_Premultiplied);
    std::vector<double> ms;
    QElapsedTimer clock;
    for (auto _ : state) {
        clock.start();
        QPainter painter(&frame);
        c.view->render(painter, frame.rect());
        painter.end();
        ms.push_back(clock.nsecsElapsed() / 1e6);
    }
    state.counters["tiles"] = c.view->map()->cachedTileCount();
    reportMedian(state, ms);
    c.restore(before);
}
BENCHMARK(BM_FullFrame)->Arg(1)->Arg(0)->ArgName("all_layers")->Unit(benchmark::kMillisecond)->Iterations(200);

/// A frame after the view moved (panning): every cached layer is painted again.
void BM_FullFrameAfterPan(benchmark::State &state)
{
    CityView &c = city();
    const std::array<bool, Visualization::LayerCount> before = c.switches();
    if (state.range(0) == 0)
        c.view->setDefaultLayers();
    QImage frame(WIDTH, HEIGHT, QImage::Format_ARGB32_Premultiplied);
    std::vector<double> ms;
    QElapsedTimer clock;
    int sign = 1;
    for (auto _ : state) {
        c.view->map()->panBy(QPoint(sign, 0));
        sign = -sign;
        clock.start();
        QPainter painter(&frame);
        c.view->render(painter, frame.rect());
        painter.end();
        ms.push_back(clock.nsecsElapsed() / 1e6);
    }
    reportMedian(state, ms);
    c.restore(before);
}
BENCHMARK(BM_FullFrameAfterPan)->Arg(1)->Arg(0)->ArgName("all_layers")->Unit(benchmark::kMillisecond)->Iterations(40);

/// Each layer alone, painted from scratch into a full frame.
void BM_Layer(benchmark::State &state, int layer)
{
    CityView &c = city();
    const SlippyMap &map = *c.view->map();
    QImage frame(WIDTH, HEIGHT, QImage::Format_ARGB32_Premultiplied);
    frame.fill(SlippyMap::BACKGROUND);
    std::vector<double> ms;
    QElapsedTimer clock;
    for (auto _ : state) {
        clock.start();
        QPainter painter(&frame);
        NetworkPainter::setupPainter(painter);
        NetworkPainter layers(painter, map, frame.rect());
        const OSMData &osm = *c.simulation->osmData();
        switch (layer) {
        case Visualization::Map:
            map.renderTiles(&painter, frame.rect());
            break;
        case Visualization::Routes:
            layers.routes(osm);
            break;
        case Visualization::StopPlatforms:
            layers.stopPlatforms();
            break;
        case Visualization::RoadEdges:
            layers.roadEdges();
            break;
        case Visualization::Rails:
            layers.rails();
            break;
        case Visualization::Semaphores:
            layers.semaphores();
            break;
        case Visualization::Cells:
            layers.cells(false, false);
            break;
        case Visualization::CrossCells:
            layers.cells(true, false);
            break;
        case Visualization::CellsConnections:
            layers.cells(false, true);
            break;
        case Visualization::Ways:
            layers.ways(osm);
            break;
        case Visualization::StopsBus:
            layers.busStops(osm);
            break;
        case Visualization::StopsTram:
            layers.tramStops(osm);
            break;
        case Visualization::Nodes:
            layers.nodeIds(osm);
            break;
        case Visualization::Generators:
            layers.generators(*c.data);
            break;
        case Visualization::Crossroads:
            layers.crossroads(*c.data);
            break;
        case Visualization::Cars:
        case Visualization::VehiclesFancy: {
            VehicleSnapshot snapshot;
            snapshot.take(*c.data, true, true, true);
            VehiclePainter(painter, map, frame.rect()).draw(snapshot, layer == Visualization::VehiclesFancy);
            break;
        }
        default:
            break;
        }
        painter.end();
        ms.push_back(clock.nsecsElapsed() / 1e6);
    }
    reportMedian(state, ms);
}
BENCHMARK_CAPTURE(BM_Layer, map_tiles, int(Visualization::Map))->Unit(benchmark::kMillisecond)->Iterations(50);
BENCHMARK_CAPTURE(BM_Layer, routes, int(Visualization::Routes))->Unit(benchmark::kMillisecond)->Iterations(50);
BENCHMARK_CAPTURE(BM_Layer, stop_platforms, int(Visualization::StopPlatforms))
    ->Unit(benchmark::kMillisecond)
    ->Iterations(50);
BENCHMARK_CAPTURE(BM_Layer, road_edges, int(Visualization::RoadEdges))->Unit(benchmark::kMillisecond)->Iterations(50);
BENCHMARK_CAPTURE(BM_Layer, rails, int(Visualization::Rails))->Unit(benchmark::kMillisecond)->Iterations(50);
BENCHMARK_CAPTURE(BM_Layer, semaphores, int(Visualization::Semaphores))->Unit(benchmark::kMillisecond)->Iterations(50);
BENCHMARK_CAPTURE(BM_Layer, cells, int(Visualization::Cells))->Unit(benchmark::kMillisecond)->Iterations(50);
BENCHMARK_CAPTURE(BM_Layer, cells_and_crossroad_cells, int(Visualization::CrossCells))
    ->Unit(benchmark::kMillisecond)
    ->Iterations(20);
BENCHMARK_CAPTURE(BM_Layer, cells_and_connections, int(Visualization::CellsConnections))
    ->Unit(benchmark::kMillisecond)
    ->Iterations(20);
BENCHMARK_CAPTURE(BM_Layer, vehicles_simple, int(Visualization::Cars))->Unit(benchmark::kMillisecond)->Iterations(50);
BENCHMARK_CAPTURE(BM_Layer, vehicles_fancy, int(Visualization::VehiclesFancy))
    ->Unit(benchmark::kMillisecond)
    ->Iterations(50);
BENCHMARK_CAPTURE(BM_Layer, ways, int(Visualization::Ways))->Unit(benchmark::kMillisecond)->Iterations(20);
BENCHMARK_CAPTURE(BM_Layer, bus_stops, int(Visualization::StopsBus))->Unit(benchmark::kMillisecond)->Iterations(50);
BENCHMARK_CAPTURE(BM_Layer, tram_stops, int(Visualization::StopsTram))->Unit(benchmark::kMillisecond)->Iterations(50);
BENCHMARK_CAPTURE(BM_Layer, node_ids, int(Visualization::Nodes))->Unit(benchmark::kMillisecond)->Iterations(20);
BENCHMARK_CAPTURE(BM_Layer, generators, int(Visualization::Generators))->Unit(benchmark::kMillisecond)->Iterations(50);
BENCHMARK_CAPTURE(BM_Layer, crossroads, int(Visualization::Crossroads))->Unit(benchmark::kMillisecond)->Iterations(50);

/// How long a frame holds the vehicles mutex: the copy of what is drawn of every vehicle.
void BM_VehicleSnapshot(benchmark::State &state)
{
    CityView &c = city();
    std::vector<double> us;
    QElapsedTimer clock;
    VehicleSnapshot snapshot;
    for (auto _ : state) {
        clock.start();
        snapshot.take(*c.data, true, true, true);
        us.push_back(clock.nsecsElapsed() / 1e3);
    }
    std::sort(us.begin(), us.end());
    state.counters["median_us"] = us[us.size() / 2];
    state.counters["cells"] = double(snapshot.cells.size());
}
BENCHMARK(BM_VehicleSnapshot)->Unit(benchmark::kMicrosecond)->Iterations(500);

/// The step loop at its fastest pace (1 ms per step) for a few seconds, with or without the map
/// widget shown and repainting after every step; counts the steps done per wall-clock second.
void BM_StepLoopPace(benchmark::State &state, bool withMap)
{
    for (auto _ : state) {
        std::unique_ptr<Simulation> simulation = prepareCity();
        SimulationData *data = simulation->simulationData();
        while (data->cars.size() < 667 && data->step < 20000)
            simulation->simulationControl()->step();
        SimulationThread *loop = simulation->simulationThread();
        std::unique_ptr<Visualization> view;
        int frames = 0;
        if (withMap) {
            TileServer server;
            server.host = QStringLiteral("tiles.invalid");
            view = std::make_unique<Visualization>(nullptr,
                                                   new MapTileDownloader(server, TileStore(city().tiles.path()), {}));
            view->resize(WIDTH, HEIGHT);
            view->setSimulation(simulation.get());
            view->show();
            QObject::connect(loop, &SimulationThread::updateVehicles, view.get(), &Visualization::updateVehicles);
            processUntil([] { return false; }, 500); // tiles in, first frames painted
        }
        for (int i = 0; i < 8; ++i)
            QMetaObject::invokeMethod(loop, "decSimStep", Qt::QueuedConnection);
        processUntil([loop] { return loop->stepSize() == 1; }, 2000);
        // CPU time of the step thread itself: what the steps cost, whatever else the machine runs.
        const auto stepThreadCpuMs = [loop] {
            double ms = 0.0;
            QMetaObject::invokeMethod(
                loop,
                [] {
                    timespec t{};
                    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
                    return t.tv_sec * 1e3 + t.tv_nsec / 1e6;
                },
                Qt::BlockingQueuedConnection, &ms);
            return ms;
        };
        const auto ownCpuMs = [] {
            timespec t{};
            clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
            return t.tv_sec * 1e3 + t.tv_nsec / 1e6;
        };
        const double cpuStart = stepThreadCpuMs();
        const double guiCpuStart = ownCpuMs();
        const int startStep = data->step;
        QElapsedTimer clock;
        clock.start();
        QMetaObject::invokeMethod(loop, "startSim", Qt::QueuedConnection);
        // Count the frames the widget paints.
        struct PaintCounter : QObject
        {
            int *frames;
            explicit PaintCounter(int *f) : frames(f) {}
            bool eventFilter(QObject *, QEvent *e) override
            {
                if (e->type() == QEvent::Paint)
                    ++*frames;
                return false;
            }
        } paintCounter(&frames);
        if (view)
            view->installEventFilter(&paintCounter);
        processUntil([] { return false; }, 5000);
        const double seconds = clock.nsecsElapsed() / 1e9;
        state.counters["gui_thread_cpu_share"] = (ownCpuMs() - guiCpuStart) / (seconds * 1e3);
        const int steps = data->step - startStep;
        QMetaObject::invokeMethod(loop, "stopSim", Qt::BlockingQueuedConnection);
        state.counters["step_thread_cpu_ms_per_step"] = (stepThreadCpuMs() - cpuStart) / std::max(steps, 1);
        if (view)
            view->removeEventFilter(&paintCounter);
        state.counters["steps_per_s"] = steps / seconds;
        state.counters["frames_per_s"] = frames / seconds;
        state.counters["idle_pct"] = loop->pacer().idlePercent();
        state.counters["cars"] = double(data->cars.size());
    }
}
BENCHMARK_CAPTURE(BM_StepLoopPace, without_map, false)->Unit(benchmark::kMillisecond)->Iterations(1);
BENCHMARK_CAPTURE(BM_StepLoopPace, with_map_repainting, true)->Unit(benchmark::kMillisecond)->Iterations(1);

} // namespace

int main(int argc, char **argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    return 0;
}
