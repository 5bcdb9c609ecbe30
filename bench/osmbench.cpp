// Reading and writing speed of the OSM layer on the bundled Helsinki extract, as XML and as PBF.

#include "osm/osmdata.h"
#include "osm/osmparser.h"
#include "osm/osmwriter.h"
#include "tests/stderrcapture.h"

#include <benchmark/benchmark.h>

#include <QDir>
#include <QFile>
#include <QString>

#include <algorithm>
#include <ctime>
#include <fstream>
#include <iostream>
#include <sstream>
#include <sys/resource.h>
#include <unistd.h>

namespace {

const QString RAW_EXTRACT = QStringLiteral(KOLVEX_SOURCE_DIR "/data/helsinki_centre.osm");
const QString RAW_EXTRACT_PBF = QStringLiteral(KOLVEX_SOURCE_DIR "/data/helsinki_centre.osm.pbf");
const QString DEFAULT_MAP = QStringLiteral(KOLVEX_SOURCE_DIR "/data/kesta_center_2014-04-15_compressed_edited.osm");

double residentMegabytes()
{
    std::ifstream statm("/proc/self/statm");
    long pages = 0;
    long resident = 0;
    statm >> pages >> resident;
    return static_cast<double>(resident) * static_cast<double>(sysconf(_SC_PAGESIZE)) / (1024.0 * 1024.0);
}

double peakResidentMegabytes()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return static_cast<double>(usage.ru_maxrss) / 1024.0; // ru_maxrss is in kilobytes on Linux
}

/// CPU time of every thread of the process: the PBF reader decodes on threads of its own, which the
/// benchmark's CPU time (this thread's) does not see.
double processCpuMilliseconds()
{
    timespec now{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &now);
    return static_cast<double>(now.tv_sec) * 1e3 + static_cast<double>(now.tv_nsec) / 1e6;
}

void readFile(benchmark::State &state, const QString &path)
{
    StderrCapture silent;
    double residentAfterRead = 0;
    size_t ways = 0;
    const double cpuAtStart = processCpuMilliseconds();
    for (auto _ : state) {
        OSMData data;
        OSMParser::parseFile(path, &data);
        ways = data.ways()->size();
        state.PauseTiming();
        residentAfterRead = residentMegabytes();
        state.ResumeTiming();
    }
    state.counters["ways"] = static_cast<double>(ways);
    state.counters["all_threads_cpu_ms"] =
        (processCpuMilliseconds() - cpuAtStart) /
        static_cast<double>(std::max<benchmark::IterationCount>(state.iterations(), 1));
    state.counters["rss_after_read_MB"] = residentAfterRead;
    state.counters["peak_rss_MB"] = peakResidentMegabytes();
}

void BM_ReadRawExtract(benchmark::State &state)
{
    readFile(state, RAW_EXTRACT);
}
BENCHMARK(BM_ReadRawExtract)->Unit(benchmark::kMillisecond);

// The same extract as PBF: the same map comes out, and the reading should take a third of the XML's time
// or less.
void BM_ReadRawExtractPbf(benchmark::State &state)
{
    readFile(state, RAW_EXTRACT_PBF);
}
BENCHMARK(BM_ReadRawExtractPbf)->Unit(benchmark::kMillisecond);

void BM_ReadDefaultMap(benchmark::State &state)
{
    readFile(state, DEFAULT_MAP);
}
BENCHMARK(BM_ReadDefaultMap)->Unit(benchmark::kMillisecond);

void BM_WriteDefaultMap(benchmark::State &state)
{
    StderrCapture silent;
    OSMData data;
    OSMParser::parseFile(RAW_EXTRACT, &data);
    const QString target = QDir::temp().filePath(QStringLiteral("kolvex_osm_bench_%1.osm").arg(getpid()));
    for (auto _ : state)
        OSMWriter::createOsm(&data, target);
    QFile::remove(target);
}
BENCHMARK(BM_WriteDefaultMap)->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();
