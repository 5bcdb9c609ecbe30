#ifndef KOLVEX_CONVERT_NETWORKBUDGET_H
#define KOLVEX_CONVERT_NETWORKBUDGET_H

#include <cstdint>
#include <string>

class OSMData;

/// Upper bounds on what the network of one map may cost. A map above any of them is refused
/// before anything is built, so that a hostile or mistaken extract ends with a message instead of
/// exhausting memory. The defaults leave a wide margin over real city extracts.
struct NetworkBudget
{
    // The raw Helsinki centre extract needs 180 m, 2,072 cells, about 263,000 cells and 4 arms; a
    // cell with its share of the network takes about 150 bytes, so the whole budget is about 3 GB.
    double maxSegmentMetres = 20000.0;  ///< one straight segment of a way between two nodes
    int64_t maxWayCells = 1000000;      ///< the cells of all lanes and tracks of one map way
    int64_t maxNetworkCells = 20000000; ///< the cells of the whole network, crossroads included
    int32_t maxNodeArms = 16;           ///< way ends meeting at one node after the ways are cut

    /// Why the network of `data` would exceed the budget, naming the element; empty when it fits.
    /// Linear in the size of the map.
    std::string problemWith(const OSMData &data) const;
};

#endif
