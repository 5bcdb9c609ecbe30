// Painting the bundled city at the car cap: a 1280 × 800 frame of the map widget with tiles
// from disk, layer by layer and all together, and the pace of the step loop at 1 ms per step while
// the widget repaints after every step.

#include "engine/simulation.h"
#include "engine/simulationcontrol.h"
#include "engine/simulationthread.h"
#include "map/maptiledownloader.h"
#include "map/slippymap.h"
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
    // At their own pace the generators keep about 350 cars in the flowing city: feed it four times
    // as fast to fill it to the car cap.
    simulation->simulationData()->feedGenerators(4);
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
        const QRect r = view->map()->tilesRect();
        tilesWanted = (r.width() + 1) * (r.height() + 1);
        processUntil([this] { return view->map()->cachedTileCount() >= tilesWanted; }, 10000);
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

constexpr int ALL_LAYERS = Visualization::LayerCount;
constexpr int DEFAULT_LAYERS = Visualization::LayerCount + 1;

/// A frame of the city: argument 0 picks the layers (one layer alone by its index, every layer,
/// or the layers a new window shows); argument 1 says whether the view moved before the frame.
/// While the simulation runs the view stands still, so the network comes from the cached images
/// and only the signals and vehicles are drawn anew; after a pan or zoom the network is drawn once.
void BM_Frame(benchmark::State &state)
{
    static const char *const names[] = {
        "cells", "crossroad cells", "connections",    "crossroads", "generators", "map",        "node ids",
        "rails", "road edges",      "stop platforms", "bus stops",  "tram stops", "cars",       "buses",
        "trams", "fancy vehicles",  "routes",         "semaphores", "ways",       "all layers", "default layers"};
    CityView &c = city();
    const int layers = int(state.range(0));
    const bool viewMoves = state.range(1) != 0;
    c.view->setDefaultLayers();
    if (layers != DEFAULT_LAYERS)
        for (int l = 0; l < Visualization::LayerCount; ++l)
            c.view->setLayer(Visualization::Layer(l), layers == ALL_LAYERS || l == layers);
    if (layers == Visualization::VehiclesFancy) // a way of drawing vehicles, not a layer of its own
        for (Visualization::Layer kind : {Visualization::Cars, Visualization::Buses, Visualization::Trams})
            c.view->setLayer(kind, true);
    QImage frame(WIDTH, HEIGHT, QImage::Format_ARGB32_Premultiplied);
    std::vector<double> ms;
    QElapsedTimer clock;
    int nudge = 1;
    for (auto _ : state) {
        if (viewMoves)
            c.view->map()->panBy(QPoint(nudge = -nudge, 0));
        clock.start();
        QPainter painter(&frame);
        c.view->render(painter, frame.rect());
        painter.end();
        ms.push_back(clock.nsecsElapsed() / 1e6);
    }
    std::sort(ms.begin(), ms.end());
    state.counters["median_ms"] = ms.empty() ? 0.0 : ms[ms.size() / 2];
    state.SetLabel(names[layers]);
}
BENCHMARK(BM_Frame)
    ->ArgsProduct({benchmark::CreateDenseRange(0, DEFAULT_LAYERS, 1), {0, 1}})
    ->ArgNames({"layers", "view_moved"})
    ->Unit(benchmark::kMillisecond)
    ->Iterations(60);

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
        const auto ownCpuMs = [] {
            timespec t{};
            clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
            return t.tv_sec * 1e3 + t.tv_nsec / 1e6;
        };
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
