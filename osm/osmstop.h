#ifndef KOLVEX_OSM_OSMSTOP_H
#define KOLVEX_OSM_OSMSTOP_H

#include <cstdint>
#include <string>

class Node;

enum StopKind : int32_t { TramStop = 0, BusStop = 1 };

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
    /// Bit value 1: serves traffic in node order of its way; bit value 2: against it.
    int32_t getPlacement() const { return placement; }
    void setPlacement(int32_t value) { placement = value; }
    bool servesForward() const { return placement == 1 || placement == 3; }
    bool servesBackward() const { return placement == 2 || placement == 3; }

private:
    int64_t id;
    std::string name;
    int32_t kind;
    Node *node;
    int32_t placement = 0;
};

#endif
