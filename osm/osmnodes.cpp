#include "osmnodes.h"

size_t OSMNodes::shake()
{
    return list.removeIf([](const Node &node) { return !node.isUsed(); });
}
