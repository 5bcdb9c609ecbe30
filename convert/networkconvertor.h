#ifndef KOLVEX_CONVERT_NETWORKCONVERTOR_H
#define KOLVEX_CONVERT_NETWORKCONVERTOR_H

class BindingData;
class OSMData;
class OSMStops;
class OSMWays;
struct SimulationData;

/// Turns the parsed map into the cell network: splits ways, lays lanes and cells, joins them at
/// nodes and through crossroads, and adds stops, generators, right-of-way rules and signals.
/// Runs once on the calling thread; owns nothing.
class NetworkConvertor
{
public:
    NetworkConvertor(OSMData *osmData, SimulationData *simulationData, BindingData *bindingData);

    /// Runs the thirteen stages in order, announcing each on standard error.
    void convert();

private:
    void splitWays();
    void cyclicWaysTest();
    void createWays();
    void alignWays();
    void alignCrossroadEdges();
    void createCrossroadWays();
    void createCrossroadCells();
    void createWayCells();
    void connectCells();
    void createStops();
    void createGenerators();
    void createRightOfWayRules();
    void createSemaphores();

    OSMData *osmData;
    OSMWays *ways;
    OSMStops *tramStops;
    OSMStops *busStops;
    SimulationData *simulationData;
    BindingData *bindingData;
};

#endif
