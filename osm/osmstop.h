#ifndef KOLVEX_OSM_OSMSTOP_H
#define KOLVEX_OSM_OSMSTOP_H

#include <cstdint>
#include <string>

class Node;

enum StopKind : int32_t { TramStop = 0, BusStop = 1 };

/// The directions of travel along its way that a stop serves, as bits: 1 in the node order of the
/// way, 2 against it. A stop not yet placed serves neither.
enum class StopPlacement : int32_t { Unplaced = 0, Forward = 1, Backward = 2, BothDirections = 3 };

/// One tram or bus stop on a map node; ids come from a process-wide counter starting at 0.
class OSMStop
{
public:
    OSMStop(int64_t id, const std::string &name, StopKind kind, Node *node);

    int64_t getId() const { return id; }
    std::string getName() const { return name; }
    const std::string &nameRef() const { return name; }
    int32_t getKind() const { return kind; }
    Node *getNode() const { return node; }
    StopPlacement getPlacement() const { return placement; }
    void setPlacement(StopPlacement value) { placement = value; }
    bool servesForward() const
    {
        return placement == StopPlacement::Forward || placement == StopPlacement::BothDirections;
    }
    bool servesBackward() const
    {
        return placement == StopPlacement::Backward || placement == StopPlacement::BothDirections;
    }

private:
    int64_t id;
    std::string name;
    int32_t kind;
    Node *node;
    StopPlacement placement = StopPlacement::Unplaced;
};

#endif
