// libFuzzer target: one input is a map file, read and converted into a network under a small budget.
// The reader works on files, so each input is written to a file of this process first.

#include "convert/networkbudget.h"
#include "convert/networkconvertor.h"
#include "convert/osmbusstopconvertor.h"
#include "model/bindingdata.h"
#include "model/simulationdata.h"
#include "osm/osmdata.h"
#include "osm/osmparser.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QTime>

#include <cstddef>
#include <cstdint>

namespace {

QString inputPath()
{
    static const QString path =
        QDir::temp().filePath(QStringLiteral("kolvex-fuzz-map-%1.osm").arg(QCoreApplication::applicationPid()));
    return path;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *bytes, size_t size)
{
    {
        QFile file(inputPath());
        if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate))
            return 0;
        file.write(reinterpret_cast<const char *>(bytes), qint64(size));
    }
    OSMData osm;
    OSMParser::parseFile(inputPath(), &osm);
    OSMBusStopConvertor::convert(&osm);
    SimulationData simulation(QTime(8, 0));
    BindingData bindings;
    NetworkConvertor convertor(&osm, &simulation, &bindings);
    // Small enough that one input stays cheap; big enough for every fixture map.
    NetworkBudget budget;
    budget.maxSegmentMetres = 2000.0;
    budget.maxWayCells = 20000;
    budget.maxNetworkCells = 60000;
    convertor.setBudget(budget);
    convertor.convert();
    return 0;
}
