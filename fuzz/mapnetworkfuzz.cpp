// libFuzzer target: one input is a map file, read and converted into a network under a small budget.

#include "convert/networkbudget.h"
#include "convert/networkconvertor.h"
#include "convert/osmbusstopconvertor.h"
#include "fuzzinput.h"
#include "model/bindingdata.h"
#include "model/simulationdata.h"
#include "osm/osmdata.h"
#include "osm/osmparser.h"

#include <QTime>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *bytes, size_t size)
{
    const QString path = writeFuzzInput("network", bytes, size);
    if (path.isEmpty())
        return 0;
    OSMData osm;
    OSMParser::parseFile(path, &osm);
    Diagnostics diagnostics;
    OSMBusStopConvertor::convert(&osm, diagnostics);
    SimulationData simulation(QTime(8, 0));
    BindingData bindings;
    NetworkConvertor convertor(&osm, &simulation, &bindings, diagnostics);
    // Small enough that one input stays cheap; big enough for every fixture map.
    NetworkBudget budget;
    budget.maxSegmentMetres = 2000.0;
    budget.maxWayCells = 20000;
    budget.maxNetworkCells = 60000;
    convertor.setBudget(budget);
    convertor.convert();
    return 0;
}
