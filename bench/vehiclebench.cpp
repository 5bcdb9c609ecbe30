// One car decision on hand-built chains: a long straight one and a winding one.

#include "geo/geodesy.h"
#include "model/car.h"
#include "model/cell.h"
#include "model/simulationdata.h"

#include <benchmark/benchmark.h>

#include <atomic>
#include <cstdlib>
#include <new>
#include <vector>

namespace {
/// Heap allocations made by this program, to show that a decision allocates nothing.
std::atomic<long> allocations{0};
} // namespace

void *operator new(std::size_t size)
{
    ++allocations;
    if (void *p = std::malloc(size ? size : 1))
        return p;
    throw std::bad_alloc();
}

void operator delete(void *p) noexcept
{
    std::free(p);
}

void operator delete(void *p, std::size_t) noexcept
{
    std::free(p);
}

namespace {

/// A car held at a fixed speed, so every iteration decides the same situation.
class BenchCar : public Car
{
public:
    BenchCar(SimulationData &run, int32_t speed) : Car(run)
    {
        m_length = 16;
        m_speed = speed;
        m_nextSpeed = speed;
    }
    void reset() { m_nextSpeed = m_speed; }
};

/// A chain of `count` cells 0.25 m apart; every `bendEvery` cells the heading turns by `bend`
/// degrees, alternately left and right, so the chain winds but stays straight on average.
std::vector<Cell *> buildChain(SimulationData &data, int count, int bendEvery, double bend)
{
    std::vector<Cell *> chain;
    Location at(50.0, 14.0);
    double heading = 90.0;
    int turns = 0;
    for (int i = 0; i < count; ++i) {
        Cell *cell = data.createCell();
        cell->location = at;
        if (!chain.empty()) {
            chain.back()->next = cell;
            cell->previous = chain.back();
        }
        chain.push_back(cell);
        if (bendEvery > 0 && i > 0 && i % bendEvery == 0)
            heading = geo::addToBearing(heading, (turns++ % 2 == 0) ? bend : -bend);
        at = geo::moveLocation(at, heading, 0.25);
    }
    return chain;
}

void decideOn(benchmark::State &state, int bendEvery, double bend)
{
    const bool cached = state.range(0) != 0;
    SimulationData data;
    const std::vector<Cell *> chain = buildChain(data, 5000, bendEvery, bend);
    if (cached)
        precomputeCells(data.cells);
    BenchCar car(data, 14);
    place(chain[100], &car);
    car.decide(); // the first decision sizes the scratch buffers
    const long allocationsBefore = allocations;
    for (auto _ : state) {
        car.reset();
        car.decide();
        benchmark::DoNotOptimize(car.nextSpeed());
    }
    state.counters["allocs/decision"] =
        benchmark::Counter(double(allocations - allocationsBefore), benchmark::Counter::kAvgIterations);
    state.SetLabel(cached ? "cached" : "uncached");
}

void BM_DecisionStraight(benchmark::State &state)
{
    decideOn(state, 0, 0.0);
}

void BM_DecisionCurved(benchmark::State &state)
{
    decideOn(state, 12, 25.0);
}

} // namespace

BENCHMARK(BM_DecisionStraight)->Arg(0)->Arg(1);
BENCHMARK(BM_DecisionCurved)->Arg(0)->Arg(1);

BENCHMARK_MAIN();
