#include "way.h"

#include "node.h"

#include <algorithm>

RoadClass roadClassFromString(const std::string &text)
{
    if (text == "motorway" || text == "motorway_link")
        return Motorway;
    if (text == "trunk" || text == "trunk_link")
        return Trunk;
    if (text == "primary" || text == "primary_link")
        return Primary;
    if (text == "secondary" || text == "secondary_link")
        return Secondary;
    if (text == "tertiary" || text == "tertiary_link")
        return Tertiary;
    if (text == "unclassified")
        return Unclassified;
    if (text == "residential")
        return Residential;
    if (text == "service")
        return Service;
    return Road;
}

std::string roadClassToString(int32_t roadClass, bool isLink)
{
    static const char *const names[] = {"motorway", "trunk",        "primary",     "secondary",
                                        "tertiary", "unclassified", "residential", "service"};
    std::string text = (roadClass >= 0 && roadClass <= Service) ? names[roadClass] : "road";
    if (isLink)
        text += "_link";
    return text;
}

bool Way::addNode(Node *node)
{
    if (!node)
        return false;
    // A single node is both first and last, so it keeps listing the way.
    if (nodeList.size() >= 2)
        nodeList.back()->disconnectWay(this);
    node->addWay(this);
    nodeList.push_back(node);
    return true;
}

bool Way::disconnectNode(Node *node)
{
    auto it = std::find(nodeList.begin(), nodeList.end(), node);
    if (it == nodeList.end())
        return false;
    nodeList.erase(it);
    return true;
}
