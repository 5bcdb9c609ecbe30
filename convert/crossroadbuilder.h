#ifndef KOLVEX_CONVERT_CROSSROADBUILDER_H
#define KOLVEX_CONVERT_CROSSROADBUILDER_H

class BindingData;
class Crossroad;
class NodeBinding;
class WayEnd;
struct CrossroadPath;
struct SimulationData;

#include <vector>

/// Builds what joins lanes at nodes: the paths through crossroads with their cells, the links of
/// plain continuations, the `Crossroad` objects, their right-of-way rules and their signals.
class CrossroadBuilder
{
public:
    CrossroadBuilder(BindingData *bindingData, SimulationData *simulationData);

    /// Paths from every incoming lane to the outgoing lanes of the other arms of each crossroad.
    void createCrossroadWays();
    /// Cells along every crossroad path, marked as lying inside the crossroad.
    void createCrossroadCells();
    /// Links chains across continuations and into crossroad paths; creates the crossroads.
    void connectCells();
    /// Priority to the right, left turns yield to oncoming traffic, road traffic yields to trams.
    void createRightOfWayRules();
    /// A signal at every crossroad on a node tagged as traffic signals.
    void createSemaphores();

    /// The arms met stepping from `from` with `step` (next or previous) until `stop`, `stop` excluded.
    /// Also ends before `from` and before an arm met twice, so equal bearings never list an arm twice.
    static std::vector<WayEnd *> armsBetween(const NodeBinding *node, WayEnd *from, const WayEnd *stop, bool stepRight);

private:
    void addRoadPaths(NodeBinding *node, WayEnd *from);
    void addTramPaths(NodeBinding *node, WayEnd *from);
    void addRules(Crossroad *crossroad, const NodeBinding *node, const CrossroadPath &path);

    BindingData *bindings;
    SimulationData *data;
};

#endif
