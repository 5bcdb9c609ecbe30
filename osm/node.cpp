#include "node.h"

#include <algorithm>
#include <iostream>

void Node::addWay(Way *way)
{
    used = true;
    wayList.push_back(way);
}

void Node::disconnectWay(Way *way)
{
    auto it = std::find(wayList.begin(), wayList.end(), way);
    if (it == wayList.end()) {
        std::cerr << "Node::disconnectWay FAILED, could not find (way)" << std::endl;
        return;
    }
    wayList.erase(it);
}
