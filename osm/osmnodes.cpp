#include "osmnodes.h"

#include <iostream>

void OSMNodes::shake()
{
    const size_t removed = list.removeIf([](const Node &node) { return !node.isUsed(); });
    std::cerr << "OSMParser: "
              << "    Nodes shaked: " << removed << std::endl;
}
