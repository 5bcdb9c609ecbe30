#include "osmstops.h"

OSMStop *OSMStops::findByNameAndNode(const std::string &name, const Node *node) const
{
    for (OSMStop *stop : list.findAll(node))
        if (stop->nameRef() == name)
            return stop;
    return nullptr;
}
