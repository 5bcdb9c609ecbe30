#ifndef KOLVEX_CONVERT_STOPBUILDER_H
#define KOLVEX_CONVERT_STOPBUILDER_H

#include <cstdint>
#include <vector>

class BindingData;
class Cell;
class Diagnostics;
class NodeBinding;
class OSMData;
class OSMStop;
struct SimulationData;

/// Turns map stops into stop cells (tram platforms on the track, bus bays beside the outermost
/// lane) and puts car generators at the entries of the network.
class StopBuilder
{
public:
    static constexpr int32_t BUS_BAY_CELLS = 81;
    static constexpr int32_t TRAM_PLATFORM_CELLS = 181;

    StopBuilder(OSMData *osmData, BindingData *bindingData, SimulationData *simulationData, Diagnostics &diagnostics);

    /// Tram platforms and bus bays for the stops of every node binding, in node-binding order;
    /// stops that get no cells are recorded as warnings and removed from their list.
    void createStops();
    /// A generator on the first entering lane of every network boundary.
    void createGenerators();

    /// The cells of a stop window of `size` cells centred on `cell`, kept 10 cells away from both
    /// chain ends where the chain allows, in the direction of travel.
    static std::vector<Cell *> stopWindow(Cell *cell, int32_t size);

private:
    void placeTramStop(NodeBinding *node, OSMStop *stop);
    void placeBusStop(NodeBinding *node, OSMStop *stop);
    /// New bay cells beside `window`; returns the last bay cell.
    Cell *buildBay(const std::vector<Cell *> &window, OSMStop *stop);
    /// Records `stop` as dropped, clears it from `node` (if any) and removes it from its stop list.
    void dropStop(NodeBinding *node, OSMStop *stop, const char *what);

    OSMData *osm;
    BindingData *bindings;
    SimulationData *data;
    Diagnostics &diagnostics;
};

#endif
