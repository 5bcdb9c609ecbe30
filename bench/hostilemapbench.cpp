// Preparation cost of maps built to be expensive: many ways meeting at one node, one way of many
// node references (cut at every other node by side roads, or revisiting three nodes), and the
// figures of the network budget for the raw Helsinki extract that its defaults are set against.

#include "convert/networkbudget.h"
#include "convert/networkconvertor.h"
#include "convert/osmbusstopconvertor.h"
#include "model/bindingdata.h"
#include "model/simulationdata.h"
#include "osm/osmdata.h"
#include "osm/osmparser.h"
#include "tests/stderrcapture.h"

#include <benchmark/benchmark.h>

#include <QFile>
#include <QTemporaryDir>

#include <cmath>
#include <memory>

namespace {

struct Run
{
    OSMData osm;
    SimulationData sim;
    BindingData bindings;
};

Location offset(double eastMetres, double northMetres)
{
    const double metresPerDegree = 111320.0;
    return Location(60.17 + northMetres / metresPerDegree,
                    24.94 + eastMetres / (metresPerDegree * std::cos(60.17 * M_PI / 180.0)));
}

/// Converts the map `build` makes, timing reading-free preparation: bus stops and the conversion.
template <typename Build> void prepare(benchmark::State &state, Build build, const NetworkBudget &budget)
{
    StderrCapture silent;
    bool built = false;
    size_t cells = 0;
    for (auto _ : state) {
        state.PauseTiming();
        auto run = std::make_unique<Run>();
        build(run->osm);
        state.ResumeTiming();
        OSMBusStopConvertor::convert(&run->osm);
        NetworkConvertor convertor(&run->osm, &run->sim, &run->bindings);
        convertor.setBudget(budget);
        built = convertor.convert();
        cells = run->sim.cells.size();
        state.PauseTiming();
        run.reset();
        state.ResumeTiming();
    }
    state.counters["built"] = built ? 1 : 0;
    state.counters["cells"] = double(cells);
}

/// `arms` two-node roads meeting at node 1, evenly round it.
void BM_StarAtOneNode(benchmark::State &state)
{
    const int arms = int(state.range(0));
    NetworkBudget budget;
    budget.maxNodeArms = int32_t(state.range(1));
    prepare(
        state,
        [arms](OSMData &osm) {
            osm.addNode(1, offset(0, 0));
            for (int i = 0; i < arms; ++i) {
                const double b = 2 * M_PI * i / arms;
                osm.addNode(2 + i, offset(50 * std::sin(b), 50 * std::cos(b)));
                osm.addWay(100 + i, {1, 2 + i}, false, true, false, false, Residential, 1, 1);
            }
        },
        budget);
}
BENCHMARK(BM_StarAtOneNode)
    ->Args({400, 16})
    ->Args({16, 16})
    ->Args({25, 25})
    ->Args({50, 50})
    ->Unit(benchmark::kMillisecond);

/// One road of `refs` nodes, 5 m apart on a zigzag, with a side road at every other node when
/// `sideRoads` is set.
void BM_LongWay(benchmark::State &state)
{
    const int refs = int(state.range(0));
    const bool sideRoads = state.range(1) != 0;
    prepare(
        state,
        [refs, sideRoads](OSMData &osm) {
            std::vector<int64_t> nodes;
            for (int i = 0; i < refs; ++i) {
                osm.addNode(1 + i, offset(5.0 * i, (i % 2) * 2.0));
                nodes.push_back(1 + i);
                if (sideRoads && i % 2 == 1 && i + 1 < refs) {
                    osm.addNode(1000000 + i, offset(5.0 * i, 30.0));
                    osm.addWay(1000000 + i, {1 + i, 1000000 + i}, false, true, false, false, Residential, 1, 1);
                }
            }
            osm.addWay(1, nodes, false, true, false, false, Residential, 1, 1);
        },
        NetworkBudget());
}
BENCHMARK(BM_LongWay)->Args({10000, 0})->Args({10000, 1})->Args({20000, 1})->Unit(benchmark::kMillisecond);

/// One road element of `refs` node references going round three nodes, read from a file: the reader
/// keeps one round.
void BM_WayRevisitingThreeNodes(benchmark::State &state)
{
    const int refs = int(state.range(0));
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("revisit.osm"));
    QByteArray map =
        "<osm>\n <node id=\"1\" lat=\"60.170\" lon=\"24.940\"/>\n"
        " <node id=\"2\" lat=\"60.171\" lon=\"24.940\"/>\n <node id=\"3\" lat=\"60.171\" lon=\"24.942\"/>\n"
        " <way id=\"7\">";
    for (int i = 0; i < refs; ++i)
        map += "<nd ref=\"" + QByteArray::number(1 + i % 3) + "\"/>";
    map += "<tag k=\"highway\" v=\"residential\"/></way>\n</osm>\n";
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(map) != map.size()) {
        state.SkipWithError("cannot write the map");
        return;
    }
    file.close();
    prepare(
        state, [&path](OSMData &osm) { OSMParser::parseFile(path, &osm); }, NetworkBudget());
}
BENCHMARK(BM_WayRevisitingThreeNodes)->Arg(10000)->Unit(benchmark::kMillisecond);

/// Reports, as counters, what the budget measures on the raw Helsinki extract.
void BM_BudgetFiguresOfTheRawExtract(benchmark::State &state)
{
    const QString path = QStringLiteral(KOLVEX_SOURCE_DIR "/data/helsinki_centre.osm");
    StderrCapture silent;
    OSMData osm;
    if (!OSMParser::parseFile(path, &osm)) {
        state.SkipWithError("data/helsinki_centre.osm is missing");
        return;
    }
    NetworkBudget budget;
    for (auto _ : state)
        benchmark::DoNotOptimize(budget.problemWith(osm));
    // Lower each bound until the extract is refused: the last accepted value is its figure.
    auto smallestAccepted = [&osm](auto set) {
        int64_t low = 0, high = int64_t(1) << 40;
        while (high - low > 1) {
            const int64_t mid = low + (high - low) / 2;
            NetworkBudget b;
            set(b, mid);
            (b.problemWith(osm).empty() ? high : low) = mid;
        }
        return double(high);
    };
    state.counters["segment_m"] = smallestAccepted([](NetworkBudget &b, int64_t v) { b.maxSegmentMetres = double(v); });
    state.counters["way_cells"] = smallestAccepted([](NetworkBudget &b, int64_t v) { b.maxWayCells = v; });
    state.counters["network_cells"] = smallestAccepted([](NetworkBudget &b, int64_t v) { b.maxNetworkCells = v; });
    state.counters["node_arms"] =
        smallestAccepted([](NetworkBudget &b, int64_t v) { b.maxNodeArms = int32_t(std::min<int64_t>(v, 1 << 30)); });
}
BENCHMARK(BM_BudgetFiguresOfTheRawExtract)->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();
