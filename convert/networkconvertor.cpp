#include "networkconvertor.h"

#include "model/simulationdata.h"
#include "osm/osmdata.h"

#include <iostream>

namespace {

std::ostream &log()
{
    return std::cerr << "NetworkConvertor: ";
}

} // namespace

NetworkConvertor::NetworkConvertor(OSMData *osmData, SimulationData *simulationData, BindingData *bindingData)
    : osmData(osmData), ways(osmData ? osmData->ways() : nullptr), tramStops(osmData ? osmData->tramStops() : nullptr),
      busStops(osmData ? osmData->busStops() : nullptr), simulationData(simulationData), bindingData(bindingData)
{}

void NetworkConvertor::convert()
{
    struct Stage
    {
        const char *text;
        void (NetworkConvertor::*run)();
    };
    static const Stage stages[] = {
        {"Splitting ways...", &NetworkConvertor::splitWays},
        {"Cyclic ways test...", &NetworkConvertor::cyclicWaysTest},
        {"Creating ways...", &NetworkConvertor::createWays},
        {"Aligning ways...", &NetworkConvertor::alignWays},
        {"Aligning crossroad edges...", &NetworkConvertor::alignCrossroadEdges},
        {"Creating crossroad ways...", &NetworkConvertor::createCrossroadWays},
        {"Creating crossroad cells...", &NetworkConvertor::createCrossroadCells},
        {"Creating way cells...", &NetworkConvertor::createWayCells},
        {"Connecting cells ...", &NetworkConvertor::connectCells},
        {"Creating stops...", &NetworkConvertor::createStops},
        {"Creating generators...", &NetworkConvertor::createGenerators},
        {"Creating right-of-way rules...", &NetworkConvertor::createRightOfWayRules},
        {"Creating semaphores...", &NetworkConvertor::createSemaphores},
    };
    for (const Stage &stage : stages) {
        log() << stage.text << std::endl;
        if (osmData && simulationData && bindingData)
            (this->*stage.run)();
    }
    log() << "Covertion done!" << std::endl;
    log() << "    Cells ........ " << (simulationData ? simulationData->cells.size() : 0) << std::endl;
    log() << "    Crossroads ... " << (simulationData ? simulationData->crossroads.size() : 0) << std::endl;
    log() << "    Generators ... " << (simulationData ? simulationData->generators.size() : 0) << std::endl;
}

void NetworkConvertor::splitWays() {}
void NetworkConvertor::cyclicWaysTest() {}
void NetworkConvertor::createWays() {}
void NetworkConvertor::alignWays() {}
void NetworkConvertor::alignCrossroadEdges() {}
void NetworkConvertor::createCrossroadWays() {}
void NetworkConvertor::createCrossroadCells() {}
void NetworkConvertor::createWayCells() {}
void NetworkConvertor::connectCells() {}
void NetworkConvertor::createStops() {}
void NetworkConvertor::createGenerators() {}
void NetworkConvertor::createRightOfWayRules() {}
void NetworkConvertor::createSemaphores() {}
