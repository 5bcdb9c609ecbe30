#ifndef KOLVEX_CONVERT_NETWORKCONVERTOR_H
#define KOLVEX_CONVERT_NETWORKCONVERTOR_H

#include <unordered_set>

class BindingData;
class Node;
class OSMData;
class OSMStops;
class OSMWays;
struct SimulationData;
class WayEnd;

/// Turns the parsed map into the cell network: splits ways, lays lanes and cells, joins them at
/// nodes and through crossroads, and adds stops, generators, right-of-way rules and signals.
/// Runs once on the calling thread; owns nothing.
class NetworkConvertor
{
public:
    NetworkConvertor(OSMData *osmData, SimulationData *simulationData, BindingData *bindingData);

    NetworkConvertor(const NetworkConvertor &) = delete;
    NetworkConvertor &operator=(const NetworkConvertor &) = delete;

    /// Runs the thirteen stages in order, announcing each on standard error, then the statistics.
    void convert();
    /// Runs stages `first` to `last` (1 to 13) with their announcements; for tests and timing of
    /// parts of the pipeline.
    void runStages(int first, int last);

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

    /// Splits every way at its first interior node in `splitNodes`, also visiting the pieces
    /// appended during the pass. Returns the number of splits.
    int splitWaysAt(const std::unordered_set<const Node *> &splitNodes);
    /// Cuts every lane and track of `end` back to the lines across the road at its two corners.
    void cutLanesBack(WayEnd *end);

    OSMData *osmData;
    OSMWays *ways;
    OSMStops *tramStops;
    OSMStops *busStops;
    SimulationData *simulationData;
    BindingData *bindingData;
};

#endif
