#include "osmstops.h"

#include <algorithm>

OSMStops::~OSMStops()
{
    for (OSMStop *stop : list)
        delete stop;
}

OSMStop *OSMStops::findByNode(const Node *node) const
{
    auto it = byNode.find(node);
    return it == byNode.end() || it->second.empty() ? nullptr : it->second.front();
}

std::vector<OSMStop *> OSMStops::stopsOnNode(const Node *node) const
{
    auto it = byNode.find(node);
    return it == byNode.end() ? std::vector<OSMStop *>() : it->second;
}

OSMStop *OSMStops::findByNameAndNode(const std::string &name, const Node *node) const
{
    auto it = byNode.find(node);
    if (it == byNode.end())
        return nullptr;
    for (OSMStop *stop : it->second)
        if (stop->nameRef() == name)
            return stop;
    return nullptr;
}

void OSMStops::remove(OSMStop *stop)
{
    auto it = std::find(list.begin(), list.end(), stop);
    if (it == list.end())
        return;
    list.erase(it);
    std::vector<OSMStop *> &sameNode = byNode[stop->getNode()];
    sameNode.erase(std::find(sameNode.begin(), sameNode.end(), stop));
    delete stop;
}

void OSMStops::add(OSMStop *stop)
{
    list.push_back(stop);
    byNode[stop->getNode()].push_back(stop);
}
