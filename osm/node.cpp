#include "node.h"

#include <algorithm>

void Node::addWay(Way *way)
{
    used = true;
    wayList.push_back(way);
}

bool Node::disconnectWay(Way *way)
{
    auto it = std::find(wayList.begin(), wayList.end(), way);
    if (it == wayList.end())
        return false;
    wayList.erase(it);
    return true;
}
