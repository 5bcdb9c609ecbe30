#ifndef KOLVEX_MODEL_BINDINGDATA_H
#define KOLVEX_MODEL_BINDINGDATA_H

#include "bindingrecords.h"

#include <unordered_map>
#include <vector>

/// Ties map objects to cells: the way, lane, way-end, node and stop records made by the network
/// conversion. Owns every record. Lookups return the first match in creation order (indexed).
class BindingData
{
public:
    BindingData() = default;
    BindingData(const BindingData &) = delete;
    BindingData &operator=(const BindingData &) = delete;
    virtual ~BindingData();

    /// A new way binding for `way`, appended in creation order.
    WayBinding *addWayBinding(Way *way);
    /// A new lane of `direction` with the given geometry; a tram track becomes its `tramLane`.
    LaneBinding *addLane(DirectionBinding *direction, bool isTram, const Polyline &polyline);
    /// A new way end of `way` at its first (isStart) or last node, bound to that node's binding.
    WayEnd *addWayEnd(WayBinding *way, bool isStart);
    StopBinding *addStopBinding(OSMStop *stop);

    const std::vector<WayBinding *> &wayBindings() const { return ways; }
    const std::vector<LaneBinding *> &laneBindings() const { return lanes; }
    const std::vector<WayEnd *> &wayEnds() const { return ends; }
    const std::vector<NodeBinding *> &nodeBindings() const { return nodes; }
    const std::vector<StopBinding *> &stopBindings() const { return stops; }

    /// The binding of `node`, null if no way piece ends there.
    NodeBinding *findNodeBinding(const Node *node) const;
    /// The binding of `stop`, null if it was not placed.
    StopBinding *findStopBinding(const OSMStop *stop) const;
    /// The way end of `way` at `node`, null if the piece does not end there.
    WayEnd *findWayEnd(const WayBinding *way, const Node *node) const;
    /// The way end whose first incoming lane or incoming tram track is `lane`.
    WayEnd *wayEndWithIncoming(const LaneBinding *lane) const;
    /// The way end whose first outgoing lane or outgoing tram track is `lane`.
    WayEnd *wayEndWithOutgoing(const LaneBinding *lane) const;

    /// The first arm to the right of traffic arriving on `end`: the other way end with the greatest
    /// bearing difference measured clockwise back from `end`, ties to the first in the node's list.
    /// `end` itself if it is alone.
    static WayEnd *next(const NodeBinding *node, const WayEnd *end);
    /// The first arm to the left of traffic arriving on `end`: the smallest such difference.
    static WayEnd *previous(const NodeBinding *node, const WayEnd *end);
    /// Sorts the arms of every node by bearing once, so that next and previous take constant time
    /// instead of a pass over all arms of the node. Call when the centre lines are final.
    void orderArms();

private:
    std::vector<WayBinding *> ways;
    std::vector<LaneBinding *> lanes;
    std::vector<WayEnd *> ends;
    std::vector<NodeBinding *> nodes;
    std::vector<StopBinding *> stops;
    std::unordered_map<const Node *, NodeBinding *> nodeIndex;
    std::unordered_map<const OSMStop *, StopBinding *> stopIndex;
    int64_t nextSerial = 0; ///< lanes and way ends share one creation order
};

#endif
