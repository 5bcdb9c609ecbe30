// Reading the bundled Helsinki extract, as a new run does before anything is shown.

#include "osm/osmdata.h"
#include "osm/osmparser.h"
#include "tests/stderrcapture.h"

#include <benchmark/benchmark.h>

#include <QString>

#include <algorithm>
#include <ctime>

namespace {

/// CPU time of every thread of the process: the PBF reader decodes on threads of its own, which the
/// benchmark's CPU time (this thread's) does not see.
double processCpuMilliseconds()
{
    timespec now{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &now);
    return static_cast<double>(now.tv_sec) * 1e3 + static_cast<double>(now.tv_nsec) / 1e6;
}

/// Argument 0 reads the XML file, 1 the same map as PBF.
void BM_ReadRawExtract(benchmark::State &state)
{
    const QString path = state.range(0) ? QStringLiteral(KOLVEX_SOURCE_DIR "/data/helsinki_centre.osm.pbf")
                                        : QStringLiteral(KOLVEX_SOURCE_DIR "/data/helsinki_centre.osm");
    StderrCapture silent;
    size_t ways = 0;
    const double cpuAtStart = processCpuMilliseconds();
    for (auto _ : state) {
        OSMData data;
        OSMParser::parseFile(path, &data);
        ways = data.ways()->size();
    }
    state.counters["ways"] = static_cast<double>(ways);
    state.counters["all_threads_cpu_ms"] =
        (processCpuMilliseconds() - cpuAtStart) / static_cast<double>(std::max<int64_t>(state.iterations(), 1));
}
BENCHMARK(BM_ReadRawExtract)->Arg(0)->Arg(1)->ArgName("pbf")->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();
