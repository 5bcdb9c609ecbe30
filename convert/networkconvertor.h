#ifndef KOLVEX_CONVERT_NETWORKCONVERTOR_H
#define KOLVEX_CONVERT_NETWORKCONVERTOR_H

#include "networkbudget.h"

#include "report/diagnostics.h"

#include <functional>
#include <string>
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
    /// What the stages find and announce is recorded in `diagnostics`, which must outlive the convertor.
    NetworkConvertor(OSMData *osmData, SimulationData *simulationData, BindingData *bindingData,
                     Diagnostics &diagnostics);

    NetworkConvertor(const NetworkConvertor &) = delete;
    NetworkConvertor &operator=(const NetworkConvertor &) = delete;

    /// Bounds what the network may cost; the default budget is used otherwise.
    void setBudget(const NetworkBudget &value) { budget = value; }
    /// Told after each of the stages of `convert`: how many are done, of how many.
    using Progress = std::function<void(int done, int stages)>;
    void setProgress(Progress value) { progress = std::move(value); }
    /// Runs the thirteen stages in order, announcing each in the diagnostics, then the statistics.
    /// A map over the budget is refused first: nothing is built, the reason is recorded and kept
    /// in `refusal`, and the result is false.
    bool convert();
    /// Why the map was refused, empty if it was not.
    const std::string &refusal() const { return refusalText; }
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
    void say(Severity severity, std::string text, int64_t elementId = Diagnostic::NO_ELEMENT);

    static constexpr const char *COMPONENT = "NetworkConvertor";

    NetworkBudget budget;
    Progress progress;
    std::string refusalText;
    OSMData *osmData;
    OSMWays *ways;
    OSMStops *tramStops;
    OSMStops *busStops;
    SimulationData *simulationData;
    BindingData *bindingData;
    Diagnostics &diagnostics;
};

#endif
