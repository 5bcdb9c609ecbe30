#ifndef KOLVEX_MODEL_BINDINGRECORDS_H
#define KOLVEX_MODEL_BINDINGRECORDS_H

#include "geo/geodesy.h"

#include <atomic>
#include <cstdint>
#include <map>
#include <vector>

class Cell;
class Crossroad;
class Node;
class OSMStop;
class Way;
class WayBinding;
class WayEnd;
class LaneBinding;

/// A polyline stored as consecutive point pairs, one pair per straight segment (a0, b0, a1, b1, …).
using Polyline = std::vector<Location>;

/// The lanes of one way piece running in one direction.
class DirectionBinding
{
public:
    WayBinding *owner = nullptr;
    std::vector<LaneBinding *> lanes; ///< index 0 is the innermost road lane
    LaneBinding *tramLane = nullptr;  ///< null when the direction has no tram track
};

/// One road lane or tram track of one direction; the record a cell's `wayLink` points to.
class LaneBinding
{
public:
    explicit LaneBinding(int64_t serial = -1);

    DirectionBinding *direction = nullptr;
    int isTram = 0;
    int64_t serial; ///< creation order in the binding data, for stable iteration of maps keyed by lane
    Polyline polyline;
    Cell *firstCell = nullptr;
    Cell *lastCell = nullptr;
    /// First cells of the crossroad paths leading into this lane, in registration order: where
    /// there are several, traffic from them merges at `firstCell`.
    std::vector<Cell *> pathsInto;
    /// The vehicles that show they wait for room on this lane (see `Vehicle::shownRoomLane`),
    /// counted by them as they commit, on many threads at once: the rules look upstream for such a
    /// waiter only where there is one.
    mutable std::atomic<int32_t> waitersForRoom{0};

    WayBinding *wayBinding() const { return direction ? direction->owner : nullptr; }
    Way *way() const;
    /// Map id of the lane's way, −1 if it has none.
    int64_t wayId() const;
};

/// One way piece with its lanes, centre line and road edges.
class WayBinding
{
public:
    explicit WayBinding(Way *w) : way(w)
    {
        forward.owner = this;
        backward.owner = this;
    }
    WayBinding(const WayBinding &) = delete;
    WayBinding &operator=(const WayBinding &) = delete;

    Way *way;
    DirectionBinding forward;  ///< lanes running in node order
    DirectionBinding backward; ///< lanes running against node order
    Polyline centreLine;
    Polyline rightEdge;         ///< right of the forward direction, in node order
    Polyline leftEdge;          ///< right of the backward direction, in reverse node order
    WayEnd *startEnd = nullptr; ///< the end at the first node
    WayEnd *endEnd = nullptr;   ///< the end at the last node
};

/// One end of a way piece at a node.
class WayEnd
{
public:
    WayEnd(WayBinding *w, bool start, int64_t serial);

    WayBinding *way;
    bool isStart; ///< the end at the piece's first node
    Crossroad *crossroad = nullptr;
    int64_t serial; ///< creation order in the binding data, for stable iteration of maps keyed by way end
    /// The neighbouring arms at the node, valid while the node's `armsOrdered` is set (see
    /// BindingData::orderArms).
    WayEnd *nextArm = nullptr;
    WayEnd *previousArm = nullptr;

    /// Direction of the lanes arriving at the node (backward at the start end).
    DirectionBinding &incoming() const { return isStart ? way->backward : way->forward; }
    /// Direction of the lanes leaving the node.
    DirectionBinding &outgoing() const { return isStart ? way->forward : way->backward; }
    LaneBinding *firstIncomingLane() const;
    LaneBinding *firstOutgoingLane() const;
    LaneBinding *incomingTramTrack() const { return incoming().tramLane; }
    LaneBinding *outgoingTramTrack() const { return outgoing().tramLane; }
    int32_t incomingLaneCount() const { return int32_t(incoming().lanes.size()); }
    /// Road edge on the right of traffic arriving at the node.
    Polyline &arrivingEdge() const { return isStart ? way->leftEdge : way->rightEdge; }
    /// Road edge on the right of traffic leaving the node.
    Polyline &departingEdge() const { return isStart ? way->rightEdge : way->leftEdge; }
    /// Bearing of the centre line's segment at the node, in the direction of arrival.
    double bearing() const;
    /// The map node at this end.
    Node *node() const;
};

/// One path through a crossroad from an incoming lane to an outgoing lane of another way end.
struct CrossroadPath
{
    int isTram = 0;
    LaneBinding *from = nullptr;
    LaneBinding *to = nullptr;
    Polyline polyline;
    Cell *firstCell = nullptr;
    Cell *lastCell = nullptr;
};

/// Orders lanes by creation so that maps keyed by lanes iterate the same way in every run.
struct LaneOrder
{
    bool operator()(const LaneBinding *a, const LaneBinding *b) const;
};

/// Orders way ends by creation.
struct WayEndOrder
{
    bool operator()(const WayEnd *a, const WayEnd *b) const;
};

/// The way ends meeting at one map node: one end is a boundary, two a continuation, more a crossroad.
class NodeBinding
{
public:
    explicit NodeBinding(Node *n) : node(n) {}

    Node *node;
    OSMStop *stop = nullptr; ///< the stop last processed at this node
    std::vector<WayEnd *> wayEnds;
    std::map<LaneBinding *, std::vector<CrossroadPath>, LaneOrder> crossroadPaths;
    /// Whether the way ends hold their neighbours in bearing order; cleared when an end is added.
    bool armsOrdered = false;
};

/// One placed stop with the downstream end cell of each of its platforms or bays.
struct StopBinding
{
    OSMStop *stop = nullptr;
    std::vector<Cell *> cells;
};

#endif
