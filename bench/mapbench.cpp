// Painting the bundled city at the car cap: a 1280 × 800 frame of the map widget with tiles
// from disk, layer by layer and all together; the copy of a step's frame; and the pace of the step
// loop at 1 ms per step while the widget repaints after every step.

#include "engine/simulation.h"
#include "engine/simulationcontrol.h"
#include "engine/simulationthread.h"
#include "engine/stepframe.h"
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

#include <algorithm>
#include <ctime>
#include <functional>
#include <memory>
#include <vector>

namespace {

constexpr int WIDTH = 1280;
constexpr int HEIGHT = 800;

/// The bundled city filled to the car cap, not yet running.
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
    SimulationData *data = simulation->simulationData();
    data->feedGenerators(4);
    while (data->cars.size() < data->maxCars && data->step < 20000)
        simulation->simulationControl()->step();
    return simulation;
}

/// A 1280 × 800 map widget showing `simulation` with the tiles of `tileDir` (no request is made).
std::unique_ptr<Visualization> makeView(Simulation *simulation, const QString &tileDir)
{
    TileServer server;
    server.host = QStringLiteral("tiles.invalid");
    auto view = std::make_unique<Visualization>(nullptr, new MapTileDownloader(server, TileStore(tileDir), {}));
    view->resize(WIDTH, HEIGHT);
    view->map()->setViewWidth(WIDTH);
    view->map()->setViewHeight(HEIGHT);
    view->setSimulation(simulation);
    return view;
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

/// The bundled city at the car cap shown by the map widget with synthetic tiles from a directory.
struct CityView
{
    std::unique_ptr<Simulation> simulation = prepareCity();
    QTemporaryDir tiles;
    std::unique_ptr<Visualization> view;

    CityView()
    {
        fillTileDirectory();
        view = makeView(simulation.get(), tiles.path());
        // The city was stepped here, not by its loop: show a frame of it as it stands.
        auto frame = std::make_shared<StepFrame>();
        frame->capture(*simulation->simulationData());
        view->showFrame(frame);
        const QRect r = view->map()->tilesRect();
        const int tilesWanted = (r.width() + 1) * (r.height() + 1);
        processUntil([this, tilesWanted] { return view->map()->cachedTileCount() >= tilesWanted; }, 10000);
    }

    /// Plain tiles over the city at zoom 15 to 17 (the benchmark must not load a tile server).
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
        QImage tile(256, 256, QImage::Format_RGB32);
        for (int zoom = 15; zoom <= 17; ++zoom) {
            const QPointF a = SlippyMap::coordinateToTile(north, west, zoom);
            const QPointF b = SlippyMap::coordinateToTile(south, east, zoom);
            for (int x = int(a.x()) - 4; x <= int(b.x()) + 4; ++x)
                for (int y = int(a.y()) - 4; y <= int(b.y()) + 4; ++y) {
                    tile.fill(QColor(230 - (x % 7) * 5, 226, 218 - (y % 5) * 6));
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

/// The copy of the city at the car cap into a frame whose storage is reused, as the step loop
/// does after every step (the only part of showing a step that costs the stepping thread).
void BM_FrameCapture(benchmark::State &state)
{
    const SimulationData &data = *city().simulation->simulationData();
    StepFrame frame;
    std::vector<double> us;
    QElapsedTimer clock;
    for (auto _ : state) {
        clock.start();
        frame.capture(data);
        us.push_back(clock.nsecsElapsed() / 1e3);
    }
    std::sort(us.begin(), us.end());
    state.counters["median_us"] = us[us.size() / 2];
    state.counters["vehicles"] = double(frame.vehicles.size());
    state.counters["cells"] = double(frame.cells.size());
}
BENCHMARK(BM_FrameCapture)->Unit(benchmark::kMicrosecond)->Iterations(2000);

/// Counts the frames a widget paints.
struct FrameCounter : QObject
{
    int count = 0;
    bool eventFilter(QObject *, QEvent *e) override
    {
        count += e->type() == QEvent::Paint;
        return false;
    }
};

/// CPU time of the calling thread.
double threadCpuMs()
{
    timespec t{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return t.tv_sec * 1e3 + t.tv_nsec / 1e6;
}

/// The step loop at its fastest pace (1 ms per step) for a few seconds, with or without the map
/// widget shown and repainting after every step; counts the steps done per wall-clock second.
void BM_StepLoopPace(benchmark::State &state, bool withMap)
{
    for (auto _ : state) {
        std::unique_ptr<Simulation> simulation = prepareCity();
        SimulationData *data = simulation->simulationData();
        SimulationThread *loop = simulation->simulationThread();
        std::unique_ptr<Visualization> view;
        FrameCounter frames;
        if (withMap) {
            view = makeView(simulation.get(), city().tiles.path());
            view->show();
            view->installEventFilter(&frames);
            Visualization *shown = view.get();
            QObject::connect(loop, &SimulationThread::updateVehicles, shown,
                             [shown, loop] { shown->showFrame(loop->latestFrame()); });
            processUntil([] { return false; }, 500); // tiles in, first frames painted
        }
        for (int i = 0; i < 8; ++i)
            QMetaObject::invokeMethod(loop, "decSimStep", Qt::QueuedConnection);
        processUntil([loop] { return loop->stepSize() == 1; }, 2000);
        const double guiCpuStart = threadCpuMs();
        const int startStep = data->step, startFrames = frames.count;
        QElapsedTimer clock;
        clock.start();
        QMetaObject::invokeMethod(loop, "startSim", Qt::QueuedConnection);
        processUntil([] { return false; }, 5000);
        const double seconds = clock.nsecsElapsed() / 1e9;
        state.counters["gui_thread_cpu_share"] = (threadCpuMs() - guiCpuStart) / (seconds * 1e3);
        state.counters["steps_per_s"] = (data->step - startStep) / seconds;
        state.counters["frames_per_s"] = (frames.count - startFrames) / seconds;
        QMetaObject::invokeMethod(loop, "stopSim", Qt::BlockingQueuedConnection);
        state.counters["idle_pct"] = loop->latestFrame()->idlePercent;
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
