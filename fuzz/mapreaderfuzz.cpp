// libFuzzer target: one input is a map file, read and measured against the network budget.

#include "convert/networkbudget.h"
#include "fuzzinput.h"
#include "osm/osmdata.h"
#include "osm/osmparser.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *bytes, size_t size)
{
    const QString path = writeFuzzInput("map", bytes, size);
    if (path.isEmpty())
        return 0;
    OSMData osm;
    OSMParser::parseFile(path, &osm);
    NetworkBudget().problemWith(osm);
    return 0;
}
